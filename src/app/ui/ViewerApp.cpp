#include "app/ui/ViewerApp.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QMessageBox>
#include <QPainter>
#include <QPalette>
#include <QPointer>
#include <QStyleFactory>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/CommandLine.h"
#include "app/KindRegistry.h"
#include "widgets/ui/Shell.h"
#include "app/ui/FileRender.h"
#include "app/ui/UiRegistry.h"
#include "app/ui/ViewerDlg.h"
#include "app/ui/ViewerHabits.h"
#include "datafiles/VersionInfo.h"
#include "platform/Log.h"
#include "platform/Messages.h"
#include "platform/Signals.h"

namespace {
int g_iScreenshotExit = 0;
QPointer<CViewerDlg> g_pLauncher;

// How long a window must have been up and idle before it counts as painted,
// and how long to wait for any window at all.
constexpr int kSettleMs = 400;
constexpr int kGiveUpMs = 30000;
constexpr int kPollMs = 50;
} // namespace

bool CViewerApp::InitInstance(const std::string& szCommandLine)
{
    CViewerDlg dlg;
    g_pLauncher = &dlg;
    if (!szCommandLine.empty()) {
        dlg.LogStartupLine("Command Line Start");
        dlg.LogStartupLine(szCommandLine);
        dlg.LogStartupLine("Command Line End");
        const std::string szOverlong = OverlongFileName(szCommandLine);
        if (szOverlong.empty()) {
            dlg.SetFileToLoad(ChooseFileFromCommandLine(szCommandLine));
        } else {
            dlg.LogStartupLine("CViewerApp::InitInstance file name too long: " + szOverlong);
            ShowMessage("The file name is longer than 255 characters and cannot be opened:\n" + szOverlong);
        }
    }
    dlg.exec();
    g_pLauncher = nullptr;
    return false;
}

int ScreenshotExitCode() { return g_iScreenshotExit; }

void StartScreenshotWatch(const QString& szOut)
{
    auto* pTimer = new QTimer(qApp);
    auto pClock = std::make_shared<QElapsedTimer>();
    auto pStable = std::make_shared<QElapsedTimer>();
    auto pLast = std::make_shared<QPointer<QWidget>>();
    auto pClosingSince = std::make_shared<QElapsedTimer>();
    pClock->start();
    QObject::connect(pTimer, &QTimer::timeout, qApp, [=] {
        if (pClosingSince->isValid()) {
            // Windows opened after the picture was taken (a viewer that shows
            // its dialog only after a message) must not keep the program up.
            for (QWidget* pWindow : QApplication::topLevelWidgets())
                if (auto* pDialog = qobject_cast<QDialog*>(pWindow); pDialog && pDialog->isVisible())
                    pDialog->reject();
            QCoreApplication::exit(g_iScreenshotExit);
            if (pClosingSince->elapsed() > kGiveUpMs / 6) {
                std::fflush(nullptr);
                std::_Exit(g_iScreenshotExit);
            }
            return;
        }
        QWidget* pTop = QApplication::activeModalWidget();
        // The launcher counts only once its load timer has had its say.
        const bool bLauncherBusy = pTop && pTop == g_pLauncher && g_pLauncher->IsLoadTimerActive();
        if (!pTop || !pTop->isVisible() || bLauncherBusy || pTop->width() <= 1) {
            pLast->clear();
            if (pClock->elapsed() < kGiveUpMs)
                return;
            std::fprintf(stderr, "lumora: no window appeared to take a screenshot of\n");
            g_iScreenshotExit = 70;
            pClosingSince->start();
            return;
        }
        if (*pLast != pTop) {
            *pLast = pTop;
            pStable->start();
            return;
        }
        if (pStable->elapsed() < kSettleMs)
            return;
        QImage image = pTop->grab().toImage();
        // A message box alone says little about the window it belongs to: the
        // viewer under it is put beside it, and the tool says so.
        QWidget* pUnder = qobject_cast<QMessageBox*>(pTop) && pTop->parentWidget() ? pTop->parentWidget()->window()
                                                                                    : nullptr;
        if (pUnder && pUnder != g_pLauncher && pUnder->isVisible() && pUnder->width() > 1) {
            // Put together in device pixels: at a pixel ratio of 2 both grabs are twice the window size.
            QImage viewer = pUnder->grab().toImage();
            viewer.setDevicePixelRatio(1.0);
            image.setDevicePixelRatio(1.0);
            QImage both(viewer.width() + 8 + image.width(), std::max(viewer.height(), image.height()),
                        QImage::Format_RGB32);
            both.fill(pUnder->palette().color(QPalette::Window));
            QPainter painter(&both);
            painter.drawImage(0, 0, viewer);
            painter.drawImage(viewer.width() + 8, 0, image);
            painter.end();
            image = both;
            std::fprintf(stderr, "lumora: a message box is up; the screenshot shows the viewer (left) and the box "
                                 "(right) side by side\n");
        }
        std::string szError;
        if (image.isNull() || !SavePngFile(image, QFile::encodeName(szOut).toStdString(), szError)) {
            std::fprintf(stderr, "lumora: cannot write the screenshot %s: %s\n", qPrintable(szOut), szError.c_str());
            g_iScreenshotExit = 73;
        } else {
            std::printf("%s\n", qPrintable(szOut));
            std::fflush(stdout);
            g_iScreenshotExit = 0;
        }
        // From here on every window is closed as it appears, and every nested
        // modal loop is left; the launcher then ends as it would.
        pClosingSince->start();
    });
    pTimer->start(kPollMs);
}

