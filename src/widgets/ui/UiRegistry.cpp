#include "widgets/ui/UiRegistry.h"

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

const FileRenderer* CUiRegistry::FindViewRenderer(const std::string& szViewer) const
{
    auto it = m_ViewRenderers.find(szViewer);
    return it == m_ViewRenderers.end() ? nullptr : &it->second;
}

std::vector<std::string> CUiRegistry::ViewerNames() const
{
    std::vector<std::string> names;
    for (const auto& kv : m_Viewers)
        names.push_back(kv.first);
    return names;
}
