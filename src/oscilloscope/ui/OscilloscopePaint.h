#pragma once
// The oscilloscope's page: header lines, the overview over the whole width
// and the two detail views side by side. Printing and `lumora-cli render`
// draw it with this one function; the dialog's three views paint their
// graphs with the same PaintLPFGraph the page uses.
#include <QImage>
#include <QPainter>
#include <string>
#include <vector>

#include "widgets/LightProfileGraph.h"

void PaintOscilloscopePage(QPainter& painter, const QRect& rPage, const CLPFGraph& overview, const CLPFGraph& left,
                           const CLPFGraph& right, const std::vector<std::string>& lines);
// The page at the dialog's view size, for the renderer.
QSize DefaultOscilloscopePageSize();