namespace {
// For desktops that hand Qt no theme (and for pictures of the dark look): the
// Fusion style with dark window colours; the views keep their own colours.
void UseDarkPalette()
{
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QPalette pal;
    const QColor window(53, 53, 53), base(35, 35, 35), text(230, 230, 230), accent(42, 130, 218);
    pal.setColor(QPalette::Window, window);
    pal.setColor(QPalette::WindowText, text);
    pal.setColor(QPalette::Base, base);
    pal.setColor(QPalette::AlternateBase, window);
    pal.setColor(QPalette::ToolTipBase, QColor(40, 40, 40));
    pal.setColor(QPalette::ToolTipText, text);
    pal.setColor(QPalette::PlaceholderText, QColor(150, 150, 150));
    pal.setColor(QPalette::Text, text);
    pal.setColor(QPalette::Button, window);
    pal.setColor(QPalette::ButtonText, text);
    pal.setColor(QPalette::BrightText, QColor(255, 80, 80));
    pal.setColor(QPalette::Link, accent);
    pal.setColor(QPalette::Highlight, accent);
    pal.setColor(QPalette::HighlightedText, Qt::black);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        pal.setColor(QPalette::Disabled, role, QColor(127, 127, 127));
    QApplication::setPalette(pal);
}
} // namespace

int RunLumora(int argc, char** argv)
{
    // Answered before the application object exists, which would need a display.
    for (int i = 1; i < argc; ++i) {
        const std::string szArg = argv[i];
        if (szArg == "--help" || szArg == "-h") {
            std::printf("usage: lumora [FILE]\n"
                        "       lumora --screenshot OUT.png [FILE]\n"
                        "       lumora --dark [--screenshot OUT.png] [FILE]\n"
                        "       lumora --help | --version\n"
                        "\n"
                        "Opens FILE in the viewer its header names, or the launcher when none is given.\n"
                        "\n"
                        "  --dark                dark window colours, whatever the desktop's theme says\n"
                        "  --screenshot OUT.png  start as usual, save the window that appears as PNG and exit\n"
                        "  --help                show this text and exit\n"
                        "  --version             show the version and exit\n");
            return 0;
        }
        if (szArg == "--version") {
            std::printf("%s\n", VersionLine("lumora").c_str());
            return 0;
        }
    }
    // Without a display Qt would abort with its own message about plugins;
    // a screenshot needs no display at all.
    const auto bSet = [](const char* szName) { const char* p = std::getenv(szName); return p && *p; };
    if (!bSet("QT_QPA_PLATFORM") && !bSet("DISPLAY") && !bSet("WAYLAND_DISPLAY")) {
        bool bScreenshot = false;
        for (int i = 1; i < argc; ++i)
            bScreenshot = bScreenshot || std::string(argv[i]) == "--screenshot";
        if (!bScreenshot) {
            std::fprintf(stderr, "lumora: no display to open a window on (neither DISPLAY nor WAYLAND_DISPLAY is set)\n"
                                 "To draw a file into a picture: lumora-cli render FILE -o FILE.png\n");
            return 1;
        }
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    InstallTerminationHandler();
    QApplication app(argc, argv);
    // Docks and task bars match the windows to the desktop entry by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("lumora"));
    RegisterAllKinds();
    RegisterAllViewers();
    InstallMessageBoxHandler();

    int iFirst = 1;
    bool bScreenshot = false;
    if (iFirst < argc && std::string(argv[iFirst]) == "--dark") {
        UseDarkPalette();
        ++iFirst;
    }
    if (iFirst < argc && std::string(argv[iFirst]) == "--screenshot") {
        if (argc < iFirst + 2) {
            std::fprintf(stderr, "usage: lumora [--dark] [--screenshot OUT.png] [FILE]\n");
            return 64;
        }
        StartScreenshotWatch(QString::fromLocal8Bit(argv[iFirst + 1]));
        bScreenshot = true;
        iFirst += 2;
    }
    // Screenshots show each window at its own size, wherever it was left last time.
    InstallViewerHabits(!bScreenshot);
    CViewerApp viewerApp;
    viewerApp.InitInstance(JoinCommandLine(argc, argv, iFirst));
    return bScreenshot ? ScreenshotExitCode() : 0;
}
