#include "imaging/ImagingKinds.h"

#include "imaging/Picture.h"
#include "imaging/TifWriter.h"

// A picture as the stitch procedure saves it: two cameras, white paper with
// each camera's stitch marks, the camera layout in the TIFF description.
static std::vector<std::string> WriteSamplePicture(const std::string& szDir)
{
    CPicture pic;
    if (!pic.CreateFilled(300, 8, 1, PIC_GRAY, 255, 255, 255))
        return {};
    pic.m_BiC[0] = 1200;
    pic.m_BiC[1] = 1200;
    for (int32_t y = 0; y < pic.m_iHeight; ++y)
        for (int32_t x : {1150, 1170, 1190, 1210, 1230, 1250})
            pic.SetPixelBlack(x + (y / 60) % 3, y);
    const std::string szPath = szDir + "/picture-two-cameras.tif";
    return SavePictureAsTiff(pic, szPath) == 0 ? std::vector<std::string>{szPath} : std::vector<std::string>{};
}

void RegisterImagingKinds(CKindRegistry& reg)
{
    reg.AddSampleWriter("tiff-picture", WriteSamplePicture);
}
