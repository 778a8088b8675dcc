#pragma once
// Telling the user about a numbered error and leaving a trail of it: a line in
// "LastError.txt", a log line, a block in "Scanner.txt" on test stations, and a
// message box.
#include <cstdint>
#include <functional>
#include <string>

// Answers scanGetLastAsc(hScanner) for error 2 (the scanner library's check
// condition). The scanner layer installs it; without one the sense code is 0.
using LastAscProvider = std::function<int32_t(int32_t hScanner)>;
void SetLastAscProvider(LastAscProvider provider);

// The scanner library's check condition: the real number is the last sense code.
inline constexpr int32_t REPORT_CHECK_CONDITION = 2;

// Does nothing for iError 0.
void ReportError(int32_t iError, int32_t hScanner);

// The "Scanner.txt" block (without the line feed written after it), cut to
// 259 characters.
std::string FormatScannerBlock(const std::string& szDate, const std::string& szTime, uint32_t iNumber,
                               const std::string& szText);
