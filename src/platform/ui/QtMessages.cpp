#include "platform/ui/QtMessages.h"

#include <QString>
#include <QtGlobal>
#include <cstdio>

#include "platform/Log.h"

void SendQtMessagesToLog()
{
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        const std::string szText = text.toStdString();
        if (type == QtFatalMsg) {
            std::fprintf(stderr, "%s\n", szText.c_str());
            return;
        }
        Log_Msg_Txt("Qt:", szText);
    });
}
