#include "calibration/StitchAndAlignment.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <thread>

#include "datafiles/ConFile.h"
#include "datafiles/ConHeader.h"
#include "datafiles/ProgramErrors.h"
#include "datafiles/Settings.h"
#include "imaging/TifWriter.h"
#include "platform/Log.h"
#include "scanner/ContScan.h"
#include "scanner/Scanner.h"

namespace {

constexpr double kStartLimit = 0.05;
constexpr double kMoveLimit = 0.95;

uint32_t SteadyMs()
{
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

int32_t Sign(double d) { return d <= 0 ? -1 : 1; }

} // namespace

const char* COscilloscopeStitchAndAlignment::StateName(int32_t iState, bool bStepVariant)
{
    static const char* const kNames[] = {"IDLE",     "MEASURE_ST", "PARKED",     "MOTOR_STRT", "MOTOR_RUN", "WAIT_1_SEC",
                                         "MEASURE_50", "MOTOR_XSEC", "FAILED", "ENDED",      "DONE"};
    if (bStepVariant && iState == MEASURE_50)
        return "MEASURE";
    if (bStepVariant && iState == MOTOR_XSEC)
        return "MOTOR_STEP";
    return iState >= 0 && iState <= DONE ? kNames[iState] : "-invalid-";
}

COscilloscopeStitchAndAlignment::COscilloscopeStitchAndAlignment(CScanner* pScanner) : m_pScanner(pScanner)
{
    m_dInitialDiff.fill(-10000.0);
    m_dCurrentDiff.fill(0.0);
    m_Tick = SteadyMs;
    m_Sleep = [this](uint32_t iMs) {
        // On the procedure's own clock, which may run faster than the wall
        // clock (a simulated scanner); never longer than the wait in wall time.
        const uint32_t iEnd = m_Tick() + iMs;
        const auto tLimit = std::chrono::steady_clock::now() + std::chrono::milliseconds(iMs);
        while (static_cast<int32_t>(iEnd - m_Tick()) > 0 && std::chrono::steady_clock::now() < tLimit)
            std::this_thread::yield();
    };
    m_Motor = [this](int32_t iCamera, EMotorCommand e) -> int32_t {
        if (!m_pScanner)
            return 0;
        return e == MOTOR_STOP ? m_pScanner->StopCameraMotor(iCamera)
                               : m_pScanner->RunCameraMotor(iCamera, e == MOTOR_FORWARD);
    };
    m_Step = [this](int32_t iCamera, double dUnits) -> int32_t {
        return m_pScanner ? m_pScanner->MoveCameraMotor(iCamera, dUnits) : 0;
    };
    m_Position = [this](int32_t iCamera, double& dPosition) {
        std::array<double, kMaxCameras> positions{};
        if (!m_pScanner || m_pScanner->GetCameraMotorPositions(positions) != 0)
            return false;
        dPosition = positions[size_t(iCamera)];
        return true;
    };
    if (pScanner) {
        // These scanners take positioned moves; the others run their motors for a time.
        m_bStepVariant = pScanner->IsTypeGroupC();
        m_X.m_bTypeGroupB = pScanner->IsTypeGroupB();
        m_X.m_bTypeGroupD = pScanner->IsTypeGroupD();
        m_X.m_iKPlateDPI = pScanner->GetOpticalResolution();
    }
    for (int32_t c = 0; c < kMaxCameras; ++c) {
        m_dWWW_Limit[size_t(c)] = m_dWWW_LimitInit;
        m_iTargetLeft[size_t(c)] = m_iTargetRight[size_t(c)] = -1;
    }
}

void COscilloscopeStitchAndAlignment::SetCameraCount(int32_t iCameras)
{
    m_iCameraCount = std::clamp(iCameras, 0, kMaxCameras);
    for (int32_t c = 0; c < m_iCameraCount; ++c)
        LOG_FORMATTED("Init. m_dWWW_Limit[%c] = %.2f", 'A' + c, m_dWWW_Limit[size_t(c)]);
}

int32_t COscilloscopeStitchAndAlignment::ReadTargets()
{
    if (!m_pScanner)
        return 0;
    const int32_t n = std::clamp(m_pScanner->GetCameraCount(), 0, kMaxCameras);
    if (n < 2)
        return 0;
    int32_t a[kMaxCameras] = {}, b[kMaxCameras] = {};
    if (const int32_t e = m_pScanner->ReadStitchPositions(a, b, n - 1); e != 0)
        return e;
    for (int32_t i = 0; i + 1 < n; ++i) {
        m_iTargetRight[size_t(i)] = a[i];
        m_iTargetLeft[size_t(i + 1)] = b[i];
    }
    return 0;
}

void COscilloscopeStitchAndAlignment::SetTargets(const std::array<int32_t, kMaxCameras>& left,
                                                 const std::array<int32_t, kMaxCameras>& right)
{
    m_iTargetLeft = left;
    m_iTargetRight = right;
}

// ================================================================ scanning

int32_t COscilloscopeStitchAndAlignment::DoScan(CContScan& scan)
{
    if (!m_bScanStarted && m_pScanner && !scan.IsReplay()) {
        if (const int32_t e = scan.StartContinuousScan(2); e != 0) {
            Log_Msg_Hex("COscilloscopeStitchAndAlignment::DoScan Error", e);
            return e;
        }
        m_bScanStarted = true;
    }
    m_bNoScanRunning = false;
    const auto t0 = std::chrono::steady_clock::now();
    const int32_t e = scan.ReadBuffer();
    m_iReadNs += std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - t0).count();
    m_iLastBytes = scan.ReceivedBytes();
    if (e != 0) {
        Log_Msg_Hex("COscilloscopeStitchAndAlignment::DoScan Error", e);
        return e;
    }
    if (scan.ReceivedBytes() <= 0) {
        if (++m_iNoData >= 10) {
            Log_Msg("ERROR_SCAN_NO_DATA_RECEIVED x 10 in a row.");
            m_iNoData = 0;
            m_iProgramError = PERR_NO_DATA_IN_SCAN;
            return MakeProgramError(PERR_NO_DATA_IN_SCAN);
        }
        return 0;
    }
    m_iNoData = 0;
    return 0;
}

