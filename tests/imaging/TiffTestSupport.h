#pragma once
// Pictures and collectors shared by the TIFF tests.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "imaging/ImageReceiver.h"

using Rows = std::vector<std::vector<uint8_t>>;

// Collects the rows a reader pushes.
class CRowCollector : public CImageReceiver {
public:
    uint32_t BeginPage(int32_t iKind, int32_t iWidth, int32_t iHeight, int32_t iResolution,
                       const uint8_t* pPalette, int32_t iEntries) override
    {
        m_iKind = iKind;
        m_iWidth = iWidth;
        m_iResolution = iResolution;
        m_Palette.assign(pPalette ? pPalette : nullptr, pPalette ? pPalette + 4 * iEntries : nullptr);
        m_Row.assign(static_cast<size_t>(ImageRowLength(iKind, iWidth)), 0);
        m_Rows.clear();
        m_Rows.reserve(static_cast<size_t>(iHeight));
        return 0;
    }
    uint8_t* GetLineBuffer() override { return m_Row.data(); }
    uint32_t WriteLine() override
    {
        m_Rows.push_back(m_Row);
        return 0;
    }
    uint32_t EndPage(int32_t) override { return 0; }
    int32_t m_iKind = -1, m_iWidth = 0, m_iResolution = 0;
    std::vector<uint8_t> m_Row, m_Palette;
    Rows m_Rows;
};

// Scan-like content: white paper, thin dark lines, mild noise.
inline Rows ScanLikeRows(int32_t iKind, int32_t iWidth, int32_t iHeight, uint32_t iSeed = 1)
{
    std::mt19937 rng(iSeed);
    const int64_t iRowLength = ImageRowLength(iKind, iWidth);
    Rows rows(static_cast<size_t>(iHeight), std::vector<uint8_t>(static_cast<size_t>(iRowLength)));
    for (int32_t y = 0; y < iHeight; ++y) {
        auto& r = rows[size_t(y)];
        for (int32_t x = 0; x < iWidth; ++x) {
            const bool bLine = (x % 97) < 2 || (y % 61) < 2 || ((x + y) % 331) < 3;
            const int32_t iNoise = int32_t(rng() % 7) - 3;
            const int32_t v = bLine ? 30 + iNoise : 235 + iNoise;
            switch (iKind) {
            case IMG_KIND_BILEVEL:
                if (v >= 128)
                    r[size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
                break;
            case IMG_KIND_GRAY:
            case IMG_KIND_PALETTE: r[size_t(x)] = uint8_t(v); break;
            case IMG_KIND_RGB:
                r[size_t(3 * x)] = uint8_t(v);
                r[size_t(3 * x + 1)] = uint8_t(v - 10);
                r[size_t(3 * x + 2)] = uint8_t(v - (x % 5));
                break;
            case IMG_KIND_GRAY16: {
                const uint16_t s = uint16_t(v * 257 + int32_t(rng() % 50));
                r[size_t(2 * x)] = uint8_t(s);
                r[size_t(2 * x + 1)] = uint8_t(s >> 8);
                break;
            }
            case IMG_KIND_RGB48:
                for (int c = 0; c < 3; ++c) {
                    const uint16_t s = uint16_t((v - 7 * c) * 257 + int32_t(rng() % 50));
                    r[size_t(6 * x + 2 * c)] = uint8_t(s);
                    r[size_t(6 * x + 2 * c + 1)] = uint8_t(s >> 8);
                }
                break;
            default: break;
            }
        }
    }
    return rows;
}
