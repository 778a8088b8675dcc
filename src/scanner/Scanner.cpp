#include "scanner/Scanner.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstring>
#include <iterator>
#include <mutex>
#include <thread>

#include "platform/ByteOrder.h"
#include "platform/Log.h"
#include "platform/Messages.h"
#include "scanner/ScanLibrary.h"

#include "datafiles/ErrorReport.h"
#include "datafiles/ProgramErrors.h"

namespace {

// The unit is reserved by this program; shared by every scanner object.
std::atomic<bool> g_bUnitReserved{false};
// Advanced at every window of a scanner without the software-scanner flag, so
// consecutive scans never start on exactly the same line.
std::atomic<int32_t> g_iTopCounter{0};

int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void SleepMs(int32_t iMs)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(iMs));
}

bool IsOneOf(int32_t v, std::initializer_list<int32_t> list)
{
    return std::find(list.begin(), list.end(), v) != list.end();
}

// A gamma table longer than this is not a table any scanner of the family has.
constexpr int64_t kMaxGammaLength = 1 << 16;
// Highest optical resolution taken from a device; anything above is a broken page.
constexpr int32_t kMaxOpticalResolution = 100000;

} // namespace

int32_t ScannerProgramError(int32_t iNumber)
{
    return MakeProgramError(static_cast<uint32_t>(iNumber));
}

void InstallScannerErrorSeam()
{
    // Error reports of check conditions ask the library for the sense code.
    static std::once_flag once;
    std::call_once(once, [] { SetLastAscProvider([](int32_t h) { return ZelLib::RealError(h, ZEL_CHECK_CONDITION); }); });
}

// ================================================================ construction

CScanner::CScanner()
    : m_Interface(&m_hScanner),
      m_InquiryPages(m_Interface),
      m_Ghost(m_Interface),
      m_Diagnostics(m_Interface),
      m_Adjust(m_Interface),
      m_EdgeAdjust(m_Interface),
      m_ColorMatrix(m_Interface),
      m_Scaling(m_Interface),
      m_iCreationTicks(NowMs())
{
    InstallScannerErrorSeam();
}

CScanner::~CScanner()
{
    // An object that goes away with the scanner still open would leave the
    // device held for the rest of the run.
    if (m_bScannerOpen)
        ZelLib::scanCloseScanner(m_hScanner);
    // Closing the scanner ends its reservation at the device; the program
    // must not go on believing it holds one.
    ForgetReservation();
    if (m_bLibraryOpen)
        ZelLib::scanCloseLib();
}

void CScanner::ForgetReservation()
{
    if (m_bHoldsReservation)
        g_bUnitReserved.store(false);
    m_bHoldsReservation = false;
}

int32_t CScanner::Keep(int32_t iLibraryResult)
{
    m_ErrorNo = ZelLib::RealError(m_hScanner, iLibraryResult);
    return m_ErrorNo;
}

int32_t CScanner::Cancelled()
{
    CCancel::SetCancelled();
    Log_Msg("CCancel::IsCancelRequested()");
    m_ErrorNo = ScannerProgramError(ERR_USER_CANCELLED);
    return m_ErrorNo;
}

bool CScanner::Pause(int32_t iMilliseconds)
{
    // Short steps so that Ctrl+C or a Cancel button ends a long wait promptly.
    const int64_t iEnd = NowMs() + iMilliseconds;
    for (;;) {
        if (CCancel::IsCancelRequested()) {
            Cancelled();
            return false;
        }
        const int64_t iLeft = iEnd - NowMs();
        if (iLeft <= 0)
            return true;
        SleepMs(static_cast<int32_t>(std::min<int64_t>(iLeft, 50)));
    }
}

// ================================================================ library and scanner

int32_t CScanner::OpenLibrary()
{
    Log_Msg("CScanner::OpenLibrary");
    if (!m_bLibraryOpen) {
        char szGreeting[41];
        std::snprintf(szGreeting, sizeof(szGreeting), "%-40.40s", "Lumora 6 scanner service tool");
        if (Keep(ZelLib::scanOpenLib2(szGreeting)) == 0)
            m_bLibraryOpen = true;
    } else {
        m_ErrorNo = 0;
    }
    Log_Msg_Int("CScanner::OpenLibrary. m_ErrorNo", m_ErrorNo);
    return m_ErrorNo;
}

int32_t CScanner::CloseLibrary()
{
    Log_Msg("CScanner::CloseLibrary");
    m_ErrorNo = 0;
    if (m_bLibraryOpen && Keep(ZelLib::scanCloseLib()) == 0)
        m_bLibraryOpen = false;
    Log_Msg_Int("CScanner::CloseLibrary. m_ErrorNo", m_ErrorNo);
    return m_ErrorNo;
}

