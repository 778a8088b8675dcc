#include "viewers/LightProfileFile.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "platform/Log.h"
#include "viewers/LightProfileHeader.h"

const char* const kLpfNoiseTestViewer = "CNoiseTest_SM_Dialog";
const char* const kLpfNoiseCheckViewer = "CNCTest_Dialog";
const char* const kLpfOscilloscopeViewer = "COscilloscope_Dialog";
const char* const kLpfCameraCheckViewer = "COstra_Check_Camera_Adjustment_Test_Dialog";

namespace {

// Bytes of the file beyond its end count as zero, as a short read leaves them.
uint8_t ByteAt(const std::string& bytes, size_t i)
{
    return i < bytes.size() ? static_cast<uint8_t>(bytes[i]) : 0;
}

uint32_t Le32At(const std::string& bytes, size_t i)
{
    return static_cast<uint32_t>(ByteAt(bytes, i)) | static_cast<uint32_t>(ByteAt(bytes, i + 1)) << 8 |
           static_cast<uint32_t>(ByteAt(bytes, i + 2)) << 16 | static_cast<uint32_t>(ByteAt(bytes, i + 3)) << 24;
}

enum HEAD_KIND { HEAD_RAWDEX, HEAD_HAND_OVER, HEAD_LIGHT_PROFILE, HEAD_HEADERLESS, HEAD_NOISE_CHECK, HEAD_OTHER };

// The viewers look at the first 48 bytes only: every section line of the
// family fits, and so do the marker bytes of the older files.
HEAD_KIND ClassifyHead(const std::string& head, std::string& szViewer)
{
    const std::string text = LpfHeaderText(head.substr(0, std::min<size_t>(head.size(), kLpfOldHeaderSize)));
    if (text.find("[Rawdex]") != std::string::npos)
        return HEAD_RAWDEX;
    if (text.find("[Noise Test]") != std::string::npos) {
        szViewer = kLpfNoiseTestViewer;
        return HEAD_HAND_OVER;
    }
    if (text.find("[Oscilloscope]") != std::string::npos || text.find("[MTF]") != std::string::npos) {
        szViewer = kLpfOscilloscopeViewer;
        return HEAD_HAND_OVER;
    }
    if (Le32At(head, 20) == 13900 || text.find("[G3 Light Profile]") != std::string::npos) {
        szViewer = kLpfCameraCheckViewer;
        return HEAD_HAND_OVER;
    }
    if (text.find("[Light Profile]") != std::string::npos)
        return HEAD_LIGHT_PROFILE;
    if (ByteAt(head, 11) == 19) {
        szViewer = kLpfNoiseCheckViewer;
        return HEAD_NOISE_CHECK;
    }
    if (ByteAt(head, 11) == 16)
        return HEAD_HEADERLESS;
    return HEAD_OTHER;
}

void Missing(CLightProfileLoad& load, const char* szItem)
{
    load.m_Messages.push_back(std::string("Missing Information:\n") + szItem);
}

void ReadHeaderKeys(const std::string& header, LPF_VIEWER eViewer, CLightProfileLoad& load)
{
    CLightProfile& p = load.m_Profile;
    const CLpfHeader h(header);
    // Only the launcher's viewer asks about the date and the time; both
    // viewers ask about the five facts the graph and its title need.
    const bool bAll = eViewer == LPF_VIEWER_DIALOG;
    h.ScannerName(p.m_szScannerName);
    if (!h.Date(p.m_szDate) && bAll)
        Missing(load, "Date");
    if (!h.Time(p.m_szTime) && bAll)
        Missing(load, "Time");
    if (!h.ColorScanner(p.m_bColorScanner))
        Missing(load, "Is Color or B/W Scanner");
    if (!h.Color(p.m_iColor))
        Missing(load, "Color");
    if (!h.CameraUsed(p.m_iCamera))
        Missing(load, "Camera Used");
    if (!h.CameraCount(p.m_iCameraCount))
        Missing(load, "Camera Count");
    int32_t iWidth = 0;
    const bool bWidth = h.ScannerWidth(iWidth);
    p.m_dWidthFactor = bWidth ? iWidth / 5088.0 : 8.5;
    if (!h.Corrected(p.m_bCorrected))
        Missing(load, "Is Corrected/Uncorrected");
    if (!h.Generation(p.m_iGeneration))
        p.m_iGeneration = DefaultLightProfileGeneration(bWidth, iWidth, p.m_bColorScanner);
    h.FirmwareRevision(p.m_iFirmwareRevision);
    h.Signed32Profile(p.m_bSigned32Profile);
}

bool Fail(CLightProfileLoad& load, const std::string& szText)
{
    load.m_eOutcome = LPF_LOAD_FAILED;
    load.m_szError = szText;
    return false;
}

// The data length is a 32-bit count; anything beyond is not a light profile.
bool TakeData(CLightProfileLoad& load, const std::string& szFile, const std::string& bytes, int64_t iFrom,
              int64_t iLength)
{
    if (iLength > INT32_MAX)
        return Fail(load, FormatText("%s: %lld bytes of samples are more than a light profile can hold.",
                                     szFile.c_str(), static_cast<long long>(iLength)));
    load.m_Profile.m_Data.assign(bytes.begin() + iFrom, bytes.begin() + iFrom + iLength);
    load.m_Profile.m_iHeaderLength = iFrom;
    load.m_eOutcome = LPF_LOAD_OK;
    return true;
}

void LoadHeadered(const std::string& szFile, const std::string& bytes, LPF_VIEWER eViewer, CLightProfileLoad& load)
{
    const int64_t iSize = static_cast<int64_t>(bytes.size());
    const CLpfHeader head(LpfHeaderText(bytes.substr(0, 100)));
    const int64_t H = head.DataPointer();
    if (H <= 0 || H > iSize) {
        Fail(load, FormatText("%s: the header gives its length as %lld bytes, but the file has %lld bytes.",
                              szFile.c_str(), static_cast<long long>(H), static_cast<long long>(iSize)));
        return;
    }
    load.m_Profile.m_szHeaderText = bytes.substr(0, static_cast<size_t>(H));
    ReadHeaderKeys(LpfHeaderText(load.m_Profile.m_szHeaderText), eViewer, load);
    TakeData(load, szFile, bytes, H, iSize - H);
}

void LoadHeaderless(const std::string& szFile, const std::string& bytes, CLightProfileLoad& load)
{
    const int64_t iSize = static_cast<int64_t>(bytes.size());
    if (iSize < kLpfOldHeaderSize + kLpfOldTrailerSize) {
        Fail(load, FormatText("%s: an old light profile has a 48-byte header and a 44-byte trailer, "
                              "but the file has only %lld bytes.",
                              szFile.c_str(), static_cast<long long>(iSize)));
        return;
    }
    CLightProfile& p = load.m_Profile;
    const size_t t = static_cast<size_t>(iSize - kLpfOldTrailerSize);
    // The scanner name runs to its zero byte, at most across the trailer.
    const std::string trailer = bytes.substr(t);
    p.m_szScannerName = trailer.substr(0, std::min(trailer.find('\0'), trailer.size()));
    p.m_bColorScanner = ByteAt(bytes, t + 17) == 1;
    p.m_iColor = ByteAt(bytes, t + 20);
    p.m_bCorrected = ByteAt(bytes, t + 21) == 1;
    p.m_iCamera = ByteAt(bytes, t + 22);
    p.m_iCameraCount = ByteAt(bytes, t + 23);
    p.m_iGeneration = DefaultLightProfileGeneration(false, 0, p.m_bColorScanner);
    load.m_bHeaderless = true;
    TakeData(load, szFile, bytes, kLpfOldHeaderSize, iSize - kLpfOldHeaderSize - kLpfOldTrailerSize);
}

bool ReadWholeFile(const std::string& szFile, std::string& bytes, std::string& szError, size_t iLimit = SIZE_MAX)
{
    std::ifstream in(szFile, std::ios::binary);
    if (!in) {
        szError = FormatText("%s: the file cannot be opened.", szFile.c_str());
        return false;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff iSize = in.tellg();
    in.seekg(0, std::ios::beg);
    if (iSize < 0) {
        szError = FormatText("%s: the file cannot be read.", szFile.c_str());
        return false;
    }
    // Samples are counted in 32 bits; a bigger file is refused before any allocation.
    if (static_cast<uint64_t>(iSize) > static_cast<uint64_t>(INT32_MAX) + 4096u && iLimit == SIZE_MAX) {
        szError = FormatText("%s: %lld bytes are more than a light profile can hold.", szFile.c_str(),
                             static_cast<long long>(iSize));
        return false;
    }
    const size_t iWant = std::min(static_cast<size_t>(iSize), iLimit);
    bytes.assign(iWant, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(iWant));
    bytes.resize(static_cast<size_t>(in.gcount()));
    if (bytes.size() < iWant) {
        szError = FormatText("%s: the file cannot be read.", szFile.c_str());
        return false;
    }
    return true;
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
    CLightProfileLoad load;
    load.m_Profile.m_szFileName = szFile;
    std::string szViewer;
    switch (ClassifyHead(bytes, szViewer)) {
    case HEAD_RAWDEX:
        load.m_eOutcome = LPF_LOAD_RAWDEX;
        break;
    case HEAD_HAND_OVER:
    case HEAD_NOISE_CHECK:
        load.m_eOutcome = LPF_LOAD_HAND_OVER;
        load.m_szViewer = szViewer;
        break;
    case HEAD_LIGHT_PROFILE:
        LoadHeadered(szFile, bytes, eViewer, load);
        break;
    case HEAD_HEADERLESS:
        LoadHeaderless(szFile, bytes, load);
        break;
    case HEAD_OTHER:
        load.m_eOutcome = LPF_LOAD_ASK_SETTINGS;
        break;
    }
    return load;
}

CLightProfileLoad LoadLightProfile(const std::string& szFile, LPF_VIEWER eViewer)
{
    CLightProfileLoad load;
    load.m_Profile.m_szFileName = szFile;
    std::string head;
    if (!ReadWholeFile(szFile, head, load.m_szError, kLpfOldHeaderSize)) {
        load.m_eOutcome = LPF_LOAD_FAILED;
        return load;
    }
    // Only light profiles are read in full; the others go to their viewer as they are.
    std::string szViewer;
    const HEAD_KIND eKind = ClassifyHead(head, szViewer);
    if (eKind != HEAD_LIGHT_PROFILE && eKind != HEAD_HEADERLESS)
        return LoadLightProfileBytes(szFile, head, eViewer);
    std::string bytes;
    if (!ReadWholeFile(szFile, bytes, load.m_szError)) {
        load.m_eOutcome = LPF_LOAD_FAILED;
        return load;
    }
    return LoadLightProfileBytes(szFile, bytes, eViewer);
}

CLightProfileLoad LoadLightProfileBytesWithSettings(const std::string& szFile, const std::string& bytes,
                                                    const CScannerSettings& settings)
{
    CLightProfileLoad load;
    CLightProfile& p = load.m_Profile;
    p.m_szFileName = szFile;
    if (settings.m_bCameraAdjustmentMode) {
        load.m_eOutcome = LPF_LOAD_HAND_OVER;
        load.m_szViewer = kLpfCameraCheckViewer;
        return load;
    }
    p.m_bColorScanner = settings.m_bColorScanner;
    p.m_iColor = settings.m_iColor;
    p.m_iCamera = settings.m_iCamera;
    p.m_iCameraCount = settings.m_iCameraCount;
    p.m_bCorrected = settings.m_bCorrected;
    p.m_iGeneration = DefaultLightProfileGeneration(false, 0, p.m_bColorScanner);
    p.m_szHeaderText = settings.m_szHeader.substr(0, 256);
    load.m_bHeaderless = true;
    const int64_t iSize = static_cast<int64_t>(bytes.size());
    if (iSize <= kLpfOldHeaderSize)
        TakeData(load, szFile, bytes, iSize, 0);
    else
        TakeData(load, szFile, bytes, kLpfOldHeaderSize, iSize - kLpfOldHeaderSize);
    return load;
}

CLightProfileLoad LoadLightProfileWithSettings(const std::string& szFile, const CScannerSettings& settings)
{
    CLightProfileLoad load;
    std::string bytes;
    if (!ReadWholeFile(szFile, bytes, load.m_szError)) {
        load.m_eOutcome = LPF_LOAD_FAILED;
        load.m_Profile.m_szFileName = szFile;
        return load;
    }
    return LoadLightProfileBytesWithSettings(szFile, bytes, settings);
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
    std::string head;
    if (!ReadWholeFile(szFile, head, szText, 100))
        return false;
    const std::string text = LpfHeaderText(head);
    static const char* const kSections[] = {"[Light Profile]", "[Noise Test]", "[Stitch Test]", "[G3 Light Profile]",
                                            "[Rawdex]"};
    bool bKnown = false;
    for (const char* sz : kSections)
        bKnown = bKnown || text.find(sz) != std::string::npos;
    const int64_t H = bKnown ? CLpfHeader(text).DataPointer() : 0;
    if (!bKnown || H <= 0) {
        szText = "Old Con-file.\nNo Header Information available";
        return true;
    }
    std::string header;
    if (!ReadWholeFile(szFile, header, szText, static_cast<size_t>(H)))
        return false;
    szText = LpfHeaderText(header);
    return true;
}

std::string LightProfileCsv(const std::vector<uint8_t>& samples)
{
    std::string sz = "index,value\n";
    sz.reserve(samples.size() * 10 + 16);
    char line[32];
    for (size_t i = 0; i < samples.size(); ++i) {
        const int n = std::snprintf(line, sizeof line, "%zu,%u\n", i, static_cast<unsigned>(samples[i]));
        sz.append(line, static_cast<size_t>(n));
    }
    return sz;
}

std::string LightProfileCsv(const std::vector<uint8_t>& red, const std::vector<uint8_t>& green,
                            const std::vector<uint8_t>& blue)
{
    std::string sz = "index,red,green,blue\n";
    const size_t n = std::min({red.size(), green.size(), blue.size()});
    char line[48];
    for (size_t i = 0; i < n; ++i) {
        const int k = std::snprintf(line, sizeof line, "%zu,%u,%u,%u\n", i, static_cast<unsigned>(red[i]),
                                    static_cast<unsigned>(green[i]), static_cast<unsigned>(blue[i]));
        sz.append(line, static_cast<size_t>(k));
    }
    return sz;
}
