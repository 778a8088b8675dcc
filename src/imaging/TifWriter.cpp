#include "imaging/TifWriter.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>

#include "imaging/IccProfile.h"
#include "imaging/ImageErrors.h"
#include "imaging/Picture.h"
#include "datafiles/Settings.h"
#include "imaging/TifReader.h"
#include "imaging/TifTags.h"
#include "platform/Log.h"

struct CTIFWriter::CIfdEntry {
    ETifTag m_eTag;
    ETifType m_eType;
    uint64_t m_iCount;
    std::vector<uint8_t> m_Value; // already in file byte order; empty for the profile (streamed)
    uint64_t m_iValueSize;
};

uint16_t TifCompressionTag(int32_t iCompression)
{
    static const uint16_t kTags[] = {1, 5, 2, 3, 4, 32773};
    return iCompression >= 0 && iCompression <= 5 ? kTags[iCompression] : 0;
}

CTIFWriter::CTIFWriter() : m_Huffman(&m_Out), m_Packbit(&m_Out), m_LZW(&m_Out)
{
}

CTIFWriter::~CTIFWriter()
{
    Close();
}

void CTIFWriter::SetOptions(int32_t iCompression, bool bBigTiff, const std::string& szDescription, bool bBigEndian,
                            int32_t iBitsPerSample, int32_t iYResolution)
{
    m_iCompression = iCompression;
    m_bBigTiff = bBigTiff;
    m_szDescription = szDescription;
    m_bBigEndian = bBigEndian;
    m_iBitsPerSample = iBitsPerSample;
    m_iYResolution = iYResolution;
}

void CTIFWriter::Put16(std::vector<uint8_t>& v, uint16_t x) const
{
    if (m_bBigEndian) {
        v.push_back(static_cast<uint8_t>(x >> 8));
        v.push_back(static_cast<uint8_t>(x));
    } else {
        v.push_back(static_cast<uint8_t>(x));
        v.push_back(static_cast<uint8_t>(x >> 8));
    }
}

void CTIFWriter::Put32(std::vector<uint8_t>& v, uint32_t x) const
{
    for (int i = 0; i < 4; ++i)
        v.push_back(static_cast<uint8_t>(x >> (m_bBigEndian ? 24 - 8 * i : 8 * i)));
}

void CTIFWriter::Put64(std::vector<uint8_t>& v, uint64_t x) const
{
    for (int i = 0; i < 8; ++i)
        v.push_back(static_cast<uint8_t>(x >> (m_bBigEndian ? 56 - 8 * i : 8 * i)));
}

bool CTIFWriter::Close()
{
    // Finished pages take the target's place; a page still being written
    // would leave a half file, so then nothing does.
    const bool bHalf = m_bInPage;
    m_bInPage = false;
    m_iPageCount = 0;
    if (bHalf) {
        m_Out.Discard();
        return false;
    }
    return m_Out.Close();
}

void CTIFWriter::Fail()
{
    // Nothing of a failed file reaches the target: it stays as it was.
    m_bInPage = false;
    m_iPageCount = 0;
    m_Out.Discard();
}

uint32_t CTIFWriter::BeginPage(int32_t iKind, int32_t iWidth, int32_t iHeight, int32_t iResolution,
                               const uint8_t* pPalette, int32_t iEntries)
{
    try {
        const uint32_t iResult = DoBeginPage(iKind, iWidth, iHeight, iResolution, pPalette, iEntries);
        if (iResult != IMG_OK && iResult != IMG_INVALID_TIFF_ARGUMENTS && iResult != IMG_FILE_EXCEEDS_LIMIT)
            Fail();
        return iResult;
    } catch (const CImageError& e) {
        Fail();
        return e.m_iCode;
    }
}

