#include <cstdio>

#include "CliCommon.h"

void AddConvertCommand(CLI::App& app, int& iExit)
{
    CLI::App* pCmd = app.add_subcommand("convert", "(not built yet)");
    pCmd->allow_extras();
    pCmd->callback([&iExit] {
        std::fprintf(stderr, "lumora-cli convert: not available in this build\n");
        iExit = CLI_EXIT_SOFTWARE;
    });
}
