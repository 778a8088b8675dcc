#pragma once
// TIFF reader: both byte orders, classic and BigTIFF, pushing the rows of a
// page into a receiver. Every count and offset of the file is checked against
// the file before it is used.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/ImageReceiver.h"

class CPicture;

class CImageReader {
public:
    virtual ~CImageReader() = default;
    virtual uint32_t Open(int32_t& iPageCount) = 0;
    virtual uint32_t ReadPageInfo() = 0;
    virtual uint32_t ReadPage(int32_t iPage) = 0;
};

struct CTifPageInfo {
    uint64_t m_iIfdOffset = 0;
    int32_t m_iWidth = 0;
    int32_t m_iHeight = 0;
    int32_t m_iKind = -1;
    int32_t m_iCompression = 1;
    int32_t m_iPhotometric = -1;
    int32_t m_iPredictor = 1;
    int32_t m_iResolution = 300;
    int32_t m_iFillOrder = 1;
    int64_t m_iRowLength = 0;     // row handed to the receiver
    int64_t m_iFileRowLength = 0; // row as stored; half as long for 4-bit samples
    bool m_b4Bit = false;         // samples stored as nibbles, widened to bytes on reading
    int64_t m_iRowsPerStrip = 0;
    std::vector<uint64_t> m_StripOffsets;
    std::vector<uint64_t> m_StripByteCounts;
    std::string m_szDescription;
    uint8_t m_Palette[256 * 4] = {}; // blue, green, red, 0 per entry
    uint64_t m_iIccOffset = 0;
    uint64_t m_iIccSize = 0;
};

// Where the file bytes come from: a file on disk or a block of memory.
class CTifSource {
public:
    virtual ~CTifSource() = default;
    virtual uint64_t Size() const = 0;
    virtual bool ReadAt(uint64_t iOffset, void* pBuffer, size_t iCount) const = 0;
    // All bytes at once when the source can give them (a mapped file, memory).
    virtual const uint8_t* Data() const { return nullptr; }
};

class CTIFReader : public CImageReader {
public:
    CTIFReader() = default;
    ~CTIFReader() override;
    void SetFileName(const std::string& szPath) { m_szFileName = szPath; }
    // Reads from memory instead of a file (the fuzzers and tests).
    void SetMemory(const uint8_t* pData, size_t iSize);
    void SetReceiver(CImageReceiver* pReceiver) { m_pReceiver = pReceiver; }
    // The embedded colour profile of a page read goes here when set.
    void SetIccProfileSink(std::vector<uint8_t>* pSink) { m_pIccSink = pSink; }

    uint32_t Open(int32_t& iPageCount) override;
    uint32_t ReadPageInfo() override;
    uint32_t ReadPage(int32_t iPage) override;
    const CTifPageInfo& PageInfo(int32_t iPage) const { return m_Pages.at(static_cast<size_t>(iPage)); }
    int32_t PageCount() const { return static_cast<int32_t>(m_IfdOffsets.size()); }
    bool IsBigEndian() const { return m_bBigEndian; }
    bool IsBigTiff() const { return m_bBigTiff; }
    // File position of the next-IFD field of the last page (after Open).
    uint32_t NextIfdFieldOfLastPage(uint64_t& iPosition) const;
    // Why the last refusal of Open or ReadPageInfo was made, naming the field
    // ("the IFD chain loops back to offset 8"); empty when nothing was said.
    const std::string& Problem() const { return m_szProblem; }

    class CDecoder {
    public:
        virtual ~CDecoder() = default;
        // Decodes the next row (row length bytes, raw file orientation).
        virtual uint32_t DecodeLine(uint8_t* pBuffer) = 0;
        // A new strip of compressed bytes holding iRows rows.
        virtual uint32_t BeginStrip(const uint8_t* pData, size_t iSize, int64_t iRows);
        void SetRow(int64_t iRowLength, int32_t iWidth)
        {
            m_iRowLength = iRowLength;
            m_iWidth = iWidth;
        }

