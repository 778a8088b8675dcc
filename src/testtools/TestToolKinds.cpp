#include "app/KindRegistry.h"

void RegisterTestToolKinds(CKindRegistry& /*reg*/)
{
}
