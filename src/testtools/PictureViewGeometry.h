#pragma once
// Where a zoomed and panned picture lies on the picture view's control, and
// how clicks, drags and scroll bars move it.
#include <cstdint>

struct CPictureViewGeometry {
    static constexpr double kMinZoom = 1.0 / 32.0;
    static constexpr double kMaxZoom = 64.0;

    int32_t m_iPictureWidth = 0, m_iPictureHeight = 0;
    int32_t m_iViewWidth = 0, m_iViewHeight = 0;
    double m_dZoom = 1.0;             // screen pixels per picture pixel
    double m_dCentreX = 0, m_dCentreY = 0;

    void SetPicture(int32_t iWidth, int32_t iHeight); // centre in the middle, zoom 1
    // Picture pixel under a view position (may lie outside the picture).
    int32_t PictureX(int32_t x) const;
    int32_t PictureY(int32_t y) const;
    bool IsOnPicture(int32_t x, int32_t y) const;
    double ViewX(double dPictureX) const;
    double ViewY(double dPictureY) const;

    // A press and release closer than 2 pixels is a click, else a drag.
    static bool IsClick(int32_t x0, int32_t y0, int32_t x1, int32_t y1);
    // Zooms in twice at the clicked view position (false at the limit).
    bool ZoomInAt(int32_t x, int32_t y);
    bool ZoomOut();

    // Scroll bars: position = centre - (view / 2) / zoom.
    int32_t ScrollMaxX() const;
    int32_t ScrollMaxY() const;
    int32_t ScrollPageX() const;
    int32_t ScrollPageY() const;
    int32_t ScrollPosX() const;
    int32_t ScrollPosY() const;
    void SetScrollX(int32_t iPos);
    void SetScrollY(int32_t iPos);

    // Thumbnail of the whole picture, width less 10-pixel margins, aspect
    // kept; a tall picture is narrowed to stay within iMaxHeight.
    static void ThumbnailSize(int32_t iPictureWidth, int32_t iPictureHeight, int32_t iViewWidth, int32_t iMaxHeight,
                              int32_t& iWidth, int32_t& iHeight);
};