uint32_t CTIFWriter::DoBeginPage(int32_t iKind, int32_t iWidth, int32_t iHeight, int32_t iResolution,
                                 const uint8_t* pPalette, int32_t iEntries)
{
    uint32_t iResult = CheckPage(iKind, iWidth, iHeight, pPalette, iEntries);
    if (iResult == IMG_OK)
        iResult = SetUpStages(iKind, iWidth, iHeight, iResolution, pPalette, iEntries);
    int64_t iProfileSize = 0;
    if (iResult == IMG_OK)
        iResult = OpenProfile(iProfileSize);
    if (iResult != IMG_OK)
        return iResult;
    uint64_t iIfdPos = 0;
    iResult = StartFileOrChain(iIfdPos);
    if (iResult == IMG_OK) {
        const std::vector<CIfdEntry> entries =
            PageEntries(iKind, iWidth, iHeight, iResolution, pPalette, iEntries, iProfileSize);
        iResult = WriteIfd(entries, iIfdPos, iProfileSize);
    }
    if (m_pProfile)
        m_pProfile->Close();
    if (iResult != IMG_OK)
        return iResult;
    WriteTinyProfileInline(iProfileSize);
    m_Out.Reserve(static_cast<size_t>(m_iBytesPerRow) * static_cast<size_t>(m_iRowsPerStrip));
    m_Strips.clear();
    m_iKind = iKind;
    m_iRowsWritten = 0;
    m_iRowsAnnounced = iHeight;
    m_bInPage = true;
    return IMG_OK;
}

uint32_t CTIFWriter::CheckPage(int32_t iKind, int32_t iWidth, int32_t iHeight, const uint8_t* pPalette,
                               int32_t iEntries)
{
    if (m_bInPage || iWidth < 1 || iHeight < 0 || iKind < IMG_KIND_BILEVEL || iKind > IMG_KIND_PALETTE ||
        m_iCompression < TIF_COMPRESSION_NONE || m_iCompression > TIF_COMPRESSION_PACKBITS)
        return IMG_INVALID_TIFF_ARGUMENTS;
    const bool bCCITT = IsCCITT();
    const int32_t iBits = m_iBitsPerSample;
    switch (iKind) {
    case IMG_KIND_BILEVEL: break;
    case IMG_KIND_GRAY:
    case IMG_KIND_RGB:
        if ((iBits != 4 && iBits != 8 && iBits != 16) || bCCITT)
            return IMG_INVALID_TIFF_ARGUMENTS;
        if (iKind == IMG_KIND_RGB && iBits == 4 && m_iCompression == TIF_COMPRESSION_LZW)
            return IMG_INVALID_TIFF_ARGUMENTS; // no predictor for packed 4-bit samples
        break;
    case IMG_KIND_PALETTE:
        if ((iBits != 4 && iBits != 8) || !pPalette || iEntries < 1 || bCCITT)
            return IMG_INVALID_TIFF_ARGUMENTS;
        break;
    default: return IMG_INVALID_TIFF_ARGUMENTS;
    }
    m_iBytesPerRow = (int64_t(BitsPerPixel(iKind)) * iWidth + 7) / 8;
    if (m_iBytesPerRow > INT32_MAX / 2)
        return IMG_INVALID_TIFF_ARGUMENTS;
    m_iRowsPerStrip = static_cast<int32_t>(std::max<int64_t>(16, 8192 / m_iBytesPerRow));
    if (m_iCompression == TIF_COMPRESSION_G3)
        m_iRowsPerStrip &= ~3;
    const uint64_t iStripsAnnounced = (uint64_t(iHeight) + m_iRowsPerStrip - 1) / m_iRowsPerStrip;
    const uint64_t iCurrentSize = m_Out.IsOpen() ? m_Out.Position() : 0;
    if (!m_bBigTiff && m_iCompression == TIF_COMPRESSION_NONE &&
        iCurrentSize + uint64_t(m_iBytesPerRow) * uint64_t(iHeight) + 4 * iStripsAnnounced > m_iClassicLimit)
        return IMG_FILE_EXCEEDS_LIMIT;
    return IMG_OK;
}

int32_t CTIFWriter::BitsPerPixel(int32_t iKind) const
{
    return iKind == IMG_KIND_BILEVEL ? 1 : (iKind == IMG_KIND_RGB ? 3 * m_iBitsPerSample : m_iBitsPerSample);
}

bool CTIFWriter::UsesPredictor(int32_t iKind) const
{
    return iKind == IMG_KIND_RGB && m_iCompression == TIF_COMPRESSION_LZW;
}

