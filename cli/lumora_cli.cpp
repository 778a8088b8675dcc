// lumora-cli links no Qt, so info, unpack, samples and the scanner commands
// run where no GUI libraries are installed or wanted. render and convert
// draw or read pictures with Qt: they are listed here and run by the drawing
// tool, which takes over this process with the same command line.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "CliMain.h"
#include "platform/Paths.h"

namespace {
void AddRenderName(CLI::App& app, int&)
{
    app.add_subcommand("render", RENDER_COMMAND_TEXT);
}

void AddConvertName(CLI::App& app, int&)
{
    app.add_subcommand("convert", CONVERT_COMMAND_TEXT);
}

bool IsDrawingCommand(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-')
            continue; // --help and the like stand before the command
        return std::strcmp(argv[i], "render") == 0 || std::strcmp(argv[i], "convert") == 0;
    }
    return false;
}

int HandToDrawingTool(int argc, char** argv)
{
    const std::string szFolder = RunningProgramFolder();
    const std::string szTool =
        (IsInstalledProgramFolder(szFolder) ? PrivateLibraryFolder(szFolder) : szFolder) + DRAWING_TOOL_NAME;
    const std::string szSelf = RunningProgramPath();
    std::vector<char*> args{const_cast<char*>(szTool.c_str()), const_cast<char*>(DRAWING_TOOL_FROM),
                            const_cast<char*>(szSelf.c_str())};
    args.insert(args.end(), argv + 1, argv + argc);
    args.push_back(nullptr);
    ::execv(szTool.c_str(), args.data());
    std::fprintf(stderr, "lumora-cli: cannot start the drawing tool %s: %s\n", szTool.c_str(), std::strerror(errno));
    return CLI_EXIT_SOFTWARE;
}
} // namespace

int main(int argc, char** argv)
{
    if (IsDrawingCommand(argc, argv))
        return HandToDrawingTool(argc, argv);
    return RunCli(argc, argv,
                  {AddInfoCommand, AddRenderName, AddExportCommand, AddUnpackCommand, AddSamplesCommand, AddConvertName, AddScannerCommand});
}
