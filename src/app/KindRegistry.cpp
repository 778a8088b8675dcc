#include "app/KindRegistry.h"

#include <mutex>

#include "datafiles/DataFileKinds.h"
#include "imaging/ImagingKinds.h"
#include "oscilloscope/OscilloscopeKinds.h"
#include "scanner/ScannerKinds.h"
#include "testtools/TestToolKinds.h"
#include "viewers/ViewerKinds.h"

void RegisterAllKinds()
{
    static std::once_flag once;
    std::call_once(once, [] {
        CKindRegistry& reg = CKindRegistry::Instance();
        RegisterDataFileKinds(reg);
        RegisterLightProfileKinds(reg);
        RegisterStitchNoiseKinds(reg);
        RegisterImagingKinds(reg);
        RegisterScannerKinds(reg);
        RegisterTestToolKinds(reg);
        RegisterOscilloscopeKinds(reg);
    });
}
