#pragma once
// Camera width analysis: the width, centre and tilt of each camera's scan
// area, measured scan after scan on the calibration target and appended to
// a semicolon-separated table ("CameraWidth.csv") for later inspection.
#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/FileHandle.h"

class CPicture;

// A table opened for appending: every opening adds a "sep=;" hint line for
// spreadsheet programs, so an earlier run's rows are never lost.
class CCsvFile {
public:
    explicit CCsvFile(const std::string& szPath, char cSeparator = ';');
    // Ends the last row with a line feed, so the next opening's hint line
    // stands on a line of its own.
    ~CCsvFile();
    CCsvFile(const CCsvFile&) = delete;
    CCsvFile& operator=(const CCsvFile&) = delete;
    bool IsOpen() const { return static_cast<bool>(m_pFile); }
    const std::string& Path() const { return m_szPath; }
    // Why the file could not be opened or written.
    const std::string& Error() const { return m_szError; }
    char Separator() const { return m_cSeparator; }

    // One cell each, followed by the separator and a blank.
    void WriteText(const std::string& szText); // "%s%c "
    void WriteInt(int32_t iValue);             // "%d%c "
    void WriteDouble(double dValue);           // "%.2f%c "
    // A new row that starts with the milliseconds since the file was opened.
    void NewRow();
    void Flush();
    int64_t ElapsedMs() const;
    // Text as it is, without a separator.
    void Put(const std::string& sz);

private:
    std::string m_szPath;
    char m_cSeparator;
    CFilePtr m_pFile;
    int64_t m_iStartMs = 0;
    std::string m_szError;
};

// Where the cameras lie, in each camera's own pixels (as the layout analysis
// gives them): the part of the camera that goes into the picture, the end of
// its dark reference pixels, the centre of its middle stitch group and its
// nominal width at the scan resolution.
struct CCameraWidthLayout {
    int32_t m_iCameraCount = 0;
    int32_t m_iBlackStop = 0;
    std::array<int32_t, 8> m_iStartCamera{};
    std::array<int32_t, 8> m_iStopCamera{};
    std::array<double, 8> m_dGroupCenterMiddle{}; // < 0: not found
    std::array<double, 8> m_dWidth_Teoretical{};
};

class CCameraWidth {
public:
    static constexpr int32_t kErrLayout = -31; // camera count outside 1..8 or no picture
    static constexpr const char* kFileName = "CameraWidth.csv";

    // szCsvPath empty: measure without writing a table.
    explicit CCameraWidth(const std::string& szCsvPath);

    // Measure every camera of the block and append one row. Returns 0 or
    // kErrLayout; a camera whose edges are not found keeps -1 in its cells.
    int32_t FindClassicScanWidth(const CPicture& block, const CCameraWidthLayout& layout);
    int32_t FindSimpleScanWidth(const CPicture& block, const CCameraWidthLayout& layout);

    // The column names of one camera's block (the first is its letter).
    static std::vector<std::string> ClassicColumns(int32_t iCamera);
    static std::vector<std::string> SimpleColumns(int32_t iCamera);
    // (stop + (start + black stop)) / 2 in integer arithmetic.
    static int32_t CameraCenter(int32_t iStart, int32_t iStop, int32_t iBlackStop)
    {
        return (iStop + (iStart + iBlackStop)) / 2;
    }

    std::array<double, 8> m_dWidth_Left{};
    std::array<double, 8> m_dWidth_Right{};
    std::array<double, 8> m_dWidth_Teoretical{};
    std::array<double, 8> m_rdWidth{};
    std::array<double, 8> m_rdCenter{};
    std::array<double, 8> m_aTilt{};
    std::array<bool, 8> m_bFound{};
    CCsvFile* Csv() { return m_pCsv.get(); }

private:
    int32_t Prepare(const CPicture& block, const CCameraWidthLayout& layout, bool bClassic);
    // Prepare, then measure(camera, table or nullptr) for every camera, then flush the table.
    int32_t EachCamera(const CPicture& block, const CCameraWidthLayout& layout, bool bClassic,
                       const std::function<void(int32_t, CCsvFile*)>& measure);
    std::unique_ptr<CCsvFile> m_pCsv;
    bool m_bHeaderWritten = false;
    bool m_bHeaderClassic = false;
};
