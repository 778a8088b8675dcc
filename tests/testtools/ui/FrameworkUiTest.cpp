#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

#include "platform/Messages.h"
#include "support/TestSupport.h"
#include "widgets/ui/BasicTestControl.h"
#include "testtools/ui/SmallTestControls.h"

namespace {

// Draws a filled red square so tests can see whether content was painted.
class CProbeControl : public CSymbolTestControl {
public:
    using CSymbolTestControl::CSymbolTestControl;
    int m_iDrawCount = 0;
    bool DrawContent(QPainter& dc, int32_t, int32_t) override
    {
        ++m_iDrawCount;
        dc.fillRect(20, 20, 10, 10, Qt::red);
        return true;
    }
};

std::string PdfText(const QString& szPdf)
{
    CTempDir dir;
    const CRunResult r = RunProgram("/usr/bin/pdftotext", {"-layout", szPdf.toStdString(), dir.File("out.txt")});
    if (r.m_iExit != 0) return {};
    return ReadFileBytes(dir.File("out.txt"));
}

} // namespace

TEST(FrameworkUi, NothingIsDrawnBeforeInitControl)
{
    CProbeControl c;
    c.resize(201, 101);
    EXPECT_FALSE(c.Redraw());
    EXPECT_TRUE(c.Surface().isNull());
    QImage img(200, 100, QImage::Format_RGB32);
    img.fill(Qt::green);
    QPainter p(&img);
    EXPECT_FALSE(c.RenderToDC(&p, 200, 100));
    p.end();
    EXPECT_EQ(c.m_iDrawCount, 0);
    EXPECT_EQ(img.pixel(25, 25), QColor(Qt::green).rgb());

    c.InitControl();
    EXPECT_EQ(c.SurfaceWidth(), 200);
    EXPECT_EQ(c.SurfaceHeight(), 100);
    EXPECT_EQ(c.m_iDrawCount, 1);
    EXPECT_EQ(c.Surface().pixel(25, 25), QColor(Qt::red).rgb());
    EXPECT_EQ(c.Surface().pixel(0, 50), QColor(Qt::black).rgb());  // frame
    EXPECT_EQ(c.Surface().pixel(100, 50), QColor(Qt::white).rgb()); // background
    EXPECT_EQ(c.Plot().m_iLeft, 20);
    EXPECT_EQ(c.Plot().m_iBottom, 90);
}

TEST(FrameworkUi, PrintLinesStopAtTwentyAndPrintingAtTheFirstEmptyLine)
{
    QWidget parent;
    CProbeControl c(&parent);
    c.setGeometry(0, 0, 301, 151);
    c.InitControl();
    for (int i = 1; i <= 21; ++i) c.AddPrintLine("Header line " + std::to_string(i));
    EXPECT_EQ(c.PrintLineCount(), 20);
    EXPECT_EQ(c.PrintLine(19), "Header line 20");

    QTemporaryDir dir;
    const QString szPdf = dir.filePath("p.pdf");
    ASSERT_TRUE(c.PrintToPdf(szPdf));
    const std::string szText = PdfText(szPdf);
    if (szText.empty()) GTEST_SKIP() << "pdftotext not available";
    EXPECT_NE(szText.find("Header line 20"), std::string::npos);
    EXPECT_EQ(szText.find("Header line 21"), std::string::npos);

    c.ClearPrintLines();
    c.AddPrintLine("First");
    c.AddPrintLine("");
    c.AddPrintLine("Hidden");
    ASSERT_TRUE(c.PrintToPdf(szPdf));
    const std::string szText2 = PdfText(szPdf);
    EXPECT_NE(szText2.find("First"), std::string::npos);
    EXPECT_EQ(szText2.find("Hidden"), std::string::npos);
}

TEST(FrameworkUi, PickModeAndCallback)
{
    CProbeControl c;
    c.resize(401, 201);
    c.InitControl();
    {
        QPainter p(const_cast<QImage*>(&c.Surface()));
        c.DrawPickButton(p, 200, 150, 30);
    }
    const QRect button = c.PickButtonRect();
    EXPECT_EQ(button.left(), 185);
    EXPECT_EQ(button.top(), 135);

    c.OnLButtonUp(0, 200, 150); // the button toggles pick mode
    EXPECT_TRUE(c.IsPickMode());
    c.SetPickRange(1000);
    c.OnLButtonUp(0, 200, 60); // no callback: the pick is not taken, pick mode stays
    EXPECT_TRUE(c.IsPickMode());

    std::vector<int32_t> got;
    c.SetPickCallback([&](int32_t a, int32_t b, int32_t d) { got = {a, b, d}; });
    c.SetPickHalfCount(8);
    c.OnLButtonUp(0, 200, 60); // plot 40..360: (200 - 40) * 1000 / 320 = 500
    EXPECT_FALSE(c.IsPickMode());
    EXPECT_EQ(got, (std::vector<int32_t>{4, 500, 1}));

    got.clear();
    c.FireReset(7);
    EXPECT_EQ(got, (std::vector<int32_t>{0, 7, 0}));
}

