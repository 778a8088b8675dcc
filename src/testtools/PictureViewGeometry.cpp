#include "testtools/PictureViewGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

void CPictureViewGeometry::SetPicture(int32_t iWidth, int32_t iHeight)
{
    m_iPictureWidth = std::max(0, iWidth);
    m_iPictureHeight = std::max(0, iHeight);
    m_dZoom = 1.0;
    m_dCentreX = m_iPictureWidth / 2.0;
    m_dCentreY = m_iPictureHeight / 2.0;
}

int32_t CPictureViewGeometry::PictureX(int32_t x) const
{
    return static_cast<int32_t>(std::floor(std::clamp(m_dCentreX + (x - m_iViewWidth / 2.0) / m_dZoom, -1e9, 1e9)));
}

int32_t CPictureViewGeometry::PictureY(int32_t y) const
{
    return static_cast<int32_t>(std::floor(std::clamp(m_dCentreY + (y - m_iViewHeight / 2.0) / m_dZoom, -1e9, 1e9)));
}

bool CPictureViewGeometry::IsOnPicture(int32_t x, int32_t y) const
{
    const int32_t px = PictureX(x), py = PictureY(y);
    return px >= 0 && py >= 0 && px < m_iPictureWidth && py < m_iPictureHeight;
}

double CPictureViewGeometry::ViewX(double dPictureX) const
{
    return (dPictureX - m_dCentreX) * m_dZoom + m_iViewWidth / 2.0;
}

double CPictureViewGeometry::ViewY(double dPictureY) const
{
    return (dPictureY - m_dCentreY) * m_dZoom + m_iViewHeight / 2.0;
}

bool CPictureViewGeometry::IsClick(int32_t x0, int32_t y0, int32_t x1, int32_t y1)
{
    return std::abs(x1 - x0) < 2 && std::abs(y1 - y0) < 2;
}

bool CPictureViewGeometry::ZoomInAt(int32_t x, int32_t y)
{
    if (m_dZoom * 2.0 > kMaxZoom) return false;
    m_dCentreX += (x - m_iViewWidth / 2.0) / m_dZoom;
    m_dCentreY += (y - m_iViewHeight / 2.0) / m_dZoom;
    m_dZoom *= 2.0;
    return true;
}

bool CPictureViewGeometry::ZoomOut()
{
    if (m_dZoom / 2.0 < kMinZoom) return false;
    m_dZoom /= 2.0;
    return true;
}

int32_t CPictureViewGeometry::ScrollPageX() const
{
    return std::max(1, static_cast<int32_t>(m_iViewWidth / m_dZoom));
}

int32_t CPictureViewGeometry::ScrollPageY() const
{
    return std::max(1, static_cast<int32_t>(m_iViewHeight / m_dZoom));
}

int32_t CPictureViewGeometry::ScrollMaxX() const
{
    return std::max(0, m_iPictureWidth - ScrollPageX());
}

int32_t CPictureViewGeometry::ScrollMaxY() const
{
    return std::max(0, m_iPictureHeight - ScrollPageY());
}

int32_t CPictureViewGeometry::ScrollPosX() const
{
    return static_cast<int32_t>(std::lround(std::clamp(m_dCentreX - (m_iViewWidth / 2.0) / m_dZoom, -1e9, 1e9)));
}

int32_t CPictureViewGeometry::ScrollPosY() const
{
    return static_cast<int32_t>(std::lround(std::clamp(m_dCentreY - (m_iViewHeight / 2.0) / m_dZoom, -1e9, 1e9)));
}

void CPictureViewGeometry::SetScrollX(int32_t iPos)
{
    m_dCentreX = (m_iViewWidth / 2.0) / m_dZoom + iPos;
}

void CPictureViewGeometry::SetScrollY(int32_t iPos)
{
    m_dCentreY = (m_iViewHeight / 2.0) / m_dZoom + iPos;
}

void CPictureViewGeometry::ThumbnailSize(int32_t iPictureWidth, int32_t iPictureHeight, int32_t iViewWidth,
                                         int32_t iMaxHeight, int32_t& iWidth, int32_t& iHeight)
{
    iWidth = std::max(0, iViewWidth - 20);
    iHeight = iPictureWidth > 0 ? static_cast<int32_t>(int64_t(iPictureHeight) * iWidth / iPictureWidth) : 0;
    if (iHeight > iMaxHeight && iPictureHeight > 0) {
        iHeight = std::max(0, iMaxHeight);
        iWidth = static_cast<int32_t>(int64_t(iPictureWidth) * iHeight / iPictureHeight);
    }
}
