#include <algorithm>
#include <cmath>
#include <cstdio>

#include "testtools/TestToolKinds.h"
#include "testtools/StarTestEngine.h"
#include "testtools/TonalResult.h"
#include "testtools/CenterCCDEngine.h"
#include "testtools/LiveTests.h"

namespace {

// Numbers at full precision (the viewer's texts round them, a script must not
// have to); what is not a number is null.
CJson Number(double d)
{
    if (!std::isfinite(d)) return CJson();
    return CJson(d);
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
        o.Set("app_fct", Number(s.m_dAppFct));
        o.Set("app_fct_line", s.m_iAppFctLine);
        o.Set("passed", !s.IsFailing());
        o.Set("averaged", s.m_bAvgResult);
        sweeps.Push(o);
        bAll = bAll && !s.IsFailing();
    }
    desc.m_Extra.Set("sweeps", sweeps);
    desc.m_Extra.Set("all_passed", bAll);
}

CJson Triple(const std::array<double, 3>& v)
{
    CJson a = CJson::MakeArray();
    for (double d : v) a.Push(Number(d));
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
    desc.m_Extra.Set("it8_dynamic_range", Number(r.m_dIT8DynamicRange));
    desc.m_Extra.Set("scanner_dynamic_range", Number(r.m_dScannerDynamicRange));
    desc.m_Extra.Set("index_min", r.m_iIndexMinDynamicRange);
    desc.m_Extra.Set("index_max", r.m_iIndexMaxDynamicRange);
    desc.m_Extra.Set("slope", Triple(r.m_dSlope));
    desc.m_Extra.Set("offset", Triple(r.m_dOffset));
    desc.m_Extra.Set("correlation", Triple(r.m_dCorrelation));
    desc.m_Extra.Set("bit_depth_light", Triple(r.m_dBitDepthLight));
    desc.m_Extra.Set("bit_depth_dark", Triple(r.m_dBitDepthDark));
    desc.m_Extra.Set("max_dark_deviation", Number(r.m_dMaxDarkDeviation));
    desc.m_Extra.Set("max_light_deviation", Number(r.m_dMaxLightDeviation));
}

void DescribePositioning(const std::string& /*szAs*/, CFileDescription& desc)
{
    CCenterCCDEngine e;
    const bool bOk = e.ReadPositioning(desc.m_szFile);
    if (!e.m_Messages.empty()) {
        desc.m_Messages.push_back(Joined(e.m_Messages));
        // Unreadable rows leave a result a script must not take for the whole one.
        desc.m_szProblem = Joined(e.m_Messages);
    }
    if (!bOk)
        return;
    static const char* kColours[3] = {"red", "green", "blue"};
    for (int32_t c = 0; c < 3; ++c) {
        CJson o = CJson::MakeObject();
        o.Set("front", Number(e.m_dFront[size_t(c)]));
        o.Set("rear", Number(e.m_dRear[size_t(c)]));
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
        // Unreadable rows leave a result a script must not take for the whole one.
        desc.m_szProblem = Joined(e.m_Messages);
    }
    if (!bOk)
        return;
    const double dFront = PixelsToMove(e.m_dPathDiffFront), dRear = PixelsToMove(e.m_dPathDiffRear);
    desc.m_Extra.Set("version", e.m_iVersion);
    desc.m_Extra.Set("rows", e.Rows());
    desc.m_Extra.Set("path_diff_front", Number(e.m_dPathDiffFront));
    desc.m_Extra.Set("path_diff_rear", Number(e.m_dPathDiffRear));
    desc.m_Extra.Set("pixels_to_move_front", Number(dFront));
    desc.m_Extra.Set("pixels_to_move_rear", Number(dRear));
    desc.m_Extra.Set("direction_front", TurnDirection(dFront));
    desc.m_Extra.Set("direction_rear", TurnDirection(dRear));
}

bool StarTestTable(const std::string& szFile, const std::string&, CDataTable& table, std::string& szError)
{
    CStarTestEngine e;
    if (!e.ReadFile(szFile) || e.m_Sweeps.empty()) {
        szError = e.m_Messages.empty() ? std::string("no sweep in the file") : Joined(e.m_Messages);
        return false;
    }
    table = StarTestDataTable(e);
    return true;
}