    protected:
        const uint8_t* m_pData = nullptr;
        size_t m_iSize = 0;
        size_t m_iPos = 0;
        int64_t m_iRowLength = 0;
        int32_t m_iWidth = 0;
    };
    class CDecoderNone;
    class CDecoderLZW;
    class CDecoderPackbit;
    class CDecoderHuffman;

    // A decoder for a TIFF compression value, or null when unsupported.
    static std::unique_ptr<CDecoder> MakeDecoder(int32_t iCompression);

private:
    uint32_t ReadIfd(uint64_t iOffset, CTifPageInfo& page) const;
    uint32_t DoReadPage(const CTifPageInfo& page);
    uint16_t Get16(const uint8_t* p) const;
    uint32_t Get32(const uint8_t* p) const;
    uint64_t Get64(const uint8_t* p) const;

    std::string m_szFileName;
    const uint8_t* m_pMemory = nullptr;
    size_t m_iMemorySize = 0;
    std::unique_ptr<CTifSource> m_pSource;
    CImageReceiver* m_pReceiver = nullptr;
    std::vector<uint8_t>* m_pIccSink = nullptr;
    bool m_bBigEndian = false;
    bool m_bBigTiff = false;
    std::vector<uint64_t> m_IfdOffsets;
    std::vector<CTifPageInfo> m_Pages;
    mutable std::string m_szProblem;
};

class CTIFReader::CDecoderNone : public CTIFReader::CDecoder {
public:
    uint32_t DecodeLine(uint8_t* pBuffer) override;
};

class CTIFReader::CDecoderPackbit : public CTIFReader::CDecoder {
public:
    uint32_t DecodeLine(uint8_t* pBuffer) override;
};

class CTIFReader::CDecoderLZW : public CTIFReader::CDecoder {
public:
    uint32_t BeginStrip(const uint8_t* pData, size_t iSize, int64_t iRows) override;
    uint32_t DecodeLine(uint8_t* pBuffer) override;
    // Decodes a whole strip into pOut (at most iOutSize bytes); the count
    // decoded, or -1 for a code beyond the table.
    static int64_t Decode(const uint8_t* pData, size_t iSize, uint8_t* pOut, size_t iOutSize);

private:
    std::vector<uint8_t> m_Decoded;
    int64_t m_iDecoded = 0;
    int64_t m_iRead = 0;
};

class CTIFReader::CDecoderHuffman : public CTIFReader::CDecoder {
public:
    explicit CDecoderHuffman(bool bGroup4) : m_bGroup4(bGroup4) {}
    // Rows come out with white as 1 bits instead of the file's 0 bits.
    void SetWhiteIsOne(bool bWhiteIsOne) { m_bWhiteIsOne = bWhiteIsOne; }
    uint32_t BeginStrip(const uint8_t* pData, size_t iSize, int64_t iRows) override;
    uint32_t DecodeLine(uint8_t* pBuffer) override;

private:
    bool m_bGroup4;
    bool m_bWhiteIsOne = false;
    // Bits wait left-aligned in a 64-bit buffer between rows.
    uint64_t m_iAcc = 0;
    int32_t m_iAccBits = 0;
    int32_t m_iReference = 0; // changes of the reference row
    std::vector<int32_t> m_Changes, m_Reference;
};

// Fills a picture from the first page of a TIFF file and restores the camera
// layout from its description. Returns 0 or an image error code.
uint32_t LoadTiffIntoPicture(CPicture& pic, const std::string& szPath);

// The first page of a TIFF file into any receiver. pInfo, when given, gets the
// page's tags whenever they could be read (also when decoding then failed);
// pProblem the reader's reason for a refusal, naming the field, when it gave one.
uint32_t ReadFirstTiffPage(CImageReceiver& receiver, const std::string& szPath, CTifPageInfo* pInfo,
                           std::string* pProblem = nullptr);

// The camera layout as SavePictureAsTiff writes it into the description.
void ReadCameraLayout(const std::string& szDescription, CPicture& pic);