int32_t COscilloscopeStitchAndAlignment::DoTest(CContScan& scan)
{
    m_bNoScanRunning = true;
    if (const int32_t e = DoScan(scan); e != 0)
        return e;
    if (m_pScanner && m_X.m_bTypeGroupB) {
        // These scanners settle over the first blocks of every cycle.
        const int32_t iExtra = m_bFirstCycle ? 25 + 5 : 5;
        for (int32_t i = 0; i < iExtra; ++i)
            if (const int32_t e = DoScan(scan); e != 0)
                return e;
    }
    m_bFirstCycle = false;
    if (scan.ReceivedBytes() <= 0)
        return 0;
    const uint32_t iNow = m_Tick();
    const auto t0 = std::chrono::steady_clock::now();
    const int32_t iError = Analyze(scan);
    m_iAnalyzeNs += std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - t0).count();
    if (iError != 0) {
        if (++m_iRetry < m_iRetryLimit) {
            LOG_FORMATTED("COscilloscopeStitchAndAlignment::DoTest retrying %d on error %d", m_iRetry, iError);
            m_bNoScanRunning = true;
            return 0;
        }
        LOG_FORMATTED("COscilloscopeStitchAndAlignment::DoTest giving up after %d retries on error %d", m_iRetry,
                           iError);
        for (int32_t c = 0; c < m_iCameraCount; ++c)
            if (!IsFinal(m_Cameras[size_t(c)].m_eState))
                Fail(c, FormatText("analysis failed: %s", C3X::ErrorName(iError)));
        m_iProgramError = PERR_STITCH_ALIGNMENT_FAILED;
        return MakeProgramError(PERR_STITCH_ALIGNMENT_FAILED);
    }
    if (m_pWidth) {
        const auto t1 = std::chrono::steady_clock::now();
        m_pWidth->FindClassicScanWidth(scan.Picture(), WidthLayout());
        m_iAnalyzeNs += std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - t1).count();
    }
    m_iRetry = 0;
    Step(m_dMeasured, iNow);
    return 0;
}

// ================================================================ analysis

int32_t COscilloscopeStitchAndAlignment::Analyze(const CContScan& scan)
{
    const int32_t iPixels = scan.PixelsPerLine(), iLines = scan.LinesPerBlock();
    if (iPixels <= 0 || iLines <= 0)
        return C3X::ERROR_3X_UNKNOWN;
    const int32_t iColor = scan.BytesPerPixel() == 3 ? 1 : 1; // gray blocks fill the green plane
    const std::vector<uint8_t>& plane = scan.Plane(iColor);
    if (plane.size() < static_cast<size_t>(iPixels) * static_cast<size_t>(iLines))
        return C3X::ERROR_3X_UNKNOWN;
    // Row by row: the plane is stored by rows, and a block is wider than any cache line walk by columns likes.
    // Local pointers: stores through uint8_t may alias anything, and the
    // compiler would reload every member on every pixel.
    m_Sums.assign(static_cast<size_t>(iLines > 1 ? iPixels : 0), 0);
    m_Profile.resize(static_cast<size_t>(iPixels));
    uint32_t* pSums = m_Sums.data();
    uint8_t* pOut = m_Profile.data();
    for (int32_t y = 0; y < iLines && iLines > 1; ++y) {
        const uint8_t* pRow = plane.data() + static_cast<size_t>(y) * static_cast<size_t>(iPixels);
        for (int32_t x = 0; x < iPixels; ++x)
            pSums[x] += pRow[x];
    }
    // A rounded mean per column. A division per pixel costs more than all the
    // finders together; a table of every possible sum does not, while the
    // block holds few lines.
    const uint32_t n = static_cast<uint32_t>(iLines);
    if (n == 1) {
        std::copy(plane.begin(), plane.begin() + iPixels, m_Profile.begin());
    } else if (255u * n < static_cast<uint32_t>(iPixels)) {
        m_Means.resize(255u * n + 1u);
        uint8_t* pMeans = m_Means.data();
        for (uint32_t i = 0; i <= 255u * n; ++i)
            pMeans[i] = static_cast<uint8_t>((i + n / 2) / n);
        for (int32_t x = 0; x < iPixels; ++x)
            pOut[x] = pMeans[pSums[x]];
    } else {
        for (int32_t x = 0; x < iPixels; ++x)
            pOut[x] = static_cast<uint8_t>((pSums[x] + n / 2) / n);
    }
    const int32_t iDpi = scan.Picture().m_iResolution > 0 ? scan.Picture().m_iResolution : 600;
    std::vector<uint8_t> profile;
    profile.swap(m_Profile);
    const int32_t e = AnalyzeProfile(profile, scan.CameraPixels(), iDpi);
    m_Profile.swap(profile);
    return e;
}

