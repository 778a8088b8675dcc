#include "datafiles/ErrorReport.h"

#include <filesystem>
#include <cstdio>
#include <mutex>

#include "datafiles/Settings.h"
#include "platform/ErrorTexts.h"
#include "platform/Log.h"
#include "platform/Messages.h"
#include "platform/Paths.h"

namespace {
std::mutex g_ProviderMutex;
LastAscProvider g_LastAsc;

int32_t LastAsc(int32_t hScanner)
{
    LastAscProvider provider;
    {
        std::lock_guard<std::mutex> lock(g_ProviderMutex);
        provider = g_LastAsc;
    }
    return provider ? provider(hScanner) : 0;
}
} // namespace

void SetLastAscProvider(LastAscProvider provider)
{
    std::lock_guard<std::mutex> lock(g_ProviderMutex);
    g_LastAsc = std::move(provider);
}

std::string FormatScannerBlock(const std::string& szDate, const std::string& szTime, uint32_t iNumber,
                               const std::string& szText)
{
    char buf[260];
    std::snprintf(buf, sizeof buf, "Date:         %s\nTime:         %s\nError:        0x%4x\nText:         '%s'\n\n",
                  szDate.c_str(), szTime.c_str(), iNumber, szText.c_str());
    return buf;
}

void ReportError(int32_t iError, int32_t hScanner)
{
    if (iError == 0)
        return;
    const int32_t iNumber = iError == REPORT_CHECK_CONDITION ? LastAsc(hScanner) : iError;
    std::string szText = ErrorText(static_cast<uint32_t>(iNumber));
    if (szText.size() >= 2420)
        szText.resize(2419);

    AppendLastError(szText);
    log_msg(szText, true);

    if (IsTestStation()) {
        const CDateTime now = CDateTime::Now();
        const std::string szBlock =
            FormatScannerBlock(now.DateString(), now.TimeString(), static_cast<uint32_t>(iNumber), szText);
        std::string szFolder;
        CFixPathSettings fix;
        if (ReadFixPathFile(fix) && !fix.m_szFixedPath.empty())
            szFolder = WithFolderSeparator(fix.m_szFixedPath);
        else {
            szFolder = ProgramStateFolder();
            std::error_code ec;
            std::filesystem::create_directories(szFolder, ec);
        }
        if (std::FILE* pFile = std::fopen((szFolder + "Scanner.txt").c_str(), "ab")) {
            std::fprintf(pFile, "%s\n", szBlock.c_str());
            std::fclose(pFile);
        }
    }
    ShowMessage(szText);
}
