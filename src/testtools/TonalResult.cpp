#include "testtools/TonalResult.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "platform/AtomicFile.h"
#include "platform/FileHandle.h"
#include "platform/IniFile.h"
#include "platform/Log.h"
#include "testtools/ResultText.h"

double TonalPatch::Mean(int32_t c) const
{
    if (m_iN <= 0) return 0.0;
    const uint32_t s = c == 0 ? m_iSumR : (c == 1 ? m_iSumG : m_iSumB);
    return double(s) / m_iN;
}

double TonalPatch::Lightness(int32_t c) const
{
    return c == 0 ? m_dR : (c == 1 ? m_dG : m_dB);
}

double TonalY(double dL)
{
    return dL <= 7.9996248 ? dL / 903.3 : std::pow((dL + 16.0) / 116.0, 3.0);
}

double TonalDensity(double dL)
{
    // A reference of L <= 0 would be infinitely dense; 10 is beyond any target.
    const double y = TonalY(dL);
    return y > 1e-10 ? -std::log10(y) : 10.0;
}

double ScannerLightness(double dMean)
{
    const double v = dMean / 255.0;
    const double dL = v <= 0.008856 ? 903.3 * v : 116.0 * std::cbrt(v) - 16.0;
    return 2.55 * dL;
}

double TonalBitDepth(int32_t iN, double dSum, double dSumSq)
{
    if (iN < 2) return 0.0;
    const double dMean = dSum / iN;
    const double dVar = (dSumSq - dSum * dSum / iN) / (iN - 1);
    if (!(dVar > 0.0) || !(dMean > 0.0)) return 0.0;
    return std::log2(dMean / std::sqrt(dVar));
}

// ---------------------------------------------------------------- reading

class CIniText {
public:
    CIniFile m_Ini;
    std::string Get(const std::string& szKey, const std::string& szDefault) const
    {
        const auto v = m_Ini.Get("Tonal Resolution", szKey);
        return v ? *v : szDefault;
    }
};

static void ParseReals(const std::string& sz, double* pOut, int32_t iCount)
{
    CNumberScanner sc(sz);
    for (int32_t i = 0; i < iCount; ++i) {
        float f = 0;
        if (!sc.Float(f)) return;
        pOut[i] = f;
    }
}

static bool ParseUInt32(CNumberScanner& sc, uint32_t& u)
{
    // written with %d: a sum beyond 2^31 comes back negative and wraps home
    int32_t i = 0;
    if (!sc.Int(i)) return false;
    u = static_cast<uint32_t>(i);
    return true;
}

