// lumora-cli scanner scan, record and replay: a single scan into a TIFF
// file, a continuous scan recorded to ".osa", and the replay of a recording.
#include "ScanCommands.h"

#include <cstdio>
#include <memory>
#include <string>

#include "CliCommon.h"
#include "StatusLine.h"
#include "imaging/TifWriter.h"
#include "platform/Json.h"
#include "platform/Log.h"
#include "scanner/ContScan.h"
#include "scanner/Scan.h"
#include "scanner/Scanner.h"

namespace {

struct CScanOptions {
    int32_t m_hScanner = 0;
    bool m_bJson = false;
    std::string m_szOut;
    double m_dLeft = 0, m_dTop = 0, m_dWidth = -1, m_dLength = 1;
    int32_t m_iDpi = 300;
    std::string m_szMode = "gray";
    std::string m_szSpeedRecord;
    std::string m_szBase;
    int32_t m_iBlocks = 1;
    int32_t m_iNoiseMargin = 80;
};

int32_t ModeNumber(const std::string& szMode)
{
    return szMode == "lineart" ? 1 : szMode == "color" ? 3 : 2;
}

bool IsCancel(int32_t iError)
{
    return iError == ScannerProgramError(ERR_USER_CANCELLED);
}

int Report(CScanner& scanner, const char* szWhat, int32_t iError)
{
    if (IsCancel(iError))
        std::fprintf(stderr, "%s\n", ScannerErrorText(iError).c_str());
    else
        std::fprintf(stderr, "lumora-cli scanner: %s failed: %s\n", szWhat, ScannerErrorText(iError).c_str());
    scanner.CloseScanner(true);
    return CLI_EXIT_CHECK_FAILED;
}

CJson CameraArray(const int32_t* p, int32_t n)
{
    CJson a = CJson::MakeArray();
    for (int32_t i = 0; i < n; ++i)
        a.Push(p[i]);
    return a;
}

int RunScan(const CScanOptions& o)
{
    CScanner scanner;
    int iExit = CLI_EXIT_OK;
    if (!OpenScannerForCommand(scanner, o.m_hScanner, iExit))
        return iExit;
    // A sheet that cannot be loaded still gets its report, so that a script
    // reading the JSON sees why nothing was scanned.
    const int32_t iLoadError = scanner.LoadPaperIfNeeded();
    if (iLoadError != 0 && (!o.m_bJson || IsCancel(iLoadError)))
        return Report(scanner, "paper load", iLoadError);
    CScanRequest r;
    r.m_dLeft = o.m_dLeft;
    r.m_dTop = o.m_dTop;
    r.m_dWidth = o.m_dWidth >= 0 ? o.m_dWidth : scanner.m_InquiryPages.GetInt32(0xC1, 28, 0) / 1200.0 - o.m_dLeft;
    r.m_dLength = o.m_dLength;
    r.m_iResolution = o.m_iDpi;
    r.m_iColorMode = ModeNumber(o.m_szMode);
    if (r.m_iColorMode == 1)
        r.m_iLevel1 = 128;
    CPicture pic;
    CScan scan(&scanner, &pic);
    scan.m_Speed.m_bEnabled = !o.m_szSpeedRecord.empty();
    CStatusLine progress(o.m_bJson);
    scan.m_Progress = [&](int64_t iDone, int64_t iTotal) { progress.ShowPercent(iDone, iTotal, "bytes"); };
    const int32_t iResult = iLoadError != 0 ? iLoadError : scan.Scan(r);
    progress.Done();
    const int32_t iCameras = std::clamp(scanner.GetCameraCount(), 0, CPicture::kCameras);
    if (IsCancel(iResult))
        return Report(scanner, "scan", iResult);
    scanner.CloseScanner(true);

    int32_t cameras[CPicture::kCameras] = {};
    for (int32_t c = 0; c < CPicture::kCameras; ++c)
        cameras[c] = std::max(pic.PixCameras(c), 0);
    if (!o.m_szSpeedRecord.empty() && !scan.WriteScanSpeed(o.m_szSpeedRecord)) {
        std::fprintf(stderr, "lumora-cli scanner: %s\n", scan.m_Speed.m_szError.c_str());
        return CLI_EXIT_CANTCREAT;
    }
    if (pic.m_iHeight > 0) {
        if (const uint32_t iSave = SavePictureAsTiff(pic, o.m_szOut); iSave != 0) {
            std::fprintf(stderr, "lumora-cli scanner: %s: cannot be written (0x%08X)\n", o.m_szOut.c_str(), iSave);
            return CLI_EXIT_CANTCREAT;
        }
    }
    if (o.m_bJson) {
        CJson j = CJson::MakeObject();
        j.Set("file", pic.m_iHeight > 0 ? CJson(o.m_szOut) : CJson());
        j.Set("buffer_bytes", static_cast<long long>(scan.m_iBufferBytes));
        j.Set("received_bytes", pic.m_iSize);
        j.Set("width", pic.m_iWidth);
        j.Set("height", pic.m_iHeight);
        j.Set("resolution", pic.m_iResolution);
        j.Set("cameras", CameraArray(cameras, std::max(pic.NumberOfCameras(), iCameras)));
        j.Set("stalls", scan.CountStalls());
        j.Set("error", iResult);
        j.Set("error_text", iResult ? CJson(ScannerErrorText(iResult)) : CJson());
        std::printf("%s\n", j.Dump().c_str());
    } else {
        std::printf("%s: %d x %d pixels at %d dpi, %d of %lld bytes\n", o.m_szOut.c_str(), pic.m_iWidth,
                    pic.m_iHeight, pic.m_iResolution, pic.m_iSize, static_cast<long long>(scan.m_iBufferBytes));
        if (scan.m_Speed.m_bEnabled)
            std::printf("stalls: %d\n", scan.CountStalls());
    }
    if (iResult != 0) {
        std::fprintf(stderr, "lumora-cli scanner: %s failed: %s\n", iLoadError != 0 ? "paper load" : "scan",
                     ScannerErrorText(iResult).c_str());
        return CLI_EXIT_CHECK_FAILED;
    }
    if (pic.m_iHeight <= 0) {
        std::fprintf(stderr, "lumora-cli scanner: the scan delivered no line; %s not written\n", o.m_szOut.c_str());
        return CLI_EXIT_CHECK_FAILED;
    }
    return CLI_EXIT_OK;
}

// The report of record and replay: where, which layout, and per block how
// many bytes and whether its camera edges were noisy.
CJson StreamJson(const CContScan& scan, const std::string& szFile, int64_t iLines, const CJson& blocks)
{
    CJson j = CJson::MakeObject();
    j.Set("file", szFile);
    j.Set("camera_count", scan.CameraCount());
    j.Set("camera_pixels", CameraArray(scan.CameraPixels().data(), scan.CameraCount()));
    j.Set("pixels_per_line", scan.PixelsPerLine());
    j.Set("bytes_per_pixel", scan.BytesPerPixel());
    j.Set("replay_lines", static_cast<long long>(iLines));
    j.Set("blocks", blocks);
    return j;
}

CJson BlockJson(const CContScan& scan, int32_t& iNoisy)
{
    const bool bNoisy = !scan.BufferWithoutCISNoise();
    iNoisy += bNoisy;
    CJson b = CJson::MakeObject();
    b.Set("bytes", scan.ReceivedBytes());
    b.Set("lines", scan.LinesPerBlock());
    b.Set("noisy", bNoisy);
    return b;
}

void PrintStream(const CScanOptions& o, const CJson& j, const CContScan& scan, int32_t iNoisy, const char* szVerb)
{
    if (o.m_bJson) {
        std::printf("%s\n", j.Dump().c_str());
        return;
    }
    std::printf("%s: %s, %d cameras, %d pixels a line, %d blocks (%d noisy)\n", szVerb,
                j.Find("file")->Dump(-1).c_str(), scan.CameraCount(), scan.PixelsPerLine(), o.m_iBlocks, iNoisy);
}

int RunRecord(const CScanOptions& o)
{
    CScanner scanner;
    int iExit = CLI_EXIT_OK;
    if (!OpenScannerForCommand(scanner, o.m_hScanner, iExit))
        return iExit;
    if (const int32_t iError = scanner.LoadPaperIfNeeded(); iError != 0)
        return Report(scanner, "paper load", iError);
    CContScan scan(&scanner);
    scan.m_iNoiseMargin = o.m_iNoiseMargin;
    scan.StartRecording(o.m_szBase);
    if (const int32_t iError = scan.StartContinuousScan(ModeNumber(o.m_szMode)); iError != 0) {
        if (!scan.LastError().empty())
            Log_Msg(scan.LastError());
        scan.StopScan();
        return Report(scanner, "continuous scan", iError);
    }
    CJson blocks = CJson::MakeArray();
    int64_t iLines = 0;
    int32_t iNoisy = 0;
    CStatusLine progress(o.m_bJson);
    for (int32_t i = 0; i < o.m_iBlocks; ++i) {
        if (CCancel::IsCancelRequested()) {
            CCancel::SetCancelled();
            progress.Done();
            scan.StopScan();
            return Report(scanner, "record", ScannerProgramError(ERR_USER_CANCELLED));
        }
        if (const int32_t iError = scan.ReadBuffer(); iError != 0) {
            progress.Done();
            scan.StopScan();
            return Report(scanner, "record", iError);
        }
        if (!scan.AppendBlock()) {
            progress.Done();
            std::fprintf(stderr, "lumora-cli scanner: %s\n", scan.Writer()->Error().c_str());
            scan.StopScan();
            scanner.CloseScanner(true);
            return CLI_EXIT_CANTCREAT;
        }
        CJson b = BlockJson(scan, iNoisy);
        iLines += scan.LinesPerBlock();
        blocks.Push(std::move(b));
        progress.ShowPercent(i + 1, o.m_iBlocks, "blocks");
    }
    progress.Done();
    scan.StopScan();
    scanner.CloseScanner(true);
    PrintStream(o, StreamJson(scan, scan.Writer()->FileName(), iLines, blocks), scan, iNoisy, "recorded");
    return CLI_EXIT_OK;
}

int RunReplay(const CScanOptions& o)
{
    CContScan scan(nullptr);
    scan.m_iColorKind = ModeNumber(o.m_szMode) == 3 ? 2 : 1;
    scan.m_iColorComponent = scan.m_iColorKind == 2 ? ZEL_COLOR_RGB : ZEL_COLOR_GRAY;
    scan.m_iNoiseMargin = o.m_iNoiseMargin;
    if (!scan.OpenRecording(o.m_szBase)) {
        std::fprintf(stderr, "lumora-cli scanner: replay failed: %s\n", scan.LastError().c_str());
        return scan.LastError().find("no recording") != std::string::npos ? CLI_EXIT_NOINPUT : CLI_EXIT_DATAERR;
    }
    CJson blocks = CJson::MakeArray();
    int32_t iNoisy = 0;
    for (int32_t i = 0; i < o.m_iBlocks && !CCancel::IsCancelRequested(); ++i) {
        scan.ReadBuffer();
        CJson b = BlockJson(scan, iNoisy);
        blocks.Push(std::move(b));
    }
    PrintStream(o, StreamJson(scan, scan.ReplayFile(), scan.ReplayLength(), blocks), scan, iNoisy, "replayed");
    return CLI_EXIT_OK;
}

} // namespace

