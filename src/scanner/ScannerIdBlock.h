#pragma once
// The scanner identification block of result files: which scanner, which
// firmware and which program produced the results. Fields that are unknown
// are left out of the file rather than written empty.
#include <array>
#include <cstdio>
#include <optional>
#include <string>

class CScanner;

class CScannerIdBlock {
public:
    enum EField { SCANNER, CHASSIS_NO, SERIAL_NO, DATE, TIME, FIRMWARE_REVISION, FIRMWARE_BUILD, PROGRAM_REVISION,
                  PROGRAM_BUILD, FIELD_COUNT };
    static constexpr std::array<const char*, FIELD_COUNT> kKeys = {
        "Scanner", "Chassis No", "Serial No", "Date", "Time", "Firmware Revision", "Firmware Build",
        "Program Revision", "Program Build"};

    // Fills every field the scanner and the program can tell; the chassis
    // number only when asked (not every result file names the unit).
    void Collect(CScanner& scanner, bool bWithChassis);
    // Writes the present fields, keys padded to m_iKeyColumn.
    bool Write(std::FILE* pFile) const;
    std::string Text() const;
    // Takes one "key = value" line back; false when it names no field.
    bool ParseLine(const std::string& szLine);

    std::array<std::optional<std::string>, FIELD_COUNT> m_Fields;
    int m_iKeyColumn = 18;
};
