#include "viewers/LightProfileFile.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <new>

#include "datafiles/ConFile.h"
#include "datafiles/ConHeader.h"
#include "platform/ByteOrder.h"
#include "platform/Json.h"
#include "platform/Log.h"
#include "datafiles/ConFile.h"
#include "datafiles/ConHeader.h"
#include "datafiles/FileKinds.h"
#include "platform/ResourceLimits.h"

namespace {

// Bytes of the file beyond its end count as zero, as a short read leaves them.
uint8_t ByteAt(const std::string& bytes, size_t i)
{
    return i < bytes.size() ? static_cast<uint8_t>(bytes[i]) : 0;
}

enum HEAD_KIND { HEAD_RAWDEX, HEAD_HAND_OVER, HEAD_LIGHT_PROFILE, HEAD_HEADERLESS, HEAD_NOISE_CHECK, HEAD_OTHER };

// The viewers look at the first 48 bytes only: every section line of the
// family fits, and so do the marker bytes of the older files.
HEAD_KIND ClassifyHead(const std::string& head, std::string& szViewer)
{
    ConHeader text;
    text.SetText(head.substr(0, std::min<size_t>(head.size(), kLpfOldHeaderSize)));
    if (text.IsRawdex())
        return HEAD_RAWDEX;
    if (text.IsNoiseTest()) {
        szViewer = VIEWER_NOISE_TEST;
        return HEAD_HAND_OVER;
    }
    if (text.IsOscilloscope() || text.IsMTF()) {
        szViewer = VIEWER_OSCILLOSCOPE;
        return HEAD_HAND_OVER;
    }
    if (Le32At(head, 20) == KIND_CAMERA_ADJUSTMENT_CHECK.m_iValue20 || text.IsG3LightProfile()) {
        szViewer = VIEWER_CAMERA_CHECK;
        return HEAD_HAND_OVER;
    }
    if (text.IsLightProfile())
        return HEAD_LIGHT_PROFILE;
    if (ByteAt(head, 11) == KIND_HEADERLESS_NOISE.m_iMarker11) {
        szViewer = VIEWER_NOISE_CHECK;
        return HEAD_NOISE_CHECK;
    }
    if (ByteAt(head, 11) == KIND_HEADERLESS_LIGHT_PROFILE.m_iMarker11)
        return HEAD_HEADERLESS;
    return HEAD_OTHER;
}

void Missing(CLightProfileLoad& load, const char* szItem)
{
    load.m_Messages.push_back(std::string("Missing Information:\n") + szItem);
}

} // namespace

void ReadLightProfileKeys(const std::string& header, LPF_VIEWER eViewer, CLightProfileLoad& load)
{
    CLightProfile& p = load.m_Profile;
    ConHeader h;
    h.SetText(header);
    // Only the launcher's viewer asks about the date and the time; both
    // viewers ask about the five facts the graph and its title need.
    const bool bAll = eViewer == LPF_VIEWER_DIALOG;
    h.GetScannerName(p.m_szScannerName);
    if (!h.GetDate(p.m_szDate) && bAll)
        Missing(load, "Date");
    if (!h.GetTime(p.m_szTime) && bAll)
        Missing(load, "Time");
    if (!h.GetColorScanner(p.m_bColorScanner))
        Missing(load, "Is Color or B/W Scanner");
    if (!h.GetColor(p.m_iColor))
        Missing(load, "Color");
    if (!h.GetCameraUsed(p.m_iCamera))
        Missing(load, "Camera Used");
    if (!h.GetCameraCount(p.m_iCameraCount))
        Missing(load, "Camera Count");
    int32_t iWidth = 0;
    const bool bWidth = h.GetScannerWidth(iWidth);
    p.m_dWidthFactor = bWidth ? iWidth / 5088.0 : 8.5;
    if (!h.GetCorrected(p.m_bCorrected))
        Missing(load, "Is Corrected/Uncorrected");
    if (!h.GetGeneration(p.m_iGeneration))
        p.m_iGeneration = DefaultLightProfileGeneration(bWidth, iWidth, p.m_bColorScanner);
    h.GetFirmwareRevision(p.m_iFirmwareRevision);
    h.GetIsSigned32Profile(p.m_bSigned32Profile);
}

