#include "app/ui/UiRegistry.h"

void RegisterLightProfileViewers(CUiRegistry& /*reg*/)
{
}
