#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/KindRegistry.h"
#include "app/StartupRecognition.h"
#include "app/ui/UiRegistry.h"
#include "support/TestSupport.h"
#include "widgets/ui/UiRegistry.h"

// The records are the only place a kind is named: each is told apart from the
// others, the shipped MIME magic knows every section, and nothing registers a
// describer or renderer under a name no record has.
TEST(KindRecords, UniqueCompleteAndTheOnlyNamesRegistered)
{
    RegisterAllKinds();
    RegisterAllViewers();
    const std::string szMagic = ReadFileBytes(std::string(LUMORA_SOURCE_DIR) + "/resources/lumora-con.xml");
    std::set<std::string> ids, sections, markers;
    for (const CFileKind* pKind : FILE_KINDS) {
        SCOPED_TRACE(pKind->m_szId);
        EXPECT_TRUE(ids.insert(pKind->m_szId).second);
        EXPECT_EQ(FindFileKind(pKind->m_szId), pKind);
        for (const char* szSection : pKind->m_Sections) {
            if (!szSection)
                continue;
            EXPECT_TRUE(sections.insert(szSection).second) << szSection;
            EXPECT_NE(szMagic.find(std::string("value=\"") + szSection + "\""), std::string::npos) << szSection;
            EXPECT_EQ(KindOfSection(szSection), pKind->m_szId);
        }
        if (pKind->m_iMarker11 >= 0)
            EXPECT_TRUE(markers.insert("11:" + std::to_string(pKind->m_iMarker11)).second);
        if (pKind->m_iValue20 >= 0)
            EXPECT_TRUE(markers.insert("20:" + std::to_string(pKind->m_iValue20)).second);
        // A kind that opens a viewer and is not a package can be described.
        if (*pKind->m_szViewer && !pKind->m_bRawdex)
            EXPECT_NE(CKindRegistry::Instance().FindDescriber(pKind->m_szId), nullptr);
    }
    for (const std::string& szKind : CKindRegistry::Instance().DescribedKinds())
        EXPECT_NE(FindFileKind(szKind), nullptr) << szKind;
    for (const std::string& szKind : CUiRegistry::Instance().RenderedKinds())
        EXPECT_NE(FindFileKind(szKind), nullptr) << szKind;
    for (const CLauncherButton* pButton : LAUNCHER_BUTTONS) {
        EXPECT_EQ(FindLauncherButton(pButton->m_szAs), pButton);
        EXPECT_NE(CUiRegistry::Instance().FindViewer(pButton->m_szViewer), nullptr) << pButton->m_szViewer;
    }
}
