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
