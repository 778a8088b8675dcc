#include "oscilloscope/OscilloscopeModel.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "datafiles/ConFile.h"
#include "platform/Log.h"
#include "platform/Json.h"

int32_t NextPause(int32_t iCurrent, int32_t iEntered)
{
    return iEntered >= OSC_PAUSE_MIN && iEntered <= OSC_PAUSE_MAX ? iEntered : iCurrent;
}

namespace {

std::string Lower(std::string sz)
{
    std::transform(sz.begin(), sz.end(), sz.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return sz;
}

std::string Title(const std::string& szPath)
{
    std::string sz = std::filesystem::path(szPath).filename().string();
    const size_t iDot = sz.rfind('.');
    return iDot == std::string::npos ? sz : sz.substr(0, iDot);
}

std::string Pad15(const std::string& szLabel)
{
    std::string sz = szLabel;
    if (sz.size() < 15)
        sz.append(15 - sz.size(), ' ');
    return sz;
}

} // namespace

std::string COscDirEntry::Label() const
{
    return std::to_string(m_iResolution) + "dpi " + (m_bColor ? "Color" : "Gray") + " " +
           (m_bCorrected ? "Adjusted" : "Unadjusted");
}

COscDirEntry MakeDirEntry(const std::string& szPath)
{
    COscDirEntry e;
    e.m_szPath = szPath;
    const std::string szTitle = Lower(Title(szPath));
    e.m_bCorrected = szTitle.find("unadjust") == std::string::npos;
    e.m_bColor = szTitle.find("gray") == std::string::npos;
    const size_t iUnderscore = szTitle.rfind('_');
    e.m_iResolution = iUnderscore == std::string::npos ? 0 : std::atoi(szTitle.c_str() + iUnderscore + 1);
    return e;
}

std::vector<COscDirEntry> ScanOscDirectory(const std::string& szDir)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(szDir.empty() ? "." : szDir, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string szName = it->path().filename().string();
        const std::string szLower = Lower(szName);
        if (szLower.size() >= 10 && szLower.compare(0, 6, "oscil_") == 0 &&
            szLower.compare(szLower.size() - 4, 4, ".con") == 0 && it->is_regular_file(ec))
            names.push_back(it->path().string());
    }
    std::sort(names.begin(), names.end());
    std::vector<COscDirEntry> entries;
    for (const std::string& sz : names)
        entries.push_back(MakeDirEntry(sz));
    return entries;
}

size_t DirEntryIndex(size_t iWanted, size_t iCount)
{
    return iWanted < iCount ? iWanted : 0;
}

bool CameraAdjustmentApplies(int32_t iGeneration, int32_t iCameraCount)
{
    return iGeneration >= 9 && iCameraCount >= 5;
}

int32_t RecordingOpticalResolution(int64_t iPixelsPerLine, double dWidthFactor)
{
    const double dInches = dWidthFactor * 4.24;
    if (!(dInches > 0))
        return 0;
    return static_cast<int32_t>(std::trunc(static_cast<double>(iPixelsPerLine) / dInches / 100.0)) * 100;
}

int32_t PlaneOfSelection(int32_t iSelection)
{
    if (iSelection == 0)
        return 0;
    if (iSelection == 1 || iSelection == 4)
        return 1;
    return 2;
}

const char* SelectionColorName(int32_t iSelection, bool bGray)
{
    if (bGray)
        return "Gray";
    switch (PlaneOfSelection(iSelection)) {
    case 0: return "Red";
    case 1: return "Green";
    default: return "Blue";
    }
}

std::vector<std::string> OscPrintHeaderLines(const COscRecording& rec, int32_t iSelection)
{
    std::vector<std::string> lines;
    lines.push_back(Pad15("Scanner Name:") + rec.m_szScannerName);
    if (!rec.m_szScannerID.empty())
        lines.push_back(Pad15("Scanner ID:") + rec.m_szScannerID);
    lines.push_back(Pad15("Date   :") + rec.m_szDate);
    lines.push_back(Pad15("Time:") + rec.m_szTime);
    lines.push_back(Pad15("Color:") + SelectionColorName(iSelection, rec.IsGray()));
    return lines;
}

const char* OscViewModeName(EOscViewMode e)
{
    switch (e) {
    case OSC_VIEW_LIGHT_PROFILE: return "Light Profile";
    case OSC_VIEW_SCAN_WIDTH: return "Scan Width";
    case OSC_VIEW_VERTICAL: return "Vertical Positioning";
    case OSC_VIEW_CAMERA_ADJUSTMENT: return "Camera Adjustment";
    default: return "Normal";
    }
}

