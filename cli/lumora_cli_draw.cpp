// lumora-cli's render and convert: the commands that need Qt. lumora-cli
// starts this program in its own place with "--standing-in-for <its path>"
// first, so settings, log and messages are those of lumora-cli.
#include <cstring>

#include "CliMain.h"
#include "platform/Paths.h"
#include "platform/ui/QtMessages.h"

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], DRAWING_TOOL_FROM) == 0) {
        StandInForProgram(argv[2]);
        argv[2] = argv[0];
        argv += 2;
        argc -= 2;
    }
    SendQtMessagesToLog();
    return RunCli(argc, argv, {AddRenderCommand, AddConvertCommand});
}
