#pragma once
// The pixel inspector of the picture views: the value under the mouse per
// channel with its place in pixels and millimetres, and the statistics of a
// dragged rectangle (mean, standard deviation, smallest and largest value per
// channel, and its size). Plain numbers, so every picture view reports alike.
#include <cstdint>
#include <string>
#include <vector>

// Read access to a picture, one row part at a time: a run-length picture
// decodes a row, a plain one copies it.
class CPixelSource {
public:
    virtual ~CPixelSource() = default;
    virtual int32_t Width() const = 0;
    virtual int32_t Height() const = 0;
    virtual int32_t Channels() const = 0;       // 1 (gray) or 3 (red, green, blue)
    virtual int32_t Resolution() const = 0;     // dots per inch, 0 or less unknown
    // Pixels [x, x + n) of row y (inside the picture), channel values interleaved.
    virtual void ReadRow(int32_t y, int32_t x, int32_t n, int32_t* pValues) const = 0;
};

class CPicture;

// A gray or RGB CPicture (anything else reads as an empty picture).
class CPicturePixels : public CPixelSource {
public:
    explicit CPicturePixels(const CPicture* pPicture) : m_pPicture(pPicture) {}
    int32_t Width() const override;
    int32_t Height() const override;
    int32_t Channels() const override;
    int32_t Resolution() const override;
    void ReadRow(int32_t y, int32_t x, int32_t n, int32_t* pValues) const override;

private:
    const CPicture* m_pPicture;
};

struct CPixelRect {
    int32_t m_iLeft = 0, m_iTop = 0, m_iWidth = 0, m_iHeight = 0;
    bool IsEmpty() const { return m_iWidth <= 0 || m_iHeight <= 0; }
    int64_t Area() const { return IsEmpty() ? 0 : int64_t(m_iWidth) * m_iHeight; }
    bool operator==(const CPixelRect&) const = default;
};

// The pixels a drag from one pixel to another covers (both inclusive, any
// direction), cut to a W x H picture; empty when it misses the picture.
CPixelRect DraggedRect(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t iWidth, int32_t iHeight);

struct CChannelStats {
    double m_dMean = 0.0;
    double m_dStdDev = 0.0;   // of the pixels themselves (divided by n)
    int32_t m_iMin = 0, m_iMax = 0;
};

struct CAreaStats {
    CPixelRect m_Rect;
    std::vector<CChannelStats> m_Channels;  // empty for an empty rectangle
};

CAreaStats ComputeAreaStats(const CPixelSource& source, const CPixelRect& rect);

// Channel names as the read-outs write them: "Gray", or "R", "G", "B".
const char* PixelChannelName(int32_t iChannels, int32_t i);
// "x 120 (10.16 mm)  y 40 (3.39 mm)  R 200 G 100 B 50"; millimetres only
// with a known resolution; empty outside the picture.
std::string PixelReadOut(const CPixelSource& source, int32_t x, int32_t y);
// "Area 20 x 10 px (1.69 x 0.85 mm)" and one line per channel
// "R mean 120.50 sd 3.20 min 100 max 140"; nothing for an empty rectangle.
std::vector<std::string> AreaStatsLines(const CAreaStats& stats, int32_t iChannels, int32_t iResolution);
