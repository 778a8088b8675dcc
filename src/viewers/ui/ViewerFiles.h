#pragma once
// File dialogs of the viewers in one place: the filters as the dialogs name
// them, the folder they start in (the one the sibling test tool recorded
// last), and the desktop's recently used list every chosen file goes into.
// Tests put a hook in place of the dialog to see what it would have asked.
#include <QString>
#include <QStringList>
#include <functional>
#include <string>

class QWidget;

struct CFileDialogRequest {
    bool m_bSave = false;
    QString m_szTitle;
    QStringList m_Filters; // Qt form, see QtFileFilters
    QString m_szSuffix;    // added to a name typed without one
    QString m_szFolder;    // empty: the folder last used for results
    QString m_szName;      // proposed name or pattern ("*.con")
};
using FileDialogHook = std::function<QString(QWidget* pParent, const CFileDialogRequest& request)>;

// Replaces every viewer file dialog (tests); an empty hook restores them.
void SetFileDialogHook(FileDialogHook hook);

// Asks for a file; empty when cancelled. A chosen file joins the desktop's
// recently used list.
QString AskForFile(QWidget* pParent, CFileDialogRequest request);

// "Name (*.CON)|*.con|All Files (*.*)|*.*||" as Qt filters: each label with
// its pattern in both cases ("*.*" matches every name).
QStringList QtFileFilters(const std::string& szFilter);

// Adds the file to the desktop's recently used list and to the program's own
// recent files; a list that cannot be written is only logged.
void NoteRecentFile(const QString& szFile);

// The resource strings the viewers' file dialogs use.
inline constexpr const char* kLightProfileFilter =
    "Light Profile file (*.CON)|*.con|*_LPF.CON)|*_lpf.con|All Files (*.*)|*.*||";
inline constexpr const char* kStitchFilter = "Stitch file (*.CON)|*.con|*_STI.CON)|*_sti.con|All Files (*.*)|*.*||";
// The noise test's own files; the noise check keeps the stitch filter.
inline constexpr const char* kNoiseTestFilter =
    "Noise Test file (*.CON)|*.con|*_NOI.CON)|*_noi.con|All Files (*.*)|*.*||";
