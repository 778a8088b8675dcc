#include "viewers/ui/NoiseViews.h"

#include <QFile>
#include <QApplication>
#include <QButtonGroup>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

#include "datafiles/ConFile.h"
#include "datafiles/Settings.h"
#include "platform/Log.h"
#include "platform/Messages.h"
#include "platform/ui/Text.h"
#include "scanner/Scanner.h"
#include "viewers/NoiseScan.h"
#include "viewers/StitchNoiseHeader.h"
#include "viewers/ui/StitchNoisePrinting.h"
#include "viewers/ui/ViewerFiles.h"
#include "widgets/ui/DevicePixels.h"
#include "widgets/ui/GraphCursorTool.h"

namespace {

QColor FromColorRef(uint32_t u)
{
    return QColor(int(u & 0xFF), int((u >> 8) & 0xFF), int((u >> 16) & 0xFF));
}

// The noise check picks files with the stitch filter it always had; the
// noise test loads and saves its own files.
CFileDialogRequest NoiseFileRequest(const char* szTitle, const char* szFilter, bool bSave, const QString& szName)
{
    CFileDialogRequest ask;
    ask.m_bSave = bSave;
    ask.m_szTitle = szTitle;
    ask.m_Filters = QtFileFilters(szFilter);
    ask.m_szSuffix = "con";
    ask.m_szName = szName;
    return ask;
}

// "Unit" of the sibling tool's settings.
int32_t ToolUnit()
{
    std::string szUnit;
    GetToolSetting("Miscellaneous", "Unit", "Inch", szUnit);
    return NoiseUnitFromText(szUnit);
}

// + and - zoom around the middle of the graph, Home shows all.
void AddZoomKeys(QWidget* pDialog, CNoiseTestControl* pGraph, const std::function<void()>& zoomAll)
{
    auto zoom = [pGraph](bool bIn) {
        if (!pGraph->m_pRecord || pGraph->m_Zoom.m_iCount == 0)
            return;
        if (bIn)
            pGraph->m_Zoom.ZoomIn(pGraph->width() / 2, pGraph->width());
        else
            pGraph->m_Zoom.ZoomOut();
        pGraph->update();
        emit pGraph->ViewChanged();
    };
    for (QKeySequence key : {QKeySequence(Qt::Key_Plus), QKeySequence(Qt::Key_Equal)})
        QObject::connect(new QShortcut(key, pDialog), &QShortcut::activated, pDialog, [zoom] { zoom(true); });
    QObject::connect(new QShortcut(QKeySequence(Qt::Key_Minus), pDialog), &QShortcut::activated, pDialog,
                     [zoom] { zoom(false); });
    QObject::connect(new QShortcut(QKeySequence(Qt::Key_Home), pDialog), &QShortcut::activated, pDialog, zoomAll);
}

// I shows the header of the file on view, once there is one.
void AddHeaderKey(QWidget* pDialog, const std::string& szFileName)
{
    QObject::connect(new QShortcut(QKeySequence(Qt::Key_I), pDialog), &QShortcut::activated, pDialog, [&szFileName] {
        if (!szFileName.empty())
            ShowFileHeader(szFileName);
    });
}

// The bar spans 0..10000 of the samples. bUpdating is raised while the bar is
// set from the view, so its own signal does not scroll the view back.
void ConnectScrollBar(QWidget* pDialog, QScrollBar* pBar, CNoiseTestControl* pGraph, const bool& bUpdating)
{
    QObject::connect(pBar, &QScrollBar::valueChanged, pDialog, [pGraph, &bUpdating](int iPos) {
        if (bUpdating)
            return;
        pGraph->m_Zoom.ScrollTo(iPos);
        pGraph->update();
    });
}

void SyncScrollBar(QScrollBar* pBar, CNoiseTestControl* pGraph, bool& bUpdating)
{
    bUpdating = true;
    const int iPage = std::clamp(pGraph->m_Zoom.ScrollPage(), 1, 10000);
    pBar->setRange(0, 10000 - iPage);
    pBar->setPageStep(iPage);
    pBar->setValue(pGraph->m_Zoom.ScrollPos());
    bUpdating = false;
    pGraph->update();
}

// record is replaced only by a file that reads; otherwise the user is told why.
bool ReadNoiseRecord(const std::string& szFile, CNoiseRecord& record)
{
    CNoiseRecord fresh;
    if (!fresh.ReadNoiseFile(szFile)) {
        ShowMessage(fresh.m_szError);
        return false;
    }
    record = std::move(fresh);
    return true;
}

// The graph as it stands on screen, scaled to fit the page below iTop.
void PaintGraphOnPage(QPainter& painter, const QRect& page, int iTop, const CNoiseTestControl& graphControl,
                      const CNoiseRecord& record)
{
    const QSize graph = graphControl.size();
    const int iMarginX = page.width() / 10;
    const double dScale = std::min(double(page.width() - 2 * iMarginX) / graph.width(),
                                   double(page.bottom() - page.height() / 20 - iTop) / graph.height());
    painter.save();
    painter.translate(page.left() + iMarginX, iTop);
    painter.scale(dScale, dScale);
    PaintNoiseGraph(painter, graph, record, graphControl.m_Zoom, graphControl.m_Options);
    painter.restore();
}

}  // namespace

