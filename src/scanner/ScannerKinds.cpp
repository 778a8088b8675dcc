#include "app/KindRegistry.h"

void RegisterScannerKinds(CKindRegistry& /*reg*/)
{
}