namespace {

// Where the bytes come from: a file on disk, read piece by piece so that a
// huge file costs only what is asked of it, or bytes already in memory.
class CSource {
public:
    virtual ~CSource() = default;
    virtual int64_t Size() const = 0;
    // Exactly iCount bytes at iOffset, or false.
    virtual bool Read(int64_t iOffset, int64_t iCount, void* pOut) = 0;
    std::string ReadText(int64_t iOffset, int64_t iCount)
    {
        iCount = std::max<int64_t>(0, std::min(iCount, Size() - iOffset));
        std::string sz(static_cast<size_t>(iCount), '\0');
        if (!Read(iOffset, iCount, sz.data()))
            sz.clear();
        return sz;
    }
};

class CMemorySource : public CSource {
public:
    explicit CMemorySource(const std::string& bytes) : m_Bytes(bytes) {}
    int64_t Size() const override { return static_cast<int64_t>(m_Bytes.size()); }
    bool Read(int64_t iOffset, int64_t iCount, void* pOut) override
    {
        if (iOffset < 0 || iCount < 0 || iOffset > Size() - iCount)
            return false;
        if (iCount > 0)
            std::memcpy(pOut, m_Bytes.data() + iOffset, static_cast<size_t>(iCount));
        return true;
    }

private:
    const std::string& m_Bytes;
};

class CFileSource : public CSource {
public:
    explicit CFileSource(const std::string& szFile) : m_File(szFile, std::ios::binary)
    {
        if (m_File) {
            m_File.seekg(0, std::ios::end);
            m_iSize = static_cast<int64_t>(m_File.tellg());
        }
    }
    bool IsOpen() const { return m_File.is_open() && m_iSize >= 0; }
    int64_t Size() const override { return m_iSize; }
    bool Read(int64_t iOffset, int64_t iCount, void* pOut) override
    {
        if (iOffset < 0 || iCount < 0 || iOffset > m_iSize - iCount)
            return false;
        m_File.clear();
        m_File.seekg(iOffset);
        m_File.read(static_cast<char*>(pOut), static_cast<std::streamsize>(iCount));
        return m_File.gcount() == static_cast<std::streamsize>(iCount);
    }

private:
    std::ifstream m_File;
    int64_t m_iSize = -1;
};

bool Fail(CLightProfileLoad& load, const std::string& szText)
{
    load.m_eOutcome = LPF_LOAD_FAILED;
    load.m_szError = szText;
    return false;
}

// The data length is a 32-bit count; anything beyond is not a light profile.
// The samples are read straight into the profile, once.
bool TakeData(CSource& src, CLightProfileLoad& load, const std::string& szFile, int64_t iFrom, int64_t iLength,
              bool bReadData)
{
    if (iLength > INT32_MAX)
        return Fail(load, FormatText("%s: %lld bytes of samples are more than a light profile can hold.",
                                     szFile.c_str(), static_cast<long long>(iLength)));
    if (const std::string szLimit = CheckAllocation("the data block", uint64_t(std::max<int64_t>(iLength, 0)), 1, UINT64_MAX, "samples");
        bReadData && !szLimit.empty())
        return Fail(load, szFile + ": " + szLimit + ".");
    load.m_iSampleCount = iLength;
    load.m_Profile.m_iHeaderLength = iFrom;
    if (bReadData) {
        std::vector<uint8_t>& data = load.m_Profile.m_Data;
        try {
            data.resize(static_cast<size_t>(iLength));
        } catch (const std::bad_alloc&) {
            // Without memory for the samples the load ends and the graph stays empty.
            data = std::vector<uint8_t>();
            return Fail(load, FormatText("%s: there is not enough memory for %lld samples.", szFile.c_str(),
                                         static_cast<long long>(iLength)));
        }
        if (!src.Read(iFrom, iLength, data.data())) {
            data.clear();
            return Fail(load, FormatText("%s: the samples cannot be read.", szFile.c_str()));
        }
    }
    load.m_eOutcome = LPF_LOAD_OK;
    return true;
}

void LoadHeadered(CSource& src, const std::string& szFile, const std::string& head, LPF_VIEWER eViewer,
                  bool bReadData, CLightProfileLoad& load)
{
    ConHeader first;
    first.SetText(head);
    int64_t H = 0;
    std::string szProblem;
    if (CheckDataPointer(first, src.Size(), H, szProblem) != CON_READ_OK) {
        Fail(load, szFile + ": " + szProblem);
        return;
    }
    load.m_Profile.m_szHeaderText = src.ReadText(0, H);
    if (static_cast<int64_t>(load.m_Profile.m_szHeaderText.size()) != H) {
        Fail(load, FormatText("%s: the header cannot be read.", szFile.c_str()));
        return;
    }
    ReadLightProfileKeys(load.m_Profile.m_szHeaderText, eViewer, load);
    // The samples are the whole data block; a "Width=" some tools add must
    // at least fit into it, or the file is not what it claims to be.
    ConHeader keys;
    keys.SetText(load.m_Profile.m_szHeaderText);
    int32_t iWidth = 0;
    if (keys.GetWidth(iWidth) && iWidth < 0) {
        Fail(load, FormatText("%s: Width=%d is not a number of samples.", szFile.c_str(), iWidth));
        return;
    }
    if (keys.GetWidth(iWidth) && iWidth > src.Size() - H) {
        Fail(load, FormatText("%s: Width=%d needs %d data bytes, the file holds %lld.", szFile.c_str(), iWidth, iWidth,
                              static_cast<long long>(src.Size() - H)));
        return;
    }
    TakeData(src, load, szFile, H, src.Size() - H, bReadData);
}

void LoadHeaderless(CSource& src, const std::string& szFile, bool bReadData, CLightProfileLoad& load)
{
    const int64_t iSize = src.Size();
    if (iSize < kLpfOldHeaderSize + kLpfOldTrailerSize) {
        Fail(load, FormatText("%s: an old light profile has a 48-byte header and a 44-byte trailer, "
                              "but the file has only %lld bytes.",
                              szFile.c_str(), static_cast<long long>(iSize)));
        return;
    }
    CLightProfile& p = load.m_Profile;
    const std::string trailer = src.ReadText(iSize - kLpfOldTrailerSize, kLpfOldTrailerSize);
    if (static_cast<int64_t>(trailer.size()) != kLpfOldTrailerSize) {
        Fail(load, FormatText("%s: the trailer cannot be read.", szFile.c_str()));
        return;
    }
    // The scanner name runs to its zero byte, at most across the trailer.
    p.m_szScannerName = trailer.substr(0, std::min(trailer.find('\0'), trailer.size()));
    p.m_bColorScanner = ByteAt(trailer, 17) == 1;
    p.m_iColor = ByteAt(trailer, 20);
    p.m_bCorrected = ByteAt(trailer, 21) == 1;
    p.m_iCamera = ByteAt(trailer, 22);
    p.m_iCameraCount = ByteAt(trailer, 23);
    p.m_iGeneration = DefaultLightProfileGeneration(false, 0, p.m_bColorScanner);
    load.m_bHeaderless = true;
    TakeData(src, load, szFile, kLpfOldHeaderSize, iSize - kLpfOldHeaderSize - kLpfOldTrailerSize, bReadData);
}

CLightProfileLoad LoadFrom(CSource& src, const std::string& szFile, LPF_VIEWER eViewer, bool bReadData)
{
    CLightProfileLoad load;
    load.m_Profile.m_szFileName = szFile;
    // The section tests see at most the first 100 bytes, as the container reader does.
    const std::string head = src.ReadText(0, static_cast<int64_t>(CON_FIRST_BYTES));
    std::string szViewer;
    switch (ClassifyHead(head, szViewer)) {
    case HEAD_RAWDEX:
        load.m_eOutcome = LPF_LOAD_RAWDEX;
        break;
    case HEAD_HAND_OVER:
    case HEAD_NOISE_CHECK:
        load.m_eOutcome = LPF_LOAD_HAND_OVER;
        load.m_szViewer = szViewer;
        break;
    case HEAD_LIGHT_PROFILE:
        LoadHeadered(src, szFile, head, eViewer, bReadData, load);
        break;
    case HEAD_HEADERLESS:
        LoadHeaderless(src, szFile, bReadData, load);
        break;
    case HEAD_OTHER:
        load.m_eOutcome = LPF_LOAD_ASK_SETTINGS;
        break;
    }
    return load;
}

CLightProfileLoad LoadWithSettingsFrom(CSource& src, const std::string& szFile, const CScannerSettings& settings,
                                       bool bReadData)
{
    CLightProfileLoad load;
    CLightProfile& p = load.m_Profile;
    p.m_szFileName = szFile;
    if (settings.m_bCameraAdjustmentMode) {
        load.m_eOutcome = LPF_LOAD_HAND_OVER;
        load.m_szViewer = VIEWER_CAMERA_CHECK;
        return load;
    }
    p.m_bColorScanner = settings.m_bColorScanner;
    p.m_iColor = settings.m_iColor;
    p.m_iCamera = settings.m_iCamera;
    p.m_iCameraCount = settings.m_iCameraCount;
    p.m_bCorrected = settings.m_bCorrected;
    p.m_iGeneration = DefaultLightProfileGeneration(false, 0, p.m_bColorScanner);
    p.m_szHeaderText = settings.m_szHeader.substr(0, 256);
    // The dialog has no control of its own for the correction or the scan's
    // identity; a technician who knows them types them as header keys, the
    // way a headered file carries them.
    ConHeader typed;
    typed.SetText(p.m_szHeaderText);
    bool bCorrected = false;
    if (typed.GetCorrected(bCorrected))
        p.m_bCorrected = bCorrected;
    typed.GetScannerName(p.m_szScannerName);
    typed.GetDate(p.m_szDate);
    typed.GetTime(p.m_szTime);
    load.m_bHeaderless = true;
    const int64_t iFrom = std::min(src.Size(), kLpfOldHeaderSize);
    TakeData(src, load, szFile, iFrom, src.Size() - iFrom, bReadData);
    return load;
}

CLightProfileLoad CannotOpen(const std::string& szFile)
{
    CLightProfileLoad load;
    load.m_Profile.m_szFileName = szFile;
    Fail(load, FormatText("%s: the file cannot be opened.", szFile.c_str()));
    return load;
}

} // namespace

