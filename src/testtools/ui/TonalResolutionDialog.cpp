#include "testtools/ui/TonalResolutionDialog.h"

#include <QFile>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QShortcut>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>
#include <cmath>
#include <filesystem>

#include "platform/Messages.h"
#include "testtools/ResultText.h"
#include "testtools/TestFolders.h"
#include "widgets/ui/DevicePixels.h"

namespace {
const COLORREF kChannelColor[3] = {0x0000FF, 0x00FF00, 0xFF0000};
const COLORREF kFitColor[3] = {0x7F7FFF, 0x7FFF7F, 0xFF7F7F};
const char* kTitle[3] = {"Linearity Best Fit", "Linearity Difference", "Dynamic range"};
const char* kYCaption[3] = {"R,G,B (Scan)", "dE (R,G,B Scan)", "Density"};
} // namespace

// ================================================================ chart control

void CTonalResolution_Control::DrawView(QPainter& dc, int32_t W, int32_t H, int32_t iView)
{
    if (m_bBusy || !m_pResult || !m_pResult->m_bLoaded || !m_pFlags) {
        SelectFont(dc, std::max(1, H / 20), "Courier New", 400);
        dc.setPen(Qt::black);
        const std::string sz = m_bBusy ? "Please Wait" : "No data to display";
        TextOut(dc, (W - TextWidth(dc, sz)) / 2, (H - H / 20) / 2, sz);
        return;
    }
    const TonalResult& r = *m_pResult;
    const CTonalViewFlags& f = *m_pFlags;
    const CPlotRect plot = ComputePlotRect(W + 1, H + 1);
    const CTonalAxis xa = TonalXAxis(), ya = TonalYAxis(iView);

    // grid and axis labels
    SelectFont(dc, 15, "Verdana", 400);
    const QFontMetrics fm(dc.font());
    dc.setPen(ColorFromRef(0xBEBEBE));
    for (double x = xa.m_dMin; x <= xa.m_dMax + 1e-9; x += xa.m_dStep) {
        const int32_t px = TonalMapX(x, plot);
        dc.drawLine(px, plot.m_iTop, px, plot.m_iBottom);
    }
    for (double y = ya.m_dMin; y <= ya.m_dMax + 1e-9; y += ya.m_dStep) {
        const int32_t py = TonalMapY(y, iView, plot);
        dc.drawLine(plot.m_iLeft, py, plot.m_iRight, py);
    }
    dc.setPen(Qt::black);
    dc.setBrush(Qt::NoBrush);
    dc.drawRect(plot.m_iLeft, plot.m_iTop, plot.Width(), plot.Height());
    for (const double x : TonalAxisLabels(xa)) {
        const std::string sz = Printf("%.0f", x);
        TextOut(dc, TonalMapX(x, plot) - TextWidth(dc, sz) / 2, plot.m_iBottom + 2, sz);
    }
    for (const double y : TonalAxisLabels(ya)) {
        const std::string sz = iView == TONAL_VIEW_DYNAMIC_RANGE ? Printf("%3.1f", y) : Printf("%.0f", y);
        TextOut(dc, plot.m_iLeft - 4 - TextWidth(dc, sz), TonalMapY(y, iView, plot) - fm.height() / 2, sz);
    }
    TextOut(dc, plot.m_iLeft, std::max(0, plot.m_iTop - fm.height() - 2), kYCaption[iView]);
    const std::string szX = "L (Ref-file)";
    TextOut(dc, plot.m_iRight - TextWidth(dc, szX), plot.m_iBottom + 2 + fm.height(), szX);
    SelectFont(dc, 15, "Verdana", 700);
    TextOut(dc, (W - TextWidth(dc, kTitle[iView])) / 2, 2, kTitle[iView]);

    dc.setClipRect(plot.m_iLeft, plot.m_iTop, plot.Width() + 1, plot.Height() + 1);
    if (iView == TONAL_VIEW_DIFFERENCE) {
        dc.setPen(Qt::black);
        const int32_t y0 = TonalMapY(0.0, iView, plot);
        dc.drawLine(plot.m_iLeft, y0, plot.m_iRight, y0);
    }
    if (iView == TONAL_VIEW_DYNAMIC_RANGE) {
        // the reference and where the scanner's range begins and ends
        QPolygon ref;
        for (const TonalPatch& p : r.m_Patches) ref << QPoint(TonalMapX(p.m_dL, plot), TonalMapY(p.m_dDensity, iView, plot));
        dc.setPen(Qt::black);
        dc.drawPolyline(ref);
        dc.setPen(HairlinePen(dc, ColorFromRef(0x7F7F7F), Qt::DashLine));
        for (int32_t i : {r.m_iIndexMinDynamicRange, r.m_iIndexMaxDynamicRange}) {
            const int32_t x = TonalMapX(r.m_Patches[size_t(std::clamp(i, 0, 23))].m_dL, plot);
            dc.drawLine(x, plot.m_iTop, x, plot.m_iBottom);
        }
    }
    const bool bShow[3] = {f.m_bRed, f.m_bGreen, f.m_bBlue};
    for (int32_t c = 0; c < 3; ++c) {
        if (!bShow[c]) continue;
        if (iView == TONAL_VIEW_BEST_FIT && f.m_bBestFit) {
            dc.setPen(ColorFromRef(kFitColor[c]));
            dc.drawLine(TonalMapX(0, plot), TonalMapY(r.m_dOffset[size_t(c)], iView, plot), TonalMapX(100, plot),
                        TonalMapY(r.m_dSlope[size_t(c)] * 100 + r.m_dOffset[size_t(c)], iView, plot));
        }
        QPolygon poly;
        for (int32_t i = 0; i < TonalResult::kPatches; ++i)
            poly << QPoint(TonalMapX(r.m_Patches[size_t(i)].m_dL, plot),
                           TonalMapY(TonalChartValue(r, iView, i, c, f.m_bSimpleRGB), iView, plot));
        dc.setPen(ColorFromRef(kChannelColor[c]));
        dc.drawPolyline(poly);
        if (f.m_bMarkPoints)
            for (const QPoint& p : poly) {
                dc.drawLine(p.x() - 3, p.y(), p.x() + 3, p.y());
                dc.drawLine(p.x(), p.y() - 3, p.x(), p.y() + 3);
            }
    }
    dc.setClipping(false);
}

