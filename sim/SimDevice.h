#pragma once
// State of the simulated scanner library: its scenario, the scanners it
// offers and everything each scanner keeps. All times inside are simulated
// milliseconds: real time multiplied by the scenario's time scale, so tests
// can run a two-second paper load in a few milliseconds.
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "SimCameras.h"

class CIniFile;

namespace sim {

// A check condition injected on an entry (optionally only for one data type
// or buffer id), for a number of calls or for ever (iRemaining < 0).
struct CInjectedCheck {
    std::string m_szEntry;
    int32_t m_iSelector = -1; // data type / buffer id, -1 = any
    int32_t m_iSense = 0;
    int32_t m_iRemaining = -1;
    int32_t m_iSkip = 0; // matching calls answered normally first
};

// One camera's optics and analog front end ([Camera.A] ... [Camera.H]).
// Lengths are optical pixels across the sheet and optical scan lines along it.
struct CCameraScenario {
    double m_dOffsetX = 0.0;    // view shifted along the scan line
    double m_dOffsetY = 0.0;    // view ahead (+) of the nominal scan line
    double m_dTilt = 0.0;       // extra OffsetY gained over the sheet length
    double m_dWidthError = 0.0; // the view is this much wider than nominal
    double m_dBlack = 12.0;     // black level at the factory offset 16
    double m_dWhiteGain = 1.0;  // sensitivity
    double m_dOddBlack = 0.0;   // the odd channel's black level lies this much higher
    double m_dOddWhiteGain = 1.0; // the odd channel's sensitivity relative to the even one
    double m_dLamp = 1.0;       // this camera's share of the lamp light
    double m_dFalloff = 0.05;   // light lost at the camera's ends
    int32_t m_iPhase = 0;       // pixel phase of the even channel's first pixel
    double m_dBlur = 0.0;       // out of focus: the image spreads over this many pixels
    // What one unit of the adjustment motor (drive command) moves.
    double m_dMotorX = 1.0, m_dMotorY = 0.0, m_dMotorWidth = 0.0;
    bool m_bMotorStuck = false;
};

enum class ESheetKind { Flat, White, Calibration, Line };

struct CScenario {
    // [Device]
    std::vector<int32_t> m_Handles{1};
    std::vector<std::string> m_Names{"Lumora SimScan 36 Colour"};
    std::vector<int32_t> m_Connections{1};
    double m_dTimeScale = 1.0;
    bool m_bCpuClock = false; // [Device] Clock=cpu: time runs on the process's CPU time
    // Where the device keeps its state between runs (paper, buffers, motors),
    // the way a real scanner keeps it between two programs; empty = never.
    std::string m_szStateFile;
    // [Model]
    int32_t m_iType = 5;
    bool m_bColor = true;
    bool m_bGrayAsRgb = false; // inquiry page 0xC1 flag 85
    int32_t m_iCameras = 4;    // as reported; the device itself never keeps more than 8
    int32_t m_iOpticalResolution = 600;
    bool m_bSoftwareScanner = false;
    uint8_t m_byCISModes = 0x01;
    std::vector<int32_t> m_CISResolutions; // per mode bit; empty = the classic table
    int32_t m_iDeviceValue = 6;
    int32_t m_iBlockSize = 65536;
    int32_t m_iScanWidth = 43200;   // 1/1200 inch
    int32_t m_iCameraOverlap = 128; // pixels shared by neighbouring cameras
    int32_t m_iStatusBlockValue = -1;
    char m_cUnitLetter = 'i';
    int32_t m_iWindowPageLength = 83;
    int32_t m_iGammaLength = 1024;
    int32_t m_iStitchMin = -40, m_iStitchMax = 40; // configuration manager range
    int32_t m_iLeastLines = 100, m_iMostLines = 720;
    int32_t m_iLensAreas = 16;
    // [Paper]
    int32_t m_iInitialPaper = 0x11; // calibration sheet inserted
    int32_t m_iLoadMs = 1500, m_iMoveMs = 400, m_iPositionMs = 200, m_iEjectMs = 800;
    int32_t m_iPaperSpeed = 20000; // position units per second
    int32_t m_iPaperLength = 40000;
    int32_t m_iMotorSpeed = 2000; // motor units x 1000 per second
    int32_t m_iRebootMs = 3000;
    // [Faults]
    bool m_bSelfTestOnOpen = false;
    int32_t m_iNotReadyReads = 0; // status reads answering state 10 after open
    bool m_bPaperJam = false;
    bool m_bLidOpen = false;
    bool m_bNoStatusBlock = false;
    bool m_bNoName = false;
    int32_t m_iStatusLength = 100; // bytes of the status block delivered at most
    int32_t m_iOverReport = 0;     // added to every received count (a lying library)
    int64_t m_iLoseConnectionAfter = -1;
    int32_t m_iSlowReadMs = 0;
    std::vector<CInjectedCheck> m_Checks;
    std::map<uint8_t, std::vector<uint8_t>> m_PageOverrides; // raw inquiry pages
    int32_t m_iStallEvery = 0; // image reads with data between two stalls
    int32_t m_iStallMs = 0;
    int32_t m_iRebootsToApply = 1; // cold reboots before written calibration is in use
    // Camera model and optics
    int32_t m_iDarkPixels = 16;   // covered reference pixels at each camera end, optical
    int32_t m_iGainBits = 8;      // 8, or 5 for the newer analog front end
    int32_t m_iGainDelayLines = 0; // lines already in the pipeline when a gain/offset write arrives
    int32_t m_iGeneration = 6;
    bool m_bCISModesGiven = false;
    std::array<CCameraScenario, kMaxCameras> m_Camera{};
    ESheetKind m_eSheet = ESheetKind::Flat;
    double m_dFrontLineY = 0.0, m_dRearLineY = 0.0; // scan-line position of front / rear cameras
    double m_dLineY = 600.0;     // positioning line, optical lines from the sheet top (1 inch)
    double m_dLineWidth = 4.0;   // its thickness in optical lines
    double m_dWireSlant = 0.0;   // optical pixels per optical line, second stitch wire
    double m_dMarkGap = 3.0;     // positioning mark: wire centre distance on the line
    double m_dMarkSlope = 1.0;   // its slanted wire's pixels per line
    double m_dMarkReach = 300.0; // lines above and below the line that carry the mark
    double m_dMarkWidth = 1.0;   // pixels of each wire of the mark
    double m_dMarkRepeat = 0.0;  // > 0: the mark runs the whole sheet, its slanted wire restarting every this many lines
    double m_dPaperWhite = 0.9, m_dCardBlack = 0.1;
    double m_dFineLines = 0.0;   // pitch of fine ink lines on the calibration card, pixels (0: none)
    double m_dLampWeakness = 0.0;
    double m_dCarriageTilt = 0.0;
    double m_dColourLines = 0.0; // optical lines between a camera's red, green and blue sensor rows
    uint32_t m_iNoiseSeed = 1;
    double m_dNoiseSigma = 0.0;
    int32_t m_iCISNoiseEvery = 0;
    int32_t m_iCISNoiseWidth = 80; // optical pixels at each camera end
    double m_dScanSpeed = 0.0;     // inches per second; 0 = as fast as read

