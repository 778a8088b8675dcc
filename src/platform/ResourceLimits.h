#pragma once
// The one cap on memory a file's content can make the program take. Every
// reader that sizes a buffer from a count, a width or a length it read checks
// it here twice: against what the file can still hold (a count the bytes
// cannot back is a lie, however small) and against the limit (a file that
// really is that big is still refused rather than taking the machine down).
// The limit is 256 MiB; LUMORA_MAX_ALLOC_MB sets another number of MiB.
#include <cstdint>
#include <string>

inline constexpr uint64_t kDefaultMaxAllocationMiB = 256;
inline constexpr const char* kMaxAllocationVariable = "LUMORA_MAX_ALLOC_MB";

// The limit in bytes, read from the environment once per process.
uint64_t MaxAllocationBytes();

// Empty when iCount items of iItemBytes each, declared by szField, fit both
// iAvailable (bytes the file has left for them; UINT64_MAX when the content
// is not stored one to one) and the limit. Otherwise the refusal, naming the
// field: "Width declares 2000000000 samples of 4 bytes (7629 MiB); the file
// holds 4 bytes for them".
std::string CheckAllocation(const char* szField, uint64_t iCount, uint64_t iItemBytes,
                            uint64_t iAvailable = UINT64_MAX, const char* szItems = "items");
