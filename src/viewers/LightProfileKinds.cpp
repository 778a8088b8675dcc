#include "app/KindRegistry.h"

void RegisterLightProfileKinds(CKindRegistry& /*reg*/)
{
}
