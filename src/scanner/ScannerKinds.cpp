#include "scanner/ScannerKinds.h"
#include "scanner/Scanner.h"

void RegisterScannerKinds(CKindRegistry& /*reg*/)
{
    // The scanner layer adds no file kinds; it only answers the error
    // reporting's question for sense codes.
    InstallScannerErrorSeam();
}
