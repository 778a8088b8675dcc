// One calibration step of one camera and colour, both forms, against the
// limits that decide done, moved, refused and failed.
#include <gtest/gtest.h>

#include "calibration/LiveGainOffset.h"
#include "datafiles/ProgramErrors.h"

namespace {

enum EChannel { ODD = 0, EVEN = 4 };
constexpr int16_t kNone = static_cast<int16_t>(0xFFFF);
constexpr int16_t kOvershot = static_cast<int16_t>(0xFFFE);

struct CChannelState {
    int16_t m_Gain, m_Offset, m_PrevGain, m_PrevOffset;
};

void SetChannel(CLiveGainOffset_Data& d, int c, int k, int w, CChannelState s)
{
    int16_t* p = d.m_GainOffset.m_Cameras[size_t(c)].m_Words[k] + w;
    p[0] = s.m_Gain;
    p[1] = s.m_Offset;
    p[2] = s.m_PrevGain;
    p[3] = s.m_PrevOffset;
}

CChannelState GetChannel(const CLiveGainOffset_Data& d, int c, int k, int w)
{
    const int16_t* p = d.m_GainOffset.m_Cameras[size_t(c)].m_Words[k] + w;
    return {p[0], p[1], p[2], p[3]};
}

int32_t Number(int32_t iCode)
{
    return iCode == 0 ? 0 : static_cast<int32_t>(ProgramErrorNumber(iCode));
}

struct COlderCase {
    const char* m_szName;
    int32_t m_iType;           // scanner type (11: type-11 rule, 28: group B, frozen offset)
    bool m_bFinalPass;
    int32_t m_iStep;
    CChannelState m_Start;     // both channels start here
    int32_t m_iBlack, m_iWhite; // both channels read these
    int16_t m_ExpectOffset, m_ExpectGain;
    bool m_bExpectDone;
    int32_t m_iExpectError;
};

CLgoScannerKind Kind(int32_t iType)
{
    CLgoScannerKind k;
    k.m_iType = iType;
    k.m_bGroupA = iType == 28 || iType == 40;
    k.m_bGroupB = iType == 28 || iType == 40;
    k.m_bGroupD = iType == 11;
    return k;
}

} // namespace

TEST(LiveGainOffsetOlderStep, MovesRefusesAndFailsByTheLimits)
{
    const COlderCase cases[] = {
        {"black 18 moves the offset down one step", 5, false, 64, {200, 128, kNone, kNone}, 18, 200, 64, 200, false, 0},
        {"black within the done limit stays", 5, false, 64, {200, 128, kNone, kNone}, 14, 200, 128, 200, true, 0},
        {"a step back to the value just left is refused", 5, false, 32, {200, 64, kNone, 96}, 5, 200, 64, 200, true, 0},
        {"dark white raises the gain", 5, false, 16, {128, 40, kNone, kNone}, 10, 150, 40, 144, false, 0},
        {"offset at its bound with black too high is 984", 5, false, 8, {128, 0, kNone, kNone}, 40, 200, 0, 128, true,
         PERR_OFFSET_NOT_ADJUSTABLE},
        {"gain at its bound with a weak lamp is 985", 5, false, 8, {255, 40, kNone, kNone}, 10, 150, 40, 255, true,
         PERR_GAIN_NOT_ADJUSTABLE},
        {"type 11 far off target stops with 985", 11, false, 1, {128, 40, 129, kNone}, 10, 150, 40, 128, true,
         PERR_GAIN_NOT_ADJUSTABLE},
        {"final pass with a channel still moving is 978", 5, true, 4, {128, 40, kNone, kNone}, 10, 185, 40, 132, false,
         PERR_LGO_MAX_LOOPS},
        {"final pass with both channels done passes", 5, true, 4, {128, 40, kNone, kNone}, 11, 198, 40, 128, true, 0},
        {"frozen offset (type 28) is measured, never moved", 28, false, 16, {20, 128, kNone, kNone}, 30, 200, 128, 20,
         false, 0},
        {"group B keeps working on white below target - 2", 28, false, 16, {20, 128, 36, kNone}, 8, 197, 128, 36,
         false, 0},
    };
    for (const COlderCase& t : cases) {
        SCOPED_TRACE(t.m_szName);
        CLiveGainOffset_Data d(Kind(t.m_iType), 600);
        d.m_iStep[LGO_MODE_GRAY] = t.m_iStep;
        d.m_CheckAndSetGobalCameraFailedNow = t.m_bFinalPass;
        SetChannel(d, 1, 3, EVEN, t.m_Start);
        SetChannel(d, 1, 3, ODD, t.m_Start);
        const int32_t iError = d.Do(1, 3, t.m_iBlack, t.m_iWhite, t.m_iBlack, t.m_iWhite);
        EXPECT_EQ(Number(iError), t.m_iExpectError);
        EXPECT_EQ(d.m_bCameraFailed[1], t.m_iExpectError != 0);
        if (t.m_iExpectError != 0)
            EXPECT_EQ(d.m_iCameraError[1], iError);
        const CChannelState even = GetChannel(d, 1, 3, EVEN);
        EXPECT_EQ(even.m_Offset, t.m_ExpectOffset);
        EXPECT_EQ(even.m_Gain, t.m_ExpectGain);
        EXPECT_EQ(d.m_bDone[LGO_MODE_GRAY], t.m_bExpectDone);
        EXPECT_TRUE(d.m_bDone[LGO_MODE_COLOR]) << "a gray step never touches the colour mode";
    }
}

