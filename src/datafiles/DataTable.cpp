#include "datafiles/DataTable.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

size_t CDataTable::Rows() const
{
    size_t n = m_KeyLabels.empty() ? m_Keys.size() : m_KeyLabels.size();
    for (const auto& c : m_Columns)
        n = std::max(n, c.size());
    return n;
}

std::vector<double>& CDataTable::AddColumn(const std::string& szName)
{
    if (m_Headers.empty())
        m_Headers.push_back("index");
    m_Headers.push_back(szName);
    m_Columns.emplace_back();
    return m_Columns.back();
}

void CDataTable::SetIndexKeys(const std::string& szName, size_t n)
{
    if (m_Headers.empty())
        m_Headers.push_back(szName);
    else
        m_Headers[0] = szName;
    m_KeyLabels.clear();
    m_Keys.resize(n);
    for (size_t i = 0; i < n; ++i)
        m_Keys[i] = static_cast<double>(i);
}

std::string ShortestNumber(double d)
{
    if (!std::isfinite(d))
        return std::string();
    if (d == 0)
        return "0"; // no "-0" in a spreadsheet
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, d);
    return std::string(buf, res.ptr);
}

namespace {
void AppendCell(std::string& out, const std::string& sz)
{
    if (sz.find_first_of(",\"\r\n") == std::string::npos) {
        out += sz;
        return;
    }
    out += '"';
    for (char c : sz) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

void AppendNumber(std::string& out, double d)
{
    out += ShortestNumber(d);
}

// Splits one CSV line (no line breaks inside cells: the tables never put one there).
std::vector<std::string> SplitLine(const std::string& szLine)
{
    std::vector<std::string> cells(1);
    bool bQuoted = false;
    for (size_t i = 0; i < szLine.size(); ++i) {
        const char c = szLine[i];
        if (bQuoted) {
            if (c == '"' && i + 1 < szLine.size() && szLine[i + 1] == '"')
                cells.back() += '"', ++i;
            else if (c == '"')
                bQuoted = false;
            else
                cells.back() += c;
        } else if (c == '"') {
            bQuoted = true;
        } else if (c == ',') {
            cells.emplace_back();
        } else {
            cells.back() += c;
        }
    }
    return cells;
}

bool ParseNumber(const std::string& sz, double& d)
{
    if (sz.empty()) {
        d = std::nan("");
        return true;
    }
    const auto res = std::from_chars(sz.data(), sz.data() + sz.size(), d);
    return res.ec == std::errc() && res.ptr == sz.data() + sz.size();
}
} // namespace

std::string DataTableCsv(const CDataTable& table)
{
    std::string out;
    const size_t iRows = table.Rows();
    out.reserve(iRows * (table.m_Columns.size() + 1) * 6 + 64);
    for (size_t c = 0; c < table.m_Headers.size(); ++c) {
        if (c)
            out += ',';
        AppendCell(out, table.m_Headers[c]);
    }
    out += '\n';
    for (size_t r = 0; r < iRows; ++r) {
        if (!table.m_KeyLabels.empty()) {
            if (r < table.m_KeyLabels.size())
                AppendCell(out, table.m_KeyLabels[r]);
        } else if (r < table.m_Keys.size()) {
            AppendNumber(out, table.m_Keys[r]);
        }
        for (const auto& col : table.m_Columns) {
            out += ',';
            if (r < col.size())
                AppendNumber(out, col[r]);
        }
        out += '\n';
    }
    return out;
}

bool ParseDataTableCsv(const std::string& szCsv, CDataTable& table)
{
    table = CDataTable();
    size_t iPos = 0;
    bool bHeader = true;
    bool bLabels = false;
    while (iPos < szCsv.size()) {
        size_t iEnd = szCsv.find('\n', iPos);
        if (iEnd == std::string::npos)
            iEnd = szCsv.size();
        const std::vector<std::string> cells = SplitLine(szCsv.substr(iPos, iEnd - iPos));
        iPos = iEnd + 1;
        if (bHeader) {
            table.m_Headers = cells;
            table.m_Columns.resize(cells.size() - 1);
            bHeader = false;
            continue;
        }
        if (cells.size() != table.m_Headers.size())
            return false;
        double dKey = 0;
        if (table.m_Keys.empty() && table.m_KeyLabels.empty())
            bLabels = !ParseNumber(cells[0], dKey);
        if (bLabels)
            table.m_KeyLabels.push_back(cells[0]);
        else if (ParseNumber(cells[0], dKey))
            table.m_Keys.push_back(dKey);
        else
            return false;
        for (size_t c = 1; c < cells.size(); ++c) {
            double d = 0;
            if (!ParseNumber(cells[c], d))
                return false;
            table.m_Columns[c - 1].push_back(d);
        }
    }
    return !bHeader;
}

CDataTable SampleTable(const std::vector<std::pair<std::string, const std::vector<uint8_t>*>>& channels,
                       const std::string& szKey)
{
    CDataTable table;
    size_t n = 0;
    table.m_Headers.push_back(szKey);
    for (const auto& [szName, pSamples] : channels) {
        if (!pSamples)
            continue;
        std::vector<double>& col = table.AddColumn(szName);
        col.assign(pSamples->begin(), pSamples->end());
        n = std::max(n, pSamples->size());
    }
    table.SetIndexKeys(szKey, n);
    return table;
}