std::string MtfText(const COscRecording& rec)
{
    if (!rec.m_bMTF)
        return std::string();
    std::string sz = rec.IsGray() ? "MTF:" : "MTF red/green/blue:";
    for (int32_t c = 0; c < std::min(rec.m_iCameraCount, OSC_MAX_CAMERAS); ++c)
        sz += rec.IsGray() ? FormatText("  %c %d %%", char('A' + c), rec.Mtf(OSC_MTF_RED + 1, c))
                           : FormatText("  %c %d/%d/%d %%", char('A' + c), rec.Mtf(OSC_MTF_RED, c),
                                        rec.Mtf(OSC_MTF_RED + 1, c), rec.Mtf(OSC_MTF_RED + 2, c));
    return sz;
}

EOscViewMode EffectiveViewMode(EOscViewMode e, int32_t iCameraCount)
{
    return e == OSC_VIEW_LIGHT_PROFILE && iCameraCount < 2 ? OSC_VIEW_VERTICAL : e;
}

std::vector<int64_t> CameraStarts(const COscRecording& rec)
{
    std::vector<int64_t> starts{0};
    for (int32_t c = 0; c < std::min(rec.m_iCameraCount, OSC_MAX_CAMERAS); ++c)
        starts.push_back(starts.back() + rec.m_CameraPix[size_t(c)]);
    return starts;
}

void FillFocusData(const COscRecording& rec, int64_t iLine, int32_t iSelection, CFocusData& data)
{
    data = CFocusData();
    data.m_pRed = rec.Line(0, iLine);
    data.m_pGreen = rec.Line(1, iLine);
    data.m_pBlue = rec.Line(2, iLine);
    for (int32_t c = 0; c < FOCUS_CAMERAS; ++c)
        data.m_CameraPix[size_t(c)] = c < rec.m_iCameraCount ? rec.m_CameraPix[size_t(c)] : 0;
    data.m_iLength = static_cast<int32_t>(rec.m_iPixelsPerLine);
    data.m_iColor = iSelection;
    data.FindStitchWires();
}

namespace {

// First and last pixel of camera c reading at least 2 (its active width), in line positions.
bool ActiveRange(const uint8_t* p, int64_t iFirst, int64_t iEnd, int64_t& iFrom, int64_t& iTo)
{
    iFrom = iFirst;
    while (iFrom < iEnd && p[iFrom] < 2)
        ++iFrom;
    iTo = iEnd - 1;
    while (iTo > iFrom && p[iTo] < 2)
        --iTo;
    return iFrom < iEnd;
}

void ShowRange(CLPFGraph& g, int64_t iFirst, int64_t iCount)
{
    if (g.Count() <= 0 || iCount <= 0)
        return;
    const int64_t iZoom = std::clamp<int64_t>(g.Count() / iCount, 1, CLPFGraph::kZoomLimit);
    g.SetView(static_cast<int32_t>(iZoom), iFirst + iCount / 2);
}

// The stitch left of camera c (with c - 1), or for camera A the first stitch.
int64_t LeftStitch(const std::vector<int64_t>& starts, int32_t c)
{
    return starts[size_t(std::max(1, std::min<int32_t>(c, int32_t(starts.size()) - 2)))];
}
int64_t RightStitch(const std::vector<int64_t>& starts, int32_t c)
{
    const int32_t iCams = int32_t(starts.size()) - 1;
    return starts[size_t(std::clamp(c + 1, 1, std::max(1, iCams - 1)))];
}

} // namespace

// A camera's mean level must dip this far for a positioning line to count.
constexpr int32_t kPositioningContrast = 20;

std::vector<uint8_t> CameraLineMeans(const COscRecording& rec, int32_t iPlane, int32_t iCamera)
{
    std::vector<uint8_t> means;
    const std::vector<int64_t> starts = CameraStarts(rec);
    if (iCamera < 0 || iCamera + 1 >= int32_t(starts.size()))
        return means;
    means.reserve(size_t(rec.m_iLines));
    for (int64_t y = 0; y < rec.m_iLines; ++y) {
        const uint8_t* p = rec.Line(iPlane, y);
        int64_t iFrom = 0, iTo = -1;
        if (!p || !ActiveRange(p, starts[size_t(iCamera)], starts[size_t(iCamera) + 1], iFrom, iTo)) {
            means.push_back(0);
            continue;
        }
        int64_t iSum = 0;
        for (int64_t i = iFrom; i <= iTo; ++i)
            iSum += p[i];
        means.push_back(static_cast<uint8_t>(iSum / (iTo - iFrom + 1)));
    }
    return means;
}

