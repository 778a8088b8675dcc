#pragma once
// Scanner-side helper objects that the scanner object and the calibration
// engine build on: inquiry pages, the gain/offset container, the gamma curve,
// stored calibration, diagnostics. They talk to the device only through
// CScannerInterface, which follows the scanner object's handle.
#include <array>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

// The handle of the owning scanner object, seen through a pointer so the
// helpers follow it when the owner opens another scanner.
class CScannerInterface {
public:
    explicit CScannerInterface(const int32_t* phScanner) : m_phScanner(phScanner) {}
    int32_t Handle() const { return m_phScanner ? *m_phScanner : 0; }

    // Library calls with a check condition already turned into its sense code.
    // piReceived is clamped to 0..iLength: a library that claims more than was
    // asked for is not believed.
    int32_t Read(void* pBuffer, int32_t iLength, int32_t iDataType, int32_t iQualifier, int32_t* piReceived) const;
    int32_t Send(const void* pData, int32_t iLength, int32_t iDataType, int32_t iQualifier) const;
    int32_t ReadBuffer(void* pBuffer, int32_t iBufferId, int32_t iOffset, int32_t iLength) const;
    int32_t WriteBuffer(const void* pData, int32_t iBufferId, int32_t iOffset, int32_t iLength) const;

private:
    const int32_t* m_phScanner;
};

// Inquiry pages, fetched from the device once per page and kept until Clear.
// A value that lies beyond what the device delivered reads as its default.
class CInquiryPages {
public:
    static constexpr int32_t kPageSize = 255;

    explicit CInquiryPages(const CScannerInterface& iface) : m_pInterface(&iface) {}
    void Clear() { m_Pages.clear(); }

    uint8_t GetUInt8(uint8_t byPage, int32_t iOffset, uint8_t byDefault);
    uint16_t GetUInt16(uint8_t byPage, int32_t iOffset, uint16_t wDefault);
    uint32_t GetUInt32(uint8_t byPage, int32_t iOffset, uint32_t dwDefault);
    int32_t GetInt32(uint8_t byPage, int32_t iOffset, int32_t iDefault);
    // Byte iOffset non-zero.
    bool GetFlag(uint8_t byPage, int32_t iOffset, bool bDefault);

    // The bytes delivered for a page (empty when it could not be read).
    const std::vector<uint8_t>& Page(uint8_t byPage);
    // Takes a page from elsewhere (a recording) instead of asking the device;
    // kept until Clear like a fetched one. At most kPageSize bytes are kept.
    void SetPage(uint8_t byPage, std::vector<uint8_t> bytes)
    {
        if (bytes.size() > static_cast<size_t>(kPageSize))
            bytes.resize(static_cast<size_t>(kPageSize));
        m_Pages[byPage] = std::move(bytes);
    }

private:
    bool Bytes(uint8_t byPage, int32_t iOffset, int32_t iCount, const uint8_t** ppData);
    const CScannerInterface* m_pInterface;
    std::map<uint8_t, std::vector<uint8_t>> m_Pages;
};

// Analog gain and offset per camera and colour (red, green, blue, gray). Of the
// eight words of a colour slot, 0 is the odd gain, 1 the odd offset, 4 the even
// gain and 5 the even offset; the others are kept for the calibration engine.
class CGainOffset {
public:
    enum { WORD_ODD_GAIN = 0, WORD_ODD_OFFSET = 1, WORD_EVEN_GAIN = 4, WORD_EVEN_OFFSET = 5 };
    static constexpr int32_t kMaxCameras = 8;
    static constexpr int32_t kColors = 4; // red, green, blue, gray

    struct CameraData {
        int16_t m_Words[kColors][8] = {};
    };

    int32_t m_iCameraCount = 0;
    std::array<CameraData, kMaxCameras> m_Cameras{};
};