void PaintNoiseGraph(QPainter& painter, QSize size, const CNoiseRecord& record, const CNoiseZoom& zoom,
                     const CNoiseGraphOptions& options)
{
    painter.setRenderHint(QPainter::Antialiasing, false);
    const int W = size.width(), H = size.height();
    painter.fillRect(0, 0, W, H, Qt::white);
    painter.setPen(Qt::black);
    FillFrame(painter, QRect(0, 0, W, H), Qt::black);
    const std::vector<uint8_t>* pSamples = record.Channel(options.m_iColor);
    const uint32_t uColor = NoiseChannelColor(options.m_iColor);
    if (!pSamples || pSamples->empty() || uColor == 0xFFFFFFFF || W < 2 || H < 2)
        return;
    const std::vector<uint8_t>& s = *pSamples;
    const int64_t iFirst = zoom.First(), iLast = std::min<int64_t>(zoom.Last(), static_cast<int64_t>(s.size()));
    const int64_t iSpan = iLast - iFirst;
    if (iSpan <= 0)
        return;

    if (options.m_iLimit >= 0) {
        // The limit is how far a pixel may stray from the channel's average, in
        // percent: two lines mark the band, so a pixel that fails stands out.
        const int32_t iAvg = record.Average(options.m_iColor);
        painter.setPen(QColor(255, 0, 0));
        for (int32_t iSign : {-1, 1}) {
            const int32_t iLevel = std::clamp(iAvg * (100 + iSign * options.m_iLimit) / 100, 0, 255);
            const int y = (255 - iLevel) * H / 256;
            painter.drawLine(1, y, W - 2, y);
        }
    }
    // The curve: a vertical stroke per column from the smallest to the largest sample it holds.
    painter.setPen(FromColorRef(uColor));
    int iColumn = -1, iMin = 0, iMax = 0, iLastV = 0, iPrevY = -1;
    auto flush = [&] {
        if (iColumn < 0)
            return;
        const int yTop = (255 - iMax) * H / 256, yBottom = (255 - iMin) * H / 256;
        int a = yTop, b = yBottom;
        if (iPrevY >= 0) {  // join to the previous column so a zoomed curve has no gaps
            a = std::min(a, iPrevY);
            b = std::max(b, iPrevY);
        }
        painter.drawLine(iColumn, a, iColumn, b);
        iPrevY = (255 - iLastV) * H / 256;
    };
    for (int64_t i = iFirst; i < iLast; ++i) {
        const int x = static_cast<int>((i - iFirst + 1) * W / iSpan);
        const int v = s[static_cast<size_t>(i)];
        if (x != iColumn) {
            flush();
            iColumn = x;
            iMin = iMax = v;
        } else {
            iMin = std::min(iMin, v);
            iMax = std::max(iMax, v);
        }
        iLastV = v;
    }
    flush();

    // The position scale along the bottom edge, in the chosen unit.
    {
        QFont font("Verdana");
        font.setPixelSize(10);
        painter.setFont(font);
        const QFontMetrics fm(font);
        painter.setPen(Qt::black);
        for (const CNoiseTick& t : NoiseRulerTicks(options.m_iUnit, record.m_dWidthFactor,
                                                   static_cast<int64_t>(s.size()), iFirst, iLast, W)) {
            painter.drawLine(t.m_iX, H - 1, t.m_iX, H - 6);
            const QString szLabel = QString::fromStdString(t.m_szLabel);
            // Labels at the ends stay whole inside the frame.
            const int iLabelWidth = fm.horizontalAdvance(szLabel);
            painter.drawText(std::clamp(t.m_iX - iLabelWidth / 2, 2, std::max(2, W - 2 - iLabelWidth)), H - 8,
                             szLabel);
        }
    }
    if (!options.m_bMarks)
        return;
    const CNoiseMarks marks =
        FindNoiseMarks(s, options.m_iColor, W, H, zoom.m_iCenter, zoom.m_iZoom, options.m_iUnit, record.m_dWidthFactor);
    if (!marks.m_bDrawn)
        return;
    painter.setPen(QColor(255, 0, 0));
    painter.drawLine(0, marks.m_iYMirror, W - 1, marks.m_iYMirror);
    painter.setPen(QColor(0, 255, 0));
    painter.drawLine(0, marks.m_iYAverage, W - 1, marks.m_iYAverage);
    painter.setPen(QColor(255, 0, 0));
    painter.drawLine(0, marks.m_iYLow, W - 1, marks.m_iYLow);
    QFont font("Verdana");
    font.setPixelSize(11);
    painter.setFont(font);
    const QFontMetrics fm(font);
    for (const CNoiseMark& m : marks.m_Marks) {
        painter.setPen(FromColorRef(marks.m_uColor));
        for (int r = 1; r <= 19; ++r)
            painter.drawLine(m.m_iX - (r - 1), m.m_iY + r, m.m_iX + (r - 1), m.m_iY + r);
        const QString szLabel = QString::fromStdString(m.m_szLabel);
        painter.setPen(Qt::black);
        painter.drawText(m.m_iX - fm.horizontalAdvance(szLabel) / 2, m.m_iY + 22 + fm.ascent(), szLabel);
    }
}

