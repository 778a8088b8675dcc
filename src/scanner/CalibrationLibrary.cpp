#include "scanner/CalibrationLibrary.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "platform/AtomicFile.h"
#include "platform/ByteOrder.h"
#include "platform/FileHandle.h"
#include "platform/Log.h"
#include "scanner/ScanLibrary.h"

// ---------------------------------------------------------------- interface

int32_t CScannerInterface::Read(void* pBuffer, int32_t iLength, int32_t iDataType, int32_t iQualifier,
                                int32_t* piReceived) const
{
    int32_t iReceived = 0;
    const int32_t iResult =
        ZelLib::RealError(Handle(), ZelLib::scanRead(Handle(), pBuffer, iLength, iDataType, iQualifier, &iReceived));
    if (iReceived < 0 || iReceived > iLength) {
        Log_Msg(FormatText("CScannerInterface::Read data type 0x%X: library reports %d bytes for a %d-byte request",
                           static_cast<unsigned>(iDataType), iReceived, iLength));
        iReceived = iReceived < 0 ? 0 : iLength;
    }
    if (piReceived)
        *piReceived = iReceived;
    return iResult;
}

int32_t CScannerInterface::Send(const void* pData, int32_t iLength, int32_t iDataType, int32_t iQualifier) const
{
    return ZelLib::RealError(Handle(), ZelLib::scanSend(Handle(), pData, iLength, iDataType, iQualifier));
}

int32_t CScannerInterface::ReadBuffer(void* pBuffer, int32_t iBufferId, int32_t iOffset, int32_t iLength) const
{
    return ZelLib::RealError(Handle(), ZelLib::scanReadBuffer(Handle(), pBuffer, 1, iBufferId, iOffset, iLength));
}

int32_t CScannerInterface::WriteBuffer(const void* pData, int32_t iBufferId, int32_t iOffset, int32_t iLength) const
{
    return ZelLib::RealError(Handle(), ZelLib::scanWriteBuffer(Handle(), pData, 1, iBufferId, iOffset, iLength));
}

// ---------------------------------------------------------------- inquiry pages

const std::vector<uint8_t>& CInquiryPages::Page(uint8_t byPage)
{
    static const std::vector<uint8_t> kEmpty;
    const auto it = m_Pages.find(byPage);
    if (it != m_Pages.end())
        return it->second;
    // Without a chosen scanner every value is its default; nothing is asked.
    if (m_pInterface->Handle() == 0)
        return kEmpty;
    std::vector<uint8_t> bytes(kPageSize, 0);
    int32_t iReceived = 0;
    const int32_t iResult = m_pInterface->Read(bytes.data(), kPageSize, ZEL_DT_INQUIRY, byPage, &iReceived);
    if (iResult != 0) {
        // Kept empty: a page the device refuses once it refuses again, and the
        // live loops ask for some pages on every block.
        Log_Msg(FormatText("CInquiryPages::Page 0x%02X: read failed %d", byPage, iResult));
        bytes.clear();
        return m_Pages.emplace(byPage, std::move(bytes)).first->second;
    }
    bytes.resize(static_cast<size_t>(iReceived));
    return m_Pages.emplace(byPage, std::move(bytes)).first->second;
}

bool CInquiryPages::Bytes(uint8_t byPage, int32_t iOffset, int32_t iCount, const uint8_t** ppData)
{
    const std::vector<uint8_t>& page = Page(byPage);
    if (iOffset < 0 || static_cast<int64_t>(iOffset) + iCount > static_cast<int64_t>(page.size()))
        return false;
    *ppData = page.data() + iOffset;
    return true;
}

uint8_t CInquiryPages::GetUInt8(uint8_t byPage, int32_t iOffset, uint8_t byDefault)
{
    const uint8_t* p = nullptr;
    return Bytes(byPage, iOffset, 1, &p) ? p[0] : byDefault;
}

uint16_t CInquiryPages::GetUInt16(uint8_t byPage, int32_t iOffset, uint16_t wDefault)
{
    const uint8_t* p = nullptr;
    return Bytes(byPage, iOffset, 2, &p) ? Be16(p) : wDefault;
}

uint32_t CInquiryPages::GetUInt32(uint8_t byPage, int32_t iOffset, uint32_t dwDefault)
{
    const uint8_t* p = nullptr;
    if (!Bytes(byPage, iOffset, 4, &p))
        return dwDefault;
    return static_cast<uint32_t>(Be32(p));
}

int32_t CInquiryPages::GetInt32(uint8_t byPage, int32_t iOffset, int32_t iDefault)
{
    return static_cast<int32_t>(GetUInt32(byPage, iOffset, static_cast<uint32_t>(iDefault)));
}