uint32_t CTIFWriter::SetUpStages(int32_t iKind, int32_t iWidth, int32_t iHeight, int32_t iResolution,
                                 const uint8_t* pPalette, int32_t iEntries)
{
    // The stage in front of the file, told the kind with 16-bit samples as kinds of their own.
    const int32_t iBits = m_iBitsPerSample;
    int32_t iStageKind = iKind, iStageWidth = iWidth;
    if (iBits == 16 && iKind == IMG_KIND_GRAY)
        iStageKind = IMG_KIND_GRAY16;
    else if (iBits == 16 && iKind == IMG_KIND_RGB)
        iStageKind = IMG_KIND_RGB48;
    else if (iBits == 4 && iKind != IMG_KIND_BILEVEL) {
        iStageKind = IMG_KIND_BILEVEL; // only the row length matters to the coders
        iStageWidth = BitsPerPixel(iKind) * iWidth;
    }
    m_bSwap16 = m_bBigEndian && iBits == 16 && iKind != IMG_KIND_BILEVEL;
    m_pFirstStage = nullptr;
    m_pCoder = nullptr;
    switch (m_iCompression) {
    case TIF_COMPRESSION_LZW: m_pCoder = &m_LZW; break;
    case TIF_COMPRESSION_MH:
        m_Huffman.SetMode(CHuffmanCoder::HUFFMAN_MH);
        m_pCoder = &m_Huffman;
        break;
    case TIF_COMPRESSION_G3:
        m_Huffman.SetMode(CHuffmanCoder::HUFFMAN_G3);
        m_pCoder = &m_Huffman;
        break;
    case TIF_COMPRESSION_G4:
        m_Huffman.SetMode(CHuffmanCoder::HUFFMAN_G4);
        m_pCoder = &m_Huffman;
        break;
    case TIF_COMPRESSION_PACKBITS: m_pCoder = &m_Packbit; break;
    default: break;
    }
    if (!m_pCoder) {
        m_LineBuffer.assign(static_cast<size_t>(m_iBytesPerRow), 0);
        return IMG_OK;
    }
    uint32_t iResult = m_pCoder->BeginPage(iStageKind, iStageWidth, iHeight, iResolution, pPalette, iEntries);
    if (iResult != IMG_OK)
        return iResult;
    m_pFirstStage = m_pCoder;
    if (UsesPredictor(iKind)) {
        m_Differencing.SetNext(m_pCoder);
        m_Differencing.SetSwap16(m_bSwap16);
        iResult = m_Differencing.BeginPage(iStageKind, iWidth, iHeight, iResolution, pPalette, iEntries);
        if (iResult != IMG_OK)
            return iResult;
        m_pFirstStage = &m_Differencing;
    }
    return IMG_OK;
}

uint32_t CTIFWriter::OpenProfile(int64_t& iProfileSize)
{
    iProfileSize = 0;
    if (!m_pProfile)
        return IMG_OK;
    if (m_pProfile->Open() != 0)
        return IMG_CANT_OPEN_ICC;
    iProfileSize = std::max<int64_t>(m_pProfile->GetSize(), 0);
    if (iProfileSize > UINT32_MAX) {
        m_pProfile->Close();
        return IMG_INVALID_TIFF_ARGUMENTS;
    }
    return IMG_OK;
}

uint32_t CTIFWriter::StartFileOrChain(uint64_t& iIfdPos)
{
    // A file still open here has had all its pages taken back: it starts afresh.
    if (m_bAppend && !m_Out.IsOpen() && ::access(m_szFileName.c_str(), F_OK) == 0) {
        const uint32_t iResult = OpenForAppend();
        if (iResult != IMG_OK)
            return iResult;
    }
    if (m_Out.IsOpen() && m_iPageCount > 0) {
        // A later page: its IFD goes at the (even) end and the last IFD points at it.
        m_CurrentMark = CPageMark{m_Out.Position(), m_iNextIfdPos};
        m_Out.AlignEven();
        iIfdPos = m_Out.Position();
        std::vector<uint8_t> v;
        PutOffset(v, iIfdPos);
        m_Out.Patch(m_iNextIfdPos, v.data(), v.size());
        m_iPrevNextIfdPos = m_iNextIfdPos;
        return IMG_OK;
    }
    if (!m_Out.Open(m_szFileName))
        return IMG_CANT_OPEN_TIF;
    std::vector<uint8_t> h;
    h.push_back(m_bBigEndian ? 'M' : 'I');
    h.push_back(m_bBigEndian ? 'M' : 'I');
    if (m_bBigTiff) {
        Put16(h, 43);
        Put16(h, 8);
        Put16(h, 0);
        Put64(h, 16);
        iIfdPos = 16;
    } else {
        Put16(h, 42);
        Put32(h, 8);
        iIfdPos = 8;
    }
    m_Out.Write(h.data(), h.size());
    m_iPrevNextIfdPos = 0;
    m_PageMarks.clear();
    m_CurrentMark = CPageMark{0, 0};
    return IMG_OK;
}

