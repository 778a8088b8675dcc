#pragma once
// Reading and writing whole ".con" containers: the header through ConHeader,
// the data block from offset H. Every length and offset taken from a file is
// checked against the file's real size before anything is read or allocated.
#include <cstdint>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "datafiles/ConHeader.h"

// How many bytes the section tests look at.
inline constexpr size_t CON_FIRST_BYTES = 100;
// No header of ours comes near this; a DataPointer beyond it is not believed.
inline constexpr int64_t CON_MAX_HEADER = 16 << 20;

enum EConReadStatus {
    CON_READ_OK = 0,
    CON_READ_CANNOT_OPEN,  // missing or unreadable (m_szProblem says which)
    CON_READ_NO_HEADER,    // no "=" in the first bytes: an older headerless file
    CON_READ_MALFORMED,    // a header whose DataPointer cannot be right
};

struct CConFileHeader {
    std::string m_szFile;
    int64_t m_iFileSize = 0;
    std::string m_szFirstBytes;   // the first bytes as read, NULs included (at most CON_FIRST_BYTES)
    ConHeader m_Header;           // the whole header (H bytes) when read, else the first bytes
    int64_t m_iHeaderLength = -1; // H, -1 when not known
    std::string m_szProblem;      // what is wrong, for messages ("DataPointer points past the end of the file")

    int64_t DataLength() const { return m_iHeaderLength < 0 ? 0 : m_iFileSize - m_iHeaderLength; }
};

// Reads the first bytes and, when they carry a valid DataPointer, the whole
// header. Never reads more than the header.
EConReadStatus ReadConFileHeader(const std::string& szPath, CConFileHeader& out);
// Checks the DataPointer of a header text against a file of iFileSize bytes.
// The same rules ReadConFileHeader applies, for callers holding the bytes.
EConReadStatus CheckDataPointer(const ConHeader& header, int64_t iFileSize, int64_t& iH, std::string& szProblem);

// Reads iSize bytes at iOffset of the data block (offset H + iOffset in the
// file). False with szError set when that range is not inside the file.
bool ReadConDataBlock(const CConFileHeader& header, int64_t iOffset, int64_t iSize, std::vector<uint8_t>& data,
                      std::string& szError);
// The whole data block, refused beyond iMaxSize bytes.
bool ReadConData(const CConFileHeader& header, int64_t iMaxSize, std::vector<uint8_t>& data, std::string& szError);

// Patches the DataPointer and writes header and data block atomically; a
// failed write leaves any old file untouched. The header must begin with a
// section line (AppendSection) so the DataPointer is its first "=".
bool WriteConFile(const std::string& szPath, ConHeader& header, const void* pData, size_t iSize,
                  std::string* pError = nullptr);

// The key lines of a header in file order, each key once (its first
// occurrence), raw values up to CR or LF. Section lines are not keys.
// At most iMaxKeys are listed.
std::vector<std::pair<std::string, std::string>> ListHeaderKeys(const ConHeader& header, size_t iMaxKeys = SIZE_MAX);

// "Missing Information:\n" + the item, through the message seam: what every
// viewer says about a required key that is missing before it carries on with
// the default.
void ReportMissingInformation(const std::string& szItem);
// Takes what one of ConHeader's readers returned and reports the item when
// the key was missing: `RequireKey(hdr.GetColor(iColor), "Color")`.
inline bool RequireKey(bool bFound, const std::string& szItem)
{
    if (!bFound)
        ReportMissingInformation(szItem);
    return bFound;
}
