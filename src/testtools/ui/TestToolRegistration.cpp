#include "app/ui/UiRegistry.h"

void RegisterTestToolViewers(CUiRegistry& /*reg*/)
{
}