int32_t COscilloscopeStitchAndAlignment::AnalyzeProfile(std::span<const uint8_t> profile,
                                                        const std::array<int32_t, 8>& cameraPixels, int32_t iDpi)
{
    m_CameraPixels = cameraPixels;
    int32_t n = 0;
    int64_t iTotal = 0;
    for (int32_t c = 0; c < kMaxCameras; ++c)
        if (cameraPixels[size_t(c)] > 0) {
            n = c + 1;
            iTotal += cameraPixels[size_t(c)];
        }
    if (n == 0 || iTotal > static_cast<int64_t>(profile.size()))
        return C3X::ERROR_3X_UNKNOWN;
    if (m_iCameraCount == 0)
        SetCameraCount(n);
    C3XLayout& l = m_X.m_Layout;
    l.m_iCameraCount = n;
    l.m_iDPI = iDpi;
    for (int32_t c = 0; c < kMaxCameras; ++c)
        l.m_iCameraPixels[c] = c < n ? cameraPixels[size_t(c)] : 0;
    // The dark reference pixels read black with the lamp on: count them at
    // each camera's start, where the calibration sheet shows white.
    for (int32_t c = 0; c < n; ++c) {
        const int32_t iOffset = l.CameraOffset(c), iCount = l.m_iCameraPixels[c];
        const int32_t iProbe = std::min(iCount / 8, 64);
        int32_t iMax = 0;
        for (int32_t x = 0; x < iProbe; ++x)
            iMax = std::max<int32_t>(iMax, profile[size_t(iOffset + x)]);
        const int32_t iLevel = (profile[size_t(iOffset)] + iMax) / 2;
        int32_t iDark = 0;
        while (iDark < iProbe && profile[size_t(iOffset + iDark)] < iLevel)
            ++iDark;
        l.m_iBlackPixelStop[c] = iDark - 1;
    }
    l.m_iBlackStop = l.m_iBlackPixelStop[0];
    m_X.m_Marks.clear();
    m_X.ReSet();
    for (auto& cam : m_X.m_dGroup_Center)
        std::fill(std::begin(cam), std::end(cam), 0.0);
    int32_t iError = m_X.FindAllStitchMarks(profile);
    m_X.SetProfile(profile);
    const int32_t iK = m_X.DetectKPlates();
    for (int32_t s = 0; s < 2; ++s)
        LOG_FORMATTED("AnalyzeLines camera %c, side %d, iRedLines %d, iGreenLines %d, iBlueLines %d",
                           'A' + (s == 0 ? 0 : n - 1), s, m_X.m_iLinesFound[s][0], m_X.m_iLinesFound[s][1],
                           m_X.m_iLinesFound[s][2]);
    if (iError == 0)
        iError = iK;
    for (int32_t c = 0; c < n; ++c) {
        bool bOk = false;
        m_dMeasured[size_t(c)] = Measure(c, bOk);
        m_bMeasured[size_t(c)] = bOk;
        if (!bOk && iError == 0)
            iError = C3X::ERROR_3X_SWU_NOT_FOUND;
    }
    return iError;
}

double COscilloscopeStitchAndAlignment::Measure(int32_t iCamera, bool& bOk) const
{
    // Deviations (target - found) at the positions of the camera's marks,
    // own pixels; a straight line through them read at the lens axis.
    const C3XLayout& l = m_X.m_Layout;
    const int32_t iOffset = l.CameraOffset(iCamera), iDark = l.DarkPixels(iCamera);
    const double dAxis = iDark + l.ActivePixels(iCamera) / 2.0;
    double xs[3], ds[3];
    int32_t k = 0;
    auto add = [&](int32_t iSide, double dTarget) {
        const double dFound = m_X.m_dGroup_Center[iCamera][iSide];
        if (dFound <= 0 || dTarget < 0 || m_X.GetError(iCamera, iSide) != 0)
            return;
        xs[k] = dTarget;
        ds[k] = dTarget - (dFound - iOffset);
        ++k;
    };
    add(X3_LEFT, m_iTargetLeft[size_t(iCamera)]);
    add(X3_RIGHT, m_iTargetRight[size_t(iCamera)]);
    add(X3_MIDDEL, dAxis + 0.15 * l.m_iDPI);
    bOk = k > 0;
    if (k == 0)
        return 0.0;
    if (k == 1)
        return ds[0];
    double mx = 0, md = 0;
    for (int32_t i = 0; i < k; ++i) {
        mx += xs[i];
        md += ds[i];
    }
    mx /= k;
    md /= k;
    double sxx = 0, sxd = 0;
    for (int32_t i = 0; i < k; ++i) {
        sxx += (xs[i] - mx) * (xs[i] - mx);
        sxd += (xs[i] - mx) * (ds[i] - md);
    }
    return sxx > 0 ? md + sxd / sxx * (dAxis - mx) : md;
}

// ================================================================ state machine

bool COscilloscopeStitchAndAlignment::MayMove(int32_t iCamera) const
{
    for (int32_t c = 0; c < iCamera; ++c)
        if (!IsFinal(m_Cameras[size_t(c)].m_eState))
            return false;
    return true;
}

void COscilloscopeStitchAndAlignment::Average(int32_t iCamera, double dValue)
{
    CCamera& c = m_Cameras[size_t(iCamera)];
    if (c.m_Window.size() < kWindow)
        c.m_Window.push_back(dValue);
    else
        c.m_Window[c.m_iNext] = dValue;
    c.m_iNext = (c.m_iNext + 1) % kWindow;
    double dSum = 0;
    for (const double d : c.m_Window)
        dSum += d;
    c.m_dSignedDistance = dSum / static_cast<double>(c.m_Window.size());
    c.m_dDistance = std::fabs(c.m_dSignedDistance);
}

void COscilloscopeStitchAndAlignment::ResetCounters(CCamera& c)
{
    c.m_iOvershoot = 0;
    c.m_iSamples = 0;
    // What was measured while the camera moved says nothing about where it is now.
    c.m_Window.clear();
    c.m_iNext = 0;
}

