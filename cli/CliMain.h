#pragma once
// The body both command-line programs share: lumora-cli (no Qt) and the
// drawing tool it hands render and convert to, so help, version, exit codes
// and interrupts behave the same whichever of the two runs a command.
#include <initializer_list>

#include "CliCommon.h"

using AddCommandFn = void (*)(CLI::App& app, int& iExit);

int RunCli(int argc, char** argv, std::initializer_list<AddCommandFn> commands);

// Render and convert draw or read pictures with Qt; lumora-cli lists them
// but runs them in this program, kept in the private library folder of an
// installation (beside lumora-cli in a build tree).
inline constexpr const char* DRAWING_TOOL_NAME = "lumora-cli-draw";
// The drawing tool's first arguments say which program it stands in for.
inline constexpr const char* DRAWING_TOOL_FROM = "--standing-in-for";
inline constexpr const char* RENDER_COMMAND_TEXT = "Draw the view the GUI shows for a file, with the same painting code";
inline constexpr const char* CONVERT_COMMAND_TEXT = "Pictures between TIFF, PNG/PGM/PPM and the picture-holding data files";
