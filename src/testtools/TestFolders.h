#pragma once
// Where the test dialogs look for their result files: the results folder the
// family's sibling test tool keeps, with the test's own sub-folder.
#include <string>

// The results folder, ending in "/": the fixed path when the station uses
// one, else the folder last used for results, else the working directory.
std::string TestResultsFolder();
// TestResultsFolder() + szSub + "/" when that folder exists, else the
// results folder itself (a fresh station has no sub-folders yet).
std::string TestDataFolder(const std::string& szSub);
