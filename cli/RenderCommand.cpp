#include <cstdio>

#include "CliCommon.h"

void AddRenderCommand(CLI::App& app, int& iExit)
{
    CLI::App* pCmd = app.add_subcommand("render", "(not built yet)");
    pCmd->allow_extras();
    pCmd->callback([&iExit] {
        std::fprintf(stderr, "lumora-cli render: not available in this build\n");
        iExit = CLI_EXIT_SOFTWARE;
    });
}
