#pragma once
// What the three tonal resolution charts plot and where: reference L (0..100)
// across, and per view the scanner's value of each patch and channel upward.
#include <cstdint>
#include <vector>

#include "widgets/TestGeometry.h"
#include "testtools/TonalResult.h"

enum ETonalView : int32_t { TONAL_VIEW_BEST_FIT = 0, TONAL_VIEW_DIFFERENCE = 1, TONAL_VIEW_DYNAMIC_RANGE = 2 };

struct CTonalAxis {
    double m_dMin = 0, m_dMax = 0, m_dStep = 0;
};

// Grid lines every step from the minimum; the ranges are the charts' own, the
// steps are round numbers so that the labels are too.
CTonalAxis TonalYAxis(int32_t iView);
inline CTonalAxis TonalXAxis() { return CTonalAxis{0.0, 100.0, 10.0}; }
// The labelled values of an axis: every second grid line, 0 always among them.
std::vector<double> TonalAxisLabels(const CTonalAxis& axis);

// The plotted value of a patch and channel. Simple RGB plots the channel
// mean itself instead of its lightness.
double TonalChartValue(const TonalResult& r, int32_t iView, int32_t iPatch, int32_t iChannel, bool bSimpleRGB);
// Scanner density of a channel mean (a mean below half a step counts as half a step).
double ScannerDensity(double dMean);

int32_t TonalMapX(double dL, const CPlotRect& plot);
int32_t TonalMapY(double dValue, int32_t iView, const CPlotRect& plot);
