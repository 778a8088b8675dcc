#include "datafiles/ConHeader.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstring>

#include "datafiles/Settings.h"
#include "platform/Decimal.h"
#include "platform/FileHandle.h"
#include "platform/IniFile.h"
#include "platform/Log.h"

namespace {
bool ScanThree(const std::string& szValue, std::array<int32_t, 3>& values)
{
    std::array<int32_t, 3> parsed{};
    size_t iPos = 0;
    for (int32_t& v : parsed)
        if (!ScanDecimal(szValue, iPos, v))
            return false;
    values = parsed;
    return true;
}
} // namespace

// ---------------------------------------------------------------- text

void ConHeader::SetText(const std::string& szText)
{
    SetText(szText.data(), szText.size());
}

void ConHeader::SetText(const char* pBytes, size_t iCount)
{
    const void* pNul = iCount ? std::memchr(pBytes, '\0', iCount) : nullptr;
    const size_t iUsed = pNul ? static_cast<size_t>(static_cast<const char*>(pNul) - pBytes) : iCount;
    m_szText.assign(pBytes, iUsed);
}

// ---------------------------------------------------------------- sections

bool ConHeader::IsLightProfile() const { return Contains(CON_SECTION_LIGHT_PROFILE); }
bool ConHeader::IsG3LightProfile() const { return Contains(CON_SECTION_G3_LIGHT_PROFILE); }
bool ConHeader::IsOscilloscope() const { return Contains(CON_SECTION_OSCILLOSCOPE); }
bool ConHeader::IsLiveOscilloscope() const { return Contains(CON_SECTION_LIVE_OSCILLOSCOPE); }
bool ConHeader::IsMTF() const { return Contains(CON_SECTION_MTF); }
bool ConHeader::IsStitchTest() const { return Contains(CON_SECTION_STITCH_TEST); }
bool ConHeader::IsNoiseTest() const { return Contains(CON_SECTION_NOISE_TEST); }
bool ConHeader::IsRawdex() const { return Contains(CON_SECTION_RAWDEX); }
bool ConHeader::IsAdjustCenterCCD() const
{
    return Contains(CON_SECTION_ADJUST_CENTER_CCD) || Contains(CON_SECTION_SCAN_LINE_POSITIONING);
}
bool ConHeader::IsVerticalCameraVerification() const
{
    return Contains(CON_SECTION_VERTICAL_CAMERA_VERIFICATION) || Contains(CON_SECTION_MIRROR_CARRIAGE_ADJUSTMENT);
}
bool ConHeader::IsStarTest() const { return Contains(CON_SECTION_STAR_TEST); }
bool ConHeader::IsTonalResolution() const { return Contains(CON_SECTION_TONAL_RESOLUTION); }

// ---------------------------------------------------------------- data pointer

int32_t ConHeader::GetDataPointer() const
{
    const size_t iEq = m_szText.find('=');
    if (iEq == std::string::npos)
        return 0;
    return AtoiText(m_szText.substr(iEq + 1, 10));
}

bool ConHeader::GetDataPointerChecked(int64_t& iH) const
{
    iH = 0;
    const size_t iEnd = DataPointerFieldEnd();
    if (iEnd == std::string::npos)
        return false;
    const std::string szField = m_szText.substr(iEnd - 10, 10);
    size_t i = 0;
    while (i < szField.size() && szField[i] == ' ')
        ++i;
    if (i == szField.size())
        return false;
    int64_t iValue = 0;
    for (; i < szField.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(szField[i])))
            return false;
        iValue = iValue * 10 + (szField[i] - '0');
    }
    iH = iValue;
    return true;
}

size_t ConHeader::DataPointerFieldEnd() const
{
    const size_t iEq = m_szText.find('=');
    if (iEq == std::string::npos || m_szText.size() - iEq - 1 < 10)
        return std::string::npos;
    return iEq + 11;
}

bool ConHeader::PatchDataPointer()
{
    const size_t iEnd = DataPointerFieldEnd();
    if (iEnd == std::string::npos)
        return false;
    char szField[16];
    std::snprintf(szField, sizeof szField, "%10zu", m_szText.size());
    if (std::strlen(szField) != 10)
        return false; // a header of 10 GB or more cannot be described in ten characters
    m_szText.replace(iEnd - 10, 10, szField, 10);
    return true;
}

// ---------------------------------------------------------------- readers

