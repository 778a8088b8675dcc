#pragma once
// The sheet in the scanner, drawn in sheet coordinates (1/1200 inch; x along
// the scan line from camera A's first active pixel, y from the sheet's top).
// What a camera sees of one sheet row is a piecewise constant reflectance;
// a pixel takes the exact mean over the sheet stretch it looks at, so edges
// land between pixels the way they do on a real sensor.
#include <cstddef>
#include <vector>

#include "SimCameras.h"

namespace sim {

struct CScenario;

// Reflectance 0..1 along one sheet row.
class CSheetRow {
public:
    CSheetRow() : CSheetRow(0.0f) {}
    explicit CSheetRow(float fBase);
    // Paints [x0, x1) with reflectance f.
    void Paint(double x0, double x1, float f);
    // Mixes every stretch with f by the weight w (a line crossing part of a
    // scan line's height).
    void Blend(float f, double w);
    // Integral of the reflectance from the far left to x; the cursor keeps
    // the segment of the last call so increasing x costs O(1).
    double Integral(double x, size_t& iCursor) const;
    void Finish(); // call after painting, before Integral
    bool SameAs(const CSheetRow& other) const { return m_X == other.m_X && m_R == other.m_R; }

private:
    std::vector<double> m_X; // segment starts, increasing
    std::vector<float> m_R;
    std::vector<double> m_Sum; // integral up to each start
};

class CSheet {
public:
    explicit CSheet(const CScenario& s);
    // The row at y seen through a scan line of height h.
    void Row(double y, double h, CSheetRow& row) const;

private:
    struct CWire {
        double m_dX = 0, m_dWidth = 0; // at y = m_dRefY
        double m_dSlope = 0;           // x per y
        double m_dRefY = 0;
        double m_dFromY = -1e12, m_dToY = 1e12;
        float m_fR = 0;
        bool m_bOverLine = false; // drawn over the positioning line
    };
    void Add(double x0, double x1, float f) { m_Wires.push_back({x0, x1 - x0, 0.0, 0.0, -1e12, 1e12, f, false}); }
    void AddKPlate(double dEdge, double dInward);
    void AddWirePair(double dCentre, double dPair); // white area at dCentre, wires dPair beside it

    static bool IsStatic(const CWire& w);
    void BuildStatic();

    const CScenario* m_pScenario;
    CSheetRow m_Static;
    CNominal m_Nominal;
    float m_fBase = 0.9f;
    std::vector<CWire> m_Wires; // painted in order
    bool m_bLine = false;
};

} // namespace sim
