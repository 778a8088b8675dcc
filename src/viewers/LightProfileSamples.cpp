#include "viewers/LightProfileSamples.h"

#include <algorithm>
#include <cmath>

#include "datafiles/ConFile.h"
#include "datafiles/ConHeader.h"
#include "platform/AtomicFile.h"
#include "platform/Log.h"

namespace {

// A small deterministic generator: the samples must be the same on every run.
struct CNoise {
    uint32_t m_iState;
    int Next(int iRange)
    {
        m_iState = m_iState * 1664525u + 1013904223u;
        return iRange <= 0 ? 0 : static_cast<int>((m_iState >> 16) % static_cast<uint32_t>(2 * iRange + 1)) - iRange;
    }
};

uint8_t Clamp8(double d)
{
    return static_cast<uint8_t>(std::clamp(static_cast<int>(std::lround(d)), 0, 255));
}

// The level a pixel sees before noise: lamp over the whole width, lens over the camera.
double PixelLevel(const CLpfSampleShape& s, int32_t iCamera, int32_t iPixel)
{
    const int32_t iStep = s.m_iPixelsPerCamera - s.m_iOverlap;
    const double dWidth = static_cast<double>(iStep) * (s.m_iCameras - 1) + s.m_iPixelsPerCamera;
    const double dGlobal = static_cast<double>(iStep) * iCamera + iPixel;
    const double u = (dGlobal - dWidth / 2.0) / (dWidth / 2.0);          // -1 .. 1 across the sheet
    const double v = (iPixel - s.m_iPixelsPerCamera / 2.0) / (s.m_iPixelsPerCamera / 2.0); // across the lens
    const double dLamp = 1.0 - 0.28 * u * u * u * u - 0.06 * u * u;
    const double dLens = 1.0 - 0.12 * v * v;
    // Cameras are never matched perfectly.
    const double dGain = 1.0 + 0.03 * std::sin(1.7 * iCamera + 0.4);
    return s.m_iPeak * dLamp * dLens * dGain;
}

} // namespace

std::vector<uint8_t> MakeLightProfileSamples(const CLpfSampleShape& s)
{
    std::vector<uint8_t> out;
    if (s.m_iCameras <= 0 || s.m_iPixelsPerCamera <= 0)
        return out;
    out.reserve(static_cast<size_t>(s.m_iCameras) * static_cast<size_t>(s.m_iPixelsPerCamera));
    CNoise noise{s.m_iSeed};
    for (int32_t c = 0; c < s.m_iCameras; ++c) {
        for (int32_t x = 0; x < s.m_iPixelsPerCamera; ++x) {
            const bool bDark = x < s.m_iDarkPixels || x >= s.m_iPixelsPerCamera - s.m_iDarkPixels;
            // Covered pixels read the sensor's dark level; the first active
            // pixels ramp up over a few pixels where the cover's shadow ends.
            double d;
            if (bDark) {
                d = 5.0 + noise.Next(1);
            } else {
                const int32_t iEdge = std::min(x - s.m_iDarkPixels, s.m_iPixelsPerCamera - s.m_iDarkPixels - 1 - x);
                const double dRamp = iEdge < 6 ? 0.35 + 0.65 * iEdge / 6.0 : 1.0;
                d = PixelLevel(s, c, x) * dRamp + noise.Next(s.m_iNoise);
            }
            out.push_back(Clamp8(d));
        }
    }
    return out;
}

std::vector<uint8_t> MakeSigned32ProfileSamples(const CLpfSampleShape& s)
{
    // Deviations of each pixel from its camera's smoothed level, as the
    // correction tables see them: small signed numbers kept in 6 bits.
    std::vector<uint8_t> level = MakeLightProfileSamples(s);
    std::vector<uint8_t> out(level.size());
    CNoise noise{s.m_iSeed * 7u + 3u};
    for (size_t i = 0; i < level.size(); ++i) {
        const int32_t x = static_cast<int32_t>(i % static_cast<size_t>(s.m_iPixelsPerCamera));
        const double v = (x - s.m_iPixelsPerCamera / 2.0) / (s.m_iPixelsPerCamera / 2.0);
        int iDev = static_cast<int>(std::lround(14.0 * v * v - 7.0)) + noise.Next(3);
        iDev = std::clamp(iDev, -32, 31);
        out[i] = static_cast<uint8_t>(iDev & 63);
    }
    return out;
}

