#pragma once
// The run-length code words of ITU-T T.4 (modified Huffman) shared by the
// CCITT coder and decoder, plus the two-dimensional mode codes of T.4/T.6.
#include <cstdint>

struct CFaxCode {
    uint16_t m_iCode = 0; // right-aligned bits
    uint8_t m_iLength = 0;
};

// Code word of a run: terminating codes for 0..63, make-up codes for multiples
// of 64 up to 2560 (1792 and above shared by both colours). Invalid runs give
// a code of length 0.
const CFaxCode& FaxTerminatingCode(bool bBlack, int32_t iRun);
const CFaxCode& FaxMakeupCode(bool bBlack, int32_t iRun);

// Decoding: look at the next 13 bits (most significant first); the entry gives
// the run (or -1 for no valid code word, -2 for an EOL) and the bits used.
struct CFaxDecodeEntry {
    int16_t m_iRun = -1;
    uint8_t m_iLength = 0;
};
constexpr int32_t kFaxPeekBits = 13;
const CFaxDecodeEntry* FaxDecodeTable(bool bBlack); // 8192 entries

enum EFaxMode : int8_t {
    FAX_MODE_INVALID = -1,
    FAX_MODE_PASS = 0,
    FAX_MODE_HORIZONTAL = 1,
    FAX_MODE_V0 = 2,
    FAX_MODE_VR1, FAX_MODE_VR2, FAX_MODE_VR3,
    FAX_MODE_VL1, FAX_MODE_VL2, FAX_MODE_VL3,
    FAX_MODE_EOL,
};
struct CFaxModeEntry {
    EFaxMode m_eMode = FAX_MODE_INVALID;
    uint8_t m_iLength = 0;
};
// Next 12 bits → mode (an EOL is twelve bits 000000000001).
constexpr int32_t kFaxModePeekBits = 12;
const CFaxModeEntry* FaxModeTable();
// Codes of the modes for writing, indexed by EFaxMode (pass .. VL3).
const CFaxCode& FaxModeCode(EFaxMode eMode);
