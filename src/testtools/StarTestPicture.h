#pragma once
// The raw star picture of a sweep: reading it and marking the measured line
// positions so the operator can compare them with the picture.
#include <string>

#include "imaging/Picture.h"
#include "testtools/StarTestEngine.h"

// Reads the sweep's raw picture (TIFF); false with szError set.
bool LoadStarTestRawPicture(const std::string& szPath, CPicture& picture, std::string& szError);
// For each row of the X vibration range: the pixel at (X line column, Y line
// position) in green and the pixel at (X line position, row) in blue. A gray
// picture becomes RGB so the marks show.
void MarkStarTestPicture(const StarTestSweep& sweep, CPicture& picture);
// Where the picture view centres for a picked row: the X line position of
// that row, or the middle of the picture when the row has none.
void StarTestPickCentre(const StarTestSweep& sweep, const CPicture& picture, int32_t iRow, int32_t& x, int32_t& y);
