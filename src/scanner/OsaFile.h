#pragma once
// ".osa" recordings of a continuous scan: a short text header with the
// camera layout, then the blocks as raw scan lines. They let the stitch and
// focus analyses run again on exactly what a scanner delivered once.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct COsaLayout {
    int32_t m_iCameraCount = 0;
    std::array<int32_t, 8> m_CameraPixels{};
    int64_t PixelsPerLine() const;
};

// Writes "<base>_OSA.osa": the header when the first block comes, then every
// block appended as it arrives, so a recording cut short by a crash keeps
// every block written before.
class COsaWriter {
public:
    // An empty base name gets one made from the date and time.
    explicit COsaWriter(std::string szBase = std::string());
    bool Append(const COsaLayout& layout, const uint8_t* pData, size_t iBytes);
    const std::string& FileName() const { return m_szFile; }
    bool IsStarted() const { return m_bStarted; }
    const std::string& Error() const { return m_szError; }

private:
    std::string m_szFile, m_szError;
    bool m_bStarted = false;
};

struct COsaRecording {
    // Largest pixel count one camera can report (16-bit on the wire).
    static constexpr int32_t kMaxCameraPixels = 65535;
    // Header lines are looked for in this many bytes at most.
    static constexpr int32_t kMaxHeaderBytes = 10000;
    // A recording larger than this is refused rather than read into memory.
    static constexpr int64_t kMaxFileBytes = int64_t(1) << 30;

    std::string m_szFile;
    COsaLayout m_Layout;
    std::vector<uint8_t> m_Lines; // whole lines only
    int64_t m_iLineCount = 0;
    std::string m_szError; // names the file and the problem

    // One file; iBytesPerPixel says how the lines were recorded (1 or 3).
    bool Read(const std::string& szFile, int32_t iBytesPerPixel);
    // The newest numbered recording "<base>_OSA-<n>.osa" (n from 100 down to
    // 0), else the unnumbered "<base>_OSA.osa" a recorder leaves.
    bool Open(const std::string& szBase, int32_t iBytesPerPixel);
};
