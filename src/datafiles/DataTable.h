#pragma once
// The numbers behind a view, as one table per file: a key column (the pixel,
// line or patch the graph's horizontal axis walks) and one column per colour
// or camera. The viewers' CSV export and `lumora-cli export --csv` both write
// it, so a spreadsheet sees exactly what the graph draws.
#include <cstdint>
#include <string>
#include <vector>

struct CDataTable {
    // Header row: m_Headers[0] names the key column, the rest name m_Columns.
    std::vector<std::string> m_Headers;
    // Key column: numbers (m_Keys) or, when m_KeyLabels is not empty, labels ("GS00", "red").
    std::vector<double> m_Keys;
    std::vector<std::string> m_KeyLabels;
    // One vector per value column; a shorter column leaves its cells empty,
    // and so does a NaN.
    std::vector<std::vector<double>> m_Columns;

    size_t Rows() const;
    // Appends a value column (the reference lasts until the next AddColumn).
    std::vector<double>& AddColumn(const std::string& szName);
    // Keys 0..n-1 under szName.
    void SetIndexKeys(const std::string& szName, size_t n);
};

// Shortest text that reads back to the same double ("0.1", "255", "1e-07").
std::string ShortestNumber(double d);
// Header row, then one line per row; comma separated, "\n" line ends, cells
// with a comma, quote or line break quoted.
std::string DataTableCsv(const CDataTable& table);
// Reads what DataTableCsv wrote (tests, round trips): false on a ragged or
// non-numeric table. Empty cells become NaN.
bool ParseDataTableCsv(const std::string& szCsv, CDataTable& table);

// A table of 8-bit samples, one column per channel, keyed by pixel.
CDataTable SampleTable(const std::vector<std::pair<std::string, const std::vector<uint8_t>*>>& channels,
                       const std::string& szKey = "pixel");
