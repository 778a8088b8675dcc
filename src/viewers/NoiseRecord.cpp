#include "viewers/NoiseRecord.h"

#include <algorithm>
#include <cmath>

#include "datafiles/ConFile.h"
#include "datafiles/Settings.h"
#include "platform/IniFile.h"
#include "platform/Log.h"
#include "viewers/StitchNoiseHeader.h"

using namespace StitchNoiseFile;

namespace {
constexpr size_t kMaxText = 49;

std::string Cut(const std::string& sz)
{
    return sz.size() > kMaxText ? sz.substr(0, kMaxText) : sz;
}
}  // namespace

bool CNoiseRecord::Fail(const std::string& szText)
{
    m_szError = szText;
    Log_Msg_Txt("CNoiseRecord", szText);
    return false;
}

bool CNoiseRecord::AllocateChannels()
{
    std::vector<uint8_t>().swap(m_Red);
    std::vector<uint8_t>().swap(m_Green);
    std::vector<uint8_t>().swap(m_Blue);
    std::vector<uint8_t>().swap(m_Gray);
    if (m_iWidth <= 0)
        return true;
    try {
        const size_t n = static_cast<size_t>(m_iWidth);
        m_Red.assign(n, 0);
        m_Green.assign(n, 0);
        m_Blue.assign(n, 0);
        m_Gray.assign(n, 0);
    } catch (const std::bad_alloc&) {
        return Fail("Memory Low");
    }
    return true;
}

int32_t RoundedAverage(const uint8_t* p, int64_t n)
{
    if (n <= 0)
        return 0;
    int64_t iSum = 0;
    for (int64_t i = 0; i < n; ++i)
        iSum += p[i];
    return static_cast<int32_t>((iSum + n / 2) / n);
}

void CNoiseRecord::ComputeAverages()
{
    auto avg = [this](const std::vector<uint8_t>& v) {
        return RoundedAverage(v.data(), std::min<int64_t>(m_iWidth, static_cast<int64_t>(v.size())));
    };
    m_iAverageRed = m_iAverageBlue = m_iAverageGray = 0;
    m_iAverageGreen = avg(m_Green);
    if (m_bColorScanner) {
        m_iAverageRed = avg(m_Red);
        m_iAverageBlue = avg(m_Blue);
        if (m_bHasGray)
            m_iAverageGray = avg(m_Gray);
    }
}

const std::vector<uint8_t>* CNoiseRecord::Channel(int32_t iColor) const
{
    switch (iColor) {
    case 0: return m_bColorScanner ? &m_Red : nullptr;
    case 1: return &m_Green;
    case 2: return m_bColorScanner ? &m_Blue : nullptr;
    case 4: return m_bColorScanner && m_bHasGray ? &m_Gray : nullptr;
    default: return nullptr;
    }
}

int32_t CNoiseRecord::Average(int32_t iColor) const
{
    switch (iColor) {
    case 0: return m_iAverageRed;
    case 1: return m_iAverageGreen;
    case 2: return m_iAverageBlue;
    case 4: return m_iAverageGray;
    default: return 0;
    }
}

bool CNoiseRecord::ReadNoiseFile(const std::string& szPath)
{
    m_szError.clear();
    CConFileHeader con;
    const EConReadStatus eStatus = ReadConFileHeader(szPath, con);
    if (eStatus == CON_READ_CANNOT_OPEN)
        return Fail(CannotOpenText(szPath, con.m_szProblem));
    bool bRead = false;
    if (con.m_Header.IsNoiseTest()) {
        if (eStatus != CON_READ_OK)
            return Fail(FormatText("%s: %s.", szPath.c_str(), con.m_szProblem.c_str()));
        bRead = ReadHeaderForm(szPath, con);
    } else if (con.m_szFirstBytes.size() > 11 && static_cast<uint8_t>(con.m_szFirstBytes[11]) == kNoiseMarker) {
        bRead = ReadHeaderlessForm(szPath, con.m_szFirstBytes, con.m_iFileSize);
    } else {
        return Fail(FormatText("%s is not a noise test file.", szPath.c_str()));
    }
    if (!bRead)
        return false;
    ComputeAverages();
    return true;
}

