#pragma once
// lumora-cli scanner scan / record / replay (cli/ScanCommands.cpp), and what
// they share with the other scanner subcommands (cli/ScannerCommand.cpp).
#include <cstdint>
#include <string>

#include <CLI/CLI.hpp>

class CScanner;

void AddScanCommands(CLI::App& scannerCommand, int& iExit);
void AddLiveTestCommands(CLI::App& scannerCommand, int& iExit);
void AddAlignCommands(CLI::App& scannerCommand, int& iExit); // cli/AlignCommand.cpp
void AddCalibrateCommand(CLI::App& scannerCommand, int& iExit); // cli/CalibrateCommand.cpp
void AddSoakCommand(CLI::App& scannerCommand, int& iExit);      // cli/SoakCommand.cpp
// While it lives, the simulated scanner (no LUMORA_SCAN_LIBRARY) holds the
// calibration sheet, with sensor noise, unless its scenario names a sheet
// (and noise) of its own: what a technician puts in before calibrating or
// aligning (cli/CalibrateCommand.cpp).
class CSimulatorSheet {
public:
    CSimulatorSheet();
    ~CSimulatorSheet();
    CSimulatorSheet(const CSimulatorSheet&) = delete;
    CSimulatorSheet& operator=(const CSimulatorSheet&) = delete;

private:
    std::string m_szPath, m_szOld;
    bool m_bHadOld = false;
};
// Program errors by their text, sense codes and library numbers as numbers.
std::string ScannerErrorText(int32_t iError);
// Loads the library and opens the scanner; prints why not and sets iExit.
bool OpenScannerForCommand(CScanner& scanner, int32_t hScanner, int& iExit);
