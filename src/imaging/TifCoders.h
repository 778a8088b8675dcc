#pragma once
// The compressing stages of the TIFF writer. Each is a row receiver whose
// output goes straight into the writer's file; the writer tells them where
// strips begin and end.
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/FaxCodes.h"
#include "imaging/ImageReceiver.h"

class CTifOutFile;

class CTifCoder : public CImageReceiver {
public:
    explicit CTifCoder(CTifOutFile* pOut) : m_pOut(pOut) {}
    uint8_t* GetLineBuffer() override { return m_Row.data(); }
    uint32_t EndPage(int32_t) override
    {
        FinishStrip();
        return 0;
    }
    virtual void StartStrip() {}
    // Emits whatever the strip still holds, so its byte count is final.
    virtual void FinishStrip() {}

protected:
    CTifOutFile* m_pOut;
    std::vector<uint8_t> m_Row;
    int64_t m_iRowLength = 0;
};

// Most significant bit first, gathered in a local buffer before it reaches the file.
class CBitSink {
public:
    explicit CBitSink(CTifOutFile* pOut) : m_pOut(pOut) {}
    void Put(uint32_t iCode, int32_t iBits)
    {
        m_iAcc = (m_iAcc << iBits) | iCode;
        m_iBits += iBits;
        if (m_iBits >= 32) {
            m_iBits -= 32;
            const uint32_t v = static_cast<uint32_t>(m_iAcc >> m_iBits);
            if (m_iUsed + 4 > kSize)
                Drain();
            m_Buf[m_iUsed] = static_cast<uint8_t>(v >> 24);
            m_Buf[m_iUsed + 1] = static_cast<uint8_t>(v >> 16);
            m_Buf[m_iUsed + 2] = static_cast<uint8_t>(v >> 8);
            m_Buf[m_iUsed + 3] = static_cast<uint8_t>(v);
            m_iUsed += 4;
        }
    }
    // Codes of up to 16 bits, each with its width in the bits above.
    // Packed in locals: the buffer's bytes cannot alias the accumulator.
    void PutMany(const uint32_t* pCodes, size_t n);
    // Pads with zero bits to a whole byte and hands everything to the file.
    void AlignAndFlush();
    void AlignByte();

private:
    void Drain();
    static constexpr size_t kSize = 8192;
    CTifOutFile* m_pOut;
    uint64_t m_iAcc = 0;
    int32_t m_iBits = 0;
    size_t m_iUsed = 0;
    uint8_t m_Buf[kSize];
};

class CLZWCoder : public CTifCoder {
public:
    explicit CLZWCoder(CTifOutFile* pOut);
    uint32_t BeginPage(int32_t iKind, int32_t iWidth, int32_t iHeight, int32_t iResolution,
                       const uint8_t* pPalette = nullptr, int32_t iEntries = 0) override;
    uint32_t WriteLine() override;
    void StartStrip() override;
    void FinishStrip() override;
    // Encodes bytes continuing the current strip (also used by tests and fuzzing).
    void Encode(const uint8_t* p, int64_t n);

private:
    void Restart();
    void PackCodes();
    // String table: entry (next byte << 12 | prefix) holds the code of that
    // string in its low 12 bits and the generation it was made in on top, so a
    // restart is a counter step instead of clearing 2 MiB.
    std::unique_ptr<uint16_t[]> m_Table;
    uint16_t m_iGeneration = 0;
    int32_t m_iNext = 258;
    int32_t m_iBitsPerCode = 9;
    int32_t m_iPrefix = -1;
    // Codes wait here and are packed 1024 at a time, away from the table
    // lookups: each code with its width in the bits above 16.
    static constexpr size_t kBatch = 1024;
    size_t m_iCodes = 0;
    uint32_t m_Codes[kBatch];
    CBitSink m_Sink;
};

class CPackbitCoder : public CTifCoder {
public:
    using CTifCoder::CTifCoder;
    uint32_t BeginPage(int32_t iKind, int32_t iWidth, int32_t iHeight, int32_t iResolution,
                       const uint8_t* pPalette = nullptr, int32_t iEntries = 0) override;
    uint32_t WriteLine() override;
    // One row into PackBits; appends to out, returns bytes written.
    static size_t Encode(const uint8_t* p, size_t n, uint8_t* pOut);

private:
    std::vector<uint8_t> m_Coded;
};

class CHuffmanCoder : public CTifCoder {
public:
    enum EMode { HUFFMAN_MH = 2, HUFFMAN_G3 = 3, HUFFMAN_G4 = 4 };
    explicit CHuffmanCoder(CTifOutFile* pOut) : CTifCoder(pOut) {}
    void SetMode(EMode eMode) { m_eMode = eMode; }
    uint32_t BeginPage(int32_t iKind, int32_t iWidth, int32_t iHeight, int32_t iResolution,
                       const uint8_t* pPalette = nullptr, int32_t iEntries = 0) override;
    uint32_t WriteLine() override;
    void StartStrip() override;
    void FinishStrip() override;

    // Positions where the colour changes along a packed row (1 = white),
    // starting from white. The row must be readable for 8 bytes past its
    // end and pChanges hold iWidth entries; returns the count.
    static int32_t FindChanges(const uint8_t* pRow, int32_t iWidth, int32_t* pChanges);

private:
    // Flushes the coded bytes once this many have gathered.
    static constexpr size_t kFlushAt = 16384;
    EMode m_eMode = HUFFMAN_MH;
    int32_t m_iWidth = 0;
    // Changes of this row and of the reference row, with room for the
    // end-of-row marks the two-dimensional coding looks ahead to.
    std::vector<int32_t> m_Changes, m_Reference;
    int32_t m_iReference = 0;
    // Bits not yet in whole 32-bit words, and the coded bytes of the strip
    // not yet in the file.
    uint64_t m_iAcc = 0;
    int32_t m_iBits = 0;
    std::vector<uint8_t> m_Coded;
    size_t m_iCoded = 0;
};
