// The loop's state machine walked on scripted blocks: a small front end
// answers the sets the loop writes after a chosen number of calls, one line
// per block, the lamp off on every even call.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "calibration/LiveGainOffset.h"
#include "datafiles/ProgramErrors.h"
#include "scanner/ScannerVariants.h"

namespace {

enum EResponse { RESPONDS, FLAT, SATURATED, ALL_BLACK };

struct CScript {
    int32_t m_iCameras = 2;
    int32_t m_iPixels = 1200;
    int32_t m_iDPI = 600;
    int32_t m_iMode = 2;
    int32_t m_iReaction = 1; // calls before a written set shows
    int32_t m_iPhase = 0;    // pixel parity of the even channel
    double m_dBlack = 12, m_dLight = 180;
    double m_dOddBlack = 2;  // the odd channel's black level lies this much higher
    EResponse m_eResponse = RESPONDS;
    int32_t m_iReceived = -1; // bytes the block claims, -1: what its lines hold
    bool m_bPaired = false;   // four phases, two neighbours per channel
};

class CFrontEnd {
public:
    explicit CFrontEnd(const CScript& s) : m_S(s)
    {
        for (auto& camera : m_Factory.m_Cameras)
            for (auto& w : camera.m_Words) {
                w[0] = w[4] = 128;
                w[1] = w[5] = 16;
            }
    }

    // The block of call number iCall (counted from 1).
    CLgoBlock Block(const CLiveGainOffset& lgo, int64_t iCall)
    {
        if (lgo.m_iWrites != m_iSeenWrites) {
            m_Written.push_back({iCall - 1, lgo.m_LastWritten});
            m_iSeenWrites = lgo.m_iWrites;
        }
        const CGainOffset* pSet = &m_Factory;
        for (const auto& [iAt, set] : m_Written)
            if (iAt + m_S.m_iReaction <= iCall)
                pSet = &set;
        const bool bLampOff = iCall % 2 == 0;
        const int32_t iWidth = m_S.m_iCameras * m_S.m_iPixels;
        for (auto& plane : m_Planes)
            plane.assign(static_cast<size_t>(std::max(iWidth, 0)), 0);
        for (int32_t c = 0; c < m_S.m_iCameras; ++c)
            for (int32_t k = 0; k < 3; ++k) {
                const int16_t* w = pSet->m_Cameras[size_t(c & 7)].m_Words[m_S.m_iMode == 3 ? k : 3];
                for (int32_t x = 0; x < m_S.m_iPixels; ++x) {
                    const bool bEven = m_S.m_bPaired ? ((x + m_S.m_iPhase) & 3) < 2 : ((x + m_S.m_iPhase) & 1) == 0;
                    const int16_t* ch = w + (bEven ? 4 : 0);
                    double v = m_S.m_dBlack + (bEven ? 0 : m_S.m_dOddBlack) + (ch[1] - 16) / 4.0;
                    if (!bLampOff)
                        v += m_S.m_dLight * std::exp2((ch[0] - 128) / 64.0);
                    if (m_S.m_eResponse == FLAT) v = 200;
                    if (m_S.m_eResponse == SATURATED) v = 255;
                    if (m_S.m_eResponse == ALL_BLACK) v = 0;
                    m_Planes[size_t(k)][size_t(c * m_S.m_iPixels + x)] = static_cast<uint8_t>(std::clamp(v, 0.0, 255.0) + 0.5);
                }
            }
        CLgoBlock b;
        b.m_iDPI = m_S.m_iDPI;
        b.m_iMode = m_S.m_iMode;
        b.m_iLines = 1;
        b.m_iPixelsPerLine = iWidth;
        b.m_iReceived = m_S.m_iReceived >= 0 ? m_S.m_iReceived : iWidth * (m_S.m_iMode == 3 ? 3 : 1);
        for (int32_t c = 0; c < std::min(m_S.m_iCameras, 8); ++c)
            b.m_CameraPixels[size_t(c)] = m_S.m_iPixels;
        for (int k = 0; k < 3; ++k) {
            b.m_pPlanes[size_t(k)] = m_Planes[size_t(k)].data();
            b.m_iPlaneSize[size_t(k)] = m_Planes[size_t(k)].size();
        }
        b.m_LampOff = {static_cast<uint8_t>(bLampOff)};
        return b;
    }

private:
    CScript m_S;
    CGainOffset m_Factory;
    std::vector<std::pair<int64_t, CGainOffset>> m_Written;
    int64_t m_iSeenWrites = 0;
    std::array<std::vector<uint8_t>, 3> m_Planes;
};

// Runs the loop for at most iCalls blocks (then one final pass); returns
// the first error.
struct CWalk {
    explicit CWalk(const CScript& s, CScanner* pScanner = nullptr) : m_Lgo(pScanner), m_Front(s)
    {
        m_Lgo.m_iNewerForm = 0;
    }
    int32_t Call()
    {
        ++m_iCall;
        return m_Lgo.Do(m_Front.Block(m_Lgo, m_iCall));
    }
    int32_t Run(int64_t iCalls, int32_t iDPI, int32_t iMode)
    {
        for (int64_t i = 0; i < iCalls; ++i) {
            if (const int32_t e = Call(); e != 0)
                return e;
            if (m_Lgo.IsCalibrated(iDPI, iMode))
                return 0;
        }
        m_Lgo.SetFinalPass(true);
        int32_t e = 0;
        for (int i = 0; i < 2 && e == 0; ++i)
            e = Call();
        return e;
    }
    CLiveGainOffset m_Lgo;
    CFrontEnd m_Front;
    int64_t m_iCall = 0;
};

int32_t Number(int32_t iCode)
{
    return iCode < 0 && ((static_cast<uint32_t>(iCode) >> 16) & 0xFF) == 0x37 ? static_cast<int32_t>(ProgramErrorNumber(iCode))
                                                                            : iCode;
}

} // namespace

