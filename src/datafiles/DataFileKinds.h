#pragma once
#include "datafiles/FileKinds.h"

void RegisterDataFileKinds(CKindRegistry& reg);
