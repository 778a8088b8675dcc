#pragma once
// What both light profile viewers share: the file dialog, the hand-over of
// other kinds to their viewers, the Rawdex unpack, the scanner settings
// question for files that do not describe themselves, saves, the menus and
// the way to the printer.
#include <QString>
#include <functional>
#include <string>

#include "viewers/LightProfileFile.h"

class QDialog;
class QImage;
class QMenuBar;
class QPrinter;
class QWidget;

QString ChooseLightProfileFile(QWidget* parent, const QString& szFolder = QString());
// Runs the registered viewer on the file, or says which viewer would show it.
void HandLightProfileFileOver(QWidget* parent, const std::string& szViewer, const std::string& szFile);
// Tells the user, then unpacks the Rawdex file next to itself.
bool UnpackRawdexForViewer(const std::string& szFile);

enum LPF_VIEWER_LOAD { LPF_VIEWER_LOADED, LPF_VIEWER_KEPT, LPF_VIEWER_END, LPF_VIEWER_HANDED_OVER };
// Loads szFile the way the viewer eViewer does, with every question and
// message on the way. LPF_VIEWER_LOADED: profile holds the new profile.
// LPF_VIEWER_KEPT: nothing new (handed over, failed, cancelled file dialog).
// LPF_VIEWER_END: the user cancelled the scanner settings; the viewer closes.
// LPF_VIEWER_HANDED_OVER: a viewer that held nothing (bHoldsProfile false)
// passed the file on; it was hidden before the other viewer opened and
// closes now, so the technician is left with the window that shows the file.
// A viewer holding a profile stays behind and keeps it (LPF_VIEWER_KEPT).
// chooser picks the next file after a Rawdex unpack.
LPF_VIEWER_LOAD LoadIntoViewer(QWidget* parent, std::string szFile, LPF_VIEWER eViewer, CLightProfile& profile,
                               const std::function<QString(const QString& szFolder)>& chooser,
                               bool bHoldsProfile = true);

// Writes the bytes so that a failed save leaves the old file as it was.
bool SaveBytesAtomically(QWidget* parent, const QString& szFile, const QByteArray& bytes);
bool SavePngAtomically(QWidget* parent, const QString& szFile, const QImage& image);

// What the menus of a light profile viewer do; the dialog supplies each.
struct CLpfViewerActions {
    std::function<void()> m_Open;
    std::function<bool(const QString& szFile)> m_ExportPng;
    std::function<bool(const QString& szFile)> m_ExportCsv;
    std::function<void()> m_Print;
    std::function<void()> m_ZoomIn;
    std::function<void()> m_ZoomOut;
    std::function<void()> m_ZoomAll;
    std::function<void()> m_HeaderInfo;
};
// The File and View menus with their keys ("=" zooms in as "+" does).
QMenuBar* MakeLightProfileMenuBar(QDialog* pDialog, const CLpfViewerActions& actions);

// Prints to szPrintFile as PDF when one is set (headless runs), else through
// the print dialog; printTo draws the pages.
// The print dialog proposes "<data file>.pdf" for printing to a file.
void PrintLightProfile(QWidget* parent, const QString& szPrintFile, const std::function<bool(QPrinter&)>& printTo,
                       const std::string& szDataFile = {});