TEST(LiveGainOffsetWalk, SetupWaitsHundredCallsThenDrivesTheGainsApart)
{
    CScript s;
    CWalk w(s);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(w.Call(), 0);
    const CLiveGainOffset_Data* p = w.m_Lgo.FindData(600);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->m_iState[LGO_MODE_GRAY], LGO_STATE_LEARNING_SETUP);
    EXPECT_EQ(w.m_Lgo.m_iWrites, 0);
    ASSERT_EQ(w.Call(), 0);
    EXPECT_EQ(p->m_iState[LGO_MODE_GRAY], LGO_STATE_LEARNING);
    EXPECT_EQ(w.m_Lgo.m_iWrites, 1);
    // A bright channel: even gain low, odd gain high.
    const int16_t* words = w.m_Lgo.m_LastWritten.m_Cameras[0].m_Words[3];
    EXPECT_EQ(words[4], 5);
    EXPECT_EQ(words[0], 250);
}

TEST(LiveGainOffsetWalk, LearningFindsTheEvenPhaseAndTheCallDelay)
{
    struct {
        int32_t m_iReaction, m_iPhase, m_iExpectDelay, m_iExpectEven;
    } cases[] = {{1, 0, 15, 0}, {1, 1, 15, 1}, {20, 0, 20, 0}, {33, 1, 33, 1}};
    for (const auto& t : cases) {
        SCOPED_TRACE(t.m_iReaction);
        CScript s;
        s.m_iReaction = t.m_iReaction;
        s.m_iPhase = t.m_iPhase;
        CWalk w(s);
        const CLiveGainOffset_Data* p = nullptr;
        for (int i = 0; i < 400; ++i) {
            ASSERT_EQ(w.Call(), 0);
            p = w.m_Lgo.FindData(600);
            if (p->m_iState[LGO_MODE_GRAY] == LGO_STATE_CALIBRATING)
                break;
        }
        ASSERT_EQ(p->m_iState[LGO_MODE_GRAY], LGO_STATE_CALIBRATING);
        // Odd calls carry the lamp, so a reaction shows on the next lamp-on call.
        EXPECT_NEAR(p->m_iCallDelay[LGO_MODE_GRAY], t.m_iExpectDelay, 1);
        EXPECT_EQ(p->m_iEvenIndex_Offset[0], t.m_iExpectEven);
        EXPECT_EQ(p->m_iEvenIndex_Offset[1], t.m_iExpectEven);
    }
}