int32_t DefaultLightProfileGeneration(bool bHasScannerWidth, int32_t iScannerWidth, bool bColorScanner)
{
    if (bHasScannerWidth && (iScannerWidth == 60000 || iScannerWidth == 48000))
        return 5;
    return bColorScanner ? 4 : 0;
}

CLightProfileLoad LoadLightProfileBytes(const std::string& szFile, const std::string& bytes, LPF_VIEWER eViewer)
{
    CMemorySource src(bytes);
    return LoadFrom(src, szFile, eViewer, true);
}

CLightProfileLoad LoadLightProfile(const std::string& szFile, LPF_VIEWER eViewer, bool bReadData)
{
    CFileSource src(szFile);
    if (!src.IsOpen())
        return CannotOpen(szFile);
    return LoadFrom(src, szFile, eViewer, bReadData);
}

CLightProfileLoad LoadLightProfileBytesWithSettings(const std::string& szFile, const std::string& bytes,
                                                    const CScannerSettings& settings)
{
    CMemorySource src(bytes);
    return LoadWithSettingsFrom(src, szFile, settings, true);
}

CLightProfileLoad LoadLightProfileWithSettings(const std::string& szFile, const CScannerSettings& settings,
                                               bool bReadData)
{
    CFileSource src(szFile);
    if (!src.IsOpen())
        return CannotOpen(szFile);
    return LoadWithSettingsFrom(src, szFile, settings, bReadData);
}
// ---------------------------------------------------------------------------
// texts

