#pragma once
// The graphical program's composition root: every subsystem's viewers and
// renderers go into the shared CUiRegistry here, and nowhere else.
#include "widgets/ui/UiRegistry.h"

// Calls every subsystem's registration once (idempotent).
void RegisterAllViewers();
