#pragma once
// The geometry of the profile graph (CLPFControle): which samples each screen
// column shows, the zoom and centre rules, the grid, the marker and tag
// columns, the camera letter positions and the cursor read-out table. No
// drawing here: the Qt painter walks what this computes, so the rules can be
// checked with numbers and reused by every view that draws a profile.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Column minima and maxima for blocks of 2^k samples, k = 1, 2, ..., built
// once per data set. Any range then costs O(log n) block look-ups, so a full
// view of millions of samples costs about what a short profile does.
class CLPFSampleLevels {
public:
    void Prepare(const uint8_t* pSamples, int64_t iCount);
    void Clear();
    // Smallest and largest sample of [iFirst, iLast] (inclusive, clamped to the data).
    void RangeMinMax(int64_t iFirst, int64_t iLast, uint8_t& iMin, uint8_t& iMax) const;
    int64_t Count() const { return m_iCount; }

private:
    const uint8_t* m_pSamples = nullptr;
    int64_t m_iCount = 0;
    // m_Min[k - 1][j], m_Max[k - 1][j]: extrema of samples [j * 2^k, (j + 1) * 2^k).
    std::vector<std::vector<uint8_t>> m_Min, m_Max;
};

enum LPF_CHANNEL { LPF_CHANNEL_RED = 0, LPF_CHANNEL_GREEN = 1, LPF_CHANNEL_BLUE = 2, LPF_CHANNEL_GRAY = 3 };

// Display modes of the graph. 0: black above the curve; 1: plain profile with
// level grid; 3: the [-32:31] view; 4: the [0:64[ (TX) view; 5: profile with a
// percent grid.
enum LPF_DISPLAY_MODE { LPF_MODE_FILLED = 0, LPF_MODE_PROFILE = 1, LPF_MODE_SIGNED32 = 3, LPF_MODE_TX64 = 4,
                        LPF_MODE_PERCENT = 5 };

struct CLPFColumn {
    int64_t m_iFirst = 0;  // first and last sample the column covers
    int64_t m_iLast = -1;
    bool IsEmpty() const { return m_iLast < m_iFirst; }
};

class CLPFGraph {
public:
    static constexpr int32_t kZoomLimit = 33554431;
    static constexpr int32_t kReadOutColumns = 5001;
    static constexpr int kCameraPositions = 7;

    CLPFGraph();

    // --- data ---------------------------------------------------------------
    // One array of samples drawn in the pen of iColor (0 red, 1 green, 2 blue,
    // anything else gray). The graph keeps its own copy: modes 3 and 4 change it.
    void SetData(const uint8_t* pSamples, int64_t iCount, int32_t iColor);
    // Separate red, green and blue arrays of the same length (oscilloscope).
    void SetColorData(const uint8_t* pRed, const uint8_t* pGreen, const uint8_t* pBlue, int64_t iCount);
    // Reference level per sample (oscilloscope); empty clears it.
    void SetReference(const uint8_t* pReference, int64_t iCount);
    void Clear();

    int64_t Count() const { return m_iCount; }
    bool HasData() const { return m_iCount > 0; }
    bool IsSeparate() const { return m_bSeparate; }
    int ChannelCount() const { return m_bSeparate ? 3 : (m_iCount > 0 ? 1 : 0); }
    // Pen colour index of channel i (LPF_CHANNEL_*).
    int32_t ChannelColor(int i) const;
    const std::vector<uint8_t>& Samples(int iChannel = 0) const { return m_Samples[iChannel]; }
    const std::vector<uint8_t>& Reference() const { return m_Reference; }

    // --- display mode -------------------------------------------------------
    // Choosing 3 or 4 spreads the current samples; while the mode is 3 every
    // data set handed in later is spread as well.
    void SetDisplayMode(int32_t iMode);
    int32_t DisplayMode() const { return m_iMode; }
    static uint8_t ConvertSigned32(uint8_t s) { return static_cast<uint8_t>((4 * s + 128) & 0xFF); }
    static uint8_t ConvertTx64(uint8_t s) { return static_cast<uint8_t>((4 * s) & 0xFF); }

    // --- overlays -----------------------------------------------------------
    // Highlighted sample range [iFirst, iLast] with the name of channel iColor
    // (-1: the data's own colour); iLast < iFirst clears it.
    void SetHighlight(int64_t iFirst, int64_t iLast, int32_t iColor = -1);
    int32_t HighlightColor() const { return m_iHighColor >= 0 ? m_iHighColor : ChannelColor(0); }
    bool HasHighlight() const { return m_iHighFirst <= m_iHighLast; }
    bool InHighlight(const CLPFColumn& col) const;
    int64_t HighlightFirst() const { return m_iHighFirst; }
    int64_t HighlightLast() const { return m_iHighLast; }

