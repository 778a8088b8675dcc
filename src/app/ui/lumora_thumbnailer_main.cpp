// lumora-thumbnailer: the file manager's small picture of a ".con" file,
// drawn by the viewer's own painting code and scaled to fit the size asked
// for. Called as the .thumbnailer entry says: -s SIZE INPUT OUTPUT.
#include <QApplication>
#include <QUrl>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/KindRegistry.h"
#include "app/ui/FileRender.h"
#include "app/ui/UiRegistry.h"
#include "datafiles/VersionInfo.h"
#include "platform/Log.h"
#include "platform/Messages.h"
#include "platform/ui/QtMessages.h"

namespace {
int Usage()
{
    std::fprintf(stderr, "usage: lumora-thumbnailer [-s SIZE] INPUT OUTPUT.png\n");
    return 64;
}
} // namespace

int main(int argc, char** argv)
{
    int iSize = 256;
    std::string szIn, szOut;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s\n", VersionLine("lumora-thumbnailer").c_str());
            return 0;
        }
        if (std::strcmp(argv[i], "-s") == 0 && i + 1 < argc) {
            char* pEnd = nullptr;
            const long l = std::strtol(argv[++i], &pEnd, 10);
            if (*pEnd || l < 8 || l > 2048)
                return Usage();
            iSize = static_cast<int>(l);
        } else if (szIn.empty()) {
            szIn = argv[i];
        } else if (szOut.empty()) {
            szOut = argv[i];
        } else {
            return Usage();
        }
    }
    if (szIn.empty() || szOut.empty())
        return Usage();
    // File managers may hand a URI (%u) instead of a path (%i).
    if (szIn.rfind("file://", 0) == 0)
        szIn = QUrl(QString::fromStdString(szIn)).toLocalFile().toStdString();
    // No display, no message boxes: what a viewer would say goes to the log.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    SendQtMessagesToLog();
    SetMessageHandler([](const std::string& szText, const std::string&) { Log_Msg_Txt("lumora-thumbnailer:", szText); });
    QApplication app(argc, argv);
    RegisterAllKinds();
    RegisterAllViewers();
    QImage image;
    std::string szError;
    if (RenderFileView(szIn, std::string(), QSize(), image, szError) != RENDER_OK) {
        std::fprintf(stderr, "lumora-thumbnailer: %s\n", szError.c_str());
        return 65;
    }
    if (image.width() > iSize || image.height() > iSize)
        image = image.scaled(iSize, iSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (!SavePngFile(image, szOut, szError)) {
        std::fprintf(stderr, "lumora-thumbnailer: cannot write %s: %s\n", szOut.c_str(), szError.c_str());
        return 73;
    }
    return 0;
}
