#include <cstdio>

#include "CliCommon.h"

void AddInfoCommand(CLI::App& app, int& iExit)
{
    CLI::App* pCmd = app.add_subcommand("info", "(not built yet)");
    pCmd->allow_extras();
    pCmd->callback([&iExit] {
        std::fprintf(stderr, "lumora-cli info: not available in this build\n");
        iExit = CLI_EXIT_SOFTWARE;
    });
}