namespace {

const char* ColorWord(int32_t iColor)
{
    switch (iColor) {
    case 0: return "Red";
    case 1: return "Green";
    case 2: return "Blue";
    default: return nullptr;
    }
}

} // namespace

std::string LightProfileTitle(const CLightProfile& p)
{
    std::string sz = p.m_szScannerName + ": " + "Camera" + " ";
    if (p.m_iCamera >= 0 && p.m_iCamera <= 5)
        sz += static_cast<char>('A' + p.m_iCamera);
    else if (p.m_iCamera == 255)
        sz += "All";
    if (p.m_bColorScanner) {
        sz += "  Color=";
        if (const char* szWord = ColorWord(p.m_iColor))
            sz += szWord;
        else if (p.m_iColor == 3 || p.m_iColor == 254)
            sz += "Red:Green:Blue";
        else if (p.m_iColor == 4)
            sz += "Gray";
        else
            sz += std::to_string(p.m_iColor);
    }
    return sz;
}

std::vector<std::string> LightProfilePrintLines(const CLightProfile& p)
{
    std::vector<std::string> lines;
    lines.push_back("Scanner Name: " + p.m_szScannerName);
    lines.push_back("Date: " + p.m_szDate);
    lines.push_back("Time: " + p.m_szTime);
    std::string szCamera;
    if (p.m_iCamera >= 0 && p.m_iCamera <= 3)
        szCamera = std::string("Camera ") + static_cast<char>('A' + p.m_iCamera);
    else if (p.m_iCamera == 254 || p.m_iCamera == 255)
        szCamera = "Camera All";
    lines.push_back("Camera: " + szCamera);
    const char* szColor = ColorWord(p.m_iColor);
    lines.push_back(std::string("Color: ") + (szColor ? szColor : ""));
    lines.push_back(std::string("Correction: ") + (p.m_bCorrected ? "Corrected" : "Uncorrected"));
    return lines;
}

