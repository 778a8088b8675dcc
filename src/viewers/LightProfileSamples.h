#pragma once
// Light profiles shaped like what a scanner's cameras really deliver: dark
// reference pixels at each camera's ends, the lamp falling off towards the
// sheet edges, each lens darker at its rim, overlapping cameras and a little
// noise. Used for `lumora-cli samples`, the documentation and the tests.
#include <cstdint>
#include <string>
#include <vector>

struct CLpfSampleShape {
    int32_t m_iCameras = 4;
    int32_t m_iPixelsPerCamera = 1800;
    int32_t m_iOverlap = 120;   // pixels each camera shares with its neighbour
    int32_t m_iDarkPixels = 12; // covered reference pixels at each camera end
    int32_t m_iPeak = 210;      // level in the lamp's middle
    int32_t m_iNoise = 2;       // +/- levels
    uint32_t m_iSeed = 1;
};

// One sample per pixel, the cameras one after the other.
std::vector<uint8_t> MakeLightProfileSamples(const CLpfSampleShape& shape);
// The same profile as signed per-pixel deviations stored in 6 bits (the 32-bit profile form).
std::vector<uint8_t> MakeSigned32ProfileSamples(const CLpfSampleShape& shape);
// Run-length coded black-and-white picture of a profile, 256 rows high (third-generation form).
std::vector<uint8_t> MakeG3ProfilePicture(const std::vector<uint8_t>& samples);

// The profile back from such a picture: per column the level of its topmost
// black pixel (0 where a column has none). False with szError on a picture
// that does not hold together.
bool DecodeG3ProfilePicture(const uint8_t* pData, size_t iSize, std::vector<uint8_t>& levels, std::string& szError);

// Width of such a picture from its first row; 0 when the bytes hold no complete first row.
int64_t G3ProfileWidth(const uint8_t* pData, size_t iSize);

// Writes the sample files into szDir; returns the paths written.
std::vector<std::string> WriteLightProfileSamples(const std::string& szDir);
