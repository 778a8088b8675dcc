#pragma once
// The scan width/centre gauges: a vertical bar for the first value group and
// a horizontal one for the second, each graded red-green-red on the signed
// log scale with the tolerance band framed and a pointer at the value. The
// test tools and the oscilloscope's camera adjustment show them.
#include <memory>

#include "widgets/ui/BasicTestControl.h"

// The dialog face and grey-text colours the small controls paint with.
QColor FaceColor();
QColor GreyTextColor();

// Something drawn into a rectangle of its owner control.
class CBasicDrawItem {
public:
    explicit CBasicDrawItem(CBasicTestControl* pOwner) : m_pOwner(pOwner) {}
    virtual ~CBasicDrawItem() = default;
    void SetRect(int32_t x, int32_t y, int32_t iWidth, int32_t iHeight)
    {
        m_iX = x; m_iY = y; m_iWidth = iWidth; m_iHeight = iHeight;
    }
    void SetRectLTRB(int32_t iLeft, int32_t iTop, int32_t iRight, int32_t iBottom)
    {
        SetRect(iLeft, iTop, iRight - iLeft + 1, iBottom - iTop + 1);
    }
    int32_t X() const { return m_iX; }
    int32_t Y() const { return m_iY; }
    int32_t Width() const { return m_iWidth; }
    int32_t Height() const { return m_iHeight; }

protected:
    CBasicTestControl* m_pOwner;
    int32_t m_iX = 0, m_iY = 0, m_iWidth = 0, m_iHeight = 0;
};

// A bar graded from red at both ends to green in the middle, with the
// tolerance band framed and a pointer at the value, on the signed log scale.
class CDrawRedGreenRedRect : public CBasicDrawItem {
public:
    using CBasicDrawItem::CBasicDrawItem;
    void Draw(QPainter& dc, double dTolerance, double dMaximum, double dValue);
    // Pixel of a value along the bar (y for a vertical bar, x for a horizontal one).
    int32_t PixelOf(double dValue, double dMaximum) const;

    bool m_bVertical = true;
    bool m_bLabelsLeft = true;
    bool m_bInactive = false;
};

class CWidthCenter_Control : public CBasicTestControl {
    Q_OBJECT
public:
    explicit CWidthCenter_Control(QWidget* pParent = nullptr);
    void SetValues(double dTolerance1, double dMaximum1, double dValue1, double dTolerance2, double dMaximum2,
                   double dValue2);
    void SetActive(bool bFirst, bool bSecond) { m_bActive1 = bFirst; m_bActive2 = bSecond; }
    bool DrawContent(QPainter& dc, int32_t iWidth, int32_t iHeight) override;

private:
    double m_dTolerance1 = 1.0, m_dMaximum1 = 100.0, m_dValue1 = 0.0;
    double m_dTolerance2 = 1.9, m_dMaximum2 = 100.0, m_dValue2 = 0.0;
    bool m_bActive1 = false, m_bActive2 = false;
    std::unique_ptr<CDrawRedGreenRedRect> m_pGauge;
};
