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

int32_t CScannerFixed::ReadStitchPositions(std::span<int32_t> a, std::span<int32_t> b)
{
    std::fill(a.begin(), a.end(), -1);
    std::fill(b.begin(), b.end(), -1);
    return m_ErrorNo = 0;
}

int32_t CScannerFixed::GetStitchValues(std::span<int32_t, kStitchCount>)
{
    return m_ErrorNo = 0;
}
