#pragma once
// The one in-memory picture of the system: scans, pictures read from TIFF,
// camera cut-outs and synthetic test pictures. Besides the pixels it knows how
// the width is shared among the cameras (m_BiC) and carries the line finders
// the calibration and test code measures with.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

enum EPicData : int32_t {
    PIC_BW = 0,        // run-length coded black/white (or packed rows when filled from TIFF)
    PIC_GRAY = 1,
    PIC_RGB = 2,
    PIC_RGB48 = 3,
    PIC_UNDEFINED = 4,
};

// The picture's data, in the order the rest of the system knows them. Plain
// values only, so moving a picture is copying these and resetting the source.
inline constexpr int32_t kPictureCameras = 8;
struct CPictureFields {
    int32_t m_BiCSaved[kPictureCameras] = {};
    double m_dLineStart = 0.0;
    double m_dLineEnd = 0.0;
    double m_dLineWidth = 0.0;
    int32_t m_iAllocated = -1;
    int32_t m_iSize = -1;
    uint8_t* m_pData = nullptr;
    int32_t m_BiC[kPictureCameras] = {-1, -1, -1, -1, 0, 0, 0, 0};
    int32_t m_iWidth = -1;
    int32_t m_iWidth3 = -1;
    int32_t m_iHeight = -1;
    int32_t m_iResolution = -1;
    EPicData m_PicData = PIC_UNDEFINED;
    char m_szText[264] = {};
};

// Owns the buffer m_pData points to; a moved-from picture is an empty one.
class CPictureStorage : public CPictureFields {
public:
    CPictureStorage() = default;
    ~CPictureStorage() { delete[] m_pData; }
    CPictureStorage(const CPictureStorage&) = delete;
    CPictureStorage& operator=(const CPictureStorage&) = delete;
    CPictureStorage(CPictureStorage&& other) noexcept : CPictureFields(other.Release()) {}
    CPictureStorage& operator=(CPictureStorage&& other) noexcept
    {
        if (this != &other) {
            delete[] m_pData;
            static_cast<CPictureFields&>(*this) = other.Release();
        }
        return *this;
    }

private:
    CPictureFields Release()
    {
        CPictureFields fields = *this;
        static_cast<CPictureFields&>(*this) = CPictureFields{};
        return fields;
    }
};

class CPicture : public CPictureStorage {
public:
    static constexpr int32_t kCameras = kPictureCameras;

    // Pictures are large: they are handed around by reference and copied only
    // on purpose (Copy). Moving is cheap and allowed.
    CPicture() = default;
    CPicture(CPicture&&) noexcept = default;
    CPicture& operator=(CPicture&&) noexcept = default;

    // ---- life and storage ----
    bool Clear();
    bool Create(int32_t iWidth, int32_t iHeight, int32_t iResolution, EPicData eKind);
    bool CreateForArea(double dWidthInch, double dHeightInch, int32_t iResolution, EPicData eKind);
    bool CreateFilled(int32_t iResolution, double dWidthInch, double dHeightInch, EPicData eKind, int32_t iRed,
                      int32_t iGreen, int32_t iBlue);
    bool Copy(const CPicture& src);
    bool CopyCamera(int32_t iCamera, CPicture& target) const;
    bool CopyRegion(const CPicture& src, int32_t iTop, int32_t iLeft, int32_t iRight, int32_t iBottom);
    bool Append(const CPicture& src);
    bool ReadRawFile(std::FILE* pFile);
    bool CropColumns(int32_t iFirst, int32_t iLast);
    // Takes a buffer of exactly iBytes (not zeroed), kind and size fields are
    // left to the caller; used by readers that fill rows directly.
    bool Allocate(int64_t iBytes);
    // Declares the first iRows rows of a gray or RGB picture filled: height and
    // size follow from the width. False, and nothing changed, when the rows do
    // not fit the buffer.
    bool CommitRows(int32_t iRows);