// ---- graph control ----

CNoiseTestControl::CNoiseTestControl(QWidget* pParent) : QWidget(pParent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setMinimumSize(300, 200);
    CGraphCursorHooks hooks;
    hooks.m_Axis = [this] {
        CGraphAxis a;
        const std::vector<uint8_t>* p = m_pRecord ? m_pRecord->Channel(m_Options.m_iColor) : nullptr;
        const int64_t iSpan = m_Zoom.Last() - m_Zoom.First();
        if (!p || p->empty() || iSpan <= 0 || width() <= 0)
            return a;
        a.m_iWidth = width();
        a.m_iCount = std::min<int64_t>(m_Zoom.Last(), static_cast<int64_t>(p->size()));
        a.m_dFirst = double(m_Zoom.First());
        a.m_dPerColumn = double(iSpan) / width();
        // The record spans the scanner's width, f x 4.24 inches.
        a.m_dMmPerPosition = m_pRecord->m_dWidthFactor > 0 ? m_pRecord->m_dWidthFactor * 4.24 * 25.4 / double(p->size()) : 0.0;
        return a;
    };
    hooks.m_ValuesAt = [this](int64_t iPos) {
        static const char* const names[] = {"Red", "Green", "Blue", "Gray", "Gray"};
        std::vector<CCursorChannel> out;
        const std::vector<uint8_t>* p = m_pRecord ? m_pRecord->Channel(m_Options.m_iColor) : nullptr;
        if (p && iPos >= 0 && iPos < static_cast<int64_t>(p->size()))
            out.push_back({names[std::clamp(m_Options.m_iColor, 0, 4)], {double((*p)[size_t(iPos)]), 0.0}});
        return out;
    };
    hooks.m_LevelScale = [this] {
        std::vector<std::pair<int, QString>> out;
        if (m_pRecord && m_pRecord->Channel(m_Options.m_iColor))
            for (int v = 0; v <= 250; v += 50)
                out.push_back({(255 - v) * height() / 256, QString::number(v)});
        return out;
    };
    m_pCursors = new CGraphCursorTool(this, std::move(hooks));
    connect(this, &CNoiseTestControl::ViewChanged, m_pCursors, &CGraphCursorTool::ViewChanged);
}

void CNoiseTestControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    static const CNoiseRecord empty;
    PaintNoiseGraph(painter, size(), m_pRecord ? *m_pRecord : empty, m_Zoom, m_Options);
}

int64_t CNoiseTestControl::SampleAt(int32_t iX) const
{
    const int64_t iFirst = m_Zoom.First(), iSpan = m_Zoom.Last() - iFirst;
    if (iSpan <= 0 || iX < 0 || iX >= width())
        return -1;
    return std::min(m_Zoom.Last() - 1, iFirst + int64_t(iX) * iSpan / std::max(1, width()));
}