bool ConHeader::FindValue(const std::string& szKey, std::string& szValue) const
{
    const size_t iKey = m_szText.find(szKey);
    if (iKey == std::string::npos)
        return false;
    const size_t iStart = iKey + szKey.size();
    size_t iEnd = m_szText.find_first_of("\r\n", iStart);
    if (iEnd == std::string::npos)
        iEnd = m_szText.size();
    szValue = m_szText.substr(iStart, std::min(iEnd - iStart, kMaxValue));
    return true;
}

bool ConHeader::GetText(const std::string& szKey, std::string& szOut) const
{
    return FindValue(szKey, szOut);
}

bool ConHeader::GetInt(const std::string& szKey, int32_t& iOut) const
{
    iOut = 0;
    std::string szValue;
    if (!FindValue(szKey, szValue))
        return false;
    iOut = AtoiText(szValue);
    return true;
}

bool ConHeader::GetScannerName(std::string& szOut) const
{
    // Skips the name and the "=" the writer always puts after it.
    const size_t iKey = m_szText.find("ScannerName");
    if (iKey == std::string::npos)
        return false;
    const size_t iStart = std::min(iKey + 12, m_szText.size());
    size_t iEnd = m_szText.find_first_of("\r\n", iStart);
    if (iEnd == std::string::npos)
        iEnd = m_szText.size();
    szOut = m_szText.substr(iStart, std::min(iEnd - iStart, kMaxValue));
    return true;
}

bool ConHeader::GetScannerID(std::string& szOut) const
{
    szOut.clear();
    return FindValue("Scanner ID=", szOut);
}

int32_t ConColorFromWord(const std::string& v)
{
    if (!v.empty() && v[0] == 'R' && v.size() > 4 && v[4] == 'G')
        return CON_COLOR_RGB_READ;
    if (!v.empty() && v[0] == 'R')
        return CON_COLOR_RED;
    if (v.compare(0, 4, "Gray") == 0)
        return CON_COLOR_GRAY;
    if (!v.empty() && v[0] == 'G')
        return CON_COLOR_GREEN;
    if (!v.empty() && v[0] == 'B')
        return CON_COLOR_BLUE;
    if (!v.empty() && v[0] == 'N')
        return 1; // "NONE" has always read back as 1
    return AtoiText(v);
}

std::string ConColorWord(int32_t iColor)
{
    switch (iColor) {
    case CON_COLOR_RED: return "Red";
    case CON_COLOR_GREEN: return "Green";
    case CON_COLOR_BLUE: return "Blue";
    case CON_COLOR_RGB:
    case CON_COLOR_RGB_READ: return "Red:Green:Blue";
    case CON_COLOR_GRAY: return "Gray";
    default: return "NONE";
    }
}

int32_t ConCameraFromWord(const std::string& v)
{
    if (v.compare(0, 2, "Al") == 0)
        return CON_CAMERA_ALL;
    if (!v.empty() && v[0] >= 'A' && v[0] <= 'H')
        return v[0] - 'A';
    return AtoiText(v);
}

bool ConHeader::GetColor(int32_t& iColor) const
{
    iColor = 0;
    std::string szValue;
    if (!FindValue("Color=", szValue))
        return false;
    iColor = ConColorFromWord(szValue);
    return true;
}

bool ConHeader::GetCameraUsed(int32_t& iCamera) const
{
    iCamera = 0;
    std::string szValue;
    if (!FindValue("CameraUsed=", szValue))
        return false;
    iCamera = ConCameraFromWord(szValue);
    return true;
}

bool ConHeader::GetCameraCount(int32_t& iCount) const { return GetInt("CameraCount=", iCount); }

bool ConHeader::GetCameraPix(int iCamera, int32_t& iPix) const
{
    iPix = 0;
    if (iCamera < 0 || iCamera > 7)
        return false;
    return GetInt(FormatText("Camera%cPix=", 'A' + iCamera), iPix);
}

bool ConHeader::GetFlagUpperT(const std::string& szKey, bool& bOut) const
{
    bOut = false;
    std::string szValue;
    if (!FindValue(szKey, szValue))
        return false;
    bOut = !szValue.empty() && szValue[0] == 'T';
    return true;
}

bool ConHeader::GetCorrected(bool& bCorrected) const { return GetFlagUpperT("Corrected=", bCorrected); }
bool ConHeader::GetColorScanner(bool& bColor) const { return GetFlagUpperT("ColorScanner=", bColor); }

