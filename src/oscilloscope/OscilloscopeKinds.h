#pragma once
// What the command-line tool knows about oscilloscope and MTF recordings.
#include "datafiles/FileKinds.h"

void RegisterOscilloscopeKinds(CKindRegistry& reg);
// `lumora-cli info --focus`: recordings are described with the focus evaluation of their first line.
void SetDescribeOscilloscopeFocus(bool bOn);

struct COscRecording;
// The numbers the graphs draw of every recorded line: the camera of each
// pixel and one column per line and colour plane ("gray" for gray
// recordings; "gray line 2" and on for the lines after the first), keyed by pixel.
CDataTable RecordingDataTable(const COscRecording& rec);