TEST(LiveGainOffsetWalk, FourPhasesAtTheReferenceResolutionAndTheGroupBRules)
{
    struct {
        const char* m_szName;
        int32_t m_iType;
        bool m_bPaired;
        int32_t m_iPhase;
        int32_t m_iExpectEven;
    } cases[] = {
        {"paired phases from pixel 0", 5, true, 0, 0},
        {"paired phases from pixel 1", 5, true, 3, 1},
        {"paired phases from pixel 3", 5, true, 1, 3},
        {"group B: no learning set-up, even phase 0", 40, false, 1, 0},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(t.m_szName);
        CScript s;
        s.m_bPaired = t.m_bPaired;
        s.m_iPhase = t.m_iPhase;
        CWalk w(s);
        w.m_Lgo.m_iReferenceDPI = 600;
        w.m_Lgo.m_Kind.m_iType = t.m_iType;
        w.m_Lgo.m_Kind.m_bGroupA = w.m_Lgo.m_Kind.m_bGroupB = t.m_iType == 40;
        for (int i = 0; i < 101; ++i)
            ASSERT_EQ(w.Call(), 0);
        EXPECT_EQ(w.m_Lgo.m_iWrites, t.m_iType == 40 ? 0 : 1);
        const CLiveGainOffset_Data* p = w.m_Lgo.FindData(600);
        for (int i = 0; i < 200 && p->m_iState[LGO_MODE_GRAY] != LGO_STATE_CALIBRATING; ++i)
            ASSERT_EQ(w.Call(), 0);
        ASSERT_EQ(p->m_iState[LGO_MODE_GRAY], LGO_STATE_CALIBRATING);
        EXPECT_EQ(p->m_iEvenIndex_Offset[0], t.m_iExpectEven);
        if (t.m_iType == 40)
            continue; // group B limits are tighter than this front end's resolution
        ASSERT_EQ(w.Run(800, 600, 2), 0);
        EXPECT_TRUE(w.m_Lgo.IsCalibrated(600, 2));
        // Each channel's black level reached the target on its own.
        EXPECT_NEAR(w.m_Lgo.Levels(0, 3).m_dBlack[0], 10, 4);
        EXPECT_NEAR(w.m_Lgo.Levels(0, 3).m_dBlack[1], 10, 4);
    }
}

TEST(LiveGainOffsetWalk, CalibratesOnEveryDelayedCallOnlyAndConverges)
{
    for (int32_t iMode : {2, 3}) {
        SCOPED_TRACE(iMode);
        CScript s;
        s.m_iMode = iMode;
        CWalk w(s);
        while (w.m_Lgo.FindData(600) == nullptr ||
               w.m_Lgo.FindData(600)->m_iState[iMode == 3 ? 1 : 0] != LGO_STATE_CALIBRATING)
            ASSERT_EQ(w.Call(), 0);
        CLiveGainOffset_Data& d = *w.m_Lgo.m_Data[0];
        d.m_iCallDelay[iMode == 3 ? 1 : 0] = 3;
        const int64_t iWrites = w.m_Lgo.m_iWrites;
        for (int i = 0; i < 9; ++i)
            ASSERT_EQ(w.Call(), 0);
        EXPECT_EQ(w.m_Lgo.m_iWrites - iWrites, 3);
        ASSERT_EQ(w.Run(600, 600, iMode), 0);
        EXPECT_TRUE(w.m_Lgo.IsCalibrated(600, iMode));
        for (int32_t c = 0; c < 2; ++c)
            for (int32_t k = iMode == 3 ? 0 : 3; k < (iMode == 3 ? 3 : 4); ++k) {
                const CLgoLevels& L = w.m_Lgo.Levels(c, k);
                for (int ch = 0; ch < 2; ++ch) {
                    EXPECT_NEAR(L.m_dBlack[ch], 10, 4 + (iMode == 3 ? 1.5 : 0));
                    EXPECT_NEAR(L.m_dWhite[ch], 200, 7 + (iMode == 3 ? 1.5 : 0));
                }
            }
        // Gray handles the gray entry only, colour the three colours only.
        const int16_t* untouched = d.m_GainOffset.m_Cameras[0].m_Words[iMode == 3 ? 3 : 0];
        EXPECT_EQ(untouched[0], iMode == 3 ? 128 : 128);
        EXPECT_EQ(untouched[1], 128);
    }
}

