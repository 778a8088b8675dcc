#pragma once
// Our own INI reader, with the lookup rules of private profile strings:
// section and key names compare without regard to case, blanks around names and
// values are dropped, the first occurrence wins, ';' starts a comment line.
// Files are read as a stream with a bounded line buffer, so a huge file or one
// endless line costs time in proportion to its size and never unbounded memory.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Decimal.h" // AtoiText, for the INI numbers

class CIniFile {
public:
    // Lines longer than this are cut; the rest of such a line is passed over.
    static constexpr size_t kMaxLine = 4096;
    // Stop keeping entries beyond this many bytes of names and values.
    static constexpr size_t kMaxStored = 16u << 20;

    // False when the file cannot be opened (then every lookup misses).
    bool Load(const std::string& szPath);
    bool LoadFromText(const std::string& szText);

    std::optional<std::string> Get(const std::string& szSection, const std::string& szKey) const;
    std::vector<std::string> Sections() const;
    std::vector<std::pair<std::string, std::string>> Entries(const std::string& szSection) const;

private:
    struct Section {
        std::string m_szName;
        std::vector<std::pair<std::string, std::string>> m_Entries;
    };
    template <class LineSource> void Parse(LineSource& next);
    std::vector<Section> m_Sections;
};

// One value straight from a file, without keeping the file: stops at the first match.
std::optional<std::string> ReadIniValue(const std::string& szPath, const std::string& szSection,
                                        const std::string& szKey);
// GetPrivateProfileString: the value, or szDefault when the file, section or key is missing.
std::string GetProfileString(const std::string& szPath, const std::string& szSection, const std::string& szKey,
                             const std::string& szDefault);
// GetPrivateProfileInt: atoi of the value, or iDefault when missing.
int32_t GetProfileInt(const std::string& szPath, const std::string& szSection, const std::string& szKey,
                      int32_t iDefault);
