#pragma once
// When the image data of a scan arrived: one entry per chunk read. A record
// that shows long gaps tells the technician that the scanner stalled (USB
// trouble, a slow host), which no final picture shows.
#include <cstdint>
#include <string>
#include <vector>

struct CScanSpeedEntry {
    int32_t m_iTicks = 0;  // milliseconds
    int32_t m_iBytes = -1; // bytes of the chunk
    int32_t m_iReserved = -1;
};

class CScanSpeedRecord {
public:
    // Files claiming more entries than this are refused: no scan reads that
    // many chunks, and the reader would otherwise reserve gigabytes.
    static constexpr int32_t kMaxCapacity = 10'000'000;

    // Empties the record and makes room for iCapacity entries (at least 10).
    void Reset(int32_t iCapacity);
    // Adds an entry while there is room; false once the record is full.
    bool Add(int32_t iTicks, int32_t iBytes);
    bool IsFull() const { return m_iCount >= Capacity(); }
    int32_t Capacity() const { return static_cast<int32_t>(m_Entries.size()); }
    int32_t Count() const { return m_iCount; }
    const std::vector<CScanSpeedEntry>& Entries() const { return m_Entries; }

    // Gaps between consecutive entries clearly longer than the usual rhythm
    // of the scan (twice the typical gap, at least one second).
    int32_t CountStalls() const;

    // "[ScanSpeed]" text file; Write is atomic. Both return false with
    // m_szError naming the file and the problem.
    bool WriteScanSpeed(const std::string& szPath);
    bool ReadScanSpeed(const std::string& szPath);

    bool m_bEnabled = false;
    int32_t m_iWidth = 0;        // line width in pixels, once the scan knows it
    int32_t m_iBytesPerPixel = 1;
    std::string m_szError;

private:
    std::vector<CScanSpeedEntry> m_Entries;
    int32_t m_iCount = 0;
};