bool CInquiryPages::GetFlag(uint8_t byPage, int32_t iOffset, bool bDefault)
{
    const uint8_t* p = nullptr;
    return Bytes(byPage, iOffset, 1, &p) ? p[0] != 0 : bDefault;
}

// ---------------------------------------------------------------- gamma

void CGammaCurve::GetBCCurve(std::span<uint8_t> table, int32_t iBrightness, int32_t iContrast) const
{
    const double dBrightness = std::clamp(iBrightness, -100, 100) / 100.0;
    const double dContrast = std::clamp(iContrast, -100, 100) / 100.0;
    // Contrast turns the line about mid-gray; +100 would be a vertical step, so
    // the slope is bounded.
    const double dSlope = dContrast >= 0 ? 1.0 / std::max(1.0 - dContrast, 0.01) : 1.0 + dContrast;
    const size_t iCount = std::min(table.size(), static_cast<size_t>(m_iLength));
    for (size_t i = 0; i < iCount; ++i) {
        const double dIn = static_cast<double>(i) / (m_iLength - 1);
        double d = std::pow(dIn, 1.0 / m_dGamma);
        d = (d - 0.5) * dSlope + 0.5 + dBrightness;
        table[i] = static_cast<uint8_t>(std::lround(std::clamp(d, 0.0, 1.0) * 255.0));
    }
}

// ---------------------------------------------------------------- diagnostics

int32_t CDiagnostics::ColdReboot()
{
    Log_Msg("CDiagnostics::ColdReboot");
    return m_pInterface->Send(nullptr, 0, ZEL_DT_SERVICE, 5);
}

int32_t CDiagnostics::ReconnectUSB()
{
    Log_Msg("CDiagnostics::ReconnectUSB");
    const int32_t h = m_pInterface->Handle();
    int32_t iResult = ZelLib::RealError(h, ZelLib::scanCloseScanner(h));
    if (iResult != 0)
        return iResult;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    iResult = ZelLib::RealError(h, ZelLib::scanOpenScanner(h));
    return iResult;
}

// ---------------------------------------------------------------- stored calibration

namespace {

constexpr char kMagic[6] = {'L', 'U', 'M', 'C', 'A', 'L'};
constexpr uint16_t kVersion = 1;
constexpr uint32_t kRecordHead = 1 + 1 + 4 + 4;

uint32_t Fnv1a(const uint8_t* p, size_t n)
{
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < n; ++i)
        h = (h ^ p[i]) * 16777619u;
    return h;
}

