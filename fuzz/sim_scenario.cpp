// Scenario files of the simulated scanner: any text must give a device whose
// inquiry pages and status block are built without leaving their buffers.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "../sim/SimDevice.cpp"
#include "../sim/SimImage.cpp"

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
    for (const uint8_t byPage : {0xC0, 0xC1, 0xC3, 0xC4, 0x00})
        lib.InquiryPage(byPage);
    lib.CameraPixels();
    sim::CDevice device;
    device.m_iPaper = scenario.m_iInitialPaper;
    device.m_Window.m_bSet = true;
    device.m_Window.m_iWidth = scenario.m_iScanWidth;
    device.m_Window.m_iXResolution = scenario.m_iOpticalResolution;
    lib.StatusBlock(device);
    return 0;
}