int32_t CScanner::OpenScanner(int32_t hScanner, bool bApplyDataProcessing)
{
    Log_Msg_Txt("CScanner::OpenScanner. bApplyDataProcessing=", bApplyDataProcessing ? "TRUE" : "FALSE");
    m_InquiryPages.Clear();
    m_ScratchA.clear();
    m_ScratchB.clear();
    if (OpenLibrary() != 0)
        return m_ErrorNo;
    ZelLib::scanApplyDataProcessing(bApplyDataProcessing ? 1 : 0);

    if (hScanner < 1) {
        m_hScanner = 0;
        uint8_t info[ZEL_SCANNER_INFO_SIZE] = {};
        int32_t hFound = 0;
        Keep(ZelLib::scanGetNextScanner(&hFound, info, 1));
        m_hScanner = hFound;
        Log_Msg_Int("CScanner::OpenScanner - scanGetNextScanner. m_ErrorNo", m_ErrorNo);
        if (m_ErrorNo != 0)
            return m_ErrorNo;
    } else {
        m_hScanner = hScanner;
    }
    Log_Msg_Int("CScanner::OpenScanner. hScanner=", m_hScanner);

    if (Keep(ZelLib::scanOpenScanner(m_hScanner)) != 0) {
        Log_Msg_Int("CScanner::OpenScanner - scanOpenScanner. m_ErrorNo=", m_ErrorNo);
        return m_ErrorNo;
    }

    uint8_t byState = 0;
    int32_t iReceived = 0;
    m_Interface.Read(&byState, 1, ZEL_DT_STATUS, 0, &iReceived);
    if (iReceived == 1 && byState == 7) {
        m_ErrorNo = ScannerProgramError(ERR_SELF_TEST_MODE);
        Log_Msg_Int("CScanner::OpenScanner - IsScannerInSelfTestMode. m_ErrorNo=", m_ErrorNo);
        ZelLib::scanCloseScanner(m_hScanner);
        return m_ErrorNo;
    }

    // State 10 is the scanner still coming up after the open; its unit-ready
    // answer must already be clean, anything else is a real failure.
    const int64_t iStart = NowMs();
    m_ErrorNo = 0;
    while (NowMs() - iStart <= 10000) {
        uint8_t status[kStatusLength] = {};
        if (ReadStatus(status, iReceived) != 0 || status[0] != 10)
            break;
        if (Keep(ZelLib::scanTestUnitReady(m_hScanner)) != 0)
            break;
        if (!Pause(100))
            break;
    }
    if (m_ErrorNo != 0) {
        Log_Msg_Int("CScanner::OpenScanner - GetRealError. m_ErrorNo=", m_ErrorNo);
        const int32_t iError = m_ErrorNo;
        ZelLib::scanCloseScanner(m_hScanner);
        m_ErrorNo = iError;
        return m_ErrorNo;
    }
    Log_Msg_Int("CScanner::OpenScanner - scanOpenScanner. m_ErrorNo", 0);
    m_bScannerOpen = true;
    return m_ErrorNo = 0;
}

int32_t CScanner::CloseScanner(bool bAlsoLibrary)
{
    Log_Msg("CScanner::CloseScanner");
    m_ErrorNo = 0;
    if (m_bScannerOpen) {
        Keep(ZelLib::scanCloseScanner(m_hScanner));
        Log_Msg_Int("CScanner::CloseScanner. m_ErrorNo", m_ErrorNo);
        m_bScannerOpen = false;
        ForgetReservation();
        if (m_ErrorNo != 0)
            return m_ErrorNo;
    }
    if (bAlsoLibrary)
        CloseLibrary();
    return m_ErrorNo;
}

int32_t CScanner::RegisterAllScanners()
{
    Log_Msg("CScanner::RegisterAllScanners");
    m_scanners.clear();
    if (OpenLibrary() != 0) {
        Log_Msg_Int("CScanner::RegisterAllScanners. OpenLibrary failed:", m_ErrorNo);
        return m_ErrorNo;
    }
    if (Keep(ZelLib::scanRescanScsiBus()) == ZEL_RESCAN_NOTHING_NEW)
        m_ErrorNo = 0;
    if (m_ErrorNo != 0) {
        Log_Msg_Int("CScanner::RegisterAllScanners. scanRescanScsiBus failed:", m_ErrorNo);
        return m_ErrorNo;
    }
    std::vector<int32_t> handles;
    uint8_t info[ZEL_SCANNER_INFO_SIZE] = {};
    // The library ends the list with -117; the bound only guards against one that never does.
    for (int32_t bFirst = 1; handles.size() < 256; bFirst = 0) {
        int32_t h = 0;
        if (Keep(ZelLib::scanGetNextScanner(&h, info, bFirst)) != 0)
            break;
        handles.push_back(h);
    }
    if (m_ErrorNo == ZEL_NO_MORE_SCANNERS)
        m_ErrorNo = 0;
    Log_Msg_Int("CScanner::RegisterAllScanners - scanGetNextScanner. m_ErrorNo", m_ErrorNo);
    Log_Msg_Int("CScanner::RegisterAllScanners. scanGetNextScanner count", static_cast<int32_t>(handles.size()));
    if (m_ErrorNo != 0)
        return m_ErrorNo;

    for (const int32_t h : handles) {
        if (OpenScanner(h, false) != 0) {
            Log_Msg_Int("CScanner::RegisterAllScanners. OpenScanner failed:", m_ErrorNo);
            return m_ErrorNo;
        }
        ScannerRecord rec;
        rec.m_hScanner = h;
        rec.m_szName = GetScannerName();
        rec.m_iConnection = ZelLib::scanGetHardwareType(h);
        m_scanners.push_back(rec);
        if (CloseScanner(false) != 0) {
            Log_Msg_Int("CScanner::RegisterAllScanners. CloseScanner failed:", m_ErrorNo);
            return m_ErrorNo;
        }
    }
    Log_Msg_Int("CScanner::RegisterAllScanners. m_scanners.size()", static_cast<int32_t>(m_scanners.size()));
    return m_ErrorNo = 0;
}

int32_t CScanner::RescanBus()
{
    // -150 only says that the bus holds nothing new.
    if (Keep(ZelLib::scanRescanScsiBus()) == ZEL_RESCAN_NOTHING_NEW)
        m_ErrorNo = 0;
    return m_ErrorNo;
}

