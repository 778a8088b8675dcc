// Camera adjustment checks from hostile bytes: the header and its Length,
// width rows that never end, runs past the width, the view over what was read.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzScratch.h"
#include "viewers/CameraCheckProfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t iSize)
{
    FuzzQuietMessages();
    const std::string szPath = FuzzScratchFile("check", pData, iSize);
    CCameraCheckProfile profile;
    std::vector<std::string> messages;
    std::string szError;
    if (profile.Load(szPath, messages, szError)) {
        // A small view: drawing costs per screen pixel, and the spans walked
        // are the same at any size.
        CCameraCheckView view;
        view.m_iProfileWidth = profile.m_iWidth;
        view.m_iViewWidth = 64;
        view.m_iViewHeight = 40;
        view.ShowAll();
        RenderCheckView(profile, view, 64, 40);
        view.ZoomIn(iSize > 0 ? pData[0] % 64 : 0);
        view.ZoomIn(7);
        RenderCheckView(profile, view, 64, 40);
        if (profile.m_iWidth > 0)
            (void)profile.Pixel(static_cast<int32_t>(iSize % static_cast<size_t>(profile.m_iWidth)), 14);
    }
    return 0;
}