bool CNoiseRecord::ReadHeaderForm(const std::string& szPath, const CConFileHeader& con)
{
    const ConHeader& hdr = con.m_Header;
    CNoiseRecord rec;
    rec.m_szHeader = hdr.GetText();
    std::string sz;
    if (hdr.GetScannerName(sz))
        rec.m_szScannerName = Cut(sz);
    if (hdr.GetScannerID(sz))
        rec.m_szScannerID = Cut(sz);
    if (hdr.GetDate(sz))
        rec.m_szDate = Cut(sz);
    if (hdr.GetTime(sz))
        rec.m_szTime = Cut(sz);
    hdr.GetFirmwareRevision(rec.m_iFirmwareRevision);
    hdr.GetGeneration(rec.m_iGeneration);
    rec.m_bHasNoiseLimit = hdr.GetNoiseLimit(rec.m_iNoiseLimit);
    if (hdr.GetScannerWidth(rec.m_iScannerWidth))
        rec.m_dWidthFactor = rec.m_iScannerWidth / 5088.0;
    hdr.GetColorScanner(rec.m_bColorScanner);
    if (!hdr.GetWidth(rec.m_iWidth))
        return Fail(FormatText("%s: Missing Information:\nWidth", szPath.c_str()));

    const int64_t iData = con.DataLength();
    const int64_t iChannels = rec.m_bColorScanner ? 3 : 1;
    if (rec.m_iWidth < 0 || int64_t(rec.m_iWidth) * iChannels > iData)
        return Fail(FormatText("%s: Width=%d needs %lld data bytes, the file holds %lld.", szPath.c_str(),
                               rec.m_iWidth, static_cast<long long>(int64_t(rec.m_iWidth) * iChannels),
                               static_cast<long long>(iData)));
    if (!rec.AllocateChannels())
        return Fail(rec.m_szError);

    std::string szData;
    const int64_t iW = rec.m_iWidth;
    // Gray only exists when more than 100 bytes follow blue; read at most one channel of it.
    const int64_t iWant = rec.m_bColorScanner ? std::min(iData, 4 * iW) : iW;
    if (!ReadBytes(szPath, con.m_iHeaderLength, iWant, szData))
        return Fail(FormatText("Cannot read the file %s.", szPath.c_str()));
    auto fill = [&szData](std::vector<uint8_t>& v, int64_t iFrom, int64_t iCount) {
        iCount = std::max<int64_t>(0, std::min<int64_t>(iCount, static_cast<int64_t>(szData.size()) - iFrom));
        std::copy_n(reinterpret_cast<const uint8_t*>(szData.data()) + iFrom, iCount, v.begin());
    };
    if (rec.m_bColorScanner) {
        fill(rec.m_Red, 0, iW);
        fill(rec.m_Green, iW, iW);
        fill(rec.m_Blue, 2 * iW, iW);
        if (iData - 3 * iW > 100) {
            rec.m_bHasGray = true;
            fill(rec.m_Gray, 3 * iW, iW);
        }
    } else {
        fill(rec.m_Green, 0, iW);
    }
    *this = std::move(rec);
    return true;
}

