#pragma once
// The text header of a ".con" data file: a section line, the "DataPointer="
// line holding the header length H in ten characters, then "key=value" lines.
// Keys are global: a key is found anywhere in the text, first occurrence wins.
// One reader and one writer per key of the vocabulary, so every file kind
// spells its keys the same way.
#include <array>
#include <cstdint>
#include <string>

// Section lines, as written and searched for.
inline constexpr const char* CON_SECTION_LIGHT_PROFILE = "[Light Profile]";
inline constexpr const char* CON_SECTION_G3_LIGHT_PROFILE = "[G3 Light Profile]";
inline constexpr const char* CON_SECTION_OSCILLOSCOPE = "[Oscilloscope]";
inline constexpr const char* CON_SECTION_LIVE_OSCILLOSCOPE = "[Live Oscilloscope]";
inline constexpr const char* CON_SECTION_MTF = "[MTF]";
inline constexpr const char* CON_SECTION_STITCH_TEST = "[Stitch Test]";
inline constexpr const char* CON_SECTION_NOISE_TEST = "[Noise Test]";
inline constexpr const char* CON_SECTION_RAWDEX = "[Rawdex]";
inline constexpr const char* CON_SECTION_ADJUST_CENTER_CCD = "[Adjust Center CCD]";
inline constexpr const char* CON_SECTION_SCAN_LINE_POSITIONING = "[Scan-Line Positioning]";
inline constexpr const char* CON_SECTION_VERTICAL_CAMERA_VERIFICATION = "[Vertical Camera Verification]";
inline constexpr const char* CON_SECTION_MIRROR_CARRIAGE_ADJUSTMENT = "[Mirror Carriage Adjustment]";
inline constexpr const char* CON_SECTION_STAR_TEST = "[StarTest]";
inline constexpr const char* CON_SECTION_TONAL_RESOLUTION = "[Tonal Resolution]";

// Colour codes of the "Color=" key.
enum EConColor : int32_t {
    CON_COLOR_RED = 0,
    CON_COLOR_GREEN = 1,
    CON_COLOR_BLUE = 2,
    CON_COLOR_RGB = 3,          // written as "Red:Green:Blue"
    CON_COLOR_GRAY = 4,
    CON_COLOR_RGB_READ = 254,   // what "Red:Green:Blue" reads back as (also written as it)
};
// "CameraUsed=All".
inline constexpr int32_t CON_CAMERA_ALL = 255;

class ConHeader {
public:
    // One value or one formatted line at a time, like the scratch buffer the
    // format was designed around: values and lines longer than this are cut.
    static constexpr size_t kMaxValue = 999;
    // Ten characters after the first "=", patched just before writing.
    static constexpr const char* kDataPointerPlaceholder = "0123456789";

    ConHeader() = default;
    // Replaces the text; bytes after the first NUL are dropped, as a C string would.
    void SetText(const std::string& szText);
    void SetText(const char* pBytes, size_t iCount);
    const std::string& GetText() const { return m_szText; }
    size_t Length() const { return m_szText.size(); }

    // ---- section tests: true when the section line occurs anywhere ----
    bool IsLightProfile() const;
    bool IsG3LightProfile() const;
    bool IsOscilloscope() const;
    bool IsLiveOscilloscope() const;
    bool IsMTF() const;
    bool IsStitchTest() const;
    bool IsNoiseTest() const;
    bool IsRawdex() const;
    bool IsAdjustCenterCCD() const;              // either of its two names
    bool IsVerticalCameraVerification() const;   // either of its two names
    bool IsStarTest() const;
    bool IsTonalResolution() const;
    bool Contains(const std::string& szNeedle) const { return m_szText.find(szNeedle) != std::string::npos; }

    // ---- data pointer ----
    // H: atoi of the ten characters after the first "=" (no search for the
    // word). 0 when the text holds no "=".
    int32_t GetDataPointer() const;
    // The same, but false unless there is an "=" followed by ten characters
    // that are blanks and then at least one digit (nothing else).
    bool GetDataPointerChecked(int64_t& iH) const;
    // Offset just past the data-pointer line's ten characters, or npos when the
    // text holds no "=" with ten characters after it.
    size_t DataPointerFieldEnd() const;
    // Writes the current text length ("%10d") over the ten characters after the
    // first "=". False when there is no such field.
    bool PatchDataPointer();