std::vector<CTIFWriter::CIfdEntry> CTIFWriter::PageEntries(int32_t iKind, int32_t iWidth, int32_t iHeight,
                                                           int32_t iResolution, const uint8_t* pPalette,
                                                           int32_t iEntries, int64_t iProfileSize) const
{
    // The entries, in tag order.
    std::vector<CIfdEntry> entries;
    auto add = [&](ETifTag eTag, ETifType eType, uint64_t iCount, std::vector<uint8_t> value) {
        const uint64_t iSize = value.size();
        entries.push_back(CIfdEntry{eTag, eType, iCount, std::move(value), iSize});
    };
    auto shorts = [&](std::initializer_list<uint16_t> values) {
        std::vector<uint8_t> v;
        for (uint16_t x : values)
            Put16(v, x);
        return v;
    };
    auto longs = [&](uint32_t x) {
        std::vector<uint8_t> v;
        Put32(v, x);
        return v;
    };
    auto rational = [&](int64_t iDpi) {
        std::vector<uint8_t> v;
        Put32(v, static_cast<uint32_t>(std::clamp<int64_t>(iDpi * 1000, 0, UINT32_MAX)));
        Put32(v, 1000);
        return v;
    };
    const int32_t iBits = m_iBitsPerSample;
    const bool bRGB = iKind == IMG_KIND_RGB;
    add(TIF_TAG_IMAGE_WIDTH, TIF_TYPE_LONG, 1, longs(static_cast<uint32_t>(iWidth)));
    add(TIF_TAG_IMAGE_LENGTH, TIF_TYPE_LONG, 1, longs(static_cast<uint32_t>(iHeight)));
    if (iKind != IMG_KIND_BILEVEL)
        add(TIF_TAG_BITS_PER_SAMPLE, TIF_TYPE_SHORT, bRGB ? 3 : 1,
            bRGB ? shorts({uint16_t(iBits), uint16_t(iBits), uint16_t(iBits)}) : shorts({uint16_t(iBits)}));
    add(TIF_TAG_COMPRESSION, TIF_TYPE_SHORT, 1, shorts({TifCompressionTag(m_iCompression)}));
    uint16_t iPhotometric = 1;
    if (iKind == IMG_KIND_BILEVEL)
        iPhotometric = IsCCITT() ? 0 : 1;
    else if (bRGB)
        iPhotometric = m_bLab ? 8 : 2;
    else if (iKind == IMG_KIND_PALETTE)
        iPhotometric = 3;
    add(TIF_TAG_PHOTOMETRIC, TIF_TYPE_SHORT, 1, shorts({iPhotometric}));
    if (!m_szDescription.empty()) {
        std::vector<uint8_t> v(m_szDescription.begin(), m_szDescription.end());
        v.push_back(0);
        const uint64_t iCount = v.size();
        add(TIF_TAG_IMAGE_DESCRIPTION, TIF_TYPE_ASCII, iCount, std::move(v));
    }
    add(TIF_TAG_STRIP_OFFSETS, m_bBigTiff ? TIF_TYPE_LONG8 : TIF_TYPE_LONG, 1,
        std::vector<uint8_t>(m_bBigTiff ? 8 : 4, 0));
    if (bRGB)
        add(TIF_TAG_SAMPLES_PER_PIXEL, TIF_TYPE_SHORT, 1, shorts({3}));
    add(TIF_TAG_ROWS_PER_STRIP, TIF_TYPE_LONG, 1, longs(static_cast<uint32_t>(m_iRowsPerStrip)));
    add(TIF_TAG_STRIP_BYTE_COUNTS, TIF_TYPE_LONG, 1, longs(0));
    add(TIF_TAG_X_RESOLUTION, TIF_TYPE_RATIONAL, 1, rational(iResolution));
    add(TIF_TAG_Y_RESOLUTION, TIF_TYPE_RATIONAL, 1, rational(m_iYResolution > 0 ? m_iYResolution : iResolution));
    if (m_iCompression == TIF_COMPRESSION_G3)
        add(TIF_TAG_T4_OPTIONS, TIF_TYPE_LONG, 1, longs(0));
    if (m_iCompression == TIF_COMPRESSION_G4)
        add(TIF_TAG_T6_OPTIONS, TIF_TYPE_LONG, 1, longs(0));
    add(TIF_TAG_RESOLUTION_UNIT, TIF_TYPE_SHORT, 1, shorts({2}));
    if (UsesPredictor(iKind))
        add(TIF_TAG_PREDICTOR, TIF_TYPE_SHORT, 1, shorts({2}));
    if (iKind == IMG_KIND_PALETTE) {
        // One table per channel with an entry for every index the depth allows.
        const int32_t iColors = 1 << iBits;
        std::vector<uint8_t> v;
        for (int32_t c = 2; c >= 0; --c) // red, green, blue from blue-green-red entries
            for (int32_t i = 0; i < iColors; ++i)
                Put16(v, i < iEntries ? static_cast<uint16_t>(pPalette[4 * i + c] * 257) : 0);
        add(TIF_TAG_COLOR_MAP, TIF_TYPE_SHORT, uint64_t(3 * iColors), std::move(v));
    }
    if (m_pProfile) // streamed from the source when the IFD is written
        entries.push_back(CIfdEntry{TIF_TAG_ICC_PROFILE, TIF_TYPE_UNDEFINED, uint64_t(iProfileSize), {},
                                    uint64_t(iProfileSize)});
    return entries;
}

