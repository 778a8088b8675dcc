// lumora-cli export: the numbers behind a file's view as CSV, from the same
// per-kind tables the viewers' CSV export writes. Plain C++: runs without Qt.
#include <cstdio>
#include <string>

#include "CliCommon.h"
#include "app/StartupRecognition.h"
#include "platform/AtomicFile.h"

void AddExportCommand(CLI::App& app, int& iExit)
{
    struct COptions {
        std::string m_szFile, m_szCsv, m_szAs;
    };
    auto pOpt = std::make_shared<COptions>();
    CLI::App* pCmd = app.add_subcommand("export", "Write the numbers behind a file's view as CSV (a header row, "
                                                  "one column per colour or camera, full precision)");
    pCmd->add_option("FILE", pOpt->m_szFile, "Data file")->required();
    pCmd->add_option("--csv", pOpt->m_szCsv, "CSV file to write")->required();
    pCmd->add_option("--as", pOpt->m_szAs, "Read the file the way that launcher button hands it to its viewer")
        ->check(CLI::IsMember({"stitch", "light-profile"}));
    pCmd->callback([pOpt, &iExit] {
        RegisterAllKinds();
        const char* szFile = pOpt->m_szFile.c_str();
        CFileDescription desc;
        const EDescribeStatus status = DescribeFile(pOpt->m_szFile, pOpt->m_szAs, desc);
        if (status == DESCRIBE_MISSING) {
            std::fprintf(stderr, "lumora-cli export: %s: cannot be read: %s\n", szFile,
                         DescriptionProblem(desc).c_str());
            iExit = CLI_EXIT_NOINPUT;
            return;
        }
        if (status == DESCRIBE_MALFORMED) {
            std::fprintf(stderr, "lumora-cli export: %s: malformed %s file: %s\n", szFile, desc.m_szKind.c_str(),
                         DescriptionProblem(desc).c_str());
            iExit = CLI_EXIT_DATAERR;
            return;
        }
        std::string szKind = desc.m_szKind;
        if (szKind == "unknown" && !pOpt->m_szAs.empty())
            szKind = pOpt->m_szAs == "stitch" ? "stitch-test" : "light-profile";
        const DataTableReader* pRead = CKindRegistry::Instance().FindDataTable(szKind);
        if (!pRead) {
            std::fprintf(stderr, "lumora-cli export: %s: %s files have no data table to export%s\n", szFile,
                         szKind.c_str(), szKind == "unknown" ? " (not a recognised data file)" : "; render it as PNG");
            iExit = CLI_EXIT_DATAERR;
            return;
        }
        CDataTable table;
        std::string szError;
        if (!(*pRead)(pOpt->m_szFile, pOpt->m_szAs, table, szError)) {
            if (szError.compare(0, pOpt->m_szFile.size(), pOpt->m_szFile) != 0)
                szError = pOpt->m_szFile + ": " + szError;
            std::fprintf(stderr, "lumora-cli export: %s\n", szError.c_str());
            iExit = CLI_EXIT_DATAERR;
            return;
        }
        const std::string szCsv = DataTableCsv(table);
        std::string szWriteError;
        if (!WriteFileAtomically(pOpt->m_szCsv, szCsv.data(), szCsv.size(), &szWriteError)) {
            std::fprintf(stderr, "lumora-cli export: cannot write %s: %s\n", pOpt->m_szCsv.c_str(),
                         szWriteError.c_str());
            iExit = CLI_EXIT_CANTCREAT;
            return;
        }
        std::printf("%s\n", pOpt->m_szCsv.c_str());
        iExit = CLI_EXIT_OK;
    });
}
