#include "app/ui/UiRegistry.h"

void RegisterStitchNoiseViewers(CUiRegistry& /*reg*/)
{
}
