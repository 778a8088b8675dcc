// Calibration backup files: whatever Parse accepts must write back to the
// same bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "scanner/CalibrationLibrary.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<CStoredCalibration::CRecord> records;
    std::string szError;
    if (!CStoredCalibration::Parse(std::span(data, size), records, szError)) {
        if (szError.empty())
            std::abort();
        return 0;
    }
    const std::vector<uint8_t> again = CStoredCalibration::Serialize(records);
    if (again.size() != size || !std::equal(again.begin(), again.end(), data))
        std::abort();
    return 0;
}
