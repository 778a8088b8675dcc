#include <cstdio>

#include "datafiles/DataFileKinds.h"
#include "datafiles/ConFile.h"
#include "datafiles/ConHeader.h"
#include "datafiles/Rawdex.h"
#include "platform/AtomicFile.h"
#include "platform/ByteOrder.h"
#include "platform/FileHandle.h"

namespace {
// The entries a packed file holds and where the launcher would unpack them.
void DescribeRawdex(const std::string& szAs, CFileDescription& desc)
{
    if (szAs == AS_LIGHT_PROFILE.m_szAs)
        desc.m_Messages.push_back("This is a Rawdex packed file,\nand it will now be unpacked.");
    if (!desc.m_iHeaderLength)
        return;
    const int64_t iH = *desc.m_iHeaderLength;
    std::string szHeader;
    if (!ReadFilePrefix(desc.m_szFile, static_cast<size_t>(iH), szHeader) || szHeader.size() != size_t(iH)) {
        desc.m_szProblem = "cannot read the header";
        return;
    }
    std::string szProblem, szDropped;
    const std::vector<CRawdexEntry> entries = ListRawdexEntries(szHeader, iH, szProblem, &szDropped);
    CJson list = CJson::MakeArray();
    for (const CRawdexEntry& e : entries) {
        CJson entry = CJson::MakeObject();
        entry.Set("name", e.m_szName);
        entry.Set("size", static_cast<long long>(e.m_iSize));
        entry.Set("offset", static_cast<long long>(e.m_iOffset));
        if (szProblem.empty() && e.m_iSize > desc.m_iFileSize - e.m_iOffset)
            szProblem = "entry \"" + e.m_szName + "\": its size runs past the end of the file";
        if (const std::string szWhy = RawdexNameProblem(e.m_szName); szProblem.empty() && !szWhy.empty())
            szProblem = "entry \"" + e.m_szName + "\" " + szWhy;
        list.Push(entry);
    }
    desc.m_Extra.Set("entries", list);
    if (!szDropped.empty())
        desc.m_Extra.Set("dropped", szDropped);
    const size_t iSlash = desc.m_szFile.rfind('/');
    desc.m_Extra.Set("unpack_into", iSlash == std::string::npos ? std::string("./") : desc.m_szFile.substr(0, iSlash + 1));
    if (!szProblem.empty())
        desc.m_szProblem = szProblem;
}

// For a file nothing recognises, the marker bytes the launcher looked at: what
// a technician needs to tell a damaged file from a kind we do not know.
void DescribeUnknown(const std::string& /*szAs*/, CFileDescription& desc)
{
    std::string szMarker;
    ReadFilePrefix(desc.m_szFile, STARTUP_MARKER_BYTES, szMarker);
    desc.m_Extra.Set("byte_11", static_cast<int>(szMarker.size() > 11 ? static_cast<uint8_t>(szMarker[11]) : 0));
    desc.m_Extra.Set("value_20", static_cast<long long>(Le32At(szMarker, 20)));
}

std::vector<std::string> WriteRawdexSample(const std::string& szDir)
{
    const std::vector<std::pair<std::string, std::string>> files = {
        {"scan-notes.txt", "Camera A to F checked after lamp change.\n"},
        {"positions.csv", "camera;offset\nA;0\nB;12\nC;-3\n"},
    };
    std::string szLines;
    for (const auto& f : files)
        szLines += f.first + "=" + std::to_string(f.second.size()) + "\n";
    ConHeader header;
    header.AppendRawdexSection();
    header.AppendText(szLines);
    header.PatchDataPointer();
    std::string szBytes = header.GetText();
    for (const auto& f : files)
        szBytes += f.second;
    const std::string szPath = szDir + (szDir.empty() || szDir.back() == '/' ? "" : "/") + "rawdex-packed.con";
    if (!WriteFileAtomically(szPath, szBytes.data(), szBytes.size()))
        return {};
    return {szPath};
}
} // namespace

void RegisterDataFileKinds(CKindRegistry& reg)
{
    reg.AddDescriber(KIND_RAWDEX, DescribeRawdex);
    reg.AddDescriber(KIND_UNKNOWN, DescribeUnknown);
    reg.AddSampleWriter("rawdex", WriteRawdexSample);
}
