#include <QImage>

#include "testtools/ui/TestToolRegistration.h"
#include "platform/Messages.h"
#include "testtools/StarTestPicture.h"
#include "testtools/ui/LiveTestDialogs.h"
#include "testtools/ui/PictureView.h"
#include "testtools/ui/StarTestDialog.h"
#include "testtools/ui/TonalResolutionDialog.h"

void RegisterTestToolViewers(CUiRegistry& reg)
{
    reg.AddViewer("CStarTest_Dialog", [](const CViewerRequest& r) {
        CStarTest_Dialog dlg(r.m_pParent);
        if (!r.m_szFile.empty()) dlg.SetFileName(r.m_szFile);
        return dlg.exec();
    });
    reg.AddViewer("CTonalResolutionDialog", [](const CViewerRequest& r) {
        CTonalResolutionDialog dlg(r.m_pParent);
        if (!r.m_szFile.empty()) dlg.SetFileName(r.m_szFile);
        return dlg.exec();
    });
    reg.AddViewer("CPictureView_Dialog", [](const CViewerRequest& r) {
        CPicture pic;
        std::string szError;
        if (!r.m_szFile.empty() && !LoadStarTestRawPicture(r.m_szFile, pic, szError)) {
            ShowMessage(r.m_szFile + ": " + szError, "Picture View Dialog");
            return 0;
        }
        CPictureView_Dialog dlg(r.m_pParent);
        dlg.SetPicture(&pic);
        return dlg.exec();
    });
    reg.AddViewer("CAdjustCenterCCD_Dialog", [](const CViewerRequest& r) {
        CAdjustCenterCCD_Dialog dlg(r.m_pParent);
        if (!r.m_szFile.empty()) dlg.SetFileName(r.m_szFile);
        return dlg.exec();
    });
    reg.AddViewer("CVerticalCameraVerification_Dialog", [](const CViewerRequest& r) {
        CVerticalCameraVerification_Dialog dlg(r.m_pParent);
        if (!r.m_szFile.empty()) dlg.SetFileName(r.m_szFile);
        return dlg.exec();
    });
    // The size of the dialogs' own display.
    reg.AddRenderer("scan-line-positioning", [](const std::string& szFile, const std::string&, QSize size,
                                                QImage& image, std::string& szError) {
        if (!size.isValid()) size = QSize(799, 499);
        return RenderPositioningFile(szFile, size.width(), size.height(), image, szError);
    });
    reg.AddRenderer("mirror-carriage-adjustment", [](const std::string& szFile, const std::string&, QSize size,
                                                     QImage& image, std::string& szError) {
        if (!size.isValid()) size = QSize(799, 499);
        return RenderCarriageFile(szFile, size.width(), size.height(), image, szError);
    });
    reg.AddRenderer("star-test", [](const std::string& szFile, const std::string&, QSize size, QImage& image,
                                    std::string& szError) {
        if (!size.isValid()) size = QSize(800, 500);
        return RenderStarTestFile(szFile, size.width(), size.height(), image, szError);
    });
    reg.AddRenderer("tonal-resolution", [](const std::string& szFile, const std::string&, QSize size, QImage& image,
                                           std::string& szError) {
        if (!size.isValid()) size = QSize(640, 480);
        return RenderTonalResolutionFile(szFile, size.width(), size.height(), image, szError);
    });
}