void COscilloscopeViews::Apply(const COscRecording& rec, const COscViewState& state, CLPFGraph& overview,
                               CLPFGraph& left, CLPFGraph& right, bool bResetView,
                               const std::vector<int32_t>* pContrast, const COscMarks* pMarks) const
{
    const int32_t iPlane = rec.IsGray() ? 1 : PlaneOfSelection(state.m_iSelection);
    const int32_t iPen = rec.IsGray() ? LPF_CHANNEL_GRAY : iPlane;
    const uint8_t* pLine = rec.Line(iPlane, state.m_iLine);
    const int64_t n = pLine ? rec.m_iPixelsPerLine : 0;
    const std::vector<int64_t> starts = CameraStarts(rec);
    const int32_t iCams = int32_t(starts.size()) - 1;
    const int32_t iCamera = std::clamp(state.m_iCamera, 0, std::max(0, iCams - 1));

    auto setLine = [&](CLPFGraph& g, bool bKeep) {
        const int32_t iZoom = g.Zoom();
        const int64_t iCenter = g.Center();
        const bool bSame = g.Count() == n;
        g.SetData(pLine, n, iPen);
        g.SetMarkers(-1, -1, -1, -1);
        g.SetHighlight(0, -1);
        g.SetReference(nullptr, 0);
        if (bKeep && bSame)
            g.SetView(iZoom, iCenter);
    };
    std::vector<int64_t> positions(starts.begin() + 1, starts.end() - (iCams > 0 ? 1 : 0));
    positions.resize(CLPFGraph::kCameraPositions, 0);

    // Overview: the whole line, the selected camera highlighted, camera letters at the stitches.
    setLine(overview, true);
    if (bResetView || overview.Count() != n)
        overview.ZoomAll();
    overview.SetCameraLetters(iCams > 1);
    overview.SetCameraPositions(positions);
    if (iCams > 0)
        overview.SetHighlight(starts[size_t(iCamera)], starts[size_t(iCamera) + 1] - 1, iPen);
    if (pContrast && int64_t(pContrast->size()) == n && n > 0) {
        std::vector<uint8_t> ref(static_cast<size_t>(n));
        for (size_t i = 0; i < ref.size(); ++i)
            ref[i] = static_cast<uint8_t>(std::clamp((*pContrast)[i], 0, 255));
        overview.SetReference(ref.data(), n);
    } else if (rec.m_bMTF && n > 0) {
        // An MTF recording's modulation of the shown colour, per camera, as a
        // level over the camera's pixels: 100 % at full scale.
        std::vector<uint8_t> ref(static_cast<size_t>(n), 0);
        for (int32_t c = 0; c < iCams; ++c) {
            const int32_t iLevel = std::clamp(rec.Mtf(OSC_MTF_RED + iPlane, c), 0, 100) * 255 / 100;
            for (int64_t i = starts[size_t(c)]; i < starts[size_t(c) + 1] && i < n; ++i)
                ref[size_t(i)] = static_cast<uint8_t>(iLevel);
        }
        overview.SetReference(ref.data(), n);
    }

    const EOscViewMode eMode = EffectiveViewMode(state.m_eMode, rec.m_iCameraCount);
    left.SetDisplayMode(eMode == OSC_VIEW_LIGHT_PROFILE ? LPF_MODE_PERCENT : LPF_MODE_PROFILE);
    right.SetDisplayMode(eMode == OSC_VIEW_LIGHT_PROFILE ? LPF_MODE_PERCENT : LPF_MODE_PROFILE);
    if (iCams <= 0 || n <= 0) {
        left.Clear();
        right.Clear();
        return;
    }
    switch (eMode) {
    case OSC_VIEW_CAMERA_ADJUSTMENT: {
        // Each detail view 64 pixels around one of the camera's stitch marks
        // (wire pair), the found centre marked; without a found mark it
        // shows the stitch.
        setLine(left, !bResetView);
        setLine(right, !bResetView);
        for (const bool bLeft : {true, false}) {
            CLPFGraph& g = bLeft ? left : right;
            const int32_t iSide = AdjustmentSide(iCamera, iCams, bLeft);
            const double dMark = pMarks ? (*pMarks)[size_t(iCamera)][size_t(iSide)] : 0.0;
            const int64_t iAt = dMark > 0 ? static_cast<int64_t>(std::lround(dMark))
                                          : bLeft ? LeftStitch(starts, iCamera) : RightStitch(starts, iCamera);
            g.SetMarkers(iAt, -1, -1, -1);
            if (bResetView)
                ShowRange(g, iAt - OSC_WIDTH_PIXELS / 2, OSC_WIDTH_PIXELS);
        }
        break;
    }
    case OSC_VIEW_NORMAL: {
        setLine(left, !bResetView);
        setLine(right, !bResetView);
        const int64_t iLeft = LeftStitch(starts, iCamera), iRight = RightStitch(starts, iCamera);
        left.SetMarkers(iLeft, -1, -1, -1);
        right.SetMarkers(iRight, -1, -1, -1);
        if (bResetView) {
            ShowRange(left, iLeft - OSC_DETAIL_PIXELS / 2, OSC_DETAIL_PIXELS);
            ShowRange(right, iRight - OSC_DETAIL_PIXELS / 2, OSC_DETAIL_PIXELS);
        }
        break;
    }
    case OSC_VIEW_LIGHT_PROFILE: {
        // The selected camera beside its neighbour, each whole, on a percent grid.
        const int32_t iOther = iCamera + 1 < iCams ? iCamera + 1 : iCamera - 1;
        setLine(left, !bResetView);
        setLine(right, !bResetView);
        left.SetHighlight(starts[size_t(iCamera)], starts[size_t(iCamera) + 1] - 1, iPen);
        right.SetHighlight(starts[size_t(iOther)], starts[size_t(iOther) + 1] - 1, iPen);
        if (bResetView) {
            ShowRange(left, starts[size_t(iCamera)], starts[size_t(iCamera) + 1] - starts[size_t(iCamera)]);
            ShowRange(right, starts[size_t(iOther)], starts[size_t(iOther) + 1] - starts[size_t(iOther)]);
        }
        break;
    }
    case OSC_VIEW_SCAN_WIDTH: {
        // Both ends of the selected camera, with solid markers on the first and
        // last pixel that reads light: what the camera really delivers.
        setLine(left, !bResetView);
        setLine(right, !bResetView);
        int64_t iFrom = 0, iTo = -1;
        const int64_t iBegin = starts[size_t(iCamera)], iEnd = starts[size_t(iCamera) + 1];
        if (ActiveRange(pLine, iBegin, iEnd, iFrom, iTo)) {
            left.SetMarkers(iFrom, -1, iBegin, -1);
            right.SetMarkers(iTo, -1, iEnd - 1, -1);
        }
        if (bResetView) {
            ShowRange(left, iBegin, std::min<int64_t>(OSC_WIDTH_PIXELS, iEnd - iBegin));
            ShowRange(right, std::max(iBegin, iEnd - OSC_WIDTH_PIXELS), std::min<int64_t>(OSC_WIDTH_PIXELS, iEnd - iBegin));
        }
        break;
    }
    case OSC_VIEW_VERTICAL: {
        // Line by line over the whole recording: each camera's mean level. A
        // positioning line passing under the cameras shows as a dip; the dips
        // of neighbouring cameras lie apart by their vertical offset in lines.
        const int32_t iOther = iCamera + 1 < iCams ? iCamera + 1 : std::max(0, iCamera - 1);
        const std::vector<uint8_t> a = CameraLineMeans(rec, iPlane, iCamera);
        const std::vector<uint8_t> b = CameraLineMeans(rec, iPlane, iOther);
        left.SetData(a.data(), int64_t(a.size()), iPen);
        right.SetData(b.data(), int64_t(b.size()), iPen);
        for (CLPFGraph* g : {&left, &right}) {
            g->SetHighlight(0, -1);
            g->SetReference(nullptr, 0);
            g->SetMarkers(state.m_iLine, -1, -1, -1);
            if (bResetView)
                g->ZoomAll();
        }
        break;
    }
    }
}

