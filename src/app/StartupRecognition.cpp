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
struct CSectionRow {
    const char* m_szSection;
    const char* m_szKind;
    const char* m_szViewer;
};

// The launcher's order: the first name found decides.
constexpr CSectionRow kDispatch[] = {
    {CON_SECTION_LIGHT_PROFILE, "light-profile", VIEWER_LIGHT_PROFILE_FILE},
    {CON_SECTION_G3_LIGHT_PROFILE, "g3-light-profile", VIEWER_LIGHT_PROFILE_FILE},
    {CON_SECTION_OSCILLOSCOPE, "oscilloscope", VIEWER_OSCILLOSCOPE},
    {CON_SECTION_MTF, "mtf", VIEWER_OSCILLOSCOPE},
    {CON_SECTION_STITCH_TEST, "stitch-test", VIEWER_STITCH},
    {CON_SECTION_NOISE_TEST, "noise-test", VIEWER_NOISE_TEST},
    {CON_SECTION_RAWDEX, "rawdex", ""},
    {CON_SECTION_ADJUST_CENTER_CCD, "scan-line-positioning", VIEWER_ADJUST_CENTER_CCD},
    {CON_SECTION_SCAN_LINE_POSITIONING, "scan-line-positioning", VIEWER_ADJUST_CENTER_CCD},
    {CON_SECTION_VERTICAL_CAMERA_VERIFICATION, "mirror-carriage-adjustment", VIEWER_VERTICAL_CAMERA},
    {CON_SECTION_MIRROR_CARRIAGE_ADJUSTMENT, "mirror-carriage-adjustment", VIEWER_VERTICAL_CAMERA},
    {CON_SECTION_STAR_TEST, "star-test", VIEWER_STAR_TEST},
    {CON_SECTION_TONAL_RESOLUTION, "tonal-resolution", VIEWER_TONAL_RESOLUTION},
};

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
    szBytes.assign(iCount, '\0');
    szBytes.resize(std::fread(szBytes.data(), 1, iCount, file.get()));
    return true;
}
} // namespace

std::string KindOfSection(const std::string& szSection)
{
    if (szSection == CON_SECTION_LIVE_OSCILLOSCOPE)
        return "live-oscilloscope";
    for (const CSectionRow& row : kDispatch)
        if (szSection == row.m_szSection)
            return row.m_szKind;
    return "unknown";
}

bool KindHasDataPointer(const std::string& szKind)
{
    for (const char* szKnown : {"light-profile", "g3-light-profile", "oscilloscope", "live-oscilloscope", "mtf",
                                "stitch-test", "noise-test", "rawdex"})
        if (szKind == szKnown)
            return true;
    return false;
}

CDispatchDecision RecognizeFirstBytes(const std::string& szFirstBytes, const std::string& szFile, int32_t iOem)
{
    CDispatchDecision d;
    ConHeader header;
    header.SetText(szFirstBytes.substr(0, STARTUP_SECTION_BYTES));
    for (const CSectionRow& row : kDispatch) {
        if (!header.Contains(row.m_szSection))
            continue;
        d.m_szKind = row.m_szKind;
        d.m_szSection = row.m_szSection;
        d.m_szViewer = row.m_szViewer;
        if (d.m_szKind == "noise-test") {
            d.m_bHideLauncher = false;
            d.m_bClearFileField = false;
        }
        if (d.m_szKind == "rawdex") {
            d.m_bRawdex = true;
            d.m_bPassFile = false;
            if (iOem == 2) {
                d.m_szViewer = VIEWER_OSCILLOSCOPE;
                d.m_szDataFolder = FolderOf(szFile);
            } else {
                d.m_szViewer = VIEWER_LIGHT_PROFILE_FILE;
            }
        }
        return d;
    }

    // No section: an older file without a text header, told by its markers.
    uint8_t marker[STARTUP_MARKER_BYTES] = {};
    std::memcpy(marker, szFirstBytes.data(), std::min(szFirstBytes.size(), sizeof marker));
    const uint32_t iValue = Le32(marker + 20);
    if (header.IsLiveOscilloscope()) {
        // Recognised as a section, though nothing in the launcher opens it.
        d.m_szKind = "live-oscilloscope";
        d.m_szSection = CON_SECTION_LIVE_OSCILLOSCOPE;
    }
    if (marker[11] == 16) {
        d.m_szKind = "headerless-light-profile";
        d.m_szViewer = VIEWER_LIGHT_PROFILE_FILE;
    } else if (marker[11] == 18) {
        d.m_szKind = "headerless-stitch";
        d.m_szViewer = VIEWER_STITCH;
    } else if (marker[11] == 19) {
        d.m_szKind = "headerless-noise";
        d.m_szViewer = VIEWER_LIGHT_PROFILE_FILE;
    } else if (iValue == 13900) {
        d.m_szKind = "camera-adjustment-check";
        d.m_szViewer = VIEWER_LIGHT_PROFILE_FILE;
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
    if (szAs == "stitch")
        desc.m_szViewer = VIEWER_STITCH;
    else if (szAs == "light-profile")
        desc.m_szViewer = VIEWER_LIGHT_PROFILE;

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
    if (szDescriberKind == "unknown" && szAs == "stitch")
        szDescriberKind = "stitch-test";
    else if (szDescriberKind == "unknown" && szAs == "light-profile")
        szDescriberKind = "light-profile";
    bool bDescribed = false;
    if (!desc.m_szProblem)
        if (const KindDescriber* pDescriber = CKindRegistry::Instance().FindDescriber(szDescriberKind)) {
            (*pDescriber)(szAs, desc);
            bDescribed = true;
        }

    if (desc.m_szProblem)
        return DESCRIBE_MALFORMED;
    // A file handed over with --as is read the way the viewer reads it; when that
    // viewer takes it, the file is recognised even though start-up would not know it.
    if (bDescribed && szDescriberKind != desc.m_szKind)
        return DESCRIBE_OK;
    return desc.m_szKind == "unknown" ? DESCRIBE_UNRECOGNISED : DESCRIBE_OK;
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
    // Header text and names in it are Windows-1252 like the keys.
    if (desc.m_szProblem)
        j.Set("problem", *desc.m_szProblem);
    return j;
}

std::string DescriptionProblem(const CFileDescription& desc)
{
    return desc.m_szProblem.value_or(std::string());
}
