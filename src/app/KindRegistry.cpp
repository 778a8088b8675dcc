#include "app/KindRegistry.h"

#include <mutex>

CKindRegistry& CKindRegistry::Instance()
{
    static CKindRegistry registry;
    return registry;
}

const KindDescriber* CKindRegistry::FindDescriber(const std::string& szKind) const
{
    auto it = m_Describers.find(szKind);
    return it == m_Describers.end() ? nullptr : &it->second;
}

const PictureReader* CKindRegistry::FindPictureReader(const std::string& szKind) const
{
    auto it = m_PictureReaders.find(szKind);
    return it == m_PictureReaders.end() ? nullptr : &it->second;
}

void RegisterAllKinds()
{
    static std::once_flag once;
    std::call_once(once, [] {
        CKindRegistry& reg = CKindRegistry::Instance();
        RegisterDataFileKinds(reg);
        RegisterLightProfileKinds(reg);
        RegisterStitchNoiseKinds(reg);
        RegisterImagingKinds(reg);
        RegisterScannerKinds(reg);
        RegisterTestToolKinds(reg);
    });
}
