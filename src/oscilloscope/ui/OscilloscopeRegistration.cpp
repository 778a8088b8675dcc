#include "oscilloscope/ui/OscilloscopeRegistration.h"

void RegisterOscilloscopeViewers(CUiRegistry& /*reg*/)
{
}