void CNoiseTestControl::mousePressEvent(QMouseEvent* pEvent)
{
    if (!m_pRecord || m_Zoom.m_iCount == 0)
        return;
    if (pEvent->button() == Qt::LeftButton)
        m_Zoom.ZoomIn(pEvent->position().toPoint().x(), width());
    else if (pEvent->button() == Qt::RightButton)
        m_Zoom.ZoomOut();
    else
        return;
    update();
    emit ViewChanged();
}

void CNoiseTestControl::mouseDoubleClickEvent(QMouseEvent* pEvent)
{
    mousePressEvent(pEvent);
}

void CNoiseTestControl::mouseMoveEvent(QMouseEvent* pEvent)
{
    emit CursorMoved(SampleAt(pEvent->position().toPoint().x()));
}

void CNoiseTestControl::leaveEvent(QEvent*)
{
    emit CursorMoved(-1);
}

// ---- noise check ----

CNoiseCheckClient::CNoiseCheckClient(QWidget* pParent) : QWidget(pParent)
{
    setMinimumSize(340, 240);
}

void CNoiseCheckClient::resizeEvent(QResizeEvent* pEvent)
{
    QWidget::resizeEvent(pEvent);
    if (m_pGraph)
        m_pGraph->setGeometry(NoiseCheckGraphRect(size()));
}

QRect NoiseCheckGraphRect(QSize client)
{
    return QRect(20, 40, std::max(0, client.width() - 40), std::max(0, client.height() - 40));
}

CNCTest_Dialog::CNCTest_Dialog(QWidget* pParent) : QDialog(pParent)
{
    setWindowTitle("Noise Check Test");
    setWindowIcon(QIcon(QStringLiteral(":/icons/lumora.png")));
    auto* pExit = new QPushButton("E&xit", this);
    auto* pZoomAll = new QPushButton("&Zoom All", this);
    auto* pPrint = new QPushButton("&Print", this);
    m_pColor[0] = new QPushButton("Red", this);
    m_pColor[1] = new QPushButton("Green", this);
    m_pColor[2] = new QPushButton("Blue", this);
    m_pLimit = new QLabel(this);
    m_pAverage = new QLabel(this);
    m_pCursor = new QLabel(this);
    m_pLimit->setObjectName("1011");
    m_pAverage->setObjectName("1030");
    m_pCursor->setObjectName("1002");
    // The client area above the window's scroll bar: the controls in a strip
    // along the top, the graph at (20, 40) filling the rest less 40 pixels
    // each way, so the view sits where the technician knows it from the check.
    auto* pClient = new CNoiseCheckClient(this);
    auto* pTop = new QHBoxLayout(pClient);
    pTop->setContentsMargins(20, 6, 20, 0);
    pTop->setAlignment(Qt::AlignTop);
    for (int i = 0; i < 3; ++i) {
        m_pColor[i]->setParent(pClient);
        m_pColor[i]->setCheckable(true);
        m_pColor[i]->setAutoExclusive(true);
        m_pColor[i]->setAutoDefault(false);
        pTop->addWidget(m_pColor[i]);
        connect(m_pColor[i], &QPushButton::clicked, this, [this, i] { SelectColor(i); });
    }
    for (QWidget* p : std::initializer_list<QWidget*>{pZoomAll, m_pLimit, m_pAverage, m_pCursor, pPrint, pExit})
        p->setParent(pClient);
    for (QWidget* p : {pZoomAll, pPrint, pExit})
        p->setFixedHeight(28);
    pTop->addWidget(pZoomAll);
    pTop->addSpacing(12);
    pTop->addWidget(m_pLimit);
    pTop->addSpacing(12);
    pTop->addWidget(m_pAverage);
    pTop->addSpacing(12);
    pTop->addWidget(m_pCursor, 1);
    pTop->addWidget(pPrint);
    pTop->addWidget(pExit);
    m_pGraph = new CNoiseTestControl(pClient);
    m_pGraph->setMinimumSize(0, 0);
    pClient->m_pGraph = m_pGraph;
    m_pGraph->m_pRecord = &m_Record;
    m_pGraph->m_Options.m_bMarks = false;
    m_pBar = new QScrollBar(Qt::Horizontal, this);
    m_pBar->setRange(0, 10000);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(0);
    pLayout->addWidget(pClient, 1);
    pLayout->addWidget(m_pBar);
    resize(900, 520);

    connect(pExit, &QPushButton::clicked, this, &QDialog::accept);
    connect(pZoomAll, &QPushButton::clicked, this, [this] {
        m_pGraph->m_Zoom.Reset(m_pGraph->m_Zoom.m_iCount);
        UpdateReadouts();
    });
    connect(pPrint, &QPushButton::clicked, this, &CNCTest_Dialog::OnPrint);
    connect(m_pGraph, &CNoiseTestControl::ViewChanged, this, &CNCTest_Dialog::UpdateReadouts);
    connect(m_pGraph, &CNoiseTestControl::CursorMoved, this, [this](qint64 iSample) {
        const std::vector<uint8_t>* p = m_Record.Channel(m_pGraph->m_Options.m_iColor);
        m_pCursor->setText(p && iSample >= 0 && iSample < qint64(p->size())
                               ? QString::number((*p)[static_cast<size_t>(iSample)])
                               : QString());
    });
    ConnectScrollBar(this, m_pBar, m_pGraph, m_bUpdatingBar);
    auto* pKeyO = new QShortcut(QKeySequence::Open, this);
    connect(pKeyO, &QShortcut::activated, this, &CNCTest_Dialog::OnOpen);
    AddZoomKeys(this, m_pGraph, [pZoomAll] { pZoomAll->click(); });
    auto* pKeyP = new QShortcut(QKeySequence::Print, this);
    connect(pKeyP, &QShortcut::activated, this, &CNCTest_Dialog::OnPrint);
    AddHeaderKey(this, m_szFileName);
    UpdateReadouts();
}