std::vector<uint8_t> MakeG3ProfilePicture(const std::vector<uint8_t>& samples)
{
    std::vector<uint8_t> out;
    const int64_t iWidth = static_cast<int64_t>(samples.size());
    auto runs = [&out](bool bBlack, int64_t iLength) {
        while (iLength > 0) {
            const int64_t k = std::min<int64_t>(iLength, 127);
            out.push_back(static_cast<uint8_t>(bBlack ? k : (0x80 | k)));
            iLength -= k;
        }
    };
    // The first row only tells the width.
    runs(true, iWidth);
    out.push_back(0);
    out.insert(out.end(), 48, 0x80); // 48 bytes the reader passes over
    for (int y = 0; y < 256; ++y) {
        // Black under the curve: a column is black in row y when its level reaches 256 - y.
        int64_t x = 0;
        while (x < iWidth) {
            const bool bBlack = samples[static_cast<size_t>(x)] >= 256 - y;
            int64_t iEnd = x + 1;
            while (iEnd < iWidth && (samples[static_cast<size_t>(iEnd)] >= 256 - y) == bBlack)
                ++iEnd;
            runs(bBlack, iEnd - x);
            x = iEnd;
        }
        out.push_back(0);
    }
    return out;
}

int64_t G3ProfileWidth(const uint8_t* pData, size_t iSize)
{
    int64_t iWidth = 0;
    for (size_t i = 0; i < iSize; ++i) {
        if (pData[i] == 0)
            return iWidth;
        iWidth += pData[i] & 0x7F;
    }
    return 0;
}

bool DecodeG3ProfilePicture(const uint8_t* pData, size_t iSize, std::vector<uint8_t>& levels, std::string& szError)
{
    levels.clear();
    // The first row tells the width; a scan line of a wide-format scanner
    // never comes near this many pixels.
    constexpr int64_t kMaxWidth = 1 << 20;
    size_t i = 0;
    int64_t iWidth = 0;
    while (i < iSize && pData[i] != 0) {
        iWidth += pData[i] & 0x7F;
        if (iWidth > kMaxWidth) {
            szError = "the picture's first row is wider than any scanner";
            return false;
        }
        ++i;
    }
    if (i >= iSize || iWidth == 0) {
        szError = "the picture has no complete first row";
        return false;
    }
    i += 1 + 48;
    levels.assign(static_cast<size_t>(iWidth), 0);
    for (int y = 0; y < 256 && i < iSize; ++y) {
        int64_t x = 0;
        for (; i < iSize && pData[i] != 0; ++i) {
            const int64_t iRun = pData[i] & 0x7F;
            if (pData[i] < 0x80)
                for (int64_t k = x; k < std::min(x + iRun, iWidth); ++k)
                    if (levels[static_cast<size_t>(k)] == 0)
                        levels[static_cast<size_t>(k)] = static_cast<uint8_t>(256 - y > 255 ? 255 : 256 - y);
            x += iRun;
        }
        ++i; // the row's end
    }
    return true;
}

namespace {

struct CSampleHeader {
    const char* m_szScanner;
    bool m_bColor;
    int32_t m_iColor;
    int32_t m_iCameraCount;
    int32_t m_iScannerWidth;
    int32_t m_iGeneration;
    bool m_bSigned32;
};

ConHeader LightProfileHeader(const char* szSection, const CSampleHeader& h)
{
    ConHeader hdr;
    hdr.AppendSection(szSection);
    hdr.AppendScannerName(h.m_szScanner);
    // A fixed moment, so the samples are byte for byte the same on every run.
    hdr.AppendDate("14.03.2024");
    hdr.AppendTime("10:42:17");
    hdr.AppendColorScanner(h.m_bColor);
    hdr.AppendColor(h.m_iColor);
    hdr.AppendCameraUsed(CON_CAMERA_ALL);
    hdr.AppendCameraCount(h.m_iCameraCount);
    hdr.AppendScannerWidth(h.m_iScannerWidth);
    hdr.AppendCorrected(false);
    hdr.AppendGeneration(h.m_iGeneration);
    hdr.AppendFirmwareRevision(3);
    if (h.m_bSigned32)
        hdr.AppendIsSigned32Profile(true);
    return hdr;
}

bool WriteSample(const std::string& szPath, ConHeader& hdr, const std::vector<uint8_t>& data,
                 std::vector<std::string>& written)
{
    std::string szError;
    if (!WriteConFile(szPath, hdr, data.data(), data.size(), &szError)) {
        Log_Msg_Txt("WriteLightProfileSamples failed:", szError);
        return false;
    }
    written.push_back(szPath);
    return true;
}

} // namespace

