#pragma once
// CScanner: the one door to a connected scanner. Every operation keeps the
// result of its last library call in m_ErrorNo and returns it (0 = success).
#include <algorithm>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "scanner/CalibrationLibrary.h"

// Paper states of status byte 1.
enum EPaperState : int32_t {
    ZEL_PS_NOT_PRESENT = 0x00,
    ZEL_PS_EJECTED = 0x10,
    ZEL_PS_INSERTED = 0x11,
    ZEL_PS_UNKNOWN = 0x12,
    ZEL_PS_JAMMED = 0x13,
    ZEL_PS_LID_OPEN = 0x14,
    ZEL_PS_LOADING = 0x20,
    ZEL_PS_MOVING = 0x21,
    ZEL_PS_POSITIONING = 0x22,
    ZEL_PS_EJECTING = 0x23,
    ZEL_PS_SCANNING = 0x24,
    ZEL_PS_BASIC_CALIBRATING = 0x25,
    ZEL_PS_READY = 0x30,
    ZEL_PS_READY_BUT_MOVED = 0x31,
};

enum EZelColor : int32_t { ZEL_COLOR_RED, ZEL_COLOR_GREEN, ZEL_COLOR_BLUE, ZEL_COLOR_RGB, ZEL_COLOR_GRAY };

// Thrown only for a nested reservation or a release without one: both are
// programming errors, never device conditions.
class CScannerProgrammingError : public std::logic_error {
public:
    CScannerProgrammingError() : std::logic_error("This may never happen, is a programming error") {}
};

struct ScannerRecord {
    int32_t m_hScanner = 0;
    int32_t m_iReserved = 0;
    std::string m_szName;
    int32_t m_iConnection = 0; // 1 USB, 3 Ethernet, 4 USBCY, other unknown
};

struct CScanWindow {
    int32_t m_iColorMode = 3; // 1 line art, 2 gray, 3 colour
    int32_t m_iXResolution = 0;
    int32_t m_iYResolution = 0;
    int32_t m_iLeft = 0, m_iTop = 0, m_iWidth = 0, m_iLength = 0; // 1/1200 inch
    uint8_t m_byThreshold = 0;
    int32_t m_iVendorValue1 = 0;
    int32_t m_iVendorValue2 = 0;
    uint8_t m_byVendor = 0;
    uint8_t m_byColorOption = 0;
    uint8_t m_byVendor2 = 0;
};

class CScanner {
public:
    static constexpr int32_t kMaxCameras = 8;
    static constexpr int32_t kStitchCount = kMaxCameras - 1;
    static constexpr int32_t kAlignmentAreas = 8;
    static constexpr int32_t kStatusLength = 21;
    // A status read that delivered too little leaves these.
    static constexpr int32_t kNoPaperState = 255;
    static constexpr int32_t kNoPosition = static_cast<int32_t>(0x80000001u);
    // Result of SetCISAlignment (offsets) when the delay check fails.
    static constexpr int32_t kAlignmentDelayError = 1036;

    CScanner();
    CScanner(const CScanner&) = delete;
    CScanner& operator=(const CScanner&) = delete;

    // ---- virtual slots, in their order (the destructor is slot 3)
    virtual int32_t GetCameraPixelRanges(std::span<int32_t, kMaxCameras> first, std::span<int32_t, kMaxCameras> last);
    virtual int32_t GetScanLineRange(bool bSecond, int32_t& iFirst, int32_t& iLast);
    // One position pair per stitch: a and b hold the same count, at most 64.
    virtual int32_t ReadStitchPositions(std::span<int32_t> a, std::span<int32_t> b);
    virtual ~CScanner();
    virtual int32_t GetStitchValues(std::span<int32_t, kStitchCount> values);
    virtual std::string GetScannerName();
    virtual int32_t GetDeviceValue();
    virtual bool IsColorScanner();
    virtual int32_t GetCameraCount();
    virtual int32_t GetCISModeCount();
    virtual int32_t GetScannerType();
    virtual int32_t GetOpticalResolution();
    virtual int32_t BackupCalibration(const std::string& szFile);
    virtual int32_t RestoreCalibration(const std::string& szFile);

    // ---- library and scanner
    int32_t OpenLibrary();
    int32_t CloseLibrary();
    int32_t OpenScanner(int32_t hScanner, bool bApplyDataProcessing);
    int32_t CloseScanner(bool bAlsoLibrary);
    int32_t RegisterAllScanners();
    int32_t RescanBus();
    int32_t ReserveScanner(bool bCheckNesting);
    int32_t ReleaseScanner(bool bCheckNesting);
    static bool IsUnitReserved();
    int32_t WaitUnitReady();
    int32_t WaitForModeReadyAfterReboot(int32_t iSeconds);
    int32_t ResetScanSystem();
    int32_t ResetCommand(int32_t iQualifier); // 1: then drain, 3: then 100 ms
    int32_t DrainScanData();
    int32_t WriteTextToLog(const std::string& szText);

