// lumora-cli scanner: scanner diagnostics for technicians and scripts, through
// the same scanner layer the dialogs use (the simulated device by default).
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "CliCommon.h"
#include "ScanCommands.h"
#include "datafiles/ProgramErrors.h"
#include "platform/ByteOrder.h"
#include "platform/ErrorTexts.h"
#include "platform/Json.h"
#include "platform/FileHandle.h"
#include "platform/Log.h"
#include "scanner/ScanLibrary.h"
#include "scanner/Scanner.h"

namespace {

struct CScannerOptions {
    int32_t m_hScanner = 0;
    bool m_bJson = false;
    std::vector<int32_t> m_Values;
    bool m_bAdd = false;
    bool m_bIndependent = false;
    std::string m_szFile;
};

const char* ConnectionName(int32_t iConnection)
{
    switch (iConnection) {
    case ZEL_HW_USB: return "USB";
    case ZEL_HW_ETHERNET: return "ETHERNET";
    case ZEL_HW_USBCY: return "USBCY";
    default: return "UNKNOWN";
    }
}

// Program errors by their text; sense codes and library numbers as numbers.
std::string ErrorText(int32_t iError)
{
    if ((static_cast<uint32_t>(iError) >> 16 & 0xFF) == ERROR_FACILITY_PROGRAM && iError < 0)
        return ::ErrorText(ProgramErrorNumber(iError));
    switch (iError) {
    case ZEL_ERR_LIBRARY_MISSING: return "scanner library not loaded";
    case ZEL_NO_MORE_SCANNERS: return "no scanner found";
    case ZEL_ERR_BAD_HANDLE: return "no scanner with that handle";
    case ZEL_ERR_CONNECTION_LOST: return "connection to the scanner lost";
    case ZEL_ERR_SCENARIO: return "the simulator's scenario file (LUMORA_SIM_CONFIG) cannot be read";
    default: break;
    }
    static const std::pair<int32_t, const char*> kSenseCodes[] = {
        {ZEL_ASC_MEDIUM_NOT_PRESENT, "medium not present"},
        {ZEL_ASC_END_OF_MEDIUM, "read past end of medium"},
        {ZEL_ASC_END_OF_MEDIUM_2, "end of medium"},
        {ZEL_NOT_READY_YET, "scanner not ready yet"},
        {ZEL_ASC_PAPER_JAM, "paper jam"},
        {ZEL_ASC_LID_OPEN, "lid open"},
        {ZEL_ASC_INVALID_FIELD, "the scanner refused a parameter"},
    };
    for (const auto& [iCode, szText] : kSenseCodes)
        if (iError == iCode)
            return FormatText("%s (sense code 0x%04X)", szText, static_cast<unsigned>(iCode));
    return FormatText("error %d (0x%08X)", iError, static_cast<unsigned>(iError));
}

// Opens the library and the scanner; prints why not and returns false.
bool OpenForCommand(CScanner& scanner, const CScannerOptions& o, int& iExit)
{
    if (!ZelLib::EnsureLoaded()) {
        std::fprintf(stderr, "lumora-cli scanner: cannot load the scanner library libzel_scan_2000.so (%s)\n",
                     ZelLib::LoadError().c_str());
        iExit = CLI_EXIT_NOINPUT;
        return false;
    }
    if (const std::string szMissing = ZelLib::MissingEntries(); !szMissing.empty())
        std::fprintf(stderr, "lumora-cli scanner: warning: %s lacks %s; those calls do nothing\n",
                     ZelLib::LoadedPath().c_str(), szMissing.c_str());
    if (scanner.OpenScanner(o.m_hScanner, false) != 0) {
        std::fprintf(stderr, "lumora-cli scanner: cannot open the scanner: %s\n",
                     ErrorText(scanner.m_ErrorNo).c_str());
        iExit = CLI_EXIT_CHECK_FAILED;
        scanner.CloseLibrary();
        return false;
    }
    return true;
}

void Close(CScanner& scanner)
{
    scanner.CloseScanner(true);
}

int Fail(CScanner& scanner, const char* szWhat, int32_t iError)
{
    if (iError == ScannerProgramError(ERR_USER_CANCELLED))
        std::fprintf(stderr, "%s\n", ErrorText(iError).c_str());
    else
        std::fprintf(stderr, "lumora-cli scanner: %s failed: %s\n", szWhat, ErrorText(iError).c_str());
    Close(scanner);
    return CLI_EXIT_CHECK_FAILED;
}

void Print(const CJson& json)
{
    std::printf("%s\n", json.Dump().c_str());
}

CJson IntArray(const int32_t* p, int32_t n)
{
    CJson a = CJson::MakeArray();
    for (int32_t i = 0; i < n; ++i)
        a.Push(p[i]);
    return a;
}

std::string JoinInts(const int32_t* p, int32_t n)
{
    std::string sz;
    for (int32_t i = 0; i < n; ++i)
        sz += (i ? " " : "") + std::to_string(p[i]);
    return sz;
}

int RunList(const CScannerOptions& o)
{
    CScanner scanner;
    if (!ZelLib::EnsureLoaded()) {
        std::fprintf(stderr, "lumora-cli scanner: cannot load the scanner library libzel_scan_2000.so (%s)\n",
                     ZelLib::LoadError().c_str());
        return CLI_EXIT_NOINPUT;
    }
    if (scanner.RegisterAllScanners() != 0) {
        std::fprintf(stderr, "lumora-cli scanner: listing scanners failed: %s\n",
                     ErrorText(scanner.m_ErrorNo).c_str());
        scanner.CloseLibrary();
        return CLI_EXIT_CHECK_FAILED;
    }
    scanner.CloseLibrary();
    if (o.m_bJson) {
        CJson list = CJson::MakeArray();
        for (const ScannerRecord& r : scanner.m_scanners) {
            CJson j = CJson::MakeObject();
            j.Set("handle", r.m_hScanner);
            j.Set("name", r.m_szName);
            j.Set("connection", ConnectionName(r.m_iConnection));
            j.Set("display_text", CScanner::DisplayText(r.m_szName, r.m_iConnection));
            list.Push(std::move(j));
        }
        Print(list);
    } else {
        for (size_t i = 0; i < scanner.m_scanners.size(); ++i)
            std::printf("%d\t%s\n", scanner.m_scanners[i].m_hScanner,
                        scanner.GetScannerDisplayText(static_cast<int32_t>(i)).c_str());
        if (scanner.m_scanners.empty())
            std::printf("no scanners\n");
    }
    return CLI_EXIT_OK;
}

int RunInfo(const CScannerOptions& o)
{
    CScanner scanner;
    int iExit = CLI_EXIT_OK;
    if (!OpenForCommand(scanner, o, iExit))
        return iExit;
    const int32_t iCameras = scanner.GetCameraCount();
    const int32_t iModes = scanner.GetCISModeCount();
    std::vector<int32_t> modes;
    for (int32_t i = 0; i < iModes; ++i)
        modes.push_back(scanner.GetCISModeResolution(i));
    int32_t iState = 0, iPosition = 0;
    const int32_t iPaperError = scanner.GetPaperState(iState, iPosition) ? 0 : scanner.m_ErrorNo;
    int32_t stitch[7] = {};
    const int32_t iStitchError = scanner.GetStitchValues(stitch);
    const int32_t iStitchCount = std::max(iCameras - 1, 0);
    std::vector<int32_t> posA(static_cast<size_t>(iStitchCount)), posB(static_cast<size_t>(iStitchCount));
    const int32_t iPositionsError = scanner.ReadStitchPositions(posA, posB);
    std::array<int32_t, CScanner::kMaxCameras> rangeFirst{}, rangeLast{};
    const int32_t iRangesError = scanner.GetCameraPixelRanges(rangeFirst, rangeLast);
    const int32_t iRangeCount = std::clamp(iCameras, 0, CScanner::kMaxCameras);
    int8_t align[8] = {};
    const int32_t iAlignError = scanner.ReadCISAlignment(align);
    CGainOffset go;
    const int32_t iGainError = scanner.ReadGainOffset(go);
    const std::string szName = scanner.GetScannerName();
    const int32_t iNameError = scanner.m_ErrorNo == ZEL_NO_NAME ? 0 : scanner.m_ErrorNo;
    const int32_t iConnection = ZelLib::scanGetHardwareType(scanner.m_hScanner);
    const int32_t iType = scanner.GetScannerType();
    const bool bColor = scanner.IsColorScanner();
    const int32_t iOptical = scanner.GetOpticalResolution();
    const bool bSoftware = scanner.IsSoftwareScanner();
    const bool bStatusBlock = scanner.HasStatusBlock();
    const int32_t iDeviceValue = scanner.GetDeviceValue();
    Close(scanner);
    // A scanner that went away half-way leaves defaults in every field; the
    // report is still printed, but a script must not take it for a good one.
    int32_t iLost = 0;
    for (const int32_t iError :
         {iNameError, iPaperError, iStitchError, iPositionsError, iRangesError, iAlignError, iGainError})
        if (iError == ZEL_ERR_CONNECTION_LOST || iError == ZEL_ERR_LIBRARY_MISSING) {
            iLost = iError;
            break;
        }
    iExit = iLost ? CLI_EXIT_CHECK_FAILED : CLI_EXIT_OK;
    if (iLost)
        std::fprintf(stderr, "lumora-cli scanner: info incomplete: %s\n", ErrorText(iLost).c_str());

    int32_t alignValues[8];
    for (int i = 0; i < 8; ++i)
        alignValues[i] = align[i];
    static const char* const kColors[4] = {"red", "green", "blue", "gray"};
    if (o.m_bJson) {
        CJson j = CJson::MakeObject();
        j.Set("handle", scanner.m_hScanner);
        j.Set("name", szName);
        j.Set("connection", ConnectionName(iConnection));
        j.Set("type", iType);
        j.Set("color", bColor);
        j.Set("software_scanner", bSoftware);
        j.Set("device_value", iDeviceValue);
        j.Set("camera_count", iCameras);
        j.Set("optical_resolution", iOptical);
        j.Set("cis_modes", IntArray(modes.data(), static_cast<int32_t>(modes.size())));
        j.Set("has_status_block", bStatusBlock);
        j.Set("paper_state", CScanner::GetPaperStatusName(iState));
        j.Set("paper_position", iPosition);
        j.Set("stitch_values", iStitchError ? CJson() : IntArray(stitch, iStitchCount > 7 ? 7 : iStitchCount));
        CJson positions = CJson::MakeArray();
        for (int32_t i = 0; i < iStitchCount && !iPositionsError; ++i)
            positions.Push(CJson(CJson::Array{CJson(posA[static_cast<size_t>(i)]), CJson(posB[static_cast<size_t>(i)])}));
        j.Set("stitch_positions", iPositionsError ? CJson() : positions);
        CJson ranges = CJson::MakeArray();
        for (int32_t c = 0; c < iRangeCount && !iRangesError; ++c)
            ranges.Push(CJson(CJson::Array{CJson(rangeFirst[size_t(c)]), CJson(rangeLast[size_t(c)])}));
        j.Set("camera_pixel_ranges", iRangesError ? CJson() : ranges);
        j.Set("cis_alignment", iAlignError ? CJson() : IntArray(alignValues, 8));
        CJson gain = CJson::MakeArray();
        for (int32_t c = 0; c < go.m_iCameraCount && !iGainError; ++c) {
            CJson cam = CJson::MakeObject();
            cam.Set("camera", std::string(1, static_cast<char>('A' + c)));
            for (int color = 0; color < 4; ++color) {
                const int16_t* w = go.m_Cameras[static_cast<size_t>(c)].m_Words[color];
                CJson e = CJson::MakeObject();
                e.Set("odd_offset", w[CGainOffset::WORD_ODD_OFFSET]);
                e.Set("odd_gain", w[CGainOffset::WORD_ODD_GAIN]);
                e.Set("even_offset", w[CGainOffset::WORD_EVEN_OFFSET]);
                e.Set("even_gain", w[CGainOffset::WORD_EVEN_GAIN]);
                cam.Set(kColors[color], std::move(e));
            }
            gain.Push(std::move(cam));
        }
        j.Set("gain_offset", iGainError ? CJson() : gain);
        Print(j);
        return iExit;
    }
    std::printf("Name:               %s\n", CScanner::DisplayText(szName, iConnection).c_str());
    std::printf("Handle:             %d\n", scanner.m_hScanner);
    std::printf("Type:               %d%s\n", iType, bSoftware ? " (software scanner)" : "");
    std::printf("Colour:             %s\n", bColor ? "yes" : "no");
    std::printf("Cameras:            %d\n", iCameras);
    std::printf("Optical resolution: %d dpi\n", iOptical);
    std::printf("CIS modes:          %s dpi\n", JoinInts(modes.data(), static_cast<int32_t>(modes.size())).c_str());
    std::printf("Paper:              %s, position %d\n", CScanner::GetPaperStatusName(iState).c_str(), iPosition);
    std::printf("Stitch values:      %s\n",
                iStitchError ? ErrorText(iStitchError).c_str() : JoinInts(stitch, std::min(iStitchCount, 7)).c_str());
    std::printf("Stitch positions:  ");
    for (int32_t i = 0; i < iStitchCount && !iPositionsError; ++i)
        std::printf(" %c%c %d/%d", 'A' + i, 'B' + i, posA[static_cast<size_t>(i)], posB[static_cast<size_t>(i)]);
    std::printf("%s\n", iPositionsError ? (" " + ErrorText(iPositionsError)).c_str() : "");
    std::printf("Camera pixels:     ");
    for (int32_t c = 0; c < iRangeCount && !iRangesError; ++c)
        std::printf(" %c %d-%d", 'A' + c, rangeFirst[size_t(c)], rangeLast[size_t(c)]);
    std::printf("%s\n", iRangesError ? (" " + ErrorText(iRangesError)).c_str() : "");
    std::printf("CIS alignment:      %s\n",
                iAlignError ? ErrorText(iAlignError).c_str() : JoinInts(alignValues, 8).c_str());
    if (iGainError) {
        std::printf("Gain/offset:        %s\n", ErrorText(iGainError).c_str());
    } else {
        std::printf("Gain/offset:        camera colour  odd offset  odd gain  even offset  even gain\n");
        for (int32_t c = 0; c < go.m_iCameraCount; ++c)
            for (int color = 0; color < 4; ++color) {
                const int16_t* w = go.m_Cameras[static_cast<size_t>(c)].m_Words[color];
                std::printf("                    %c      %-6s %10d %9d %12d %10d\n", 'A' + c, kColors[color],
                            w[CGainOffset::WORD_ODD_OFFSET], w[CGainOffset::WORD_ODD_GAIN],
                            w[CGainOffset::WORD_EVEN_OFFSET], w[CGainOffset::WORD_EVEN_GAIN]);
            }
    }
    return iExit;
}

int PrintPaper(CScanner& scanner, const CScannerOptions& o)
{
    int32_t iState = 0, iPosition = 0;
    scanner.GetPaperState(iState, iPosition);
    if (o.m_bJson) {
        CJson j = CJson::MakeObject();
        j.Set("paper_state", CScanner::GetPaperStatusName(iState));
        j.Set("position", iPosition);
        Print(j);
    } else {
        std::printf("%s, position %d\n", CScanner::GetPaperStatusName(iState).c_str(), iPosition);
    }
    return CLI_EXIT_OK;
}

int RunPaper(const CScannerOptions& o, const std::string& szAction)
{
    CScanner scanner;
    int iExit = CLI_EXIT_OK;
    if (!OpenForCommand(scanner, o, iExit))
        return iExit;
    if (szAction == "load") {
        // Without a status block there is no state to ask; loading is then
        // the scanner's own business and always succeeds at once.
        if (scanner.HasStatusBlock() && !scanner.CanPaperBeLoaded()) {
            int32_t iState = 0, iPosition = 0;
            scanner.GetPaperState(iState, iPosition);
            std::fprintf(stderr, "lumora-cli scanner: paper cannot be loaded: %s\n",
                         CScanner::GetPaperStatusName(iState).c_str());
            Close(scanner);
            return CLI_EXIT_CHECK_FAILED;
        }
        if (scanner.LoadPaper(false) != 0)
            return Fail(scanner, "paper load", scanner.m_ErrorNo);
    } else if (szAction == "eject") {
        // Without a sheet the eject would wait out its full 90 seconds for a
        // state that never comes.
        int32_t iState = 0, iPosition = 0;
        if (scanner.GetPaperState(iState, iPosition) && iState == ZEL_PS_NOT_PRESENT) {
            std::fprintf(stderr, "lumora-cli scanner: no sheet to eject\n");
            PrintPaper(scanner, o);
            Close(scanner);
            return CLI_EXIT_OK;
        }
        if (scanner.EjectPaper() != 0)
            return Fail(scanner, "paper eject", scanner.m_ErrorNo);
    }
    PrintPaper(scanner, o);
    Close(scanner);
    return CLI_EXIT_OK;
}

int RunStitchSet(const CScannerOptions& o)
{
    CScanner scanner;
    int iExit = CLI_EXIT_OK;
    if (!OpenForCommand(scanner, o, iExit))
        return iExit;
    const int32_t iCount = std::clamp(scanner.GetCameraCount() - 1, 0, 7);
    if (static_cast<int32_t>(o.m_Values.size()) != iCount) {
        std::fprintf(stderr, "lumora-cli scanner: this scanner takes %d stitch values, %zu given\n", iCount,
                     o.m_Values.size());
        Close(scanner);
        return CLI_EXIT_USAGE;
    }
    int32_t values[7] = {};
    std::copy(o.m_Values.begin(), o.m_Values.end(), values);
    const int32_t iResult = scanner.SetStitchValues(values);
    if (iResult != 0 && iResult != -100)
        return Fail(scanner, "stitch set", iResult);
    // What the scanner holds now, read back, so clamping is visible.
    int32_t written[7] = {};
    const bool bSoftware = scanner.IsSoftwareScanner();
    int32_t iReadBack = 0;
    if (bSoftware) {
        uint8_t bytes[14] = {};
        iReadBack = scanner.ReadBuffer(ZEL_BUF_STITCH_VALUES, 0x1000000, bytes);
        for (int i = 0; i < 7; ++i)
            written[i] = static_cast<int16_t>(Be16(bytes + 2 * i));
    } else {
        iReadBack = scanner.GetStitchValues(written);
    }
    Close(scanner);
    if (o.m_bJson) {
        CJson j = CJson::MakeObject();
        j.Set("requested", IntArray(values, iCount));
        j.Set("written", iReadBack ? CJson() : IntArray(written, iCount));
        j.Set("result", iResult);
        Print(j);
    } else {
        std::printf("written: %s\nresult: %d%s\n", JoinInts(written, iCount).c_str(), iResult,
                    iResult == -100 ? " (values clamped to the scanner's range)" : "");
    }
    return CLI_EXIT_OK;
}

int RunAlignmentSet(const CScannerOptions& o)
{
    if (o.m_Values.size() > 8) {
        std::fprintf(stderr, "lumora-cli scanner: at most 8 CIS alignment values\n");
        return CLI_EXIT_USAGE;
    }
    for (const int32_t v : o.m_Values)
        if (v < -128 || v > 127) {
            std::fprintf(stderr, "lumora-cli scanner: CIS alignment value %d outside -128..127\n", v);
            return CLI_EXIT_USAGE;
        }
    CScanner scanner;
    int iExit = CLI_EXIT_OK;
    if (!OpenForCommand(scanner, o, iExit))
        return iExit;
    int8_t values[8] = {};
    for (size_t i = 0; i < std::size(values); ++i)
        values[i] = i < o.m_Values.size() ? static_cast<int8_t>(o.m_Values[i]) : int8_t(0);
    const int32_t iResult = scanner.SetCISAlignment(values, o.m_bAdd, o.m_bIndependent);
    if (iResult != 0)
        return Fail(scanner, "cis-alignment set", iResult);
    int8_t now[8] = {};
    const int32_t iReadBack = scanner.ReadCISAlignment(now);
    Close(scanner);
    int32_t written[8];
    for (int i = 0; i < 8; ++i)
        written[i] = now[i];
    if (o.m_bJson) {
        CJson j = CJson::MakeObject();
        j.Set("written", iReadBack ? CJson() : IntArray(written, 8));
        j.Set("result", iResult);
        Print(j);
    } else {
        std::printf("written: %s\nresult: %d\n", JoinInts(written, 8).c_str(), iResult);
    }
    return CLI_EXIT_OK;
}

int RunBackupRestore(const CScannerOptions& o, bool bBackup)
{
    // A missing backup is the technician's typo, not a scanner problem: say so
    // before the scanner is touched.
    if (!bBackup) {
        std::string szWhy;
        if (!OpenFile(o.m_szFile, "rb", &szWhy)) {
            std::fprintf(stderr, "lumora-cli scanner: restore failed: %s: %s\n", o.m_szFile.c_str(), szWhy.c_str());
            return CLI_EXIT_NOINPUT;
        }
    }
    CScanner scanner;
    int iExit = CLI_EXIT_OK;
    if (!OpenForCommand(scanner, o, iExit))
        return iExit;
    if (!bBackup)
        scanner.ReserveScanner(false);
    const int32_t iResult = bBackup ? scanner.BackupCalibration(o.m_szFile) : scanner.RestoreCalibration(o.m_szFile);
    if (!bBackup && CScanner::IsUnitReserved())
        scanner.ReleaseScanner(false);
    if (iResult != 0) {
        const bool bFile = !scanner.m_szFileError.empty();
        std::fprintf(stderr, "lumora-cli scanner: %s failed: %s\n", bBackup ? "backup" : "restore",
                     bFile ? scanner.m_szFileError.c_str() : ErrorText(iResult).c_str());
        Close(scanner);
        if (bFile)
            return bBackup ? CLI_EXIT_CANTCREAT : CLI_EXIT_DATAERR;
        return CLI_EXIT_CHECK_FAILED;
    }
    Close(scanner);
    if (o.m_bJson) {
        CJson j = CJson::MakeObject();
        j.Set(bBackup ? "backup" : "restore", o.m_szFile);
        j.Set("result", 0);
        Print(j);
    } else {
        std::printf("%s %s\n", bBackup ? "calibration saved to" : "calibration restored from", o.m_szFile.c_str());
    }
    return CLI_EXIT_OK;
}

} // namespace

