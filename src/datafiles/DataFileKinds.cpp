#include "app/KindRegistry.h"

void RegisterDataFileKinds(CKindRegistry& /*reg*/)
{
}
