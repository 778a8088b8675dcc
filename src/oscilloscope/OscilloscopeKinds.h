#pragma once
// What the command-line tool knows about oscilloscope and MTF recordings.
#include "datafiles/FileKinds.h"

void RegisterOscilloscopeKinds(CKindRegistry& reg);
// `lumora-cli info --focus`: recordings are described with the focus evaluation of their first line.
void SetDescribeOscilloscopeFocus(bool bOn);
