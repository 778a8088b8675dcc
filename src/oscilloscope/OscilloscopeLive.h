#pragma once
// Recording oscilloscope lines from a scanner that scans continuously.
#include <cstdint>
#include <string>

#include "oscilloscope/OscilloscopeRecording.h"

class CScanner;

// iLines lines of continuous scanning (colour when the scanner is a colour
// one and bColor is set), described as the oscilloscope's recorder writes
// them. Returns the scanner's error number (0 = success) with szError set.
int32_t RecordOscilloscopeLines(CScanner& scanner, int32_t iLines, bool bColor, COscRecording& rec,
                                std::string& szError);