std::string ScannerErrorText(int32_t iError)
{
    return ErrorText(iError);
}

bool OpenScannerForCommand(CScanner& scanner, int32_t hScanner, int& iExit)
{
    CScannerOptions o;
    o.m_hScanner = hScanner;
    return OpenForCommand(scanner, o, iExit);
}

void AddScannerCommand(CLI::App& app, int& iExit)
{
    auto opts = std::make_shared<CScannerOptions>();
    CLI::App* pCmd = app.add_subcommand("scanner", "Scanner diagnostics (the simulated scanner unless "
                                                   "LUMORA_SCAN_LIBRARY names another library)");
    pCmd->require_subcommand(1);
    pCmd->add_option("--handle", opts->m_hScanner, "Scanner handle (default: the first scanner)");
    pCmd->add_flag("--json", opts->m_bJson, "Machine-readable output");

    auto addJson = [&](CLI::App* p) {
        p->add_flag("--json", opts->m_bJson, "Machine-readable output");
        p->add_option("--handle", opts->m_hScanner, "Scanner handle (default: the first scanner)");
    };
    auto logStart = [] { log_Init("lumora-cli", "Lumora.log", std::string()); };

    CLI::App* pList = pCmd->add_subcommand("list", "Scanners the library offers: handle and display text");
    addJson(pList);
    pList->callback([opts, &iExit, logStart] {
        logStart();
        iExit = RunList(*opts);
    });

    CLI::App* pInfo = pCmd->add_subcommand("info", "Identity, capabilities, paper and calibration state");
    addJson(pInfo);
    pInfo->callback([opts, &iExit, logStart] {
        logStart();
        iExit = RunInfo(*opts);
    });

    CLI::App* pPaper = pCmd->add_subcommand("paper", "Paper: load, eject or show the state");
    pPaper->require_subcommand(1);
    for (const char* szAction : {"load", "eject", "status"}) {
        CLI::App* p = pPaper->add_subcommand(szAction, std::string("Paper ") + szAction);
        addJson(p);
        const std::string szName = szAction;
        p->callback([opts, &iExit, logStart, szName] {
            logStart();
            iExit = RunPaper(*opts, szName);
        });
    }

    CLI::App* pStitch = pCmd->add_subcommand("stitch", "Stitch values");
    pStitch->require_subcommand(1);
    CLI::App* pStitchSet = pStitch->add_subcommand("set", "Write one stitch value per stitch (cameras - 1)");
    pStitchSet->add_option("values", opts->m_Values, "Stitch values")->required()->allow_extra_args();
    addJson(pStitchSet);
    pStitchSet->callback([opts, &iExit, logStart] {
        logStart();
        iExit = RunStitchSet(*opts);
    });

    CLI::App* pAlign = pCmd->add_subcommand("cis-alignment", "CIS alignment per stitch area");
    pAlign->require_subcommand(1);
    CLI::App* pAlignSet = pAlign->add_subcommand("set", "Write up to eight alignment values");
    pAlignSet->add_option("values", opts->m_Values, "Alignment values")->required();
    pAlignSet->add_flag("--add", opts->m_bAdd, "Add to the current values");
    pAlignSet->add_flag("--independent", opts->m_bIndependent, "Do not carry each value on to the following areas");
    addJson(pAlignSet);
    pAlignSet->callback([opts, &iExit, logStart] {
        logStart();
        iExit = RunAlignmentSet(*opts);
    });

    AddScanCommands(*pCmd, iExit);
    AddLiveTestCommands(*pCmd, iExit);
    AddAlignCommands(*pCmd, iExit);
    AddCalibrateCommand(*pCmd, iExit);
    AddSoakCommand(*pCmd, iExit);

    CLI::App* pBackup = pCmd->add_subcommand("backup", "Save the scanner's calibration to a file");
    pBackup->add_option("file", opts->m_szFile, "Backup file")->required();
    addJson(pBackup);
    pBackup->callback([opts, &iExit, logStart] {
        logStart();
        iExit = RunBackupRestore(*opts, true);
    });

    CLI::App* pRestore = pCmd->add_subcommand("restore", "Write a saved calibration back to the scanner");
    pRestore->add_option("file", opts->m_szFile, "Backup file")->required();
    addJson(pRestore);
    pRestore->callback([opts, &iExit, logStart] {
        logStart();
        iExit = RunBackupRestore(*opts, false);
    });
}
