#include <cstdio>

#include "CliCommon.h"

void AddSamplesCommand(CLI::App& app, int& iExit)
{
    CLI::App* pCmd = app.add_subcommand("samples", "(not built yet)");
    pCmd->allow_extras();
    pCmd->callback([&iExit] {
        std::fprintf(stderr, "lumora-cli samples: not available in this build\n");
        iExit = CLI_EXIT_SOFTWARE;
    });
}