bool CTonalResolution_Control::DrawContent(QPainter& dc, int32_t W, int32_t H)
{
    DrawView(dc, W, H, m_pFlags ? std::clamp(m_pFlags->m_iView, 0, 2) : 0);
    return true;
}

void CTonalResolution_Control::PrintPage(QPainter& dc, int32_t iPageWidth, int32_t iPageHeight, int32_t iPageIndex)
{
    const int32_t mx = iPageWidth / 10, my = iPageHeight / 20;
    if (iPageIndex == 0) {
        const int32_t iStep = std::max(1, iPageHeight / 72);
        SelectFont(dc, iStep, "Courier New", 400);
        dc.setPen(Qt::black);
        const std::vector<std::string> lines = m_pResult ? m_pResult->PrintLines() : std::vector<std::string>{};
        for (size_t i = 0; i < lines.size(); ++i) TextOut(dc, mx, my + int32_t(i) * iStep, lines[i]);
        return;
    }
    const int32_t W = std::max(1, m_iWidth), H = std::max(1, m_iHeight);
    const int32_t iThird = (iPageHeight - 2 * my) / 3;
    int32_t w = iPageWidth - 2 * mx, h = int32_t(int64_t(H) * w / W);
    if (h > iThird) {
        h = iThird;
        w = int32_t(int64_t(W) * h / H);
    }
    dc.setRenderHint(QPainter::SmoothPixmapTransform, true);
    for (int32_t v = 0; v < 3; ++v) {
        QImage img(W, H, QImage::Format_RGB32);
        img.fill(Qt::white);
        {
            QPainter p(&img);
            p.setPen(Qt::black);
            p.drawRect(0, 0, W - 1, H - 1);
            DrawView(p, W, H, v);
        }
        dc.drawImage(QRect(mx, my + v * iThird, w, h), img);
    }
}

// ================================================================ dialog

