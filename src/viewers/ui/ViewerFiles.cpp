#include "viewers/ui/ViewerFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include "datafiles/Settings.h"
#include "platform/Log.h"
#include "viewers/RecentFiles.h"

namespace {
FileDialogHook& Hook()
{
    static FileDialogHook s_Hook;
    return s_Hook;
}
} // namespace

void SetFileDialogHook(FileDialogHook hook)
{
    Hook() = std::move(hook);
}

QStringList QtFileFilters(const std::string& szFilter)
{
    QStringList parts = QString::fromLatin1(szFilter.c_str()).split('|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty())
            break;
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
            if (p == "*.*") {
                patterns << "*";
                continue;
            }
            patterns << p;
            if (p.toUpper() != p)
                patterns << p.toUpper();
        }
        out << parts[i] + " (" + patterns.join(' ') + ")";
    }
    return out;
}

QString AskForFile(QWidget* pParent, CFileDialogRequest request)
{
    if (request.m_szFolder.isEmpty()) {
        const QString szLast = QFile::decodeName(QByteArray::fromStdString(ReadLastPath()));
        if (!szLast.isEmpty() && QFileInfo(szLast).isDir())
            request.m_szFolder = szLast;
    }
    QString szFile;
    if (Hook()) {
        szFile = Hook()(pParent, request);
    } else {
        QFileDialog dlg(pParent, request.m_szTitle);
        dlg.setAcceptMode(request.m_bSave ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dlg.setFileMode(request.m_bSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        dlg.setDefaultSuffix(request.m_szSuffix);
        dlg.setNameFilters(request.m_Filters);
        if (!request.m_szFolder.isEmpty())
            dlg.setDirectory(request.m_szFolder);
        if (!request.m_szName.isEmpty())
            dlg.selectFile(request.m_szName);
        if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty())
            szFile = dlg.selectedFiles().first();
    }
    if (szFile.isEmpty())
        return szFile;
    if (request.m_bSave && !request.m_szSuffix.isEmpty() && QFileInfo(szFile).suffix().isEmpty())
        szFile += "." + request.m_szSuffix;
    if (!request.m_bSave)
        NoteRecentFile(szFile);
    return szFile;
}

void NoteRecentFile(const QString& szFile)
{
    CRecentFileEntry entry;
    entry.m_szFile = QFile::encodeName(QFileInfo(szFile).absoluteFilePath()).toStdString();
    entry.m_szMimeType = "application/x-lumora-con";
    entry.m_szApp = "Lumora 6";
    entry.m_szExec = "'lumora' %u";
    entry.m_szNow = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString();
    const std::string szList = RecentlyUsedFile();
    if (!szList.empty())
        QDir().mkpath(QFileInfo(QString::fromStdString(szList)).absolutePath());
    std::string szError;
    if (!AddRecentFile(szList, entry, szError))
        Log_Msg_Txt("Recently used list not updated:", szError);
    if (!AddToRecentList(RecentListFile(), entry.m_szFile, szError))
        Log_Msg_Txt("Recent files list not updated:", szError);
}
