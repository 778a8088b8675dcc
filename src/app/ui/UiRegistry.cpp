#include "app/ui/UiRegistry.h"

#include <mutex>

#include "oscilloscope/ui/OscilloscopeRegistration.h"
#include "testtools/ui/TestToolRegistration.h"
#include "viewers/ui/ViewerRegistration.h"

void RegisterAllViewers()
{
    static std::once_flag once;
    std::call_once(once, [] {
        CUiRegistry& reg = CUiRegistry::Instance();
        RegisterLightProfileViewers(reg);
        RegisterStitchNoiseViewers(reg);
        RegisterTestToolViewers(reg);
        RegisterOscilloscopeViewers(reg);
    });
}
