#pragma once
// A program folder of the test's own for its lifetime, holding the settings
// files given as (name, contents): what the sibling tools would have put
// beside the program.
#include <initializer_list>
#include <string>
#include <utility>

#include "datafiles/Settings.h"
#include "support/TestSupport.h"

class CProgramFolder {
public:
    explicit CProgramFolder(std::initializer_list<std::pair<const char*, std::string>> files = {})
    {
        for (const auto& [szName, szText] : files)
            WriteFileBytes(m_Dir.File(szName), szText);
        SetProgramDirectoryOverride(m_Dir.Path() + "/");
        ResetSettingsCache();
    }
    ~CProgramFolder()
    {
        SetProgramDirectoryOverride("");
        ResetSettingsCache();
    }
    CProgramFolder(const CProgramFolder&) = delete;
    CProgramFolder& operator=(const CProgramFolder&) = delete;
    CTempDir m_Dir;
};