bool ConHeader::GetIsSigned32Profile(bool& bSigned) const
{
    bSigned = false;
    std::string szValue;
    if (!FindValue("IsSigned_32_Profile=", szValue))
        return false;
    // Only a true value counts as present: older writers left "FALSE" in for
    // 16-bit profiles and readers treat that as the key being missing.
    if (szValue.empty() || (szValue[0] != 't' && szValue[0] != 'T'))
        return false;
    bSigned = true;
    return true;
}

bool ConHeader::GetFirmwareRevision(int32_t& iRevision) const { return GetInt("Firmware Revision=", iRevision); }
bool ConHeader::GetFirmwareBuild(int32_t& iBuild) const { return GetInt("FirmwareBuild=", iBuild); }

bool ConHeader::GetDate(std::string& szDate) const
{
    szDate.clear();
    return FindValue("Date=", szDate);
}

bool ConHeader::GetTime(std::string& szTime) const
{
    szTime.clear();
    return FindValue("Time=", szTime);
}

bool ConHeader::GetWidth(int32_t& iWidth) const { return GetInt("Width=", iWidth); }
bool ConHeader::GetHeight(int32_t& iHeight) const { return GetInt("Height=", iHeight); }
bool ConHeader::GetLength(int32_t& iLength) const { return GetInt("Length=", iLength); }
bool ConHeader::GetResolution(int32_t& iResolution) const { return GetInt("Resolution=", iResolution); }
bool ConHeader::GetScannerWidth(int32_t& iWidth) const { return GetInt("ScannerWidth(1/1200)=", iWidth); }
bool ConHeader::GetGeneration(int32_t& iGeneration) const { return GetInt("Generation=", iGeneration); }
bool ConHeader::GetScannerFamily(int32_t& iFamily) const { return GetInt("ScannerFamily=", iFamily); }
bool ConHeader::GetNoiseLimit(int32_t& iLimit) const { return GetInt("NoiseLimit=", iLimit); }

bool ConHeader::GetCenterLines(std::array<int32_t, 3>& values) const
{
    std::string szValue;
    return FindValue("CenterLines=", szValue) && ScanThree(szValue, values);
}

bool ConHeader::GetMagnification(std::array<int32_t, 3>& values) const
{
    std::string szValue;
    return FindValue("Magnification=", szValue) && ScanThree(szValue, values);
}

bool ConHeader::GetProgramName(std::string& szOut) const { return GetText("ProgramName=", szOut); }
bool ConHeader::GetProgramVersion(std::string& szOut) const { return GetText("ProgramVersion=", szOut); }
bool ConHeader::GetProgramBuild(std::string& szOut) const { return GetText("ProgramBuild=", szOut); }

// ---------------------------------------------------------------- writers

void ConHeader::AppendLine(const std::string& szLine)
{
    // A line never outgrows the scratch space: the value is cut, the line feed kept.
    if (szLine.size() + 1 > kMaxValue)
        m_szText.append(szLine, 0, kMaxValue - 1);
    else
        m_szText += szLine;
    m_szText += '\n';
}

void ConHeader::AppendSection(const std::string& szSectionLine)
{
    AppendLine(szSectionLine);
    AppendLine(std::string("DataPointer=") + kDataPointerPlaceholder);
}

void ConHeader::AppendTextKey(const std::string& szKey, const std::string& szValue) { AppendLine(szKey + szValue); }
void ConHeader::AppendIntKey(const std::string& szKey, int32_t iValue) { AppendLine(szKey + std::to_string(iValue)); }
void ConHeader::AppendBoolKey(const std::string& szKey, bool bValue) { AppendLine(szKey + (bValue ? "TRUE" : "FALSE")); }

void ConHeader::AppendScannerName(const std::string& szName) { AppendTextKey("ScannerName=", szName); }
void ConHeader::AppendScannerID(const std::string& szID) { AppendTextKey("Scanner ID=", szID); }
void ConHeader::AppendColor(int32_t iColor) { AppendTextKey("Color=", ConColorWord(iColor)); }

void ConHeader::AppendCameraUsed(int32_t iCamera)
{
    if (iCamera >= 0 && iCamera <= 7)
        AppendTextKey("CameraUsed=", std::string(1, static_cast<char>('A' + iCamera)));
    else if (iCamera == CON_CAMERA_ALL)
        AppendTextKey("CameraUsed=", "All");
}

void ConHeader::AppendCameraCount(int32_t iCount) { AppendIntKey("CameraCount=", iCount); }

