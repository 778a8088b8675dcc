#include <QApplication>
#include <QImage>
#include <cstdio>
#include <string>

#include "CliMain.h"
#include "app/KindRegistry.h"
#include "app/ui/FileRender.h"
#include "app/ui/UiRegistry.h"

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
    pCmd->add_option("--as", pOpt->m_szAs, "Read the file the way that launcher button hands it to its viewer")
        ->check(CLI::IsMember({"stitch", "light-profile"}));
    pCmd->callback([pOpt, &iExit] {
        QSize size;
        if (!pOpt->m_szSize.empty() && !ParseSize(pOpt->m_szSize, size)) {
            std::fprintf(stderr, "lumora-cli render: --size wants WxH with both between 1 and 20000, not \"%s\"\n",
                         pOpt->m_szSize.c_str());
            iExit = CLI_EXIT_USAGE;
            return;
        }
        RegisterAllKinds();
        // Drawing needs a GUI application object, never a display.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int s_argc = 1;
        static char s_szName[] = "lumora-cli";
        static char* s_argv[] = {s_szName, nullptr};
        QApplication qtApp(s_argc, s_argv);
        RegisterAllViewers();
        QImage image;
        std::string szError;
        const ERenderStatus status = RenderFileView(pOpt->m_szFile, pOpt->m_szAs, size, image, szError);
        if (status != RENDER_OK) {
            std::fprintf(stderr, "lumora-cli render: %s\n", szError.c_str());
            iExit = status == RENDER_MISSING ? CLI_EXIT_NOINPUT : CLI_EXIT_DATAERR;
            return;
        }
        if (!SavePngFile(image, pOpt->m_szOut, szError)) {
            std::fprintf(stderr, "lumora-cli render: cannot write %s: %s\n", pOpt->m_szOut.c_str(), szError.c_str());
            iExit = CLI_EXIT_CANTCREAT;
            return;
        }
        std::printf("%s\n", pOpt->m_szOut.c_str());
        iExit = CLI_EXIT_OK;
    });
}