    // ---- identity and capabilities
    std::string GetScannerDisplayText(int32_t iIndex) const; // of m_scanners
    static std::string DisplayText(const std::string& szName, int32_t iConnection);
    std::string GetUnitText(int32_t iIndex);
    std::string GetUnitText();
    bool UseStaticStartStop();
    bool IsSoftwareScanner();
    bool HasStatusBlock();
    bool IsTypeGroupA();
    bool IsTypeGroupB();
    bool IsTypeGroupC();
    bool IsTypeGroupD();

    // ---- paper
    // Asks for as many status bytes as the buffer holds.
    int32_t ReadStatus(std::span<uint8_t> buffer, int32_t& iReceived);
    bool GetPaperState(int32_t& iState, int32_t& iPosition);
    static std::string GetPaperStatusName(int32_t iState);
    static bool IsLoadableState(int32_t iState);
    bool CanPaperBeLoaded();
    int32_t G5_PaperReady(int32_t iTimeoutSeconds, bool bStopWithoutPaper);
    int32_t LoadPaper(bool bNoWait);
    // A sheet that is in but not yet drawn to the scan line is loaded (and
    // waited for); 0 when nothing needed doing. Scans start with this.
    int32_t LoadPaperIfNeeded();
    int32_t MovePaperToWindow();
    int32_t EjectPaper();
    int32_t MovePaperBy(int32_t iCount);
    int32_t MovePaperTo(int32_t iCount);
    int32_t PaperAtEnd(int32_t iTimeoutSeconds);
    int32_t SendTextCommand(const std::string& szText, int32_t iPauseMs);
    int32_t LampOn();

    // ---- scan
    void SetWindowArea(int32_t iLeft, int32_t iTop, int32_t iWidth, int32_t iLength);
    void SetWindowResolution(int32_t iDpi);
    // The parameter list SendSetWindowCommand would send now (tests, diagnostics).
    std::vector<uint8_t> BuildWindowParameterList();
    int32_t SendSetWindowCommand();
    int32_t SendScanCommand(uint8_t byWindowId);
    int32_t ReadScanData(std::span<uint8_t> buffer, int32_t& iReceived);
    int32_t SendGammaCurve(double dGamma, int32_t iBrightness, int32_t iContrast);
    int32_t SendLevels(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e, int32_t f, bool bWaitForPaper);

    // ---- calibration data
    int32_t ReadGainOffset(CGainOffset& go);
    int32_t WriteGainOffset(const CGainOffset& go, int32_t iSequence);
    // Uses the first cameras - 1 values.
    int32_t SetStitchValues(std::span<const int32_t, kStitchCount> values);
    int32_t WriteStitchPositions(std::span<const int32_t> a, std::span<const int32_t> b);
    int32_t ReadCISAlignment(std::span<int8_t, kAlignmentAreas> values);
    int32_t SetCISAlignment(std::span<const int8_t, kAlignmentAreas> values, bool bAddToCurrent, bool bIndependent);
    // Uses the first cameras - 1 offsets.
    int32_t SetCISAlignment(std::span<const double, kAlignmentAreas - 1> offsets, bool bAddToCurrent);
    bool CheckAlignmentDelays(std::span<const int32_t> values);
    int32_t GetLensCorrectionAreaCount(int32_t& iCount);
    int32_t ReadLensCorrection(std::vector<uint8_t>& table, int32_t iCount);
    int32_t WriteLensCorrection(const std::vector<uint8_t>& table);

    // ---- CIS resolution modes
    int32_t GetCISModeResolution(int32_t iMode);
    int32_t GetHighestCISModeResolution();
    int32_t GetCurrentCISMode();
    int32_t GetCurrentCISResolution(int32_t& iDpi);
    int32_t SetCISResolution(int32_t iDpi);
    int32_t CIS_SelectModeForDPI(int32_t iDpi, int32_t& iChosen);
    int32_t CIS_SelectModeForDPI(int32_t iDpi);