    // ---- readers: false when the key is absent ----
    // Integer, code and flag readers set the out-parameter to 0 first.
    // The scanner-name reader and the generic text reader leave it untouched.
    bool GetText(const std::string& szKey, std::string& szOut) const;   // key includes "="
    bool GetInt(const std::string& szKey, int32_t& iOut) const;         // key includes "="
    bool GetScannerName(std::string& szOut) const;
    bool GetScannerID(std::string& szOut) const;
    bool GetColor(int32_t& iColor) const;
    bool GetCameraUsed(int32_t& iCamera) const;
    bool GetCameraCount(int32_t& iCount) const;
    bool GetCameraPix(int iCamera, int32_t& iPix) const;                 // "Camera%cPix=", camera 0..7
    bool GetCorrected(bool& bCorrected) const;
    bool GetColorScanner(bool& bColor) const;
    bool GetIsSigned32Profile(bool& bSigned) const;
    bool GetFirmwareRevision(int32_t& iRevision) const;
    bool GetFirmwareBuild(int32_t& iBuild) const;
    bool GetDate(std::string& szDate) const;
    bool GetTime(std::string& szTime) const;
    bool GetWidth(int32_t& iWidth) const;
    bool GetHeight(int32_t& iHeight) const;
    bool GetLength(int32_t& iLength) const;
    bool GetResolution(int32_t& iResolution) const;
    bool GetScannerWidth(int32_t& iWidth) const;                         // 1/1200 inch
    bool GetGeneration(int32_t& iGeneration) const;
    bool GetScannerFamily(int32_t& iFamily) const;
    bool GetNoiseLimit(int32_t& iLimit) const;
    bool GetCenterLines(std::array<int32_t, 3>& values) const;           // all three or false
    bool GetMagnification(std::array<int32_t, 3>& values) const;         // all three or false
    bool GetProgramName(std::string& szOut) const;
    bool GetProgramVersion(std::string& szOut) const;
    bool GetProgramBuild(std::string& szOut) const;

    // ---- writers: one line each, ended by a line feed ----
    void AppendSection(const std::string& szSectionLine); // section line + "DataPointer=0123456789"
    void AppendLightProfileSection() { AppendSection(CON_SECTION_LIGHT_PROFILE); }
    void AppendG3LightProfileSection() { AppendSection(CON_SECTION_G3_LIGHT_PROFILE); }
    void AppendOscilloscopeSection() { AppendSection(CON_SECTION_OSCILLOSCOPE); }
    void AppendLiveOscilloscopeSection() { AppendSection(CON_SECTION_LIVE_OSCILLOSCOPE); }
    void AppendMTFSection() { AppendSection(CON_SECTION_MTF); }
    void AppendStitchTestSection() { AppendSection(CON_SECTION_STITCH_TEST); }
    void AppendNoiseTestSection() { AppendSection(CON_SECTION_NOISE_TEST); }
    void AppendRawdexSection() { AppendSection(CON_SECTION_RAWDEX); }

    void AppendTextKey(const std::string& szKey, const std::string& szValue); // key includes "="
    void AppendIntKey(const std::string& szKey, int32_t iValue);               // key includes "="
    void AppendBoolKey(const std::string& szKey, bool bValue);                 // "TRUE"/"FALSE"
    void AppendScannerName(const std::string& szName);
    void AppendScannerID(const std::string& szID);
    void AppendColor(int32_t iColor);
    void AppendCameraUsed(int32_t iCamera);  // 0..7 letters, 255 "All", anything else writes nothing
    void AppendCameraCount(int32_t iCount);
    void AppendCameraPix(int iCamera, int32_t iPix);
    void AppendCorrected(bool bCorrected);
    void AppendColorScanner(bool bColor);
    void AppendIsSigned32Profile(bool bSigned);
    void AppendFirmwareRevision(int32_t iRevision);
    void AppendFirmwareBuild(int32_t iBuild);
    void AppendDate();                         // now, from the run-time services
    void AppendTime();
    void AppendDate(const std::string& szDate);
    void AppendTime(const std::string& szTime);
    void AppendWidth(int32_t iWidth);
    void AppendHeight(int32_t iHeight);
    void AppendLength(int32_t iLength);
    void AppendResolution(int32_t iResolution);
    void AppendScannerWidth(int32_t iWidth);
    void AppendGeneration(int32_t iGeneration);
    void AppendScannerFamily(int32_t iFamily);
    void AppendCenterLines(int32_t a, int32_t b, int32_t c);
    void AppendMagnification(int32_t a, int32_t b, int32_t c);
    void AppendNoiseLimit(int32_t iLimit);
    void AppendSelectedCamera(int32_t iCamera);
    void AppendStitchArea(int32_t iArea);      // 0 "AB", 1 "BC", 2 "CD", else "UNKNOWN"
    void AppendProgramName(const std::string& szName);
    void AppendProgramVersion(const std::string& szVersion);
    void AppendProgramBuild(const std::string& szBuild);

    // Appends the text unchanged.
    void AppendText(const std::string& szText);
    // Appends the text and a line feed; with no text, the first 99 bytes of the
    // program's version text file ("<executable>.txt" beside the program) and a
    // line feed, or nothing when that file does not exist.
    void AppendVersionText(const std::string& szText = std::string());
    // The version text file AppendVersionText reads.
    static std::string VersionTextPath();

    // The value after a key (first occurrence) up to CR, LF or the end of the
    // text, cut at kMaxValue; false when absent.
    bool FindValue(const std::string& szKey, std::string& szValue) const;

private:
    void AppendLine(const std::string& szLine);
    bool GetFlagUpperT(const std::string& szKey, bool& bOut) const;

    std::string m_szText;
};

// The words of the colour and camera keys, shared with code that shows them.
std::string ConColorWord(int32_t iColor);        // "Red", ..., "Red:Green:Blue", "Gray", "NONE"
int32_t ConColorFromWord(const std::string& szValue);
int32_t ConCameraFromWord(const std::string& szValue);
