#include "app/StartupRecognition.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "datafiles/ConFile.h"
#include "datafiles/ConHeader.h"
#include "datafiles/Settings.h"
#include "platform/ByteOrder.h"
#include "platform/FileHandle.h"
#include "platform/Log.h"

namespace {
// Test-result headers are written by their own tools and need not carry a
// DataPointer; their keys are listed from this much text.
constexpr size_t kResultHeaderBytes = 64u << 10;
// A packed file may list many thousands of entries; info shows the first ones.
constexpr size_t kMaxKeysListed = 4096;

std::string FolderOf(const std::string& szFile)
{
    const size_t iSlash = szFile.rfind('/');
    return iSlash == std::string::npos ? std::string("./") : szFile.substr(0, iSlash + 1);
}

bool ReadFirstBytes(const std::string& szFile, size_t iCount, std::string& szBytes, std::string& szError)
{
    CFilePtr file = OpenRegularFile(szFile, szError);
    if (!file.get())
        return false;
    ReadFilePrefix(file.get(), iCount, szBytes);
    return true;
}
} // namespace

std::string KindOfSection(const std::string& szSection)
{
    for (const CFileKind* pKind : FILE_KINDS)
        for (const char* szName : pKind->m_Sections)
            if (szName && szSection == szName)
                return pKind->m_szId;
    return KIND_UNKNOWN.m_szId;
}

bool KindHasDataPointer(const std::string& szKind)
{
    const CFileKind* pKind = FindFileKind(szKind);
    return pKind && pKind->m_bDataPointer;
}

namespace {
void Decide(CDispatchDecision& d, const CFileKind& kind)
{
    d.m_pKind = &kind;
    d.m_szKind = kind.m_szId;
    d.m_szViewer = kind.m_szViewer;
    if (kind.m_bBesideLauncher) {
        d.m_bHideLauncher = false;
        d.m_bClearFileField = false;
    }
}
} // namespace

CDispatchDecision RecognizeFirstBytes(const std::string& szFirstBytes, const std::string& szFile, int32_t iOem)
{
    CDispatchDecision d;
    ConHeader header;
    header.SetText(szFirstBytes.substr(0, STARTUP_SECTION_BYTES));
    for (const CFileKind* pKind : FILE_KINDS) {
        if (pKind->m_bAfterMarkers)
            continue;
        for (const char* szSection : pKind->m_Sections) {
            if (!szSection || !header.Contains(szSection))
                continue;
            Decide(d, *pKind);
            d.m_szSection = szSection;
            if (pKind->m_bRawdex) {
                d.m_bRawdex = true;
                d.m_bPassFile = false;
                if (iOem == 2) {
                    d.m_szViewer = VIEWER_OSCILLOSCOPE;
                    d.m_szDataFolder = FolderOf(szFile);
                }
            }
            return d;
        }
    }

    // No section: an older file without a text header, told by its markers.
    uint8_t marker[STARTUP_MARKER_BYTES] = {};
    std::memcpy(marker, szFirstBytes.data(), std::min(szFirstBytes.size(), sizeof marker));
    const uint32_t iValue = Le32(marker + 20);
    for (const CFileKind* pKind : FILE_KINDS)
        if (pKind->m_bAfterMarkers && pKind->m_Sections[0] && header.Contains(pKind->m_Sections[0])) {
            Decide(d, *pKind);
            d.m_szSection = pKind->m_Sections[0];
        }
    for (const CFileKind* pKind : FILE_KINDS)
        if ((pKind->m_iMarker11 >= 0 && marker[11] == pKind->m_iMarker11) ||
            (pKind->m_iMarker11 < 0 && pKind->m_iValue20 >= 0 && iValue == pKind->m_iValue20)) {
            // The section of a live recording stays: the markers only choose the viewer.
            const std::optional<std::string> section = d.m_szSection;
            Decide(d, *pKind);
            d.m_szSection = section;
            break;
        }
    return d;
}

bool RecognizeFile(const std::string& szFile, CDispatchDecision& decision, std::string& szError)
{
    std::string szBytes;
    if (!ReadFirstBytes(szFile, STARTUP_SECTION_BYTES, szBytes, szError))
        return false;
    ConHeader header;
    header.SetText(szBytes);
    // Only a Rawdex file needs the product record.
    const int32_t iOem = header.IsRawdex() ? ReadProductInfo().m_iOem : 0;
    decision = RecognizeFirstBytes(szBytes, szFile, iOem);
    return true;
}

