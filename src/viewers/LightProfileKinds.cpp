#include <algorithm>

#include "viewers/ViewerKinds.h"
#include "datafiles/ConFile.h"
#include "viewers/LightProfileFile.h"
#include "widgets/LightProfileGraph.h"
#include "viewers/LightProfileSamples.h"
#include "viewers/LightProfileView.h"

namespace {

void AddProfileFields(const CLightProfile& p, int64_t iSamples, CFileDescription& desc)
{
    CJson& x = desc.m_Extra;
    x.Set("samples", iSamples);
    x.Set("scanner_name", p.m_szScannerName);
    x.Set("date", p.m_szDate);
    x.Set("time", p.m_szTime);
    x.Set("color_scanner", p.m_bColorScanner);
    x.Set("color", p.m_iColor);
    x.Set("camera", p.m_iCamera);
    x.Set("camera_count", p.m_iCameraCount);
    x.Set("corrected", p.m_bCorrected);
    x.Set("generation", p.m_iGeneration);
    x.Set("firmware_revision", p.m_iFirmwareRevision);
    x.Set("width_factor", p.m_dWidthFactor);
    x.Set("signed_32_profile", p.m_bSigned32Profile);
    x.Set("display_mode", p.m_bSigned32Profile ? LPF_MODE_SIGNED32 : LPF_MODE_PROFILE);
}

// What the viewer makes of a light profile: the start-up recognition opens
// CView_LPF_Dialog; "--as light-profile" is the launcher's CLPF_Dialog.
void DescribeLightProfile(const std::string& szAs, CFileDescription& desc)
{
    const LPF_VIEWER eViewer = szAs == "light-profile" ? LPF_VIEWER_DIALOG : LPF_VIEWER_FILE;
    // Only the header: describing a 2 GB profile costs what a small one does.
    const CLightProfileLoad load = LoadLightProfile(desc.m_szFile, eViewer, false);
    switch (load.m_eOutcome) {
    case LPF_LOAD_OK: {
        desc.m_Messages = load.m_Messages;
        const int64_t iSamples = load.m_iSampleCount;
        if (load.m_bHeaderless)
            desc.m_iDataLength = iSamples;
        AddProfileFields(load.m_Profile, iSamples, desc);
        if (eViewer == LPF_VIEWER_FILE) {
            // The strip above the graph as the file viewer opens: whole profile, scaled.
            const CLightProfile& p = load.m_Profile;
            CLPFView view;
            view.SetScanner(p.m_iGeneration, p.m_bColorScanner, p.m_iCamera, p.m_iCameraCount, p.m_dWidthFactor);
            desc.m_Extra.Set("position_readout", view.PositionText(0));
        }
        break;
    }
    case LPF_LOAD_FAILED: {
        desc.m_Messages.push_back(load.m_szError);
        // The tool names the file itself; the problem is the rest of the message.
        const std::string szPrefix = desc.m_szFile + ": ";
        desc.m_szProblem =
            load.m_szError.rfind(szPrefix, 0) == 0 ? load.m_szError.substr(szPrefix.size()) : load.m_szError;
        if (desc.m_szKind == "headerless-light-profile")
            desc.m_iDataLength = 0; // too short to hold its header and trailer
        break;
    }
    case LPF_LOAD_HAND_OVER: {
        // A third-generation profile goes on to the camera adjustment check;
        // its header still describes the scan.
        CConFileHeader header;
        if (ReadConFileHeader(desc.m_szFile, header) == CON_READ_OK) {
            CLightProfileLoad keys;
            ReadLightProfileKeys(header.m_Header.GetText(), eViewer, keys);
            // The picture is one column per pixel of the scan line; its first
            // row tells the width, so only the start of the data is read.
            std::vector<uint8_t> data;
            std::string szProblem;
            const int64_t iSamples =
                ReadConDataBlock(header, 0, std::min<int64_t>(header.DataLength(), 64 << 10), data, szProblem)
                    ? G3ProfileWidth(data.data(), data.size())
                    : 0;
            AddProfileFields(keys.m_Profile, iSamples, desc);
        }
        desc.m_Extra.Set("handed_to", load.m_szViewer);
        break;
    }
    case LPF_LOAD_ASK_SETTINGS: {
        // The viewer asks "Select Scanner Settings"; described with the
        // dialog's initial choices, which OK would take unchanged.
        const CLightProfileLoad asked = LoadLightProfileWithSettings(desc.m_szFile, CScannerSettings(), false);
        desc.m_Extra.Set("asks_scanner_settings", true);
        if (asked.m_eOutcome == LPF_LOAD_OK)
            AddProfileFields(asked.m_Profile, asked.m_iSampleCount, desc);
        break;
    }
    case LPF_LOAD_RAWDEX:
        break;
    }
}

// The light profile viewers pass other kinds on as they load them.
std::string HandOverOf(const std::string& szFile, LPF_VIEWER eViewer)
{
    const CLightProfileLoad load = LoadLightProfile(szFile, eViewer, false);
    return load.m_eOutcome == LPF_LOAD_HAND_OVER ? load.m_szViewer : std::string();
}

bool LightProfileTable(const std::string& szFile, const std::string& szAs, CDataTable& table, std::string& szError)
{
    const LPF_VIEWER eViewer = szAs == "light-profile" ? LPF_VIEWER_DIALOG : LPF_VIEWER_FILE;
    CLightProfileLoad load = LoadLightProfile(szFile, eViewer);
    // A file of unknown layout is read with the question's initial choices, as info describes it.
    if (load.m_eOutcome == LPF_LOAD_ASK_SETTINGS)
        load = LoadLightProfileWithSettings(szFile, CScannerSettings());
    switch (load.m_eOutcome) {
    case LPF_LOAD_OK:
        table = LightProfileDataTable(load.m_Profile);
        return true;
    case LPF_LOAD_HAND_OVER:
        szError = "shown by " + load.m_szViewer + ", which keeps no light profile samples";
        return false;
    case LPF_LOAD_RAWDEX:
        szError = "a Rawdex packed file holds no samples itself; unpack it first";
        return false;
    default:
        szError = load.m_szError;
        return false;
    }
}

} // namespace

void RegisterLightProfileKinds(CKindRegistry& reg)
{
    reg.AddDescriber("light-profile", &DescribeLightProfile);
    reg.AddDescriber("headerless-light-profile", &DescribeLightProfile);
    reg.AddDescriber("g3-light-profile", &DescribeLightProfile);
    reg.AddDataTable("light-profile", &LightProfileTable);
    reg.AddDataTable("headerless-light-profile", &LightProfileTable);
    reg.AddSampleWriter("light-profile", &WriteLightProfileSamples);
    reg.AddHandOver("CView_LPF_Dialog", [](const std::string& szFile) { return HandOverOf(szFile, LPF_VIEWER_FILE); });
    reg.AddHandOver("CLPF_Dialog", [](const std::string& szFile) { return HandOverOf(szFile, LPF_VIEWER_DIALOG); });
}
