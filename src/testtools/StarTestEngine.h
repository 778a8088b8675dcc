#pragma once
// The star test data set: reads a "[StarTest]" result file, derives the X and
// Y vibration, the wide-line drift and a vibration figure per diagonal line for
// every sweep, judges them against the line limits, averages repeated sweeps
// and prepares the curves the chart shows.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

class CPicture;

struct StarTestLine {
    int32_t m_iRow = 0;       // row where the segment's value was taken (its middle)
    uint8_t m_bPassed = 1;
    double m_dValue = 0.0;
    int32_t m_iFirstRow = 0, m_iEndRow = 0; // the segment's rows [first, end)
};

struct StarTestSpeedIndex {
    int32_t m_iRow = 0, m_iBytes = 0, m_iEndRow = 0;
};

struct StarTestSweep {
    bool m_bColorScan = false;
    int32_t m_iLength = 0;
    std::vector<double> m_dXVib, m_dYVib, m_dSpeedOrDeviation, m_dWideLine, m_dWideLineUnsmoothed;
    std::vector<double> m_dXLineWidth, m_dYLineWidth, m_dXVibAvg, m_dYVibAvg;
    std::vector<StarTestLine> m_Lines;      // one per line segment
    std::vector<double> m_dLineStdDev;      // averaged records: standard deviation per line
    int32_t m_iLineCount = 0;
    std::vector<uint32_t> m_RowColors;      // 0 = none
    double m_dAppFct = 0.0;
    int32_t m_iAppFctLine = 0;
    bool m_bStatisticsDone = false;
    bool m_bPassed = false;
    bool m_bAvgResult = false;
    bool m_bPickEnabled = false;
    int32_t m_iScanSpeed = 0;
    double m_dScanWidth = 0.0;
    int32_t m_iResolution = 0;
    int32_t m_iScanSpeedIndex = 0, m_iScanSpeedWidth = 0, m_iScanSpeedBytePerPix = 0;
    std::vector<double> m_dXLinePos, m_dYLinePos, m_dWideLinePos;
    std::vector<double> m_dXLineWidthRaw, m_dYLineWidthRaw; // columns 9 and 10 as read
    std::vector<int32_t> m_iXLineColumn;
    std::vector<StarTestSpeedIndex> m_SpeedIndex; // columns 6-8 of each row
    std::vector<uint8_t> m_XLineStart, m_YLineStart;
    int32_t m_iWideLineStart = 0, m_iWideLineEnd = 0, m_iXVibStart = 0, m_iXVibEnd = 0;
    int32_t m_iYVibStart = 0, m_iYVibEnd = 0;
    std::string m_szRawPictureName, m_szScanSpeedFileName;
    int32_t m_iErrorNo = 0;

    void Allocate(int32_t iLength);
    // Shown with a fail mark: a line failed, no statistics, or too few lines.
    bool IsFailing() const { return !m_bPassed || !m_bStatisticsDone || m_iLineCount < 10; }
};

// One curve of the chart, in the order the legend lists them.
struct StarTestCurve {
    std::string m_szName;
    uint32_t m_Color = 0; // 0x00BBGGRR
    std::vector<double> m_dValues;
    bool m_bWrap = false;
};

struct StarTestChartData {
    std::vector<StarTestCurve> m_Curves;
    std::vector<uint32_t> m_RowColors;
    std::vector<int32_t> m_MarkerRows; // rows of failing lines
    double m_dMaximum = 5.0, m_dMinimum = -5.0, m_dGrid = 2.5;
    int32_t m_iRows = 0;
};

class CStarTestEngine {
public:
    static constexpr int32_t kErrorLineFailed = 1107;
    static constexpr int32_t kMinLines = 10;

    CStarTestEngine();

    // Options (defaults as the test station runs them).
    bool m_bStatistics = false;
    bool m_bDetrend = true;
    bool m_bSubtractWideLine = true;
    bool m_bYLineStatistics = false;
    bool m_bMarkYLineStarts = false;

    std::vector<StarTestSweep> m_Sweeps;
    int32_t m_iSweepCount = 0;
    int32_t m_iDisplayed = 0;
    int32_t m_iAnalysed = -1;
    int32_t m_iRepeat = 0;
    int32_t m_iVersion = 0;
    std::string m_szFolder;
    std::string m_szFile;
    std::array<double, 5> m_dLineLimits{2.0, 1.75, 1.5, 1.25, 1.0};
    // What went wrong while reading, one text per problem, naming the file.
    std::vector<std::string> m_Messages;

    void Clear();
    // False when the file cannot be opened (the data set stays empty).
    bool ReadFile(const std::string& szPath);
    bool ReadText(const std::string& szText, const std::string& szName);

    void AnalyseSweep(StarTestSweep& s) const;
    // Tracks the lines of record iRecord in its raw picture and analyses the
    // sweep again from them; that record becomes the analysed one. False
    // (szError set, the record untouched) when no line is found.
    bool AnalyseFromPicture(int32_t iRecord, const CPicture& picture, std::string& szError);
    void AverageRepeats();
    void JudgeLine(StarTestSweep& s, int32_t iLine, double dValue) const;
    double LineLimit(int32_t iLine) const { return m_dLineLimits[size_t(iLine < 0 ? 0 : (iLine > 4 ? 4 : iLine))]; }

    const StarTestSweep* Displayed() const;
    StarTestChartData ChartData(); // of the displayed record (recomputes its passed flag)
    bool AllLinesPassed() const;

    // The raw picture of a measured sweep lies next to the result file as
    // "<result name without extension>_Sweep<NN>.tif", NN the sweep's
    // position in the file counting from 01.
    static std::string RawPictureName(const std::string& szResultFile, int32_t iRecord);

    // Writes the result file (the measured records only).
    static std::string FormatFile(const std::vector<StarTestSweep>& sweeps, int32_t iSweep, int32_t iRepeat);
    static bool WriteFile(const std::string& szPath, const std::vector<StarTestSweep>& sweeps, int32_t iSweep,
                          int32_t iRepeat, std::string* pError = nullptr);

private:
    template <class Source> bool Read(Source& src, const std::string& szName);
    void DetrendRange(std::vector<double>& v, int32_t iStart, int32_t iEnd, const std::vector<uint8_t>& starts,
                      const std::vector<double>& speed) const;
};

// The sample a realistic station run leaves: three speeds, each scanned twice,
// one line of one sweep vibrating beyond its limit.
std::vector<StarTestSweep> MakeSampleStarTestSweeps();
