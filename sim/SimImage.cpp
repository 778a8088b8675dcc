// What the simulated cameras see: the sheet through each camera's geometry,
// then the analog front end (offset and gain per camera, colour and odd/even
// channel from buffer 0x38), sensor noise, and the device's own levels and
// gamma table. Always 8-bit gray or 24-bit colour; line art is thresholded by
// the device afterwards.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "SimDevice.h"
#include "SimSheet.h"
#include "platform/ByteOrder.h"
#include "scanner/zel_scan_2000.h"

namespace sim {

namespace {

// Output tables of the device per colour: levels (data type 0xFA) then the
// gamma table (data type 0x03). Identity until the host sends either.
using CToneTables = std::array<std::array<uint8_t, 256>, 3>;

CToneTables ToneTables(const CDevice& d)
{
    CToneTables t;
    int32_t iWhite[3] = {255, 255, 255}, iBlack[3] = {0, 0, 0};
    if (const auto it = d.m_Sent.find({ZEL_DT_LEVELS, 2}); it != d.m_Sent.end() && it->second.size() >= 24)
        for (size_t k = 0; k < 3; ++k) {
            iWhite[k] = std::clamp(Be32(&it->second[4 * k]), 1, 255);
            iBlack[k] = std::clamp(Be32(&it->second[12 + 4 * k]), 0, 254);
        }
    const std::vector<uint8_t>* pGamma = nullptr;
    if (const auto it = d.m_Sent.find({ZEL_DT_GAMMA, 0}); it != d.m_Sent.end() && it->second.size() >= 6)
        pGamma = &it->second;
    for (size_t k = 0; k < 3; ++k) {
        const int32_t iSpan = std::max(iWhite[k] - iBlack[k], 1);
        for (int32_t v = 0; v < 256; ++v) {
            int32_t u = std::clamp((v - iBlack[k]) * 255 / iSpan, 0, 255);
            if (pGamma) {
                // One table per colour when three were sent, else one for all.
                const size_t iLength = pGamma->size() % 3 == 0 ? pGamma->size() / 3 : pGamma->size();
                const size_t iTable = pGamma->size() % 3 == 0 ? k : 0;
                u = (*pGamma)[iTable * iLength + static_cast<size_t>(u) * (iLength - 1) / 255];
            }
            t[k][static_cast<size_t>(v)] = static_cast<uint8_t>(u);
        }
    }
    return t;
}

// A uniform light gray field: for paper, window and read-loop tests that
// want the same value in every pixel.
class CFlatSource : public CImageSource {
public:
    void RenderLine(const CLibrary&, const CDevice& d, const CLayout& layout, const CLineRequest& r,
                    uint8_t* pOut) override
    {
        const CToneTables t = ToneTables(d);
        for (int32_t x = 0; x < layout.m_iWidth; ++x)
            for (int32_t k = 0; k < r.m_iBytesPerPixel; ++k)
                *pOut++ = t[static_cast<size_t>(k)][200];
    }
};

// Offset of a fresh device (buffer 0x38); the camera's Black is its black level there.
constexpr int32_t kFactoryOffset = 16;

// Analog front end of one camera and colour: black level and full-scale
// white for the even (0) and odd (1) channel.
struct CChannel {
    float m_fBlack[2];
    float m_fWhite[2];
};

class COpticalSource : public CImageSource {
public:
    explicit COpticalSource(const CScenario& s) : m_Sheet(s)
    {
        // A fixed table of normal deviates; the seeded generator picks from it.
        uint32_t u = 0x9E3779B9u;
        auto next = [&u] {
            u = u * 1664525u + 1013904223u;
            return (static_cast<double>(u >> 8) + 0.5) / 16777216.0;
        };
        for (size_t i = 0; i < m_Gauss.size(); i += 2) {
            const double r = std::sqrt(-2.0 * std::log(next())), a = 6.283185307179586 * next();
            m_Gauss[i] = static_cast<float>(r * std::cos(a));
            m_Gauss[i + 1] = static_cast<float>(r * std::sin(a));
        }
    }

    void RenderLine(const CLibrary& lib, const CDevice& d, const CLayout& layout, const CLineRequest& r,
                    uint8_t* pOut) override;

private:
    CChannel Channel(const CScenario& s, const CDevice& d, int32_t c, int32_t iColour) const;