bool CNoiseRecord::ReadHeaderlessForm(const std::string& szPath, const std::string& szFirst, int64_t iFileSize)
{
    if (iFileSize < kNoiseOldHeaderSize + kNoiseOldTrailerSize)
        return Fail(FormatText("%s: the file is too short for a noise test (%lld bytes).", szPath.c_str(),
                               static_cast<long long>(iFileSize)));
    std::string szTrailer;
    if (!ReadBytes(szPath, iFileSize - kNoiseOldTrailerSize, kNoiseOldTrailerSize, szTrailer) ||
        static_cast<int64_t>(szTrailer.size()) != kNoiseOldTrailerSize)
        return Fail(FormatText("Cannot read the file %s.", szPath.c_str()));

    CNoiseRecord rec;
    rec.m_bHeaderless = true;
    rec.m_dWidthFactor = 8.5;
    rec.m_iWidth = ReadLe32(szFirst, 28);
    rec.m_uModelCode = static_cast<uint32_t>(ReadLe32(szFirst, kNoiseOldModelCodeOffset));
    rec.m_szScannerName = Cut(HeaderProbe(szTrailer));
    rec.m_bColorScanner = szTrailer[17] == 1;

    const int64_t iW = rec.m_iWidth;
    const int64_t iStride = (iFileSize - kNoiseOldHeaderSize - kNoiseOldTrailerSize) / 3;
    const int64_t iRoom = rec.m_bColorScanner ? iStride : iFileSize - kNoiseOldHeaderSize;
    if (iW < 0 || iW > iRoom)
        return Fail(FormatText("%s: %d samples per channel do not fit into the file.", szPath.c_str(), rec.m_iWidth));
    if (!rec.AllocateChannels())
        return Fail(rec.m_szError);
    std::string szData;
    const int64_t iWant = rec.m_bColorScanner ? 3 * iStride : iW;
    if (!ReadBytes(szPath, kNoiseOldHeaderSize, iWant, szData) || static_cast<int64_t>(szData.size()) != iWant)
        return Fail(FormatText("Cannot read the file %s.", szPath.c_str()));
    const uint8_t* p = reinterpret_cast<const uint8_t*>(szData.data());
    if (rec.m_bColorScanner) {
        std::copy_n(p, iW, rec.m_Red.begin());
        std::copy_n(p + iStride, iW, rec.m_Green.begin());
        std::copy_n(p + 2 * iStride, iW, rec.m_Blue.begin());
    } else {
        std::copy_n(p, iW, rec.m_Green.begin());
    }
    *this = std::move(rec);
    return true;
}

bool CNoiseRecord::WriteNoiseFile(const std::string& szPath)
{
    ConHeader hdr;
    hdr.AppendNoiseTestSection();
    hdr.AppendScannerName(m_szScannerName);
    if (!m_szScannerID.empty())
        hdr.AppendScannerID(m_szScannerID);
    hdr.AppendFirmwareRevision(m_iFirmwareRevision);
    const CDateTime now = CDateTime::Now();
    hdr.AppendDate(now.DateString());
    hdr.AppendTime(now.TimeString());
    hdr.AppendScannerWidth(m_iScannerWidth);
    hdr.AppendColorScanner(m_bColorScanner);
    hdr.AppendWidth(m_iWidth);
    hdr.AppendNoiseLimit(m_iNoiseLimit);

    std::vector<uint8_t> data;
    const size_t n = m_iWidth > 0 ? static_cast<size_t>(m_iWidth) : 0;
    auto put = [&data, n](const std::vector<uint8_t>& v) {
        const size_t iOld = data.size();
        data.resize(iOld + n, 0);
        std::copy_n(v.begin(), std::min(n, v.size()), data.begin() + static_cast<std::ptrdiff_t>(iOld));
    };
    if (m_bColorScanner) {
        put(m_Red);
        put(m_Green);
        put(m_Blue);
        if (m_bHasGray)
            put(m_Gray);
    } else {
        put(m_Green);
    }
    std::string szError;
    if (!WriteConFile(szPath, hdr, data.data(), data.size(), &szError))
        return Fail(FormatText("Cannot write the file %s: %s", szPath.c_str(), szError.c_str()));
    m_szHeader = hdr.GetText();
    m_szDate = now.DateString();
    m_szTime = now.TimeString();
    return true;
}

// ---- settings ----

bool LookupNoiseLimit(uint32_t uModelCode, int32_t& iLimit, std::string& szMessage)
{
    szMessage.clear();
    std::string szValue;
    GetSharedSetting(FormatText("0x%X", uModelCode), "NoiseTest", "Not Found", szValue);
    if (szValue == "Not Found") {
        szMessage = "Noise Test Value not found in Fct_Tst6.INI.";
        return false;
    }
    if (szValue.empty())
        return false;
    iLimit = AtoiText(szValue);
    return true;
}