bool CScanner::IsUnitReserved()
{
    return g_bUnitReserved.load();
}

int32_t CScanner::ReserveScanner(bool bCheckNesting)
{
    Log_Msg("CScanner::ReserveScanner");
    if (bCheckNesting && g_bUnitReserved.load()) {
        Log_Msg("Trying to reserve the scanner more than once (nested). This may never happen, is a programming "
                "error.");
        throw CScannerProgrammingError();
    }
    if (Keep(ZelLib::scanReserveUnit(m_hScanner)) == 0) {
        g_bUnitReserved.store(true);
        m_bHoldsReservation = true;
    }
    return m_ErrorNo;
}

int32_t CScanner::ReleaseScanner(bool bCheckNesting)
{
    Log_Msg("CScanner::ReleaseScanner");
    if (bCheckNesting && !g_bUnitReserved.load()) {
        Log_Msg("Trying to release the scanner without it being reserved. This may never happen, is a programming "
                "error.");
        throw CScannerProgrammingError();
    }
    // A unit whose connection is gone is held by nobody: keeping the flag
    // would only make the next reservation fail as nested.
    const int32_t iResult = Keep(ZelLib::scanReleaseUnit(m_hScanner));
    if (iResult == 0 || iResult == ZEL_ERR_CONNECTION_LOST) {
        g_bUnitReserved.store(false);
        m_bHoldsReservation = false;
    }
    return m_ErrorNo;
}

int32_t CScanner::WaitUnitReady()
{
    if (!HasStatusBlock())
        return m_ErrorNo = 0;
    LoadPaper(false);
    while (Keep(ZelLib::scanTestUnitReady(m_hScanner)) == ZEL_NOT_READY_YET) {
        if (CCancel::IsCancelRequested())
            return Cancelled();
    }
    return m_ErrorNo;
}

int32_t CScanner::WaitForModeReadyAfterReboot(int32_t iSeconds)
{
    Log_Msg("CScanner::WaitForModeReadyAfterReboot");
    m_ErrorNo = 0;
    for (int32_t i = 0; i < iSeconds * 5; ++i) {
        uint8_t status[kStatusLength] = {};
        int32_t iReceived = 0;
        const int32_t iResult = m_Interface.Read(status, kStatusLength, ZEL_DT_STATUS, 0, &iReceived);
        if (iResult == ZEL_NO_STATUS_BLOCK)
            return m_ErrorNo = 0;
        if (iResult != 0)
            return m_ErrorNo = iResult;
        if (iReceived >= 1 && status[0] >= 4 && status[0] <= 6)
            return m_ErrorNo = 0;
        if (!Pause(200))
            return m_ErrorNo;
    }
    // A scanner that never came back must not look ready to the caller: its
    // next command would fail with something far less telling.
    Log_Msg_Int("CScanner::WaitForModeReadyAfterReboot timeout, seconds", iSeconds);
    return m_ErrorNo = ZEL_NOT_READY_YET;
}

int32_t CScanner::ResetCommand(int32_t iQualifier)
{
    const int32_t iResult = Keep(ZelLib::scanSend(m_hScanner, nullptr, 0, ZEL_DT_STATUS, iQualifier));
    if (iQualifier == 1 || iQualifier == 2) {
        DrainScanData();
        m_ErrorNo = iResult;
    } else if (iQualifier == 3) {
        SleepMs(100);
    }
    return m_ErrorNo;
}

int32_t CScanner::ResetScanSystem()
{
    const int32_t iResult = Keep(ZelLib::scanSend(m_hScanner, nullptr, 0, ZEL_DT_STATUS, 2));
    Log_Msg("ResetScanSystem");
    DrainScanData();
    return m_ErrorNo = iResult;
}

int32_t CScanner::DrainScanData()
{
    uint8_t status[2] = {};
    int32_t iReceived = 0;
    m_ErrorNo = m_Interface.Read(status, 2, ZEL_DT_STATUS, 0, &iReceived);
    if (m_ErrorNo != 0 || iReceived < 2 || (status[1] & 0x20) == 0)
        return m_ErrorNo;
    constexpr int32_t kChunk = 4 * 1024 * 1024;
    std::vector<uint8_t> buffer(kChunk);
    // A device that never runs dry must not hold the program forever.
    for (int32_t i = 0; i < 4096; ++i) {
        m_ErrorNo = m_Interface.Read(buffer.data(), kChunk, ZEL_DT_IMAGE, 0, &iReceived);
        if (m_ErrorNo != 0 || iReceived == 0)
            break;
    }
    return m_ErrorNo;
}

int32_t CScanner::WriteTextToLog(const std::string& szText)
{
    return Keep(ZelLib::scanWriteTextToLog(m_hScanner, szText.c_str()));
}

// ================================================================ identity

std::string CScanner::GetScannerName()
{
    char szName[256] = {};
    const int32_t iResult = ZelLib::scanGetScannerNameToDisplay(m_hScanner, szName, 255);
    szName[255] = '\0';
    if (iResult == ZEL_NO_NAME) {
        m_ErrorNo = iResult;
        return "Unknown Scanner";
    }
    Keep(iResult);
    return std::string(szName, strnlen(szName, 255));
}