    // ---- further transfers
    // Query buffer 0xEB: byte 0 is 0, byte 1 the code; the answer comes back in
    // the same bytes.
    int32_t ReadQuery(uint8_t byCode, std::span<uint8_t> buffer);
    int32_t WriteQuery(uint8_t byCode, std::span<const uint8_t> value); // up to 253 bytes
    int32_t ReadQueryValue16(uint8_t byCode, int32_t& iValue); // bytes 2-3
    using CameraValues = std::span<double, kMaxCameras>;
    using ConstCameraValues = std::span<const double, kMaxCameras>;
    int32_t ReadCameraFactors(CameraValues a, CameraValues b, CameraValues c, CameraValues d);
    int32_t WriteCameraFactors(ConstCameraValues a, ConstCameraValues b, ConstCameraValues c, ConstCameraValues d);
    int32_t ReadBuffer(uint8_t byBufferId, int32_t iOffset, std::span<uint8_t> buffer);
    int32_t WriteBuffer(uint8_t byBufferId, int32_t iOffset, std::span<const uint8_t> data);
    int32_t SendServiceCommand(int32_t iQualifier, std::span<const uint8_t> data);
    int32_t SendSingleSetting(int32_t iDataType, std::span<const uint8_t> data);
    int32_t ReadIdentification(std::span<uint8_t> buffer, int32_t& iReceived);
    // Up to three (minimum, maximum) pairs; kConfigurationMissing stands for a
    // value the scanner does not have.
    static constexpr int32_t kConfigurationMissing = -100;
    int32_t GetConfigurationRanges(std::span<int32_t, 3> mins, std::span<int32_t, 3> maxs);
    // Pixel count of every camera A-H in the line the scanner delivers now
    // (configuration item 2); cameras the scanner lacks read 0.
    int32_t GetCameraPixels8(std::span<int32_t, kMaxCameras> pixels);
    // The scanner's generation (query code 13); 0 when it does not say.
    int32_t GetGeneration(int32_t& iGeneration);
    // Drive commands for the camera adjustment motors.
    int32_t MoveCameraMotor(int32_t iIndex, double dDistance);
    int32_t RunCameraMotor(int32_t iIndex, bool bForward);
    int32_t StopCameraMotor(int32_t iIndex);
    int32_t HomeCameraMotor(int32_t iIndex);
    int32_t DriveState(int32_t iIndex) const;
    // Positions of the motors in the unit of MoveCameraMotor (query code 22).
    int32_t GetCameraMotorPositions(std::span<double, kMaxCameras> positions);

    // ---- fields
    bool m_bNoStatusBlock = false;
    int32_t m_iOpticalResolutionOverride = -1;
    bool m_bFixedY = false;
    bool m_bOneShotY = false;
    int32_t m_iOneShotYResolution = -1;
    StoredVariables m_StoredVariables;
    bool m_bPaperRemoved = false;
    std::vector<ScannerRecord> m_scanners;
    bool m_bUse_CIS_LightOff = false;
    bool m_bUse_CIS_LightOff_Row2 = false;
    bool m_bWindowSet = true;
    CScanWindow m_Window;
    int32_t m_ErrorNo = 0;
    int32_t m_hScanner = 0;
    bool m_bLibraryOpen = false;
    bool m_bScannerOpen = false;
    CScannerInterface m_Interface;
    CInquiryPages m_InquiryPages;
    CGhost m_Ghost;
    CDiagnostics m_Diagnostics;
    CAdjust m_Adjust;
    CEdgeAdjust m_EdgeAdjust;
    CColorMatrix m_ColorMatrix;
    CScaling m_Scaling;
    std::vector<int32_t> m_ScratchA;
    std::vector<int32_t> m_ScratchB;
    int64_t m_iCreationTicks = 0;
    // Why the last backup or restore failed before reaching the scanner.
    std::string m_szFileError;

protected:
    // The camera count sized for the per-camera buffers: a subclass answers
    // from a recording, which may hold anything.
    int32_t CamerasInBuffers() { return std::clamp(GetCameraCount(), 0, kMaxCameras); }
    // Applies the check-condition rule, keeps the result in m_ErrorNo.
    int32_t Keep(int32_t iLibraryResult);
    // Sleeps in small steps; false when a cancel request arrived (then
    // acknowledged and m_ErrorNo holds the cancel error).
    bool Pause(int32_t iMilliseconds);
    int32_t Cancelled();

private:
    int32_t m_iDriveState[kMaxCameras] = {};
    // This object holds the process-wide reservation and must give it back.
    bool m_bHoldsReservation = false;
    void ForgetReservation();
};

// Program errors the scanner layer raises.
int32_t ScannerProgramError(int32_t iNumber);
// Points ReportError's check-condition lookup at scanGetLastAsc (done by every
// CScanner; idempotent).
void InstallScannerErrorSeam();
constexpr int32_t ERR_USER_CANCELLED = 120;
constexpr int32_t ERR_SELF_TEST_MODE = 1023;
constexpr int32_t ERR_PAPER_TIMEOUT = 1185;
constexpr int32_t ERR_SCAN_END_OF_MEDIA = 1199;
