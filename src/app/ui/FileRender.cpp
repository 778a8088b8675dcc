#include "app/ui/FileRender.h"

#include <QBuffer>

#include "app/StartupRecognition.h"
#include "app/ui/UiRegistry.h"
#include "platform/AtomicFile.h"

ERenderStatus RenderFileView(const std::string& szFile, const std::string& szAs, QSize size, QImage& image,
                             std::string& szError)
{
    CFileDescription desc;
    const EDescribeStatus status = DescribeFile(szFile, szAs, desc);
    if (status == DESCRIBE_MISSING) {
        szError = szFile + ": cannot be read: " + DescriptionProblem(desc);
        return RENDER_MISSING;
    }
    if (status == DESCRIBE_MALFORMED) {
        szError = szFile + ": malformed " + desc.m_szKind + " file: " + DescriptionProblem(desc);
        return RENDER_MALFORMED;
    }
    if (desc.m_szKind == "rawdex") {
        szError = szFile + ": no view of rawdex files: a packed file shows nothing itself; "
                           "unpack it (lumora-cli unpack) and render one of the files it holds";
        return RENDER_MALFORMED;
    }
    // The view of the dialog that finally shows the file, so the picture is
    // the window a double-click opens.
    const std::string szViewer = ViewerShowing(desc);
    const FileRenderer* pRenderer = CUiRegistry::Instance().FindViewRenderer(szViewer);
    std::string szKind = desc.m_szKind;
    if (szKind == "unknown" && !szAs.empty())
        szKind = szAs == "stitch" ? "stitch-test" : "light-profile";
    // Kinds whose first viewer shows them itself may still draw by kind.
    if (!pRenderer && !desc.m_szShownBy)
        pRenderer = CUiRegistry::Instance().FindRenderer(szKind);
    if (!pRenderer) {
        szError = szFile + ": no view of " + szKind + " files is available in this build" +
                  (szViewer.empty() ? "" : ": they open in " + szViewer);
        return RENDER_MALFORMED;
    }
    szError.clear();
    if (!(*pRenderer)(szFile, szAs, size, image, szError) || image.isNull()) {
        if (szError.empty())
            szError = "the view could not be drawn";
        // Viewers' own messages often name the file already.
        if (szError.compare(0, szFile.size(), szFile) != 0)
            szError = szFile + ": " + szError;
        return RENDER_MALFORMED;
    }
    return RENDER_OK;
}

bool SavePngFile(const QImage& image, const std::string& szFile, std::string& szError)
{
    // Encoded in memory, then written through the core's atomic save, whose
    // temporary an interrupt removes.
    QByteArray png;
    QBuffer buffer(&png);
    szError = "the picture cannot be encoded";
    return buffer.open(QIODevice::WriteOnly) && image.save(&buffer, "PNG") &&
           WriteFileAtomically(szFile, png.constData(), static_cast<size_t>(png.size()), &szError);
}