    // ---- header arithmetic ----
    bool ComputeWidth();
    bool ComputeHeight();
    int32_t BytesPerPixel() const { return m_PicData == PIC_RGB ? 3 : 1; }
    bool IsBW() const { return m_PicData == PIC_BW; }
    bool IsGray() const { return m_PicData == PIC_GRAY; }
    bool IsRGB() const { return m_PicData == PIC_RGB; }
    int32_t NumberOfCameras() const;
    int32_t PixCameras(int32_t iCamera) const;
    int32_t PixelsUpToCamera(int32_t iCamera) const;
    bool CameraPixelRange(int32_t iCamera, int32_t& iFirst, int32_t& iLast) const;
    bool CameraActiveRange(int32_t iCamera, int32_t& iFirst, int32_t& iLast) const;
    double PixelsToMm(double dPixels) const { return dPixels * 25.4 / m_iResolution; }
    int32_t MmToPixels(double dMm) const { return static_cast<int32_t>(m_iResolution * dMm / 25.4); }
    double PixelsPerMm() const { return m_iResolution / 25.4; }
    int32_t GetResolution() const { return m_iResolution; }
    uint8_t* GetDataPointer() { return m_pData; }
    const uint8_t* GetDataPointer() const { return m_pData; }

    // ---- kind conversions ----
    bool GrayToBW(int32_t iLevel);
    bool RGBToBW(int32_t iChannel, int32_t iLevel);
    bool BWToGray();
    bool RGBToGray(int32_t iChannel);
    bool GrayToRGB();

    // ---- pixel access ----
    bool GetPixel(int32_t x, int32_t y, int32_t& iRed, int32_t& iGreen, int32_t& iBlue) const;
    int32_t GetSample(int32_t x, int32_t y, int32_t iChannel) const;
    bool SetPixel(int32_t x, int32_t y, int32_t iRed, int32_t iGreen, int32_t iBlue);
    bool SetPixelBlack(int32_t x, int32_t y) { return SetPixel(x, y, 0, 0, 0); }
    bool SetColumn(int32_t x, int32_t iValue);
    bool SetCameraBoundaryBlack(int32_t iCamera, int32_t iRows);

    // ---- whole-picture operations ----
    int32_t PercentBelow(int32_t iLevel) const;
    bool ApplyColumnGains(const double* pGains);
    bool HalveCameras();
    bool DecimateCameras();
    bool RepairDeadColumns(int32_t iLevel, int32_t iValue);
    bool Rotate90Clockwise();
    bool Rotate90CounterClockwise();
    // Left becomes right: pixel order and the order of the cameras reversed.
    bool MirrorCameras();
    // Mean of every column over rows first..last (clamped to the picture): the
    // profile across a stripe cut out of a scan. Gray pictures only; the RGB
    // form fills one array per channel and takes RGB pictures only.
    bool ColumnProfileGray(int32_t iFirstRow, int32_t iLastRow, std::vector<float>& profile) const;
    bool ColumnProfileRGB(int32_t iFirstRow, int32_t iLastRow, std::vector<float>& red, std::vector<float>& green,
                          std::vector<float>& blue) const;

    // ---- picture description ----
    bool WritePictureInfo(std::FILE* pFile) const;
    bool ReadPictureInfo(const std::string& szPath);

