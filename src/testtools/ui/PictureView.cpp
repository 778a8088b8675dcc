#include "testtools/ui/PictureView.h"

#include <QCheckBox>
#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "platform/Log.h"
#include "widgets/ui/DevicePixels.h"
#include "widgets/ui/PixelInspectorTool.h"
#include "testtools/ResultText.h"

CPictureView_Control::CPictureView_Control(bool bInfo, QWidget* pParent)
    : CBasicTestControl(pParent), m_bInfo(bInfo), m_Pixels(nullptr)
{
    if (bInfo)
        return;
    CPixelInspectorHooks hooks;
    hooks.m_Source = [this]() -> const CPixelSource* { return m_pPicture ? &m_Pixels : nullptr; };
    hooks.m_PictureAt = [this](QPoint pt) { return QPoint(m_Geometry.PictureX(pt.x()), m_Geometry.PictureY(pt.y())); };
    hooks.m_ViewRect = [this](const CPixelRect& r) {
        const int32_t x0 = int32_t(std::lround(m_Geometry.ViewX(r.m_iLeft)));
        const int32_t y0 = int32_t(std::lround(m_Geometry.ViewY(r.m_iTop)));
        const int32_t x1 = int32_t(std::lround(m_Geometry.ViewX(r.m_iLeft + r.m_iWidth)));
        const int32_t y1 = int32_t(std::lround(m_Geometry.ViewY(r.m_iTop + r.m_iHeight)));
        return QRect(x0, y0, std::max(1, x1 - x0), std::max(1, y1 - y0));
    };
    m_pInspector = new CPixelInspectorTool(this, std::move(hooks));
}

void CPictureView_Control::SetPicture(const CPicture* pPicture)
{
    m_pPicture = pPicture;
    m_Pixels = CPicturePixels(pPicture);
    if (m_pInspector)
        m_pInspector->ViewChanged();
    const bool bOk = pPicture && pPicture->GetDataPointer() && (pPicture->IsGray() || pPicture->IsRGB());
    const int32_t iWidth = bOk ? pPicture->m_iWidth : 0, iHeight = bOk ? pPicture->m_iHeight : 0;
    if (iWidth != m_Geometry.m_iPictureWidth || iHeight != m_Geometry.m_iPictureHeight) m_Geometry.SetPicture(iWidth, iHeight);
    if (m_pPartner && m_pPartner->m_pPicture != pPicture) {
        m_pPartner->m_pPicture = pPicture;
        m_pPartner->m_Geometry.m_iPictureWidth = iWidth;
        m_pPartner->m_Geometry.m_iPictureHeight = iHeight;
    }
}

void CPictureView_Control::InitView()
{
    m_Geometry.m_iViewWidth = std::max(1, m_iWidth);
    m_Geometry.m_iViewHeight = std::max(1, m_iHeight);
    if (m_iPresetX >= 0 && m_iPresetY >= 0) {
        m_Geometry.m_dCentreX = m_iPresetX;
        m_Geometry.m_dCentreY = m_iPresetY;
        m_Geometry.m_dZoom = std::clamp(double(m_iPresetZoom), CPictureViewGeometry::kMinZoom, CPictureViewGeometry::kMaxZoom);
    }
    UpdateScrollBars();
    Redraw();
}

void CPictureView_Control::SetScrollBars(QScrollBar* pHorizontal, QScrollBar* pVertical)
{
    m_pHorizontal = pHorizontal;
    m_pVertical = pVertical;
    // Scroll moves that arrive while one is handled are taken in turn by the
    // event loop; the guard only stops our own setValue from coming back.
    if (pHorizontal)
        connect(pHorizontal, &QScrollBar::valueChanged, this, [this](int v) { OnScroll(true, v); });
    if (pVertical)
        connect(pVertical, &QScrollBar::valueChanged, this, [this](int v) { OnScroll(false, v); });
    UpdateScrollBars();
}

void CPictureView_Control::OnScroll(bool bHorizontal, int32_t iPos)
{
    if (m_bInScroll) return;
    if (bHorizontal) m_Geometry.SetScrollX(iPos);
    else m_Geometry.SetScrollY(iPos);
    Changed();
}