    bool Load(const std::string& szPath, std::string& szError);

private:
    void LoadOptics(const ::CIniFile& ini);
};

struct CDevice;
class CLibrary;
struct CLayout;

// Where a scan line of the current window comes from (SimImage.cpp).
struct CLineRequest {
    int64_t m_iLine = 0;      // scan line of the window
    double m_dSheetY = 0.0;   // sheet row at the nominal scan line, 1/1200 inch
    double m_dStep = 0.0;     // sheet travel per scan line, 1/1200 inch (0: sheet still)
    int32_t m_iBytesPerPixel = 1;
    bool m_bEdgeNoise = false; // this block shows CIS noise at the camera edges
};

// Everything that draws image lines: the sheet seen through the cameras.
class CImageSource {
public:
    virtual ~CImageSource() = default;
    // Fills layout.m_iWidth pixels of the delivered line.
    virtual void RenderLine(const CLibrary& lib, const CDevice& d, const CLayout& layout, const CLineRequest& r,
                            uint8_t* pOut) = 0;
};

std::unique_ptr<CImageSource> MakeImageSource(const CScenario& s);
// Where the device keeps its state between programs; empty = nowhere.
std::string StateFileFor(const CScenario& s, bool bFromScenarioFile);

struct CWindow {
    bool m_bSet = false;
    int32_t m_iXResolution = 0, m_iYResolution = 0;
    int32_t m_iLeft = 0, m_iTop = 0, m_iWidth = 0, m_iLength = 0;
    int32_t m_iComposition = 0, m_iBitsPerPixel = 0;
    std::vector<uint8_t> m_Bytes;
};

struct CMotor {
    int64_t m_iPosition = 0; // x 1000
    int64_t m_iTarget = 0;
    int32_t m_iRun = 0; // 0 stopped, +1 forward, -1 backward (continuous run)
};

struct CDevice {
    int32_t m_hHandle = 0;
    std::string m_szName;
    int32_t m_iConnection = 1;
    bool m_bOpen = false;
    bool m_bReserved = false;
    int32_t m_iLastAsc = 0;
    int32_t m_iNotReadyLeft = 0;
    int64_t m_iRebootUntil = -1; // sim ms; state 10 until then, 4 after
    bool m_bRebooted = false;
    // Paper
    int32_t m_iPaper = 0x11;
    int64_t m_iPosition = 0;
    int64_t m_iTargetPosition = 0;
    std::vector<std::pair<int64_t, int32_t>> m_PaperSteps; // (due sim ms, next state)
    // Scan
    CWindow m_Window;
    bool m_bScanning = false;
    int64_t m_iLinesDelivered = 0;
    int64_t m_iLinesWanted = 0; // 0 = continuous
    // Buffers
    std::map<std::pair<int32_t, int32_t>, std::vector<uint8_t>> m_Buffers; // (id, offset)
    std::map<int32_t, std::vector<uint8_t>> m_QueryValues;                 // written query codes
    std::map<std::pair<int32_t, int32_t>, std::vector<uint8_t>> m_Sent;    // (data type, qualifier)
    std::vector<std::string> m_TextCommands;
    std::array<CMotor, kMaxCameras> m_Motors{};
    int64_t m_iMotorTime = 0;
    // Scan timing and faults
    int64_t m_iScanStartMs = 0;
    int64_t m_iScanStartPosition = 0; // 1/1200 inch, sheet row at the first line
    int64_t m_iImageReads = 0;        // image reads that delivered data
    int64_t m_iStallUntil = -1;
    int32_t m_iRebootsPending = 0;    // written calibration waits for this many reboots
    // Gain/offset writes still on their way to the front end (due scan line,
    // bytes), and the set the front end uses meanwhile.
    std::vector<std::pair<int64_t, std::vector<uint8_t>>> m_GainOffsetQueue;
    std::vector<uint8_t> m_GainOffsetInUse;
    bool m_bGainOffsetInUse = false;
};

class CLibrary {
public:
    static CLibrary& Instance();
    std::mutex m_Mutex;

