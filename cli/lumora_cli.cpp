#include <csignal>
#include <cstdio>

#include "CliCommon.h"
#include "app/KindRegistry.h"
#include "platform/Log.h"

namespace {
void OnSigInt(int)
{
    // Every wait loop of the scanner layer polls this and ends with "User cancelled.".
    CCancel::RequestCancel();
}
} // namespace

int main(int argc, char** argv)
{
    std::signal(SIGINT, OnSigInt);
    RegisterAllKinds();

    CLI::App app{"lumora-cli: inspect, render, convert and unpack Lumora data files; talk to the scanner"};
    app.require_subcommand(1);
    int iExit = CLI_EXIT_OK;
    AddInfoCommand(app, iExit);
    AddRenderCommand(app, iExit);
    AddUnpackCommand(app, iExit);
    AddSamplesCommand(app, iExit);
    AddConvertCommand(app, iExit);
    AddScannerCommand(app, iExit);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return CLI_EXIT_USAGE;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "lumora-cli: internal error: %s\n", e.what());
        return CLI_EXIT_SOFTWARE;
    }
    return iExit;
}
