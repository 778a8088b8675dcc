#include "imaging/FaxCodes.h"

#include <cstring>

namespace {

const char* const kWhiteTerm[64] = {
    "00110101", "000111",   "0111",     "1000",     "1011",     "1100",     "1110",     "1111",
    "10011",    "10100",    "00111",    "01000",    "001000",   "000011",   "110100",   "110101",
    "101010",   "101011",   "0100111",  "0001100",  "0001000",  "0010111",  "0000011",  "0000100",
    "0101000",  "0101011",  "0010011",  "0100100",  "0011000",  "00000010", "00000011", "00011010",
    "00011011", "00010010", "00010011", "00010100", "00010101", "00010110", "00010111", "00101000",
    "00101001", "00101010", "00101011", "00101100", "00101101", "00000100", "00000101", "00001010",
    "00001011", "01010010", "01010011", "01010100", "01010101", "00100100", "00100101", "01011000",
    "01011001", "01011010", "01011011", "01001010", "01001011", "00110010", "00110011", "00110100",
};
const char* const kWhiteMakeup[27] = {
    "11011",     "10010",     "010111",    "0110111",   "00110110",  "00110111",  "01100100",
    "01100101",  "01101000",  "01100111",  "011001100", "011001101", "011010010", "011010011",
    "011010100", "011010101", "011010110", "011010111", "011011000", "011011001", "011011010",
    "011011011", "010011000", "010011001", "010011010", "011000",    "010011011",
};
const char* const kBlackTerm[64] = {
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
const char* const kBlackMakeup[27] = {
    "0000001111",    "000011001000",  "000011001001",  "000001011011",  "000000110011",  "000000110100",
    "000000110101",  "0000001101100", "0000001101101", "0000001001010", "0000001001011", "0000001001100",
    "0000001001101", "0000001110010", "0000001110011", "0000001110100", "0000001110101", "0000001110110",
    "0000001110111", "0000001010010", "0000001010011", "0000001010100", "0000001010101", "0000001011010",
    "0000001011011", "0000001100100", "0000001100101",
};
// 1792 .. 2560, the same for both colours.
const char* const kExtendedMakeup[13] = {
    "00000001000",  "00000001100",  "00000001101",  "000000010010", "000000010011",
    "000000010100", "000000010101", "000000010110", "000000010111", "000000011100",
    "000000011101", "000000011110", "000000011111",
};
const char* const kModes[9] = {"0001", "001", "1", "011", "000011", "0000011", "010", "000010", "0000010"};

CFaxCode Parse(const char* sz)
{
    CFaxCode c;
    for (; *sz; ++sz) {
        c.m_iCode = static_cast<uint16_t>((c.m_iCode << 1) | (*sz == '1'));
        ++c.m_iLength;
    }
    return c;
}

struct CTables {
    CFaxCode m_Term[2][64];
    CFaxCode m_Makeup[2][41]; // index run / 64, 1..40
    CFaxDecodeEntry m_Decode[2][1 << kFaxPeekBits];
    CFaxModeEntry m_Modes[1 << kFaxModePeekBits];
    CFaxCode m_ModeCodes[9];

    static void Fill(CFaxDecodeEntry* pTable, const CFaxCode& c, int16_t iRun)
    {
        const int32_t iShift = kFaxPeekBits - c.m_iLength;
        for (int32_t i = 0; i < (1 << iShift); ++i)
            pTable[(c.m_iCode << iShift) | i] = CFaxDecodeEntry{iRun, c.m_iLength};
    }

    CTables()
    {
        for (int32_t b = 0; b < 2; ++b) {
            for (int32_t i = 0; i < 64; ++i) {
                m_Term[b][i] = Parse(b ? kBlackTerm[i] : kWhiteTerm[i]);
                Fill(m_Decode[b], m_Term[b][i], static_cast<int16_t>(i));
            }
            for (int32_t i = 0; i < 27; ++i) {
                m_Makeup[b][i + 1] = Parse(b ? kBlackMakeup[i] : kWhiteMakeup[i]);
                Fill(m_Decode[b], m_Makeup[b][i + 1], static_cast<int16_t>((i + 1) * 64));
            }
            for (int32_t i = 0; i < 13; ++i) {
                m_Makeup[b][i + 28] = Parse(kExtendedMakeup[i]);
                Fill(m_Decode[b], m_Makeup[b][i + 28], static_cast<int16_t>((i + 28) * 64));
            }
            Fill(m_Decode[b], Parse("000000000001"), -2);
        }
        for (int32_t i = 0; i < 9; ++i) {
            m_ModeCodes[i] = Parse(kModes[i]);
            const int32_t iShift = kFaxModePeekBits - m_ModeCodes[i].m_iLength;
            for (int32_t k = 0; k < (1 << iShift); ++k)
                m_Modes[(m_ModeCodes[i].m_iCode << iShift) | k] =
                    CFaxModeEntry{static_cast<EFaxMode>(i), m_ModeCodes[i].m_iLength};
        }
        m_Modes[1] = CFaxModeEntry{FAX_MODE_EOL, 12};
    }
};

const CTables& Tables()
{
    static const CTables tables;
    return tables;
}

const CFaxCode kNone{};

} // namespace

const CFaxCode& FaxTerminatingCode(bool bBlack, int32_t iRun)
{
    return iRun >= 0 && iRun < 64 ? Tables().m_Term[bBlack][iRun] : kNone;
}

const CFaxCode& FaxMakeupCode(bool bBlack, int32_t iRun)
{
    return iRun >= 64 && iRun <= 2560 && iRun % 64 == 0 ? Tables().m_Makeup[bBlack][iRun / 64] : kNone;
}

const CFaxDecodeEntry* FaxDecodeTable(bool bBlack)
{
    return Tables().m_Decode[bBlack];
}

const CFaxModeEntry* FaxModeTable()
{
    return Tables().m_Modes;
}

const CFaxCode& FaxModeCode(EFaxMode eMode)
{
    return eMode >= FAX_MODE_PASS && eMode <= FAX_MODE_VL3 ? Tables().m_ModeCodes[eMode] : kNone;
}
