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

namespace sim {

constexpr int kMaxCameras = 8;

// A check condition injected on an entry (optionally only for one data type
// or buffer id), for a number of calls or for ever (iRemaining < 0).
struct CInjectedCheck {
    std::string m_szEntry;
    int32_t m_iSelector = -1; // data type / buffer id, -1 = any
    int32_t m_iSense = 0;
    int32_t m_iRemaining = -1;
};

struct CScenario {
    // [Device]
    std::vector<int32_t> m_Handles{1};
    std::vector<std::string> m_Names{"Lumora SimScan 36 Colour"};
    std::vector<int32_t> m_Connections{1};
    double m_dTimeScale = 1.0;
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

    bool Load(const std::string& szPath, std::string& szError);
};

// Everything that draws image lines. The device asks it for each scan line in
// turn; the next stage plugs in the calibration sheet seen through the camera
// geometry and the analog gain/offset.
struct CDevice;
class CLibrary;
class CImageSource {
public:
    virtual ~CImageSource() = default;
    // Fills iPixels pixels of iBytesPerPixel bytes for scan line iLine of the
    // device's current window. The device carries everything a renderer
    // needs: window, gain/offset buffer, stitch and alignment buffers, motor
    // positions; the library carries the scenario.
    virtual void RenderLine(const CLibrary& lib, const CDevice& d, int64_t iLine, int32_t iPixels,
                            int32_t iBytesPerPixel, uint8_t* pOut) = 0;
};

// The source a scenario asks for; the flat gray field until a calibration
// sheet renderer is added (SimImage.cpp).
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
    int32_t CameraPixels() const;
    int32_t Cameras() const;

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
    int64_t m_iStartRealMs = 0;
};

int32_t CheckCondition(CDevice& d, int32_t iSense);
// Pixels each camera delivers at the optical resolution, overlap included.
int32_t CameraPixelsFor(const CScenario& s);

} // namespace sim
