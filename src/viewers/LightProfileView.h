#pragma once
// Geometry of the light profile file viewer's own view (CView_LPF_Dialog):
// the scaled and the 1:1 column walks, the white grid per generation, the
// position read-out and the mouse rules. The client area W x H holds the
// button strip, a read-out strip from y = 23 to 41 and the graph of
// (W - 40) x (H - 40) pixels at (20, 40).
#include <cstdint>
#include <string>
#include <vector>

#include "widgets/GraphCursors.h"
#include "widgets/LightProfileGraph.h"

struct CLPFViewColumn {
    int32_t m_iX = 0;     // graph column
    int32_t m_iYMax = 0;  // y of the largest sample, from the graph's top
    int32_t m_iYMin = 0;  // y of the smallest sample
};

class CLPFView {
public:
    static constexpr int32_t kGraphLeft = 20;
    static constexpr int32_t kGraphTop = 40;
    static constexpr int32_t kStripTop = 23;
    static constexpr int32_t kStripBottom = 41;
    // Cameras A to H.
    static constexpr int32_t kMaxCameras = 8;
    // A width factor of 100 is a scanner 424 inches wide, far beyond any made.
    static constexpr double kMaxWidthFactor = 100.0;

    // The profile and the facts the grid and read-out depend on.
    void SetData(const uint8_t* pSamples, int64_t iCount);
    void SetScanner(int32_t iGeneration, bool bColorScanner, int32_t iCamera, int32_t iCameraCount,
                    double dWidthFactor);
    int64_t Count() const { return m_iCount; }
    const uint8_t* Samples() const { return m_pSamples; }

    // Flash and preserve caption written at the left of the read-out strip.
    void SetCaption(const std::string& szCaption) { m_szCaption = szCaption; }
    const std::string& Caption() const { return m_szCaption; }

    // --- view state ---------------------------------------------------------
    bool IsScaled() const { return m_bScaled; }
    void SetScaled(bool bScaled) { m_bScaled = bScaled; }
    void ToggleView() { m_bScaled = !m_bScaled; }
    double StartPercent() const { return m_dStart; }
    double EndPercent() const { return m_dEnd; }
    int64_t Center() const { return m_iCenter; }
    void SetRange(double dStartPercent, double dEndPercent);
    void SetCenter(int64_t iCenter, int32_t iWidth);
    double ZoomFactor() const; // 100 / (end % - start %)
    bool IsWholeProfile() const { return m_dStart <= 0.0 && m_dEnd >= 100.0; }

    // Mouse and keys on a client area W x H. In the scaled view a left click
    // halves the shown range around the clicked position and a right click
    // doubles it; in the 1:1 view both centre the clicked sample.
    void ZoomIn(int32_t iClientX, int32_t iWidth);
    void ZoomOut(int32_t iClientX, int32_t iWidth);
    void ZoomAll();
    // Drag-panning: the profile follows a mouse moved iDx pixels since the
    // drag began with the view at (dStart %, dEnd %, centre iCenter).
    void PanFrom(double dStart, double dEnd, int64_t iCenter, int32_t iDx, int32_t iWidth);

    // --- geometry of a client area W x H -------------------------------------
    static int32_t GraphWidth(int32_t iWidth) { return iWidth - 40 > 0 ? iWidth - 40 : 0; }
    static int32_t GraphHeight(int32_t iHeight) { return iHeight - 40 > 0 ? iHeight - 40 : 0; }
    // Largest and smallest sample per graph column, in the view's current mode.
    std::vector<CLPFViewColumn> ColumnsScaled(int32_t iWidth, int32_t iHeight) const;
    std::vector<CLPFViewColumn> Columns1To1(int32_t iWidth, int32_t iHeight) const; // m_iYMin unused
    std::vector<CLPFViewColumn> Columns(int32_t iWidth, int32_t iHeight) const;
    // White grid lines, y from the graph's top (doubled lines appear twice).
    std::vector<int32_t> GridLines(int32_t iHeight) const;
    // Text of the position read-out strip: the position, or "Out of range: "
    // and the header fact that makes a position meaningless.
    std::string PositionText(int32_t iWidth) const;
    // The header fact ("Camera Used", "Camera Count", "Scanner Width") outside
    // what a scanner writes, or null when the read-out can be computed.
    const char* ReadOutProblem() const;
    // Sample under a client x, or -1 outside the graph.
    int64_t SampleAt(int32_t iClientX, int32_t iWidth) const;

    // First and last sample of the scaled range.
    int64_t StartSample() const;
    int64_t EndSample() const;

    // --- measuring line -----------------------------------------------------
    void StartMeasure(int32_t iX, int32_t iY);
    void MoveMeasure(int32_t iX);
    void EndMeasure() { m_bMeasuring = false; }
    void ClearMeasure() { m_bMeasuring = false; m_bLine = false; }
    bool IsMeasuring() const { return m_bMeasuring; }
    // True with the line to draw when both ends lie inside the graph, left to right.
    bool MeasureLine(int32_t iWidth, int32_t iHeight, int32_t& iX1, int32_t& iX2, int32_t& iY) const;
    // What the line measures: "Line 234 samples (12.30 mm)" and
    // "Levels 120 / 130" at its ends; empty without a line.
    std::vector<std::string> MeasureReadOut(int32_t iWidth, int32_t iHeight) const;

    // --- cursors and scales ---------------------------------------------------
    // Where the samples lie across the graph of a client area iWidth wide.
    CGraphAxis Axis(int32_t iWidth) const;
    // Millimetres of the scan line per sample, 0 when the header facts leave it open.
    double MmPerSample() const;

private:
    const uint8_t* m_pSamples = nullptr;
    int64_t m_iCount = 0;
    CLPFSampleLevels m_Levels;
    int32_t m_iGeneration = 0;
    bool m_bColorScanner = false;
    int32_t m_iCamera = 255;
    int32_t m_iCameraCount = 1;
    double m_dWidthFactor = 8.5;
    bool m_bScaled = true;
    double m_dStart = 0.0, m_dEnd = 100.0;
    int64_t m_iCenter = 0;
    bool m_bMeasuring = false, m_bLine = false;
    int32_t m_iMeasureX1 = 0, m_iMeasureX2 = 0, m_iMeasureY = 0;
    std::string m_szCaption;
};

// The flash and preserve captions ("   Normal Flash LPF", "   Reference Flash
// LPF", "  Black preserve", "  White preserve", "  Mixed preserve") for a
// profile file. The header has no key for the lamp flash or the preserve
// setting, so they are read from the file name (e.g.
// "CamA_RefFlash_BlackPreserve_LPF.con"). Empty when the name says neither.
std::string LightProfileFlashCaption(const std::string& szFile);
