#include "widgets/ui/WidthCenterControl.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <algorithm>
#include <cmath>

#include "widgets/TestGeometry.h"

QColor FaceColor()
{
    return QApplication::palette().color(QPalette::Button);
}

QColor GreyTextColor()
{
    return QApplication::palette().color(QPalette::Disabled, QPalette::WindowText);
}

// ================================================================ red-green-red gauge

int32_t CDrawRedGreenRedRect::PixelOf(double dValue, double dMaximum) const
{
    return m_bVertical ? SignedLogPixel(dValue, m_iY, m_iHeight, dMaximum)
                       : SignedLogPixel(dValue, m_iX, m_iWidth, dMaximum);
}

void CDrawRedGreenRedRect::Draw(QPainter& dc, double dTolerance, double dMaximum, double dValue)
{
    const int32_t L = m_bVertical ? m_iHeight : m_iWidth;
    const int32_t T = m_bVertical ? m_iWidth : m_iHeight;
    const int32_t iStart = m_bVertical ? m_iY : m_iX;
    const int32_t iAcross = m_bVertical ? m_iX : m_iY;
    if (L < 2 || T < 1) return;
    dc.save();
    auto line = [&](int32_t iAlong, int32_t iFrom, int32_t iTo) { // across the bar at one position
        if (m_bVertical) dc.drawLine(iFrom, iAlong, iTo, iAlong);
        else dc.drawLine(iAlong, iFrom, iAlong, iTo);
    };
    auto along = [&](int32_t iAcrossPos, int32_t iFrom, int32_t iTo) {
        if (m_bVertical) dc.drawLine(iAcrossPos, iFrom, iAcrossPos, iTo);
        else dc.drawLine(iFrom, iAcrossPos, iTo, iAcrossPos);
    };

    // 1. graded fill, red at the ends, green in the centre
    const int32_t n = L / 2;
    for (int32_t i = 0; i <= n; ++i) {
        const int c = n ? 255 * i / n : 255;
        const QColor col = m_bInactive ? QColor(c, c, c) : QColor(255 - c, c, 0);
        dc.setPen(col);
        line(iStart + i, iAcross, iAcross + T - 1);
        line(iStart + L - 1 - i, iAcross, iAcross + T - 1);
    }

    // 2. tolerance band frame, a tenth of the thickness wide
    const int32_t p1 = std::clamp(PixelOf(dTolerance, dMaximum), iStart, iStart + L - 1);
    const int32_t p2 = std::clamp(PixelOf(-dTolerance, dMaximum), iStart, iStart + L - 1);
    const int32_t a = std::min(p1, p2), b = std::max(p1, p2);
    dc.setPen(Qt::black);
    dc.setBrush(Qt::NoBrush);
    for (int32_t k = 0; k < std::max(1, T / 10); ++k) {
        if (a + k > b - k) break;
        if (m_bVertical) dc.drawRect(iAcross + k, a + k, T - 1 - 2 * k, b - a - 2 * k);
        else dc.drawRect(a + k, iAcross + k, b - a - 2 * k, T - 1 - 2 * k);
    }

    // 3. pointer
    if (!m_bInactive) {
        const int32_t pv = std::clamp(PixelOf(dValue, dMaximum), iStart, iStart + L - 1);
        const bool bInside = dValue >= -dTolerance && dValue <= dTolerance;
        const double dHalf = T / 2.0;
        for (int32_t i = 0; i < T; ++i) {
            const double f = dHalf > 0 ? 1.0 - std::fabs(i - dHalf) / dHalf : 1.0;
            const int iBlue = int(std::lround(25 * f + 10));
            const int iHigh = int(std::lround(118 * f + 137));
            const int iLow = int(std::lround(18 * f));
            dc.setPen(bInside ? QColor(iLow, iHigh, iBlue) : QColor(iHigh, iLow, iBlue));
            const int32_t iReach = int32_t(std::lround(f * dHalf));
            along(iAcross + i, pv - iReach, pv + iReach);
        }
    }

    // 4. ticks and labels
    QFont f(QStringLiteral("Verdana"));
    f.setPixelSize(std::max(1, T * 4 / 10));
    f.setStyleStrategy(QFont::NoAntialias);
    dc.setFont(f);
    dc.setPen(GreyTextColor());
    const QFontMetrics fm(f);
    for (double v : {0.0, 0.1, -0.1, 1.0, -1.0, 10.0, -10.0, 100.0, -100.0}) {
        if (std::fabs(v) > dMaximum) continue;
        const int32_t p = PixelOf(v, dMaximum);
        const QString sz = QString::number(int(std::floor(std::fabs(v))));
        const int32_t iTick = std::max(2, T / 5);
        if (m_bVertical) {
            const int32_t x0 = m_bLabelsLeft ? iAcross - iTick : iAcross + T;
            dc.drawLine(x0, p, x0 + iTick - 1, p);
            const int32_t xt = m_bLabelsLeft ? x0 - 2 - fm.horizontalAdvance(sz) : x0 + iTick + 2;
            dc.drawText(xt, p + fm.ascent() / 2, sz);
        } else {
            const int32_t y0 = m_bLabelsLeft ? iAcross - iTick : iAcross + T;
            dc.drawLine(p, y0, p, y0 + iTick - 1);
            const int32_t yt = m_bLabelsLeft ? y0 - 2 : y0 + iTick + fm.ascent();
            dc.drawText(p - fm.horizontalAdvance(sz) / 2, yt, sz);
        }
    }
    dc.restore();
}

// ================================================================ width / centre gauges

CWidthCenter_Control::CWidthCenter_Control(QWidget* pParent)
    : CBasicTestControl(pParent), m_pGauge(std::make_unique<CDrawRedGreenRedRect>(this))
{
}

void CWidthCenter_Control::SetValues(double dTolerance1, double dMaximum1, double dValue1, double dTolerance2,
                                     double dMaximum2, double dValue2)
{
    m_dTolerance1 = dTolerance1;
    m_dMaximum1 = dMaximum1;
    m_dValue1 = dValue1;
    m_dTolerance2 = dTolerance2;
    m_dMaximum2 = dMaximum2;
    m_dValue2 = dValue2;
    Redraw();
}

bool CWidthCenter_Control::DrawContent(QPainter& dc, int32_t W, int32_t H)
{
    dc.fillRect(0, 0, W, H, FaceColor());
    m_pGauge->m_bVertical = true;
    m_pGauge->m_bLabelsLeft = true;
    m_pGauge->m_bInactive = !m_bActive1;
    m_pGauge->SetRect(W / 2 - (W / 3) / 2, H / 10, W / 3, 12 * H / 20);
    m_pGauge->Draw(dc, m_dTolerance1, m_dMaximum1, m_dValue1);

    SelectFont(dc, (H / 10) * 2 / 3, "MS Sans Serif", 400);
    dc.setPen(Qt::black);
    const std::string szCaption = "Scan Width";
    TextOut(dc, (W - TextWidth(dc, szCaption)) / 2, 0, szCaption);

    m_pGauge->m_bVertical = false;
    m_pGauge->m_bLabelsLeft = false;
    m_pGauge->m_bInactive = !m_bActive2;
    m_pGauge->SetRect(0, 8 * H / 10, W, H / 7);
    m_pGauge->Draw(dc, m_dTolerance2, m_dMaximum2, m_dValue2);
    return true;
}