// A gamma table of a given length with brightness and contrast applied.
class CGammaCurve {
public:
    explicit CGammaCurve(int32_t iLength) : m_iLength(iLength < 2 ? 2 : iLength) {}
    void SetGamma(double dGamma) { m_dGamma = dGamma > 0.0 ? dGamma : 1.0; }
    // Fills the first Length() bytes (fewer when the table is shorter).
    // Brightness and contrast run from -100 to 100.
    void GetBCCurve(std::span<uint8_t> table, int32_t iBrightness, int32_t iContrast) const;
    int32_t Length() const { return m_iLength; }

private:
    int32_t m_iLength;
    double m_dGamma = 1.0;
};

class CDiagnostics {
public:
    explicit CDiagnostics(CScannerInterface& iface) : m_pInterface(&iface) {}
    // Restarts the scanner's firmware; it answers "not ready" until it is up.
    int32_t ColdReboot();
    // Closes and reopens the connection after a setting that makes the device
    // re-enumerate.
    int32_t ReconnectUSB();

private:
    CScannerInterface* m_pInterface;
};

// Calibration state of the scanner saved to a file and written back. The file
// is little-endian: "LUMCAL" and a 16-bit version, a 16-bit record count, each
// record (kind, id, 32-bit qualifier, 32-bit length, bytes), and a 32-bit
// FNV-1a checksum over everything before it.
class CStoredCalibration {
public:
    enum ERecordKind : uint8_t { RECORD_BUFFER = 1, RECORD_DATA = 2 };
    struct CRecord {
        uint8_t m_byKind = RECORD_BUFFER;
        uint8_t m_byId = 0;
        int32_t m_iQualifier = 0;
        std::vector<uint8_t> m_Bytes;
    };
    static constexpr uint32_t kMaxRecordLength = 64 * 1024;
    static constexpr uint16_t kMaxRecords = 64;

    CStoredCalibration(CScannerInterface& iface, CDiagnostics& diag) : m_pInterface(&iface), m_pDiagnostics(&diag) {}

    // Reads the calibration state and saves it atomically; 0 on success.
    int32_t Backup(const std::string& szFile);
    // Reads and checks the whole file first, then writes it to the scanner.
    int32_t Restore(const std::string& szFile);
    // Why the last Backup/Restore failed before reaching the scanner.
    const std::string& Error() const { return m_szError; }

    static std::vector<uint8_t> Serialize(const std::vector<CRecord>& records);
    // False with szError naming the problem for anything malformed.
    static bool Parse(std::span<const uint8_t> data, std::vector<CRecord>& records, std::string& szError);

private:
    CScannerInterface* m_pInterface;
    CDiagnostics* m_pDiagnostics;
    std::string m_szError;
};

// Automatic adjustments of the scanner that a picture acquisition switches off.
class CAdjust {
public:
    explicit CAdjust(CScannerInterface& iface) : m_pInterface(&iface) {}
    void Disable() { m_bEnabled = false; }
    void Enable() { m_bEnabled = true; }
    bool IsEnabled() const { return m_bEnabled; }
    CScannerInterface& Interface() { return *m_pInterface; }

private:
    CScannerInterface* m_pInterface;
    bool m_bEnabled = true;
};

// Named values the calibration engine keeps across operations on one scanner.
class StoredVariables {
public:
    void Set(const std::string& szName, int32_t iValue) { m_Values[szName] = iValue; }
    int32_t Get(const std::string& szName, int32_t iDefault) const
    {
        const auto it = m_Values.find(szName);
        return it == m_Values.end() ? iDefault : it->second;
    }

private:
    std::map<std::string, int32_t> m_Values;
};

// Objects the system constructs with the scanner but does not otherwise use.
class CGhost {
public:
    explicit CGhost(CScannerInterface&) {}
};
class CEdgeAdjust {
public:
    explicit CEdgeAdjust(CScannerInterface&) {}
};
class CColorMatrix {
public:
    explicit CColorMatrix(CScannerInterface&) {}
};
class CScaling {
public:
    explicit CScaling(CScannerInterface&) {}
};
struct ScannerThreadParameter {
    int32_t m_hScanner = 0;
    void* m_pOwner = nullptr;
};
