#pragma once
#include "widgets/ui/UiRegistry.h"

void RegisterLightProfileViewers(CUiRegistry& reg);  // viewers/ui/LightProfileRegistration.cpp
void RegisterStitchNoiseViewers(CUiRegistry& reg);   // viewers/ui/StitchNoiseRegistration.cpp
