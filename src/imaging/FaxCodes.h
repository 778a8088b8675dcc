#pragma once
// The run-length code words of ITU-T T.4 (modified Huffman) shared by the
// CCITT coder and decoder, plus the two-dimensional mode codes of T.4/T.6.
// All tables are built by the compiler: no start-up work, no guard on use.
#include <cstdint>

struct CFaxCode {
    uint32_t m_iCode = 0; // right-aligned bits
    uint32_t m_iLength = 0;
};

enum EFaxMode : int8_t {
    FAX_MODE_INVALID = -1,
    FAX_MODE_PASS = 0,
    FAX_MODE_HORIZONTAL = 1,
    FAX_MODE_V0 = 2,
    FAX_MODE_VR1, FAX_MODE_VR2, FAX_MODE_VR3,
    FAX_MODE_VL1, FAX_MODE_VL2, FAX_MODE_VL3,
};

// Decoding a run: the first 10 bits pick an entry, which holds every code
// word but those of long black runs; a longer word sends the next 3 bits
// into a small second table. Both colours (8 KiB) fit the first-level cache
// together with the mode table and the rows' changes.
struct CFaxDecodeEntry {
    int16_t m_iRun = -1;   // -1 no valid code word, -2 an EOL
    uint8_t m_iLength = 0; // bits of the code word
    uint8_t m_iSub = 0;    // second table (1-based) when the word is longer than the first bits
};
constexpr int32_t kFaxFirstBits = 10;
constexpr int32_t kFaxSecondBits = 3;
constexpr int32_t kFaxMaxSubTables = 24;

// Decoding a mode: its code words take at most 7 bits; 0000000 (an EOL or
// worse) is no mode.
struct CFaxModeEntry {
    EFaxMode m_eMode = FAX_MODE_INVALID;
    uint8_t m_iLength = 0;
    int8_t m_iDelta = 0; // a1 - b1 of the vertical modes
    // Where the search for the next b1 may start, relative to this b1:
    // right after it, one before it (a1 left of b1), past b2 (pass), or
    // at it (horizontal, a walk from there).
    int8_t m_iNextB1 = 0;
    uint8_t m_iVertical = 0; // 1 for the vertical modes: a1 is a change
};
constexpr int32_t kFaxModePeekBits = 7;

// Horizontal mode is a quarter of the codes on noisy scans, mostly two short
// runs: the 12 bits after its mode word pick both terminating words at once
// (nine in ten of them on a noisy page). A modified Huffman row reads its runs
// two at a time from the same table. An entry packs the words' total
// length (0: not two terminating words within the bits), the first run and
// the second, 4 + 6 + 6 bits; one table per colour of the first run.
constexpr int32_t kFaxPairBits = 12;
constexpr int32_t kFaxHorizontalBits = 3; // the length of the horizontal mode word
constexpr uint16_t FaxPair(uint32_t iLength, uint32_t r1, uint32_t r2)
{
    return uint16_t(iLength << 12 | r1 << 6 | r2);
}