int32_t COscilloscopeStitchAndAlignment::Motor(int32_t iCamera, EMotorCommand e)
{
    const int32_t iResult = m_Motor ? m_Motor(iCamera, e) : 0;
    if (iResult != 0)
        LOG_FORMATTED("CameraOapResponse %c, failed start motor request state %d", 'A' + iCamera,
                           m_Cameras[size_t(iCamera)].m_eState);
    m_Cameras[size_t(iCamera)].m_bMotorRunning = e != MOTOR_STOP && iResult == 0;
    return iResult;
}

void COscilloscopeStitchAndAlignment::StopMotor(int32_t iCamera)
{
    CCamera& c = m_Cameras[size_t(iCamera)];
    if (c.m_bMotorRunning)
        Motor(iCamera, MOTOR_STOP);
    c.m_bMotorRunning = false;
}

void COscilloscopeStitchAndAlignment::Fail(int32_t iCamera, const std::string& szWhy)
{
    StopMotor(iCamera);
    CCamera& c = m_Cameras[size_t(iCamera)];
    c.m_eState = FAILED;
    c.m_szError = szWhy;
    LOG_FORMATTED("OSA::ERROR::FAILED::Camera %c Dist %6.2f", 'A' + iCamera, c.m_dDistance);
}

void COscilloscopeStitchAndAlignment::StopAll()
{
    for (int32_t c = 0; c < kMaxCameras; ++c) {
        if (m_Motor)
            m_Motor(c, MOTOR_STOP);
        m_Cameras[size_t(c)].m_bMotorRunning = false;
        if (c < m_iCameraCount && !IsFinal(m_Cameras[size_t(c)].m_eState)) {
            m_Cameras[size_t(c)].m_eState = ENDED;
            if (m_Cameras[size_t(c)].m_szError.empty())
                m_Cameras[size_t(c)].m_szError = "stopped";
        }
    }
}

bool COscilloscopeStitchAndAlignment::IsFinished() const
{
    if (m_iCameraCount == 0)
        return false;
    for (int32_t c = 0; c < m_iCameraCount; ++c)
        if (!IsFinal(m_Cameras[size_t(c)].m_eState))
            return false;
    return true;
}

bool COscilloscopeStitchAndAlignment::CameraOapResponse(int32_t iCamera, uint32_t iNow)
{
    CCamera& c = m_Cameras[size_t(iCamera)];
    const uint32_t iElapsed = iNow - c.m_dwTimeStamp;
    LOG_FORMATTED("CameraOapResponse %c, state, %d, motor, %d, %d, tick, %u, %u, %d, target, %.2f, %.2f, %.2f, "
                       "cur, %.2f, %.2f, over, %.2f, under, %.2f, fwd rsp %d, %d, rev rsp %d, %d,",
                       'A' + iCamera, c.m_eState, c.m_bMotorRunning, c.m_iDirection, iNow, c.m_dwTimeStamp,
                       static_cast<int32_t>(iElapsed), 0.0, kMoveLimit, kStartLimit, c.m_dSignedDistance, c.m_dDistance,
                       m_dWWW_Limit[size_t(iCamera)], -m_dWWW_Limit[size_t(iCamera)], c.m_iDirection < 0,
                       c.m_iOvershoot, c.m_iDirection > 0, c.m_iOvershoot);
    if (iElapsed < m_iNoMovementMs)
        return true;
    if (std::fabs(c.m_dSignedDistance - c.m_dStartValue) >= m_dNoMovementPixels) {
        LOG_FORMATTED("CameraOapResponse %c, StartValue, %.2f", 'A' + iCamera, c.m_dStartValue);
        LOG_FORMATTED("CameraOapResponse %c, EndValue, %.2f", 'A' + iCamera, c.m_dSignedDistance);
        // Moving: the next check compares with where it is now.
        c.m_dStartValue = c.m_dSignedDistance;
        c.m_dwTimeStamp = iNow;
        return true;
    }
    LOG_FORMATTED("CameraOapResponse %c, stopping motor due to no movement detected state %d", 'A' + iCamera,
                       c.m_eState);
    return false;
}

// A camera about to start its motor: its window is full, the distance is
// one a motor can make up, and it may move now (else it waits parked).
bool COscilloscopeStitchAndAlignment::ReadyToStart(int32_t i)
{
    CCamera& c = m_Cameras[size_t(i)];
    if (c.m_Window.size() < kWindow)
        return false;
    if (c.m_dDistance > 1000) {
        LOG_FORMATTED("Camera %c > 1000 pix ( %.2f )", 'A' + i, c.m_dDistance);
        Fail(i, FormatText("distance %.2f beyond 1000 pixels", c.m_dDistance));
        return false;
    }
    if (!MayMove(i)) {
        c.m_eState = PARKED;
        return false;
    }
    return true;
}

void COscilloscopeStitchAndAlignment::FailNoMovement(int32_t i)
{
    LOG_FORMATTED("CameraOapResponse %c, stopping motor due to no movement detected state %d", 'A' + i,
                  m_Cameras[size_t(i)].m_eState);
    Fail(i, "no movement detected");
}