TEST(LiveGainOffsetWalk, ResolutionChangeRestartsTheCountersNotTheStates)
{
    CScript s;
    CWalk w(s);
    for (int i = 0; i < 130; ++i)
        ASSERT_EQ(w.Call(), 0);
    const int32_t iState = w.m_Lgo.FindData(600)->m_iState[LGO_MODE_GRAY];
    EXPECT_GT(w.m_Lgo.m_iCall_Learning + w.m_Lgo.m_iCall_Calibrating, 0);
    // A block of another mode (gray -> colour) starts the counters over.
    CScript c = s;
    c.m_iMode = 3;
    CFrontEnd colour(c);
    EXPECT_EQ(w.m_Lgo.Do(colour.Block(w.m_Lgo, 1)), 0);
    EXPECT_EQ(w.m_Lgo.m_iCall_Learning, 0);
    EXPECT_EQ(w.m_Lgo.m_iCall_Calibrating, 0);
    EXPECT_EQ(w.m_Lgo.m_iCall_SetupWait, 1);
    EXPECT_EQ(w.m_Lgo.FindData(600)->m_iState[LGO_MODE_GRAY], iState);
    // Short blocks only count.
    CLgoBlock empty;
    empty.m_iDPI = 600;
    empty.m_iMode = 3;
    empty.m_iReceived = 99;
    EXPECT_EQ(w.m_Lgo.Do(empty), 0);
    EXPECT_EQ(w.m_Lgo.m_iCall_EmptyBuffer, 1);
    EXPECT_EQ(w.m_Lgo.m_iCall_SetupWait, 1);
}

TEST(LiveGainOffsetWalk, EveryBadInputEndsInItsError)
{
    struct CCase {
        const char* m_szName;
        CScript m_Script;
        int32_t m_iExpect;
    };
    auto make = [](auto f) {
        CScript s;
        f(s);
        return s;
    };
    const CCase cases[] = {
        {"weak lamp", make([](CScript& s) { s.m_dLight = 30; }), PERR_GAIN_NOT_ADJUSTABLE},
        {"black too high for the offset", make([](CScript& s) { s.m_dBlack = 60; }), PERR_OFFSET_NOT_ADJUSTABLE},
        {"flat profile", make([](CScript& s) { s.m_eResponse = FLAT; }), PERR_LGO_MAX_LOOPS},
        {"saturated profile", make([](CScript& s) { s.m_eResponse = SATURATED; }), PERR_LGO_MAX_LOOPS},
        {"all-black profile", make([](CScript& s) { s.m_eResponse = ALL_BLACK; }), PERR_LGO_MAX_LOOPS},
        {"cameras narrower than the window", make([](CScript& s) { s.m_iPixels = 60; }), CLiveGainOffset::kErrCameraLayout},
        {"no camera", make([](CScript& s) {
             s.m_iCameras = 0;
             s.m_iReceived = 4096;
         }), CLiveGainOffset::kErrCameraLayout},
    };
    for (const CCase& t : cases) {
        SCOPED_TRACE(t.m_szName);
        CWalk w(t.m_Script);
        EXPECT_EQ(Number(w.Run(1500, 600, 2)), t.m_iExpect);
        EXPECT_FALSE(w.m_Lgo.IsCalibrated(600, 2));
        if (t.m_iExpect > 0)
            EXPECT_TRUE(w.m_Lgo.m_bCameraFailed[0] || w.m_Lgo.m_bCameraFailed[1]);
    }
}

TEST(LiveGainOffsetWalk, AScannerWithNineOrNoCamerasIsRefused)
{
    for (int32_t iCameras : {0, 9}) {
        SCOPED_TRACE(iCameras);
        CScannerFixed scanner(600, iCameras, 5);
        CScript s;
        CWalk w(s, &scanner);
        EXPECT_EQ(w.Call(), CLiveGainOffset::kErrCameraLayout);
        EXPECT_EQ(w.m_Lgo.m_iWrites, 0);
    }
}
