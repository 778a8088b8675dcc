// Camera adjustment checks from hostile bytes: the header and its Length,
// width rows that never end, runs past the width, the view over what was read.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "platform/Messages.h"
#include "viewers/CameraCheckProfile.h"

namespace {
// The readers take a path: the input goes to one scratch file per process.
std::string ScratchFile(const uint8_t* pData, size_t iSize)
{
    static const std::string szPath = "/tmp/lumora-fuzz-check-" + std::to_string(::getpid()) + ".con";
    static const bool bCleanup = std::atexit([] { std::remove(szPath.c_str()); }) == 0;
    (void)bCleanup;
    std::FILE* f = std::fopen(szPath.c_str(), "wb");
    if (f) {
        std::fwrite(pData, 1, iSize, f);
        std::fclose(f);
    }
    return szPath;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t iSize)
{
    static CMessageRecorder* pQuiet = new CMessageRecorder;
    pQuiet->Clear();
    const std::string szPath = ScratchFile(pData, iSize);
    CCameraCheckProfile profile;
    std::vector<std::string> messages;
    std::string szError;
    if (profile.Load(szPath, messages, szError)) {
        CCameraCheckView view;
        view.m_iProfileWidth = profile.m_iWidth;
        view.m_iViewWidth = 300;
        view.m_iViewHeight = 100;
        view.ShowAll();
        view.ZoomIn(iSize > 0 ? pData[0] % 300 : 0);
        view.ZoomIn(7);
        RenderCheckView(profile, view, 300, 100);
    }
    return 0;
}
