#pragma once
#include "datafiles/FileKinds.h"

void RegisterTestToolKinds(CKindRegistry& reg);
