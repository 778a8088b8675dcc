#include "CliMain.h"

#include <cstdio>
#include <cstring>
#include <optional>

#include "app/KindRegistry.h"
#include "datafiles/VersionInfo.h"
#include "platform/Log.h"
#include "platform/Signals.h"

int RunCli(int argc, char** argv, std::initializer_list<AddCommandFn> commands)
{
    InstallTerminationHandler();
    // --version is answered wherever it stands, before any command runs.
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i)
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s\n", VersionLine("lumora-cli").c_str());
            return CLI_EXIT_OK;
        }
    RegisterAllKinds();

    // Named here so help and usage texts (and the man page made from them) do
    // not carry the path the program was started by.
    CLI::App app{"lumora-cli: inspect, render, convert and unpack Lumora data files; talk to the scanner", "lumora-cli"};
    app.require_subcommand(1);
    app.set_version_flag("--version", VersionLine("lumora-cli"), "Show the version and exit");
    int iExit = CLI_EXIT_OK;
    for (AddCommandFn add : commands)
        add(app, iExit);
    // The scanner waits poll the cancel request and end with "User cancelled."
    // after leaving the scanner in order; an interrupt there is theirs.
    std::optional<CCooperativeCancel> cooperative;
    for (CLI::App* pSub : app.get_subcommands([](CLI::App* p) { return p->get_name() == "scanner"; }))
        pSub->preparse_callback([&cooperative](size_t) { cooperative.emplace(); });
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        const int iCode = app.exit(e);
        return iCode == 0 ? CLI_EXIT_OK : CLI_EXIT_USAGE;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "lumora-cli: internal error: %s\n", e.what());
        return CLI_EXIT_SOFTWARE;
    }
    if (const int iSignalExit = TerminationExitCode())
        return iSignalExit;
    return iExit;
}
