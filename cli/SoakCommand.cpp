// lumora-cli scanner soak: seeded scenarios of the simulated scanner through
// the live gain/offset calibration and the camera alignment, one report.
#include <cstdio>
#include <memory>
#include <string>

#include "CliCommon.h"
#include "ScanCommands.h"
#include "Soak.h"
#include "StatusLine.h"
#include "platform/Json.h"
#include "platform/Log.h"
#include "scanner/Scanner.h"

namespace {

struct CSoakCommandOptions {
    CSoakOptions m_Soak;
    std::string m_szOnly = "both";
    bool m_bJson = false;
    bool m_bLog = false;
};

int RunSoak(const CSoakCommandOptions& o)
{
    CStatusLine status(o.m_bJson);
    CJson j = CJson::MakeObject();
    j.Set("scenarios", o.m_Soak.m_iScenarios);
    j.Set("seed", static_cast<long long>(o.m_Soak.m_iSeed));
    std::string szSummary;
    bool bAllAsExpected = true;
    auto part = [&](const char* szKey, CJson (*pRun)(const CSoakOptions&, CStatusLine&, CSoakOutcome&)) {
        CSoakOutcome out;
        CJson p = pRun(o.m_Soak, status, out);
        status.Done();
        if (out.m_iOpenError != 0) {
            std::fprintf(stderr, "lumora-cli scanner: soak: the simulated scanner cannot be opened\n");
            bAllAsExpected = false;
        }
        bAllAsExpected = bAllAsExpected && out.m_iRuns == o.m_Soak.m_iScenarios && out.m_iAsExpected == out.m_iRuns;
        szSummary += out.m_szSummary;
        j.Set(szKey, std::move(p));
    };
    if (o.m_szOnly != "alignment")
        part("gain_offset", GainOffsetSoak);
    if (o.m_szOnly != "gain-offset" && !CCancel::IsCancelRequested())
        part("alignment", AlignmentSoak);
    if (CCancel::IsCancelRequested()) {
        CCancel::SetCancelled();
        std::fprintf(stderr, "%s\n", ScannerErrorText(ScannerProgramError(ERR_USER_CANCELLED)).c_str());
        return CLI_EXIT_CHECK_FAILED;
    }
    j.Set("all_as_expected", bAllAsExpected);
    if (o.m_bJson)
        std::printf("%s\n", j.Dump().c_str());
    else
        std::printf("%s", szSummary.c_str());
    return bAllAsExpected ? CLI_EXIT_OK : CLI_EXIT_CHECK_FAILED;
}

} // namespace

void AddSoakCommand(CLI::App& scannerCommand, int& iExit)
{
    auto opts = std::make_shared<CSoakCommandOptions>();
    CLI::App* p = scannerCommand.add_subcommand(
        "soak", "Run the gain/offset calibration and the camera alignment on N seeded scenarios of the simulated "
                "scanner and report how many end as they should");
    p->add_option("--scenarios", opts->m_Soak.m_iScenarios, "Scenarios of each kind (1000)")
        ->check(CLI::Range(1, 1000000));
    p->add_option("--seed", opts->m_Soak.m_iSeed, "Seed of the first scenario (1)");
    p->add_option("--only", opts->m_szOnly, "gain-offset, alignment or both (both)")
        ->check(CLI::IsMember({"both", "gain-offset", "alignment"}));
    p->add_option("--max-calibration-scans", opts->m_Soak.m_iMaxBlocks,
                  "Gain/offset: scans per scenario before the final pass (4000)")
        ->check(CLI::Range(1, 10000000));
    p->add_option("--max-scans", opts->m_Soak.m_iMaxScans, "Alignment: give up a scenario after this many scans (400000)")
        ->check(CLI::Range(1, 100000000));
    p->add_option("--time-scale", opts->m_Soak.m_dTimeScale,
                  "Alignment: scanner time per CPU time of this process (200)")
        ->check(CLI::Range(1.0, 1000.0));
    p->add_option("--max-offset", opts->m_Soak.m_dMaxOffset, "Alignment: largest camera misalignment, pixels (8)")
        ->check(CLI::Range(0.0, 200.0));
    p->add_option("--variant", opts->m_Soak.m_szVariant,
                  "Alignment: timed motor runs, positioned steps, or both in turn (both)")
        ->check(CLI::IsMember({"both", "timed", "step"}));
    p->add_option("--folder", opts->m_Soak.m_szFolder, "Where the scenario files go while they run ($TMPDIR)");
    p->add_flag("--json", opts->m_bJson, "Machine-readable output");
    // A thousand runs would write millions of log lines; the soak measures, it does not log.
    p->add_flag("--log", opts->m_bLog, "Write Lumora.log as single runs do (slow; for a few scenarios)");
    p->callback([opts, &iExit] {
        if (opts->m_bLog)
            log_Init("lumora-cli", "Lumora.log", std::string());
        iExit = RunSoak(*opts);
    });
}
