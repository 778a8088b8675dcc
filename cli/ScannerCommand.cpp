#include <cstdio>

#include "CliCommon.h"

void AddScannerCommand(CLI::App& app, int& iExit)
{
    CLI::App* pCmd = app.add_subcommand("scanner", "(not built yet)");
    pCmd->allow_extras();
    pCmd->callback([&iExit] {
        std::fprintf(stderr, "lumora-cli scanner: not available in this build\n");
        iExit = CLI_EXIT_SOFTWARE;
    });
}