bool TonalTable(const std::string& szFile, const std::string&, CDataTable& table, std::string& szError)
{
    TonalResult r;
    r.Read(szFile, false);
    if (!r.m_bLoaded) {
        szError = r.m_Messages.empty() ? std::string("cannot be read") : Joined(r.m_Messages);
        return false;
    }
    table = TonalDataTable(r);
    return true;
}

bool PositioningTable(const std::string& szFile, const std::string&, CDataTable& table, std::string& szError)
{
    CCenterCCDEngine e;
    if (!e.ReadPositioning(szFile)) {
        szError = e.m_Messages.empty() ? std::string("cannot be read") : Joined(e.m_Messages);
        return false;
    }
    table = CDataTable();
    table.m_Headers = {"color"};
    table.m_KeyLabels = {"red", "green", "blue"};
    table.AddColumn("front").assign(e.m_dFront.begin(), e.m_dFront.end());
    table.AddColumn("rear").assign(e.m_dRear.begin(), e.m_dRear.end());
    return true;
}

bool CarriageTable(const std::string& szFile, const std::string&, CDataTable& table, std::string& szError)
{
    CCenterCCDEngine e;
    if (!e.ReadCarriage(szFile)) {
        szError = e.m_Messages.empty() ? std::string("cannot be read") : Joined(e.m_Messages);
        return false;
    }
    table = CDataTable();
    table.m_Headers = {"camera"};
    table.m_KeyLabels = {"front", "rear"};
    table.AddColumn("path_diff") = {e.m_dPathDiffFront, e.m_dPathDiffRear};
    table.AddColumn("pixels_to_move") = {PixelsToMove(e.m_dPathDiffFront), PixelsToMove(e.m_dPathDiffRear)};
    return true;
}

} // namespace

CDataTable StarTestDataTable(CStarTestEngine& engine)
{
    const StarTestChartData chart = engine.ChartData();
    CDataTable table;
    size_t n = chart.m_iRows > 0 ? size_t(chart.m_iRows) : 0;
    for (const StarTestCurve& c : chart.m_Curves)
        n = std::max(n, c.m_dValues.size());
    table.SetIndexKeys("row", n);
    for (const StarTestCurve& c : chart.m_Curves)
        table.AddColumn(c.m_szName) = c.m_dValues;
    return table;
}

CDataTable TonalDataTable(const TonalResult& r)
{
    CDataTable table;
    table.m_Headers = {"patch"};
    for (int32_t i = 0; i < TonalResult::kPatches; ++i) {
        char sz[8];
        std::snprintf(sz, sizeof sz, "GS%02d", i);
        table.m_KeyLabels.push_back(sz);
    }
    std::vector<double> L, density, red, green, blue;
    for (const TonalPatch& p : r.m_Patches) {
        L.push_back(p.m_dL);
        density.push_back(p.m_dDensity);
        red.push_back(p.m_dR);
        green.push_back(p.m_dG);
        blue.push_back(p.m_dB);
    }
    table.AddColumn("reference_L") = L;
    table.AddColumn("density") = density;
    table.AddColumn("red") = red;
    table.AddColumn("green") = green;
    table.AddColumn("blue") = blue;
    return table;
}

void RegisterTestToolKinds(CKindRegistry& reg)
{
    reg.AddDescriber(KIND_STAR_TEST, DescribeStarTest);
    reg.AddDescriber(KIND_TONAL_RESOLUTION, DescribeTonal);
    reg.AddDescriber(KIND_SCAN_LINE_POSITIONING, DescribePositioning);
    reg.AddDescriber(KIND_MIRROR_CARRIAGE_ADJUSTMENT, DescribeCarriage);
    reg.AddDataTable(KIND_STAR_TEST, StarTestTable);
    reg.AddDataTable(KIND_TONAL_RESOLUTION, TonalTable);
    reg.AddDataTable(KIND_SCAN_LINE_POSITIONING, PositioningTable);
    reg.AddDataTable(KIND_MIRROR_CARRIAGE_ADJUSTMENT, CarriageTable);
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
