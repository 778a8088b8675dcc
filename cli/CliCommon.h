#pragma once
// The command-line contract: data to stdout, messages to stderr, and these
// exit codes (scripts and tests depend on them).
#include <CLI/CLI.hpp>

enum ECliExit : int {
    CLI_EXIT_OK = 0,
    CLI_EXIT_CHECK_FAILED = 1,
    CLI_EXIT_USAGE = 64,
    CLI_EXIT_DATAERR = 65,    // input not recognised or malformed
    CLI_EXIT_NOINPUT = 66,    // input missing or unreadable
    CLI_EXIT_SOFTWARE = 70,   // internal error
    CLI_EXIT_CANTCREAT = 73,  // output cannot be written
};

// Each command adds its subcommand to the app; its callback stores the exit
// code in iExit. One command per file.
void AddInfoCommand(CLI::App& app, int& iExit);     // cli/InfoCommand.cpp
void AddRenderCommand(CLI::App& app, int& iExit);   // cli/RenderCommand.cpp
void AddUnpackCommand(CLI::App& app, int& iExit);   // cli/UnpackCommand.cpp
void AddSamplesCommand(CLI::App& app, int& iExit);  // cli/SamplesCommand.cpp
void AddConvertCommand(CLI::App& app, int& iExit);  // cli/ConvertCommand.cpp
void AddScannerCommand(CLI::App& app, int& iExit);  // cli/ScannerCommand.cpp
void AddExportCommand(CLI::App& app, int& iExit);   // cli/ExportCommand.cpp