CTonalResolutionDialog::CTonalResolutionDialog(QWidget* pParent) : QDialog(pParent)
{
    setWindowTitle(QStringLiteral("Tonal Resolution"));
    resize(900, 600);
    auto* pMain = new QHBoxLayout(this);
    auto* pLeft = new QHBoxLayout;
    m_pChart = new CTonalResolution_Control(this);
    m_pChart->setMinimumSize(560, 420);
    m_pText = new CScrollTextControl(this);
    m_pText->setMinimumSize(560, 420);
    m_pScrollBar = new QScrollBar(Qt::Vertical, this);
    pLeft->addWidget(m_pChart, 1);
    pLeft->addWidget(m_pText, 1);
    pLeft->addWidget(m_pScrollBar);
    pMain->addLayout(pLeft, 1);

    auto* pRight = new QVBoxLayout;
    auto* pLoad = new QPushButton(QStringLiteral("&Load"), this);
    m_pSave = new QPushButton(QStringLiteral("&Save"), this);
    auto* pPrint = new QPushButton(QStringLiteral("&Print"), this);
    auto* pTest = new QPushButton(QStringLiteral("&Do &Test"), this);
    auto* pExit = new QPushButton(QStringLiteral("E&xit"), this);
    m_pRed = new QCheckBox(QStringLiteral("View &Red"), this);
    m_pGreen = new QCheckBox(QStringLiteral("View &Green"), this);
    m_pBlue = new QCheckBox(QStringLiteral("View &Blue"), this);
    m_pBestFit = new QCheckBox(QStringLiteral("View &Best Fit"), this);
    m_pSimple = new QCheckBox(QStringLiteral("&Use simpel RGB"), this);
    m_pMark = new QCheckBox(QStringLiteral("Mark points"), this);
    m_pViews[0] = new QRadioButton(QStringLiteral("Best Fit"), this);
    m_pViews[1] = new QRadioButton(QStringLiteral("Difference"), this);
    m_pViews[2] = new QRadioButton(QStringLiteral("Dynamic Range"), this);
    m_pTextCheck = new QCheckBox(QStringLiteral("View text result"), this);
    for (QWidget* w : std::initializer_list<QWidget*>{pLoad, m_pSave, pPrint, pTest, m_pRed, m_pGreen, m_pBlue,
                                                      m_pBestFit, m_pSimple, m_pMark, m_pViews[0], m_pViews[1],
                                                      m_pViews[2], m_pTextCheck})
        pRight->addWidget(w);
    pRight->addStretch(1);
    pRight->addWidget(pExit);
    pMain->addLayout(pRight);
    m_pSave->setEnabled(false);

    connect(pLoad, &QPushButton::clicked, this, &CTonalResolutionDialog::OnLoad);
    connect(m_pSave, &QPushButton::clicked, this, &CTonalResolutionDialog::OnSave);
    connect(pPrint, &QPushButton::clicked, this, &CTonalResolutionDialog::OnPrint);
    connect(pExit, &QPushButton::clicked, this, &QDialog::reject);
    connect(new QShortcut(QKeySequence::Open, this), &QShortcut::activated, this, &CTonalResolutionDialog::OnLoad);
    connect(new QShortcut(QKeySequence::Print, this), &QShortcut::activated, this, &CTonalResolutionDialog::OnPrint);
    for (QCheckBox* c : {m_pRed, m_pGreen, m_pBlue, m_pBestFit, m_pSimple, m_pMark, m_pTextCheck})
        connect(c, &QCheckBox::toggled, this, [this] { Refresh(); });
    for (QRadioButton* b : m_pViews) connect(b, &QRadioButton::toggled, this, [this] { Refresh(); });

    layout()->activate();
    m_pChart->SetData(&m_Result, &m_Flags);
    m_pChart->SetPageCount(2);
    m_pChart->InitControl();
    m_pText->InitControl();
    m_pText->SetScrollBar(m_pScrollBar);
    FillText();
    // check boxes from the flags, without each one redrawing
    const QSignalBlocker b0(m_pRed), b1(m_pGreen), b2(m_pBlue), b3(m_pBestFit), b4(m_pSimple), b5(m_pMark),
        b6(m_pTextCheck), b7(m_pViews[0]), b8(m_pViews[1]), b9(m_pViews[2]);
    m_pRed->setChecked(m_Flags.m_bRed);
    m_pGreen->setChecked(m_Flags.m_bGreen);
    m_pBlue->setChecked(m_Flags.m_bBlue);
    m_pBestFit->setChecked(m_Flags.m_bBestFit);
    m_pSimple->setChecked(m_Flags.m_bSimpleRGB);
    m_pMark->setChecked(m_Flags.m_bMarkPoints);
    m_pTextCheck->setChecked(m_Flags.m_bText);
    m_pViews[m_Flags.m_iView]->setChecked(true);
    ApplyTextMode();
    m_szLoadedFolder = TestDataFolder("Tonal Resolution");
}

void CTonalResolutionDialog::SetFileName(const std::string& szFile)
{
    LoadFile(szFile);
}