void COscilloscopeStitchAndAlignment::RunCamera(int32_t i, uint32_t iNow)
{
    CCamera& c = m_Cameras[size_t(i)];
    const char cCam = static_cast<char>('A' + i);
    const bool bFull = c.m_Window.size() >= kWindow;
    auto startMotor = [&]() {
        const bool bForward = c.m_dSignedDistance <= 0;
        return Motor(i, bForward ? MOTOR_FORWARD : MOTOR_BACKWARD);
    };
    switch (c.m_eState) {
    case IDLE:
        c.m_Window.clear();
        c.m_iNext = 0;
        c.m_eState = MEASURE_ST;
        break;
    case MEASURE_ST:
        if (!bFull)
            break;
        if (c.m_dDistance < kStartLimit) {
            LOG_FORMATTED("Camera %c below start limit ( %.2f )", cCam, c.m_dDistance);
            c.m_eState = DONE;
        } else
            c.m_eState = MOTOR_STRT;
        break;
    case PARKED:
        if (MayMove(i)) {
            LOG_FORMATTED("OSA::Camera %c Dist %6.2f ( OSA_CA_STATUS_PARKED )", cCam, c.m_dDistance);
            c.m_eState = MOTOR_STRT;
        }
        break;
    case MOTOR_STRT:
        if (!ReadyToStart(i))
            break;
        c.m_iDirection = Sign(c.m_dSignedDistance);
        c.m_dwTimeStamp = iNow;
        c.m_dMoveDistance = c.m_dDistance;
        if (c.m_dDistance >= kMoveLimit) {
            if (startMotor() != 0) {
                Fail(i, "motor start refused");
                break;
            }
            m_dWWW_Limit[size_t(i)] = c.m_dDistance + m_dWWW_LimitInit;
            LOG_FORMATTED("New m_dWWW_Limit[%c] = %.2f", cCam, m_dWWW_Limit[size_t(i)]);
            c.m_dStartValue = c.m_dSignedDistance;
            c.m_iOvershoot = 0;
            LOG_FORMATTED("OSA::Camera %c Dist %6.2f", cCam, c.m_dDistance);
            c.m_eState = MOTOR_RUN;
        } else
            c.m_eState = MOTOR_XSEC;
        break;
    case MOTOR_RUN:
        if (Sign(c.m_dSignedDistance) == c.m_iDirection) {
            if (c.m_dDistance > m_dWWW_Limit[size_t(i)]) {
                LOG_FORMATTED("ERROR: Camera %c moving in wrong direction: %.2f, limit %.2f", cCam, c.m_dDistance,
                                   m_dWWW_Limit[size_t(i)]);
                Fail(i, "moving in wrong direction");
                break;
            }
            if (!CameraOapResponse(i, iNow)) {
                Fail(i, "no movement detected");
                break;
            }
            if (c.m_dDistance < kMoveLimit) {
                StopMotor(i);
                ResetCounters(c);
                c.m_dwTimeStamp = iNow;
                c.m_eState = MayMove(i) ? MEASURE_50 : PARKED;
            }
        } else if (++c.m_iOvershoot > 12) {
            StopMotor(i);
            LOG_FORMATTED("Camera %c Diff Position > 12 ( %.2f )", cCam, c.m_dDistance);
            LOG_FORMATTED("OSA::WARNING::Overshoot::Camera %c Dist %6.2f", cCam, c.m_dDistance);
            c.m_eState = DONE;
        }
        break;
    case WAIT_1_SEC:
        if (iNow - c.m_dwTimeStamp >= 1000) {
            ResetCounters(c);
            c.m_eState = MEASURE_50;
        }
        break;
    case MEASURE_50:
        if (++c.m_iSamples < kWindow || !bFull)
            break;
        if (c.m_dDistance <= kStartLimit) {
            c.m_eState = DONE;
            break;
        }
        if (Sign(c.m_dSignedDistance) == c.m_iDirection) {
            if (++c.m_iShortMoves > m_iMaxShortMoves) {
                FailNoMovement(i);
                break;
            }
            c.m_dMoveDistance = c.m_dDistance;
            if (startMotor() != 0) {
                Fail(i, "motor start refused");
                break;
            }
            c.m_dwTimeStamp = iNow;
            c.m_eState = MOTOR_XSEC;
        } else {
            LOG_FORMATTED("Camera %c Too long ( %.2f ) ( %d %d )", cCam, c.m_dSignedDistance, c.m_iDirection,
                               Sign(c.m_dSignedDistance));
            c.m_szError = "overshot on a short move";
            c.m_eState = ENDED;
        }
        break;
    case MOTOR_XSEC: {
        const uint32_t iRun = c.m_dMoveDistance > 2.0 ? 2000u : 200u;
        const uint32_t iElapsed = iNow - c.m_dwTimeStamp;
        // A timed move ends on its time, not with the first block after it:
        // a block that comes late (a busy host, a slow read) would add its
        // delay to the move, and a 200 ms move is all the fine approach has.
        if (iElapsed < iRun && m_iScans > 1 && iElapsed + m_iBlockMs >= iRun) {
            if (m_Sleep)
                m_Sleep(iRun - iElapsed);
            StopMotor(i);
            ResetCounters(c);
            c.m_eState = MEASURE_50;
        } else if (iElapsed >= iRun) {
            StopMotor(i);
            ResetCounters(c);
            c.m_eState = MEASURE_50;
        }
        break;
    }
    default: break;
    }
}