std::string CScanner::DisplayText(const std::string& szName, int32_t iConnection)
{
    switch (iConnection) {
    case ZEL_HW_USB: return szName + " ( USB )";
    case ZEL_HW_ETHERNET: return szName + " ( ETHERNET )";
    case ZEL_HW_USBCY: return szName + " ( USBCY )";
    default: return szName + " ( UNKNOWN )";
    }
}

std::string CScanner::GetScannerDisplayText(int32_t iIndex) const
{
    if (iIndex < 0 || iIndex >= static_cast<int32_t>(m_scanners.size()))
        return std::string();
    return DisplayText(m_scanners[static_cast<size_t>(iIndex)].m_szName,
                       m_scanners[static_cast<size_t>(iIndex)].m_iConnection);
}

std::string CScanner::GetUnitText(int32_t iIndex)
{
    uint8_t buffer[255] = {};
    if (ReadBuffer(ZEL_BUF_UNIT_TEXT, 0, buffer) != 0)
        return std::string();
    const int32_t iByte = iIndex < 0 ? 0 : iIndex + 2;
    if (iByte >= static_cast<int32_t>(sizeof(buffer)))
        return std::string();
    const std::string szPrefix = m_InquiryPages.GetUInt8(0xC0, 65, 0) == 'p' ? "SUL" : "SUI";
    std::string szText = szPrefix + static_cast<char>(64 + buffer[iByte]);
    // Two families share one unit letter between several widths; byte 1 tells
    // them apart, so the technician sees which machine the letter belongs to.
    static const char* const kWideFormatModels[] = {nullptr, "36", "42", "44", "54", "60"};
    static const char* const kCisModels[] = {nullptr, "24 CIS", "36 CIS", "44 CIS"};
    const uint8_t byModel = buffer[1];
    const char* szModel = nullptr;
    if (IsTypeGroupA() && byModel < std::size(kWideFormatModels))
        szModel = kWideFormatModels[byModel];
    else if (IsTypeGroupD() && byModel < std::size(kCisModels))
        szModel = kCisModels[byModel];
    if (szModel)
        szText += std::string(" ") + szModel;
    return szText;
}

std::string CScanner::GetUnitText()
{
    return GetUnitText(-1);
}

bool CScanner::IsSoftwareScanner()
{
    return (m_InquiryPages.GetUInt8(0xC1, 124, 0) & 1) != 0;
}

bool CScanner::UseStaticStartStop()
{
    if (!IsSoftwareScanner()) {
        Log_Msg("CScanner::UseStaticStartStop() is called for a non software scanner. This should not happen.");
        return false;
    }
    return !IsOneOf(GetScannerType(), {0, 1, 8});
}

bool CScanner::IsTypeGroupA() { return IsOneOf(GetScannerType(), {28, 29, 30, 40, 41, 42}); }
bool CScanner::IsTypeGroupB()
{
    const int32_t t = GetScannerType();
    return IsOneOf(t, {28, 29, 30}) || (t >= 37 && t <= 42);
}
bool CScanner::IsTypeGroupC()
{
    const int32_t t = GetScannerType();
    return IsOneOf(t, {5, 17, 28, 29, 30}) || (t >= 37 && t <= 42);
}
bool CScanner::IsTypeGroupD() { return GetScannerType() == 11; }

bool CScanner::HasStatusBlock()
{
    if (m_bNoStatusBlock)
        return false;
    const int32_t iValue = m_InquiryPages.GetInt32(0xC0, 191, -1);
    if (iValue == -1)
        return GetScannerType() != 11;
    return iValue >= 0;
}

// ================================================================ virtual slots

int32_t CScanner::GetCameraPixelRanges(std::span<int32_t, kMaxCameras> first, std::span<int32_t, kMaxCameras> last)
{
    const int32_t iCameras = CamerasInBuffers();
    uint8_t buffer[2 + kMaxCameras * 4] = {};
    if (ReadQuery(6, std::span(buffer).first(size_t(iCameras) * 4 + 2)) != 0)
        return m_ErrorNo;
    for (int32_t c = 0; c < iCameras; ++c) {
        const uint8_t* p = buffer + 2 + 4 * c;
        first[static_cast<size_t>(c)] = Be16(p);
        last[static_cast<size_t>(c)] = first[static_cast<size_t>(c)] + Be16(p + 2) - 1;
    }
    return m_ErrorNo;
}

int32_t CScanner::GetScanLineRange(bool bSecond, int32_t& iFirst, int32_t& iLast)
{
    uint8_t buffer[6] = {};
    if (ReadQuery(bSecond ? 4 : 2, buffer) != 0)
        return m_ErrorNo;
    iFirst = Be16(buffer + 2);
    iLast = iFirst + Be16(buffer + 4) - 1;
    return m_ErrorNo;
}

int32_t CScanner::ReadStitchPositions(std::span<int32_t> a, std::span<int32_t> b)
{
    if (a.size() != b.size() || a.size() > 64)
        return m_ErrorNo = ZEL_ERR_BAD_ARGUMENT;
    std::vector<uint8_t> buffer(a.size() * 4 + 1);
    if (ReadBuffer(ZEL_BUF_STITCH_POSITIONS, 0, std::span(buffer).first(a.size() * 4)) != 0)
        return m_ErrorNo;
    for (size_t i = 0; i < a.size(); ++i) {
        a[i] = Be16(&buffer[i * 4]);
        b[i] = Be16(&buffer[i * 4 + 2]);
    }
    return m_ErrorNo;
}

