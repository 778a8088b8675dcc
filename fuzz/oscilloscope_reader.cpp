// Oscilloscope and MTF recordings from hostile bytes: camera counts and pixel
// counts that do not fit the data, DataPointers past the end, colour
// interleaving, the MTF arrays; then the views and the focus evaluation run
// on whatever was read.
#include <cstdint>
#include <string>

#include "FuzzScratch.h"
#include "oscilloscope/FocusEvaluation.h"
#include "oscilloscope/OscilloscopeModel.h"
#include "oscilloscope/OscilloscopeRecording.h"
#include "scanner/ScannerVariants.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t iSize)
{
    FuzzQuietMessages();
    const std::string szPath = FuzzScratchFile("oscilloscope", pData, iSize);
    COscRecording rec;
    const COscReadResult r = ReadOscilloscopeFile(szPath, rec);
    if (r.m_eOutcome != OSC_READ_LOADED) {
        if (r.m_eOutcome == OSC_READ_FAILED && r.m_szError.find(szPath) == std::string::npos)
            __builtin_trap();  // every refusal names the file
        return 0;
    }
    if (rec.m_iLines < 1 || rec.m_iPixelsPerLine <= 0 || !rec.Line(1, rec.m_iLines - 1))
        __builtin_trap();
    if (!rec.IsGray() && rec.Interleaved() && (!rec.Line(0, 0) || !rec.Line(2, rec.m_iLines - 1)))
        __builtin_trap();
    CSimScanner sim(rec.m_iCameraCount, 0, rec.m_szScannerName, rec.m_bColorScanner);
    CFocusEvaluation focus(&sim);
    CFocusData data;
    FillFocusData(rec, rec.m_iLines - 1, 1, data);
    focus.Evaluate(data);
    for (int m = 0; m < 4; ++m) {
        COscViewState state;
        state.m_eMode = static_cast<EOscViewMode>(m);
        state.m_iCamera = rec.m_iCameraCount - 1;
        CLPFGraph overview, left, right;
        COscilloscopeViews().Apply(rec, state, overview, left, right, true, &focus.Contrast());
        (void)COscilloscopeViews::DetailCaption(rec, state, m % 2 == 0);
    }
    return 0;
}