namespace FaxCodeWords {
inline constexpr const char* kWhiteTerm[64] = {
    "00110101", "000111",   "0111",     "1000",     "1011",     "1100",     "1110",     "1111",
    "10011",    "10100",    "00111",    "01000",    "001000",   "000011",   "110100",   "110101",
    "101010",   "101011",   "0100111",  "0001100",  "0001000",  "0010111",  "0000011",  "0000100",
    "0101000",  "0101011",  "0010011",  "0100100",  "0011000",  "00000010", "00000011", "00011010",
    "00011011", "00010010", "00010011", "00010100", "00010101", "00010110", "00010111", "00101000",
    "00101001", "00101010", "00101011", "00101100", "00101101", "00000100", "00000101", "00001010",
    "00001011", "01010010", "01010011", "01010100", "01010101", "00100100", "00100101", "01011000",
    "01011001", "01011010", "01011011", "01001010", "01001011", "00110010", "00110011", "00110100",
};
inline constexpr const char* kWhiteMakeup[27] = {
    "11011",     "10010",     "010111",    "0110111",   "00110110",  "00110111",  "01100100",
    "01100101",  "01101000",  "01100111",  "011001100", "011001101", "011010010", "011010011",
    "011010100", "011010101", "011010110", "011010111", "011011000", "011011001", "011011010",
    "011011011", "010011000", "010011001", "010011010", "011000",    "010011011",
};
inline constexpr const char* kBlackTerm[64] = {
    "0000110111",   "010",          "11",           "10",           "011",          "0011",
    "0010",         "00011",        "000101",       "000100",       "0000100",      "0000101",
    "0000111",      "00000100",     "00000111",     "000011000",    "0000010111",   "0000011000",
    "0000001000",   "00001100111",  "00001101000",  "00001101100",  "00000110111",  "00000101000",
    "00000010111",  "00000011000",  "000011001010", "000011001011", "000011001100", "000011001101",
    "000001101000", "000001101001", "000001101010", "000001101011", "000011010010", "000011010011",
    "000011010100", "000011010101", "000011010110", "000011010111", "000001101100", "000001101101",
    "000011011010", "000011011011", "000001010100", "000001010101", "000001010110", "000001010111",
    "000001100100", "000001100101", "000001010010", "000001010011", "000000100100", "000000110111",
    "000000111000", "000000100111", "000000101000", "000001011000", "000001011001", "000000101011",
    "000000101100", "000001011010", "000001100110", "000001100111",
};
inline constexpr const char* kBlackMakeup[27] = {
    "0000001111",    "000011001000",  "000011001001",  "000001011011",  "000000110011",  "000000110100",
    "000000110101",  "0000001101100", "0000001101101", "0000001001010", "0000001001011", "0000001001100",
    "0000001001101", "0000001110010", "0000001110011", "0000001110100", "0000001110101", "0000001110110",
    "0000001110111", "0000001010010", "0000001010011", "0000001010100", "0000001010101", "0000001011010",
    "0000001011011", "0000001100100", "0000001100101",
};
// 1792 .. 2560, the same for both colours.
inline constexpr const char* kExtendedMakeup[13] = {
    "00000001000",  "00000001100",  "00000001101",  "000000010010", "000000010011",
    "000000010100", "000000010101", "000000010110", "000000010111", "000000011100",
    "000000011101", "000000011110", "000000011111",
};
inline constexpr const char* kModes[9] = {"0001", "001", "1", "011", "000011", "0000011", "010", "000010", "0000010"};


constexpr CFaxCode Parse(const char* sz)
{
    CFaxCode c;
    for (; *sz; ++sz) {
        c.m_iCode = (c.m_iCode << 1) | (*sz == '1' ? 1u : 0u);
        ++c.m_iLength;
    }
    return c;
}
} // namespace FaxCodeWords

struct CFaxTables {
    CFaxCode m_Term[2][64];
    CFaxCode m_Makeup[2][41]; // by run / 64; entry 0 is the empty word
    CFaxCode m_Modes[9];      // by EFaxMode, pass .. VL3
    CFaxDecodeEntry m_First[2][1 << kFaxFirstBits];
    CFaxDecodeEntry m_Second[2][kFaxMaxSubTables + 1][1 << kFaxSecondBits];
    CFaxModeEntry m_ModeDecode[1 << kFaxModePeekBits];
    uint16_t m_Pair[2][1 << kFaxPairBits] = {};
    int32_t m_iSubTables[2] = {0, 0};

    constexpr void Enter(int32_t b, const CFaxCode& c, int16_t iRun)
    {
        constexpr int32_t iAll = kFaxFirstBits + kFaxSecondBits;
        if (int32_t(c.m_iLength) <= kFaxFirstBits) {
            const int32_t iShift = kFaxFirstBits - int32_t(c.m_iLength);
            for (int32_t i = 0; i < (1 << iShift); ++i)
                m_First[b][(c.m_iCode << iShift) | uint32_t(i)] = CFaxDecodeEntry{iRun, uint8_t(c.m_iLength), 0};
            return;
        }
        const int32_t iRest = int32_t(c.m_iLength) - kFaxFirstBits;
        CFaxDecodeEntry& first = m_First[b][c.m_iCode >> iRest];
        if (first.m_iSub == 0) {
            first = CFaxDecodeEntry{-1, uint8_t(iAll), uint8_t(++m_iSubTables[b])};
        }
        CFaxDecodeEntry* pSecond = m_Second[b][first.m_iSub];
        const int32_t iShift = kFaxSecondBits - iRest;
        const uint32_t iLow = c.m_iCode & ((1u << iRest) - 1);
        for (int32_t i = 0; i < (1 << iShift); ++i)
            pSecond[(iLow << iShift) | uint32_t(i)] = CFaxDecodeEntry{iRun, uint8_t(c.m_iLength), 0};
    }