int32_t NoiseUnitFromText(const std::string& szUnit)
{
    if (!szUnit.empty() && (szUnit[0] == 'c' || szUnit[0] == 'C'))
        return NOISE_UNIT_CM;
    if (!szUnit.empty() && (szUnit[0] == 's' || szUnit[0] == 'S'))
        return NOISE_UNIT_SU;
    return NOISE_UNIT_INCH;
}

namespace {
double UnitFactor(int32_t iUnit)
{
    return iUnit == 0 ? 1.0 : iUnit == 2 ? 10.7696 : 4.24;
}
}  // namespace

std::string NoisePositionLabel(int32_t iUnit, double dWidthFactor, int64_t iIndex, int64_t iCount)
{
    const double u = UnitFactor(iUnit);
    const double p = iCount > 0 ? u * dWidthFactor * static_cast<double>(iIndex) / static_cast<double>(iCount) : 0.0;
    if (iUnit == 2)
        return FormatText("%d", static_cast<int>(std::lround(p)));
    return FormatText("%1.1f", p);
}

std::vector<CNoiseTick> NoiseRulerTicks(int32_t iUnit, double dWidthFactor, int64_t iCount, int64_t iFirst,
                                        int64_t iLast, int32_t iW, int32_t iWanted)
{
    std::vector<CNoiseTick> ticks;
    const int64_t iSpan = iLast - iFirst;
    const double dPerSample = iCount > 0 ? UnitFactor(iUnit) * dWidthFactor / static_cast<double>(iCount) : 0.0;
    if (iSpan <= 0 || iW <= 0 || iWanted < 1 || !(dPerSample > 0.0))
        return ticks;
    const double dFrom = dPerSample * static_cast<double>(iFirst);
    const double dTo = dPerSample * static_cast<double>(iLast);
    const double dRaw = (dTo - dFrom) / iWanted;
    const double dPower = std::pow(10.0, std::floor(std::log10(dRaw)));
    double dStep = dPower;
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        dStep = m * dPower;
        if (dStep >= dRaw)
            break;
    }
    const int iDecimals = iUnit == 2 || dStep >= 1.0 ? 0 : static_cast<int>(-std::floor(std::log10(dStep) + 1e-9));
    // Counted in whole steps so rounding never adds a tick at the end.
    for (int64_t k = static_cast<int64_t>(std::ceil(dFrom / dStep - 1e-9)); k * dStep < dTo - dStep * 1e-6; ++k) {
        const double v = static_cast<double>(k) * dStep;
        const int64_t iIndex = static_cast<int64_t>(std::llround(v / dPerSample));
        CNoiseTick t;
        t.m_iX = static_cast<int32_t>((iIndex - iFirst + 1) * iW / iSpan);
        t.m_szLabel = FormatText("%.*f", iDecimals, v);
        ticks.push_back(t);
    }
    return ticks;
}

// ---- graph marks ----

uint32_t NoiseChannelColor(int32_t iColor)
{
    switch (iColor) {
    case 0: return 0x0000FF;
    case 1: return 0x00FF00;
    case 2: return 0xFF0000;
    case 4: return 0x7F7F7F;
    default: return 0xFFFFFFFF;
    }
}

