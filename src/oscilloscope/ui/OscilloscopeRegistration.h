#pragma once
#include "widgets/ui/UiRegistry.h"

void RegisterOscilloscopeViewers(CUiRegistry& reg);
