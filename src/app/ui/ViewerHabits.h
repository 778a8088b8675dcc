#pragma once
// What every viewer window does the way desktop programs do, in one place
// rather than in each dialog: export (PNG of the view, CSV of its numbers),
// the standard keys, files dropped onto it, the recent files, and its place
// on the screen between runs. Installed once on the application; it takes
// up every registered viewer as it appears.
#include <QString>
#include <string>

class QMenu;
class QWidget;

// bRememberPlaces false (screenshots) leaves window places alone.
void InstallViewerHabits(bool bRememberPlaces);

// The file a viewer window shows: its window file path, else the file it
// was opened on. Empty when it shows none.
std::string ViewerFileOf(const QWidget* pWindow);

// What the export of a viewer writes; used by its dialog and by tests.
enum EViewerExport { EXPORT_PNG_SCREEN, EXPORT_PNG_SIZED, EXPORT_CSV };
// Writes szOut atomically; false after telling the user (file and problem named).
bool ExportViewer(QWidget* pWindow, EViewerExport eWhat, const std::string& szOut, int iWidth = 0, int iHeight = 0);

// Opens a dropped (or recent) file in the viewer its header names, over
// pWindow; a folder, a non-data file or a vanished file get a message and
// nothing changes. True when a viewer ran.
bool OpenDroppedFile(QWidget* pWindow, const std::string& szFile);

// The recent files (vanished ones left out) as entries of pRecent; each opens
// its file over pWindow.
void FillRecentFilesMenu(QMenu* pRecent, QWidget* pWindow);
