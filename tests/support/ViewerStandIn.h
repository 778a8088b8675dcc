#pragma once
// Swaps a viewer in the registry for the length of a test: another runner,
// or none at all (ViewerRunner()), put back as it was on the way out.
#include <string>
#include <utility>

#include "app/ui/UiRegistry.h"

class CViewerStandIn {
public:
    CViewerStandIn(const std::string& szName, ViewerRunner fn) : m_szName(szName)
    {
        if (const ViewerRunner* p = CUiRegistry::Instance().FindViewer(szName))
            m_Saved = *p;
        CUiRegistry::Instance().AddViewer(szName, std::move(fn));
    }
    ~CViewerStandIn() { CUiRegistry::Instance().AddViewer(m_szName, m_Saved); }
    CViewerStandIn(const CViewerStandIn&) = delete;
    CViewerStandIn& operator=(const CViewerStandIn&) = delete;

private:
    std::string m_szName;
    ViewerRunner m_Saved;
};
