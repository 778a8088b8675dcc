// Scenario files of the simulated scanner: any text must give a device whose
// inquiry pages, status block, camera layout and rendered line are built
// without leaving their buffers.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "../sim/SimCameras.cpp"
#include "../sim/SimDevice.cpp"
#include "../sim/SimImage.cpp"
#include "../sim/SimSheet.cpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    char szPath[] = "/tmp/lumora-sim-scenario-XXXXXX";
    const int fd = ::mkstemp(szPath);
    if (fd < 0)
        return 0;
    if (::write(fd, data, size) != static_cast<ssize_t>(size)) {
        ::close(fd);
        ::unlink(szPath);
        return 0;
    }
    ::close(fd);
    sim::CScenario scenario;
    std::string szError;
    const bool bLoaded = scenario.Load(szPath, szError);
    ::unlink(szPath);
    if (!bLoaded)
        return 0;
    sim::CLibrary lib;
    lib.m_Scenario = scenario;
    for (const uint8_t byPage : {0xC0, 0xC1, 0xC3, 0xC4, 0xC6, 0x00})
        lib.InquiryPage(byPage);
    sim::CDevice device;
    device.m_iPaper = scenario.m_iInitialPaper;
    device.m_Window.m_bSet = true;
    device.m_Window.m_iWidth = scenario.m_iScanWidth;
    device.m_Window.m_iXResolution = scenario.m_iOpticalResolution;
    device.m_Window.m_iYResolution = scenario.m_iOpticalResolution;
    lib.StatusBlock(device);
    for (const bool bStitched : {false, true}) {
        lib.m_bStitched = bStitched;
        const sim::CLayout layout = lib.Layout(device);
        std::vector<uint8_t> line(static_cast<size_t>(layout.m_iWidth) * 3 + 1);
        sim::CLineRequest request;
        request.m_iBytesPerPixel = 3;
        request.m_bEdgeNoise = bStitched;
        sim::MakeImageSource(scenario)->RenderLine(lib, device, layout, request, line.data());
    }
    return 0;
}