TEST(FrameworkUi, InvertedCrossHairDrawnTwiceRestoresTheSurface)
{
    CProbeControl c;
    c.resize(401, 201);
    c.InitControl();
    const QImage before = c.Surface().copy();
    c.DrawCrossHair(5, 5, false); // outside the plot and none drawn: nothing
    EXPECT_FALSE(c.IsCrossHairDrawn());
    c.DrawCrossHair(100, 100, false);
    EXPECT_TRUE(c.IsCrossHairDrawn());
    EXPECT_EQ(c.Surface().pixel(100, 100), QColor(Qt::black).rgb()); // white inverted
    EXPECT_EQ(c.Surface().pixel(90, 99), QColor(Qt::black).rgb());   // thickened end
    EXPECT_EQ(c.Surface().pixel(95, 99), QColor(Qt::white).rgb());   // not thickened there
    c.DrawCrossHair(100, 100, false);
    EXPECT_FALSE(c.IsCrossHairDrawn());
    EXPECT_EQ(c.Surface(), before);
}

TEST(FrameworkUi, ElapsedControlShowsHoursMinutesSeconds)
{
    CElapsed_Control c;
    c.resize(121, 31);
    c.InitControl();
    EXPECT_TRUE(c.UpdateElapsed(3725000));
    EXPECT_FALSE(c.UpdateElapsed(3725200)); // same second: no redraw
    c.Start();
    EXPECT_NE(c.TimerId(), 0);
    EXPECT_EQ(c.Text(), "0:00:00");
    c.Stop();
    EXPECT_EQ(c.TimerId(), 0);
}

TEST(FrameworkUi, GaugePointerSitsAtItsLogPosition)
{
    CWidthCenter_Control c;
    c.resize(301, 401);
    c.InitControl();
    c.SetActive(true, true);
    c.SetValues(1.0, 100.0, 10.0, 1.9, 100.0, 0.0);
    // first gauge: x = 150 - 50 = 100, y = 40, 100 x 240; value 10 lies at
    // 40 + 120 - round(120/3 * 2) = 80, drawn in red tones (outside tolerance)
    const QColor centre(c.Surface().pixel(150, 80));
    EXPECT_GT(centre.red(), 200);
    EXPECT_LT(centre.green(), 40);
    EXPECT_GT(centre.blue(), 20);
    // the middle of the bar far from the pointer is pure green from the ramp
    const QColor ramp(c.Surface().pixel(115, 160));
    EXPECT_EQ(ramp.green(), 255);
}

TEST(FrameworkUi, ScrollTextSplitsLinesAndScrolls)
{
    QWidget parent;
    CScrollTextControl c(&parent);
    QScrollBar bar(&parent);
    c.setGeometry(0, 0, 201, 101);
    c.InitControl();
    c.SetScrollBar(&bar);
    std::string sz;
    for (int i = 0; i < 30; ++i) sz += "line " + std::to_string(i) + (i % 2 ? "\r\n" : "\n");
    c.SetText(sz);
    ASSERT_EQ(c.Lines().size(), 30u);
    EXPECT_EQ(c.Lines()[29].m_szText, "line 29");
    EXPECT_EQ(c.TotalHeight(), 30 * 21);
    EXPECT_EQ(bar.geometry().left(), 201 + 2);
    c.Scroll(SCROLL_PAGEDOWN, 0);
    EXPECT_EQ(c.FirstVisible(), 100);
    EXPECT_EQ(bar.value(), 100);
    c.Scroll(SCROLL_BOTTOM, 0);
    EXPECT_EQ(c.FirstVisible(), 630 - 100);
    c.Scroll(SCROLL_LINEUP, 0);
    EXPECT_EQ(c.FirstVisible(), 520);
}

TEST(FrameworkUi, SurfaceFailureSaysWhy)
{
    CMessageRecorder rec;
    CProbeControl c;
    EXPECT_FALSE(c.CreateSurface(nullptr));
    ASSERT_EQ(rec.Texts().size(), 1u);
    EXPECT_EQ(rec.Texts()[0], "ptrDC == NULL");
}
