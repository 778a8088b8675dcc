#pragma once
// The version-information record of a module: the fixed block followed by
// twelve named strings. Our build stamps the strings at configure time
// (BuildVersion.h), which stands in for the version resource.
#include <array>
#include <cstdint>
#include <string>

struct CVersionInfo {
    static constexpr size_t kFixedBlockSize = 52;
    static constexpr size_t kMaxString = 256;
    static constexpr const char* kNames[12] = {"CompanyName",  "FileDescription",  "FileVersion",     "InternalName",
                                               "LegalCopyright", "OriginalFilename", "ProductName",     "ProductVersion",
                                               "Comments",      "LegalTrademarks",  "PrivateBuild",    "SpecialBuild"};

    std::array<uint8_t, kFixedBlockSize> m_FixedBlock{};
    std::array<std::string, 12> m_szStrings{}; // in the order of kNames; empty when not found

    // The string of that name, empty when unknown or not found.
    const std::string& Get(const std::string& szName) const;
    void Set(const std::string& szName, const std::string& szValue); // cut at 255 bytes
};

// Language 1033 ("0409"); code page 1200 ("04B0") or 1252 ("04E4").
// The lookup path of one string, e.g. "\\StringFileInfo\\040904B0\\ProductVersion".
std::string VersionLookupPath(uint16_t iLanguage, uint16_t iCodePage, const std::string& szName);

// Reads the version record of a module. Our own executables (any program of
// this build) carry the build's strings; any other module has no version
// resource and gives false.
bool ReadVersionInfo(const std::string& szModule, uint16_t iLanguage, uint16_t iCodePage, CVersionInfo& info);
// The record of the running program (language 1033, code page 1200).
CVersionInfo OwnVersionInfo();

// What "--version" prints, the same three texts the About box shows:
// "<program>: <FileDescription>, Release <ProductVersion>, build <FileVersion>".
std::string VersionLine(const std::string& szProgram);
