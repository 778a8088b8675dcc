#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "app/KindRegistry.h"
#include "app/StartupRecognition.h"
#include "app/ui/UiRegistry.h"
#include "support/TestSupport.h"
#include "widgets/ui/UiRegistry.h"

namespace {
struct CMagic {
    std::string m_szSection;
    int m_iFirstStart = 0, m_iLastStart = 0;
};

// The desktop's MIME magic for ".con" files, as shipped.
std::vector<CMagic> ShippedMagic()
{
    const std::string szXml = ReadFileBytes(std::string(LUMORA_SOURCE_DIR) + "/resources/lumora-con.xml");
    const std::regex match(R"re(<match type="string" offset="(\d+):(\d+)" value="([^"]+)"/>)re");
    std::vector<CMagic> all;
    for (auto it = std::sregex_iterator(szXml.begin(), szXml.end(), match); it != std::sregex_iterator(); ++it)
        all.push_back({(*it)[3].str(), std::stoi((*it)[1].str()), std::stoi((*it)[2].str())});
    return all;
}
} // namespace

// The records are the only place a kind is named: each is told apart from the
// others, and nothing registers a describer or renderer under a name no record
// has. The desktop's MIME magic, the start-up recognition and the registries
// name the same kinds: a section the desktop hands us has a kind, the viewer it
// dispatches to is registered, and a kind that opens a viewer can be described
// and drawn.
TEST(KindRecords, RecordsRegistriesAndMimeMagicAgree)
{
    RegisterAllKinds();
    RegisterAllViewers();
    const std::vector<CMagic> magic = ShippedMagic();
    ASSERT_EQ(magic.size(), 14u);
    std::set<std::string> magicSections, ids, sections, markers;
    for (const CMagic& m : magic) {
        SCOPED_TRACE(m.m_szSection);
        magicSections.insert(m.m_szSection);
        // The launcher looks at the first 100 bytes only.
        EXPECT_EQ(m.m_iFirstStart, 0);
        EXPECT_EQ(m.m_iLastStart, static_cast<int>(STARTUP_SECTION_BYTES - m.m_szSection.size()));
        const CDispatchDecision d = RecognizeFirstBytes(m.m_szSection + "\r\nDataPointer=0\r\n", "x.con", 0);
        EXPECT_NE(d.m_szKind, "unknown");
        EXPECT_EQ(KindOfSection(m.m_szSection), d.m_szKind);
        if (d.m_szViewer.empty())
            continue; // the launcher stays up (live recordings) or unpacks first
        EXPECT_NE(CUiRegistry::Instance().FindViewer(d.m_szViewer), nullptr) << d.m_szViewer;
        if (d.m_bRawdex)
            continue; // unpacked first; what opens is the unpacked file's own kind
        // render draws the view of the viewer that finally shows a file, else the kind's own.
        EXPECT_TRUE(CUiRegistry::Instance().FindViewRenderer(d.m_szViewer) ||
                    CUiRegistry::Instance().FindRenderer(d.m_szKind))
            << d.m_szKind;
        EXPECT_NE(CKindRegistry::Instance().FindDescriber(d.m_szKind), nullptr) << d.m_szKind;
    }
    for (const CFileKind* pKind : FILE_KINDS) {
        SCOPED_TRACE(pKind->m_szId);
        EXPECT_TRUE(ids.insert(pKind->m_szId).second);
        EXPECT_EQ(FindFileKind(pKind->m_szId), pKind);
        for (const char* szSection : pKind->m_Sections) {
            if (!szSection)
                continue;
            EXPECT_TRUE(sections.insert(szSection).second) << szSection;
            EXPECT_EQ(magicSections.count(szSection), 1u) << szSection;
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
