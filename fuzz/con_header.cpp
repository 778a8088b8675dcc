// Every reader of the ".con" header, the DataPointer checks, the key listing
// and the start-up recognition on arbitrary first bytes.
#include <array>
#include <cstdint>
#include <string>

#include "app/StartupRecognition.h"
#include "datafiles/ConFile.h"
#include "datafiles/ConHeader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string szBytes(reinterpret_cast<const char*>(data), size);
    ConHeader h;
    h.SetText(szBytes);
    std::string sz;
    int32_t i = 0;
    bool b = false;
    std::array<int32_t, 3> three{};
    h.GetScannerName(sz);
    h.GetScannerID(sz);
    h.GetColor(i);
    h.GetCameraUsed(i);
    h.GetCameraCount(i);
    for (int c = 0; c < 8; ++c)
        h.GetCameraPix(c, i);
    h.GetCorrected(b);
    h.GetColorScanner(b);
    h.GetIsSigned32Profile(b);
    h.GetFirmwareRevision(i);
    h.GetDate(sz);
    h.GetTime(sz);
    h.GetWidth(i);
    h.GetScannerWidth(i);
    h.GetCenterLines(three);
    h.GetMagnification(three);
    h.GetProgramName(sz);
    (void)h.GetDataPointer();
    int64_t iH = 0;
    std::string szProblem;
    CheckDataPointer(h, static_cast<int64_t>(size), iH, szProblem);
    (void)ListHeaderKeys(h, 512);
    (void)RecognizeFirstBytes(szBytes, "/fuzz/f.con", 2);
    ConHeader patched = h;
    patched.PatchDataPointer();
    return 0;
}
