#pragma once
// Header access shared by the stitching, noise and camera check readers: the
// first bytes of a file, the whole header and key values. Kept in one place so
// all three read files the same way.
#include <cstdint>
#include <optional>
#include <string>

namespace StitchNoiseFile {

// Size of the file, or -1 when it cannot be opened.
int64_t FileSize(const std::string& szPath);
// Up to iCount bytes from iOffset (fewer at the end of the file); false when
// the file cannot be opened or read.
bool ReadBytes(const std::string& szPath, int64_t iOffset, int64_t iCount, std::string& out);
// Text of the first bytes up to the first zero byte, as the recognition sees it.
std::string HeaderProbe(const std::string& szFirstBytes);
// Little-endian 32-bit value at iOffset; bytes beyond the end count as zero.
int32_t ReadLe32(const std::string& sz, size_t iOffset);
void PutLe32(std::string& sz, size_t iOffset, int32_t iValue);

// Key readers over a header text: first occurrence, value up to the line end.
bool HeaderText(const std::string& szHeader, const std::string& szKey, std::string& szOut);
bool HeaderInt(const std::string& szHeader, const std::string& szKey, int32_t& iOut);
// H from the ten characters after the first "="; -1 when there is no "=".
int64_t HeaderDataPointer(const std::string& szHeader);

}  // namespace StitchNoiseFile

namespace StitchNoiseFile {
// What key I shows: the header text of a file with one of the sections that
// carry a header, else "Old Con-file.\nNo Header Information available".
std::string HeaderInfoMessage(const std::string& szPath);
}  // namespace StitchNoiseFile