int32_t COscilloscopeViews::AdjustmentSide(int32_t iCamera, int32_t iCameras, bool bLeft)
{
    if (bLeft)
        return iCamera > 0 ? 0 : 2;
    return iCamera + 1 < iCameras ? 1 : 2;
}

std::string COscilloscopeViews::DetailCaption(const COscRecording& rec, const COscViewState& state, bool bLeft,
                                              const COscMarks* pMarks)
{
    const std::vector<int64_t> starts = CameraStarts(rec);
    const int32_t iCams = int32_t(starts.size()) - 1;
    if (iCams <= 0)
        return std::string();
    const int32_t iCamera = std::clamp(state.m_iCamera, 0, iCams - 1);
    const char cCam = char('A' + iCamera);
    switch (EffectiveViewMode(state.m_eMode, rec.m_iCameraCount)) {
    case OSC_VIEW_CAMERA_ADJUSTMENT: {
        static const char* const kSides[3] = {"left", "right", "middle"};
        const int32_t iSide = AdjustmentSide(iCamera, iCams, bLeft);
        const double dMark = pMarks ? (*pMarks)[size_t(iCamera)][size_t(iSide)] : 0.0;
        return dMark > 0 ? FormatText("Camera %c %s stitch mark at pixel %.1f", cCam, kSides[iSide], dMark)
                         : FormatText("Camera %c %s stitch mark not found", cCam, kSides[iSide]);
    }
    case OSC_VIEW_LIGHT_PROFILE: {
        const int32_t iOther = iCamera + 1 < iCams ? iCamera + 1 : iCamera - 1;
        return FormatText("Light profile of camera %c (percent grid)", bLeft ? cCam : char('A' + iOther));
    }
    case OSC_VIEW_SCAN_WIDTH: {
        const uint8_t* p = rec.Line(rec.IsGray() ? 1 : PlaneOfSelection(state.m_iSelection), state.m_iLine);
        int64_t iFrom = 0, iTo = -1;
        const int64_t iBegin = starts[size_t(iCamera)], iEnd = starts[size_t(iCamera) + 1];
        if (!p || !ActiveRange(p, iBegin, iEnd, iFrom, iTo))
            return FormatText("Camera %c reads no light", cCam);
        return bLeft ? FormatText("Camera %c: %lld covered pixels at its start", cCam,
                                  static_cast<long long>(iFrom - iBegin))
                     : FormatText("Camera %c: %lld active pixels, %lld covered at its end", cCam,
                                  static_cast<long long>(iTo - iFrom + 1), static_cast<long long>(iEnd - 1 - iTo));
    }
    case OSC_VIEW_VERTICAL: {
        // A positioning line shows as the darkest line of each camera; the
        // right view tells how many lines later its camera saw it.
        const int32_t iOther = iCamera + 1 < iCams ? iCamera + 1 : std::max(0, iCamera - 1);
        const int32_t iPlane = rec.IsGray() ? 1 : PlaneOfSelection(state.m_iSelection);
        auto darkest = [&](int32_t c) -> int64_t {
            const std::vector<uint8_t> means = CameraLineMeans(rec, iPlane, c);
            if (means.empty())
                return -1;
            const auto [lo, hi] = std::minmax_element(means.begin(), means.end());
            return *hi - *lo >= kPositioningContrast ? lo - means.begin() : -1;
        };
        const int32_t iShown = bLeft ? iCamera : iOther;
        const int64_t iDip = darkest(iShown);
        std::string sz = FormatText("Camera %c mean level per line (%lld lines)", char('A' + iShown),
                                    static_cast<long long>(rec.m_iLines));
        if (iDip < 0)
            return sz + ", no positioning line";
        sz += FormatText(", darkest line %lld", static_cast<long long>(iDip + 1));
        if (const int64_t iFirst = darkest(iCamera); !bLeft && iFirst >= 0 && iShown != iCamera)
            sz += FormatText(": %+lld lines from %c", static_cast<long long>(iDip - iFirst), cCam);
        return sz;
    }
    default: {
        if (iCams < 2)
            return FormatText("Camera %c has no stitch", cCam);
        const int64_t iStitch = bLeft ? LeftStitch(starts, iCamera) : RightStitch(starts, iCamera);
        const size_t k = size_t(std::find(starts.begin(), starts.end(), iStitch) - starts.begin());
        return FormatText("Stitch %c|%c at pixel %lld", char('A' + k - 1), char('A' + k),
                          static_cast<long long>(iStitch));
    }
    }
}

bool OscHeaderInfo(const std::string& szFile, std::string& szText)
{
    CConFileHeader file;
    const EConReadStatus status = ReadConFileHeader(szFile, file);
    if (status == CON_READ_CANNOT_OPEN) {
        szText = FormatText("%s: the file cannot be opened.", szFile.c_str());
        return false;
    }
    if (status != CON_READ_OK || file.m_iHeaderLength <= 0) {
        szText = "Old Con-file.\nNo Header Information available";
        return true;
    }
    szText = Cp1252ToUtf8(file.m_Header.GetText());
    return true;
}

std::string PickUnpackedRecording(const std::vector<std::string>& written)
{
    for (const std::string& sz : written) {
        CConFileHeader file;
        if (ReadConFileHeader(sz, file) == CON_READ_CANNOT_OPEN)
            continue;
        ConHeader first;
        first.SetText(file.m_szFirstBytes.data(), file.m_szFirstBytes.size());
        if (first.IsOscilloscope() || first.IsMTF())
            return sz;
    }
    return written.empty() ? std::string() : written.front();
}