void CNCTest_Dialog::showEvent(QShowEvent* pEvent)
{
    QDialog::showEvent(pEvent);
    LoadWhenShown(this, m_bLoadPending, [this] { LoadFile(m_szFileName); });
}

bool CNCTest_Dialog::LoadFile(const std::string& szFile)
{
    m_bLoadPending = false;
    if (!ReadNoiseRecord(szFile, m_Record))
        return false;
    m_szFileName = szFile;
    setWindowFilePath(QFile::decodeName(QByteArray::fromStdString(m_szFileName)));
    std::string szMessage;
    if (!m_bModelCodeSet && !m_Record.m_bHeaderless && m_Record.m_bHasNoiseLimit)
        // A "[Noise Test]" file names no scanner model to look a limit up for,
        // but keeps the limit it was judged against.
        m_iLimit = m_Record.m_iNoiseLimit;
    else if (!LookupNoiseLimit(m_bModelCodeSet ? m_uModelCode : m_Record.m_uModelCode, m_iLimit, szMessage) &&
             !szMessage.empty())
        ShowMessage(szMessage);
    m_pGraph->m_Zoom.Reset(m_Record.m_iWidth);
    SelectColor(m_Record.m_bColorScanner ? 0 : 1);
    setWindowTitle(QString("Noise Check Test - %1").arg(QFileInfo(QString::fromStdString(szFile)).fileName()));
    return true;
}

bool CNCTest_Dialog::ChooseFile(const std::string& szFile)
{
    CConFileHeader con;
    ReadConFileHeader(szFile, con);
    if (!con.m_Header.IsNoiseTest()) {
        ShowMessage("This file is not a Noise Test file.\nExiting.");
        return false;
    }
    return LoadFile(szFile);
}

void CNCTest_Dialog::OnOpen()
{
    const QString szFile = AskForFile(this, NoiseFileRequest("Open", kStitchFilter, false, "*.con"));
    if (!szFile.isEmpty())
        ChooseFile(szFile.toStdString());
}

void CNCTest_Dialog::SelectColor(int32_t iColor)
{
    if (!m_Record.m_bColorScanner)
        iColor = 1;
    m_pGraph->m_Options.m_iColor = iColor;
    for (int i = 0; i < 3; ++i) {
        m_pColor[i]->setEnabled(m_Record.m_bColorScanner);
        m_pColor[i]->setChecked(i == iColor);
    }
    UpdateReadouts();
}

QString CNCTest_Dialog::LimitText() const
{
    return QString::fromStdString(FormatText("Limit = %d%%", m_iLimit));
}

QString CNCTest_Dialog::AverageText() const
{
    return QString::fromStdString(FormatText("Avg = %d%%", m_Record.Average(m_pGraph->m_Options.m_iColor)));
}

