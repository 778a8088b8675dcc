#pragma once
// Two cursors over a graph's horizontal axis and what they read: positions in
// the axis' own units (a sample index, a column of the scan line), the values
// of each channel at both, and the differences. Cursors are an overlay: placing
// or stepping one never changes the view's zoom, centre or data, and the views
// only hand mouse and keys over.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Where the data lies across the plot: column x (widget coordinates) shows
// positions from m_dFirst + (x - m_iLeft) * m_dPerColumn on.
struct CGraphAxis {
    int32_t m_iLeft = 0;
    int32_t m_iWidth = 0;       // plot columns
    double m_dFirst = 0.0;      // position at the left edge of column m_iLeft
    double m_dPerColumn = 1.0;  // positions per column (below 1 when magnified)
    int64_t m_iCount = 0;       // positions 0 .. m_iCount - 1 exist
    double m_dMmPerPosition = 0.0; // 0 when the axis has no length

    bool IsValid() const { return m_iWidth > 0 && m_dPerColumn > 0.0 && m_iCount > 0; }
    // First position the column shows, clamped to the data; -1 outside the plot.
    int64_t PositionAt(int32_t x) const;
    // Column showing a position (its middle when magnified); -1 off the plot.
    int32_t ColumnOf(int64_t iPos) const;
};

class CGraphCursors {
public:
    static constexpr int32_t kGrabColumns = 4;

    bool IsSet(int i) const { return m_bSet[static_cast<size_t>(i)]; }
    int64_t Position(int i) const { return m_iPos[static_cast<size_t>(i)]; }
    int Active() const { return m_iActive; }
    bool HasBoth() const { return m_bSet[0] && m_bSet[1]; }
    bool IsEmpty() const { return !m_bSet[0] && !m_bSet[1]; }

    // A press at column x: a cursor within kGrabColumns of it is taken (and
    // becomes active); otherwise the first unset cursor, or the active one
    // once both are set, moves there. Returns the cursor taken, -1 outside.
    int Press(int32_t x, const CGraphAxis& axis);
    // Dragging the cursor Press returned.
    void Drag(int i, int32_t x, const CGraphAxis& axis);
    // Keyboard: the active cursor moves by iSteps positions (placed in the
    // middle of the view first when none is set), clamped to the data.
    void Step(int64_t iSteps, const CGraphAxis& axis);
    void SwitchActive() { m_iActive = 1 - m_iActive; }
    void Clear();
    // New data of another length: cursors beyond it are dropped.
    void Fit(int64_t iCount);

private:
    void Place(int i, int64_t iPos, int64_t iCount);

    std::array<int64_t, 2> m_iPos{0, 0};
    std::array<bool, 2> m_bSet{false, false};
    int m_iActive = 0;
};

// The value of one channel (a colour, a camera) at both cursors.
struct CCursorChannel {
    std::string m_szName;          // "Red", "Gray", "Level", ...
    std::array<double, 2> m_dValue{0.0, 0.0};
};

// "1234 (10.45 mm)": a position with its length when the axis has one.
std::string FormatAxisPosition(int64_t iPos, const CGraphAxis& axis);
// The read-out of both cursors: a line of positions and their difference,
// then one line per channel with its values and their difference ("Δ" is the
// UTF-8 delta). Values print with as many decimals as they carry, up to two.
std::vector<std::string> CursorReadOut(const CGraphCursors& cursors, const CGraphAxis& axis,
                                       const std::vector<CCursorChannel>& channels);
// What is under the mouse: position and the channels' values at it.
std::string HoverReadOut(int64_t iPos, const CGraphAxis& axis, const std::vector<CCursorChannel>& channels);
// A measured value as a reader wants it: whole numbers without decimals, else two.
std::string FormatCursorValue(double d);
