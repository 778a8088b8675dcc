#pragma once
// A whole live gain/offset run on a connected scanner: continuous scan with
// the lamp off on every other line, one CLiveGainOffset call per block, until
// the mode is calibrated, an error ends it or the block limit is reached
// (then one final pass names every channel still off target). Also the
// seeded scenarios of the closed-loop soak on the simulated scanner.
#include <array>
#include <cstdint>
#include <functional>
#include <string>

class CScanner;
class CContScan;
class CLiveGainOffset;

struct CLgoRunOptions {
    int32_t m_iMode = 0;           // 2 gray, 3 colour, 0: colour on a colour scanner
    int64_t m_iMaxBlocks = 4000;   // blocks before the final pass
    // After every processed block (status lines, tests).
    std::function<void(const CLiveGainOffset&, const CContScan&)> m_OnBlock;
};

struct CLgoCameraResult {
    int32_t m_iBlack = -1, m_iWhite = -1; // last levels, mean of channels and colours
    bool m_bFailed = false;
    int32_t m_iError = 0;                 // program error of this camera, 0 = none
};

struct CLgoRunResult {
    bool m_bConverged = false;
    int64_t m_iCalls = 0;                 // blocks handed to the loop
    int32_t m_iError = 0;                 // first error of the run, 0 = none
    int32_t m_iCameras = 0;
    int32_t m_iDPI = 0, m_iMode = 0;
    int32_t m_iCallDelay = -1;
    std::array<CLgoCameraResult, 8> m_Cameras{};
    // Time spent in the analysis and in waiting for the scanner's blocks.
    double m_dAnalysisMs = 0, m_dDeliveryMs = 0;
};

// Runs on an opened scanner; the result's m_iError is also returned.
int32_t RunLiveGainOffset(CScanner& scanner, const CLgoRunOptions& options, CLgoRunResult& result);

// ---- closed-loop soak on the simulated scanner

// One seeded scenario: its INI text and whether the lamp and the black
// levels lie within what the analog front end can correct.
struct CLgoSoakScenario {
    uint32_t m_iSeed = 0;
    std::string m_szIni;
    bool m_bInRange = true;
    std::string m_szKind; // "normal", "weak-lamp", "high-black"
};
CLgoSoakScenario MakeLgoSoakScenario(uint32_t iSeed);

// Writes the scenario into szFolder, points the simulator at it, opens the
// scanner, runs the calibration and closes everything again.
struct CLgoSoakCase {
    CLgoSoakScenario m_Scenario;
    CLgoRunResult m_Result;
    int32_t m_iOpenError = 0;
    // In range: converged with no error; out of range: ended in 984 or 985.
    bool m_bAsExpected = false;
};
CLgoSoakCase RunLgoSoakCase(uint32_t iSeed, const std::string& szFolder, int64_t iMaxBlocks = 4000);
