#pragma once
#include "datafiles/FileKinds.h"

void RegisterLightProfileKinds(CKindRegistry& reg);  // viewers/LightProfileKinds.cpp
void RegisterStitchNoiseKinds(CKindRegistry& reg);   // viewers/StitchNoiseKinds.cpp
