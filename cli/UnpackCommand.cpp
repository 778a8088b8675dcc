#include <cstdio>

#include "CliCommon.h"

void AddUnpackCommand(CLI::App& app, int& iExit)
{
    CLI::App* pCmd = app.add_subcommand("unpack", "(not built yet)");
    pCmd->allow_extras();
    pCmd->callback([&iExit] {
        std::fprintf(stderr, "lumora-cli unpack: not available in this build\n");
        iExit = CLI_EXIT_SOFTWARE;
    });
}