    constexpr CFaxTables()
    {
        using namespace FaxCodeWords;
        for (int32_t b = 0; b < 2; ++b) {
            for (int32_t i = 0; i < 64; ++i) {
                m_Term[b][i] = Parse(b ? kBlackTerm[i] : kWhiteTerm[i]);
                Enter(b, m_Term[b][i], int16_t(i));
            }
            for (int32_t i = 0; i < 27; ++i) {
                m_Makeup[b][i + 1] = Parse(b ? kBlackMakeup[i] : kWhiteMakeup[i]);
                Enter(b, m_Makeup[b][i + 1], int16_t((i + 1) * 64));
            }
            for (int32_t i = 0; i < 13; ++i) {
                m_Makeup[b][i + 28] = Parse(kExtendedMakeup[i]);
                Enter(b, m_Makeup[b][i + 28], int16_t((i + 28) * 64));
            }
            Enter(b, Parse("000000000001"), -2);
        }
        for (int32_t i = 0; i < 9; ++i) {
            constexpr int8_t kDelta[9] = {0, 0, 0, 1, 2, 3, -1, -2, -3};
            constexpr int8_t kNextB1[9] = {2, 0, 1, 1, 1, 1, -1, -1, -1};
            m_Modes[i] = Parse(kModes[i]);
            const int32_t iShift = kFaxModePeekBits - int32_t(m_Modes[i].m_iLength);
            for (int32_t k = 0; k < (1 << iShift); ++k)
                m_ModeDecode[(m_Modes[i].m_iCode << iShift) | uint32_t(k)] =
                    CFaxModeEntry{static_cast<EFaxMode>(i), uint8_t(m_Modes[i].m_iLength), kDelta[i], kNextB1[i],
                                  uint8_t(i >= FAX_MODE_V0)};
        }
        // Each colour's words form a prefix-free set, so two pairs never claim one entry.
        for (int32_t b = 0; b < 2; ++b)
            for (uint32_t r1 = 0; r1 < 64; ++r1)
                for (uint32_t r2 = 0; r2 < 64; ++r2) {
                    const CFaxCode &c1 = m_Term[b][r1], &c2 = m_Term[!b][r2];
                    const uint32_t iLength = c1.m_iLength + c2.m_iLength;
                    if (int32_t(iLength) > kFaxPairBits)
                        continue;
                    const uint32_t iShift = uint32_t(kFaxPairBits) - iLength;
                    const uint32_t iCode = (c1.m_iCode << c2.m_iLength | c2.m_iCode) << iShift;
                    for (uint32_t k = 0; k < (1u << iShift); ++k)
                        m_Pair[b][iCode | k] = FaxPair(iLength, r1, r2);
                }
    }
};

inline constexpr CFaxTables kFaxTables{};
static_assert(kFaxTables.m_iSubTables[0] <= kFaxMaxSubTables && kFaxTables.m_iSubTables[1] <= kFaxMaxSubTables);

// The words of a run of up to 2623 pixels as one code: the make-up word (none
// below 64) followed by the terminating word.
inline CFaxCode FaxRunCode(bool bBlack, uint32_t iRun)
{
    const CFaxCode& m = kFaxTables.m_Makeup[bBlack][iRun >> 6];
    const CFaxCode& t = kFaxTables.m_Term[bBlack][iRun & 63];
    return CFaxCode{(m.m_iCode << t.m_iLength) | t.m_iCode, m.m_iLength + t.m_iLength};
}