void AddScanCommands(CLI::App& scannerCommand, int& iExit)
{
    auto opts = std::make_shared<CScanOptions>();
    auto common = [&](CLI::App* p) {
        p->add_flag("--json", opts->m_bJson, "Machine-readable output");
        p->add_option("--handle", opts->m_hScanner, "Scanner handle (default: the first scanner)");
    };
    auto logStart = [] { log_Init("lumora-cli", "Lumora.log", std::string()); };

    CLI::App* pScan = scannerCommand.add_subcommand("scan", "Scan a region of the sheet into a TIFF file");
    pScan->add_option("-o,--output", opts->m_szOut, "TIFF file to write")->required();
    pScan->add_option("--left", opts->m_dLeft, "Left edge in inches (0)");
    pScan->add_option("--top", opts->m_dTop, "Top edge in inches (0)");
    pScan->add_option("--width", opts->m_dWidth, "Width in inches (the scanner's width)");
    pScan->add_option("--length", opts->m_dLength, "Length in inches (1)");
    pScan->add_option("--dpi", opts->m_iDpi, "Resolution in dots per inch (300)")->check(CLI::Range(1, 9600));
    pScan->add_option("--mode", opts->m_szMode, "lineart, gray or color (gray)")
        ->check(CLI::IsMember({"lineart", "gray", "color"}));
    pScan->add_option("--speed-record", opts->m_szSpeedRecord, "Write when the data arrived to this [ScanSpeed] file");
    common(pScan);
    pScan->callback([opts, &iExit, logStart] {
        logStart();
        iExit = RunScan(*opts);
    });

    auto stream = [&](CLI::App* p) {
        p->add_option("base", opts->m_szBase, "Base name of the recording")->required();
        p->add_option("--blocks", opts->m_iBlocks, "Blocks to read (1)")->check(CLI::Range(1, 1000000));
        p->add_option("--mode", opts->m_szMode, "gray or color (gray)")->check(CLI::IsMember({"gray", "color"}));
        p->add_option("--noise-margin", opts->m_iNoiseMargin,
                      "Pixels at each camera end the edge-noise check samples (80)")
            ->check(CLI::Range(0, 65535));
        common(p);
    };
    CLI::App* pRecord =
        scannerCommand.add_subcommand("record", "Record a continuous scan to <base>_OSA.osa, block by block");
    stream(pRecord);
    pRecord->callback([opts, &iExit, logStart] {
        logStart();
        iExit = RunRecord(*opts);
    });

    CLI::App* pReplay = scannerCommand.add_subcommand(
        "replay", "Replay the newest recording <base>_OSA-<n>.osa (else <base>_OSA.osa) without a scanner");
    stream(pReplay);
    pReplay->callback([opts, &iExit, logStart] {
        logStart();
        iExit = RunReplay(*opts);
    });
}