int32_t CScanner::GetStitchValues(std::span<int32_t, kStitchCount> values)
{
    uint8_t buffer[kStitchCount] = {};
    if (ReadBuffer(ZEL_BUF_STITCH_VALUES, 0, buffer) != 0)
        return m_ErrorNo;
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<int8_t>(buffer[i]);
    return m_ErrorNo;
}

int32_t CScanner::GetDeviceValue()
{
    return static_cast<int32_t>(m_InquiryPages.GetUInt32(0xC0, 60, 0));
}

bool CScanner::IsColorScanner()
{
    return m_InquiryPages.GetFlag(0xC1, 8, false);
}

int32_t CScanner::GetCameraCount()
{
    const int32_t iCount = m_InquiryPages.GetUInt8(0xC1, 19, 0);
    if (iCount > kMaxCameras) {
        Log_Msg(FormatText("CScanner::GetCameraCount: the scanner reports %d cameras, using %d", iCount,
                           kMaxCameras));
        return kMaxCameras;
    }
    return iCount;
}

int32_t CScanner::GetCISModeCount()
{
    return std::max(std::popcount(m_InquiryPages.GetUInt8(0xC1, 125, 1)), 1);
}

int32_t CScanner::GetScannerType()
{
    const int32_t iType = m_InquiryPages.GetUInt8(0xC1, 128, 255);
    return iType == 255 && IsSoftwareScanner() ? 0 : iType;
}

int32_t CScanner::GetOpticalResolution()
{
    if (m_iOpticalResolutionOverride > 0)
        return m_iOpticalResolutionOverride;
    const int32_t iDpi = m_InquiryPages.GetInt32(0xC3, 8, 0);
    if (iDpi < 0 || iDpi > kMaxOpticalResolution) {
        Log_Msg(FormatText("CScanner::GetOpticalResolution: implausible optical resolution %d", iDpi));
        return 0;
    }
    return iDpi;
}

int32_t CScanner::BackupCalibration(const std::string& szFile)
{
    CStoredCalibration stored(m_Interface, m_Diagnostics);
    m_ErrorNo = stored.Backup(szFile);
    m_szFileError = stored.Error();
    return m_ErrorNo;
}

int32_t CScanner::RestoreCalibration(const std::string& szFile)
{
    CStoredCalibration stored(m_Interface, m_Diagnostics);
    m_ErrorNo = stored.Restore(szFile);
    m_szFileError = stored.Error();
    if (m_ErrorNo != 0)
        return m_ErrorNo;
    if (!IsOneOf(GetScannerType(), {18, 24, 25, 26}))
        return m_ErrorNo;

    // These models take the restored calibration only after a restart.
    ReleaseScanner(false);
    m_Diagnostics.ColdReboot();
    for (int32_t iRound = 0; iRound < 120; ++iRound) {
        if (CCancel::IsCancelRequested()) {
            CCancel::SetCancelled();
            break;
        }
        uint8_t status[40] = {};
        int32_t iReceived = 0;
        if (ReadStatus(std::span(status).first<kStatusLength>(), iReceived) == 0 && status[0] >= 3 && status[0] <= 6) {
            std::memset(status, 0, sizeof(status));
            if (ReadStatus(status, iReceived) == 0 && iReceived >= 39 && status[28] >= 39 && status[38] == 0) {
                m_Diagnostics.ColdReboot();
                SleepMs(2000);
                continue;
            }
            break;
        }
        SleepMs(500);
    }
    ReserveScanner(false);
    return m_ErrorNo = 0;
}

// ================================================================ paper

int32_t CScanner::ReadStatus(std::span<uint8_t> buffer, int32_t& iReceived)
{
    std::fill(buffer.begin(), buffer.end(), uint8_t(0));
    const int32_t iLength = static_cast<int32_t>(buffer.size());
    iReceived = 0;
    m_ErrorNo = m_Interface.Read(buffer.data(), iLength, ZEL_DT_STATUS, 0, &iReceived);
    if (!HasStatusBlock() && iLength > 1)
        buffer[1] = ZEL_PS_READY;
    if (m_ErrorNo == ZEL_NO_STATUS_BLOCK) {
        m_ErrorNo = 0;
        if (iLength > 1)
            buffer[1] = ZEL_PS_BASIC_CALIBRATING;
        if (iLength > 6)
            buffer[6] = 1;
        iReceived = iLength;
    }
    return m_ErrorNo;
}

bool CScanner::GetPaperState(int32_t& iState, int32_t& iPosition)
{
    uint8_t status[kStatusLength];
    int32_t iReceived = 0;
    ReadStatus(status, iReceived);
    if (iReceived < kStatusLength) {
        iState = kNoPaperState;
        iPosition = kNoPosition;
        return false;
    }
    iState = status[1];
    iPosition = Be32(status + 2);
    return true;
}

std::string CScanner::GetPaperStatusName(int32_t iState)
{
    switch (iState) {
    case ZEL_PS_NOT_PRESENT: return "ZEL_PS_NOT_PRESENT";
    case ZEL_PS_EJECTED: return "ZEL_PS_EJECTED";
    case ZEL_PS_INSERTED: return "ZEL_PS_INSERTED";
    case ZEL_PS_UNKNOWN: return "ZEL_PS_UNKNOWN";
    case ZEL_PS_JAMMED: return "ZEL_PS_JAMMED";
    case ZEL_PS_LID_OPEN: return "ZEL_PS_LID_OPEN";
    case ZEL_PS_LOADING: return "ZEL_PS_LOADING";
    case ZEL_PS_MOVING: return "ZEL_PS_MOVING";
    case ZEL_PS_POSITIONING: return "ZEL_PS_POSITIONING";
    case ZEL_PS_EJECTING: return "ZEL_PS_EJECTING";
    case ZEL_PS_SCANNING: return "ZEL_PS_SCANNING";
    case ZEL_PS_BASIC_CALIBRATING: return "ZEL_PS_BASIC_CALIBRATING";
    case ZEL_PS_READY: return "ZEL_PS_READY";
    case ZEL_PS_READY_BUT_MOVED: return "ZEL_PS_READY_BUT_MOVED";
    default: return FormatText("Unknown paper status 0x%X", static_cast<unsigned>(iState));
    }
}

