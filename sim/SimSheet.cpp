#include "SimSheet.h"

#include <algorithm>
#include <cmath>

#include "SimDevice.h"

namespace sim {

namespace {

constexpr double kFarLeft = -1.0e7;
constexpr float kInk = 0.03f;      // printed black
constexpr double kInch = 1200.0;
// The wire of a stitch mark is 0.3 mm of the finders' nominal width.
constexpr double kWire = kInch / 83.82;

} // namespace

CSheetRow::CSheetRow(float fBase) : m_X{kFarLeft}, m_R{fBase} {}

void CSheetRow::Paint(double x0, double x1, float f)
{
    // Marks pushed off the sheet by absurd scenario geometry are clipped to the
    // row's start, which keeps the search below from stepping before it.
    x0 = std::max(x0, kFarLeft);
    if (!(x1 > x0))
        return;
    // Reflectance continuing behind x1.
    const size_t j = static_cast<size_t>(std::upper_bound(m_X.begin(), m_X.end(), x1) - m_X.begin()) - 1;
    const float fAfter = m_R[j];
    const auto first = std::lower_bound(m_X.begin(), m_X.end(), x0);
    const auto last = std::upper_bound(m_X.begin(), m_X.end(), x1);
    const size_t i = static_cast<size_t>(first - m_X.begin());
    m_R.erase(m_R.begin() + static_cast<std::ptrdiff_t>(i), m_R.begin() + (last - m_X.begin()));
    m_X.erase(first, last);
    m_X.insert(m_X.begin() + static_cast<std::ptrdiff_t>(i), {x0, x1});
    m_R.insert(m_R.begin() + static_cast<std::ptrdiff_t>(i), {f, fAfter});
}

void CSheetRow::Blend(float f, double w)
{
    const float fw = static_cast<float>(std::clamp(w, 0.0, 1.0));
    for (float& r : m_R)
        r = r * (1.0f - fw) + f * fw;
}

void CSheetRow::Finish()
{
    m_Sum.assign(m_X.size(), 0.0);
    for (size_t i = 1; i < m_X.size(); ++i)
        m_Sum[i] = m_Sum[i - 1] + (m_X[i] - m_X[i - 1]) * m_R[i - 1];
}

double CSheetRow::Integral(double x, size_t& iCursor) const
{
    if (iCursor >= m_X.size() || m_X[iCursor] > x)
        iCursor = 0;
    while (iCursor + 1 < m_X.size() && m_X[iCursor + 1] <= x)
        ++iCursor;
    return m_Sum[iCursor] + (x - m_X[iCursor]) * m_R[iCursor];
}

void CSheet::AddKPlate(double dEdge, double dInward)
{
    // From the scan line's end inward: white patch (it runs on beyond the
    // end), three bars of the line pattern, then the black patch.
    const float fWhite = static_cast<float>(m_pScenario->m_dPaperWhite);
    auto span = [&](double a, double b, float f) {
        const double x0 = dEdge + dInward * a * kInch, x1 = dEdge + dInward * b * kInch;
        Add(std::min(x0, x1), std::max(x0, x1), f);
    };
    span(-1.0e6 / kInch, 0.40, fWhite);
    const double dBar = 1.0 / 75.0;
    for (int i = 0; i < 3; ++i)
        span(0.10 + 2 * i * dBar, 0.10 + (2 * i + 1) * dBar, kInk);
    span(0.22, 0.32, kInk);
}

void CSheet::AddWirePair(double dCentre, double dPair)
{
    // A white stitch area with two dark wires well apart; the second may run
    // at a slant so that a camera's scan line shows in the distance.
    Add(dCentre - 0.2 * kInch, dCentre + 0.2 * kInch, static_cast<float>(m_pScenario->m_dPaperWhite));
    dCentre += dPair;
    const double dHalf = 0.0125 * kInch;
    Add(dCentre - dHalf - kWire / 2, dCentre - dHalf + kWire / 2, kInk);
    CWire w;
    w.m_dX = dCentre + dHalf - kWire / 2;
    w.m_dWidth = kWire;
    w.m_dSlope = m_pScenario->m_dWireSlant;
    w.m_dRefY = m_pScenario->m_dLineY * kInch / m_Nominal.m_iResolution;
    w.m_fR = kInk;
    m_Wires.push_back(w);
}

CSheet::CSheet(const CScenario& s) : m_pScenario(&s), m_Nominal(Nominal(s))
{
    const CNominal& n = m_Nominal;
    const double dPixel = kInch / n.m_iResolution;
    switch (s.m_eSheet) {
    case ESheetKind::Flat:
    case ESheetKind::White: m_fBase = static_cast<float>(s.m_dPaperWhite); break;
    case ESheetKind::Calibration:
        // Dark card, so that the stitch areas stand out as bright windows.
        m_fBase = static_cast<float>(s.m_dCardBlack);
        if (s.m_dFineLines >= 2.0) {
            // Fine lines across the card for the focus evaluation: one pixel
            // of white every FineLines pixels.
            const double dPitch = s.m_dFineLines * dPixel;
            for (double x = 0.5 * kInch; x < n.m_dSheetWidth - 0.5 * kInch; x += dPitch)
                Add(x, x + dPixel, static_cast<float>(s.m_dPaperWhite));
        }
        AddKPlate(0.0, 1.0);
        AddKPlate(n.m_dSheetWidth, -1.0);
        for (int32_t i = 1; i < n.m_iCameras; ++i)
            AddWirePair(n.Seam(i), 0.0);
        // The middle of a camera stays plain white paper, where the live gain
        // and offset loop measures its white level; the pair sits beside it.
        for (int32_t c = 0; c < n.m_iCameras; ++c)
            AddWirePair(n.Middle(c), 0.15 * kInch);
        m_bLine = true;
        break;
    case ESheetKind::Line: {
        m_fBase = static_cast<float>(s.m_dPaperWhite);
        m_bLine = true;
        // Positioning marks in every stitch area: a straight wire and a
        // slanted one whose distance tells which sheet row a camera sees.
        const double dLineY = s.m_dLineY * dPixel;
        for (int32_t i = 1; i < n.m_iCameras; ++i) {
            // The line stops short of the mark so that a camera on the line
            // still reads it.
            const double x = n.Seam(i) - s.m_dMarkGap * dPixel / 2;
            CWire window;
            window.m_dX = n.Seam(i) - 0.15 * kInch;
            window.m_dWidth = 0.3 * kInch;
            window.m_fR = static_cast<float>(s.m_dPaperWhite);
            window.m_bOverLine = true;
            m_Wires.push_back(window);
            CWire a;
            a.m_dX = x - s.m_dMarkWidth * dPixel / 2;
            a.m_dWidth = s.m_dMarkWidth * dPixel;
            a.m_dFromY = dLineY - s.m_dMarkReach * dPixel;
            a.m_dToY = dLineY + s.m_dMarkReach * dPixel;
            a.m_fR = kInk;
            a.m_bOverLine = true;
            CWire b = a;
            b.m_dX += s.m_dMarkGap * dPixel;
            b.m_dSlope = s.m_dMarkSlope;
            b.m_dRefY = dLineY;
            if (s.m_dMarkRepeat >= 1.0) {
                // The carriage sheet: the straight wire runs the whole length and
                // the slanted one is printed in short pieces, each starting again
                // at the mark's gap, so a camera travelling the sheet always reads
                // a gap inside its stripe.
                a.m_dFromY = -1e12;
                a.m_dToY = 1e12;
                m_Wires.push_back(a);
                const double dRepeat = s.m_dMarkRepeat * dPixel;
                const double dLength = std::max(static_cast<double>(s.m_iPaperLength), dRepeat);
                const double dFirst = dLineY - std::ceil(dLineY / dRepeat) * dRepeat;
                for (double y = dFirst; y < dLength && m_Wires.size() < 200000; y += dRepeat) {
                    CWire piece = b;
                    piece.m_dRefY = y;
                    piece.m_dFromY = y;
                    piece.m_dToY = y + dRepeat;
                    m_Wires.push_back(piece);
                }
                continue;
            }
            m_Wires.push_back(a);
            m_Wires.push_back(b);
        }
        break;
    }
    }
    BuildStatic();
}

bool CSheet::IsStatic(const CWire& w)
{
    return !w.m_bOverLine && w.m_dSlope == 0.0 && w.m_dFromY <= -1e12 && w.m_dToY >= 1e12;
}

void CSheet::BuildStatic()
{
    // What every row holds, painted once; rows only add what depends on y.
    // Nothing drawn later overlaps a slanted or shortened wire, so painting
    // those afterwards gives the same row.
    m_Static = CSheetRow(m_fBase);
    for (const CWire& w : m_Wires)
        if (IsStatic(w))
            m_Static.Paint(w.m_dX, w.m_dX + w.m_dWidth, w.m_fR);
}

void CSheet::Row(double y, double h, CSheetRow& row) const
{
    row = m_Static;
    auto paint = [&](bool bOverLine) {
        for (const CWire& w : m_Wires) {
            if (IsStatic(w) || w.m_bOverLine != bOverLine || y < w.m_dFromY || y >= w.m_dToY)
                continue;
            const double x = w.m_dX + w.m_dSlope * (y - w.m_dRefY);
            row.Paint(x, x + w.m_dWidth, w.m_fR);
        }
    };
    paint(false);
    if (m_bLine) {
        // The positioning line across the width, as much of it as the scan
        // line's height covers.
        const double dPixel = kInch / m_Nominal.m_iResolution;
        const double dCentre = m_pScenario->m_dLineY * dPixel;
        const double dHalf = m_pScenario->m_dLineWidth * dPixel / 2;
        const double dHeight = std::max(h, 1e-6);
        const double dCover = std::min(y + dHeight, dCentre + dHalf) - std::max(y, dCentre - dHalf);
        if (dCover > 0)
            row.Blend(kInk, dCover / dHeight);
    }
    paint(true);
    row.Finish();
}

} // namespace sim
