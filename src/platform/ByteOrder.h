#pragma once
// Byte-by-byte integer access for the scanner's big-endian command and
// reply blocks and for little-endian file fields. Header-only: the simulated
// scanner library uses it without linking the core.
#include <cstddef>
#include <cstdint>
#include <string>

inline uint16_t Be16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

inline int32_t Be32(const uint8_t* p)
{
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
                                static_cast<uint32_t>(p[2]) << 8 | p[3]);
}

// Takes 64 bits so callers may pass any integer; only the low bytes are kept.
inline void PutBe16(uint8_t* p, int64_t v)
{
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}

inline void PutBe32(uint8_t* p, int64_t v)
{
    const uint32_t u = static_cast<uint32_t>(v);
    p[0] = static_cast<uint8_t>(u >> 24);
    p[1] = static_cast<uint8_t>(u >> 16);
    p[2] = static_cast<uint8_t>(u >> 8);
    p[3] = static_cast<uint8_t>(u);
}

inline uint32_t Le32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

// For the first bytes of a file read into a string: bytes past its end read
// as zero, as a short read leaves them.
inline uint32_t Le32At(const std::string& sz, size_t iOffset)
{
    uint32_t u = 0;
    for (size_t i = 0; i < 4; ++i)
        if (iOffset + i < sz.size())
            u |= static_cast<uint32_t>(static_cast<uint8_t>(sz[iOffset + i])) << (8 * i);
    return u;
}
