#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <cstdio>
#include <string>

#include "CliMain.h"
#include "app/StartupRecognition.h"
#include "app/ui/UiRegistry.h"
#include "platform/AtomicFile.h"

namespace {
bool ParseSize(const std::string& sz, QSize& size)
{
    int w = 0, h = 0;
    char cTail = 0;
    if (std::sscanf(sz.c_str(), "%dx%d%c", &w, &h, &cTail) != 2 || w <= 0 || h <= 0 || w > 20000 || h > 20000)
        return false;
    size = QSize(w, h);
    return true;
}
} // namespace

void AddRenderCommand(CLI::App& app, int& iExit)
{
    struct COptions {
        std::string m_szFile, m_szOut, m_szSize, m_szAs;
    };
    auto pOpt = std::make_shared<COptions>();
    CLI::App* pCmd = app.add_subcommand("render", RENDER_COMMAND_TEXT);
    pCmd->add_option("FILE", pOpt->m_szFile, "Data file")->required();
    pCmd->add_option("-o,--output", pOpt->m_szOut, "PNG to write")->required();
    pCmd->add_option("--size", pOpt->m_szSize, "Size of the view, WxH (default: the dialog's own)");
    AddAsOption(pCmd, pOpt->m_szAs);
    pCmd->callback([pOpt, &iExit] {
        QSize size;
        if (!pOpt->m_szSize.empty() && !ParseSize(pOpt->m_szSize, size)) {
            std::fprintf(stderr, "lumora-cli render: --size wants WxH with both between 1 and 20000, not \"%s\"\n",
                         pOpt->m_szSize.c_str());
            iExit = CLI_EXIT_USAGE;
            return;
        }
        RegisterAllKinds();
        CFileDescription desc;
        const EDescribeStatus status = DescribeFile(pOpt->m_szFile, pOpt->m_szAs, desc);
        if (status == DESCRIBE_MISSING) {
            std::fprintf(stderr, "lumora-cli render: %s: cannot be read: %s\n", pOpt->m_szFile.c_str(),
                         DescriptionProblem(desc).c_str());
            iExit = CLI_EXIT_NOINPUT;
            return;
        }
        if (status == DESCRIBE_MALFORMED) {
            std::fprintf(stderr, "lumora-cli render: %s: malformed %s file: %s\n", pOpt->m_szFile.c_str(),
                         desc.m_szKind.c_str(), DescriptionProblem(desc).c_str());
            iExit = CLI_EXIT_DATAERR;
            return;
        }
        // Drawing needs a GUI application object, never a display.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int s_argc = 1;
        static char s_szName[] = "lumora-cli";
        static char* s_argv[] = {s_szName, nullptr};
        QApplication qtApp(s_argc, s_argv);
        RegisterAllViewers();
        // The view of the dialog that finally shows the file, so the picture
        // is the window a double-click opens.
        if (desc.m_szKind == KIND_RAWDEX) {
            std::fprintf(stderr,
                         "lumora-cli render: %s: no view of rawdex files: a packed file shows nothing itself; "
                         "unpack it (lumora-cli unpack) and render one of the files it holds\n",
                         pOpt->m_szFile.c_str());
            iExit = CLI_EXIT_DATAERR;
            return;
        }
        const std::string szViewer = ViewerShowing(desc);
        const FileRenderer* pRenderer = CUiRegistry::Instance().FindViewRenderer(szViewer);
        std::string szKind = desc.m_szKind;
        if (const CLauncherButton* pButton = FindLauncherButton(pOpt->m_szAs); pButton && szKind == KIND_UNKNOWN)
            szKind = pButton->m_pKind->m_szId;
        // Kinds whose first viewer shows them itself may still draw by kind.
        if (!pRenderer && !desc.m_szShownBy)
            pRenderer = CUiRegistry::Instance().FindRenderer(szKind);
        if (!pRenderer) {
            std::fprintf(stderr, "lumora-cli render: %s: no view of %s files is available in this build%s%s\n",
                         pOpt->m_szFile.c_str(), szKind.c_str(), szViewer.empty() ? "" : ": they open in ",
                         szViewer.c_str());
            iExit = CLI_EXIT_DATAERR;
            return;
        }
        QImage image;
        std::string szError;
        if (!(*pRenderer)(pOpt->m_szFile, pOpt->m_szAs, size, image, szError) || image.isNull()) {
            if (szError.empty())
                szError = "the view could not be drawn";
            // Viewers' own messages often name the file already.
            if (szError.compare(0, pOpt->m_szFile.size(), pOpt->m_szFile) != 0)
                szError = pOpt->m_szFile + ": " + szError;
            std::fprintf(stderr, "lumora-cli render: %s\n", szError.c_str());
            iExit = CLI_EXIT_DATAERR;
            return;
        }
        // Encoded in memory, then written through the core's atomic save, whose
        // temporary an interrupt removes.
        QByteArray png;
        QBuffer buffer(&png);
        std::string szWriteError = "the picture cannot be encoded";
        if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG") ||
            !WriteFileAtomically(pOpt->m_szOut, png.constData(), static_cast<size_t>(png.size()), &szWriteError)) {
            std::fprintf(stderr, "lumora-cli render: cannot write %s: %s\n", pOpt->m_szOut.c_str(), szWriteError.c_str());
            iExit = CLI_EXIT_CANTCREAT;
            return;
        }
        std::printf("%s\n", pOpt->m_szOut.c_str());
        iExit = CLI_EXIT_OK;
    });
}