void PutLe(std::vector<uint8_t>& out, uint32_t v, int iBytes)
{
    for (int i = 0; i < iBytes; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint32_t GetLe(const uint8_t* p, int iBytes)
{
    uint32_t v = 0;
    for (int i = iBytes - 1; i >= 0; --i)
        v = v << 8 | p[i];
    return v;
}

} // namespace

std::vector<uint8_t> CStoredCalibration::Serialize(const std::vector<CRecord>& records)
{
    std::vector<uint8_t> out(kMagic, kMagic + sizeof(kMagic));
    PutLe(out, kVersion, 2);
    PutLe(out, static_cast<uint32_t>(records.size()), 2);
    for (const CRecord& r : records) {
        out.push_back(r.m_byKind);
        out.push_back(r.m_byId);
        PutLe(out, static_cast<uint32_t>(r.m_iQualifier), 4);
        PutLe(out, static_cast<uint32_t>(r.m_Bytes.size()), 4);
        out.insert(out.end(), r.m_Bytes.begin(), r.m_Bytes.end());
    }
    PutLe(out, Fnv1a(out.data(), out.size()), 4);
    return out;
}

bool CStoredCalibration::Parse(std::span<const uint8_t> data, std::vector<CRecord>& records, std::string& szError)
{
    const uint8_t* pData = data.data();
    const size_t iSize = data.size();
    records.clear();
    if (iSize < sizeof(kMagic) + 4 + 4 || std::memcmp(pData, kMagic, sizeof(kMagic)) != 0) {
        szError = "not a calibration backup";
        return false;
    }
    const uint32_t dwStored = GetLe(pData + iSize - 4, 4);
    if (dwStored != Fnv1a(pData, iSize - 4)) {
        szError = "checksum mismatch (file damaged)";
        return false;
    }
    const size_t iEnd = iSize - 4;
    size_t iPos = sizeof(kMagic);
    const uint32_t wVersion = GetLe(pData + iPos, 2);
    const uint32_t wCount = GetLe(pData + iPos + 2, 2);
    iPos += 4;
    if (wVersion != kVersion) {
        szError = FormatText("unsupported version %u", wVersion);
        return false;
    }
    if (wCount > kMaxRecords) {
        szError = FormatText("%u records (at most %u)", wCount, static_cast<unsigned>(kMaxRecords));
        return false;
    }
    for (uint32_t i = 0; i < wCount; ++i) {
        if (iEnd - iPos < kRecordHead) {
            szError = FormatText("record %u truncated", i);
            return false;
        }
        CRecord r;
        r.m_byKind = pData[iPos];
        r.m_byId = pData[iPos + 1];
        r.m_iQualifier = static_cast<int32_t>(GetLe(pData + iPos + 2, 4));
        const uint32_t dwLength = GetLe(pData + iPos + 6, 4);
        iPos += kRecordHead;
        if (r.m_byKind != RECORD_BUFFER && r.m_byKind != RECORD_DATA) {
            szError = FormatText("record %u has unknown kind %u", i, r.m_byKind);
            return false;
        }
        if (dwLength > kMaxRecordLength || dwLength > iEnd - iPos) {
            szError = FormatText("record %u claims %u bytes, %zu left", i, dwLength, iEnd - iPos);
            return false;
        }
        r.m_Bytes.assign(pData + iPos, pData + iPos + dwLength);
        iPos += dwLength;
        records.push_back(std::move(r));
    }
    if (iPos != iEnd) {
        szError = FormatText("%zu unexpected bytes after the last record", iEnd - iPos);
        return false;
    }
    return true;
}

int32_t CStoredCalibration::Backup(const std::string& szFile)
{
    Log_Msg_Txt("CStoredCalibration::Backup", szFile);
    m_szError.clear();
    CInquiryPages pages(*m_pInterface);
    const int32_t iCameras = std::min<int32_t>(pages.GetUInt8(0xC1, 19, 0), 8);
    const bool bSoftware = (pages.GetUInt8(0xC1, 124, 0) & 1) != 0;

    std::vector<CRecord> records;
    auto addBuffer = [&](uint8_t byId, int32_t iOffset, int32_t iLength) -> int32_t {
        if (iLength <= 0)
            return 0;
        CRecord r;
        r.m_byId = byId;
        r.m_iQualifier = iOffset;
        r.m_Bytes.assign(static_cast<size_t>(iLength), 0);
        const int32_t iResult = m_pInterface->ReadBuffer(r.m_Bytes.data(), byId, iOffset, iLength);
        if (iResult == 0)
            records.push_back(std::move(r));
        return iResult;
    };
    int32_t iResult = addBuffer(ZEL_BUF_GAIN_OFFSET, 0, iCameras * 32);
    if (iResult == 0)
        iResult = bSoftware ? addBuffer(ZEL_BUF_STITCH_VALUES, 0x1000000, 14) : addBuffer(ZEL_BUF_STITCH_VALUES, 0, 7);
    if (iResult == 0 && (iResult = addBuffer(ZEL_BUF_STITCH_POSITIONS, 0, std::max(iCameras - 1, 0) * 4)) == 0 &&
        !records.empty() && records.back().m_byId == ZEL_BUF_STITCH_POSITIONS) {
        // Read back as (a, b) but written as (a, 1, b, 1): keep the form the
        // restore sends.
        const std::vector<uint8_t> read = std::move(records.back().m_Bytes);
        std::vector<uint8_t>& write = records.back().m_Bytes;
        write.clear();
        for (size_t i = 0; i + 4 <= read.size(); i += 4)
            write.insert(write.end(), {read[i], read[i + 1], 1, read[i + 2], read[i + 3], 1});
    }
    if (iResult == 0)
        iResult = addBuffer(ZEL_BUF_CIS_ALIGNMENT, 0, 8);
    if (iResult != 0) {
        m_szError = FormatText("the scanner refused a calibration read (error %d)", iResult);
        return iResult;
    }

    uint8_t byAreas = 0;
    int32_t iReceived = 0;
    if (m_pInterface->Read(&byAreas, 1, ZEL_DT_LENS_CORRECTION, 3, &iReceived) == 0 && iReceived == 1 &&
        byAreas > 0) {
        Log_Msg("Lens Corr Read in scanner");
        Log_Msg_Int("iCameraCount:", iCameras);
        Log_Msg_Int("iMaxDeviations:", byAreas);
        CRecord r;
        r.m_byKind = RECORD_DATA;
        r.m_byId = ZEL_DT_LENS_CORRECTION;
        r.m_iQualifier = 2;
        r.m_Bytes.assign(static_cast<size_t>(byAreas) * 8, 0);
        iResult = m_pInterface->Read(r.m_Bytes.data(), byAreas * 8, ZEL_DT_LENS_CORRECTION, 2, &iReceived);
        if (iResult != 0) {
            m_szError = FormatText("the scanner refused the lens correction read (error %d)", iResult);
            return iResult;
        }
        r.m_Bytes.resize(static_cast<size_t>(iReceived));
        records.push_back(std::move(r));
    }

    const std::vector<uint8_t> bytes = Serialize(records);
    std::string szWhy;
    if (!WriteFileAtomically(szFile, bytes.data(), bytes.size(), &szWhy)) {
        m_szError = szFile + ": " + szWhy;
        Log_Msg_Txt("CStoredCalibration::Backup failed:", m_szError);
        return -1;
    }
    return 0;
}

int32_t CStoredCalibration::Restore(const std::string& szFile)
{
    Log_Msg_Txt("CStoredCalibration::Restore", szFile);
    m_szError.clear();
    auto fail = [&](const std::string& szWhy) {
        m_szError = szFile + ": " + szWhy;
        Log_Msg_Txt("CStoredCalibration::Restore failed:", m_szError);
        return -1;
    };
    std::string szOpenError;
    int64_t iFileSize = 0;
    CFilePtr file = OpenRegularFile(szFile, szOpenError, &iFileSize);
    if (!file)
        return fail("cannot be opened");
    const int64_t kMaxFile = static_cast<int64_t>(kMaxRecords) * (kMaxRecordLength + kRecordHead) + 64;
    if (iFileSize > kMaxFile)
        return fail("too large for a calibration backup");
    std::string szBytes;
    ReadFilePrefix(file.get(), static_cast<size_t>(iFileSize), szBytes);
    if (szBytes.size() != static_cast<size_t>(iFileSize))
        return fail("cannot be read");
    std::vector<CRecord> records;
    std::string szWhy;
    if (!Parse(std::span(reinterpret_cast<const uint8_t*>(szBytes.data()), szBytes.size()), records, szWhy))
        return fail(szWhy);
    // A backup of another model would put a foreign table into this scanner;
    // refuse it before anything is written.
    CInquiryPages pages(*m_pInterface);
    const int32_t iCameras = std::min<int32_t>(pages.GetUInt8(0xC1, 19, 0), 8);
    const bool bSoftware = (pages.GetUInt8(0xC1, 124, 0) & 1) != 0;
    for (const CRecord& r : records) {
        if (r.m_byKind != RECORD_BUFFER)
            continue;
        const size_t n = r.m_Bytes.size();
        if (r.m_byId == ZEL_BUF_GAIN_OFFSET && n / 32 != static_cast<size_t>(iCameras))
            return fail(FormatText("saved from a scanner with %zu cameras, this one has %d", n / 32, iCameras));
        if (r.m_byId == ZEL_BUF_STITCH_POSITIONS && n != static_cast<size_t>(std::max(iCameras - 1, 0)) * 6)
            return fail(FormatText("stitch positions for %zu stitches, this scanner has %d", n / 6,
                                   std::max(iCameras - 1, 0)));
        if (r.m_byId == ZEL_BUF_STITCH_VALUES && (r.m_iQualifier == 0x1000000) != bSoftware)
            return fail(bSoftware ? "stitch values of an older scanner, this one is a software scanner"
                                  : "stitch values of a software scanner, this one is an older scanner");
    }
    for (const CRecord& r : records) {
        const int32_t iLength = static_cast<int32_t>(r.m_Bytes.size());
        int32_t iResult = 0;
        if (r.m_byKind == RECORD_BUFFER) {
            iResult = m_pInterface->WriteBuffer(r.m_Bytes.data(), r.m_byId, r.m_iQualifier, iLength);
            // The alignment write may answer with the number of bytes taken.
            if (r.m_byId == ZEL_BUF_CIS_ALIGNMENT && iResult == 8)
                iResult = 0;
        } else {
            if (r.m_byId == ZEL_DT_LENS_CORRECTION)
                Log_Msg("Restore Lens Corr in scanner");
            iResult = m_pInterface->Send(r.m_Bytes.data(), iLength, r.m_byId, r.m_iQualifier);
        }
        if (iResult != 0) {
            m_szError = FormatText("the scanner refused record 0x%02X (error %d)", r.m_byId, iResult);
            return iResult;
        }
    }
    (void)m_pDiagnostics;
    return 0;
}