template <class Ini> void TonalResult::ReadFrom(const Ini& ini, const std::string& szName)
{
    m_iVersion = AtoiText(ini.Get("Version", "0"));
    m_szScannerName = ini.Get("ScannerName", "No Name");
    if (!m_szScannerName.empty() && m_szScannerName.back() == '+') m_szScannerName.pop_back();
    if (m_szScannerName == "Default") {
        m_Messages.push_back(Printf("%s: the file is a placeholder (scanner name \"Default\") and holds no result",
                                    szName.c_str()));
        return;
    }
    m_szDate = ini.Get("Date", "No Date");
    m_szTime = ini.Get("Time", "No Time");
    m_szSerialNo = ini.Get("SerialNo", "No SerialNo");
    m_szChassisNo = ini.Get("ChassisNo", "No ChassisNo");
    m_szFirmwareBuild = ini.Get("Firmware Build", "No Firmware Build");
    m_szIT8RefFile = ini.Get("IT8RefFile", "No IT8RefFile");
    m_iGammaSlopeLimit = AtoiText(ini.Get("GammaSlopeLimit", "-1"));
    if (m_iGammaSlopeLimit == -1) m_iGammaSlopeLimit = 3;
    ParseReals(ini.Get("IT8DynamicRange", "0"), &m_dIT8DynamicRange, 1);
    ParseReals(ini.Get("ScannerDynamicRange", "0"), &m_dScannerDynamicRange, 1);
    ParseReals(ini.Get("LinearityBestFit_RGB_CorrelationCoefficients", ""), m_dCorrelation.data(), 3);
    ParseReals(ini.Get("LinearityBestFit_RGB_Slope", ""), m_dSlope.data(), 3);
    ParseReals(ini.Get("LinearityBestFit_RGB_Offset", ""), m_dOffset.data(), 3);
    ParseReals(ini.Get("BitDebthDarkColor", ""), m_dBitDepthDark.data(), 3);
    ParseReals(ini.Get("BitDebthLightColor", ""), m_dBitDepthLight.data(), 3);
    ParseReals(ini.Get("BitDebthColorTarget", ""), m_dBitDepthTarget.data(), 2);
    m_dMaxDarkDeviation = -1000.0;
    m_dMaxLightDeviation = -1000.0;
    ParseReals(ini.Get("MaxDarkDeviation", "-1000"), &m_dMaxDarkDeviation, 1);
    ParseReals(ini.Get("MaxLightDeviation", "-1000"), &m_dMaxLightDeviation, 1);
    m_iIndexMaxDynamicRange = AtoiText(ini.Get("IndexMaxDynamicRange", "0"));
    m_iIndexMinDynamicRange = AtoiText(ini.Get("IndexMinDynamicRange", "0"));
    {
        const std::string sz = ini.Get("BitDebthColorIndex", "GS99 GS99");
        CNumberScanner sc(sz);
        int32_t a = 99, b = 99;
        if (sc.Literal("GS") && sc.Int(a) && sc.Literal("GS")) sc.Int(b);
        m_iBitDepthIndex = {a, b};
    }
    int32_t iMissing = 0;
    for (int32_t i = 0; i < kPatches; ++i) {
        const auto v = ini.m_Ini.Get("Tonal Resolution", Printf("GS%d%d", i / 10, i % 10));
        if (!v) {
            ++iMissing;
            continue;
        }
        TonalPatch& p = m_Patches[size_t(i)];
        CNumberScanner sc(*v);
        float f = 0;
        if (!sc.Float(f)) continue;
        p.m_dL = f;
        if (!sc.Int(p.m_iN)) continue;
        if (!ParseUInt32(sc, p.m_iSumR) || !ParseUInt32(sc, p.m_iSumG) || !ParseUInt32(sc, p.m_iSumB)) continue;
        if (!ParseUInt32(sc, p.m_iSumRR) || !ParseUInt32(sc, p.m_iSumGG) || !ParseUInt32(sc, p.m_iSumBB)) continue;
        if (sc.Float(f)) p.m_dDensity = f;
        if (sc.Float(f)) p.m_dR = f;
        if (sc.Float(f)) p.m_dG = f;
        if (sc.Float(f)) p.m_dB = f;
    }
    if (iMissing == kPatches) m_Messages.push_back(Printf("%s: the file holds no patches", szName.c_str()));
    else if (iMissing > 0) m_Messages.push_back(Printf("%s: %d of the 24 patches are missing", szName.c_str(), iMissing));
    m_bLoaded = iMissing < kPatches;
    if (m_bLoaded) Compute();
}

bool TonalResult::Read(const std::string& szPath, bool bRepair)
{
    *this = TonalResult();
    CIniText ini;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(szPath, ec) || !ini.m_Ini.Load(szPath)) {
        m_Messages.push_back(Printf("%s: the tonal resolution file cannot be opened", szPath.c_str()));
        return false;
    }
    m_szFileName = szPath;
    ReadFrom(ini, szPath);
    if (bRepair && m_bLoaded) RepairIfEarly(szPath);
    return true;
}

bool TonalResult::ReadText(const std::string& szText, const std::string& szName)
{
    *this = TonalResult();
    CIniText ini;
    ini.m_Ini.LoadFromText(szText);
    m_szFileName = szName;
    ReadFrom(ini, szName);
    return true;
}

// ---------------------------------------------------------------- computations