    // ---- measurements and finders ----
    bool FindCenterOfHorizontalLine(int32_t iColumn, int32_t iFirstRow, int32_t iLastRow, int32_t iLevel,
                                    double& dCenter, int32_t iChannel = 1);
    bool FindCenterOfVerticalLine(int32_t iSearchRow, int32_t iStartColumn, int32_t iEndColumn, int32_t iLevel,
                                  double& dCenter, int32_t iChannel = 1, int32_t iMaxWidth = 0,
                                  int32_t iMinWidth = 0);
    bool FindHorizontalLineAtPixelColumn(int32_t iColumn, int32_t iStartRow, int32_t iBandWidth, int32_t iLevel,
                                         int32_t& iRow, bool bDownward) const;
    bool FindVerticalLineAtPixelRow(int32_t iStartRow, int32_t iStartColumn, int32_t iBandHeight, int32_t iLevel,
                                    int32_t& iColumn, int32_t iChannel = 0) const;
    bool LineWidthInColumn(int32_t iColumn, int32_t iFirstRow, int32_t iLastRow, int32_t iLevel,
                           double& dWidth) const;
    bool LineWidthInRow(int32_t iRow, int32_t iFirstColumn, int32_t iLastColumn, int32_t iLevel,
                        double& dWidth) const;
    bool FindLineEdgesInRow(int32_t iRow, int32_t iFirstColumn, int32_t iLastColumn, int32_t iLevel,
                            int32_t iChannel, double& dStart, double& dEnd) const;
    bool FindBrightLineInRow(int32_t iRow, int32_t iFirstColumn, int32_t iLastColumn, int32_t iLevel,
                             int32_t iChannel, double& dStart, double& dEnd) const;
    bool FindFallingCrossing(int32_t iOffset, int32_t iFirst, int32_t iLast, int32_t iRow, double dLevel,
                             double& dResult) const;
    bool FindFallingCrossingBackward(int32_t iOffset, int32_t iFirst, int32_t iLast, int32_t iRow, double dLevel,
                                     double& dResult) const;
    bool FindRisingCrossing(int32_t iOffset, int32_t iFirst, int32_t iLast, int32_t iRow, double dLevel,
                            double& dResult) const;
    bool FindRisingCrossingBackward(int32_t iOffset, int32_t iFirst, int32_t iLast, int32_t iRow, double dLevel,
                                    double& dResult) const;
    int32_t GetBlackWhiteLevels(int32_t iFirstColumn, int32_t iLastColumn, int32_t iFirstRow, int32_t iLastRow,
                                int32_t iDarkPercent, int32_t iBrightPercent, int32_t iChannel, int32_t& iWhite,
                                int32_t& iBlack) const;
    bool ChannelThresholds(int32_t iFirstColumn, int32_t iLastColumn, int32_t iFirstRow, int32_t iLastRow,
                           double dDarkFraction, double dBrightFraction, double dWeight,
                           int32_t iThresholds[3]) const;
    int32_t FindEdgeRun(int32_t x0, int32_t x1, int32_t y0, int32_t y1, const int32_t iThresholds[3],
                        int32_t iMode, int32_t iRun, double dFraction) const;
    int32_t FindEdgeRunSingle(int32_t x0, int32_t x1, int32_t y0, int32_t y1, int32_t iThreshold, int32_t iMode,
                              int32_t iRun, double dFraction) const;
    bool MeanRGB(int32_t iTop, int32_t iLeft, int32_t iRight, int32_t iBottom, double& dRed, double& dGreen,
                 double& dBlue) const;
    double MeanGray(int32_t iTop, int32_t iLeft, int32_t iRight, int32_t iBottom) const;
    double Mean(int32_t iTop, int32_t iLeft, int32_t iRight, int32_t iBottom) const;
    int32_t MeanOfBlock(int32_t x, int32_t y, int32_t w, int32_t h) const;
    int32_t FindDarkestInBlock(int32_t& x, int32_t& y, int32_t w, int32_t h);
    int32_t FindBrightestInBlock(int32_t& x, int32_t& y, int32_t w, int32_t h);
    bool TraceLineDown(int32_t& x, int32_t& y, int32_t iLevel) const;
    bool TraceLineUp(int32_t& x, int32_t& y, int32_t iLevel) const;
    bool TraceLineLeft(int32_t& x, int32_t& y, int32_t iLevel) const;
    bool TraceLineRight(int32_t& x, int32_t& y, int32_t iLevel) const;
    double RmsDifference(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t iSize) const;
    // Level at which the camera-boundary lines left and right of camera
    // iCamera's right boundary are both found, or -1.
    int32_t FindGrayPivot(int32_t iRow, int32_t iCamera, double& dLeft, double& dRight);

private:
    void SetEmptyState();
    int64_t SampleIndex(int32_t x, int32_t y, int32_t iChannel) const;
    // Sample or -1 when the index falls outside the data.
    int32_t At(int64_t iIndex) const
    {
        return (iIndex >= 0 && iIndex < m_iSize) ? m_pData[iIndex] : -1;
    }
    int32_t PixelLevel(int32_t x, int32_t y) const;
    bool RequireGrayOrRGB(const char* szFinder) const;
    bool FirstDarkRun(int64_t iFirst, int64_t iStep, int64_t iCount, int32_t iLevel, bool bSkipInitial,
                      double& dStart, double& dEnd) const;
    bool ToBW(int32_t iChannel, int32_t iLevel);
    int32_t DarkestNear(int32_t& x, int32_t& y, int32_t w, int32_t h) const;
    bool Trace(int32_t& x, int32_t& y, int32_t iLevel, int32_t dx, int32_t dy) const;
    bool Rotate90(bool bClockwise);
    bool ColumnProfiles(int32_t iFirstRow, int32_t iLastRow, std::vector<float>* channels[3]) const;
};
