#include "platform/ErrorTexts.h"

#include <cstdio>

namespace {
struct CErrorTextEntry {
    uint32_t m_iNumber;
    const char* m_szText;
};

// Only the numbers this program raises carry their message here; the rest of
// the list belongs to the sibling tools.
constexpr CErrorTextEntry kTexts[] = {
    {120, "User cancelled."},
    {978, "Live Gain Offset calibration. Max calibration loop count exceeded. Does lamp need replacement?"},
    {983, "K-Plate calibration. Lines not found. Please redo camera adjustment."},
    {984, "Analog gain/offset calibration. Unable to adjust offset enough. Does lamp need replacement?"},
    {985, "Analog gain/offset calibration. Unable to adjust gain enough. Does lamp need replacement?"},
    {990, "K-plate calibration. Black patch value too high."},
    {993, "No data in last scan."},
    {997, "CCD Start/Stop. Values not saved."},
    {998, "CCD Start/Stop. Camera not centered correctly."},
    {1023, "Scanner is in selftest mode."},
    {1025, "Stitch and Alignment failed. Please remove and reload the calibration sheet taking care to align it with "
           "the drive rollers then calibrate again."},
    {1029, "Please redo camera adjustment."},
    {1185, "Taking too long to move original. Please check that original is not stuck and that paper guide is not "
           "in extended position."},
    {1199, "scanScan command returned end-of-media."},
};
} // namespace

bool FindErrorText(uint32_t iNumber, std::string& szText)
{
    for (const CErrorTextEntry& e : kTexts)
        if (e.m_iNumber == iNumber) {
            szText = e.m_szText;
            return true;
        }
    szText.clear();
    return false;
}

std::string ErrorText(uint32_t iNumber)
{
    std::string szText;
    if (FindErrorText(iNumber, szText))
        return szText;
    char buf[64];
    std::snprintf(buf, sizeof buf, "Error %u (0x%X).", iNumber, iNumber);
    return buf;
}
