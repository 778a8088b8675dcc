// What the simulated cameras see. The device asks the source for each scan
// line of the current window in turn, always as 8-bit gray or 24-bit colour;
// line art is thresholded by the device afterwards.
#include <cstring>

#include "SimDevice.h"

namespace sim {

namespace {

// A uniform light gray field: enough for paper, window and read-loop tests.
class CFlatSource : public CImageSource {
public:
    void RenderLine(const CLibrary&, const CDevice&, int64_t, int32_t iPixels, int32_t iBytesPerPixel,
                    uint8_t* pOut) override
    {
        std::memset(pOut, 200, static_cast<size_t>(iPixels) * static_cast<size_t>(iBytesPerPixel));
    }
};

} // namespace

std::unique_ptr<CImageSource> MakeImageSource(const CScenario&)
{
    return std::make_unique<CFlatSource>();
}

} // namespace sim