QCheckBox* CTonalResolutionDialog::Check(int32_t iId) const
{
    switch (iId) {
    case 10002: return m_pRed;
    case 10005: return m_pGreen;
    case 10006: return m_pBlue;
    case 14007: return m_pBestFit;
    case 14011: return m_pSimple;
    case 14012: return m_pMark;
    case 14014: return m_pTextCheck;
    default: return nullptr;
    }
}

QRadioButton* CTonalResolutionDialog::Radio(int32_t iView) const
{
    return (iView >= 0 && iView < 3) ? m_pViews[iView] : nullptr;
}

void CTonalResolutionDialog::Refresh()
{
    m_Flags.m_bRed = m_pRed->isChecked();
    m_Flags.m_bGreen = m_pGreen->isChecked();
    m_Flags.m_bBlue = m_pBlue->isChecked();
    m_Flags.m_bBestFit = m_pBestFit->isChecked();
    m_Flags.m_bSimpleRGB = m_pSimple->isChecked();
    m_Flags.m_bMarkPoints = m_pMark->isChecked();
    m_Flags.m_bText = m_pTextCheck->isChecked();
    for (int32_t i = 0; i < 3; ++i)
        if (m_pViews[i]->isChecked()) m_Flags.m_iView = i;
    ApplyTextMode();
    m_pChart->Redraw();
}

void CTonalResolutionDialog::ApplyTextMode()
{
    m_pChart->setVisible(!m_Flags.m_bText);
    m_pText->setVisible(m_Flags.m_bText);
    m_pScrollBar->setVisible(m_Flags.m_bText);
}

void CTonalResolutionDialog::FillText()
{
    std::string sz;
    for (const std::string& l : m_Result.TextResultLines()) sz += l + "\n";
    m_pText->SetText(sz);
}

bool CTonalResolutionDialog::LoadFile(const std::string& szFile)
{
    const bool bOk = m_Result.Read(szFile);
    m_szLoadedFolder = std::filesystem::path(szFile).parent_path().string();
    if (bOk) setWindowFilePath(QFile::decodeName(QByteArray::fromStdString(szFile)));
    // Loading leaves nothing to save, except a correction the file could not take.
    m_pSave->setEnabled(m_Result.m_bRepairUnsaved);
    m_pChart->Redraw();
    FillText();
    std::string szText;
    for (const std::string& m : m_Result.m_Messages) szText += (szText.empty() ? "" : "\n") + m;
    if (!szText.empty()) ShowMessage(szText, "Tonal Resolution");
    return bOk;
}

void CTonalResolutionDialog::OnLoad()
{
    const QString szDir = QString::fromStdString(TestDataFolder("Tonal Resolution"));
    const QString szFile = QFileDialog::getOpenFileName(this, QStringLiteral("Load tonal resolution result"), szDir,
                                                        QStringLiteral("Tonal resolution (*.txt *.ini);;All Files (*)"));
    if (!szFile.isEmpty()) LoadFile(szFile.toStdString());
}

bool CTonalResolutionDialog::SaveTo(const std::string& szFile)
{
    std::string szError;
    if (!m_Result.Write(szFile, &szError)) {
        ShowMessage(szFile + ": the result could not be saved: " + szError, "Tonal Resolution");
        return false;
    }
    m_Result.m_bRepairUnsaved = false;
    m_pSave->setEnabled(false);
    return true;
}

void CTonalResolutionDialog::OnSave()
{
    const QString szFile = QFileDialog::getSaveFileName(this, QStringLiteral("Save tonal resolution result"),
                                                        QString::fromStdString(m_szLoadedFolder),
                                                        QStringLiteral("Tonal resolution (*.txt);;All Files (*)"));
    if (!szFile.isEmpty()) SaveTo(szFile.toStdString());
}

void CTonalResolutionDialog::OnPrint()
{
    m_pChart->Print();
}

bool CTonalResolutionDialog::PrintToPdf(const QString& szPath)
{
    return m_pChart->PrintToPdf(szPath);
}

bool RenderTonalResolutionFile(const std::string& szFile, int32_t iWidth, int32_t iHeight, QImage& image,
                               std::string& szError)
{
    TonalResult r;
    if (!r.Read(szFile, false)) { // rendering never rewrites the file
        szError = r.m_Messages.empty() ? szFile + ": cannot be read" : r.m_Messages[0];
        return false;
    }
    CTonalViewFlags flags;
    CTonalResolution_Control chart;
    chart.resize(iWidth + 1, iHeight + 1);
    chart.SetData(&r, &flags);
    chart.InitControl();
    image = chart.RenderImage(iWidth, iHeight);
    return true;
}