uint32_t CTIFWriter::WriteIfd(const std::vector<CIfdEntry>& entries, uint64_t iIfdPos, int64_t iProfileSize)
{
    const uint64_t iEntrySize = m_bBigTiff ? 20 : 12;
    const uint64_t iInline = m_bBigTiff ? 8 : 4;
    const uint64_t iHead = m_bBigTiff ? 8 : 2;
    const uint64_t iIfdSize = iHead + iEntrySize * entries.size() + (m_bBigTiff ? 8 : 4);
    // Value areas after the IFD, each at an even offset.
    std::vector<uint64_t> valueOffsets(entries.size(), 0);
    uint64_t iAt = iIfdPos + iIfdSize;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].m_iValueSize > iInline) {
            iAt += iAt & 1;
            valueOffsets[i] = iAt;
            iAt += entries[i].m_iValueSize;
        }
    }
    if (!m_bBigTiff && iAt > m_iClassicLimit)
        return IMG_FILE_EXCEEDS_LIMIT;
    std::vector<uint8_t> ifd;
    m_bBigTiff ? Put64(ifd, entries.size()) : Put16(ifd, static_cast<uint16_t>(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
        const CIfdEntry& e = entries[i];
        const uint64_t iEntryPos = iIfdPos + iHead + iEntrySize * i;
        // Where EndPage patches in the height and the strip arrays.
        if (e.m_eTag == TIF_TAG_IMAGE_LENGTH)
            m_iImageLengthPos = iEntryPos + (m_bBigTiff ? 12 : 8);
        else if (e.m_eTag == TIF_TAG_STRIP_OFFSETS)
            m_iStripOffsetsEntry = iEntryPos;
        else if (e.m_eTag == TIF_TAG_STRIP_BYTE_COUNTS)
            m_iStripByteCountsEntry = iEntryPos;
        Put16(ifd, e.m_eTag);
        Put16(ifd, e.m_eType);
        m_bBigTiff ? Put64(ifd, e.m_iCount) : Put32(ifd, static_cast<uint32_t>(e.m_iCount));
        if (e.m_iValueSize > iInline) {
            PutOffset(ifd, valueOffsets[i]);
        } else {
            ifd.insert(ifd.end(), e.m_Value.begin(), e.m_Value.end());
            ifd.insert(ifd.end(), iInline - e.m_Value.size(), 0);
        }
    }
    m_iNextIfdPos = iIfdPos + ifd.size();
    PutOffset(ifd, 0);
    m_Out.Write(ifd.data(), ifd.size());
    for (const CIfdEntry& e : entries) {
        if (e.m_iValueSize <= iInline)
            continue;
        m_Out.AlignEven();
        if (e.m_eTag != TIF_TAG_ICC_PROFILE) {
            m_Out.Write(e.m_Value.data(), e.m_Value.size());
            continue;
        }
        // The profile comes in blocks of 500 bytes; a short read leaves zeros.
        uint8_t block[500];
        int64_t iLeft = iProfileSize;
        while (iLeft > 0) {
            const int64_t iWant = std::min<int64_t>(iLeft, sizeof(block));
            const int64_t iGot = m_pProfile->Read(block, iWant);
            if (iGot <= 0)
                break;
            m_Out.Write(block, static_cast<size_t>(std::min(iGot, iWant)));
            iLeft -= std::min(iGot, iWant);
        }
        static const uint8_t kZeros[500] = {};
        while (iLeft > 0) {
            const int64_t n = std::min<int64_t>(iLeft, sizeof(kZeros));
            m_Out.Write(kZeros, static_cast<size_t>(n));
            iLeft -= n;
        }
    }
    m_iIccEntryPos = 0;
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].m_eTag == TIF_TAG_ICC_PROFILE)
            m_iIccEntryPos = iIfdPos + iHead + iEntrySize * i;
    return IMG_OK;
}

