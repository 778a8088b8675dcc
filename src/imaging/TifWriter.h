#pragma once
// TIFF writer at the end of a row pipeline: classic or BigTIFF, either byte
// order, uncompressed or through one of the coder stages, single or multi-page.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/ImageReceiver.h"
#include "imaging/TifCoders.h"
#include "imaging/TifOutput.h"

class CIccProfileReader;
class CPicture;

class CImageWriter : public CImageReceiver {
public:
    virtual void SetFileName(const std::string& szPath) = 0;
};

class CImageWriterMultiPage : public CImageWriter {
public:
    virtual void SetMultiPage(bool bMultiPage) = 0;
    virtual bool& AppendFlag() = 0;
};

enum ETifCompression : int32_t {
    TIF_COMPRESSION_NONE = 0,
    TIF_COMPRESSION_LZW = 1,
    TIF_COMPRESSION_MH = 2,
    TIF_COMPRESSION_G3 = 3,
    TIF_COMPRESSION_G4 = 4,
    TIF_COMPRESSION_PACKBITS = 5,
};

// TIFF Compression tag value of an internal code, 0 for an unknown one.
uint16_t TifCompressionTag(int32_t iCompression);

class CTIFWriter : public CImageWriterMultiPage {
public:
    CTIFWriter();
    ~CTIFWriter() override;
    CTIFWriter(const CTIFWriter&) = delete;
    CTIFWriter& operator=(const CTIFWriter&) = delete;

    uint32_t BeginPage(int32_t iKind, int32_t iWidth, int32_t iHeight, int32_t iResolution,
                       const uint8_t* pPalette = nullptr, int32_t iEntries = 0) override;
    uint8_t* GetLineBuffer() override;
    uint32_t WriteLine() override;
    uint32_t EndPage(int32_t iArgument = 0) override;
    void SetFileName(const std::string& szPath) override { m_szFileName = szPath; }
    void SetMultiPage(bool bMultiPage) override { m_bMultiPage = bMultiPage; }
    bool& AppendFlag() override { return m_bAppend; }

    void SetOptions(int32_t iCompression, bool bBigTiff, const std::string& szDescription, bool bBigEndian,
                    int32_t iBitsPerSample, int32_t iYResolution);
    void SetLab(bool bLab) { m_bLab = bLab; }
    void SetIccProfile(CIccProfileReader* pProfile) { m_pProfile = pProfile; }
    // Ends a multi-page sequence; false when the last bytes could not be written.
    bool Close();
    // Takes back the last page finished in this sequence: the IFD before it
    // ends the chain again and the file is cut where the page began.
    uint32_t RemoveLastPage();
    int32_t PageCount() const { return m_iPageCount; }
    int32_t RowsPerStrip() const { return m_iRowsPerStrip; }
    // Tests shrink the classic 4 GiB limit to exercise the refusals.
    void SetClassicLimitForTest(uint64_t iLimit) { m_iClassicLimit = iLimit; }

private:
    struct CStrip {
        uint64_t m_iOffset;
        uint32_t m_iByteCount;
    };
    struct CIfdEntry;
    // A page begins in steps: the arguments checked and the strip size set,
    // the coder stages chosen, the profile opened, the file started or the
    // page chained to the last, the entries put together and written.
    uint32_t DoBeginPage(int32_t iKind, int32_t iWidth, int32_t iHeight, int32_t iResolution,
                         const uint8_t* pPalette, int32_t iEntries);
    uint32_t CheckPage(int32_t iKind, int32_t iWidth, int32_t iHeight, const uint8_t* pPalette, int32_t iEntries);
    uint32_t SetUpStages(int32_t iKind, int32_t iWidth, int32_t iHeight, int32_t iResolution,
                         const uint8_t* pPalette, int32_t iEntries);
    uint32_t OpenProfile(int64_t& iProfileSize);
    uint32_t StartFileOrChain(uint64_t& iIfdPos);
    std::vector<CIfdEntry> PageEntries(int32_t iKind, int32_t iWidth, int32_t iHeight, int32_t iResolution,
                                       const uint8_t* pPalette, int32_t iEntries, int64_t iProfileSize) const;
    uint32_t WriteIfd(const std::vector<CIfdEntry>& entries, uint64_t iIfdPos, int64_t iProfileSize);
    void WriteTinyProfileInline(int64_t iProfileSize);
    bool IsCCITT() const { return m_iCompression >= TIF_COMPRESSION_MH && m_iCompression <= TIF_COMPRESSION_G4; }
    int32_t BitsPerPixel(int32_t iKind) const;
    bool UsesPredictor(int32_t iKind) const;
    uint32_t DoWriteLine();
    uint32_t DoEndPage();
    void Fail();
    uint32_t OpenForAppend();
    void Put16(std::vector<uint8_t>& v, uint16_t x) const;
    void Put32(std::vector<uint8_t>& v, uint32_t x) const;
    void Put64(std::vector<uint8_t>& v, uint64_t x) const;
    void PutOffset(std::vector<uint8_t>& v, uint64_t x) const { m_bBigTiff ? Put64(v, x) : Put32(v, static_cast<uint32_t>(x)); }

