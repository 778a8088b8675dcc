#include "SimDevice.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cmath>
#include <cstdlib>
#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/ByteOrder.h"
#include "platform/AtomicFile.h"
#include "platform/IniFile.h"
#include "scanner/zel_scan_2000.h"

namespace sim {

namespace {

// Microseconds of the clock the device runs on: the wall clock, or the
// process's CPU time, which a busy host cannot make jump (seeded soaks on a
// shared machine).
int64_t ClockUs(bool bCpu)
{
    if (bCpu) {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return static_cast<int64_t>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
    }
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int32_t ParseNumber(const std::string& sz)
{
    return static_cast<int32_t>(std::strtol(sz.c_str(), nullptr, 0));
}

std::vector<std::string> Split(const std::string& sz, char c)
{
    std::vector<std::string> parts;
    size_t iStart = 0;
    for (;;) {
        const size_t iEnd = sz.find(c, iStart);
        std::string szPart = sz.substr(iStart, iEnd == std::string::npos ? std::string::npos : iEnd - iStart);
        const size_t a = szPart.find_first_not_of(" \t");
        const size_t b = szPart.find_last_not_of(" \t");
        parts.push_back(a == std::string::npos ? std::string() : szPart.substr(a, b - a + 1));
        if (iEnd == std::string::npos)
            return parts;
        iStart = iEnd + 1;
    }
}

} // namespace

void CScenario::LoadOptics(const CIniFile& ini)
{
    auto real = [&](const std::string& szSection, const char* szKey, double& target, double dLow, double dHigh) {
        if (const auto v = ini.Get(szSection, szKey)) {
            const double d = std::strtod(v->c_str(), nullptr);
            if (std::isfinite(d))
                target = std::clamp(d, dLow, dHigh);
        }
    };
    if (const auto v = ini.Get("Sheet", "Kind")) {
        static const std::pair<const char*, ESheetKind> kKinds[] = {{"flat", ESheetKind::Flat},
                                                                    {"white", ESheetKind::White},
                                                                    {"calibration", ESheetKind::Calibration},
                                                                    {"line", ESheetKind::Line}};
        for (const auto& [szName, eKind] : kKinds)
            if (*v == szName)
                m_eSheet = eKind;
    }
    constexpr double kBig = 1.0e6;
    real("Sheet", "FrontLineY", m_dFrontLineY, -kBig, kBig);
    real("Sheet", "RearLineY", m_dRearLineY, -kBig, kBig);
    real("Sheet", "LineY", m_dLineY, -kBig, kBig);
    real("Sheet", "LineWidth", m_dLineWidth, 0.0, 1000.0);
    real("Sheet", "WireSlant", m_dWireSlant, -10.0, 10.0);
    real("Sheet", "MarkGap", m_dMarkGap, 0.0, 1000.0);
    real("Sheet", "MarkSlope", m_dMarkSlope, -10.0, 10.0);
    real("Sheet", "MarkReach", m_dMarkReach, 0.0, kBig);
    real("Sheet", "MarkRepeat", m_dMarkRepeat, 0.0, kBig);
    real("Sheet", "MarkWidth", m_dMarkWidth, 0.1, 100.0);
    real("Sheet", "White", m_dPaperWhite, 0.0, 1.0);
    real("Sheet", "Card", m_dCardBlack, 0.0, 1.0);
    real("Sheet", "FineLines", m_dFineLines, 0.0, 1000.0);
    real("Lamp", "Weakness", m_dLampWeakness, 0.0, 1.0);
    real("Carriage", "Tilt", m_dCarriageTilt, -kBig, kBig);
    real("Scan", "Speed", m_dScanSpeed, 0.0, 1000.0);
    double dSeed = m_iNoiseSeed;
    real("Noise", "Seed", dSeed, 0.0, 4294967295.0);
    m_iNoiseSeed = static_cast<uint32_t>(dSeed);
    real("Noise", "Sigma", m_dNoiseSigma, 0.0, 255.0);
    if (const auto v = ini.Get("Noise", "CISNoiseEvery"))
        m_iCISNoiseEvery = std::max(ParseNumber(*v), 0);
    if (const auto v = ini.Get("Noise", "CISNoiseWidth"))
        m_iCISNoiseWidth = std::clamp(ParseNumber(*v), 0, 65535);
    for (int32_t c = 0; c < kMaxCameras; ++c) {
        const std::string szSection = std::string("Camera.") + static_cast<char>('A' + c);
        CCameraScenario& cs = m_Camera[static_cast<size_t>(c)];
        real(szSection, "OffsetX", cs.m_dOffsetX, -kBig, kBig);
        real(szSection, "OffsetY", cs.m_dOffsetY, -kBig, kBig);
        real(szSection, "Tilt", cs.m_dTilt, -kBig, kBig);
        real(szSection, "WidthError", cs.m_dWidthError, -1000.0, 1000.0);
        real(szSection, "Black", cs.m_dBlack, -255.0, 255.0);
        real(szSection, "WhiteGain", cs.m_dWhiteGain, 0.0, 100.0);
        real(szSection, "OddBlack", cs.m_dOddBlack, -255.0, 255.0);
        real(szSection, "OddWhiteGain", cs.m_dOddWhiteGain, 0.0, 100.0);
        real(szSection, "Lamp", cs.m_dLamp, 0.0, 100.0);
        real(szSection, "Falloff", cs.m_dFalloff, 0.0, 1.0);
        real(szSection, "Blur", cs.m_dBlur, 0.0, 200.0);
        real(szSection, "MotorX", cs.m_dMotorX, -kBig, kBig);
        real(szSection, "MotorY", cs.m_dMotorY, -kBig, kBig);
        real(szSection, "MotorWidth", cs.m_dMotorWidth, -1000.0, 1000.0);
        if (const auto v = ini.Get(szSection, "Phase"))
            cs.m_iPhase = ParseNumber(*v) & 1;
        if (const auto v = ini.Get(szSection, "MotorStuck"))
            cs.m_bMotorStuck = ParseNumber(*v) != 0;
    }
}

bool CScenario::Load(const std::string& szPath, std::string& szError)
{
    CIniFile ini;
    if (!ini.Load(szPath)) {
        szError = szPath + ": cannot be read";
        return false;
    }
    auto num = [&](const char* szSection, const char* szKey, auto& target) {
        if (const auto v = ini.Get(szSection, szKey))
            target = static_cast<std::remove_reference_t<decltype(target)>>(ParseNumber(*v));
    };
    auto flag = [&](const char* szSection, const char* szKey, bool& target) {
        if (const auto v = ini.Get(szSection, szKey))
            target = ParseNumber(*v) != 0;
    };
    if (const auto v = ini.Get("Device", "Handles")) {
        m_Handles.clear();
        for (const std::string& s : Split(*v, ','))
            if (!s.empty())
                m_Handles.push_back(ParseNumber(s));
    }
    if (const auto v = ini.Get("Device", "Names"))
        m_Names = Split(*v, '|');
    if (const auto v = ini.Get("Device", "Connections")) {
        m_Connections.clear();
        for (const std::string& s : Split(*v, ','))
            m_Connections.push_back(ParseNumber(s));
    }
    if (const auto v = ini.Get("Device", "StateFile"))
        m_szStateFile = *v;
    if (const auto v = ini.Get("Device", "TimeScale"))
        m_dTimeScale = std::clamp(std::strtod(v->c_str(), nullptr), 0.001, 1.0e6);
    if (const auto v = ini.Get("Device", "Clock"))
        m_bCpuClock = *v == "cpu";

    num("Model", "Type", m_iType);
    flag("Model", "Color", m_bColor);
    flag("Model", "GrayAsRgb", m_bGrayAsRgb);
    num("Model", "Cameras", m_iCameras);
    num("Model", "OpticalResolution", m_iOpticalResolution);
    flag("Model", "SoftwareScanner", m_bSoftwareScanner);
    if (ini.Get("Model", "CISModes")) {
        num("Model", "CISModes", m_byCISModes);
        m_bCISModesGiven = true;
    }
    if (const auto v = ini.Get("Model", "CISResolutions")) {
        m_CISResolutions.clear();
        for (const std::string& s : Split(*v, ','))
            m_CISResolutions.push_back(ParseNumber(s));
    }
    num("Model", "DeviceValue", m_iDeviceValue);
    num("Model", "BlockSize", m_iBlockSize);
    num("Model", "ScanWidth", m_iScanWidth);
    num("Model", "CameraOverlap", m_iCameraOverlap);
    num("Model", "StatusBlockValue", m_iStatusBlockValue);
    if (const auto v = ini.Get("Model", "UnitLetter"); v && !v->empty())
        m_cUnitLetter = (*v)[0];
    num("Model", "WindowPageLength", m_iWindowPageLength);
    num("Model", "GammaLength", m_iGammaLength);
    num("Model", "StitchMin", m_iStitchMin);
    num("Model", "StitchMax", m_iStitchMax);
    num("Model", "LeastLines", m_iLeastLines);
    num("Model", "MostLines", m_iMostLines);
    num("Model", "LensAreas", m_iLensAreas);

    if (const auto v = ini.Get("Paper", "Initial")) {
        static const std::pair<const char*, int32_t> kNames[] = {
            {"none", 0x00}, {"ejected", 0x10}, {"inserted", 0x11}, {"unknown", 0x12}, {"ready", 0x30}};
        m_iInitialPaper = ParseNumber(*v);
        for (const auto& [szName, iState] : kNames)
            if (*v == szName)
                m_iInitialPaper = iState;
    }
    num("Paper", "LoadMs", m_iLoadMs);
    num("Paper", "MoveMs", m_iMoveMs);
    num("Paper", "PositionMs", m_iPositionMs);
    num("Paper", "EjectMs", m_iEjectMs);
    num("Paper", "Speed", m_iPaperSpeed);
    num("Paper", "Length", m_iPaperLength);
    num("Paper", "MotorSpeed", m_iMotorSpeed);
    num("Paper", "RebootMs", m_iRebootMs);

    flag("Faults", "SelfTestOnOpen", m_bSelfTestOnOpen);
    num("Faults", "NotReadyReads", m_iNotReadyReads);
    flag("Faults", "PaperJam", m_bPaperJam);
    flag("Faults", "LidOpen", m_bLidOpen);
    flag("Faults", "NoStatusBlock", m_bNoStatusBlock);
    flag("Faults", "NoName", m_bNoName);
    num("Faults", "StatusLength", m_iStatusLength);
    num("Faults", "OverReport", m_iOverReport);
    num("Faults", "LoseConnectionAfter", m_iLoseConnectionAfter);
    num("Faults", "SlowReadMs", m_iSlowReadMs);
    num("Faults", "StallEvery", m_iStallEvery);
    num("Faults", "StallMs", m_iStallMs);
    num("Faults", "RebootsToApply", m_iRebootsToApply);
    num("Model", "DarkPixels", m_iDarkPixels);
    num("Model", "GainBits", m_iGainBits);
    num("Model", "GainDelayLines", m_iGainDelayLines);
    m_iGainDelayLines = std::clamp(m_iGainDelayLines, 0, 100000);
    num("Model", "Generation", m_iGeneration);
    LoadOptics(ini);
    // CheckCondition.<entry>[.<data type or buffer id>] = <sense>[,<count>]
    for (const auto& [szKey, szValue] : ini.Entries("Faults")) {
        static const std::string kPrefix = "checkcondition.";
        std::string szLower = szKey;
        std::transform(szLower.begin(), szLower.end(), szLower.begin(), ::tolower);
        if (szLower.rfind(kPrefix, 0) != 0)
            continue;
        const std::vector<std::string> parts = Split(szKey.substr(kPrefix.size()), '.');
        const std::vector<std::string> values = Split(szValue, ',');
        CInjectedCheck check;
        check.m_szEntry = parts[0];
        check.m_iSelector = parts.size() > 1 ? ParseNumber(parts[1]) : -1;
        check.m_iSense = ParseNumber(values[0]);
        check.m_iRemaining = values.size() > 1 ? ParseNumber(values[1]) : -1;
        m_Checks.push_back(check);
    }
    // Page.0xC1 = hex bytes: replaces a whole inquiry page (hostile devices).
    for (const auto& [szKey, szValue] : ini.Entries("Pages")) {
        std::vector<uint8_t> bytes;
        for (const std::string& s : Split(szValue, ' '))
            if (!s.empty())
                bytes.push_back(static_cast<uint8_t>(std::strtoul(s.c_str(), nullptr, 16)));
        m_PageOverrides[static_cast<uint8_t>(ParseNumber(szKey))] = std::move(bytes);
    }
    return true;
}

CLibrary& CLibrary::Instance()
{
    static CLibrary lib;
    return lib;
}

void CLibrary::Reset()
{
    m_Scenario = CScenario();
    m_szScenarioError.clear();
    m_szScenarioPathInUse.clear();
    if (const char* szPath = std::getenv("LUMORA_SIM_CONFIG"); szPath && *szPath) {
        m_szScenarioPathInUse = szPath;
        if (!m_Scenario.Load(szPath, m_szScenarioError))
            m_Scenario = CScenario();
    }
    m_Devices.clear();
    const CScenario& s = m_Scenario;
    for (size_t i = 0; i < s.m_Handles.size() && i < 64; ++i) {
        CDevice d;
        d.m_hHandle = s.m_Handles[i];
        d.m_szName = i < s.m_Names.size() ? s.m_Names[i] : s.m_Names.empty() ? "Lumora SimScan" : s.m_Names.back();
        d.m_iConnection = i < s.m_Connections.size() ? s.m_Connections[i] : 1;
        d.m_iPaper = s.m_bLidOpen ? 0x14 : s.m_iInitialPaper;
        d.m_iPosition = d.m_iPaper == 0x30 ? 0 : -1;
        // A fresh device: neutral gain/offset, no stitch or alignment corrections.
        std::vector<uint8_t> go(static_cast<size_t>(kMaxCameras) * 32 + 1, 0);
        // The neutral gain is the middle of the front end's range.
        const int32_t iNeutralGain = s.m_iGainBits == 5 ? 16 : 128;
        for (size_t e = 0; e + 8 <= go.size(); e += 8) {
            PutBe16(&go[e], 16);                // even offset
            PutBe16(&go[e + 2], iNeutralGain);  // even gain
            PutBe16(&go[e + 4], 16);            // odd offset
            PutBe16(&go[e + 6], iNeutralGain);  // odd gain
        }
        d.m_Buffers[{ZEL_BUF_GAIN_OFFSET, 0}] = go;
        std::vector<uint8_t> unit(255, 0);
        for (size_t k = 0; k < unit.size(); ++k)
            unit[k] = static_cast<uint8_t>(1 + k % 26);
        d.m_Buffers[{ZEL_BUF_UNIT_TEXT, 0}] = unit;
        const std::string szSerial = "SIM" + std::to_string(100000000 + d.m_hHandle);
        d.m_Buffers[{ZEL_BUF_SERIAL, 0}] = std::vector<uint8_t>(szSerial.begin(), szSerial.end());
        std::vector<uint8_t> res(2);
        PutBe16(res.data(), s.m_CISResolutions.empty() ? s.m_iOpticalResolution : s.m_CISResolutions.back());
        d.m_Buffers[{ZEL_BUF_CIS_RESOLUTION, 0}] = res;
        std::vector<uint8_t> factors(static_cast<size_t>(kMaxCameras) * 8);
        for (size_t k = 0; k < factors.size(); k += 2)
            PutBe16(&factors[k], 256);
        d.m_QueryValues[5] = factors;
        std::vector<uint8_t> lens(static_cast<size_t>(std::clamp(s.m_iLensAreas, 0, 255)) * 8);
        for (size_t k = 0; k < lens.size(); ++k)
            lens[k] = static_cast<uint8_t>(k * 7);
        d.m_Sent[{ZEL_DT_LENS_CORRECTION, 2}] = lens;
        // Scan line ranges (codes 2 and 4): first line and line count.
        d.m_QueryValues[2] = {0, 10, 0x07, 0xD0};
        d.m_QueryValues[4] = {0, 20, 0x07, 0xD0};
        d.m_Buffers[{ZEL_BUF_STITCH_POSITIONS, 0}] = DefaultStitchPositions(s);
        m_Devices.push_back(std::move(d));
    }
    m_bStitched = true;
    m_pImageSource = MakeImageSource(m_Scenario);
    m_szStateFile = StateFileFor(m_Scenario, !m_szScenarioPathInUse.empty());
    m_iCalls = 0;
    m_iEnumerated = 0;
    m_iStartUs = ClockUs(m_Scenario.m_bCpuClock);
    LoadState();
}

namespace {

std::string Hex(const std::vector<uint8_t>& bytes)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string sz;
    for (const uint8_t b : bytes) {
        sz += kDigits[b >> 4];
        sz += kDigits[b & 15];
    }
    return sz.empty() ? "-" : sz;
}

bool Unhex(const std::string& sz, std::vector<uint8_t>& bytes)
{
    bytes.clear();
    if (sz == "-")
        return true;
    if (sz.size() % 2 != 0 || sz.size() > 2u * (1u << 20))
        return false;
    for (size_t i = 0; i < sz.size(); i += 2) {
        const std::string szByte = sz.substr(i, 2);
        char* pEnd = nullptr;
        const unsigned long v = std::strtoul(szByte.c_str(), &pEnd, 16);
        if (*pEnd != '\0')
            return false;
        bytes.push_back(static_cast<uint8_t>(v));
    }
    return true;
}

} // namespace

std::string StateFileFor(const CScenario& s, bool bFromScenarioFile)
{
    if (!s.m_szStateFile.empty())
        return s.m_szStateFile;
    if (const char* sz = std::getenv("LUMORA_SIM_STATE"))
        return std::string(sz) == "none" ? std::string() : std::string(sz);
    // A device set up by a scenario file keeps its state only when the file
    // asks for it; the default device behaves like a scanner on the desk and
    // remembers its paper and calibration until the session ends.
    if (bFromScenarioFile)
        return std::string();
    std::string szDir;
    if (const char* sz = std::getenv("XDG_RUNTIME_DIR"); sz && *sz == '/')
        szDir = std::string(sz) + "/lumora";
    else if (const char* szState = std::getenv("XDG_STATE_HOME"); szState && *szState == '/')
        szDir = std::string(szState) + "/lumora";
    else if (const char* szHome = std::getenv("HOME"); szHome && *szHome == '/')
        szDir = std::string(szHome) + "/.local/state/lumora";
    else
        return std::string();
    return szDir + "/simulated-scanner.state";
}

void CLibrary::SaveState()
{
    if (m_szStateFile.empty())
        return;
    // Two programs may close the device at once: each writes its own
    // temporary file and the rename decides.
    const size_t iSlash = m_szStateFile.rfind('/');
    if (iSlash != std::string::npos && iSlash > 0) {
        const std::string szDir = m_szStateFile.substr(0, iSlash);
        if (::access(szDir.c_str(), F_OK) != 0) {
            const size_t iParent = szDir.rfind('/');
            if (iParent != std::string::npos && iParent > 0)
                ::mkdir(szDir.substr(0, iParent).c_str(), 0700);
            ::mkdir(szDir.c_str(), 0700);
        }
    }
    std::string sz;
    char szLine[128];
    for (CDevice& d : m_Devices) {
        Advance(d);
        // A movement still under way is stored as finished.
        int32_t iPaper = d.m_iPaper;
        int64_t iPosition = d.m_iPosition;
        if (!d.m_PaperSteps.empty()) {
            iPaper = d.m_PaperSteps.back().second;
            iPosition = iPaper == 0x10 ? -1 : d.m_iTargetPosition;
        }
        if (iPaper == 0x24)
            iPaper = 0x30;
        std::snprintf(szLine, sizeof(szLine), "device %d\npaper %d %lld\n", d.m_hHandle, iPaper,
                      static_cast<long long>(iPosition));
        sz += szLine;
        for (const auto& [key, bytes] : d.m_Buffers)
            sz += "buffer " + std::to_string(key.first) + " " + std::to_string(key.second) + " " + Hex(bytes) + "\n";
        for (const auto& [code, bytes] : d.m_QueryValues)
            sz += "query " + std::to_string(code) + " " + Hex(bytes) + "\n";
        for (const auto& [key, bytes] : d.m_Sent)
            sz += "sent " + std::to_string(key.first) + " " + std::to_string(key.second) + " " + Hex(bytes) + "\n";
        for (size_t i = 0; i < d.m_Motors.size(); ++i)
            sz += "motor " + std::to_string(i) + " " + std::to_string(static_cast<long long>(d.m_Motors[i].m_iTarget)) + "\n";
    }
    // A state that cannot be saved is no fault of the device: the next
    // program finds the last one that was.
    WriteFileAtomically(m_szStateFile, sz);
}

void CLibrary::LoadState()
{
    if (m_szStateFile.empty())
        return;
    std::FILE* f = std::fopen(m_szStateFile.c_str(), "rb");
    if (!f)
        return;
    CDevice* pDevice = nullptr;
    // Lines are bounded: a buffer never exceeds 1 MiB, hex doubles it.
    std::vector<char> line(2u * (1u << 20) + 256);
    while (std::fgets(line.data(), static_cast<int>(line.size()), f)) {
        std::string sz(line.data());
        while (!sz.empty() && (sz.back() == '\n' || sz.back() == '\r'))
            sz.pop_back();
        const std::vector<std::string> parts = Split(sz, ' ');
        auto num = [&](size_t i) { return i < parts.size() ? std::strtoll(parts[i].c_str(), nullptr, 10) : 0; };
        std::vector<uint8_t> bytes;
        if (parts[0] == "device") {
            pDevice = Find(static_cast<int32_t>(num(1)));
        } else if (!pDevice) {
            continue;
        } else if (parts[0] == "paper" && parts.size() == 3 && !m_Scenario.m_bLidOpen) {
            pDevice->m_iPaper = static_cast<int32_t>(num(1) & 0xFF);
            pDevice->m_iPosition = std::clamp<int64_t>(num(2), -1, m_Scenario.m_iPaperLength);
            pDevice->m_iTargetPosition = std::max<int64_t>(pDevice->m_iPosition, 0);
        } else if (parts[0] == "buffer" && parts.size() == 4 && Unhex(parts[3], bytes)) {
            pDevice->m_Buffers[{static_cast<int32_t>(num(1)), static_cast<int32_t>(num(2))}] = bytes;
        } else if (parts[0] == "query" && parts.size() == 3 && Unhex(parts[2], bytes)) {
            pDevice->m_QueryValues[static_cast<int32_t>(num(1))] = bytes;
        } else if (parts[0] == "sent" && parts.size() == 4 && Unhex(parts[3], bytes)) {
            pDevice->m_Sent[{static_cast<int32_t>(num(1)), static_cast<int32_t>(num(2))}] = bytes;
        } else if (parts[0] == "motor" && parts.size() == 3 && num(1) >= 0 && num(1) < kMaxCameras) {
            CMotor& m = pDevice->m_Motors[static_cast<size_t>(num(1))];
            m.m_iPosition = m.m_iTarget = std::clamp<int64_t>(num(2), -1000000000, 1000000000);
        }
    }
    std::fclose(f);
}

int32_t CLibrary::OpenLib()
{
    // A fresh scenario whenever nothing is open: each run (or test) sees the
    // device of its own LUMORA_SIM_CONFIG.
    // A lost connection or a different scenario also starts a new device.
    const bool bAnyOpen = std::any_of(m_Devices.begin(), m_Devices.end(), [](const CDevice& d) { return d.m_bOpen; });
    const char* szPath = std::getenv("LUMORA_SIM_CONFIG");
    const std::string szScenario = szPath ? szPath : "";
    const bool bLost = m_Scenario.m_iLoseConnectionAfter >= 0 && m_iCalls > m_Scenario.m_iLoseConnectionAfter;
    if (!bAnyOpen || bLost || szScenario != m_szScenarioPath)
        Reset();
    m_szScenarioPath = szScenario;
    // A scenario that cannot be read must not quietly become the default device.
    if (!m_szScenarioError.empty())
        return ZEL_ERR_SCENARIO;
    ++m_iOpenCount;
    return ZEL_OK;
}

int32_t CLibrary::CloseLib()
{
    if (m_iOpenCount == 0)
        return ZEL_ERR_NOT_OPEN;
    --m_iOpenCount;
    SaveState();
    return ZEL_OK;
}

int32_t CLibrary::CountCall()
{
    ++m_iCalls;
    if (m_Scenario.m_iLoseConnectionAfter >= 0 && m_iCalls > m_Scenario.m_iLoseConnectionAfter)
        return ZEL_ERR_CONNECTION_LOST;
    return 0;
}

int32_t CLibrary::Injected(CDevice* pDevice, const char* szEntry, int32_t iSelector)
{
    for (CInjectedCheck& c : m_Scenario.m_Checks) {
        if (c.m_iRemaining == 0 || c.m_szEntry != szEntry || (c.m_iSelector >= 0 && c.m_iSelector != iSelector))
            continue;
        if (c.m_iRemaining > 0)
            --c.m_iRemaining;
        if (pDevice)
            return CheckCondition(*pDevice, c.m_iSense);
        return ZEL_CHECK_CONDITION;
    }
    return 0;
}

CDevice* CLibrary::Find(int32_t hScanner)
{
    for (CDevice& d : m_Devices)
        if (d.m_hHandle == hScanner)
            return &d;
    return nullptr;
}

int64_t CLibrary::SimNow() const
{
    return static_cast<int64_t>(static_cast<double>(ClockUs(m_Scenario.m_bCpuClock) - m_iStartUs) / 1000.0 *
                                m_Scenario.m_dTimeScale);
}

int32_t CLibrary::Cameras() const
{
    return std::clamp(m_Scenario.m_iCameras, 0, kMaxCameras);
}

CLayout CLibrary::Layout(const CDevice& d) const
{
    const CWindow& w = d.m_Window;
    if (!w.m_bSet)
        return MakeLayout(m_Scenario, d, m_bStitched, Nominal(m_Scenario).m_iResolution, 0, -1);
    return MakeLayout(m_Scenario, d, m_bStitched, w.m_iXResolution, w.m_iLeft, w.m_iWidth);
}

void CLibrary::Advance(CDevice& d)
{
    const int64_t iNow = SimNow();
    while (!d.m_PaperSteps.empty() && d.m_PaperSteps.front().first <= iNow) {
        d.m_iPaper = d.m_PaperSteps.front().second;
        d.m_PaperSteps.erase(d.m_PaperSteps.begin());
        if (d.m_iPaper == 0x30 || d.m_iPaper == 0x31 || d.m_iPaper == 0x10)
            d.m_iPosition = d.m_iPaper == 0x10 ? -1 : d.m_iTargetPosition;
    }
    // Motors move at their speed towards the target, or run while switched on.
    const int64_t iElapsed = iNow - d.m_iMotorTime;
    d.m_iMotorTime = iNow;
    const int64_t iStep = iElapsed * m_Scenario.m_iMotorSpeed / 1000;
    for (size_t c = 0; c < d.m_Motors.size(); ++c) {
        CMotor& m = d.m_Motors[c];
        // A stuck motor takes every command and turns nothing.
        if (m_Scenario.m_Camera[c].m_bMotorStuck)
            continue;
        if (m.m_iRun != 0) {
            m.m_iPosition += m.m_iRun * iStep;
            m.m_iTarget = m.m_iPosition;
        } else if (m.m_iPosition < m.m_iTarget) {
            m.m_iPosition = std::min(m.m_iPosition + iStep, m.m_iTarget);
        } else if (m.m_iPosition > m.m_iTarget) {
            m.m_iPosition = std::max(m.m_iPosition - iStep, m.m_iTarget);
        }
    }
}

std::vector<uint8_t> CLibrary::InquiryPage(uint8_t byPage) const
{
    const CScenario& s = m_Scenario;
    if (const auto it = s.m_PageOverrides.find(byPage); it != s.m_PageOverrides.end())
        return it->second;
    std::vector<uint8_t> page;
    switch (byPage) {
    case 0xC0:
        page.assign(200, 0);
        page[65] = static_cast<uint8_t>(s.m_cUnitLetter);
        PutBe32(&page[60], s.m_iDeviceValue);
        // A device without a status block says so here.
        PutBe32(&page[191], s.m_bNoStatusBlock && s.m_iStatusBlockValue < 0 ? -2 : s.m_iStatusBlockValue);
        break;
    case 0xC1:
        page.assign(160, 0);
        page[3] = static_cast<uint8_t>(s.m_CISResolutions.empty() ? 130 : 151);
        page[8] = s.m_bColor ? 1 : 0;
        page[19] = static_cast<uint8_t>(std::clamp(s.m_iCameras, 0, 255));
        PutBe32(&page[24], s.m_iBlockSize);
        PutBe32(&page[28], s.m_iScanWidth);
        page[66] = static_cast<uint8_t>(s.m_iWindowPageLength);
        page[85] = s.m_bGrayAsRgb ? 1 : 0;
        page[124] = s.m_bSoftwareScanner ? 1 : 0;
        page[125] = CISModes();
        page[128] = static_cast<uint8_t>(s.m_iType);
        for (int32_t bit = 0, iMode = 0; bit < 8; ++bit) {
            if (!(CISModes() & (1 << bit)))
                continue;
            if (iMode < static_cast<int32_t>(s.m_CISResolutions.size()))
                PutBe16(&page[static_cast<size_t>(135 + 2 * bit)], s.m_CISResolutions[static_cast<size_t>(iMode)]);
            ++iMode;
        }
        break;
    case 0xC3:
        page.assign(16, 0);
        PutBe32(&page[8], s.m_iOpticalResolution);
        break;
    case 0xC4:
        page.assign(40, 0);
        PutBe32(&page[36], s.m_iGammaLength);
        break;
    case 0xC6:
        // Byte 88 names the analog front end: 2 for 5-bit gains.
        page.assign(100, 0);
        page[88] = s.m_iGainBits == 5 ? 2 : 1;
        break;
    default: break;
    }
    return page;
}

std::vector<uint8_t> CLibrary::StatusBlock(CDevice& d)
{
    Advance(d);
    std::vector<uint8_t> block(100, 0);
    uint8_t byState = 0;
    if (d.m_iRebootUntil >= 0)
        byState = SimNow() < d.m_iRebootUntil ? 10 : 4;
    else if (d.m_iNotReadyLeft > 0) {
        --d.m_iNotReadyLeft;
        byState = 10;
    }
    block[0] = byState;
    block[1] = static_cast<uint8_t>(d.m_iPaper);
    PutBe32(&block[2], d.m_iPosition < 0 ? 0 : d.m_iPosition);
    if (d.m_Window.m_bSet)
        PutBe32(&block[21], Layout(d).m_iWidth);
    // Firmware stage (39 and up: running) and whether written calibration is
    // in use, which some models take only after one or more restarts.
    block[28] = byState == 10 ? 0 : 40;
    block[38] = d.m_iRebootsPending == 0 ? 1 : 0;
    return block;
}

uint8_t CLibrary::CISModes() const
{
    const CScenario& s = m_Scenario;
    if (s.m_bCISModesGiven || !s.m_CISResolutions.empty() || !s.m_bSoftwareScanner)
        return s.m_byCISModes;
    // A software scanner without a mode list has one mode: its optical
    // resolution, in the bit the classic table gives it.
    switch (s.m_iOpticalResolution) {
    case 300: return 0x01;
    case 1200: return 0x04;
    case 508: return 0x08;
    default: return 0x02;
    }
}

int32_t CheckCondition(CDevice& d, int32_t iSense)
{
    d.m_iLastAsc = iSense;
    return ZEL_CHECK_CONDITION;
}

} // namespace sim
