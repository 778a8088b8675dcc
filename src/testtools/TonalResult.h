#pragma once
// The tonal resolution result: the 24 grey patches of an IT8 target as the
// scanner saw them, and everything derived from them (dynamic range,
// linearity, signal-to-noise bit depth, largest deviations).
#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct TonalPatch {
    double m_dL = 0.0;      // reference lightness
    int32_t m_iN = 0;       // pixels summed
    uint32_t m_iSumR = 0, m_iSumG = 0, m_iSumB = 0;
    uint32_t m_iSumRR = 0, m_iSumGG = 0, m_iSumBB = 0;
    double m_dDensity = 0.0;
    double m_dR = 0.0, m_dG = 0.0, m_dB = 0.0; // scanner lightness, 0..255 scale

    double Mean(int32_t iChannel) const;       // Sum / n, 0 without pixels
    double Lightness(int32_t iChannel) const;  // m_dR, m_dG or m_dB
};

class TonalResult {
public:
    static constexpr int32_t kPatches = 24;
    static constexpr int32_t kLightPatch = 2;  // GS02
    static constexpr int32_t kDarkPatch = 20;  // GS20
    static constexpr double kDarkDensity = 1.65;

    int32_t m_iVersion = 0;
    std::string m_szFileName = "Default";
    std::string m_szScannerName = "No Name";
    std::string m_szDate = "No Date", m_szTime = "No Time";
    std::string m_szSerialNo = "No SerialNo", m_szChassisNo = "No ChassisNo";
    std::string m_szFirmwareBuild = "No Firmware Build";
    std::string m_szIT8RefFile = "No IT8RefFile";
    int32_t m_iGammaSlopeLimit = 3;
    double m_dIT8DynamicRange = 0.0, m_dScannerDynamicRange = 0.0;
    std::array<double, 3> m_dCorrelation{}, m_dSlope{}, m_dOffset{};
    std::array<double, 3> m_dBitDepthDark{}, m_dBitDepthLight{};
    std::array<double, 2> m_dBitDepthTarget{0.2, 1.9};
    double m_dMaxDarkDeviation = -1000.0, m_dMaxLightDeviation = -1000.0;
    int32_t m_iIndexMaxDynamicRange = 0, m_iIndexMinDynamicRange = 0;
    std::array<int32_t, 2> m_iBitDepthIndex{99, 99};
    std::array<TonalPatch, kPatches> m_Patches{};
    bool m_bLoaded = false;
    // Corrected in memory but not on disk: the only state in which saving
    // holds something the file does not.
    bool m_bRepairUnsaved = false;
    // What went wrong while reading, naming the file.
    std::vector<std::string> m_Messages;

    // Reads the file, recomputes every derived value and repairs early files.
    // False when the file cannot be read (the result keeps its defaults).
    bool Read(const std::string& szPath, bool bRepair = true);
    bool ReadText(const std::string& szText, const std::string& szName);
    std::string Format() const;
    bool Write(const std::string& szPath, std::string* pError = nullptr) const;

    void Compute();
    // Early files counted 8 saturated samples into green. True when the
    // result was corrected (and, when the "_Original" copy could be made, saved).
    bool RepairIfEarly(const std::string& szPath);
    static bool NeedsRepair(const TonalResult& r);

    // The text result the dialog lists.
    std::vector<std::string> TextResultLines() const;
    // Page 0 of the printout.
    std::vector<std::string> PrintLines() const;

private:
    template <class Ini> void ReadFrom(const Ini& ini, const std::string& szName);
};

// CIE conversions of the computations.
double TonalY(double dL);
double TonalDensity(double dL);
double ScannerLightness(double dMean); // 0..255 mean to the 0..255 lightness scale
// Bit depth of a channel: log2(mean / standard deviation); 0 when it cannot be
// measured (fewer than two samples or no variance).
double TonalBitDepth(int32_t iN, double dSum, double dSumSq);

// A realistic result of a colour scanner over the 24 grey patches of an IT8 target.
TonalResult MakeSampleTonalResult();
