#include "app/KindRegistry.h"

void RegisterStitchNoiseKinds(CKindRegistry& /*reg*/)
{
}