// The step variant: the motor is told how far to go and stops by itself.
// Every step is measured afterwards over a full window, and what it moved
// per motor unit sizes the next one, so a camera gets there in a few steps
// whatever its motor's ratio. A step that overshoots costs a direction
// change; a camera out of them has overshot too often and ends.
bool COscilloscopeStitchAndAlignment::StartStep(int32_t i, uint32_t iNow)
{
    CCamera& c = m_Cameras[size_t(i)];
    const bool bRunning = c.m_eState == MOTOR_RUN;
    LOG_FORMATTED("%s parked: camera %c, CurrentValue %6.2f, m_TargetStopLimit %.2f, m_ReverseAllowed %d, "
                  "m_ForwardAllowed %d",
                  bRunning ? "OSA_CA_STATUS_MOTOR_RUNNING" : "OSA_CA_STATUS_START_MOTOR", 'A' + i,
                  c.m_dSignedDistance, m_TargetStopLimit, c.m_ReverseAllowed, c.m_ForwardAllowed);
    double dUnits = -c.m_dSignedDistance / c.m_dPixelsPerUnit;
    dUnits = std::clamp(dUnits, -m_dMaxStepUnits, m_dMaxStepUnits);
    double dFrom = 0.0;
    if (!m_Position || !m_Position(i, dFrom)) {
        Fail(i, "motor position unknown");
        return false;
    }
    if (const int32_t e = m_Step ? m_Step(i, dUnits) : 0; e != 0) {
        LOG_FORMATTED("CameraOapResponse %c, failed start motor request state %d", 'A' + i, c.m_eState);
        Fail(i, "motor start refused");
        return false;
    }
    c.m_bMotorRunning = true;
    c.m_iDirection = Sign(c.m_dSignedDistance);
    c.m_dStepUnits = dUnits;
    c.m_dStepFrom = c.m_dLastPosition = dFrom;
    c.m_dStartValue = c.m_dSignedDistance;
    c.m_dwTimeStamp = iNow;
    return true;
}

void COscilloscopeStitchAndAlignment::RunCameraStep(int32_t i, uint32_t iNow)
{
    CCamera& c = m_Cameras[size_t(i)];
    const char cCam = static_cast<char>('A' + i);
    const bool bFull = c.m_Window.size() >= kWindow;
    switch (c.m_eState) {
    case IDLE:
    case MEASURE_ST:
    case PARKED: RunCamera(i, iNow); break;
    case MOTOR_STRT:
        if (!ReadyToStart(i))
            break;
        if (c.m_dDistance <= m_TargetStopLimit) {
            c.m_eState = DONE;
            break;
        }
        LOG_FORMATTED("OSA::Camera %c Dist %6.2f", cCam, c.m_dDistance);
        if (StartStep(i, iNow))
            c.m_eState = MOTOR_RUN;
        break;
    case MOTOR_RUN:
    case MOTOR_XSEC: {
        // Wait until the motor stands where it was sent.
        double dAt = 0.0;
        if (!m_Position || !m_Position(i, dAt)) {
            Fail(i, "motor position unknown");
            break;
        }
        if (std::fabs(dAt - (c.m_dStepFrom + c.m_dStepUnits)) > 0.002) {
            if (std::fabs(dAt - c.m_dLastPosition) > 1e-6) {
                c.m_dLastPosition = dAt;
                c.m_dwTimeStamp = iNow;
            } else if (iNow - c.m_dwTimeStamp >= m_iNoMovementMs) {
                FailNoMovement(i);
            }
            break;
        }
        c.m_bMotorRunning = false;
        c.m_bStepPending = true;
        ResetCounters(c);
        c.m_eState = MEASURE_50;
        break;
    }
    case MEASURE_50: {
        if (++c.m_iSamples < kWindow || !bFull)
            break;
        if (c.m_bStepPending) {
            c.m_bStepPending = false;
            // What the step did, per unit: the sign says which way the motor turns the view.
            const double dMoved = c.m_dSignedDistance - c.m_dStartValue;
            LOG_FORMATTED("CameraOapResponse %c, StartValue, %.2f", cCam, c.m_dStartValue);
            LOG_FORMATTED("CameraOapResponse %c, EndValue, %.2f", cCam, c.m_dSignedDistance);
            if (std::fabs(dMoved) < std::min(m_dNoMovementPixels, 0.5 * std::fabs(c.m_dStartValue))) {
                FailNoMovement(i);
                break;
            }
            if (c.m_dStepUnits == 0.0 || dMoved / c.m_dStepUnits < 0) {
                LOG_FORMATTED("ERROR: Camera %c moving in wrong direction: %.2f, limit %.2f", cCam, c.m_dDistance,
                              std::fabs(c.m_dStartValue));
                Fail(i, "moving in wrong direction");
                break;
            }
            c.m_dPixelsPerUnit = dMoved / c.m_dStepUnits;
        }
        if (c.m_dDistance <= m_TargetStopLimit) {
            c.m_eState = DONE;
            break;
        }
        if (Sign(c.m_dSignedDistance) != c.m_iDirection) {
            // Overshot: the next step goes back, if this camera may still turn.
            int32_t& iAllowed = c.m_dSignedDistance <= 0 ? c.m_ForwardAllowed : c.m_ReverseAllowed;
            if (iAllowed <= 0) {
                LOG_FORMATTED("Camera %c Too long ( %.2f ) ( %d %d )", cCam, c.m_dSignedDistance, c.m_iDirection,
                              Sign(c.m_dSignedDistance));
                c.m_szError = "overshot too often";
                c.m_eState = ENDED;
                break;
            }
            --iAllowed;
        }
        if (++c.m_iShortMoves > m_iMaxShortMoves) {
            Fail(i, "no end of the steps");
            break;
        }
        if (StartStep(i, iNow))
            c.m_eState = MOTOR_XSEC;
        break;
    }
    default: break;
    }
}

