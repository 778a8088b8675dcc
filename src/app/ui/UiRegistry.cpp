#include "app/ui/UiRegistry.h"

#include <mutex>

CUiRegistry& CUiRegistry::Instance()
{
    static CUiRegistry registry;
    return registry;
}

const ViewerRunner* CUiRegistry::FindViewer(const std::string& szViewer) const
{
    auto it = m_Viewers.find(szViewer);
    return it == m_Viewers.end() ? nullptr : &it->second;
}

const FileRenderer* CUiRegistry::FindRenderer(const std::string& szKind) const
{
    auto it = m_Renderers.find(szKind);
    return it == m_Renderers.end() ? nullptr : &it->second;
}

void RegisterAllViewers()
{
    static std::once_flag once;
    std::call_once(once, [] {
        CUiRegistry& reg = CUiRegistry::Instance();
        RegisterLightProfileViewers(reg);
        RegisterStitchNoiseViewers(reg);
        RegisterTestToolViewers(reg);
        RegisterOscilloscopeViewers(reg);
    });
}
