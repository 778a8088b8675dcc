#pragma once
// Byte access shared by the stitching, noise and camera check readers for the
// parts of their files that ConHeader does not cover: the old 48-byte headers
// and trailers and data blocks read without trusting a count.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace StitchNoiseFile {

// Size of the file, or -1 when it cannot be opened.
int64_t FileSize(const std::string& szPath);
// Up to iCount bytes from iOffset (fewer at the end of the file); false when
// the file cannot be opened or read.
bool ReadBytes(const std::string& szPath, int64_t iOffset, int64_t iCount, std::string& out);
bool ReadBytes(const std::string& szPath, int64_t iOffset, int64_t iCount, std::vector<uint8_t>& out);
// Text of the first bytes up to the first zero byte, as the recognition sees it.
std::string HeaderProbe(const std::string& szFirstBytes);
// Little-endian 32-bit value at iOffset; bytes beyond the end count as zero.
int32_t ReadLe32(const std::string& sz, size_t iOffset);
void PutLe32(std::string& sz, size_t iOffset, int32_t iValue);

// A load that stops: szText becomes the error and one of the messages; false.
bool Refuse(const std::string& szText, std::vector<std::string>& messages, std::string& szError);
// What a reader says when ConHeader could not open the file.
std::string CannotOpenText(const std::string& szFile, const std::string& szProblem);

}  // namespace StitchNoiseFile