TEST(LiveGainOffsetOlderStep, KeepsThePreviousValueAndSumsTheDistances)
{
    CLiveGainOffset_Data d(Kind(5), 600);
    SetChannel(d, 0, 0, EVEN, {128, 128, kNone, kNone});
    SetChannel(d, 0, 0, ODD, {128, 128, kNone, kNone});
    EXPECT_EQ(d.Do(0, 0, 30, 180, 18, 220), 0);
    const CChannelState even = GetChannel(d, 0, 0, EVEN), odd = GetChannel(d, 0, 0, ODD);
    EXPECT_EQ(even.m_PrevOffset, 128);
    EXPECT_EQ(even.m_Offset, 64);
    EXPECT_EQ(even.m_Gain, 64);  // 220 too bright
    EXPECT_EQ(odd.m_Gain, 192);  // 180 too dark
    EXPECT_EQ(d.m_iBlack_SumDiff, 8 + 20);
    EXPECT_EQ(d.m_iWhite_SumDiff, 20 + 20);
    // Colour steps use the colour step and leave gray alone.
    EXPECT_FALSE(d.m_bDone[LGO_MODE_COLOR]);
    EXPECT_TRUE(d.m_bDone[LGO_MODE_GRAY]);
}

struct CNewerCase {
    const char* m_szName;
    CChannelState m_Start;
    int32_t m_iBlack, m_iWhite;
    CChannelState m_Expect;
    bool m_bExpectDone;
    int32_t m_iExpectError;
};

TEST(LiveGainOffsetNewerStep, HalvesTheBlackDistanceAndWalksTheGainByOne)
{
    const CNewerCase cases[] = {
        {"black 30 moves the offset by half the distance", {16, 128, kNone, kNone}, 30, 200, {16, 118, kNone, 128},
         false, 0},
        {"an offset change frees the gain to go back", {16, 128, 15, kNone}, 30, 200, {16, 118, kNone, 128}, false,
         0},
        {"a rise is limited to ten", {16, 100, kNone, kNone}, -30, 200, {16, 110, kNone, 100}, false, 0},
        {"black within half the done limit stays", {16, 100, kNone, kNone}, 12, 200, {16, 100, kNone, kNone}, true, 0},
        {"dark white raises the gain by one", {16, 100, kNone, kNone}, 10, 150, {17, 100, 16, kNone}, false, 0},
        {"a gain of 128 comes into the 5-bit range", {128, 100, kNone, kNone}, 10, 255, {31, 100, 128, kNone}, false,
         0},
        {"an overshoot lowers the gain and bars the way back", {16, 100, 15, kNone}, 10, 215, {15, 100, kOvershot, kNone},
         false, 0},
        {"after an overshoot a white in range stops", {15, 100, kOvershot, kNone}, 10, 195, {15, 100, kOvershot, kNone},
         true, 0},
        {"offset 255 and black still too low is 984", {16, 255, kNone, 250}, 2, 200, {16, 255, kNone, 250}, false,
         PERR_OFFSET_NOT_ADJUSTABLE},
        {"offset 0 and black above the maximum is 984", {16, 0, kNone, 4}, 50, 200, {16, 0, kNone, 4}, true,
         PERR_OFFSET_NOT_ADJUSTABLE},
        {"gain 0 and white still too bright is 985", {0, 100, 1, kNone}, 10, 240, {0, 100, 1, kNone}, true,
         PERR_GAIN_NOT_ADJUSTABLE},
        {"gain 31 with a weak lamp is 985", {31, 100, 30, kNone}, 10, 120, {31, 100, 30, kNone}, true,
         PERR_GAIN_NOT_ADJUSTABLE},
    };
    for (const CNewerCase& t : cases) {
        SCOPED_TRACE(t.m_szName);
        CLiveGainOffset_Data d(Kind(5), 600);
        SetChannel(d, 2, 3, EVEN, t.m_Start);
        SetChannel(d, 2, 3, ODD, t.m_Start);
        const int32_t iError = d.DoCalibrateOneCameraOneStep(2, 3, t.m_iBlack, t.m_iWhite, t.m_iBlack, t.m_iWhite, 1);
        EXPECT_EQ(Number(iError), t.m_iExpectError);
        const CChannelState e = GetChannel(d, 2, 3, EVEN);
        EXPECT_EQ(e.m_Gain, t.m_Expect.m_Gain);
        EXPECT_EQ(e.m_Offset, t.m_Expect.m_Offset);
        EXPECT_EQ(e.m_PrevGain, t.m_Expect.m_PrevGain);
        EXPECT_EQ(e.m_PrevOffset, t.m_Expect.m_PrevOffset);
        if (t.m_iExpectError == 0)
            EXPECT_EQ(d.m_bDone[LGO_MODE_GRAY], t.m_bExpectDone);
    }
}