bool CScanner::IsLoadableState(int32_t iState)
{
    return IsOneOf(iState, {ZEL_PS_EJECTED, ZEL_PS_INSERTED, ZEL_PS_UNKNOWN, ZEL_PS_LOADING, ZEL_PS_MOVING,
                            ZEL_PS_POSITIONING, ZEL_PS_EJECTING, ZEL_PS_SCANNING, ZEL_PS_READY,
                            ZEL_PS_READY_BUT_MOVED});
}

bool CScanner::CanPaperBeLoaded()
{
    int32_t iState = 0, iPosition = 0;
    GetPaperState(iState, iPosition);
    Log_Msg(FormatText("CScanner::CanPaperBeLoaded() PS = 0x%X", static_cast<unsigned>(iState)));
    return IsLoadableState(iState);
}

int32_t CScanner::G5_PaperReady(int32_t iTimeoutSeconds, bool bStopWithoutPaper)
{
    if (!HasStatusBlock())
        return m_ErrorNo = 0;
    const int64_t iStart = NowMs();
    uint8_t status[kStatusLength];
    int32_t iReceived = 0;
    int32_t iState = kNoPaperState;
    int32_t iOriginalPosition = kNoPosition;
    bool bFirst = true;
    const bool bType4 = GetScannerType() == 4;
    for (;;) {
        if (CCancel::IsCancelRequested())
            return Cancelled();
        const bool bRead = ReadStatus(status, iReceived) == 0;
        iState = iReceived >= 2 ? status[1] : kNoPaperState;
        if (bFirst && iReceived >= 6) {
            iOriginalPosition = Be32(status + 2);
            bFirst = false;
        }
        if ((m_bPaperRemoved || bStopWithoutPaper) &&
            (IsOneOf(iState, {ZEL_PS_NOT_PRESENT, ZEL_PS_JAMMED, ZEL_PS_LID_OPEN}) ||
             (iState == ZEL_PS_UNKNOWN && bType4))) {
            m_bPaperRemoved = false;
            Log_Msg("CScanner::G5_PaperReady no paper");
            return m_ErrorNo = 0;
        }
        if (iState == ZEL_PS_UNKNOWN) {
            LoadPaper(true);
            if (!Pause(1000))
                return m_ErrorNo;
        } else if (iState != ZEL_PS_READY && iState != ZEL_PS_READY_BUT_MOVED) {
            if (!Pause(200))
                return m_ErrorNo;
        }
        if (iReceived > 6 && (status[6] & 0x08) && (iState == ZEL_PS_UNKNOWN || iState == ZEL_PS_NOT_PRESENT))
            return m_ErrorNo = 0;
        if (NowMs() - iStart > static_cast<int64_t>(iTimeoutSeconds) * 1000) {
            Log_Msg("CScanner::G5_PaperReady timeout");
            if (m_ErrorNo == 0)
                m_ErrorNo = ScannerProgramError(ERR_PAPER_TIMEOUT);
            return m_ErrorNo;
        }
        if (!bRead || IsOneOf(iState, {ZEL_PS_READY, ZEL_PS_READY_BUT_MOVED, ZEL_PS_EJECTED}))
            break;
        if (!HasStatusBlock() && iState == ZEL_PS_INSERTED)
            break;
    }
    Log_Msg(FormatText("CScanner::G5_PaperReady: iReceived=%d, buffer[1]=0x%X, m_ErrorNo=0x%X, Original position=%d",
                       iReceived, static_cast<unsigned>(iState), static_cast<unsigned>(m_ErrorNo),
                       iOriginalPosition));
    return m_ErrorNo;
}

int32_t CScanner::LoadPaperIfNeeded()
{
    int32_t iState = 0, iPosition = 0;
    if (!HasStatusBlock() || !GetPaperState(iState, iPosition))
        return 0;
    if (iState == ZEL_PS_READY || iState == ZEL_PS_READY_BUT_MOVED || iState == ZEL_PS_NOT_PRESENT ||
        !CanPaperBeLoaded())
        return 0;
    return LoadPaper(false);
}

int32_t CScanner::LoadPaper(bool bNoWait)
{
    if (!HasStatusBlock())
        return m_ErrorNo = 0;
    for (int32_t i = 0; i < 20; ++i) {
        uint8_t status[32];
        int32_t iReceived = 0;
        const bool bRead = ReadStatus(status, iReceived) == 0;
        if (bRead && iReceived == 32 && status[1] == ZEL_PS_READY && Be32(status + 2) == 0)
            return m_ErrorNo = 0;
        if ((status[1] != ZEL_PS_LOADING && status[1] != ZEL_PS_MOVING) || bNoWait)
            break;
        if (!Pause(500))
            return m_ErrorNo;
    }
    if (Keep(ZelLib::scanObjectPosition(m_hScanner, ZEL_OP_LOAD, 0)) != 0 || bNoWait)
        return m_ErrorNo;
    return G5_PaperReady(90, false);
}

