#pragma once
#include "datafiles/FileKinds.h"

void RegisterScannerKinds(CKindRegistry& reg);