void COscilloscopeStitchAndAlignment::Step(const std::array<double, kMaxCameras>& measured, uint32_t iNow)
{
    const uint32_t iElapsed = m_iScans == 0 ? 0 : iNow - m_iLastTick;
    m_iBlockMs = iElapsed;
    m_iLastTick = iNow;
    ++m_iScans;
    for (int32_t c = 0; c < m_iCameraCount; ++c)
        if (!IsFinal(m_Cameras[size_t(c)].m_eState))
            Average(c, measured[size_t(c)]);
    // Stitch positions of the kept scans and their running means.
    for (int32_t c = 0; c < m_iCameraCount; ++c) {
        const int32_t iOffset = m_X.m_Layout.CameraOffset(c);
        for (int32_t s = 0; s < 2; ++s) {
            const double d = m_X.m_dGroup_Center[c][s];
            m_StitchSum[size_t(c)][size_t(s)] = d > 0 ? d - iOffset : 0;
        }
    }
    if (!m_bPreAlignmentDone)
        PreAlignmentCheck();
    for (int32_t c = 0; c < m_iCameraCount; ++c) {
        CCamera& cam = m_Cameras[size_t(c)];
        if (cam.m_eState == MEASURE_ST && m_Kept.size() < kMaxKept && !m_Profile.empty()) {
            CPicture pic;
            if (MakeRowPicture(m_Profile, m_X.m_Layout.m_iDPI, pic)) {
                m_Kept.push_back(std::move(pic));
                std::array<std::array<double, 3>, kMaxCameras> marks{};
                for (int32_t k = 0; k < m_iCameraCount; ++k)
                    for (int32_t s = 0; s < 3; ++s)
                        marks[size_t(k)][size_t(s)] = m_X.m_dGroup_Center[k][s];
                m_KeptMarks.push_back(marks);
            }
        }
        if (m_bStepVariant)
            RunCameraStep(c, iNow);
        else
            RunCamera(c, iNow);
    }
    StatusLines(iElapsed);
}

void COscilloscopeStitchAndAlignment::PreAlignmentCheck()
{
    // Once, as soon as every camera holds a full window.
    for (int32_t c = 0; c < m_iCameraCount; ++c)
        if (m_Cameras[size_t(c)].m_Window.size() < kWindow)
            return;
    m_bPreAlignmentDone = true;
    for (int32_t c = 0; c < m_iCameraCount; ++c) {
        m_dAlignDiff_Pre[size_t(c)] = m_Cameras[size_t(c)].m_dSignedDistance;
        LOG_FORMATTED("m_dAlignDiff_Pre[%c] % 4.2f", 'A' + c, m_dAlignDiff_Pre[size_t(c)]);
    }
    for (int32_t i = 0; i + 1 < m_iCameraCount; ++i) {
        m_dCurrentDiff[size_t(i)] = (m_StitchSum[size_t(i)][1] - m_iTargetRight[size_t(i)]) -
                                    (m_StitchSum[size_t(i + 1)][0] - m_iTargetLeft[size_t(i + 1)]);
        if (!(m_dInitialDiff[size_t(i)] > -10000.0))
            continue;
        if (std::fabs(m_dCurrentDiff[size_t(i)]) > std::fabs(m_dInitialDiff[size_t(i)]) + 5.0) {
            LOG_FORMATTED("Error: Stitch area %d pre-alignment diff. %.2f > inititial diff. %.2f", i,
                               m_dCurrentDiff[size_t(i)], m_dInitialDiff[size_t(i)]);
            for (int32_t c = 0; c < m_iCameraCount; ++c)
                if (!IsFinal(m_Cameras[size_t(c)].m_eState))
                    Fail(c, FormatText("stitch area %d pre-alignment difference too large", i));
            return;
        }
        LOG_FORMATTED("Stitch area %d pre-alignment diff. %.2f <= inititial diff. %.2f", i,
                           m_dCurrentDiff[size_t(i)], m_dInitialDiff[size_t(i)]);
    }
}

void COscilloscopeStitchAndAlignment::StatusLines(uint32_t iElapsed)
{
    m_StatusLines.clear();
    if (!m_bStatusLines && !log_IsOn())
        return; // nobody reads them
    if (m_bStepVariant) {
        // The camera that may move now, and the limit it works to.
        int32_t iMoving = 0;
        while (iMoving < m_iCameraCount - 1 && IsFinal(m_Cameras[size_t(iMoving)].m_eState))
            ++iMoving;
        m_StatusLines.push_back(FormatText("% 8d, % 8d bytes, KPlateDiff[0]% 6.2f, KPlateDiff[1]% 6.2f, Target% 3.1f (%d)",
                                           m_iScans, m_iLastBytes, m_X.m_dKPlateDiff[0], m_X.m_dKPlateDiff[1],
                                           m_TargetStopLimit, iMoving));
        for (int32_t c = 0; c < m_iCameraCount; ++c) {
            const CCamera& cam = m_Cameras[size_t(c)];
            // The same form as the timed variant's line: the blank flags are no-ops kept as read.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat"
            m_StatusLines.push_back(FormatText(" %c:% 6.2f% 11s % 3s", 'A' + c, cam.m_dSignedDistance,
                                               StateName(cam.m_eState, true), cam.m_bMotorRunning ? "run" : ""));
#pragma GCC diagnostic pop
        }
        for (const std::string& sz : m_StatusLines)
            Log_Msg(sz);
        return;
    }
    m_StatusLines.push_back(FormatText("% 8d bytes,% 4d msec, KPlateDiff[0]% 6.2f, KPlateDiff[1]% 6.2f", m_iLastBytes,
                                       static_cast<int32_t>(iElapsed), m_X.m_dKPlateDiff[0], m_X.m_dKPlateDiff[1]));
    for (int32_t c = 0; c < m_iCameraCount; ++c) {
        const CCamera& cam = m_Cameras[size_t(c)];
        // The status line is read by people and scripts in this exact form;
        // the blank flag before the state name has always been a no-op.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat"
        m_StatusLines.push_back(FormatText("  %c:% 6.2f,% 6.2f% 11.15s (%d) ", 'A' + c, cam.m_dDistance,
                                           cam.m_dSignedDistance, StateName(cam.m_eState, m_bStepVariant),
                                           cam.m_eState));
#pragma GCC diagnostic pop
    }
    for (const std::string& sz : m_StatusLines)
        Log_Msg(sz);
}

