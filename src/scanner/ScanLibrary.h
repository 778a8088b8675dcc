#pragma once
// The binding to libzel_scan_2000.so. Each function here has the name and
// arguments of the library entry it forwards to. The library is loaded at the
// first call of any entry, under one process-wide mutex; a failed load is
// tried again at the next call. An entry the library lacks returns 0 and does
// nothing, so an older library still serves the calls it knows.
#include <cstdint>
#include <string>

#include "scanner/zel_scan_2000.h"

// Result of any entry while the library cannot be loaded. Not a number the
// library itself returns.
constexpr int32_t ZEL_ERR_LIBRARY_MISSING = -1200;

namespace ZelLib {

#define ZEL_DECLARE_FORWARDER(name, params, args) int32_t name params;
ZEL_ENTRIES(ZEL_DECLARE_FORWARDER)
#undef ZEL_DECLARE_FORWARDER

// The one place where a check condition turns into its sense code
// (ASC * 256 + ASCQ); every other result is the error number itself. A
// condition whose sense code cannot be had stays ZEL_CHECK_CONDITION.
int32_t RealError(int32_t hScanner, int32_t iResult);
// True for a check condition whose sense lookup answers 0: the scanner
// stopped on its own (its stop flag), which a scan takes as its end.
bool IsStopFlag(int32_t hScanner, int32_t iResult);

// Loads the library when it is not loaded yet; true when it is.
bool EnsureLoaded();
// Path of the loaded library, empty while none is loaded.
std::string LoadedPath();
// Why the last load failed (every place tried), empty after a success.
std::string LoadError();
// Names of the entries the loaded library lacks.
std::string MissingEntries();

} // namespace ZelLib
