#pragma once
// What both light profile viewers share around loading: the file dialog, the
// hand-over of other kinds to their viewers, the Rawdex unpack, the scanner
// settings question for files that do not describe themselves, and saves.
#include <QString>
#include <functional>
#include <string>

#include "viewers/LightProfileFile.h"

class QWidget;

QString ChooseLightProfileFile(QWidget* parent, const QString& szFolder = QString());
// Runs the registered viewer on the file, or says which viewer would show it.
void HandLightProfileFileOver(QWidget* parent, const std::string& szViewer, const std::string& szFile);
// Tells the user, then unpacks the Rawdex file next to itself.
bool UnpackRawdexForViewer(const std::string& szFile);

enum LPF_VIEWER_LOAD { LPF_VIEWER_LOADED, LPF_VIEWER_KEPT, LPF_VIEWER_END };
// Loads szFile the way the viewer eViewer does, with every question and
// message on the way. LPF_VIEWER_LOADED: profile holds the new profile.
// LPF_VIEWER_KEPT: nothing new (handed over, failed, cancelled file dialog).
// LPF_VIEWER_END: the user cancelled the scanner settings; the viewer closes.
// chooser picks the next file after a Rawdex unpack.
LPF_VIEWER_LOAD LoadIntoViewer(QWidget* parent, std::string szFile, LPF_VIEWER eViewer, CLightProfile& profile,
                               const std::function<QString(const QString& szFolder)>& chooser);

// Writes the bytes so that a failed save leaves the old file as it was.
bool SaveBytesAtomically(QWidget* parent, const QString& szFile, const QByteArray& bytes);
