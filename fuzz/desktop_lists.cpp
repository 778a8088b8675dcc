// The program's own desktop files (recent files, window places) are text the
// user may edit, and the CSV reader takes what anyone wrote: none may crash or
// let a bad line through, and what the writers make of a parsed list must
// parse back to the same list.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/DesktopState.h"
#include "datafiles/DataTable.h"
#include "viewers/RecentFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> list = ParseRecentList(text);
    if (list.size() > kRecentListMax || ParseRecentList(FormatRecentList(list)) != list)
        std::abort();
    const auto places = ParseWindowPlaces(text);
    if (ParseWindowPlaces(FormatWindowPlaces(places)).size() != places.size())
        std::abort();
    CDataTable table;
    if (ParseDataTableCsv(text, table) && table.m_Headers.size() != table.m_Columns.size() + 1)
        std::abort();
    return 0;
}
