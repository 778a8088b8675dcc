#pragma once
// The camera adjustment check's light profile: a black-and-white picture 256
// levels high with one column per pixel of the scan line, run-length coded
// row by row. The first row only says how wide the profile is.
#include <cstdint>
#include <string>
#include <vector>

constexpr int32_t kCheckProfileHeight = 256;
constexpr int64_t kCheckOldHeaderSize = 48;
constexpr int32_t kCheckShowAll = 1000;
constexpr const char* kCheckNoBitmap = "Not enough memory for bitmap.";
// Far wider than any scan line.
constexpr int64_t kCheckMaxWidth = int64_t(1) << 18;

// Black pixels [m_iFrom, m_iTo) of one row.
struct CCheckSpan {
    int32_t m_iFrom = 0;
    int32_t m_iTo = 0;
};

class CCameraCheckProfile {
public:
    std::string m_szFile;
    bool m_bHasHeader = false;
    std::string m_szHeader;
    std::vector<uint8_t> m_Data;
    int32_t m_iWidth = 0;              // sum of the runs of the first row
    // The picture is kept as its black spans rather than as width x 256
    // pixels: the width comes from the file's first row, and a few hundred
    // bytes can declare a quarter of a million columns. Spans of a row are
    // left to right, neither touching nor overlapping; row 0 is the top.
    std::vector<CCheckSpan> m_Spans;
    std::vector<size_t> m_RowStart;    // kCheckProfileHeight + 1 entries into m_Spans
    int64_t m_iWork = 0;               // loop steps of the last Render: bytes read plus spans kept

    // Loads and renders; false with szError (also appended to messages) when
    // the file cannot be shown.
    bool Load(const std::string& szFile, std::vector<std::string>& messages, std::string& szError);
    bool Render(std::string& szError);
    bool HasPicture() const { return m_iWidth > 0 && m_RowStart.size() == kCheckProfileHeight + 1; }
    // A pixel as shown (0 black, 255 white), the inverted grid rows included.
    uint8_t Pixel(int32_t x, int32_t y) const;
    // The profile's level at a column: the recorded curve is black from its
    // level down to the bottom, so the top-most black row y gives 255 - y; -1
    // for a column without black (or outside the profile).
    int32_t ColumnLevel(int32_t x) const;
    // Every 15th row is shown inverted, so that the grid shows on black and on white.
    static bool IsGridRow(int32_t y) { return y % 15 == 14; }
};

// Width given by the first row: false when the row never ends.
bool CheckProfileWidth(const uint8_t* p, int64_t n, int64_t& iWidth, int64_t& iRowEnd);

// Zoom and centre of the check view. zoom 1000 shows all; n >= 1 shows n
// columns per screen pixel; -n magnifies n times.
class CCameraCheckView {
public:
    int32_t m_iProfileWidth = 0;
    int32_t m_iViewWidth = 0, m_iViewHeight = 0;
    int32_t m_iZoom = kCheckShowAll;
    int32_t m_iCenter = 0;

    void ShowAll();
    bool IsShowAll() const { return m_iZoom == kCheckShowAll; }
    int32_t HalfColumns() const;      // (view width / 2) / scale
    int32_t VisibleColumns() const;   // view width / scale
    int32_t FirstColumn() const;      // centre - half
    void Clamp();
    void ZoomIn(int32_t iX);          // x inside the view
    void ZoomOut(int32_t iX);
    std::string ScaleText() const;    // "Showing All" or "Scaling : %d"
    // Scroll bar in columns: range 0..max, position, line and page steps.
    int32_t ScrollMax() const;
    int32_t ScrollPos() const { return IsShowAll() ? 0 : FirstColumn(); }
    int32_t ScrollPage() const;
    void ScrollTo(int32_t iPos);
    void ScrollBy(int32_t iColumns);
};

// The view as gray pixels (iW x iH): a screen pixel is black when any profile
// pixel it covers is black, so thin dark runs survive a shrunk view. The work
// follows the spans and the view's size, never the profile's width; pWork,
// when given, receives the loop steps taken.
std::vector<uint8_t> RenderCheckView(const CCameraCheckProfile& profile, const CCameraCheckView& view, int32_t iW,
                                     int32_t iH, int64_t* pWork = nullptr);