EDescribeStatus DescribeFile(const std::string& szFile, const std::string& szAs, CFileDescription& desc)
{
    desc = CFileDescription{};
    desc.m_szFile = szFile;
    CConFileHeader con;
    const EConReadStatus read = ReadConFileHeader(szFile, con);
    if (read == CON_READ_CANNOT_OPEN) {
        desc.m_szProblem = con.m_szProblem;
        return DESCRIBE_MISSING;
    }
    desc.m_iFileSize = con.m_iFileSize;

    int32_t iOem = 0;
    if (con.m_Header.IsRawdex())
        iOem = ReadProductInfo().m_iOem;
    const CDispatchDecision d = RecognizeFirstBytes(con.m_szFirstBytes, szFile, iOem);
    desc.m_szKind = d.m_szKind;
    desc.m_szSection = d.m_szSection;
    if (!d.m_szViewer.empty())
        desc.m_szViewer = d.m_szViewer;
    const CLauncherButton* pButton = FindLauncherButton(szAs);
    if (pButton)
        desc.m_szViewer = pButton->m_szViewer;

    if (read == CON_READ_OK) {
        desc.m_iHeaderLength = con.m_iHeaderLength;
        desc.m_iDataLength = con.DataLength();
        desc.m_Keys = ListHeaderKeys(con.m_Header, kMaxKeysListed);
        if (desc.m_Keys.size() == kMaxKeysListed)
            desc.m_Extra.Set("keys_truncated", true);
    } else {
        desc.m_iDataLength = con.m_iFileSize;
        if (d.m_szSection && KindHasDataPointer(d.m_szKind)) {
            desc.m_szProblem = con.m_szProblem;
        } else if (d.m_szSection) {
            std::string szText, szError;
            if (ReadFirstBytes(szFile, kResultHeaderBytes, szText, szError)) {
                ConHeader text;
                text.SetText(szText);
                desc.m_Keys = ListHeaderKeys(text, kMaxKeysListed);
            }
        }
    }

    std::string szDescriberKind = desc.m_szKind;
    if (szDescriberKind == KIND_UNKNOWN && pButton)
        szDescriberKind = pButton->m_pKind->m_szId;
    bool bDescribed = false;
    if (!desc.m_szProblem)
        if (const KindDescriber* pDescriber = CKindRegistry::Instance().FindDescriber(szDescriberKind)) {
            (*pDescriber)(szAs, desc);
            bDescribed = true;
        }

    if (desc.m_szProblem)
        return DESCRIBE_MALFORMED;
    // The viewer that opens first may pass the file on; what the technician
    // finally sees is what render draws.
    if (desc.m_szViewer && !d.m_bRawdex)
        if (const ViewerHandOver* pHandOver = CKindRegistry::Instance().FindHandOver(*desc.m_szViewer)) {
            const std::string szTo = (*pHandOver)(szFile);
            if (!szTo.empty())
                desc.m_szShownBy = szTo;
        }
    // A file handed over with --as is read the way the viewer reads it; when that
    // viewer takes it, the file is recognised even though start-up would not know it.
    if (bDescribed && szDescriberKind != desc.m_szKind)
        return DESCRIBE_OK;
    return desc.m_szKind == KIND_UNKNOWN ? DESCRIBE_UNRECOGNISED : DESCRIBE_OK;
}

std::string ViewerShowing(const CFileDescription& desc)
{
    if (desc.m_szShownBy)
        return *desc.m_szShownBy;
    return desc.m_szViewer ? *desc.m_szViewer : std::string();
}

CJson FileDescriptionToJson(const CFileDescription& desc)
{
    CJson j = CJson::MakeObject();
    // The name exactly as given: bytes from the file system, not header text.
    j.Set("file", CJson::Utf8(desc.m_szFile));
    j.Set("kind", desc.m_szKind);
    j.Set("section", desc.m_szSection ? CJson(*desc.m_szSection) : CJson());
    j.Set("viewer", desc.m_szViewer ? CJson(*desc.m_szViewer) : CJson());
    j.Set("header_length", desc.m_iHeaderLength ? CJson(static_cast<long long>(*desc.m_iHeaderLength)) : CJson());
    j.Set("data_length", static_cast<long long>(desc.m_iDataLength));
    CJson keys = CJson::MakeObject();
    for (const auto& kv : desc.m_Keys)
        keys.Set(kv.first, kv.second);
    j.Set("keys", keys);
    CJson messages = CJson::MakeArray();
    for (const std::string& sz : desc.m_Messages)
        messages.Push(CJson::Utf8(sz));
    j.Set("messages", messages);
    if (desc.m_Extra.IsObject())
        for (const auto& kv : desc.m_Extra.AsObject())
            j.Set(kv.first, kv.second);
    if (desc.m_szShownBy && !desc.m_Extra.Find("handed_to"))
        j.Set("handed_to", *desc.m_szShownBy);
    // Header text and names in it are Windows-1252 like the keys.
    if (desc.m_szProblem)
        j.Set("problem", *desc.m_szProblem);
    return j;
}

std::string DescriptionProblem(const CFileDescription& desc)
{
    return desc.m_szProblem.value_or(std::string());
}