void CTIFWriter::WriteTinyProfileInline(int64_t iProfileSize)
{
    // A tiny profile stands in its entry: write it there.
    const int64_t iInline = m_bBigTiff ? 8 : 4;
    if (!m_pProfile || iProfileSize <= 0 || iProfileSize > iInline || m_iIccEntryPos == 0 || m_pProfile->Open() != 0)
        return;
    uint8_t small[8] = {};
    m_pProfile->Read(small, iProfileSize);
    m_pProfile->Close();
    m_Out.Patch(m_iIccEntryPos + (m_bBigTiff ? 12 : 8), small, static_cast<size_t>(iProfileSize));
}

uint32_t CTIFWriter::OpenForAppend()
{
    // The existing file must be of the byte order and variant we write; its
    // last IFD's next field is where the new page gets chained.
    CTIFReader reader;
    reader.SetFileName(m_szFileName);
    int32_t iPages = 0;
    uint32_t iResult = reader.Open(iPages);
    if (iResult != IMG_OK)
        return iResult;
    if (reader.IsBigEndian() != m_bBigEndian || reader.IsBigTiff() != m_bBigTiff)
        return IMG_INVALID_TIFF_ARGUMENTS;
    uint64_t iNextField = 0;
    if ((iResult = reader.NextIfdFieldOfLastPage(iNextField)) != IMG_OK)
        return iResult;
    if (!m_Out.OpenForAppend(m_szFileName))
        return IMG_CANT_OPEN_TIF;
    m_iNextIfdPos = iNextField;
    m_iPageCount = iPages;
    return IMG_OK;
}

uint8_t* CTIFWriter::GetLineBuffer()
{
    if (!m_bInPage)
        return nullptr;
    if (m_pFirstStage)
        return m_pFirstStage->GetLineBuffer();
    try {
        m_pClaimed = m_Out.Claim(static_cast<size_t>(m_iBytesPerRow));
    } catch (const CImageError&) {
        Fail();
        return nullptr;
    }
    return m_pClaimed ? m_pClaimed : m_LineBuffer.data();
}

uint32_t CTIFWriter::WriteLine()
{
    if (!m_bInPage)
        return IMG_INVALID_TIFF_ARGUMENTS;
    try {
        return DoWriteLine();
    } catch (const CImageError& e) {
        Fail();
        return e.m_iCode;
    }
}

uint32_t CTIFWriter::DoWriteLine()
{
    const uint64_t iRowStart = m_Out.Position();
    bool bNewStrip = false;
    if (m_iRowsWritten % m_iRowsPerStrip == 0) {
        if (m_iRowsWritten > 0 && m_pCoder)
            m_pCoder->FinishStrip();
        const uint64_t iPos = m_Out.Position();
        if (!m_Strips.empty())
            m_Strips.back().m_iByteCount = static_cast<uint32_t>(iPos - m_Strips.back().m_iOffset);
        m_Strips.push_back(CStrip{iPos, 0});
        bNewStrip = true;
        if (m_pCoder)
            m_pCoder->StartStrip();
    }
    if (m_pClaimed) {
        if (m_bSwap16)
            SwapBytes16(m_pClaimed, m_iBytesPerRow);
        m_Out.Commit(static_cast<size_t>(m_iBytesPerRow));
        m_pClaimed = nullptr;
    } else if (!m_pFirstStage) {
        if (m_bSwap16)
            SwapBytes16(m_LineBuffer.data(), m_iBytesPerRow);
        m_Out.Write(m_LineBuffer.data(), m_LineBuffer.size());
    } else {
        if (m_bSwap16 && m_pFirstStage == m_pCoder)
            SwapBytes16(m_pCoder->GetLineBuffer(), m_iBytesPerRow);
        const uint32_t iResult = m_pFirstStage->WriteLine();
        if (iResult != IMG_OK)
            return iResult;
    }
    if (!m_bBigTiff &&
        m_Out.Position() + 8 * uint64_t(m_Strips.size()) + uint64_t(m_iBytesPerRow) > m_iClassicLimit) {
        m_Out.Truncate(iRowStart);
        if (bNewStrip)
            m_Strips.pop_back();
        return IMG_FILE_EXCEEDS_LIMIT;
    }
    ++m_iRowsWritten;
    return IMG_OK;
}

