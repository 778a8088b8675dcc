// Light profile files from anywhere: the loader of both viewers, the
// settings path for files of unknown layout, the third-generation picture
// decoder, and the graph walking whatever samples came out.
#include <cstdint>
#include <string>

#include "viewers/LightProfileFile.h"
#include "widgets/LightProfileGraph.h"
#include "viewers/LightProfileSamples.h"
#include "viewers/LightProfileView.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    for (LPF_VIEWER eViewer : {LPF_VIEWER_DIALOG, LPF_VIEWER_FILE}) {
        CLightProfileLoad load = LoadLightProfileBytes("fuzz.con", bytes, eViewer);
        if (load.m_eOutcome == LPF_LOAD_ASK_SETTINGS) {
            // The file's own first bytes stand for what a technician might type as header.
            CScannerSettings settings;
            settings.m_szHeader = bytes.substr(0, 256);
            load = LoadLightProfileBytesWithSettings("fuzz.con", bytes, settings);
        }
        if (load.m_eOutcome != LPF_LOAD_OK)
            continue;
        const CLightProfile& p = load.m_Profile;
        (void)LightProfileTitle(p);
        (void)LightProfilePrintLines(p);
        CLPFGraph graph;
        graph.SetData(p.m_Data.data(), static_cast<int64_t>(p.m_Data.size()), p.m_iColor);
        if (p.m_bSigned32Profile)
            graph.SetDisplayMode(LPF_MODE_SIGNED32);
        graph.ZoomIn(size % 97, 97);
        for (const CLPFColumn& col : graph.Columns(97)) {
            uint8_t lo, hi;
            if (!col.IsEmpty())
                graph.ColumnMinMax(col, 0, lo, hi);
        }
        CLPFView view;
        view.SetData(p.m_Data.data(), static_cast<int64_t>(p.m_Data.size()));
        view.SetScanner(p.m_iGeneration, p.m_bColorScanner, p.m_iCamera, p.m_iCameraCount, p.m_dWidthFactor);
        (void)view.ColumnsScaled(140, 140);
        (void)view.PositionText(140);
        // The read-out of every view state: zoomed, then 1:1 at the clicked sample.
        view.ZoomIn(20 + static_cast<int32_t>(size % 100), 140);
        (void)view.PositionText(140);
        view.SetScaled(false);
        view.ZoomIn(20 + static_cast<int32_t>(size % 100), 140);
        (void)view.Columns1To1(140, 140);
        (void)view.PositionText(140);
    }
    (void)LightProfileFlashCaption(bytes);
    std::vector<uint8_t> levels;
    std::string szError;
    DecodeG3ProfilePicture(data, size, levels, szError);
    return 0;
}
