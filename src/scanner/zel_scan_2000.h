#pragma once
// The C interface of the scanner access library libzel_scan_2000.so. The
// binding (ScanLibrary.cpp) and the simulated device (sim/) both compile
// against this one header, so a changed argument list breaks both builds at
// once instead of corrupting a stack at run time.
//
// Every entry returns a signed 32-bit result: 0 success, 2 check condition
// (the sense code is then fetched with scanGetLastAsc), anything else is the
// error number itself. Multi-byte values inside the data blocks are big-endian.
//
// How inquiry pages travel: the library has no entry of its own for them, so
// they ride on scanRead with the data type ZEL_DT_INQUIRY (the SCSI INQUIRY
// operation code) and the page code (0xC0, 0xC1, ...) as qualifier. The device
// answers with at most the requested length and reports the page's real length
// in the received count; bytes beyond that count are not part of the page.
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Results the caller relies on.
#define ZEL_OK 0
#define ZEL_CHECK_CONDITION 2
#define ZEL_NO_MORE_SCANNERS (-117)
#define ZEL_RESCAN_NOTHING_NEW (-150)
#define ZEL_NO_STATUS_BLOCK (-1001)
#define ZEL_NO_NAME ((int32_t)0x80004005u)
#define ZEL_NOT_READY_YET 0x3A82
#define ZEL_SCAN_STARTED 0x3A85
// Errors of the library itself (its own numbering).
#define ZEL_ERR_NOT_OPEN (-100)
#define ZEL_ERR_BAD_HANDLE (-101)
#define ZEL_ERR_BAD_ARGUMENT (-102)
#define ZEL_ERR_CONNECTION_LOST (-110)
#define ZEL_ERR_RESERVED (-111)
// The simulated device only: its scenario file (LUMORA_SIM_CONFIG) cannot be read.
#define ZEL_ERR_SCENARIO (-120)

// Sense codes (ASC * 256 + ASCQ) of check conditions.
#define ZEL_ASC_MEDIUM_NOT_PRESENT 0x3A00
#define ZEL_ASC_END_OF_MEDIUM 0x3B09
#define ZEL_ASC_END_OF_MEDIUM_2 0x3B0A
#define ZEL_ASC_INVALID_FIELD 0x2400
#define ZEL_ASC_PAPER_JAM 0x3B0E
#define ZEL_ASC_LID_OPEN 0x3B15

// Connection kinds of scanGetHardwareType.
#define ZEL_HW_USB 1
#define ZEL_HW_ETHERNET 3
#define ZEL_HW_USBCY 4

// Data type codes of scanRead / scanSend.
#define ZEL_DT_IMAGE 0x00
#define ZEL_DT_GAMMA 0x03
#define ZEL_DT_INQUIRY 0x12
#define ZEL_DT_STATUS 0x80
#define ZEL_DT_IDENTIFICATION 0x82
#define ZEL_DT_LENS_CORRECTION 0x83
#define ZEL_DT_TEXT_COMMAND 0xF0
#define ZEL_DT_DRIVE 0xF8
#define ZEL_DT_LEVELS 0xFA
#define ZEL_DT_SERVICE 0xFD
#define ZEL_DT_CONFIGURATION 0xFF

// Buffer identifiers of scanReadBuffer / scanWriteBuffer.
#define ZEL_BUF_STITCH_VALUES 0x01
#define ZEL_BUF_UNIT_TEXT 0x0E
#define ZEL_BUF_CIS_ALIGNMENT 0x22
#define ZEL_BUF_SERIAL 0x28
#define ZEL_BUF_GAIN_OFFSET 0x38
#define ZEL_BUF_STITCH_POSITIONS 0x92
#define ZEL_BUF_CIS_RESOLUTION 0xE0
#define ZEL_BUF_QUERY 0xEB

// scanObjectPosition functions.
#define ZEL_OP_UNLOAD 0
#define ZEL_OP_LOAD 1
#define ZEL_OP_ABSOLUTE 2
#define ZEL_OP_RELATIVE 3

// Size of the information buffer handed to scanGetNextScanner.
#define ZEL_SCANNER_INFO_SIZE 256

#define ZEL_ENTRIES(X)                                                                                                \
    X(scanOpenLib2, (const char* szGreeting), (szGreeting))                                                           \
    X(scanCloseLib, (void), ())                                                                                       \
    X(scanApplyDataProcessing, (int32_t bOn), (bOn))                                                                  \
    X(scanRescanScsiBus, (void), ())                                                                                  \
    X(scanGetNextScanner, (int32_t* phScanner, void* pInfo, int32_t bFirst), (phScanner, pInfo, bFirst))              \
    X(scanOpenScanner, (int32_t hScanner), (hScanner))                                                                \
    X(scanCloseScanner, (int32_t hScanner), (hScanner))                                                               \
    X(scanTestUnitReady, (int32_t hScanner), (hScanner))                                                              \
    X(scanReserveUnit, (int32_t hScanner), (hScanner))                                                                \
    X(scanReleaseUnit, (int32_t hScanner), (hScanner))                                                                \
    X(scanGetHardwareType, (int32_t hScanner), (hScanner))                                                            \
    X(scanGetScannerNameToDisplay, (int32_t hScanner, char* szName, int32_t iSize), (hScanner, szName, iSize))        \
    X(scanRead,                                                                                                       \
      (int32_t hScanner, void* pBuffer, int32_t iLength, int32_t iDataType, int32_t iQualifier, int32_t* piReceived), \
      (hScanner, pBuffer, iLength, iDataType, iQualifier, piReceived))                                                \
    X(scanSend, (int32_t hScanner, const void* pData, int32_t iLength, int32_t iDataType, int32_t iQualifier),        \
      (hScanner, pData, iLength, iDataType, iQualifier))                                                              \
    X(scanReadBuffer,                                                                                                 \
      (int32_t hScanner, void* pBuffer, int32_t iMode, int32_t iBufferId, int32_t iOffset, int32_t iLength),          \
      (hScanner, pBuffer, iMode, iBufferId, iOffset, iLength))                                                        \
    X(scanWriteBuffer,                                                                                                \
      (int32_t hScanner, const void* pBuffer, int32_t iMode, int32_t iBufferId, int32_t iOffset, int32_t iLength),    \
      (hScanner, pBuffer, iMode, iBufferId, iOffset, iLength))                                                        \
    X(scanSetWindow, (int32_t hScanner, const void* pList, int32_t iLength), (hScanner, pList, iLength))              \
    X(scanScan, (int32_t hScanner, const uint8_t* pWindowIds, int32_t iCount), (hScanner, pWindowIds, iCount))        \
    X(scanObjectPosition, (int32_t hScanner, int32_t iFunction, int32_t iCount), (hScanner, iFunction, iCount))       \
    X(scanGetLastAsc, (int32_t hScanner), (hScanner))                                                                 \
    X(scanWriteTextToLog, (int32_t hScanner, const char* szText), (hScanner, szText))

#define ZEL_DECLARE_ENTRY(name, params, args) typedef int32_t(*PFN_##name) params;
ZEL_ENTRIES(ZEL_DECLARE_ENTRY)
#undef ZEL_DECLARE_ENTRY

#ifdef __cplusplus
}
#endif
