#include "oscilloscope/OscilloscopeRecording.h"

#include <algorithm>

#include "datafiles/ConFile.h"
#include "platform/Log.h"

namespace {

const char* const kNoiseViewer = "CNCTest_Dialog";
const char* const kLightProfileViewer = "CView_LPF_Dialog";

void Missing(COscReadResult& r, const char* szItem)
{
    r.m_Messages.push_back(std::string("Missing Information:\n") + szItem);
}

COscReadResult Fail(COscReadResult r, const std::string& szFile, const std::string& szProblem)
{
    r.m_eOutcome = OSC_READ_FAILED;
    r.m_szError = szFile + ":\n" + szProblem;
    Log_Msg_Txt("COscilloscope_Dialog::ReadFile failed", r.m_szError);
    return r;
}

int32_t DefaultGeneration(int32_t iScannerWidth, bool bColorScanner)
{
    if (iScannerWidth == 60000 || iScannerWidth == 48000)
        return 5;
    return bColorScanner ? 4 : 0;
}

void ReadKeys(const ConHeader& h, COscRecording& rec, COscReadResult& r)
{
    if (!h.GetColorScanner(rec.m_bColorScanner))
        Missing(r, "Is Color or B/W Scanner");
    if (!h.GetColor(rec.m_iColorCode)) {
        Missing(r, "Color");
        rec.m_iColorCode = 4;
    }
    rec.m_bColor = rec.m_iColorCode != 4;
    if (!h.GetCameraUsed(rec.m_iCameraUsed))
        Missing(r, "Camera Used");
    if (!h.GetCameraCount(rec.m_iCameraCount))
        Missing(r, "Camera Count");
    rec.m_dWidthFactor = 8.5;
    if (h.GetScannerWidth(rec.m_iScannerWidth))
        rec.m_dWidthFactor = rec.m_iScannerWidth / 5088.0;
    else
        rec.m_iScannerWidth = 0;
    if (!h.GetCorrected(rec.m_bCorrected))
        Missing(r, "Is Corrected/Uncorrected");
    if (!h.GetDate(rec.m_szDate))
        Missing(r, "Date");
    if (!h.GetTime(rec.m_szTime))
        Missing(r, "Time");
    if (!h.GetScannerID(rec.m_szScannerID))
        rec.m_szScannerID.clear();
    if (!h.GetScannerName(rec.m_szScannerName))
        Missing(r, "Scanner Name");
    if (!h.GetScannerFamily(rec.m_iScannerFamily))
        rec.m_iScannerFamily = 5;
    rec.m_CameraPix.fill(0);
    for (int32_t c = 0; c < OSC_MAX_CAMERAS && c < rec.m_iCameraCount; ++c) {
        if (!h.GetCameraPix(c, rec.m_CameraPix[size_t(c)]) && c < 4)
            r.m_Messages.push_back(std::string("Missing Information:\nGet Camera ") + char('A' + c) + " Pix");
    }
    if (!h.GetMagnification(rec.m_Magnification))
        Missing(r, "Magnification");
    if (!h.GetCenterLines(rec.m_CenterLines))
        Missing(r, "Center Lines");
    if (!h.GetGeneration(rec.m_iGeneration))
        rec.m_iGeneration = DefaultGeneration(rec.m_iScannerWidth, rec.m_bColorScanner);
    if (!h.GetFirmwareRevision(rec.m_iFirmwareRevision))
        rec.m_iFirmwareRevision = 0;
}

int32_t GetLe32(const uint8_t* p)
{
    return static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

void PutLe32(std::vector<uint8_t>& out, int32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
}

} // namespace

int32_t COscRecording::CamerasWithPixels() const
{
    int32_t n = 0;
    for (int32_t c = 0; c < std::min(m_iCameraCount, OSC_MAX_CAMERAS); ++c)
        n += m_CameraPix[size_t(c)] >= 10 ? 1 : 0;
    return n;
}

int32_t COscRecording::Mtf(int32_t a, int32_t c) const
{
    if (a < 0 || a >= OSC_MTF_ARRAYS || c < 0 || c >= int32_t(m_MtfArrays[size_t(a)].size()))
        return 0;
    return m_MtfArrays[size_t(a)][size_t(c)];
}

const uint8_t* COscRecording::Line(int32_t iPlane, int64_t iLine) const
{
    if (iPlane < 0 || iPlane > 2 || iLine < 0 || iLine >= m_iLines || m_iPixelsPerLine <= 0)
        return nullptr;
    const std::vector<uint8_t>& plane = m_Planes[size_t(iPlane)];
    const int64_t iOffset = iLine * m_iPixelsPerLine;
    if (iOffset + m_iPixelsPerLine > static_cast<int64_t>(plane.size()))
        return nullptr;
    return plane.data() + iOffset;
}

COscReadResult ReadOscilloscopeFile(const std::string& szFile, COscRecording& rec)
{
    Log_Msg_Txt("bool COscilloscope_Dialog::ReadFile()", szFile);
    COscReadResult r;
    CConFileHeader file;
    const EConReadStatus status = ReadConFileHeader(szFile, file);
    if (status == CON_READ_CANNOT_OPEN)
        return Fail(r, szFile, file.m_szProblem.empty() ? "the file cannot be opened" : file.m_szProblem);
    ConHeader first;
    first.SetText(file.m_szFirstBytes.data(), file.m_szFirstBytes.size());
    if (first.IsRawdex()) {
        r.m_eOutcome = OSC_READ_RAWDEX;
        return r;
    }
    if (first.IsNoiseTest()) {
        r.m_eOutcome = OSC_READ_HAND_OVER;
        r.m_szViewer = kNoiseViewer;
        return r;
    }
    if (first.IsLightProfile()) {
        r.m_eOutcome = OSC_READ_HAND_OVER;
        r.m_szViewer = kLightProfileViewer;
        return r;
    }
    if (!first.IsOscilloscope() && !first.IsMTF())
        return Fail(r, szFile, "this is not an oscilloscope recording (no [Oscilloscope] or [MTF] section)");
    if (status != CON_READ_OK)
        return Fail(r, szFile, file.m_szProblem.empty() ? "the header's DataPointer cannot be right" : file.m_szProblem);

    COscRecording out;
    out.m_szFile = szFile;
    out.m_bMTF = !first.IsOscilloscope();
    ReadKeys(file.m_Header, out, r);

    if (out.m_iCameraCount <= 0 || out.m_iCameraCount > OSC_MAX_CAMERAS)
        return Fail(r, szFile, FormatText("CameraCount=%d: a recording has 1 to 8 cameras", out.m_iCameraCount));
    int64_t iPixels = 0;
    for (int32_t c = 0; c < out.m_iCameraCount; ++c) {
        const int32_t iPix = out.m_CameraPix[size_t(c)];
        if (iPix < 0 || iPix > (1 << 20))
            return Fail(r, szFile, FormatText("Camera%cPix=%d is not a pixel count", char('A' + c), iPix));
        iPixels += iPix;
    }
    if (iPixels == 0)
        return Fail(r, szFile, "the header gives the cameras no pixels, so no line can be read");
    out.m_iPixelsPerLine = iPixels;

    const int64_t iBytesPerPixel = out.Interleaved() ? 3 : 1;
    const int64_t iLineBytes = iPixels * iBytesPerPixel;
    const int64_t iData = file.DataLength();
    if (iData > OSC_MAX_DATA)
        return Fail(r, szFile, FormatText("the data block of %lld bytes is larger than any recording",
                                          static_cast<long long>(iData)));
    if (iData < iLineBytes)
        return Fail(r, szFile, FormatText("the data block holds %lld bytes, less than one line of %lld pixels "
                                          "(%lld bytes)",
                                          static_cast<long long>(iData), static_cast<long long>(iPixels),
                                          static_cast<long long>(iLineBytes)));
    std::vector<uint8_t> data;
    std::string szError;
    if (!ReadConData(file, OSC_MAX_DATA, data, szError))
        return Fail(r, szFile, szError);

    const int64_t iMtfBytes = out.m_bMTF ? int64_t(OSC_MTF_ARRAYS) * 4 * out.m_iCameraCount : 0;
    int64_t iLineData = static_cast<int64_t>(data.size());
    if (out.m_bMTF) {
        if (iLineData < iLineBytes + iMtfBytes)
            return Fail(r, szFile, FormatText("the [MTF] recording ends after %lld bytes, before its five arrays "
                                              "(%lld bytes after the line)",
                                              static_cast<long long>(iLineData), static_cast<long long>(iMtfBytes)));
        const uint8_t* p = data.data() + iLineBytes;
        for (int a = 0; a < OSC_MTF_ARRAYS; ++a)
            for (int32_t c = 0; c < out.m_iCameraCount; ++c, p += 4)
                out.m_MtfArrays[size_t(a)].push_back(GetLe32(p));
        out.m_iLines = 1;
    } else {
        if (iLineData % iLineBytes != 0)
            r.m_Messages.push_back(FormatText("%s:\nthe data block of %lld bytes is not a whole number of lines of "
                                              "%lld bytes; the last %lld bytes are left out.",
                                              szFile.c_str(), static_cast<long long>(iLineData),
                                              static_cast<long long>(iLineBytes),
                                              static_cast<long long>(iLineData % iLineBytes)));
        out.m_iLines = std::max<int64_t>(1, iLineData / iLineBytes);
    }
    const size_t iPlane = static_cast<size_t>(out.m_iLines * iPixels);
    if (out.Interleaved()) {
        for (auto& plane : out.m_Planes)
            plane.resize(iPlane);
        for (size_t i = 0; i < iPlane; ++i) {
            out.m_Planes[0][i] = data[3 * i];
            out.m_Planes[1][i] = data[3 * i + 1];
            out.m_Planes[2][i] = data[3 * i + 2];
        }
    } else {
        out.m_Planes[1].assign(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(iPlane));
    }
    rec = std::move(out);
    r.m_eOutcome = OSC_READ_LOADED;
    return r;
}

bool WriteOscilloscopeFile(const std::string& szFile, const COscRecording& rec, std::string* pError)
{
    ConHeader h;
    if (rec.m_bMTF)
        h.AppendMTFSection();
    else
        h.AppendOscilloscopeSection();
    h.AppendScannerName(rec.m_szScannerName);
    if (!rec.m_szScannerID.empty())
        h.AppendScannerID(rec.m_szScannerID);
    h.AppendDate(rec.m_szDate);
    h.AppendTime(rec.m_szTime);
    h.AppendColorScanner(rec.m_bColorScanner);
    h.AppendColor(rec.m_iColorCode);
    h.AppendCameraUsed(rec.m_iCameraUsed);
    h.AppendCameraCount(rec.m_iCameraCount);
    for (int32_t c = 0; c < rec.m_iCameraCount && c < OSC_MAX_CAMERAS; ++c)
        h.AppendCameraPix(c, rec.m_CameraPix[size_t(c)]);
    if (rec.m_iScannerWidth > 0)
        h.AppendScannerWidth(rec.m_iScannerWidth);
    h.AppendCorrected(rec.m_bCorrected);
    h.AppendScannerFamily(rec.m_iScannerFamily);
    h.AppendMagnification(rec.m_Magnification[0], rec.m_Magnification[1], rec.m_Magnification[2]);
    h.AppendCenterLines(rec.m_CenterLines[0], rec.m_CenterLines[1], rec.m_CenterLines[2]);
    h.AppendGeneration(rec.m_iGeneration);
    h.AppendFirmwareRevision(rec.m_iFirmwareRevision);

    std::vector<uint8_t> data;
    const size_t iPlane = static_cast<size_t>(std::max<int64_t>(0, rec.m_iLines * rec.m_iPixelsPerLine));
    if (rec.Interleaved()) {
        data.reserve(3 * iPlane);
        for (size_t i = 0; i < iPlane; ++i)
            for (int p = 0; p < 3; ++p)
                data.push_back(i < rec.m_Planes[size_t(p)].size() ? rec.m_Planes[size_t(p)][i] : 0);
    } else {
        data.assign(rec.m_Planes[1].begin(), rec.m_Planes[1].begin() + static_cast<std::ptrdiff_t>(
                                                 std::min(iPlane, rec.m_Planes[1].size())));
    }
    if (rec.m_bMTF)
        for (const auto& array : rec.m_MtfArrays)
            for (int32_t c = 0; c < rec.m_iCameraCount; ++c)
                PutLe32(data, c < static_cast<int32_t>(array.size()) ? array[size_t(c)] : 0);
    return WriteConFile(szFile, h, data.data(), data.size(), pError);
}