bool LightProfileHeaderInfo(const std::string& szFile, std::string& szText)
{
    CFileSource src(szFile);
    if (!src.IsOpen()) {
        szText = FormatText("%s: the file cannot be opened.", szFile.c_str());
        return false;
    }
    ConHeader text;
    text.SetText(src.ReadText(0, static_cast<int64_t>(CON_FIRST_BYTES)));
    const bool bKnown = text.IsLightProfile() || text.IsNoiseTest() || text.IsStitchTest() ||
                        text.IsG3LightProfile() || text.IsRawdex();
    const int64_t H = bKnown ? text.GetDataPointer() : 0;
    if (!bKnown || H <= 0) {
        szText = "Old Con-file.\nNo Header Information available";
        return true;
    }
    // A header that claims more than the file or any header of ours holds shows what there is.
    ConHeader full;
    full.SetText(src.ReadText(0, std::min<int64_t>(H, CON_MAX_HEADER)));
    // Shown as a message, whose texts are Unicode; the header is code-page text.
    szText = Cp1252ToUtf8(full.GetText());
    return true;
}

CDataTable LightProfileDataTable(const CLightProfile& profile)
{
    static const char* const kNames[5] = {"red", "green", "blue", "value", "gray"};
    const int32_t c = profile.m_iColor;
    CDataTable table = SampleTable({{c >= 0 && c <= 4 ? kNames[c] : "value", &profile.m_Data}});
    if (profile.m_bSigned32Profile)
        for (double& d : table.m_Columns[0])
            d = static_cast<int8_t>(static_cast<uint8_t>(d));
    return table;
}