QString CNCTest_Dialog::CursorText() const
{
    return m_pCursor->text();
}

void CNCTest_Dialog::UpdateReadouts()
{
    m_pGraph->m_Options.m_iLimit = m_iLimit > 0 ? m_iLimit : -1;
    m_pLimit->setText(LimitText());
    m_pAverage->setText(AverageText());
    SyncScrollBar(m_pBar, m_pGraph, m_bUpdatingBar);
}

void CNCTest_Dialog::PaintPage(QPainter& painter, const QRect& page) const
{
    const std::string szDate = m_Record.m_szDate.empty() ? CDateTime::Now().DateString() : m_Record.m_szDate;
    QStringList lines;
    lines << "Noise Check" << ""
          << "Scanner Type   :" + FromCp1252(" " + m_Record.m_szScannerName)
          << "Date   :" + FromCp1252(" " + szDate)
          << "Serial Number  :" + FromCp1252(" " + m_Record.m_szScannerID)
          << QString::fromStdString(FormatText("Limit  :   %d%%", m_iLimit))
          << AverageText();
    const int iTop = DrawPageLines(painter, page, lines);
    PaintGraphOnPage(painter, page, iTop, *m_pGraph, m_Record);
}

void CNCTest_Dialog::OnPrint()
{
    PrintWithDialog(
        this, "Printing Noise Check", [this](QPainter& p, const QRect& page) { PaintPage(p, page); }, m_szFileName);
}

bool CNCTest_Dialog::PrintToPdf(const QString& szPath)
{
    return ::PrintToPdf(szPath, "Printing Noise Check", [this](QPainter& p, const QRect& page) { PaintPage(p, page); });
}

// ---- noise test ----

CNoiseTest_SM_Dialog::CNoiseTest_SM_Dialog(QWidget* pParent) : QDialog(pParent)
{
    setWindowTitle("Noise Test");
    setWindowIcon(QIcon(QStringLiteral(":/icons/lumora.png")));
    m_pControl = new CNoiseTestControl(this);
    m_pControl->m_pRecord = &m_Record;
    m_pBar = new QScrollBar(Qt::Horizontal, this);
    auto* pSave = new QPushButton("&Save", this);
    auto* pLoad = new QPushButton("&Load", this);
    auto* pZoomAll = new QPushButton("&Zoom All", this);
    auto* pPrint = new QPushButton("&Print", this);
    m_pRescan = new QPushButton("Rescan", this);
    auto* pExit = new QPushButton("E&xit", this);
    const char* const kColors[] = {"&Red", "&Green", "&Blue", "Gra&y"};
    const char* const kUnits[] = {"&Inch", "c&m", "S&U"};
    auto* pColorGroup = new QButtonGroup(this);
    auto* pUnitGroup = new QButtonGroup(this);
    auto* pSide = new QVBoxLayout;
    for (QPushButton* p : {pSave, pLoad, pZoomAll, pPrint, m_pRescan}) {
        p->setAutoDefault(false);
        pSide->addWidget(p);
    }
    pSide->addSpacing(8);
    for (int i = 0; i < 4; ++i) {
        m_pColor[i] = new QRadioButton(kColors[i], this);
        pColorGroup->addButton(m_pColor[i]);
        pSide->addWidget(m_pColor[i]);
        const int iColor = i == 3 ? 4 : i;
        connect(m_pColor[i], &QRadioButton::clicked, this, [this, iColor] { SelectColor(iColor); });
    }
    pSide->addSpacing(8);
    static const int32_t kUnitCodes[] = {NOISE_UNIT_INCH, NOISE_UNIT_CM, NOISE_UNIT_SU};
    for (int i = 0; i < 3; ++i) {
        m_pUnit[i] = new QRadioButton(kUnits[i], this);
        pUnitGroup->addButton(m_pUnit[i]);
        pSide->addWidget(m_pUnit[i]);
        const int32_t iUnit = kUnitCodes[i];
        connect(m_pUnit[i], &QRadioButton::clicked, this, [this, iUnit] { SelectUnit(iUnit); });
    }
    pSide->addSpacing(8);
    m_pCursor = new QLabel(this);
    m_pLimit = new QLabel(this);
    m_pAverage = new QLabel(this);
    for (auto [szCaption, pValue] : {std::pair{"Cursor\nPosition", m_pCursor}, std::pair{"Limit", m_pLimit},
                                     std::pair{"Average", m_pAverage}}) {
        pSide->addWidget(new QLabel(szCaption, this));
        pSide->addWidget(pValue);
    }
    pSide->addStretch();
    pSide->addWidget(pExit);
    auto* pLeft = new QVBoxLayout;
    pLeft->addWidget(m_pControl, 1);
    pLeft->addWidget(m_pBar);
    auto* pLayout = new QHBoxLayout(this);
    pLayout->addLayout(pLeft, 1);
    pLayout->addLayout(pSide);
    resize(980, 560);

    connect(pSave, &QPushButton::clicked, this, &CNoiseTest_SM_Dialog::OnSave);
    connect(pLoad, &QPushButton::clicked, this, &CNoiseTest_SM_Dialog::OnLoad);
    connect(pPrint, &QPushButton::clicked, this, &CNoiseTest_SM_Dialog::OnPrint);
    connect(m_pRescan, &QPushButton::clicked, this, &CNoiseTest_SM_Dialog::OnRescan);
    connect(pExit, &QPushButton::clicked, this, &QDialog::accept);
    connect(pZoomAll, &QPushButton::clicked, this, [this] {
        m_pControl->m_Zoom.Reset(m_pControl->m_Zoom.m_iCount);
        UpdateControls();
    });
    connect(m_pControl, &CNoiseTestControl::ViewChanged, this, &CNoiseTest_SM_Dialog::UpdateControls);
    connect(m_pControl, &CNoiseTestControl::CursorMoved, this, [this](qint64 iSample) {
        m_pCursor->setText(iSample < 0 ? QString()
                                       : QString::fromStdString(NoisePositionLabel(
                                             m_pControl->m_Options.m_iUnit, m_Record.m_dWidthFactor, iSample,
                                             m_pControl->m_Zoom.m_iCount)));
    });
    ConnectScrollBar(this, m_pBar, m_pControl, m_bUpdatingBar);
    auto* pKeyP = new QShortcut(QKeySequence::Print, this);
    connect(pKeyP, &QShortcut::activated, this, &CNoiseTest_SM_Dialog::OnPrint);
    auto* pKeyS = new QShortcut(QKeySequence::Save, this);
    connect(pKeyS, &QShortcut::activated, this, &CNoiseTest_SM_Dialog::OnSave);
    AddZoomKeys(this, m_pControl, [pZoomAll] { pZoomAll->click(); });
    auto* pKeyO = new QShortcut(QKeySequence::Open, this);
    connect(pKeyO, &QShortcut::activated, this, &CNoiseTest_SM_Dialog::OnLoad);
    AddHeaderKey(this, m_szFileName);
    SelectUnit(ToolUnit());
    UpdateControls();
}

