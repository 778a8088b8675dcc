#include "oscilloscope/ui/OscilloscopeRegistration.h"

#include <QPainter>

#include "oscilloscope/OscilloscopeModel.h"
#include "oscilloscope/OscilloscopeRecording.h"
#include "oscilloscope/ui/OscilloscopeDialog.h"
#include "oscilloscope/ui/OscilloscopePaint.h"
#include "platform/Messages.h"

namespace {

int RunOscilloscope(const CViewerRequest& request)
{
    COscilloscope_Dialog dlg(request.m_pParent);
    if (!request.m_szDataFolder.empty())
        dlg.SetDirectory(request.m_szDataFolder);
    else
        dlg.SetFileName(request.m_szFile);
    return dlg.exec();
}

// The printed page of the dialog as it opens: first line, colour or gray,
// camera A, normal detail views.
bool RenderRecording(const std::string& szFile, const std::string& /*szAs*/, QSize size, QImage& image,
                     std::string& szError)
{
    COscRecording rec;
    const COscReadResult r = ReadOscilloscopeFile(szFile, rec);
    for (const std::string& sz : r.m_Messages)
        ShowMessage(sz);
    if (r.m_eOutcome != OSC_READ_LOADED) {
        szError = r.m_eOutcome == OSC_READ_FAILED ? r.m_szError : szFile + ": not an oscilloscope recording";
        ShowMessage(szError);
        return false;
    }
    if (!size.isValid() || size.isEmpty())
        size = DefaultOscilloscopePageSize();
    COscViewState state;
    CLPFGraph overview, left, right;
    COscilloscopeViews().Apply(rec, state, overview, left, right, true);
    image = QImage(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    PaintOscilloscopePage(painter, QRect(QPoint(0, 0), size), overview, left, right,
                          OscPrintHeaderLines(rec, state.m_iSelection));
    return true;
}

} // namespace

void RegisterOscilloscopeViewers(CUiRegistry& reg)
{
    reg.AddViewer(VIEWER_OSCILLOSCOPE, &RunOscilloscope);
    reg.AddRenderer(KIND_OSCILLOSCOPE, &RenderRecording);
    reg.AddRenderer(KIND_MTF, &RenderRecording);
}
