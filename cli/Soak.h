#pragma once
// lumora-cli scanner soak (cli/SoakCommand.cpp): seeded scenarios of the
// simulated scanner through the gain/offset calibration
// (cli/CalibrateCommand.cpp) and the camera alignment (cli/AlignCommand.cpp).
#include <cstdint>
#include <string>

#include "platform/Json.h"

class CStatusLine;

struct CSoakOptions {
    int32_t m_iScenarios = 1000;
    uint32_t m_iSeed = 1;
    int64_t m_iMaxBlocks = 4000;  // gain/offset: scans before the final pass
    int32_t m_iMaxScans = 400000; // alignment: scans before a scenario is given up
    double m_dTimeScale = 200.0;  // alignment: scanner time per CPU time
    double m_dMaxOffset = 8.0;    // alignment: largest camera misalignment, pixels
    std::string m_szVariant = "both"; // alignment: timed, step or both (every other scenario)
    std::string m_szFolder;       // where scenario files go while they run
};

struct CSoakOutcome {
    int32_t m_iRuns = 0, m_iAsExpected = 0;
    int32_t m_iOpenError = 0; // the simulated scanner could not be opened
    std::string m_szSummary;  // the human-readable lines
};

// Each returns its JSON object; progress goes to the status line.
CJson GainOffsetSoak(const CSoakOptions& o, CStatusLine& status, CSoakOutcome& out);
CJson AlignmentSoak(const CSoakOptions& o, CStatusLine& status, CSoakOutcome& out);
