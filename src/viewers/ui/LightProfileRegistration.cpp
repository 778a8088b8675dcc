#include "viewers/ui/ViewerRegistration.h"

#include <QPainter>
#include <type_traits>

#include "datafiles/ConFile.h"
#include "viewers/LightProfileFile.h"
#include "viewers/LightProfileSamples.h"
#include "viewers/LightProfileView.h"
#include "widgets/ui/LPFControle.h"
#include "viewers/ui/LPFDialog.h"
#include "viewers/ui/LPFViewDialog.h"

namespace {

template <class Dialog> int RunViewer(const CViewerRequest& request)
{
    Dialog dlg(request.m_pParent);
    if (request.m_bFileGiven && !request.m_szFile.empty())
        dlg.SetFileName(request.m_szFile);
    if constexpr (std::is_same_v<Dialog, CView_LPF_Dialog>)
        dlg.SetDataFolder(request.m_szDataFolder);
    return dlg.exec();
}

// Why a load that ended short of a profile drew nothing.
std::string RefusalText(const std::string& szFile, const CLightProfileLoad& load)
{
    if (load.m_eOutcome == LPF_LOAD_FAILED)
        return load.m_szError;
    if (load.m_eOutcome == LPF_LOAD_HAND_OVER)
        return szFile + ": shown by " + load.m_szViewer + ", not as a light profile";
    return szFile + ": not a light profile";
}

// Draws the graph CLPF_Dialog shows after the launcher's "View &Light
// Profile" button handed it the file: a file it cannot describe is taken with
// the scanner settings dialog's initial choices, and a 32-bit profile is
// spread into its [-32:31] view.
bool RenderLaunchedLightProfile(const std::string& szFile, QSize size, QImage& image, std::string& szError)
{
    CLightProfileLoad load = LoadLightProfile(szFile, LPF_VIEWER_DIALOG);
    if (load.m_eOutcome == LPF_LOAD_ASK_SETTINGS)
        load = LoadLightProfileWithSettings(szFile, CScannerSettings());
    if (load.m_eOutcome != LPF_LOAD_OK) {
        szError = RefusalText(szFile, load);
        return false;
    }
    const CLightProfile& p = load.m_Profile;
    CLPFGraph graph;
    graph.SetData(p.m_Data.data(), static_cast<int64_t>(p.m_Data.size()), p.m_iColor);
    if (p.m_bSigned32Profile)
        graph.SetDisplayMode(LPF_MODE_SIGNED32);
    graph.ZoomAll();
    image = RenderLPFGraph(graph, size.isValid() && !size.isEmpty() ? size : DefaultLPFGraphSize());
    return true;
}

// Draws a file exactly as CView_LPF_Dialog shows it after loading.
bool RenderLightProfile(const std::string& szFile, const std::string& szAs, QSize size, QImage& image,
                        std::string& szError)
{
    if (szAs == AS_LIGHT_PROFILE.m_szAs)
        return RenderLaunchedLightProfile(szFile, size, image, szError);
    CLightProfileLoad load = LoadLightProfile(szFile, LPF_VIEWER_FILE);
    if (load.m_eOutcome != LPF_LOAD_OK) {
        szError = RefusalText(szFile, load);
        return false;
    }
    const CLightProfile& p = load.m_Profile;
    CLPFView view;
    view.SetData(p.m_Data.data(), static_cast<int64_t>(p.m_Data.size()));
    view.SetScanner(p.m_iGeneration, p.m_bColorScanner, p.m_iCamera, p.m_iCameraCount, p.m_dWidthFactor);
    view.SetCaption(LightProfileFlashCaption(szFile));
    image = RenderLPFView(view, size.isValid() && !size.isEmpty() ? size : DefaultLPFViewSize());
    return true;
}

} // namespace

void RegisterLightProfileViewers(CUiRegistry& reg)
{
    reg.AddViewer(VIEWER_LIGHT_PROFILE_FILE, &RunViewer<CView_LPF_Dialog>);
    reg.AddViewer(VIEWER_LIGHT_PROFILE, &RunViewer<CLPF_Dialog>);
    reg.AddRenderer(KIND_LIGHT_PROFILE, &RenderLightProfile);
    reg.AddRenderer(KIND_HEADERLESS_LIGHT_PROFILE, &RenderLightProfile);
    reg.AddViewRenderer(VIEWER_LIGHT_PROFILE_FILE, [](const std::string& szFile, const std::string&, QSize size, QImage& image,
                                               std::string& szError) {
        return RenderLightProfile(szFile, std::string(), size, image, szError);
    });
    reg.AddViewRenderer(VIEWER_LIGHT_PROFILE, [](const std::string& szFile, const std::string&, QSize size, QImage& image,
                                          std::string& szError) {
        return RenderLaunchedLightProfile(szFile, size, image, szError);
    });
}