uint32_t CTIFWriter::EndPage(int32_t)
{
    if (!m_bInPage)
        return IMG_INVALID_TIFF_ARGUMENTS;
    try {
        return DoEndPage();
    } catch (const CImageError& e) {
        Fail();
        return e.m_iCode;
    }
}

uint32_t CTIFWriter::DoEndPage()
{
    if (m_pCoder && !m_Strips.empty())
        m_pCoder->FinishStrip();
    if (m_Strips.empty())
        m_Strips.push_back(CStrip{m_Out.Position(), 0});
    m_Strips.back().m_iByteCount = static_cast<uint32_t>(m_Out.Position() - m_Strips.back().m_iOffset);

    const uint64_t iInline = m_bBigTiff ? 8 : 4;
    const uint64_t n = m_Strips.size();
    auto patchArray = [&](uint64_t iEntry, bool bOffsets) {
        std::vector<uint8_t> values;
        for (const CStrip& s : m_Strips) {
            if (bOffsets)
                PutOffset(values, s.m_iOffset);
            else
                Put32(values, s.m_iByteCount);
        }
        std::vector<uint8_t> count;
        m_bBigTiff ? Put64(count, n) : Put32(count, static_cast<uint32_t>(n));
        m_Out.Patch(iEntry + 4, count.data(), count.size());
        const uint64_t iValuePos = iEntry + (m_bBigTiff ? 12 : 8);
        if (values.size() <= iInline) {
            values.resize(static_cast<size_t>(iInline), 0);
            m_Out.Patch(iValuePos, values.data(), values.size());
            return;
        }
        m_Out.AlignEven();
        std::vector<uint8_t> at;
        PutOffset(at, m_Out.Position());
        m_Out.Write(values.data(), values.size());
        m_Out.Patch(iValuePos, at.data(), at.size());
    };
    patchArray(m_iStripOffsetsEntry, true);
    patchArray(m_iStripByteCountsEntry, false);
    if (m_iRowsWritten != m_iRowsAnnounced) {
        std::vector<uint8_t> v;
        Put32(v, static_cast<uint32_t>(m_iRowsWritten));
        m_Out.Patch(m_iImageLengthPos, v.data(), v.size());
    }
    m_bInPage = false;
    m_iEndOfFile = m_Out.Position();
    if (!m_bMultiPage) {
        m_iPageCount = 0;
        return m_Out.Close() ? IMG_OK : IMG_CANT_WRITE_TIF;
    }
    ++m_iPageCount;
    m_PageMarks.push_back(m_CurrentMark);
    return IMG_OK;
}

uint32_t CTIFWriter::RemoveLastPage()
{
    if (m_bInPage || !m_Out.IsOpen() || m_PageMarks.empty())
        return IMG_INVALID_TIFF_ARGUMENTS;
    try {
        const CPageMark mark = m_PageMarks.back();
        m_PageMarks.pop_back();
        if (mark.m_iPrevNextField != 0) {
            std::vector<uint8_t> zero;
            PutOffset(zero, 0);
            m_Out.Patch(mark.m_iPrevNextField, zero.data(), zero.size());
        }
        m_Out.Truncate(mark.m_iStart);
        m_iNextIfdPos = mark.m_iPrevNextField;
        m_iEndOfFile = mark.m_iStart;
        --m_iPageCount;
        // With the first page gone the next page starts the file afresh.
        if (m_iPageCount == 0)
            m_PageMarks.clear();
        return IMG_OK;
    } catch (const CImageError& e) {
        Fail();
        return e.m_iCode;
    }
}