// ================================================================ results

std::string COscilloscopeStitchAndAlignment::SaveStitchPicture()
{
    CPicture pic;
    if (!pic.CreateFilled(300, 42.0, 8.0, PIC_GRAY, 255, 255, 255)) {
        m_szError = "the stitch picture could not be created";
        return std::string();
    }
    const double dScale = 300.0 / std::max(m_X.m_Layout.m_iDPI, 1);
    for (size_t k = 0; k < m_KeptMarks.size(); ++k)
        for (int32_t c = 0; c < m_iCameraCount; ++c)
            for (int32_t s = 0; s < 3; ++s) {
                const double d = m_KeptMarks[k][size_t(c)][size_t(s)];
                if (d <= 0)
                    continue;
                const int32_t x = static_cast<int32_t>(std::lround(d * dScale));
                // One band per kept scan, one short mark per camera side.
                const int32_t y0 = 100 + static_cast<int32_t>(k) * 220 + s * 60;
                for (int32_t y = y0; y < y0 + 40; ++y)
                    pic.SetPixelBlack(x, y);
            }
    std::string szDir = m_szDataDirectory.empty() ? ProgramStateFolder() : m_szDataDirectory;
    if (!szDir.empty() && szDir.back() != '/')
        szDir += '/';
    std::error_code ec;
    std::filesystem::create_directories(szDir, ec);
    const std::string szPath = szDir + "_X-Stitch.tif";
    if (const uint32_t iResult = SavePictureAsTiff(pic, szPath); iResult != 0) {
        m_szError = FormatText("%s: cannot be written (0x%08X)", szPath.c_str(), iResult);
        return std::string();
    }
    return szPath;
}

std::string COscilloscopeStitchAndAlignment::OpenCameraWidth()
{
    std::string szDir = m_szDataDirectory.empty() ? ProgramStateFolder() : m_szDataDirectory;
    if (!szDir.empty() && szDir.back() != '/')
        szDir += '/';
    std::error_code ec;
    std::filesystem::create_directories(szDir, ec);
    m_pWidth = std::make_unique<CCameraWidth>(szDir + CCameraWidth::kFileName);
    if (!m_pWidth->Csv() || !m_pWidth->Csv()->IsOpen()) {
        m_szError = m_pWidth->Csv() ? m_pWidth->Csv()->Error() : std::string("no table");
        m_pWidth.reset();
        return std::string();
    }
    return m_pWidth->Csv()->Path();
}

CCameraWidthLayout COscilloscopeStitchAndAlignment::WidthLayout() const
{
    // The part of each camera that goes into the picture lies between its
    // dark reference pixels; its nominal width is that part's width.
    const C3XLayout& l = m_X.m_Layout;
    CCameraWidthLayout w;
    w.m_iCameraCount = l.m_iCameraCount;
    w.m_iBlackStop = l.m_iBlackStop;
    for (int32_t c = 0; c < std::min(l.m_iCameraCount, kMaxCameras); ++c) {
        w.m_iStartCamera[size_t(c)] = l.DarkPixels(c);
        w.m_iStopCamera[size_t(c)] = l.m_iCameraPixels[c] - l.DarkPixels(c);
        const double dMiddle = m_X.m_dGroup_Center[c][X3_MIDDEL];
        w.m_dGroupCenterMiddle[size_t(c)] = dMiddle > 0 ? dMiddle - l.CameraOffset(c) : -1.0;
        w.m_dWidth_Teoretical[size_t(c)] = l.ActivePixels(c);
    }
    return w;
}

int32_t COscilloscopeStitchAndAlignment::ClassifyStitchWire(double w1, double w2, double w3, double r)
{
    if (w2 < 0 && (w1 < 0 || w3 < 0))
        return -1;
    if ((w1 < 0 && w2 > w3 && w3 > 0) || (w3 < 0 && w2 > w1 && w1 > 0))
        return 0;
    if (w1 > w2) {
        if (w2 > w3)
            return w3 > r ? 1 : 2;
        if (w3 > w2)
            return 3;
    }
    if (w3 > w2 && w2 > w1)
        return w1 > r ? 5 : 4;
    return -2; // no case applies
}

int32_t COscilloscopeStitchAndAlignment::ClassifyStitchWire(int32_t iCamera, int32_t iSide, double w1, double w2,
                                                            double w3, double r, std::span<const uint8_t> profile)
{
    const int32_t iClass = ClassifyStitchWire(w1, w2, w3, r);
    if (iClass != -2)
        return iClass;
    LOG_FORMATTED("ClassifyStitchWire camera %c, side %d: no case for %.2f, %.2f, %.2f, r %.2f", 'A' + iCamera,
                       iSide, w1, w2, w3, r);
    ConHeader header;
    header.AppendSection("[test]");
    header.AppendIntKey("Camera=", iCamera);
    header.AppendIntKey("Side=", iSide);
    header.AppendIntKey("Width=", static_cast<int32_t>(profile.size()));
    header.AppendIntKey("Resolution=", m_X.m_Layout.m_iDPI);
    std::string szDir = m_szDataDirectory.empty() ? ProgramStateFolder() : m_szDataDirectory;
    if (!szDir.empty() && szDir.back() != '/')
        szDir += '/';
    std::string szError;
    if (!WriteConFile(szDir + "XStitchWire_FailCase.con", header, profile.data(), profile.size(), &szError))
        LOG_FORMATTED("ClassifyStitchWire: %s", szError.c_str());
    return -1;
}