void CNoiseTest_SM_Dialog::showEvent(QShowEvent* pEvent)
{
    QDialog::showEvent(pEvent);
    LoadWhenShown(this, m_bLoadPending, [this] { LoadFile(m_szFileName); });
}

bool CNoiseTest_SM_Dialog::LoadFile(const std::string& szFile)
{
    m_bLoadPending = false;
    if (!ReadNoiseRecord(szFile, m_Record))
        return false;
    m_szFileName = szFile;
    setWindowFilePath(QFile::decodeName(QByteArray::fromStdString(m_szFileName)));
    m_pControl->m_Zoom.Reset(m_Record.m_iWidth);
    SelectColor(m_Record.m_bColorScanner ? 0 : 1);
    setWindowTitle(QString("Noise Test - %1").arg(QFileInfo(QString::fromStdString(szFile)).fileName()));
    return true;
}

bool CNoiseTest_SM_Dialog::SaveFile(const std::string& szFile)
{
    if (!m_Record.WriteNoiseFile(szFile)) {
        ShowMessage(m_Record.m_szError);
        return false;
    }
    m_szFileName = szFile;
    setWindowFilePath(QFile::decodeName(QByteArray::fromStdString(m_szFileName)));
    return true;
}

void CNoiseTest_SM_Dialog::OnLoad()
{
    const QString szFile = AskForFile(this, NoiseFileRequest("Load", kNoiseTestFilter, false, "*.con"));
    if (!szFile.isEmpty())
        LoadFile(szFile.toStdString());
}