void CPictureView_Control::UpdateScrollBars()
{
    m_bInScroll = true;
    if (m_pHorizontal) {
        m_pHorizontal->setRange(0, std::max(m_Geometry.ScrollMaxX(), m_Geometry.ScrollPosX()));
        m_pHorizontal->setPageStep(m_Geometry.ScrollPageX());
        m_pHorizontal->setSingleStep(std::max(1, m_Geometry.ScrollPageX() / 10));
        m_pHorizontal->setValue(m_Geometry.ScrollPosX());
    }
    if (m_pVertical) {
        m_pVertical->setRange(0, std::max(m_Geometry.ScrollMaxY(), m_Geometry.ScrollPosY()));
        m_pVertical->setPageStep(m_Geometry.ScrollPageY());
        m_pVertical->setSingleStep(std::max(1, m_Geometry.ScrollPageY() / 10));
        m_pVertical->setValue(m_Geometry.ScrollPosY());
    }
    m_bInScroll = false;
}

void CPictureView_Control::Changed()
{
    UpdateScrollBars();
    Redraw();
    if (m_pPartner) {
        m_pPartner->m_Geometry.m_dZoom = m_Geometry.m_dZoom;
        m_pPartner->m_Geometry.m_dCentreX = m_Geometry.m_dCentreX;
        m_pPartner->m_Geometry.m_dCentreY = m_Geometry.m_dCentreY;
        m_pPartner->Redraw();
    }
}

void CPictureView_Control::OnSize(int32_t iType, int32_t cx, int32_t cy)
{
    CBasicTestControl::OnSize(iType, cx, cy);
    m_Geometry.m_iViewWidth = std::max(1, cx);
    m_Geometry.m_iViewHeight = std::max(1, cy);
    UpdateScrollBars();
}

std::vector<std::string> CPictureView_Control::InfoLines() const
{
    // The info control reads the picture control's state (its partner).
    const CPictureView_Control& v = (m_bInfo && m_pPartner) ? *m_pPartner : *this;
    std::vector<std::string> out;
    const bool bOn = v.m_iMouseX >= 0 && v.m_pPicture && v.m_Geometry.IsOnPicture(v.m_iMouseX, v.m_iMouseY);
    const int32_t px = bOn ? v.m_Geometry.PictureX(v.m_iMouseX) : 0, py = bOn ? v.m_Geometry.PictureY(v.m_iMouseY) : 0;
    int32_t r = 0, g = 0, b = 0;
    const bool bPixel = bOn && v.m_pPicture->GetPixel(px, py, r, g, b);
    out.push_back(bOn ? Printf("X: %d", px) : "X: -||-");
    out.push_back(bOn ? Printf("Y: %d", py) : "Y: -||-");
    out.push_back(bPixel ? Printf("R: %d", r) : "R: -||-");
    out.push_back(bPixel ? Printf("G: %d", g) : "G: -||-");
    out.push_back(bPixel ? Printf("B: %d", b) : "B: -||-");
    out.push_back(Printf("%.0f", v.m_Geometry.m_dZoom));
    return out;
}

bool CPictureView_Control::DrawContent(QPainter& dc, int32_t iWidth, int32_t iHeight)
{
    if (m_bInfo) DrawInfo(dc, iWidth, iHeight);
    else DrawPicture(dc, iWidth, iHeight);
    return true;
}

static QRgb PicturePixel(const CPicture& pic, int32_t x, int32_t y)
{
    int32_t r = 0, g = 0, b = 0;
    if (!pic.GetPixel(x, y, r, g, b)) return qRgb(0xC8, 0xC8, 0xC8);
    return qRgb(r, g, b);
}

void CPictureView_Control::DrawPicture(QPainter& dc, int32_t iWidth, int32_t iHeight)
{
    if (!m_pPicture || m_Geometry.m_iPictureWidth <= 0) return;
    CPictureViewGeometry g = m_Geometry;
    g.m_iViewWidth = iWidth;
    g.m_iViewHeight = iHeight;
    QImage img(iWidth, iHeight, QImage::Format_RGB32);
    if (img.isNull()) {
        Log_Msg("bool CPictureView_Control::PW_MakeDC( CDC *ptrDC )");
        return;
    }
    img.fill(qRgb(0x7F, 0x7F, 0x7F));
    std::vector<int32_t> cols(size_t(std::max(0, iWidth)));
    for (int32_t x = 0; x < iWidth; ++x) cols[size_t(x)] = g.PictureX(x);
    for (int32_t y = 0; y < iHeight; ++y) {
        const int32_t py = g.PictureY(y);
        if (py < 0 || py >= g.m_iPictureHeight) continue;
        QRgb* pLine = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int32_t x = 0; x < iWidth; ++x) {
            const int32_t px = cols[size_t(x)];
            if (px >= 0 && px < g.m_iPictureWidth) pLine[x] = PicturePixel(*m_pPicture, px, py);
        }
    }
    dc.drawImage(0, 0, img);
    if (m_bSelection) {
        dc.setPen(QColor(255, 0, 0));
        dc.setBrush(Qt::NoBrush);
        const int32_t x0 = int32_t(std::lround(g.ViewX(m_Selection.left())));
        const int32_t y0 = int32_t(std::lround(g.ViewY(m_Selection.top())));
        const int32_t x1 = int32_t(std::lround(g.ViewX(m_Selection.right() + 1)));
        const int32_t y1 = int32_t(std::lround(g.ViewY(m_Selection.bottom() + 1)));
        dc.drawRect(x0, y0, std::max(0, x1 - x0 - 1), std::max(0, y1 - y0 - 1));
    }
    if (m_bDragging && !CPictureViewGeometry::IsClick(m_iDragX, m_iDragY, m_iMouseX, m_iMouseY)) {
        dc.setPen(HairlinePen(dc, QColor(255, 0, 0), Qt::DotLine));
        dc.drawRect(QRect(QPoint(m_iDragX, m_iDragY), QPoint(m_iMouseX, m_iMouseY)).normalized());
    }
}