void ConHeader::AppendCameraPix(int iCamera, int32_t iPix)
{
    if (iCamera >= 0 && iCamera <= 7)
        AppendIntKey(FormatText("Camera%cPix=", 'A' + iCamera), iPix);
}

void ConHeader::AppendCorrected(bool bCorrected) { AppendBoolKey("Corrected=", bCorrected); }
void ConHeader::AppendColorScanner(bool bColor) { AppendBoolKey("ColorScanner=", bColor); }
void ConHeader::AppendIsSigned32Profile(bool bSigned) { AppendBoolKey("IsSigned_32_Profile=", bSigned); }
void ConHeader::AppendFirmwareRevision(int32_t iRevision) { AppendLine(FormatText("Firmware Revision=%1d", iRevision)); }
void ConHeader::AppendFirmwareBuild(int32_t iBuild) { AppendIntKey("FirmwareBuild=", iBuild); }
void ConHeader::AppendDate() { AppendDate(CDateTime::Now().DateString()); }
void ConHeader::AppendTime() { AppendTime(CDateTime::Now().TimeString()); }
void ConHeader::AppendDate(const std::string& szDate) { AppendTextKey("Date=", szDate); }
void ConHeader::AppendTime(const std::string& szTime) { AppendTextKey("Time=", szTime); }
void ConHeader::AppendWidth(int32_t iWidth) { AppendIntKey("Width=", iWidth); }
void ConHeader::AppendHeight(int32_t iHeight) { AppendIntKey("Height=", iHeight); }
void ConHeader::AppendLength(int32_t iLength) { AppendIntKey("Length=", iLength); }
void ConHeader::AppendResolution(int32_t iResolution) { AppendIntKey("Resolution=", iResolution); }
void ConHeader::AppendScannerWidth(int32_t iWidth) { AppendIntKey("ScannerWidth(1/1200)=", iWidth); }
void ConHeader::AppendGeneration(int32_t iGeneration) { AppendIntKey("Generation=", iGeneration); }
void ConHeader::AppendScannerFamily(int32_t iFamily) { AppendIntKey("ScannerFamily=", iFamily); }

void ConHeader::AppendCenterLines(int32_t a, int32_t b, int32_t c)
{
    AppendLine(FormatText("CenterLines=%d %d %d", a, b, c));
}

void ConHeader::AppendMagnification(int32_t a, int32_t b, int32_t c)
{
    AppendLine(FormatText("Magnification=%d %d %d", a, b, c));
}

void ConHeader::AppendNoiseLimit(int32_t iLimit) { AppendIntKey("NoiseLimit=", iLimit); }
void ConHeader::AppendSelectedCamera(int32_t iCamera) { AppendIntKey("SelectedCamera=", iCamera); }

void ConHeader::AppendStitchArea(int32_t iArea)
{
    static const char* const kAreas[] = {"AB", "BC", "CD"};
    AppendTextKey("StitchArea=", iArea >= 0 && iArea <= 2 ? kAreas[iArea] : "UNKNOWN");
}

void ConHeader::AppendProgramName(const std::string& szName) { AppendTextKey("ProgramName=", szName); }
void ConHeader::AppendProgramVersion(const std::string& szVersion) { AppendTextKey("ProgramVersion=", szVersion); }
void ConHeader::AppendProgramBuild(const std::string& szBuild) { AppendTextKey("ProgramBuild=", szBuild); }

void ConHeader::AppendText(const std::string& szText) { m_szText += szText; }

std::string ConHeader::VersionTextPath()
{
    // The sibling tool's module is never loaded into this process on Linux, so
    // the text always sits beside our own executable.
    const std::string szExe = ProgramExecutablePath();
    if (szExe.empty())
        return std::string();
    const size_t iSlash = szExe.rfind('/');
    const size_t iDot = szExe.rfind('.');
    if (iDot != std::string::npos && (iSlash == std::string::npos || iDot > iSlash))
        return szExe.substr(0, iDot) + ".txt";
    return szExe + ".txt";
}

void ConHeader::AppendVersionText(const std::string& szText)
{
    if (!szText.empty()) {
        AppendLine(szText);
        return;
    }
    const std::string szPath = VersionTextPath();
    if (szPath.empty())
        return;
    std::string szContent;
    if (!ReadFilePrefix(szPath, 99, szContent))
        return;
    if (const size_t iNul = szContent.find('\0'); iNul != std::string::npos)
        szContent.resize(iNul);
    m_szText += szContent;
    m_szText += '\n';
}
