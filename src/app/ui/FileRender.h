#pragma once
// The view of a file drawn by the painting code of the dialog that shows it:
// one path for `lumora-cli render`, the thumbnailer and the viewers' export
// at a chosen size.
#include <QImage>
#include <QSize>
#include <string>

enum ERenderStatus {
    RENDER_OK = 0,
    RENDER_MISSING,   // the file cannot be read
    RENDER_MALFORMED, // recognised, but not drawable (bad header or data, no view of its kind)
};

// Needs a QGuiApplication and the registries filled (RegisterAllKinds,
// RegisterAllViewers). size may be invalid: the dialog's own view size.
// szError names the file and the problem.
ERenderStatus RenderFileView(const std::string& szFile, const std::string& szAs, QSize size, QImage& image,
                             std::string& szError);

// The PNG bytes of an image, written through the atomic save; false with szError set.
bool SavePngFile(const QImage& image, const std::string& szFile, std::string& szError);