    int32_t OpenLib();
    int32_t CloseLib();
    bool IsOpen() const { return m_iOpenCount > 0; }
    // Counts the call and answers a lost connection once the scenario's
    // budget is spent; 0 otherwise.
    int32_t CountCall();
    // An injected check condition for this entry, or 0.
    int32_t Injected(CDevice* pDevice, const char* szEntry, int32_t iSelector);

    CDevice* Find(int32_t hScanner);
    // The state file of the scenario, when it names one.
    void LoadState();
    void SaveState();
    int64_t SimNow() const;
    void Advance(CDevice& d);
    std::vector<uint8_t> InquiryPage(uint8_t byPage) const;
    std::vector<uint8_t> StatusBlock(CDevice& d);
    int32_t Cameras() const;
    // Mode bits of inquiry page 0xC1 byte 125.
    uint8_t CISModes() const;
    // The camera layout of the line the device delivers for its window (or,
    // without one, a full-width line at the optical resolution).
    CLayout Layout(const CDevice& d) const;

    // scanApplyDataProcessing: on, the firmware stitches the cameras into one
    // line; off, each camera's whole row follows the previous one.
    bool m_bStitched = true;

    CScenario m_Scenario;
    std::vector<CDevice> m_Devices;
    std::unique_ptr<CImageSource> m_pImageSource;
    size_t m_iEnumerated = 0;
    std::string m_szScenarioError;
    std::string m_szScenarioPath;
    std::string m_szScenarioPathInUse;
    std::string m_szStateFile;

private:
    void Reset();
    int32_t m_iOpenCount = 0;
    int64_t m_iCalls = 0;
    int64_t m_iStartUs = 0;
};

int32_t CheckCondition(CDevice& d, int32_t iSense);

} // namespace sim
