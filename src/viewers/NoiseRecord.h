#pragma once
// Noise tests: for every pixel of the scan line, how much the signal varies
// while the scanner looks at a uniform target. The record below is what a
// loaded or scanned test holds; the graph marks are where a channel leaves its
// +-5 % band.
#include <cstdint>
#include <string>
#include <vector>

#include "datafiles/DataTable.h"

struct CConFileHeader;

constexpr uint8_t kNoiseMarker = 19;            // byte 11 of a headerless noise file
constexpr int64_t kNoiseOldHeaderSize = 48;
constexpr int64_t kNoiseOldTrailerSize = 44;
// The 48-byte header of the old form carries the model code of the scanner
// that recorded the test here; the noise check looks its limit up by it.
constexpr size_t kNoiseOldModelCodeOffset = 40;

class CNoiseRecord {
public:
    std::vector<uint8_t> m_Red, m_Green, m_Blue, m_Gray;
    bool m_bHasGray = false;
    int32_t m_iWidth = 0;
    int32_t m_iAverageRed = 0, m_iAverageGreen = 0, m_iAverageBlue = 0, m_iAverageGray = 0;
    int32_t m_iNoiseLimit = 0;
    bool m_bColorScanner = false;
    int32_t m_iScannerWidth = 0;
    double m_dWidthFactor = 8.5;
    int32_t m_iGeneration = 0;
    int32_t m_iFirmwareRevision = 0;
    std::string m_szScannerName, m_szScannerID, m_szDate, m_szTime;
    // Beyond the file's keys: where the record came from.
    bool m_bHeaderless = false;
    bool m_bHasNoiseLimit = false;
    uint32_t m_uModelCode = 0;
    std::string m_szHeader;        // header text of the header form
    std::string m_szError;         // why the last read or write failed

    bool AllocateChannels();
    bool ReadNoiseFile(const std::string& szPath);
    bool WriteNoiseFile(const std::string& szPath);
    void ComputeAverages();

    // The samples of a channel by colour code (0 red, 1 green, 2 blue, 4 gray);
    // null when the record has no such channel.
    const std::vector<uint8_t>* Channel(int32_t iColor) const;
    int32_t Average(int32_t iColor) const;

private:
    bool ReadHeaderForm(const std::string& szPath, const CConFileHeader& con);
    bool ReadHeaderlessForm(const std::string& szPath, const std::string& szFirst, int64_t iFileSize);
    bool Fail(const std::string& szText);
};

// The channels the noise graphs draw, one column each, keyed by pixel.
CDataTable NoiseDataTable(const CNoiseRecord& record);

// Rounded mean: (sum + n / 2) / n, 0 for no samples.
int32_t RoundedAverage(const uint8_t* p, int64_t n);

// The noise check limit from "Fct_Tst6.ini": section "0x%X" of the model code,
// key "NoiseTest". Returns true and sets iLimit when a value is present and not
// empty; on a missing key szMessage gets the text to show and iLimit stays.
bool LookupNoiseLimit(uint32_t uModelCode, int32_t& iLimit, std::string& szMessage);

// The noise test graph's unit codes and the multiplier of each.
enum ENoiseUnit : int32_t { NOISE_UNIT_SU = 0, NOISE_UNIT_INCH = 1, NOISE_UNIT_CM = 2 };
// "Unit" of the sibling tool's "Miscellaneous" section ("Inch", "cm", "SU").
int32_t NoiseUnitFromText(const std::string& szUnit);
std::string NoisePositionLabel(int32_t iUnit, double dWidthFactor, int64_t iIndex, int64_t iCount);

// The position scale under the noise graphs: round steps (1, 2 or 5 times a
// power of ten) of the chosen unit, about iWanted of them across the visible
// samples [iFirst, iLast) of iCount, placed by the same column rule as the marks.
struct CNoiseTick {
    int32_t m_iX = 0;
    std::string m_szLabel;
};
std::vector<CNoiseTick> NoiseRulerTicks(int32_t iUnit, double dWidthFactor, int64_t iCount, int64_t iFirst,
                                        int64_t iLast, int32_t iW, int32_t iWanted = 8);

// Marks of the noise graph, computed on a plot of W x H pixels for the samples
// of one channel, with the control's centre sample and zoom.
struct CNoiseMark {
    int64_t m_iIndex = 0;
    int32_t m_iValue = 0;
    int32_t m_iX = 0, m_iY = 0;  // tip of the triangle
    bool m_bPeak = false;
    std::string m_szLabel;       // written centred at (x, y + 22)
};
struct CNoiseMarks {
    bool m_bDrawn = false;       // false: nothing at all is drawn
    uint32_t m_uColor = 0;       // 0x00BBGGRR of the channel
    int32_t m_iAvg = 0, m_iLo = 0, m_iHi = 0;
    int32_t m_iYMirror = 0, m_iYAverage = 0, m_iYLow = 0;  // the three band lines
    int64_t m_iFirst = 0, m_iLast = 0;
    std::vector<CNoiseMark> m_Marks;
};
CNoiseMarks FindNoiseMarks(const std::vector<uint8_t>& samples, int32_t iColor, int32_t iW, int32_t iH,
                           int64_t iCenter, int64_t iZoom, int32_t iUnit, double dWidthFactor);
uint32_t NoiseChannelColor(int32_t iColor);  // 0xFFFFFFFF for a colour that draws nothing

// Zoom and scroll of the noise graphs: powers of two around a centre sample.
class CNoiseZoom {
public:
    int64_t m_iCount = 0;   // samples
    int64_t m_iZoom = 1;
    int64_t m_iCenter = 0;
    void Reset(int64_t iCount);
    int64_t First() const;
    int64_t Last() const;
    void ZoomIn(int32_t iX, int32_t iW);  // x inside a plot of width W
    void ZoomOut();
    void Clamp();
    // Scroll bar over 0..10000 of the samples.
    int32_t ScrollPos() const;
    int32_t ScrollPage() const;
    void ScrollTo(int32_t iPos);
};
