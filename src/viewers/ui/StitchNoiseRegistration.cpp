#include "viewers/ui/ViewerRegistration.h"

#include <QFileDialog>
#include <QPainter>

#include "datafiles/Settings.h"
#include "viewers/CameraCheckProfile.h"
#include "viewers/NoiseRecord.h"
#include "viewers/StitchPicture.h"
#include "viewers/ui/CameraCheckView.h"
#include "viewers/ui/NoiseViews.h"
#include "viewers/ui/StitchView.h"
#include "platform/Messages.h"
#include "viewers/ui/ViewerFiles.h"

namespace {

// The view areas of the dialogs at their opening size.
const QSize kStitchViewSize(884, 600);
const QSize kNoiseGraphSize(860, 500);
const QSize kCheckViewSize(880, 300);

QSize Pick(QSize size, QSize fallback)
{
    return size.isValid() && !size.isEmpty() ? size : fallback;
}

QImage NewSurface(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

void ShowAll(const std::vector<std::string>& messages)
{
    for (const std::string& sz : messages)
        ShowMessage(sz);
}

bool RenderStitch(const std::string& szFile, const std::string& /*szAs*/, QSize size, QImage& image,
                  std::string& szError)
{
    // Both the start-up recognition and "View &Stitching Area" hand the file to
    // the same loader, which decides the form by the file's own header.
    CStitchPicture picture;
    std::shared_ptr<CStitchImage> pImage;
    std::vector<std::string> messages;
    const bool bLoaded = LoadStitchImage(szFile, picture, pImage, messages, szError);
    if (bLoaded)
        pImage->Picture().CheckRows(messages);
    ShowAll(messages);
    if (!bLoaded)
        return false;
    size = Pick(size, kStitchViewSize);
    CStitchView view;
    view.m_iWidth = pImage->Picture().m_iWidth;
    view.m_iHeight = pImage->Picture().m_iHeight;
    view.m_iClientWidth = size.width();
    view.m_iClientHeight = size.height();
    view.Reset();
    image = NewSurface(size);
    QPainter painter(&image);
    PaintStitchView(painter, size, view, pImage.get());
    return true;
}

bool LoadNoise(const std::string& szFile, CNoiseRecord& record, std::string& szError)
{
    if (record.ReadNoiseFile(szFile))
        return true;
    szError = record.m_szError;
    ShowMessage(szError);
    return false;
}

// "[Noise Test]" files open in the noise test dialog.
bool RenderNoiseTest(const std::string& szFile, const std::string& /*szAs*/, QSize size, QImage& image,
                     std::string& szError)
{
    CNoiseRecord record;
    if (!LoadNoise(szFile, record, szError))
        return false;
    size = Pick(size, kNoiseGraphSize);
    CNoiseZoom zoom;
    zoom.Reset(record.m_iWidth);
    CNoiseGraphOptions options;
    options.m_iColor = record.m_bColorScanner ? 0 : 1;
    std::string szUnit;
    GetToolSetting("Miscellaneous", "Unit", "Inch", szUnit);
    options.m_iUnit = NoiseUnitFromText(szUnit);
    image = NewSurface(size);
    QPainter painter(&image);
    PaintNoiseGraph(painter, size, record, zoom, options);
    return true;
}

// Headerless noise files reach the noise check through the light profile viewer.
bool RenderNoiseCheck(const std::string& szFile, const std::string& /*szAs*/, QSize size, QImage& image,
                      std::string& szError)
{
    CNoiseRecord record;
    if (!LoadNoise(szFile, record, szError))
        return false;
    int32_t iLimit = -1;
    std::string szMessage;
    if (!LookupNoiseLimit(record.m_uModelCode, iLimit, szMessage) && !szMessage.empty())
        ShowMessage(szMessage);
    size = Pick(size, kNoiseGraphSize);
    CNoiseZoom zoom;
    zoom.Reset(record.m_iWidth);
    CNoiseGraphOptions options;
    options.m_iColor = record.m_bColorScanner ? 0 : 1;
    options.m_bMarks = false;
    options.m_iLimit = iLimit > 0 ? iLimit : -1;
    image = NewSurface(size);
    QPainter painter(&image);
    PaintNoiseGraph(painter, size, record, zoom, options);
    return true;
}

bool RenderCameraCheck(const std::string& szFile, const std::string& /*szAs*/, QSize size, QImage& image,
                       std::string& szError)
{
    CCameraCheckProfile profile;
    std::vector<std::string> messages;
    const bool bLoaded = profile.Load(szFile, messages, szError);
    ShowAll(messages);
    if (!bLoaded)
        return false;
    size = Pick(size, kCheckViewSize);
    CCameraCheckView view;
    view.m_iProfileWidth = profile.m_iWidth;
    view.m_iViewWidth = size.width();
    view.m_iViewHeight = size.height();
    view.ShowAll();
    image = NewSurface(size);
    QPainter painter(&image);
    PaintCameraCheckView(painter, size, profile, view);
    return true;
}

int RunStitch(const CViewerRequest& request)
{
    CView_Stitch_Dialog dlg(request.m_pParent);
    dlg.SetMainDialog(request.m_pParent);
    if (request.m_bFileGiven && !request.m_szFile.empty())
        dlg.SetFileName(request.m_szFile);
    return dlg.exec();
}

int RunNoiseTest(const CViewerRequest& request)
{
    CNoiseTest_SM_Dialog dlg(request.m_pParent);
    if (!request.m_szFile.empty())
        dlg.SetFileName(request.m_szFile);
    return dlg.exec();
}

int RunNoiseCheck(const CViewerRequest& request)
{
    CNCTest_Dialog dlg(request.m_pParent);
    if (!request.m_szFile.empty()) {
        dlg.SetFileName(request.m_szFile);
    } else {
        CFileDialogRequest ask;
        ask.m_szTitle = "Open";
        ask.m_Filters = QtFileFilters(kStitchFilter);
        ask.m_szSuffix = "con";
        ask.m_szName = "*.con";
        const QString szFile = AskForFile(request.m_pParent, ask);
        if (szFile.isEmpty() || !dlg.ChooseFile(szFile.toStdString()))
            return QDialog::Rejected;
    }
    return dlg.exec();
}

int RunCameraCheck(const CViewerRequest& request)
{
    COstra_Check_Camera_Adjustment_Test_Dialog dlg(request.m_pParent);
    if (!request.m_szFile.empty())
        dlg.SetFileName(request.m_szFile);
    return dlg.exec();
}

}  // namespace

void RegisterStitchNoiseViewers(CUiRegistry& reg)
{
    reg.AddViewer(VIEWER_STITCH, &RunStitch);
    reg.AddViewer(VIEWER_NOISE_TEST, &RunNoiseTest);
    reg.AddViewer(VIEWER_NOISE_CHECK, &RunNoiseCheck);
    reg.AddViewer(VIEWER_CAMERA_CHECK, &RunCameraCheck);
    reg.AddRenderer(KIND_STITCH_TEST, &RenderStitch);
    reg.AddRenderer(KIND_HEADERLESS_STITCH, &RenderStitch);
    reg.AddRenderer(KIND_NOISE_TEST, &RenderNoiseTest);
    reg.AddRenderer(KIND_HEADERLESS_NOISE, &RenderNoiseCheck);
    reg.AddRenderer(KIND_CAMERA_ADJUSTMENT_CHECK, &RenderCameraCheck);
    reg.AddViewRenderer(VIEWER_STITCH, &RenderStitch);
    reg.AddViewRenderer(VIEWER_NOISE_TEST, &RenderNoiseTest);
    reg.AddViewRenderer(VIEWER_NOISE_CHECK, &RenderNoiseCheck);
    reg.AddViewRenderer(VIEWER_CAMERA_CHECK, &RenderCameraCheck);
}
