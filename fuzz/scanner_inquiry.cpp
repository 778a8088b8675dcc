// Inquiry pages as a device might hand them over: every answer derived from
// them (camera count, modes, resolutions, status-block presence, the window
// parameter list) must stay in bounds whatever the bytes say.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "scanner/Scanner.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 8)
        return 0;
    // Four page lengths, then the pages back to back; then window fields.
    static const uint8_t kPages[4] = {0xC0, 0xC1, 0xC3, 0xC4};
    CScanner scanner;
    size_t iPos = 8;
    for (int i = 0; i < 4; ++i) {
        const size_t n = std::min<size_t>(static_cast<size_t>(data[i]) * 2, size - iPos);
        scanner.m_InquiryPages.SetPage(kPages[i], std::vector<uint8_t>(data + iPos, data + iPos + n));
        iPos += n;
    }
    scanner.m_Window.m_iColorMode = 1 + data[4] % 3;
    scanner.m_bUse_CIS_LightOff = data[5] & 1;
    scanner.m_bUse_CIS_LightOff_Row2 = data[5] & 2;
    scanner.m_Window.m_byColorOption = data[6];
    scanner.SetWindowResolution(data[7] * 10);
    scanner.SetWindowArea(data[4], data[5], data[6], data[7]);

    if (scanner.GetCameraCount() > CScanner::kMaxCameras)
        std::abort();
    const int32_t iModes = scanner.GetCISModeCount();
    if (iModes < 1 || iModes > 8)
        std::abort();
    for (int32_t i = -1; i <= iModes; ++i)
        scanner.GetCISModeResolution(i);
    scanner.GetHighestCISModeResolution();
    scanner.GetOpticalResolution();
    scanner.HasStatusBlock();
    scanner.IsTypeGroupA();
    scanner.IsTypeGroupC();
    scanner.UseStaticStartStop();
    scanner.GetDeviceValue();
    scanner.IsColorScanner();
    const std::vector<uint8_t> list = scanner.BuildWindowParameterList();
    if (list.size() < 8 || list.size() > 255 + 8)
        std::abort();
    return 0;
}