    // What one camera's delivered pixels see before the analog front end:
    // sheet reflectance times light. A still sheet gives the same every line.
    struct CSeen {
        double m_dY = -1e300, m_dH = 0, m_dSheetX = 0, m_dSpp = 0;
        int32_t m_iFirstOwn = -1, m_iCount = -1, m_iPixels = -1;
        bool m_bLampOn = true;
        CSheetRow m_Row;
        std::vector<float> m_Signal;
    };
    const CSeen& Seen(const CScenario& s, int32_t c, int32_t iRow, const CCameraView& v, double y, double dHeight,
                      bool bLampOn);

    CSheet m_Sheet;
    CSheetRow m_Row;
    std::array<CSeen, kMaxCameras * 3> m_Seen{}; // per camera and colour row
    std::array<float, 4096> m_Gauss{};
};

const COpticalSource::CSeen& COpticalSource::Seen(const CScenario& s, int32_t c, int32_t iRow, const CCameraView& v,
                                                  double y, double dHeight, bool bLampOn)
{
    CSeen& seen = m_Seen[static_cast<size_t>(c * 3 + iRow)];
    const bool bSameView = seen.m_dSheetX == v.m_dSheetX && seen.m_dSpp == v.m_dSheetPerPixel &&
                           seen.m_iFirstOwn == v.m_iFirstOwn && seen.m_iCount == v.m_iCountInLine &&
                           seen.m_iPixels == v.m_iPixels && seen.m_bLampOn == bLampOn;
    if (bSameView && seen.m_dY == y && seen.m_dH == dHeight)
        return seen;
    if (bLampOn) {
        // Most rows of a sheet look alike; only a changed row costs a new look.
        m_Sheet.Row(y, dHeight, m_Row);
        if (bSameView && seen.m_Row.SameAs(m_Row)) {
            seen.m_dY = y;
            seen.m_dH = dHeight;
            return seen;
        }
        std::swap(seen.m_Row, m_Row);
    }
    seen.m_dY = y;
    seen.m_dH = dHeight;
    seen.m_dSheetX = v.m_dSheetX;
    seen.m_dSpp = v.m_dSheetPerPixel;
    seen.m_iFirstOwn = v.m_iFirstOwn;
    seen.m_iCount = v.m_iCountInLine;
    seen.m_iPixels = v.m_iPixels;
    seen.m_bLampOn = bLampOn;
    const int32_t n = v.m_iCountInLine;
    seen.m_Signal.assign(static_cast<size_t>(n), 0.0f);
    if (!bLampOn)
        return seen;
    const CSheetRow& row = seen.m_Row;
    const CCameraScenario& cs = s.m_Camera[static_cast<size_t>(c)];
    const int32_t iActive = v.m_iPixels - 2 * v.m_iDark;
    const double dSpp = v.m_dSheetPerPixel;
    const double dInverse = dSpp != 0 ? 1.0 / dSpp : 0.0;
    size_t iCursor = 0;
    double dLeft = 0;
    int32_t iLeftOf = -2; // active pixel whose right edge dLeft is
    for (int32_t i = 0; i < n; ++i) {
        const int32_t t = v.m_iFirstOwn + i - v.m_iDark;
        if (t < 0 || t >= iActive)
            continue; // covered reference pixel: dark
        const double xa = v.m_dSheetX + t * dSpp;
        const double a = iLeftOf == t - 1 ? dLeft : row.Integral(xa, iCursor);
        dLeft = row.Integral(xa + dSpp, iCursor);
        iLeftOf = t;
        const double u = (t + 0.5) * 2.0 / iActive - 1.0;
        seen.m_Signal[static_cast<size_t>(i)] = static_cast<float>((dLeft - a) * dInverse * (1.0 - cs.m_dFalloff * u * u));
    }
    // A camera out of focus spreads each point over Blur pixels (a box of
    // the nearest odd width), at the window's resolution.
    const int32_t iHalf = static_cast<int32_t>(
        std::lround(cs.m_dBlur * v.m_iPixels / std::max(Nominal(s).m_iPixels, 1) / 2.0));
    if (iHalf > 0 && n > 0) {
        std::vector<float>& f = seen.m_Signal;
        std::vector<double> sum(static_cast<size_t>(n) + 1, 0.0);
        for (int32_t i = 0; i < n; ++i)
            sum[static_cast<size_t>(i) + 1] = sum[static_cast<size_t>(i)] + f[static_cast<size_t>(i)];
        for (int32_t i = 0; i < n; ++i) {
            const int32_t a = std::max(i - iHalf, 0), b = std::min(i + iHalf + 1, n);
            f[static_cast<size_t>(i)] = static_cast<float>((sum[static_cast<size_t>(b)] - sum[static_cast<size_t>(a)]) / (b - a));
        }
    }
    return seen;
}

CChannel COpticalSource::Channel(const CScenario& s, const CDevice& d, int32_t c, int32_t iColour) const
{
    const CCameraScenario& cs = s.m_Camera[static_cast<size_t>(c)];
    const int32_t iCameras = std::clamp(s.m_iCameras, 0, kMaxCameras);
    // Colour entries per camera first, then one gray entry per camera; each
    // even offset, even gain, odd offset, odd gain.
    const size_t iEntry = static_cast<size_t>(iColour < 3 ? (c * 3 + iColour) * 8 : iCameras * 24 + c * 8);
    int32_t words[4] = {kFactoryOffset, 128, kFactoryOffset, 128};
    if (s.m_iGainBits == 5)
        words[1] = words[3] = 16;
    // The front end works with the set that has come through the pipeline.
    const std::vector<uint8_t>* pSet = nullptr;
    if (d.m_bGainOffsetInUse)
        pSet = &d.m_GainOffsetInUse;
    else if (const auto it = d.m_Buffers.find({ZEL_BUF_GAIN_OFFSET, 0}); it != d.m_Buffers.end())
        pSet = &it->second;
    if (pSet && pSet->size() >= iEntry + 8)
        for (size_t w = 0; w < 4; ++w)
            words[w] = static_cast<int16_t>(Be16(&(*pSet)[iEntry + 2 * w]));
    CChannel ch;
    const double dLight = 200.0 * cs.m_dWhiteGain * cs.m_dLamp * std::max(1.0 - s.m_dLampWeakness, 0.0);
    for (int p = 0; p < 2; ++p) {
        const double dOffset = std::clamp(words[2 * p], 0, 255);
        const double dGain = s.m_iGainBits == 5 ? std::clamp(words[2 * p + 1], 0, 31) : std::clamp(words[2 * p + 1], 0, 255);
        // Offset adds a quarter level per step from the factory setting 16;
        // gain doubles the response every 64 steps (every 8 of a 5-bit gain).
        // Channel 1 is the odd one: its own black level and sensitivity.
        ch.m_fBlack[p] = static_cast<float>(cs.m_dBlack + (p ? cs.m_dOddBlack : 0.0) + (dOffset - kFactoryOffset) / 4.0);
        const double dFactor = s.m_iGainBits == 5 ? std::exp2((dGain - 16.0) / 8.0) : std::exp2((dGain - 128.0) / 64.0);
        ch.m_fWhite[p] = static_cast<float>(dLight * dFactor * (p ? cs.m_dOddWhiteGain : 1.0));
    }
    return ch;
}

void COpticalSource::RenderLine(const CLibrary& lib, const CDevice& d, const CLayout& layout, const CLineRequest& r,
                                uint8_t* pOut)
{
    const CScenario& s = lib.m_Scenario;
    const CToneTables tones = ToneTables(d);
    const int32_t iBytes = r.m_iBytesPerPixel;
    // The two sensor rows can be scanned with the lamp off each on its own:
    // row 1 gives the even scan lines, row 2 the odd ones.
    const uint8_t byLightOff = d.m_Window.m_Bytes.size() > 80 ? d.m_Window.m_Bytes[80] : 0;
    const bool bLampOn = !(byLightOff & (r.m_iLine % 2 == 0 ? 0x20 : 0x40));
    const double dHeight = r.m_dStep > 0 ? r.m_dStep : 1200.0 / std::max(d.m_Window.m_iYResolution, 1);
    const double dScale = static_cast<double>(layout.m_iResolution) / Nominal(s).m_iResolution;
    const double kUnitPerLine = 1200.0 / std::max(Nominal(s).m_iResolution, 1); // sheet units of an optical line

    for (int32_t c = 0; c < layout.m_iCameras; ++c) {
        const CCameraView& v = layout.m_Views[static_cast<size_t>(c)];
        if (v.m_iCountInLine <= 0)
            continue;
        const CCameraScenario& cs = s.m_Camera[static_cast<size_t>(c)];
        // Which sheet row this camera sees: its data are delayed by the
        // alignment lines, and its view runs ahead of the nominal scan line.
        const double yNominal = r.m_dSheetY - v.m_iDelay * r.m_dStep;
        const double y = yNominal + v.m_dLineOffset + v.m_dTiltPerRow * yNominal;
        const int32_t n = v.m_iCountInLine;
        const bool bColour = iBytes == 3;
        // The red, green and blue sensor rows lie ColourLines apart, green on
        // the camera's line; a front camera's red row leads, a rear camera is
        // mounted turned round and its blue row leads. During a moving scan
        // the firmware delays each colour by whole lines so that all see one
        // row (what is left is the part of a line the delay cannot take); a
        // still sheet shows the rows as they are.
        const bool bRows = bColour && s.m_dColourLines != 0.0;
        const std::vector<float>* pSignal[3] = {};
        for (int32_t k = 0; k < 3; ++k) {
            if (!bRows && k > 0) {
                pSignal[k] = pSignal[0];
                continue;
            }
            double dRow = bRows ? (1 - k) * s.m_dColourLines * kUnitPerLine * (v.m_bFront ? 1.0 : -1.0) : 0.0;
            if (r.m_dStep > 0)
                dRow -= std::round(dRow / r.m_dStep) * r.m_dStep;
            pSignal[k] = &Seen(s, c, k, v, y + dRow, dHeight, bLampOn).m_Signal;
        }
        CChannel ch[3];
        for (int32_t k = 0; k < (bColour ? 3 : 1); ++k)
            ch[k] = Channel(s, d, c, bColour ? k : 3);
        const float fSigma = static_cast<float>(s.m_dNoiseSigma);
        // Each camera line walks the table of deviates from its own seeded
        // start with its own odd stride, so neighbouring values are independent
        // draws and no value waits for the one before.
        uint32_t uNoise = (s.m_iNoiseSeed * 2654435761u) ^ static_cast<uint32_t>(r.m_iLine * 40503u + 1) ^
                          (static_cast<uint32_t>(c + 1) << 24);
        for (int k = 0; k < 3; ++k)
            uNoise = (uNoise ^ (uNoise >> 15)) * 2246822519u;
        const uint32_t uStride = (uNoise >> 12) | 1u;
        uint32_t uIndex = uNoise;
        const int32_t iEdge = r.m_bEdgeNoise ? static_cast<int32_t>(s.m_iCISNoiseWidth * dScale) : -1;
        uint8_t* p = pOut + static_cast<size_t>(v.m_iInLine) * static_cast<size_t>(iBytes);
        for (int32_t i = 0; i < n; ++i) {
            const int32_t iOwn = v.m_iFirstOwn + i;
            if (iEdge >= 0 && (iOwn < v.m_iDark + iEdge || iOwn >= v.m_iPixels - v.m_iDark - iEdge)) {
                // A noisy block: the camera edges read one flat middle value.
                for (int32_t k = 0; k < iBytes; ++k)
                    *p++ = 128;
                continue;
            }
            const int iParity = (iOwn + cs.m_iPhase) & 1;
            for (int32_t k = 0; k < iBytes; ++k) {
                const float fSignal = (*pSignal[k])[static_cast<size_t>(i)];
                float f = ch[k].m_fBlack[iParity] + fSignal * ch[k].m_fWhite[iParity];
                if (fSigma > 0) {
                    uIndex += uStride;
                    f += fSigma * m_Gauss[uIndex & 4095];
                }
                const int32_t iValue = std::clamp(static_cast<int32_t>(f + 0.5f), 0, 255);
                *p++ = tones[static_cast<size_t>(k)][static_cast<size_t>(iValue)];
            }
        }
    }
}

} // namespace

std::unique_ptr<CImageSource> MakeImageSource(const CScenario& s)
{
    if (s.m_eSheet == ESheetKind::Flat)
        return std::make_unique<CFlatSource>();
    return std::make_unique<COpticalSource>(s);
}

} // namespace sim
