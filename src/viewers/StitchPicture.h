#pragma once
// Stitching pictures: a scan of the overlap of two neighbouring cameras, kept
// so a technician can see by eye whether the images join without a step.
// Two forms exist: "[Stitch Test]" files of 8-bit gray and older headerless
// files whose 48-byte header says gray (byte 11 = 18) or run-length coded
// black and white (anything else).
#include <cstdint>
#include <string>
#include <vector>

#include "widgets/PixelInspection.h"

constexpr uint8_t kStitchGrayMarker = 18;
constexpr int64_t kStitchOldHeaderSize = 48;

class CStitchPicture {
public:
    std::string m_szFile;
    int32_t m_iWidth = 0;
    int32_t m_iHeight = 0;
    int32_t m_iResolution = 0;
    bool m_bRunLength = false;
    bool m_bHasHeader = false;
    int64_t m_iHeaderLength = 0;   // H of a "[Stitch Test]" file, 48 for the old form
    int64_t m_iDataLength = 0;
    std::string m_szHeader;        // the text header, empty for the old form
    std::vector<uint8_t> m_Data;   // the data block as read; gray data goes on to m_Pixels
    // What Decode builds. Gray data: the picture, one byte per pixel, rows from
    // the top, in m_Pixels (the data block handed over). Run-length data stays
    // in m_Data; the offset of each row's first byte goes into m_RowStart
    // (height + 1 entries, the last the end of the last row) as rows are first
    // needed, so any band of rows decodes on its own: a 30-megapixel picture
    // costs its few hundred kilobytes.
    std::vector<uint8_t> m_Pixels;
    mutable std::vector<int64_t> m_RowStart;
    mutable int32_t m_iRowsIndexed = 0;

    // Run-length rows that reach past the width are cut when drawn, data after
    // the last row is ignored; this says so (a pass over all rows of its own,
    // made once the picture is up).
    void CheckRows(std::vector<std::string>& messages) const;
    // Rows [iFirstRow, iLastRow) of a run-length picture as bits, 1 = black,
    // most significant bit first, rows iStride bytes apart; pBits is zeroed here.
    void DecodeRows(int32_t iFirstRow, int32_t iLastRow, uint8_t* pBits, int32_t iStride) const;
    // The decoded picture as gray bytes whichever the form (pictures, tests).
    std::vector<uint8_t> GrayPixels() const;

    // Reads the file the way the viewer does: the section decides the form.
    // Messages the viewer shows while loading are appended to messages; false
    // (with szError, also appended to messages) when nothing can be shown.
    // bReadData false reads only the header (what a description needs).
    bool Load(const std::string& szFile, std::vector<std::string>& messages, std::string& szError,
              bool bReadData = true);
    // Makes the picture drawable: gray data becomes m_Pixels (handed over, or
    // padded with white when short), run-length data gets its row index ready.
    // False when the size is refused.
    bool Decode(std::vector<std::string>& messages, std::string& szError);
};

// A decoded stitching picture for the pixel inspector: gray values, a
// run-length picture's black as 0 and white as 255.
class CStitchPixels : public CPixelSource {
public:
    explicit CStitchPixels(const CStitchPicture* pPicture) : m_pPicture(pPicture) {}
    int32_t Width() const override { return m_pPicture ? m_pPicture->m_iWidth : 0; }
    int32_t Height() const override { return m_pPicture ? m_pPicture->m_iHeight : 0; }
    int32_t Channels() const override { return 1; }
    int32_t Resolution() const override { return m_pPicture ? m_pPicture->m_iResolution : 0; }
    void ReadRow(int32_t y, int32_t x, int32_t n, int32_t* pValues) const override;

private:
    const CStitchPicture* m_pPicture;
    mutable std::vector<uint8_t> m_Bits;
};

// Decoders on plain buffers (the picture's white background is 255).
void DecodeStitchGray(const uint8_t* pData, int64_t iLength, int32_t iWidth, int32_t iHeight, uint8_t* pPixels);
// Finds where each row starts (rowStart gets height + 1 entries, the last the
// end of the last row). True when data runs on after the last row.
bool IndexStitchRunLength(const uint8_t* pData, int64_t iLength, int32_t iHeight, std::vector<int64_t>& rowStart);
// The first row whose runs reach past the width, -1 when none does.
int32_t FirstOverrunRow(const uint8_t* pData, const std::vector<int64_t>& rowStart, int64_t iLength, int32_t iWidth);
// One row from its first byte up to its ending 0 (or iAvailable bytes) into
// bits, 1 = black; pRow must be zeroed.
void DecodeStitchRunLengthRow(const uint8_t* pRowData, int64_t iAvailable, int32_t iWidth, uint8_t* pRow);
int32_t StitchBitStride(int32_t iWidth);

// What the stitching viewer shows: integer zoom around a centre, clamped so the
// view stays on the picture, and both scroll bars on a 0..10000 scale.
class CStitchView {
public:
    int32_t m_iWidth = 0, m_iHeight = 0;           // picture
    int32_t m_iClientWidth = 0, m_iClientHeight = 0;
    int32_t m_iZoom = 1;
    int32_t m_iCenterX = 0, m_iCenterY = 0;

    void Reset();                                   // zoom 1, centre (width / 2, height / 3), clamped
    void Clamp();
    int32_t HalfWidth() const { return m_iClientWidth / (2 * m_iZoom); }
    int32_t HalfHeight() const { return m_iClientHeight / (2 * m_iZoom); }
    int32_t VisibleWidth() const { return m_iClientWidth / m_iZoom; }
    int32_t VisibleHeight() const { return m_iClientHeight / m_iZoom; }
    int32_t VisibleLeft() const { return m_iCenterX - HalfWidth(); }
    int32_t VisibleTop() const { return m_iCenterY - HalfHeight(); }

    void ZoomIn(int32_t iMouseX, int32_t iMouseY);  // view coordinates
    // Drag-panning: the picture follows a mouse moved by (iDx, iDy) view
    // pixels since the drag began at centre (iFromX, iFromY); clamped.
    void PanFrom(int32_t iFromX, int32_t iFromY, int32_t iDx, int32_t iDy);
    void ZoomOut();
    bool ZoomOneToOne();                            // false when already at 1

    struct CScroll {
        int32_t m_iPage = 0, m_iPos = 0;
    };
    CScroll HorizontalScroll() const;
    CScroll VerticalScroll() const;
    // Position back to a centre (a thumb dragged to iPos), then clamped.
    void ScrollHorizontalTo(int32_t iPos);
    void ScrollVerticalTo(int32_t iPos);
};