void CPictureView_Control::DrawInfo(QPainter& dc, int32_t iWidth, int32_t iHeight)
{
    const std::vector<std::string> lines = InfoLines();
    SelectFont(dc, 14, "MS Sans Serif", 400);
    const int32_t iStep = 16;
    dc.setPen(Qt::black);
    TextOut(dc, 10, 10, lines[0]);
    TextOut(dc, 10, 10 + iStep, lines[1]);
    int32_t y = 10 + 2 * iStep + 6;
    const CPictureView_Control& v = m_pPartner ? *m_pPartner : *this;
    const CPicture* pPic = v.m_pPicture;
    if (pPic && v.m_Geometry.m_iPictureWidth > 0) {
        int32_t tw = 0, th = 0;
        CPictureViewGeometry::ThumbnailSize(v.m_Geometry.m_iPictureWidth, v.m_Geometry.m_iPictureHeight, iWidth,
                                            std::max(0, iHeight - y - 5 * iStep - 20), tw, th);
        dc.fillRect(10, y, iWidth - 20, th, QColor(0xC8, 0xC8, 0xC8));
        QImage thumb;
        if (tw > 0 && th > 0) thumb = QImage(tw, th, QImage::Format_RGB32);
        if (!thumb.isNull()) {
            for (int32_t ty = 0; ty < th; ++ty) {
                QRgb* pLine = reinterpret_cast<QRgb*>(thumb.scanLine(ty));
                const int32_t py = int32_t(int64_t(ty) * v.m_Geometry.m_iPictureHeight / th);
                for (int32_t tx = 0; tx < tw; ++tx)
                    pLine[tx] = PicturePixel(*pPic, int32_t(int64_t(tx) * v.m_Geometry.m_iPictureWidth / tw), py);
            }
            const int32_t x0 = 10 + (iWidth - 20 - tw) / 2;
            dc.drawImage(x0, y, thumb);
            // the visible part
            const CPictureViewGeometry& g = v.m_Geometry;
            const double sx = double(tw) / g.m_iPictureWidth, sy = double(th) / g.m_iPictureHeight;
            const double vx0 = g.m_dCentreX - g.m_iViewWidth / 2.0 / g.m_dZoom;
            const double vy0 = g.m_dCentreY - g.m_iViewHeight / 2.0 / g.m_dZoom;
            dc.setPen(QColor(255, 0, 0));
            dc.setBrush(Qt::NoBrush);
            dc.drawRect(QRect(x0 + int32_t(vx0 * sx), y + int32_t(vy0 * sy),
                              std::max(1, int32_t(g.m_iViewWidth / g.m_dZoom * sx)),
                              std::max(1, int32_t(g.m_iViewHeight / g.m_dZoom * sy))));
        }
        dc.setPen(QColor(0x7F, 0x7F, 0x7F));
        dc.setBrush(Qt::NoBrush);
        dc.drawRect(9, y - 1, iWidth - 19, th + 1);
        y += th + 8;
    }
    dc.setPen(Qt::black);
    for (size_t i = 2; i < lines.size(); ++i) {
        TextOut(dc, 10, y, lines[i]);
        y += iStep;
    }
}