void TonalResult::Compute()
{
    const auto& P = m_Patches;
    auto ratioAbove = [&](int32_t i, int32_t iRef) {
        const double dL = P[size_t(i)].m_dL - P[size_t(iRef)].m_dL;
        if (dL == 0.0) return false;
        for (int32_t c = 0; c < 3; ++c)
            if ((P[size_t(i)].Mean(c) - P[size_t(iRef)].Mean(c)) / dL > 0.2) return true;
        return false;
    };
    // dynamic range: where the scanner starts and stops following the target
    m_iIndexMinDynamicRange = kPatches - 1;
    for (int32_t i = 1; i < kPatches; ++i)
        if (ratioAbove(i, 0)) {
            m_iIndexMinDynamicRange = i - 1;
            break;
        }
    m_iIndexMaxDynamicRange = 0;
    for (int32_t i = kPatches - 2; i >= 0; --i)
        if (ratioAbove(i, kPatches - 1)) {
            m_iIndexMaxDynamicRange = i + 1;
            break;
        }
    for (TonalPatch& p : m_Patches) p.m_dDensity = TonalDensity(p.m_dL);
    m_dIT8DynamicRange = TonalDensity(P[kPatches - 1].m_dL) - TonalDensity(P[0].m_dL);
    m_dScannerDynamicRange =
        TonalDensity(P[size_t(m_iIndexMaxDynamicRange)].m_dL) - TonalDensity(P[size_t(m_iIndexMinDynamicRange)].m_dL);

    // linearity: best line of scanner lightness over reference L per channel
    for (TonalPatch& p : m_Patches) {
        p.m_dR = ScannerLightness(p.Mean(0));
        p.m_dG = ScannerLightness(p.Mean(1));
        p.m_dB = ScannerLightness(p.Mean(2));
    }
    const double n = kPatches;
    for (int32_t c = 0; c < 3; ++c) {
        double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
        for (const TonalPatch& p : m_Patches) {
            const double x = p.m_dL, y = p.Lightness(c);
            sx += x;
            sy += y;
            sxx += x * x;
            syy += y * y;
            sxy += x * y;
        }
        const double dDenX = n * sxx - sx * sx;
        const double dDenY = n * syy - sy * sy;
        // all patches at one L: no line can be fitted; flat at the mean
        m_dSlope[size_t(c)] = dDenX != 0.0 ? (n * sxy - sx * sy) / dDenX : 0.0;
        m_dOffset[size_t(c)] = (sy - sx * m_dSlope[size_t(c)]) / n;
        const double dProd = dDenX * dDenY;
        m_dCorrelation[size_t(c)] = dProd > 0.0 ? (n * sxy - sx * sy) / std::sqrt(dProd) : 0.0;
    }
    m_dMaxDarkDeviation = 0.0;
    m_dMaxLightDeviation = 0.0;
    for (const TonalPatch& p : m_Patches) {
        for (int32_t c = 0; c < 3; ++c) {
            const double d = std::fabs(p.Lightness(c) - (m_dSlope[size_t(c)] * p.m_dL + m_dOffset[size_t(c)]));
            double& dMax = TonalDensity(p.m_dL) > kDarkDensity ? m_dMaxDarkDeviation : m_dMaxLightDeviation;
            dMax = std::max(dMax, d);
        }
    }

    // signal to noise as bits
    const TonalPatch& light = P[kLightPatch];
    const TonalPatch& dark = P[kDarkPatch];
    const uint32_t TonalPatch::*sums[3] = {&TonalPatch::m_iSumR, &TonalPatch::m_iSumG, &TonalPatch::m_iSumB};
    const uint32_t TonalPatch::*squares[3] = {&TonalPatch::m_iSumRR, &TonalPatch::m_iSumGG, &TonalPatch::m_iSumBB};
    for (int32_t c = 0; c < 3; ++c) {
        m_dBitDepthLight[size_t(c)] = TonalBitDepth(light.m_iN, light.*sums[c], light.*squares[c]);
        m_dBitDepthDark[size_t(c)] = TonalBitDepth(dark.m_iN, dark.*sums[c], dark.*squares[c]);
    }
}

bool TonalResult::NeedsRepair(const TonalResult& r)
{
    return r.m_iVersion == 1 && r.m_dBitDepthLight[1] - r.m_dBitDepthLight[0] > 0.8;
}

bool TonalResult::RepairIfEarly(const std::string& szPath)
{
    if (!NeedsRepair(*this)) return false;
    const std::string szOriginal = szPath + "_Original";
    std::error_code ec;
    // A kept original means this file was corrected before: correcting it
    // again would take another 8 samples away.
    if (std::filesystem::exists(szOriginal, ec)) return false;
    for (TonalPatch& p : m_Patches) {
        p.m_iN -= 8;
        p.m_iSumG -= 2040u;
        p.m_iSumGG -= 520200u;
    }
    Compute();
    Log_Msg("TonalResult::RepairIfEarly " + szPath);
    // The kept original is a save like any other: whole or not at all.
    std::string szBytes;
    if (!ReadFilePrefix(szPath, size_t(64) << 20, szBytes) || !WriteFileAtomically(szOriginal, szBytes)) {
        m_Messages.push_back(Printf("%s: the copy %s could not be made; the file was not corrected on disk",
                                    szPath.c_str(), szOriginal.c_str()));
        m_bRepairUnsaved = true;
        return true;
    }
    std::string szError;
    if (!Write(szPath, &szError)) {
        m_Messages.push_back(Printf("%s: the corrected result could not be saved: %s", szPath.c_str(), szError.c_str()));
        m_bRepairUnsaved = true;
    }
    return true;
}

// ---------------------------------------------------------------- writing