int32_t CScanner::MovePaperToWindow()
{
    uint8_t status[kStatusLength];
    int32_t iReceived = 0;
    ReadStatus(status, iReceived);
    if (iReceived > 6 && (status[6] & 0x08))
        return m_ErrorNo = 0;
    if (Keep(ZelLib::scanObjectPosition(m_hScanner, ZEL_OP_ABSOLUTE, 0)) != 0)
        return m_ErrorNo;
    return G5_PaperReady(90, false);
}

int32_t CScanner::EjectPaper()
{
    if (Keep(ZelLib::scanObjectPosition(m_hScanner, ZEL_OP_UNLOAD, 0)) != 0)
        return m_ErrorNo;
    return G5_PaperReady(90, false);
}

int32_t CScanner::MovePaperBy(int32_t iCount)
{
    return Keep(ZelLib::scanObjectPosition(m_hScanner, ZEL_OP_RELATIVE, iCount));
}

int32_t CScanner::MovePaperTo(int32_t iCount)
{
    if (IsSoftwareScanner()) {
        ResetScanSystem();
        SleepMs(500);
    }
    return Keep(ZelLib::scanObjectPosition(m_hScanner, ZEL_OP_ABSOLUTE, iCount));
}

int32_t CScanner::PaperAtEnd(int32_t iTimeoutSeconds)
{
    const int64_t iStart = NowMs();
    const bool bStatusBlock = HasStatusBlock();
    const bool bStopWhenMoved = IsOneOf(GetScannerType(), {15, 16, 24, 25, 26, 33, 34, 35});
    int32_t iState = kNoPaperState;
    for (;;) {
        uint8_t status[kStatusLength];
        int32_t iReceived = 0;
        if (ReadStatus(status, iReceived) != 0)
            break;
        iState = status[1];
        if ((status[6] & 0x08) && (iState == ZEL_PS_UNKNOWN || iState == ZEL_PS_NOT_PRESENT))
            return m_ErrorNo = 0;
        if (iState == ZEL_PS_EJECTED || (!bStatusBlock && iState == ZEL_PS_INSERTED) ||
            (iState == ZEL_PS_READY_BUT_MOVED && bStopWhenMoved))
            break;
        if (iState == ZEL_PS_READY || iState == ZEL_PS_READY_BUT_MOVED)
            break;
        if (NowMs() - iStart > static_cast<int64_t>(iTimeoutSeconds) * 1000) {
            Log_Msg_Int("PaperAtEnd:: buffer[1]==", iState);
            return m_ErrorNo != 0 ? m_ErrorNo : (m_ErrorNo = ScannerProgramError(ERR_PAPER_TIMEOUT));
        }
        if (!Pause(200))
            return m_ErrorNo;
    }
    Log_Msg_Int("PaperAtEnd:: buffer[1]==", iState);
    return m_ErrorNo;
}

int32_t CScanner::SendTextCommand(const std::string& szText, int32_t iPauseMs)
{
    Keep(ZelLib::scanSend(m_hScanner, szText.data(), static_cast<int32_t>(szText.size()), ZEL_DT_TEXT_COMMAND, 16));
    if (iPauseMs > 0)
        SleepMs(iPauseMs);
    return m_ErrorNo;
}

int32_t CScanner::LampOn()
{
    if (m_bUse_CIS_LightOff || m_bUse_CIS_LightOff_Row2)
        return m_ErrorNo = 0;
    return SendTextCommand("lamp on", 100);
}

// ================================================================ scan window

void CScanner::SetWindowArea(int32_t iLeft, int32_t iTop, int32_t iWidth, int32_t iLength)
{
    m_Window.m_iLeft = iLeft;
    m_Window.m_iTop = iTop;
    m_Window.m_iWidth = iWidth;
    m_Window.m_iLength = iLength;
    if (!IsSoftwareScanner()) {
        int32_t iOld = g_iTopCounter.load();
        while (!g_iTopCounter.compare_exchange_weak(iOld, (iOld + 1) % 10)) {
        }
        m_Window.m_iTop += (iOld + 1) % 10;
    }
}

void CScanner::SetWindowResolution(int32_t iDpi)
{
    m_Window.m_iXResolution = iDpi;
    m_Window.m_iYResolution = iDpi;
    if (m_bFixedY)
        m_Window.m_iYResolution = IsSoftwareScanner() ? 1200 : 800;
    if (m_bOneShotY && !IsOneOf(GetScannerType(), {15, 16})) {
        m_Window.m_iYResolution = m_iOneShotYResolution;
        m_bOneShotY = false;
        m_iOneShotYResolution = -1;
    }
}