    std::vector<uint8_t> m_LineBuffer;
    uint8_t* m_pClaimed = nullptr; // the row being filled right in the output buffer
    CIccProfileReader* m_pProfile = nullptr;
    CImageReceiver* m_pFirstStage = nullptr;
    CTifCoder* m_pCoder = nullptr;
    CTifOutFile m_Out;
    CHuffmanCoder m_Huffman;
    CPackbitCoder m_Packbit;
    CLZWCoder m_LZW;
    CDifferencingFilter m_Differencing;
    struct CPageMark {
        uint64_t m_iStart;         // file end before the page
        uint64_t m_iPrevNextField; // next-IFD field that points at the page, 0 for the first page
    };
    std::vector<CStrip> m_Strips;
    std::vector<CPageMark> m_PageMarks; // pages of this sequence that can be taken back
    CPageMark m_CurrentMark{0, 0};
    std::string m_szFileName;
    std::string m_szDescription;
    uint64_t m_iImageLengthPos = 0;
    uint64_t m_iStripOffsetsEntry = 0;
    uint64_t m_iStripByteCountsEntry = 0;
    uint64_t m_iNextIfdPos = 0;
    uint64_t m_iIccEntryPos = 0;
    uint64_t m_iPrevNextIfdPos = 0;
    uint64_t m_iEndOfFile = 0;
    int32_t m_iCompression = TIF_COMPRESSION_NONE;
    bool m_bBigTiff = false;
    bool m_bBigEndian = false;
    bool m_bLab = false;
    bool m_bMultiPage = false;
    bool m_bAppend = false;
    bool m_bInPage = false;
    bool m_bSwap16 = false;
    int32_t m_iBitsPerSample = 8;
    int32_t m_iPageCount = 0;
    int32_t m_iKind = 0;
    int64_t m_iBytesPerRow = 0;
    int64_t m_iRowsWritten = 0;
    int64_t m_iRowsAnnounced = 0;
    int32_t m_iRowsPerStrip = 0;
    int32_t m_iYResolution = 0;
    uint64_t m_iClassicLimit = uint64_t(1) << 32;
};

// Saves a picture uncompressed, little-endian, classic TIFF, with the camera
// layout in the description. Returns 0 or an image error code.
uint32_t SavePictureAsTiff(const CPicture& pic, const std::string& szPath, const std::string& szIccProfile);
uint32_t SavePictureAsTiff(const CPicture& pic, const std::string& szPath);
uint32_t SavePictureAsTiffInDirectory(const CPicture& pic, const std::string& szDirectory, const std::string& szFileName);
// Into the default picture directory (the program directory).
uint32_t SavePictureAsTiffInDefaultDirectory(const CPicture& pic, const std::string& szFileName);
// Does nothing for a missing picture or one narrower than a pixel.
uint32_t SavePictureAsTiff(const CPicture* pPic, const std::string& szPath);
// The description text that carries the camera layout.
std::string PictureLayoutDescription(const CPicture& pic);
