#include "testtools/TonalChart.h"

#include <algorithm>
#include <cmath>

CTonalAxis TonalYAxis(int32_t iView)
{
    switch (iView) {
    case TONAL_VIEW_DIFFERENCE: return CTonalAxis{-10.0, 10.0, 2.5};
    case TONAL_VIEW_DYNAMIC_RANGE: return CTonalAxis{0.0, 5.0, 0.5};
    default: return CTonalAxis{0.0, 255.0, 25.0};
    }
}

std::vector<double> TonalAxisLabels(const CTonalAxis& axis)
{
    std::vector<double> out;
    if (!(axis.m_dStep > 0) || axis.m_dMax < axis.m_dMin)
        return out;
    // Counted from 0 outwards, so 0 is labelled whatever the minimum.
    const double dLabelStep = 2 * axis.m_dStep;
    const long iFirst = std::lround(std::ceil(axis.m_dMin / dLabelStep - 1e-9));
    for (long i = iFirst; i * dLabelStep <= axis.m_dMax + 1e-9; ++i)
        out.push_back(i * dLabelStep == 0.0 ? 0.0 : i * dLabelStep);
    return out;
}

double ScannerDensity(double dMean)
{
    return -std::log10(std::max(dMean, 0.5) / 255.0);
}

double TonalChartValue(const TonalResult& r, int32_t iView, int32_t iPatch, int32_t c, bool bSimpleRGB)
{
    const TonalPatch& p = r.m_Patches[size_t(std::clamp(iPatch, 0, TonalResult::kPatches - 1))];
    c = std::clamp(c, 0, 2);
    switch (iView) {
    case TONAL_VIEW_DIFFERENCE: return p.Lightness(c) - (r.m_dSlope[size_t(c)] * p.m_dL + r.m_dOffset[size_t(c)]);
    case TONAL_VIEW_DYNAMIC_RANGE: return ScannerDensity(p.Mean(c));
    default: return bSimpleRGB ? p.Mean(c) : p.Lightness(c);
    }
}

static int32_t Round(double d)
{
    if (!std::isfinite(d)) return 0;
    return static_cast<int32_t>(std::lround(std::clamp(d, -1e6, 1e6)));
}

int32_t TonalMapX(double dL, const CPlotRect& plot)
{
    const CTonalAxis a = TonalXAxis();
    return Round(plot.m_iLeft + (dL - a.m_dMin) * plot.Width() / (a.m_dMax - a.m_dMin));
}

int32_t TonalMapY(double dValue, int32_t iView, const CPlotRect& plot)
{
    const CTonalAxis a = TonalYAxis(iView);
    return Round(plot.m_iBottom - (dValue - a.m_dMin) * plot.Height() / (a.m_dMax - a.m_dMin));
}
