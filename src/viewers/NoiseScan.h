#pragma once
// A noise test taken on the connected scanner (the noise test dialog's
// Rescan): continuous-scan lines of a uniform target, and for every pixel the
// spread of its signal over those lines.
#include <cstdint>
#include <string>

class CScanner;
class CNoiseRecord;

// Fills record from iLines lines; every sample is the standard deviation of
// that pixel in percent of its mean (rounded, at most 255). Returns the
// scanner error, 0 on success; szError says what went wrong in words.
int32_t ScanNoiseRecord(CScanner& scanner, CNoiseRecord& record, int32_t iLines, std::string& szError);
