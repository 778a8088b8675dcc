#pragma once
// Rows move between readers, filters, coders, writers and pictures through one
// small interface: BeginPage, then GetLineBuffer/WriteLine per row, then EndPage.
#include <cstdint>
#include <vector>

class CPicture;

// Pixel kinds of a page.
enum EImageKind : int32_t {
    IMG_KIND_BILEVEL = 0, // 1 bit, most significant first, 1 = white
    IMG_KIND_GRAY = 1,
    IMG_KIND_RGB = 2,
    IMG_KIND_PALETTE = 3,
    IMG_KIND_GRAY16 = 4,
    IMG_KIND_RGB48 = 5,
};

// Bytes of one row of a kind; -1 for an unknown kind or a width that does not fit.
int64_t ImageRowLength(int32_t iKind, int64_t iWidth);

class CImageReceiver {
public:
    virtual ~CImageReceiver() = default;
    // pPalette: iEntries entries of 4 bytes (blue, green, red, reserved).
    virtual uint32_t BeginPage(int32_t iKind, int32_t iWidth, int32_t iHeight, int32_t iResolution,
                               const uint8_t* pPalette = nullptr, int32_t iEntries = 0) = 0;
    virtual uint8_t* GetLineBuffer() = 0;
    virtual uint32_t WriteLine() = 0;
    virtual uint32_t EndPage(int32_t iArgument = 0) = 0;
};

// Sits in front of another receiver and changes each row on its way.
class CFilterBase : public CImageReceiver {
public:
    explicit CFilterBase(CImageReceiver* pNext = nullptr) : m_pNext(pNext) {}
    void SetNext(CImageReceiver* pNext) { m_pNext = pNext; }
    uint32_t BeginPage(int32_t iKind, int32_t iWidth, int32_t iHeight, int32_t iResolution,
                       const uint8_t* pPalette = nullptr, int32_t iEntries = 0) override;
    uint8_t* GetLineBuffer() override;
    uint32_t WriteLine() override;
    uint32_t EndPage(int32_t iArgument = 0) override;

protected:
    CImageReceiver* m_pNext; // not owned
};

// Horizontal differencing (TIFF predictor 2): smooth scans turn into small
// numbers that LZW packs far better.
class CDifferencingFilter : public CFilterBase {
public:
    using CFilterBase::CFilterBase;
    uint32_t BeginPage(int32_t iKind, int32_t iWidth, int32_t iHeight, int32_t iResolution,
                       const uint8_t* pPalette = nullptr, int32_t iEntries = 0) override;
    uint32_t WriteLine() override;
    // Big-endian files hold 16-bit samples in their own order; the swap must
    // follow the differencing, which works on sample values.
    void SetSwap16(bool bSwap) { m_bSwap16 = bSwap; }
    // In place, from the end of the row backward.
    static void Difference(int32_t iKind, uint8_t* pRow, int64_t iRowLength);
    // The inverse (used by the reader): running sums from the start.
    static void Undifference(int32_t iKind, uint8_t* pRow, int64_t iRowLength);

private:
    int32_t m_iKind = 0;
    int64_t m_iRowLength = 0;
    bool m_bSwap16 = false;
};

// Fills a CPicture: rows land directly in the picture's buffer.
class CMyReceiver : public CImageReceiver {
public:
    explicit CMyReceiver(CPicture* pPicture) : m_pPicture(pPicture) {}
    uint32_t BeginPage(int32_t iKind, int32_t iWidth, int32_t iHeight, int32_t iResolution,
                       const uint8_t* pPalette = nullptr, int32_t iEntries = 0) override;
    uint8_t* GetLineBuffer() override;
    uint32_t WriteLine() override;
    uint32_t EndPage(int32_t iArgument = 0) override;

private:
    CPicture* m_pPicture; // not owned
    int64_t m_iRowLength = 0;
    int32_t m_iRow = 0;
    int32_t m_iRows = 0;
    std::vector<uint8_t> m_Discard; // rows beyond the picture go nowhere
};

void SwapBytes16(uint8_t* p, int64_t iBytes);
