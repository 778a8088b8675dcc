#include "datafiles/FileKinds.h"

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

const ViewerHandOver* CKindRegistry::FindHandOver(const std::string& szViewer) const
{
    auto it = m_HandOvers.find(szViewer);
    return it == m_HandOvers.end() ? nullptr : &it->second;
}

const DataTableReader* CKindRegistry::FindDataTable(const std::string& szKind) const
{
    auto it = m_DataTables.find(szKind);
    return it == m_DataTables.end() ? nullptr : &it->second;
}
