#include "scanner/ScannerVariants.h"

#include <algorithm>

int32_t CScannerFixed::GetCameraPixelRanges(std::span<int32_t, kMaxCameras> first,
                                            std::span<int32_t, kMaxCameras> last)
{
    std::fill(first.begin(), first.end(), 0);
    std::fill(last.begin(), last.end(), 25);
    return m_ErrorNo = 0;
}

int32_t CScannerFixed::GetScanLineRange(bool, int32_t& iFirst, int32_t& iLast)
{
    iFirst = -1;
    iLast = -1;
    return m_ErrorNo = 0;
}

int32_t CScannerFixed::ReadStitchPositions(int32_t* piA, int32_t* piB, int32_t iCount)
{
    if (iCount > 0) {
        std::fill_n(piA, iCount, -1);
        std::fill_n(piB, iCount, -1);
    }
    return m_ErrorNo = 0;
}

int32_t CScannerFixed::GetStitchValues(std::span<int32_t, kStitchCount>)
{
    return m_ErrorNo = 0;
}
