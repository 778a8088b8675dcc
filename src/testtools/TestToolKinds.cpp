#include <cmath>

#include "testtools/TestToolKinds.h"
#include "testtools/StarTestEngine.h"
#include "testtools/TonalResult.h"
#include "testtools/CenterCCDEngine.h"
#include "testtools/LiveTests.h"

namespace {

// Numbers as the viewer shows them: rounded to what its texts print.
CJson Round(double d, int iDigits)
{
    if (!std::isfinite(d)) return CJson();
    const double f = std::pow(10.0, iDigits);
    return CJson(std::round(d * f) / f);
}

std::string Joined(const std::vector<std::string>& v)
{
    std::string sz;
    for (const std::string& s : v) sz += (sz.empty() ? "" : "\n") + s;
    return sz;
}

void DescribeStarTest(const std::string& /*szAs*/, CFileDescription& desc)
{
    CStarTestEngine e;
    e.ReadFile(desc.m_szFile);
    if (!e.m_Messages.empty()) {
        desc.m_Messages.push_back(Joined(e.m_Messages));
        // Every message of the reader means sweeps are missing or cut: a script must not take
        // what is left for the whole result.
        desc.m_szProblem = Joined(e.m_Messages);
    }
    CJson sweeps = CJson::MakeArray();
    bool bAll = !e.m_Sweeps.empty();
    for (const StarTestSweep& s : e.m_Sweeps) {
        CJson o = CJson::MakeObject();
        o.Set("resolution", s.m_iResolution);
        o.Set("color", s.m_bColorScan ? "c" : "m");
        o.Set("lines", s.m_iLineCount);
        o.Set("app_fct", Round(s.m_dAppFct, 2));
        o.Set("app_fct_line", s.m_iAppFctLine);
        o.Set("passed", !s.IsFailing());
        o.Set("averaged", s.m_bAvgResult);
        sweeps.Push(o);
        bAll = bAll && !s.IsFailing();
    }
    desc.m_Extra.Set("sweeps", sweeps);
    desc.m_Extra.Set("all_passed", bAll);
}

CJson Triple(const std::array<double, 3>& v, int iDigits)
{
    CJson a = CJson::MakeArray();
    for (double d : v) a.Push(Round(d, iDigits));
    return a;
}

void DescribeTonal(const std::string& /*szAs*/, CFileDescription& desc)
{
    TonalResult r;
    r.Read(desc.m_szFile, false); // describing never rewrites the file
    if (!r.m_Messages.empty()) {
        desc.m_Messages.push_back(Joined(r.m_Messages));
        desc.m_szProblem = Joined(r.m_Messages);
    }
    if (!r.m_bLoaded) return;
    desc.m_Extra.Set("it8_dynamic_range", Round(r.m_dIT8DynamicRange, 2));
    desc.m_Extra.Set("scanner_dynamic_range", Round(r.m_dScannerDynamicRange, 2));
    desc.m_Extra.Set("index_min", r.m_iIndexMinDynamicRange);
    desc.m_Extra.Set("index_max", r.m_iIndexMaxDynamicRange);
    desc.m_Extra.Set("slope", Triple(r.m_dSlope, 2));
    desc.m_Extra.Set("offset", Triple(r.m_dOffset, 2));
    desc.m_Extra.Set("correlation", Triple(r.m_dCorrelation, 5));
    desc.m_Extra.Set("bit_depth_light", Triple(r.m_dBitDepthLight, 2));
    desc.m_Extra.Set("bit_depth_dark", Triple(r.m_dBitDepthDark, 2));
    desc.m_Extra.Set("max_dark_deviation", Round(r.m_dMaxDarkDeviation, 2));
    desc.m_Extra.Set("max_light_deviation", Round(r.m_dMaxLightDeviation, 2));
}

void DescribePositioning(const std::string& /*szAs*/, CFileDescription& desc)
{
    CCenterCCDEngine e;
    const bool bOk = e.ReadPositioning(desc.m_szFile);
    if (!e.m_Messages.empty()) {
        desc.m_Messages.push_back(Joined(e.m_Messages));
        desc.m_Extra.Set("problem", Joined(e.m_Messages));
    }
    if (!bOk)
        return;
    static const char* kColours[3] = {"red", "green", "blue"};
    for (int32_t c = 0; c < 3; ++c) {
        CJson o = CJson::MakeObject();
        o.Set("front", Round(e.m_dFront[size_t(c)], 2));
        o.Set("rear", Round(e.m_dRear[size_t(c)], 2));
        desc.m_Extra.Set(kColours[c], o);
    }
    desc.m_Extra.Set("passed", e.Passed());
}

void DescribeCarriage(const std::string& /*szAs*/, CFileDescription& desc)
{
    CCenterCCDEngine e;
    const bool bOk = e.ReadCarriage(desc.m_szFile);
    if (!e.m_Messages.empty()) {
        desc.m_Messages.push_back(Joined(e.m_Messages));
        desc.m_Extra.Set("problem", Joined(e.m_Messages));
    }
    if (!bOk)
        return;
    const double dFront = PixelsToMove(e.m_dPathDiffFront), dRear = PixelsToMove(e.m_dPathDiffRear);
    desc.m_Extra.Set("version", e.m_iVersion);
    desc.m_Extra.Set("rows", e.Rows());
    desc.m_Extra.Set("path_diff_front", Round(e.m_dPathDiffFront, 2));
    desc.m_Extra.Set("path_diff_rear", Round(e.m_dPathDiffRear, 2));
    desc.m_Extra.Set("pixels_to_move_front", Round(dFront, 2));
    desc.m_Extra.Set("pixels_to_move_rear", Round(dRear, 2));
    desc.m_Extra.Set("direction_front", TurnDirection(dFront));
    desc.m_Extra.Set("direction_rear", TurnDirection(dRear));
}

} // namespace

void RegisterTestToolKinds(CKindRegistry& reg)
{
    reg.AddDescriber("star-test", DescribeStarTest);
    reg.AddDescriber("tonal-resolution", DescribeTonal);
    reg.AddDescriber("scan-line-positioning", DescribePositioning);
    reg.AddDescriber("mirror-carriage-adjustment", DescribeCarriage);
    reg.AddSampleWriter("star-test", [](const std::string& szDir) -> std::vector<std::string> {
        const std::string szPath = szDir + "/StarTest_Sample.txt";
        if (!CStarTestEngine::WriteFile(szPath, MakeSampleStarTestSweeps(), 9, 2)) return {};
        return {szPath};
    });
    reg.AddSampleWriter("tonal-resolution", [](const std::string& szDir) -> std::vector<std::string> {
        const std::string szPath = szDir + "/TonalResolution_Sample.txt";
        if (!MakeSampleTonalResult().Write(szPath)) return {};
        return {szPath};
    });
    reg.AddSampleWriter("live-tests", &WriteLiveTestSamples);
}