void CNoiseTest_SM_Dialog::OnSave()
{
    if (m_Record.m_iWidth <= 0)
        return;
    const QString szFile =
        AskForFile(this, NoiseFileRequest("Save", kNoiseTestFilter, true, QString::fromStdString(m_szFileName)));
    if (!szFile.isEmpty() && SaveFile(szFile.toStdString()))
        NoteRecentFile(szFile);
}

void CNoiseTest_SM_Dialog::OnRescan()
{
    CScanner scanner;
    std::string szError;
    int32_t iError = scanner.OpenScanner(0, false);
    if (iError != 0) {
        ShowMessage(FormatText("Rescan: the scanner cannot be opened (error %d, 0x%X).", iError,
                               static_cast<unsigned>(iError)));
        return;
    }
    int32_t iState = 0, iPosition = 0;
    if (scanner.GetPaperState(iState, iPosition) && iState != ZEL_PS_READY && scanner.CanPaperBeLoaded())
        scanner.LoadPaper(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    iError = ScanNoiseRecord(scanner, m_Record, 64, szError);
    QApplication::restoreOverrideCursor();
    scanner.CloseScanner(true);
    if (iError != 0) {
        ShowMessage("Rescan: " + szError);
        return;
    }
    m_szFileName.clear();
    m_pControl->m_Zoom.Reset(m_Record.m_iWidth);
    SelectColor(m_Record.m_bColorScanner ? 0 : 1);
    setWindowTitle("Noise Test - Rescan");
}

void CNoiseTest_SM_Dialog::SelectColor(int32_t iColor)
{
    if (!m_Record.Channel(iColor))
        iColor = 1;
    m_pControl->m_Options.m_iColor = iColor;
    for (int i = 0; i < 4; ++i) {
        const int iC = i == 3 ? 4 : i;
        m_pColor[i]->setEnabled(m_Record.Channel(iC) != nullptr);
        m_pColor[i]->setChecked(iC == iColor);
    }
    UpdateControls();
}

void CNoiseTest_SM_Dialog::SelectUnit(int32_t iUnit)
{
    m_pControl->m_Options.m_iUnit = iUnit;
    m_pUnit[0]->setChecked(iUnit == NOISE_UNIT_INCH);
    m_pUnit[1]->setChecked(iUnit == NOISE_UNIT_CM);
    m_pUnit[2]->setChecked(iUnit == NOISE_UNIT_SU);
    m_pControl->update();
}

QString CNoiseTest_SM_Dialog::AverageText() const
{
    // The average is a level of the 0..255 scale the graph is drawn on; the
    // limit beside it is a percentage of it, so only the limit carries "%".
    return QString::number(m_Record.Average(m_pControl->m_Options.m_iColor));
}

QString CNoiseTest_SM_Dialog::LimitText() const
{
    return m_Record.m_bHasNoiseLimit ? QString::fromStdString(FormatText("%d%%", m_Record.m_iNoiseLimit)) : QString();
}

void CNoiseTest_SM_Dialog::UpdateControls()
{
    m_pLimit->setText(LimitText());
    m_pAverage->setText(AverageText());
    SyncScrollBar(m_pBar, m_pControl, m_bUpdatingBar);
}

void CNoiseTest_SM_Dialog::PaintPage(QPainter& painter, const QRect& page) const
{
    static const char* const kNames[] = {"Red", "Green", "Blue", "", "Gray"};
    const int32_t iColor = m_pControl->m_Options.m_iColor;
    QStringList lines;
    lines << "Noise Test" << ""
          << "Scanner Name   : " + FromCp1252(m_Record.m_szScannerName)
          << "Serial Number  : " + FromCp1252(m_Record.m_szScannerID)
          << "Date           : " + FromCp1252(m_Record.m_szDate + " " + m_Record.m_szTime)
          << QString("Channel        : %1").arg(iColor >= 0 && iColor <= 4 ? kNames[iColor] : "")
          << "Average        : " + AverageText() << "Limit          : " + LimitText();
    const int iTop = DrawPageLines(painter, page, lines);
    PaintGraphOnPage(painter, page, iTop, *m_pControl, m_Record);
}

void CNoiseTest_SM_Dialog::OnPrint()
{
    PrintWithDialog(
        this, "Printing Noise Test", [this](QPainter& p, const QRect& page) { PaintPage(p, page); }, m_szFileName);
}

bool CNoiseTest_SM_Dialog::PrintToPdf(const QString& szPath)
{
    return ::PrintToPdf(szPath, "Printing Noise Test", [this](QPainter& p, const QRect& page) { PaintPage(p, page); });
}
