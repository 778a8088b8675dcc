#pragma once
// Finding the star test's lines again in a sweep's raw picture: the diagonal
// line per row (columns 2-4 and 9-12 of a result row) and the wide line
// (column 5), so a sweep can be analysed from its picture instead of from the
// station's numbers.
#include <cstdint>
#include <string>

#include "imaging/Picture.h"
#include "testtools/StarTestEngine.h"

// Dark lines on a light sheet. Every row of the picture (up to the sweep's
// Length) is searched:
// - the wide line is the widest dark run of the row when it is well wider
//   than the diagonals; its position is the darkness-weighted centre;
// - the diagonal line moves one pixel left per row; the run nearest to where
//   it is expected continues it (across the wide line on its expected
//   path), and when it has gone (no run within a few pixels, or cut by the
//   picture's edge) the nearest run to its right begins a new line (both
//   start flags set);
// - the Y position is the vertical crossing of the same line in the column
//   where the row's X position lies, searched around the expected row.
// Rows without a line keep 0. Returns the number of line starts found; the
// speed-index columns are left as they were (they come from the speed log,
// not from the picture). szError is set when the picture cannot be used.
int32_t TrackStarTestLines(const CPicture& picture, StarTestSweep& sweep, std::string& szError);

// Centre and width of the dark run around position iNear in a line of
// intensities (0 dark .. 255 light) of n values; false when there is none.
bool FindDarkRun(const uint8_t* pLine, int32_t n, int32_t iFrom, int32_t iTo, double dNear, double& dCentre,
                 double& dWidth);
