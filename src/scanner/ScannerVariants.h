#pragma once
// Scanner objects that answer identity and layout questions without a
// scanner: CScannerFixed from values of a recording, CSimScanner with a fixed
// made-up identity. Every operation they do not override is CScanner's.
#include "scanner/Scanner.h"

class CScannerFixed : public CScanner {
public:
    CScannerFixed(int32_t iOpticalResolution, int32_t iCameraCount, int32_t iScannerType)
        : m_iFixedOpticalResolution(iOpticalResolution), m_iFixedCameraCount(iCameraCount),
          m_iFixedScannerType(iScannerType)
    {
    }
    void SetOpticalResolution(int32_t i) { m_iFixedOpticalResolution = i; }
    void SetCameraCount(int32_t i) { m_iFixedCameraCount = i; }
    void SetScannerType(int32_t i) { m_iFixedScannerType = i; }

    int32_t GetCameraPixelRanges(std::span<int32_t, kMaxCameras> first, std::span<int32_t, kMaxCameras> last) override;
    int32_t GetScanLineRange(bool bSecond, int32_t& iFirst, int32_t& iLast) override;
    int32_t ReadStitchPositions(std::span<int32_t> a, std::span<int32_t> b) override;
    int32_t GetStitchValues(std::span<int32_t, kStitchCount> values) override;
    int32_t GetCameraCount() override { return m_iFixedCameraCount; }
    int32_t GetCISModeCount() override { return 1; }
    int32_t GetScannerType() override { return m_iFixedScannerType; }
    int32_t GetOpticalResolution() override { return m_iFixedOpticalResolution; }

    int32_t m_iFixedOpticalResolution;
    int32_t m_iFixedCameraCount;
    int32_t m_iFixedScannerType;
};

class CSimScanner : public CScanner {
public:
    CSimScanner(int32_t iCameraCount, int32_t iDeviceValue, std::string szName, bool bColor)
        : m_iSimCameraCount(iCameraCount), m_iSimDeviceValue(iDeviceValue), m_szSimName(std::move(szName)),
          m_bSimColor(bColor)
    {
    }
    std::string GetScannerName() override { return m_szSimName; }
    int32_t GetDeviceValue() override { return m_iSimDeviceValue; }
    bool IsColorScanner() override { return m_bSimColor; }
    int32_t GetCameraCount() override { return m_iSimCameraCount; }

    int32_t m_iSimCameraCount;
    int32_t m_iSimDeviceValue;
    std::string m_szSimName;
    bool m_bSimColor;
};
