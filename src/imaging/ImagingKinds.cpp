#include "app/KindRegistry.h"

void RegisterImagingKinds(CKindRegistry& /*reg*/)
{
}
