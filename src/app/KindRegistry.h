#pragma once
// The command-line tool's composition root: every subsystem's file kinds go
// into the shared CKindRegistry here, and nowhere else.
#include "datafiles/FileKinds.h"

// Calls every subsystem's registration once (idempotent).
void RegisterAllKinds();
