#pragma once
#include "widgets/ui/UiRegistry.h"

void RegisterTestToolViewers(CUiRegistry& reg);