CNoiseMarks FindNoiseMarks(const std::vector<uint8_t>& samples, int32_t iColor, int32_t iW, int32_t iH,
                           int64_t iCenter, int64_t iZoom, int32_t iUnit, double dWidthFactor)
{
    CNoiseMarks m;
    m.m_uColor = NoiseChannelColor(iColor);
    const int64_t n = static_cast<int64_t>(samples.size());
    if (m.m_uColor == 0xFFFFFFFF || n < 101 || iZoom < 1)
        return m;
    m.m_bDrawn = true;
    int64_t iSum = 0;
    for (uint8_t v : samples)
        iSum += v;
    m.m_iAvg = static_cast<int32_t>(iSum / n);
    m.m_iLo = m.m_iAvg * 95 / 100;
    m.m_iHi = m.m_iAvg * 105 / 100;
    m.m_iYMirror = (m.m_iLo + 2 * (128 - m.m_iAvg)) * iH / 256;
    m.m_iYAverage = (256 - m.m_iAvg) * iH / 256;
    m.m_iYLow = (256 - m.m_iLo) * iH / 256;
    m.m_iFirst = std::max<int64_t>(0, iCenter - (n / iZoom) / 2);
    m.m_iLast = std::min<int64_t>(n, iCenter + (n / iZoom) / 2);
    const int64_t iSpan = m.m_iLast - m.m_iFirst;
    if (iSpan <= 0)
        return m;

    auto mark = [&](int64_t iIndex, bool bPeak) {
        CNoiseMark k;
        k.m_iIndex = iIndex;
        k.m_iValue = samples[static_cast<size_t>(iIndex)];
        k.m_bPeak = bPeak;
        k.m_iX = static_cast<int32_t>((iIndex - m.m_iFirst + 1) * iW / iSpan);
        k.m_iY = (255 - (bPeak ? m.m_iAvg : k.m_iValue)) * iH / 256;
        k.m_szLabel = NoisePositionLabel(iUnit, dWidthFactor, iIndex, n);
        m.m_Marks.push_back(k);
    };
    // Dips first, then peaks: each run outside the band gets one mark at its extreme.
    for (int iPass = 0; iPass < 2; ++iPass) {
        const bool bPeak = iPass == 1;
        int64_t iBest = -1;
        for (int64_t i = m.m_iFirst; i < m.m_iLast; ++i) {
            const int32_t v = samples[static_cast<size_t>(i)];
            const bool bOutside = bPeak ? v > m.m_iHi : v < m.m_iLo;
            if (bOutside) {
                const int32_t best = iBest < 0 ? 0 : samples[static_cast<size_t>(iBest)];
                if (iBest < 0 || (bPeak ? v > best : v < best))
                    iBest = i;
            } else if (iBest >= 0) {
                mark(iBest, bPeak);
                iBest = -1;
            }
        }
        if (iBest >= 0)
            mark(iBest, bPeak);
    }
    return m;
}

// ---- zoom ----

void CNoiseZoom::Reset(int64_t iCount)
{
    m_iCount = std::max<int64_t>(0, iCount);
    m_iZoom = 1;
    m_iCenter = m_iCount / 2;
}

int64_t CNoiseZoom::First() const
{
    return std::max<int64_t>(0, m_iCenter - (m_iCount / m_iZoom) / 2);
}

int64_t CNoiseZoom::Last() const
{
    return std::min<int64_t>(m_iCount, m_iCenter + (m_iCount / m_iZoom) / 2);
}

void CNoiseZoom::Clamp()
{
    const int64_t iHalf = (m_iCount / m_iZoom) / 2;
    m_iCenter = std::clamp<int64_t>(m_iCenter, iHalf, std::max(iHalf, m_iCount - iHalf));
}

void CNoiseZoom::ZoomIn(int32_t iX, int32_t iW)
{
    if (iW >= 2)
        m_iCenter += static_cast<int64_t>(std::lround((static_cast<double>(iX) - iW / 2) / (iW / 2) *
                                                      static_cast<double>(m_iCount / m_iZoom) / 2.0));
    // Stop where fewer than 32 samples would remain on the screen.
    if (m_iCount / (m_iZoom * 2) >= 32)
        m_iZoom *= 2;
    Clamp();
}

void CNoiseZoom::ZoomOut()
{
    m_iZoom /= 2;
    if (m_iZoom <= 1) {
        m_iZoom = 1;
        m_iCenter = m_iCount / 2;
    }
    Clamp();
}

int32_t CNoiseZoom::ScrollPos() const
{
    return m_iCount > 0 ? static_cast<int32_t>(First() * 10000 / m_iCount) : 0;
}

int32_t CNoiseZoom::ScrollPage() const
{
    return m_iCount > 0 ? static_cast<int32_t>((m_iCount / m_iZoom) * 10000 / m_iCount) : 10000;
}

void CNoiseZoom::ScrollTo(int32_t iPos)
{
    m_iCenter = int64_t(iPos) * m_iCount / 10000 + (m_iCount / m_iZoom) / 2;
    Clamp();
}
