#include "oscilloscope/OscilloscopeKinds.h"
#include <cstdio>
#include <string>
#include <vector>

#include "CliCommon.h"
#include "app/StartupRecognition.h"
#include "platform/Json.h"

namespace {
void PrintText(const CFileDescription& desc)
{
    // File names are the file system's bytes; the terminal shows them in its locale.
    std::printf("%s\n", desc.m_szFile.c_str());
    std::printf("  kind:          %s\n", desc.m_szKind.c_str());
    std::printf("  section:       %s\n", desc.m_szSection ? desc.m_szSection->c_str() : "(none)");
    std::printf("  viewer:        %s\n", desc.m_szViewer ? desc.m_szViewer->c_str() : "(none, the launcher stays up)");
    if (desc.m_iHeaderLength)
        std::printf("  header length: %lld\n", static_cast<long long>(*desc.m_iHeaderLength));
    else
        std::printf("  header length: (no text header)\n");
    std::printf("  data length:   %lld\n", static_cast<long long>(desc.m_iDataLength));
    if (!desc.m_Keys.empty()) {
        std::printf("  keys:\n");
        for (const auto& kv : desc.m_Keys)
            std::printf("    %s=%s\n", Cp1252ToUtf8(kv.first).c_str(), Cp1252ToUtf8(kv.second).c_str());
    }
    if (!desc.m_Messages.empty()) {
        std::printf("  messages:\n");
        for (const std::string& sz : desc.m_Messages)
            std::printf("    %s\n", CJson::Utf8(sz).Dump(-1).c_str());
    }
    if (desc.m_Extra.IsObject())
        for (const auto& kv : desc.m_Extra.AsObject())
            std::printf("  %s: %s\n", kv.first.c_str(), kv.second.Dump(-1).c_str());
    if (desc.m_szProblem)
        std::printf("  problem: %s\n", CJson(*desc.m_szProblem).Dump(-1).c_str());
}
} // namespace

void AddInfoCommand(CLI::App& app, int& iExit)
{
    struct COptions {
        std::vector<std::string> m_Files;
        bool m_bJson = false;
        bool m_bFocus = false;
        std::string m_szAs;
    };
    auto pOpt = std::make_shared<COptions>();
    CLI::App* pCmd = app.add_subcommand("info", "What the launcher's start-up recognition and the viewer make of each file");
    pCmd->add_flag("--json", pOpt->m_bJson, "One JSON object per file (an array for several files)");
    AddAsOption(pCmd, pOpt->m_szAs);
    pCmd->add_flag("--focus", pOpt->m_bFocus, "Oscilloscope recordings: add the focus evaluation of the first line");
    pCmd->add_option("FILE", pOpt->m_Files, "Data files")->required();
    pCmd->callback([pOpt, &iExit] {
        RegisterAllKinds();
        SetDescribeOscilloscopeFocus(pOpt->m_bFocus);
        CJson all = CJson::MakeArray();
        int iWorst = CLI_EXIT_OK;
        for (const std::string& szFile : pOpt->m_Files) {
            CFileDescription desc;
            const EDescribeStatus status = DescribeFile(szFile, pOpt->m_szAs, desc);
            if (status == DESCRIBE_MISSING) {
                std::fprintf(stderr, "lumora-cli info: %s: cannot be read: %s\n", szFile.c_str(),
                             DescriptionProblem(desc).c_str());
                iWorst = CLI_EXIT_NOINPUT;
                // In an array every file keeps its place, so scripts can pair
                // the objects with the names they passed.
                if (pOpt->m_bJson && pOpt->m_Files.size() > 1)
                    all.Push(FileDescriptionToJson(desc));
                continue;
            }
            if (status == DESCRIBE_UNRECOGNISED) {
                std::fprintf(stderr, "lumora-cli info: %s: not a recognised data file\n", szFile.c_str());
                if (iWorst != CLI_EXIT_NOINPUT)
                    iWorst = CLI_EXIT_DATAERR;
            } else if (status == DESCRIBE_MALFORMED) {
                std::fprintf(stderr, "lumora-cli info: %s: malformed %s file: %s\n", szFile.c_str(),
                             desc.m_szKind.c_str(), DescriptionProblem(desc).c_str());
                if (iWorst != CLI_EXIT_NOINPUT)
                    iWorst = CLI_EXIT_DATAERR;
            }
            if (pOpt->m_bJson)
                all.Push(FileDescriptionToJson(desc));
            else
                PrintText(desc);
        }
        if (pOpt->m_bJson) {
            if (pOpt->m_Files.size() == 1 && all.AsArray().size() == 1)
                std::printf("%s\n", all.AsArray()[0].Dump(2).c_str());
            else if (pOpt->m_Files.size() != 1)
                std::printf("%s\n", all.Dump(2).c_str());
        }
        iExit = iWorst;
    });
}
