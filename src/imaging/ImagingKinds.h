#pragma once
#include "datafiles/FileKinds.h"

void RegisterImagingKinds(CKindRegistry& reg);