std::vector<std::string> WriteLightProfileSamples(const std::string& szDir)
{
    std::vector<std::string> written;
    const std::string szBase = szDir.empty() || szDir.back() == '/' ? szDir : szDir + "/";

    // A four-camera colour scanner of 40 inches, one file per colour.
    static const char* const kColors[3] = {"red", "green", "blue"};
    static const int32_t kPeaks[3] = {214, 201, 176};
    for (int c = 0; c < 3; ++c) {
        CLpfSampleShape shape;
        shape.m_iPeak = kPeaks[c];
        shape.m_iSeed = 11u + static_cast<uint32_t>(c);
        ConHeader hdr = LightProfileHeader(CON_SECTION_LIGHT_PROFILE, {"ZEL Scan 4200 C", true, c, 4, 48000, 5, false});
        WriteSample(szBase + "light-profile-color-4cam-" + kColors[c] + ".con", hdr, MakeLightProfileSamples(shape),
                    written);
    }

    // A monochrome scanner of a newer generation (read-out in centimetres from the middle).
    {
        CLpfSampleShape shape;
        shape.m_iCameras = 3;
        shape.m_iPixelsPerCamera = 2400;
        shape.m_iPeak = 205;
        shape.m_iSeed = 23;
        ConHeader hdr = LightProfileHeader(CON_SECTION_LIGHT_PROFILE, {"ZEL Scan 3600 M", false, CON_COLOR_GRAY, 3,
                                                                       43200, 7, false});
        WriteSample(szBase + "light-profile-mono.con", hdr, MakeLightProfileSamples(shape), written);
    }

    // The 32-bit signed profile: per-pixel deviations in the [-32:31] range.
    {
        CLpfSampleShape shape;
        shape.m_iSeed = 31;
        ConHeader hdr = LightProfileHeader(CON_SECTION_LIGHT_PROFILE, {"ZEL Scan 4200 C", true, CON_COLOR_GREEN, 4,
                                                                       48000, 5, true});
        WriteSample(szBase + "light-profile-signed32.con", hdr, MakeSigned32ProfileSamples(shape), written);
    }

    // A third-generation profile: the black-and-white picture of the curve.
    {
        CLpfSampleShape shape;
        shape.m_iPixelsPerCamera = 500;
        shape.m_iOverlap = 40;
        shape.m_iSeed = 41;
        const std::vector<uint8_t> picture = MakeG3ProfilePicture(MakeLightProfileSamples(shape));
        ConHeader hdr = LightProfileHeader(CON_SECTION_G3_LIGHT_PROFILE, {"ZEL Scan 3400", false, CON_COLOR_GRAY, 4,
                                                                          40800, 3, false});
        hdr.AppendLength(static_cast<int32_t>(picture.size()));
        WriteSample(szBase + "g3-light-profile.con", hdr, picture, written);
    }

    // An old headerless profile: 48-byte header (byte 11 = 16), samples, 44-byte trailer.
    {
        CLpfSampleShape shape;
        shape.m_iCameras = 2;
        shape.m_iPixelsPerCamera = 1500;
        shape.m_iPeak = 190;
        shape.m_iSeed = 53;
        const std::vector<uint8_t> samples = MakeLightProfileSamples(shape);
        std::string bytes(48, '\0');
        bytes[11] = 16;
        bytes.append(reinterpret_cast<const char*>(samples.data()), samples.size());
        std::string trailer(44, '\0');
        const std::string szName = "ZEL 2400";
        trailer.replace(0, szName.size(), szName);
        trailer[17] = 1;   // colour scanner
        trailer[20] = 1;   // green
        trailer[21] = 0;   // uncorrected
        trailer[22] = static_cast<char>(255); // all cameras
        trailer[23] = 2;   // two cameras
        bytes += trailer;
        const std::string szPath = szBase + "light-profile-headerless.con";
        if (WriteFileAtomically(szPath, bytes.data(), bytes.size()))
            written.push_back(szPath);
    }
    return written;
}