    void SetCameraLetters(bool bOn) { m_bCameraLetters = bOn; }
    bool CameraLetters() const { return m_bCameraLetters; }
    // Up to seven camera positions in samples; 0 or less: not shown.
    void SetCameraPositions(const std::vector<int64_t>& positions);
    int64_t CameraPosition(int i) const { return m_CameraPos[static_cast<size_t>(i)]; }

    // Two solid markers and two dotted ones; -1 leaves a marker off.
    void SetMarkers(int64_t iSolid1, int64_t iSolid2, int64_t iDotted1, int64_t iDotted2);
    const std::array<int64_t, 4>& Markers() const { return m_Markers; }
    // One tag byte per sample (0: none); empty clears them.
    void SetTags(const uint8_t* pTags, int64_t iCount);

    // --- zoom ---------------------------------------------------------------
    int32_t Zoom() const { return m_iZoom; }
    int64_t Center() const { return m_iCenter; }
    // Direct placement (openers): z, c; c is clamped to the visible half-width.
    void SetView(int32_t iZoom, int64_t iCenter);
    void ZoomAll();
    // A click at plot column iX of a plot iWidth columns wide.
    void ZoomIn(int32_t iX, int32_t iWidth);
    void ZoomOut();
    // Scroll bar: the first visible sample and the range it may take.
    int64_t ScrollPosition() const;
    int64_t ScrollMaximum() const;
    int64_t ScrollPage() const;
    void SetScrollPosition(int64_t iPos);

    // --- geometry of a plot iWidth x iHeight --------------------------------
    double VisibleCount() const;                 // n / z
    double FirstVisible() const;                 // c - (n / z) / 2
    double SamplesPerColumn(int32_t iWidth) const;
    CLPFColumn Column(int32_t iX, int32_t iWidth) const;
    std::vector<CLPFColumn> Columns(int32_t iWidth) const;
    // Smallest and largest sample of channel iChannel in a column.
    void ColumnMinMax(const CLPFColumn& col, int iChannel, uint8_t& iMin, uint8_t& iMax) const;
    // Tag of the first tagged sample in the column (0 when none).
    uint8_t ColumnTag(const CLPFColumn& col) const;
    // Which marker (0..3) lies in the column, bit i set for marker i.
    uint32_t ColumnMarkers(const CLPFColumn& col) const;

    static int32_t LevelY(int32_t iLevel, int32_t iHeight)
    {
        return static_cast<int32_t>((256 - iLevel) * static_cast<int64_t>(iHeight) / 256);
    }
    // Horizontal grid lines for the current mode (doubled lines appear twice, one pixel lower).
    std::vector<int32_t> GridLines(int32_t iHeight) const;
    // Column of camera i's letter (or mode 3/4 tick), or -1 when off screen or unset.
    int32_t CameraColumn(int i, int32_t iWidth) const;

    // Sample index under each of up to 5001 plot columns (cursor read-out),
    // built when the graph is drawn and read while the mouse moves.
    std::vector<int64_t> ReadOutTable(int32_t iWidth) const;
    // "%d" of the table entry under plot column iX, empty outside the plot or the table.
    static std::string ReadOutText(const std::vector<int64_t>& table, int32_t iX);

    static const char* ChannelName(int32_t iColor); // "Red ", "Green ", "Blue ", "Gray "

private:
    void AdoptSamples();
    void ClampCenter();
    void Convert(uint8_t (*fn)(uint8_t));

    std::array<std::vector<uint8_t>, 3> m_Samples;
    std::array<CLPFSampleLevels, 3> m_Levels;
    std::vector<uint8_t> m_Reference;
    std::vector<int64_t> m_Tagged;   // sorted indices of tagged samples
    std::vector<uint8_t> m_Tags;
    int64_t m_iCount = 0;
    bool m_bSeparate = false;
    int32_t m_iColor = LPF_CHANNEL_GRAY;
    int32_t m_iMode = LPF_MODE_PROFILE;
    int32_t m_iZoom = 1;
    int64_t m_iCenter = 0;
    int64_t m_iHighFirst = 0, m_iHighLast = -1;
    int32_t m_iHighColor = -1;
    bool m_bCameraLetters = false;
    std::array<int64_t, kCameraPositions> m_CameraPos{};
    std::array<int64_t, 4> m_Markers{-1, -1, -1, -1};
};