// ---------------------------------------------------------------- saving pictures

std::string PictureLayoutDescription(const CPicture& pic)
{
    return FormatText("ZEL\nm_iA=%d\nm_iB=%d\nm_iC=%d\nm_iD=%d\nm_iE=%d\nm_iF=%d\nm_iG=%d\nm_iH=%d", pic.m_BiC[0],
                      pic.m_BiC[1], pic.m_BiC[2], pic.m_BiC[3], pic.m_BiC[4], pic.m_BiC[5], pic.m_BiC[6],
                      pic.m_BiC[7]);
}

namespace {

uint32_t WritePictureTiff(const CPicture& pic, const std::string& szPath, const std::string& szIccProfile)
{
    CTIFWriter writer;
    writer.SetFileName(szPath);
    writer.SetOptions(TIF_COMPRESSION_NONE, false, PictureLayoutDescription(pic), false,
                      pic.m_PicData == PIC_RGB48 ? 16 : 8, 0);
    CFileIccProfileReader profile;
    if (!szIccProfile.empty()) {
        profile.SetProfileName(szIccProfile);
        writer.SetIccProfile(&profile);
    }
    int32_t iKind;
    int64_t iRowLength;
    switch (pic.m_PicData) {
    case PIC_BW: iKind = IMG_KIND_BILEVEL; iRowLength = (int64_t(pic.m_iWidth) + 7) / 8; break;
    case PIC_GRAY: iKind = IMG_KIND_GRAY; iRowLength = pic.m_iWidth; break;
    case PIC_RGB: iKind = IMG_KIND_RGB; iRowLength = 3 * int64_t(pic.m_iWidth); break;
    case PIC_RGB48: iKind = IMG_KIND_RGB; iRowLength = 6 * int64_t(pic.m_iWidth); break;
    default: return IMG_INVALID_TIFF_ARGUMENTS;
    }
    if (!pic.m_pData || pic.m_iWidth < 1 || pic.m_iSize < 0 || iRowLength <= 0)
        return IMG_INVALID_TIFF_ARGUMENTS;
    uint32_t iResult = writer.BeginPage(iKind, pic.m_iWidth, 0, pic.m_iResolution);
    if (iResult != IMG_OK)
        return iResult;
    const int64_t iRows = pic.m_iSize / iRowLength;
    for (int64_t y = 0; y < iRows; ++y) {
        uint8_t* pRow = writer.GetLineBuffer();
        if (!pRow)
            return IMG_INVALID_TIFF_ARGUMENTS;
        std::memcpy(pRow, pic.m_pData + y * iRowLength, static_cast<size_t>(iRowLength));
        if ((iResult = writer.WriteLine()) != IMG_OK)
            return iResult;
    }
    return writer.EndPage();
}

} // namespace

uint32_t SavePictureAsTiff(const CPicture& pic, const std::string& szPath, const std::string& szIccProfile)
{
    // The writer replaces the target only with a complete file.
    return WritePictureTiff(pic, szPath, szIccProfile);
}

uint32_t SavePictureAsTiff(const CPicture& pic, const std::string& szPath)
{
    return SavePictureAsTiff(pic, szPath, std::string());
}

uint32_t SavePictureAsTiffInDirectory(const CPicture& pic, const std::string& szDirectory, const std::string& szFileName)
{
    std::string szPath = szDirectory;
    if (!szPath.empty() && szPath.back() != '/')
        szPath += '/';
    szPath += szFileName;
    if (szPath.size() >= 260)
        return IMG_CANT_OPEN_TIF;
    return SavePictureAsTiff(pic, szPath, std::string());
}

uint32_t SavePictureAsTiffInDefaultDirectory(const CPicture& pic, const std::string& szFileName)
{
    std::string szDir;
    if (!FindProgramDirectory(szDir))
        return IMG_CANT_OPEN_TIF;
    // An installed program keeps such pictures in its state folder instead.
    szDir = ProgramStateFolder();
    std::error_code ec;
    std::filesystem::create_directories(szDir, ec);
    return SavePictureAsTiffInDirectory(pic, szDir, szFileName);
}

uint32_t SavePictureAsTiff(const CPicture* pPic, const std::string& szPath)
{
    if (!pPic || pPic->m_iWidth < 1)
        return IMG_OK;
    return SavePictureAsTiff(*pPic, szPath, std::string());
}
