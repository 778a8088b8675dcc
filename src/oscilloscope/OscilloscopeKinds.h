#pragma once
// What the command-line tool knows about oscilloscope and MTF recordings.
#include "datafiles/FileKinds.h"

void RegisterOscilloscopeKinds(CKindRegistry& reg);
// `lumora-cli info --focus`: recordings are described with the focus evaluation of their first line.
void SetDescribeOscilloscopeFocus(bool bOn);

struct COscRecording;
// The numbers the graphs draw of line iLine: the camera of each pixel and one
// column per colour plane ("gray" for gray recordings), keyed by pixel.
CDataTable RecordingDataTable(const COscRecording& rec, int64_t iLine);
