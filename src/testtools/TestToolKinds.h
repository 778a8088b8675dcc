#pragma once
#include "datafiles/FileKinds.h"

void RegisterTestToolKinds(CKindRegistry& reg);

class CStarTestEngine;
class TonalResult;
// The curves the star test chart draws of the displayed sweep, one column
// each under its legend name, keyed by row.
CDataTable StarTestDataTable(CStarTestEngine& engine);
// The 24 patches: reference lightness, density and the scanner's lightness per colour.
CDataTable TonalDataTable(const TonalResult& result);
