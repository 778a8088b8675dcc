#include "widgets/GraphCursors.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

std::string Printf(const char* szFormat, double d)
{
    char sz[64];
    std::snprintf(sz, sizeof sz, szFormat, d);
    return sz;
}

} // namespace

int64_t CGraphAxis::PositionAt(int32_t x) const
{
    if (!IsValid() || x < m_iLeft || x >= m_iLeft + m_iWidth)
        return -1;
    const double d = std::floor(m_dFirst + (x - m_iLeft) * m_dPerColumn);
    return std::clamp<int64_t>(static_cast<int64_t>(std::max(d, -1.0)), 0, m_iCount - 1);
}

int32_t CGraphAxis::ColumnOf(int64_t iPos) const
{
    if (!IsValid() || iPos < 0 || iPos >= m_iCount)
        return -1;
    // A magnified position spans several columns: its middle one stands for it.
    const double dMiddle = m_dPerColumn < 1.0 ? 0.5 : 0.0;
    const double dCol = std::floor((static_cast<double>(iPos) + dMiddle - m_dFirst) / m_dPerColumn);
    if (dCol < 0.0 || dCol >= m_iWidth)
        return -1;
    return m_iLeft + static_cast<int32_t>(dCol);
}

void CGraphCursors::Place(int i, int64_t iPos, int64_t iCount)
{
    m_iPos[static_cast<size_t>(i)] = std::clamp<int64_t>(iPos, 0, std::max<int64_t>(0, iCount - 1));
    m_bSet[static_cast<size_t>(i)] = true;
    m_iActive = i;
}

int CGraphCursors::Press(int32_t x, const CGraphAxis& axis)
{
    const int64_t iPos = axis.PositionAt(x);
    if (iPos < 0)
        return -1;
    int iBest = -1;
    int32_t iBestDistance = kGrabColumns + 1;
    for (int i = 0; i < 2; ++i) {
        if (!IsSet(i))
            continue;
        const int32_t iCol = axis.ColumnOf(Position(i));
        if (iCol >= 0 && std::abs(iCol - x) < iBestDistance) {
            iBestDistance = std::abs(iCol - x);
            iBest = i;
        }
    }
    if (iBest < 0)
        iBest = !IsSet(0) ? 0 : !IsSet(1) ? 1 : m_iActive;
    Place(iBest, iPos, axis.m_iCount);
    return iBest;
}

void CGraphCursors::Drag(int i, int32_t x, const CGraphAxis& axis)
{
    if (i < 0 || i > 1 || !axis.IsValid())
        return;
    // Beyond the plot the cursor stays at the nearest edge.
    const int32_t xIn = std::clamp(x, axis.m_iLeft, axis.m_iLeft + axis.m_iWidth - 1);
    Place(i, axis.PositionAt(xIn), axis.m_iCount);
}

void CGraphCursors::Step(int64_t iSteps, const CGraphAxis& axis)
{
    if (!axis.IsValid())
        return;
    if (!IsSet(m_iActive)) {
        Place(m_iActive, axis.PositionAt(axis.m_iLeft + axis.m_iWidth / 2), axis.m_iCount);
        return;
    }
    Place(m_iActive, Position(m_iActive) + iSteps, axis.m_iCount);
}

void CGraphCursors::Clear()
{
    m_bSet = {false, false};
    m_iActive = 0;
}

void CGraphCursors::Fit(int64_t iCount)
{
    for (size_t i = 0; i < 2; ++i)
        if (m_bSet[i] && m_iPos[i] >= iCount)
            m_bSet[i] = false;
}

std::string FormatCursorValue(double d)
{
    if (std::fabs(d - std::round(d)) < 1e-9)
        return Printf("%.0f", std::round(d) == 0.0 ? 0.0 : std::round(d));
    return Printf("%.2f", d);
}

std::string FormatAxisPosition(int64_t iPos, const CGraphAxis& axis)
{
    std::string sz = std::to_string(iPos);
    if (axis.m_dMmPerPosition > 0.0)
        sz += " (" + Printf("%.2f", static_cast<double>(iPos) * axis.m_dMmPerPosition) + " mm)";
    return sz;
}

std::vector<std::string> CursorReadOut(const CGraphCursors& cursors, const CGraphAxis& axis,
                                       const std::vector<CCursorChannel>& channels)
{
    std::vector<std::string> lines;
    if (cursors.IsEmpty())
        return lines;
    const bool bBoth = cursors.HasBoth();
    std::string sz;
    for (int i = 0; i < 2; ++i) {
        if (!cursors.IsSet(i))
            continue;
        if (!sz.empty())
            sz += "   ";
        sz += (i == 0 ? "C1 " : "C2 ") + FormatAxisPosition(cursors.Position(i), axis);
    }
    if (bBoth) {
        const int64_t iDelta = cursors.Position(1) - cursors.Position(0);
        sz += "   \xCE\x94 " + std::to_string(iDelta);
        if (axis.m_dMmPerPosition > 0.0)
            sz += " (" + Printf("%.2f", static_cast<double>(iDelta) * axis.m_dMmPerPosition) + " mm)";
    }
    lines.push_back(sz);
    for (const CCursorChannel& c : channels) {
        std::string szLine = c.m_szName;
        for (int i = 0; i < 2; ++i)
            if (cursors.IsSet(i))
                szLine += (bBoth && i == 1 ? " / " : " ") + FormatCursorValue(c.m_dValue[static_cast<size_t>(i)]);
        if (bBoth)
            szLine += "   \xCE\x94 " + FormatCursorValue(c.m_dValue[1] - c.m_dValue[0]);
        lines.push_back(szLine);
    }
    return lines;
}

std::string HoverReadOut(int64_t iPos, const CGraphAxis& axis, const std::vector<CCursorChannel>& channels)
{
    if (iPos < 0)
        return {};
    std::string sz = "x " + FormatAxisPosition(iPos, axis);
    for (const CCursorChannel& c : channels)
        sz += "  " + c.m_szName + " " + FormatCursorValue(c.m_dValue[0]);
    return sz;
}
