// lumora-cli scanner test positioning / carriage: the two live tests run
// headless on the scanner (the simulator by default), writing their result files.
#include "ScanCommands.h"

#include <cstdio>
#include <memory>

#include "CliCommon.h"
#include "platform/Json.h"
#include "platform/Log.h"
#include "scanner/Scanner.h"
#include "testtools/CenterCCDEngine.h"
#include "testtools/LiveTests.h"

namespace {

struct CLiveOptions {
    int32_t m_hScanner = 0;
    bool m_bJson = false;
    std::string m_szOut;
    int32_t m_iFrames = 20;
    int32_t m_iSpeed = 100;
};

int RunTest(const CLiveOptions& o, bool bCarriage)
{
    CScanner scanner;
    int iExit = CLI_EXIT_OK;
    if (!OpenScannerForCommand(scanner, o.m_hScanner, iExit))
        return iExit;
    CCenterCCDEngine e;
    CLiveTestOptions lo;
    e.m_iScanSpeed = o.m_iSpeed;
    const int32_t iError = bCarriage ? RunCarriageTravel(scanner, e, lo) : RunPositioning(scanner, e, o.m_iFrames, lo);
    const std::string szName = LiveScannerName(scanner);
    scanner.CloseScanner(true);
    if (iError != 0) {
        std::fprintf(stderr, "lumora-cli scanner: %s test failed: %s\n", bCarriage ? "carriage" : "positioning",
                     ScannerErrorText(iError).c_str());
        return iError == ScannerProgramError(ERR_USER_CANCELLED) ? 130 : CLI_EXIT_CHECK_FAILED;
    }
    const std::string szOut = !o.m_szOut.empty() ? o.m_szOut
                              : bCarriage       ? "Vertical Camera Verification.VCV"
                                                : "Adjust Center CCD.ACC";
    std::string szWriteError;
    const bool bWritten = bCarriage ? e.WriteCarriage(szOut, CarriageResultLines(e, szName), &szWriteError)
                                    : e.WritePositioning(szOut, e.MakeResultLines(szName), &szWriteError);
    if (!bWritten) {
        std::fprintf(stderr, "lumora-cli scanner: %s: cannot be written: %s\n", szOut.c_str(), szWriteError.c_str());
        return CLI_EXIT_CANTCREAT;
    }
    const double dFront = PixelsToMove(e.m_dPathDiffFront), dRear = PixelsToMove(e.m_dPathDiffRear);
    const bool bPassed = e.Measured() && e.Passed();
    if (!bCarriage && !e.Measured())
        std::fprintf(stderr, "lumora-cli scanner: positioning test: the line was not found in %d frames\n", e.m_iSteps);
    if (o.m_bJson) {
        CJson j = CJson::MakeObject();
        j.Set("file", szOut);
        if (bCarriage) {
            j.Set("kind", KIND_MIRROR_CARRIAGE_ADJUSTMENT.m_szId);
            j.Set("rows", e.Rows());
            j.Set("path_diff_front", e.m_dPathDiffFront);
            j.Set("path_diff_rear", e.m_dPathDiffRear);
            j.Set("pixels_to_move_front", dFront);
            j.Set("pixels_to_move_rear", dRear);
            j.Set("direction_front", TurnDirection(dFront));
            j.Set("direction_rear", TurnDirection(dRear));
        } else {
            j.Set("kind", KIND_SCAN_LINE_POSITIONING.m_szId);
            static const char* kColours[3] = {"red", "green", "blue"};
            for (int32_t c = 0; c < 3; ++c) {
                CJson v = CJson::MakeObject();
                v.Set("front", e.m_dFront[size_t(c)]);
                v.Set("rear", e.m_dRear[size_t(c)]);
                j.Set(kColours[c], v);
            }
            j.Set("front_average", e.m_FrontAverage.Mean());
            j.Set("rear_average", e.m_RearAverage.Mean());
            j.Set("passed", bPassed);
        }
        std::printf("%s\n", j.Dump().c_str());
    } else if (bCarriage) {
        std::printf("%s: Path Diff Front %.2f, Rear %.2f pixels; Pix to move Front %.0f %s, Rear %.0f %s\n",
                    szOut.c_str(), e.m_dPathDiffFront, e.m_dPathDiffRear, dFront, TurnDirection(dFront), dRear,
                    TurnDirection(dRear));
    } else {
        std::printf("%s: front %.2f, rear %.2f pixels: %s\n", szOut.c_str(), e.m_dFront[2], e.m_dRear[2],
                    bPassed ? "passed" : "failed");
    }
    return bCarriage || bPassed ? CLI_EXIT_OK : CLI_EXIT_CHECK_FAILED;
}

} // namespace

void AddLiveTestCommands(CLI::App& scannerCommand, int& iExit)
{
    auto o = std::make_shared<CLiveOptions>();
    CLI::App* pTest = scannerCommand.add_subcommand("test", "The live tests: scan-line positioning, mirror carriage");
    pTest->require_subcommand(1);
    auto logStart = [] { log_Init("lumora-cli", "Lumora.log", std::string()); };
    CLI::App* pPos = pTest->add_subcommand("positioning", "Scan-line positioning test; writes the result file");
    pPos->add_option("-o,--output", o->m_szOut, "Result file (\"Adjust Center CCD.ACC\")");
    pPos->add_option("--frames", o->m_iFrames, "Frames to measure (20)")->check(CLI::Range(1, 100000));
    CLI::App* pCar = pTest->add_subcommand("carriage", "Mirror carriage adjustment test; writes the result file");
    pCar->add_option("-o,--output", o->m_szOut, "Result file (\"Vertical Camera Verification.VCV\")");
    pCar->add_option("--speed", o->m_iSpeed,
                     "Carriage speed in tenths of an inch per second (100); the dialog's Fast is 25, Middel 10, Slow 5")
        ->check(CLI::Range(1, 255));
    for (CLI::App* p : {pPos, pCar}) {
        p->add_flag("--json", o->m_bJson, "Machine-readable output");
        p->add_option("--handle", o->m_hScanner, "Scanner handle (default: the first scanner)");
    }
    pPos->callback([o, &iExit, logStart] {
        logStart();
        iExit = RunTest(*o, false);
    });
    pCar->callback([o, &iExit, logStart] {
        logStart();
        iExit = RunTest(*o, true);
    });
}