std::string TonalResult::Format() const
{
    std::string sz = "[Tonal Resolution]\n";
    sz += Printf("Version=\t%d\n", m_iVersion);
    sz += Printf("ScannerName=\t%s\n", m_szScannerName.c_str());
    sz += Printf("ChassisNo=\t%s\n", m_szChassisNo.c_str());
    sz += Printf("SerialNo=\t%s\n", m_szSerialNo.c_str());
    sz += Printf("Date=\t%s\n", m_szDate.c_str());
    sz += Printf("Time=\t%s\n", m_szTime.c_str());
    sz += Printf("Firmware Build=\t%s\n", m_szFirmwareBuild.c_str());
    sz += Printf("GammaSlopeLimit=\t%d\n", m_iGammaSlopeLimit);
    sz += Printf("IT8RefFile=\t%s\n", m_szIT8RefFile.c_str());
    sz += Printf("IT8DynamicRange=\t%6.2f\n", m_dIT8DynamicRange);
    sz += Printf("ScannerDynamicRange=\t%6.2f\n", m_dScannerDynamicRange);
    sz += Printf("LinearityBestFit_RGB_CorrelationCoefficients=\t%8.5f\t%8.5f\t%8.5f\n", m_dCorrelation[0],
                 m_dCorrelation[1], m_dCorrelation[2]);
    sz += Printf("LinearityBestFit_RGB_Slope=\t%6.2f\t%6.2f\t%6.2f\n", m_dSlope[0], m_dSlope[1], m_dSlope[2]);
    sz += Printf("LinearityBestFit_RGB_Offset=\t%6.2f\t%6.2f\t%6.2f\n", m_dOffset[0], m_dOffset[1], m_dOffset[2]);
    sz += Printf("BitDebthLightColor=\t%6.2f\t%6.2f\t%6.2f\n", m_dBitDepthLight[0], m_dBitDepthLight[1],
                 m_dBitDepthLight[2]);
    sz += Printf("BitDebthDarkColor=\t%6.2f\t%6.2f\t%6.2f\n", m_dBitDepthDark[0], m_dBitDepthDark[1], m_dBitDepthDark[2]);
    sz += Printf("BitDebthColorIndex=\tGS%d%d\tGS%d%d\n", m_iBitDepthIndex[0] / 10, m_iBitDepthIndex[0] % 10,
                 m_iBitDepthIndex[1] / 10, m_iBitDepthIndex[1] % 10);
    sz += Printf("BitDebthColorTarget=\t%6.2f\t%6.2f\n", m_dBitDepthTarget[0], m_dBitDepthTarget[1]);
    sz += Printf("MaxDarkDeviation =\t%6.2f\n", m_dMaxDarkDeviation);
    sz += Printf("MaxLigktDeviation =\t%6.2f\n", m_dMaxLightDeviation);
    sz += "Patch=L\tn\tSumR\tSumG\tSumB\tSumRR\tSumGG\tSumBB\tDensity\tR\tG\tB\n";
    for (int32_t i = 0; i < kPatches; ++i) {
        const TonalPatch& p = m_Patches[size_t(i)];
        sz += Printf("GS%d%d=%6.2f\t%d\t%d\t%d\t%d\t%d\t%d\t%d\t%6.2f\t%6.2f\t%6.2f\t%6.2f\n", i / 10, i % 10, p.m_dL,
                     p.m_iN, int32_t(p.m_iSumR), int32_t(p.m_iSumG), int32_t(p.m_iSumB), int32_t(p.m_iSumRR),
                     int32_t(p.m_iSumGG), int32_t(p.m_iSumBB), p.m_dDensity, p.m_dR, p.m_dG, p.m_dB);
    }
    sz += Printf("IndexMaxDynamicRange=\t%d\n", m_iIndexMaxDynamicRange);
    sz += Printf("IndexMinDynamicRange=\t%d\n", m_iIndexMinDynamicRange);
    return sz;
}

bool TonalResult::Write(const std::string& szPath, std::string* pError) const
{
    const std::string sz = Format();
    return WriteFileAtomically(szPath, sz.data(), sz.size(), pError);
}

