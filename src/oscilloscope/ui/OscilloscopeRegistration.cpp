#include "app/ui/UiRegistry.h"

void RegisterOscilloscopeViewers(CUiRegistry& /*reg*/)
{
}