std::vector<uint8_t> CScanner::BuildWindowParameterList()
{
    const int32_t iPageLength = m_InquiryPages.GetUInt8(0xC1, 66, 0);
    int32_t iDescriptorLength = std::max(iPageLength - 8, 0);
    const bool bLightOff = m_bUse_CIS_LightOff || m_bUse_CIS_LightOff_Row2;
    if (bLightOff)
        iDescriptorLength = std::max(iDescriptorLength, 73);
    // Room for every field we fill even when the descriptor is shorter; only
    // the descriptor length plus the 8-byte header is sent.
    std::vector<uint8_t> list(static_cast<size_t>(std::max(iDescriptorLength + 8, 83)), 0);
    const CScanWindow& w = m_Window;
    list[7] = static_cast<uint8_t>(iDescriptorLength);
    list[8] = 0;
    PutBe16(&list[10], w.m_iXResolution);
    PutBe16(&list[12], w.m_iYResolution);
    PutBe32(&list[14], w.m_iLeft);
    PutBe32(&list[18], w.m_iTop);
    PutBe32(&list[22], w.m_iWidth);
    PutBe32(&list[26], w.m_iLength);
    const bool bLineArt = w.m_iColorMode == 1;
    const bool bColor = w.m_iColorMode == 3;
    if (bLineArt)
        list[31] = w.m_byThreshold;
    list[33] = bLineArt ? 0 : bColor ? 5 : 2;
    list[34] = bLineArt ? 1 : bColor ? 24 : 8;
    if (bLineArt)
        list[40] = 0x80;
    PutBe32(&list[52], w.m_iVendorValue1);
    PutBe32(&list[56], w.m_iVendorValue2);
    if (bColor)
        list[60] = 4;
    list[68] = w.m_byVendor;
    if (bColor && w.m_byColorOption)
        list[76] = 1;
    if (bColor && iPageLength >= 69)
        list[77] = 100;
    list[80] = static_cast<uint8_t>((m_bUse_CIS_LightOff ? 0x20 : 0) | (m_bUse_CIS_LightOff_Row2 ? 0x40 : 0));
    list[82] = w.m_byVendor2;
    list.resize(static_cast<size_t>(iDescriptorLength + 8));
    return list;
}

int32_t CScanner::SendSetWindowCommand()
{
    const std::vector<uint8_t> list = BuildWindowParameterList();
    // The warning stays armed once a window has gone out: on these models the
    // two sensor rows must always be switched together, every time.
    if ((m_bUse_CIS_LightOff || m_bUse_CIS_LightOff_Row2) && m_bWindowSet &&
        m_bUse_CIS_LightOff != m_bUse_CIS_LightOff_Row2) {
        const int32_t t = GetScannerType();
        if (IsOneOf(t, {11, 12, 13, 18}) || (t >= 24 && t <= 27) || (t >= 33 && t <= 35))
            ShowMessage("m_bUse_CIS_LightOff != m_bUse_CIS_LightOff_Row2");
    }
    Keep(ZelLib::scanSetWindow(m_hScanner, list.data(), static_cast<int32_t>(list.size())));
    m_bUse_CIS_LightOff = false;
    m_bUse_CIS_LightOff_Row2 = false;
    m_bWindowSet = true;
    return m_ErrorNo;
}

int32_t CScanner::SendScanCommand(uint8_t byWindowId)
{
    const uint8_t ids[1] = {byWindowId};
    int32_t iResult = ZelLib::scanScan(m_hScanner, ids, 1);
    if (iResult == ZEL_CHECK_CONDITION && m_hScanner != 0)
        iResult = ZelLib::RealError(m_hScanner, iResult);
    if (iResult == ZEL_ASC_END_OF_MEDIUM)
        iResult = ScannerProgramError(ERR_SCAN_END_OF_MEDIA);
    else if (iResult == ZEL_SCAN_STARTED)
        iResult = 0;
    return m_ErrorNo = iResult;
}

int32_t CScanner::ReadScanData(std::span<uint8_t> buffer, int32_t& iReceived)
{
    if (buffer.size() > static_cast<size_t>(INT32_MAX))
        return m_ErrorNo = ZEL_ERR_BAD_ARGUMENT;
    return m_ErrorNo =
               m_Interface.Read(buffer.data(), static_cast<int32_t>(buffer.size()), ZEL_DT_IMAGE, 0, &iReceived);
}

int32_t CScanner::SendGammaCurve(double dGamma, int32_t iBrightness, int32_t iContrast)
{
    int64_t iLength = std::max<int64_t>(m_InquiryPages.GetUInt32(0xC4, 36, 0), 512);
    if (iLength > kMaxGammaLength) {
        Log_Msg(FormatText("CScanner::SendGammaCurve: gamma table length %lld from the scanner, using %lld",
                           static_cast<long long>(iLength), static_cast<long long>(kMaxGammaLength)));
        iLength = kMaxGammaLength;
    }
    CGammaCurve curve(static_cast<int32_t>(iLength));
    curve.SetGamma(dGamma);
    std::vector<uint8_t> buffer(static_cast<size_t>(iLength) * 3, 0);
    curve.GetBCCurve(buffer, iBrightness, iContrast);
    if (IsColorScanner() || m_InquiryPages.GetFlag(0xC1, 85, false)) {
        std::copy_n(buffer.begin(), iLength, buffer.begin() + iLength);
        std::copy_n(buffer.begin(), iLength, buffer.begin() + 2 * iLength);
    }
    return Keep(ZelLib::scanSend(m_hScanner, buffer.data(), static_cast<int32_t>(buffer.size()), ZEL_DT_GAMMA, 0));
}

int32_t CScanner::SendLevels(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e, int32_t f, bool bWaitForPaper)
{
    if (bWaitForPaper) {
        m_bPaperRemoved = true;
        G5_PaperReady(90, false);
        m_bPaperRemoved = false;
    }
    const int32_t values[6] = {a, b, c, d, e, f};
    uint8_t buffer[24];
    for (int i = 0; i < 6; ++i)
        PutBe32(buffer + 4 * i, static_cast<int32_t>(std::lround(values[i] * 255.0 / 214.0)));
    return Keep(ZelLib::scanSend(m_hScanner, buffer, sizeof(buffer), ZEL_DT_LEVELS, 2));
}