std::vector<std::string> TonalResult::TextResultLines() const
{
    if (!m_bLoaded) return {"No data to display."};
    return {
        "Dynamic range",
        Printf("   IT8 dynamic range:         %6.2f", m_dIT8DynamicRange),
        Printf("   Scanner dynamic range:     %6.2f", m_dScannerDynamicRange),
        "Linearity. Best-fit for r, g and b.",
        Printf("   Correlation coefficients:   %8.5f %8.5f %8.5f", m_dCorrelation[0], m_dCorrelation[1], m_dCorrelation[2]),
        Printf("   Slope:                     %6.2f   %6.2f   %6.2f", m_dSlope[0], m_dSlope[1], m_dSlope[2]),
        Printf("   Offset:                    %6.2f   %6.2f   %6.2f", m_dOffset[0], m_dOffset[1], m_dOffset[2]),
        "Signal Noise",
        Printf("   Light color:               %6.2f   %6.2f   %6.2f", m_dBitDepthLight[0], m_dBitDepthLight[1],
               m_dBitDepthLight[2]),
        Printf("   Dark color:                %6.2f   %6.2f   %6.2f", m_dBitDepthDark[0], m_dBitDepthDark[1],
               m_dBitDepthDark[2]),
        "Largest deviation",
        Printf("   Light area:                %6.2f", m_dMaxLightDeviation),
        Printf("   Dark area:                 %6.2f", m_dMaxDarkDeviation),
    };
}

std::vector<std::string> TonalResult::PrintLines() const
{
    std::vector<std::string> v = {
        Printf("Scanner:          %s", m_szScannerName.c_str()),
        Printf("Chassis No:       %s", m_szChassisNo.c_str()),
        Printf("Serial No:        %s", m_szSerialNo.c_str()),
        Printf("Time:             %s", m_szTime.c_str()),
        Printf("Date:             %s", m_szDate.c_str()),
        Printf("Firmware:         %s", m_szFirmwareBuild.c_str()),
        Printf("IT8 Ref.File:     %s", m_szIT8RefFile.c_str()),
        "Patch      L      Red     Green     Blue",
    };
    for (int32_t i = 0; i < kPatches; ++i) {
        const TonalPatch& p = m_Patches[size_t(i)];
        v.push_back(Printf("GS%d%d    %6.2f    %6.2f    %6.2f    %6.2f", i / 10, i % 10, p.m_dL, p.Mean(0), p.Mean(1),
                           p.Mean(2)));
    }
    for (const std::string& s : TextResultLines()) v.push_back(s);
    return v;
}

TonalResult MakeSampleTonalResult()
{
    // IT8.7 grey scale lightness from white (GS00) to black (GS23).
    static const double kL[24] = {96.52, 91.27, 86.11, 81.01, 75.93, 70.88, 65.83, 60.79, 55.74, 50.71, 45.68, 40.67,
                                  35.69, 30.74, 25.85, 21.08, 16.50, 12.24, 8.43, 5.31, 3.29, 2.27, 1.75, 1.48};
    TonalResult r;
    r.m_iVersion = 2;
    r.m_szScannerName = "Zel Wide 3600";
    r.m_szChassisNo = "C-4711";
    r.m_szSerialNo = "SN 20261206";
    r.m_szDate = "06.12.2026";
    r.m_szTime = "10:15:00";
    r.m_szFirmwareBuild = "6.0.1234";
    r.m_szIT8RefFile = "R200612.txt";
    r.m_iGammaSlopeLimit = 3;
    r.m_iBitDepthIndex = {2, 20};
    const int32_t n = 2500;
    for (int32_t i = 0; i < 24; ++i) {
        TonalPatch& p = r.m_Patches[size_t(i)];
        p.m_dL = kL[i];
        p.m_iN = n;
        // the scanner follows the reference, clips its lightest patch and
        // no longer tells the darkest patches apart
        const double dBase = std::clamp(255.0 * TonalY(std::max(kL[i], 3.0)) * 1.12, 4.0, 255.0);
        const double dMeans[3] = {std::min(255.0, dBase * 1.00), std::min(255.0, dBase * 0.98 + 1), std::min(255.0, dBase * 1.02)};
        const double dSd[3] = {0.8 + dBase / 120, 0.7 + dBase / 130, 0.9 + dBase / 110};
        uint32_t* sums[3] = {&p.m_iSumR, &p.m_iSumG, &p.m_iSumB};
        uint32_t* squares[3] = {&p.m_iSumRR, &p.m_iSumGG, &p.m_iSumBB};
        for (int32_t c = 0; c < 3; ++c) {
            const double dMean = std::round(dMeans[c] * 10) / 10;
            const double dSum = dMean * n;
            *sums[c] = static_cast<uint32_t>(std::lround(dSum));
            *squares[c] = static_cast<uint32_t>(std::lround(dSd[c] * dSd[c] * (n - 1) + dSum * dSum / n));
        }
    }
    r.Compute();
    r.m_bLoaded = true;
    return r;
}