void CPictureView_Control::OnLButtonDown(uint32_t, int32_t x, int32_t y)
{
    if (m_bInfo) return;
    m_iPressTime = QDateTime::currentMSecsSinceEpoch();
    m_iDragX = x;
    m_iDragY = y;
    m_iMouseX = x;
    m_iMouseY = y;
    m_bDragging = true;
}

void CPictureView_Control::OnLButtonUp(uint32_t, int32_t x, int32_t y)
{
    if (m_bInfo || !m_bDragging) return;
    m_bDragging = false;
    if (!CPictureViewGeometry::IsClick(m_iDragX, m_iDragY, x, y)) {
        const QRect r = QRect(QPoint(m_Geometry.PictureX(m_iDragX), m_Geometry.PictureY(m_iDragY)),
                              QPoint(m_Geometry.PictureX(x), m_Geometry.PictureY(y)))
                            .normalized();
        m_Selection = r;
        m_bSelection = true;
        if (m_pInspector)
            m_pInspector->SetSelection(DraggedRect(r.left(), r.top(), r.right(), r.bottom(), m_Geometry.m_iPictureWidth,
                                                   m_Geometry.m_iPictureHeight));
        Redraw();
        return;
    }
    m_Geometry.ZoomInAt(x, y);
    Changed();
}

void CPictureView_Control::OnRButtonUp(uint32_t, int32_t, int32_t)
{
    if (m_bInfo) return;
    m_Geometry.ZoomOut();
    Changed();
}

void CPictureView_Control::OnMouseMove(uint32_t iButtons, int32_t x, int32_t y)
{
    if (m_bInfo) return;
    m_iMouseX = x;
    m_iMouseY = y;
    if (m_pPartner) m_pPartner->Redraw();
    if (iButtons & 3u) Redraw();
}

// ================================================================ dialog

CPictureView_Dialog::CPictureView_Dialog(QWidget* pParent) : QDialog(pParent)
{
    setWindowTitle(QStringLiteral("Picture View Dialog"));
    resize(900, 640);
}

void CPictureView_Dialog::Initialise()
{
    if (m_bInitialised) return;
    m_bInitialised = true;
    auto* pGrid = new QGridLayout(this);
    m_pView = new CPictureView_Control(false, this);
    m_pInfo = new CPictureView_Control(true, this);
    m_pHorizontal = new QScrollBar(Qt::Horizontal, this);
    m_pVertical = new QScrollBar(Qt::Vertical, this);
    m_pView->setMinimumSize(400, 300);
    m_pInfo->setFixedWidth(180);
    pGrid->addWidget(m_pView, 0, 0);
    pGrid->addWidget(m_pVertical, 0, 1);
    pGrid->addWidget(m_pHorizontal, 1, 0);
    auto* pSide = new QVBoxLayout;
    pSide->addWidget(m_pInfo, 1);
    m_pMarkedCheck = new QCheckBox(QStringLiteral("&View Marked Pic"), this);
    pSide->addWidget(m_pMarkedCheck);
    auto* pExit = new QPushButton(QStringLiteral("&Exit"), this);
    pSide->addWidget(pExit);
    pGrid->addLayout(pSide, 0, 2, 2, 1);
    pGrid->setColumnStretch(0, 1);
    pGrid->setRowStretch(0, 1);
    connect(pExit, &QPushButton::clicked, this, &QDialog::reject);

    m_bViewMarked = m_pMarked != nullptr;
    m_pMarkedCheck->setEnabled(m_pMarked != nullptr);
    m_pMarkedCheck->setChecked(m_bViewMarked);
    connect(m_pMarkedCheck, &QCheckBox::toggled, this, [this] { ToggleMarked(); });

    layout()->activate();
    m_pView->SetPartner(m_pInfo);
    m_pInfo->SetPartner(m_pView);
    m_pView->SetPicture(m_bViewMarked ? m_pMarked : m_pPicture);
    m_pView->SetPresetCentre(m_iPresetX, m_iPresetY, m_iPresetZoom);
    m_pView->SetScrollBars(m_pHorizontal, m_pVertical);
    m_pView->InitControl();
    m_pInfo->InitControl();
    m_pView->InitView();
    m_pInfo->Redraw();
}

void CPictureView_Dialog::showEvent(QShowEvent* e)
{
    Initialise();
    QDialog::showEvent(e);
}

void CPictureView_Dialog::ToggleMarked()
{
    if (!m_pMarked) return;
    m_bViewMarked = m_pMarkedCheck->isChecked();
    m_pView->SetPicture(m_bViewMarked ? m_pMarked : m_pPicture);
    m_pView->Redraw();
    m_pInfo->Redraw();
}
