#pragma once
// Viewers and renderers by name, so the launcher, the light profile viewer's
// own dispatch, `lumora --screenshot` and `lumora-cli render` reach every
// subsystem's dialogs without knowing them.
#include <QImage>
#include <QSize>
#include <functional>
#include <map>
#include <string>
#include <vector>

class QWidget;

// How a viewer is asked to open. Mirrors what the launcher hands over.
struct CViewerRequest {
    std::string m_szFile;        // empty: the viewer opens with no file
    bool m_bFileGiven = false;   // "viewer told that a file is given"
    bool m_bIsFile = true;       // stitching viewer: a file, not a directory
    std::string m_szDataFolder;  // oscilloscope: folder handed over after a Rawdex unpack
    QWidget* m_pParent = nullptr;
};

// Runs the viewer modally and returns its dialog result.
using ViewerRunner = std::function<int(const CViewerRequest& request)>;

// Draws the view of a file with the same painting code the dialog uses.
// size may be invalid: the renderer then picks the dialog's own view size.
using FileRenderer = std::function<bool(const std::string& szFile, const std::string& szAs, QSize size, QImage& image,
                                        std::string& szError)>;

class CUiRegistry {
public:
    static CUiRegistry& Instance(); // filled once by the program's composition root

    // szViewer is the dialog's class name, e.g. "CView_LPF_Dialog".
    void AddViewer(const std::string& szViewer, ViewerRunner fn) { m_Viewers[szViewer] = std::move(fn); }
    // szKind as in CFileDescription::m_szKind.
    void AddRenderer(const std::string& szKind, FileRenderer fn) { m_Renderers[szKind] = std::move(fn); }
    // The view a dialog (by class name) shows of a file; preferred over the
    // kind's renderer, since a viewer may pass a file on to another.
    void AddViewRenderer(const std::string& szViewer, FileRenderer fn) { m_ViewRenderers[szViewer] = std::move(fn); }

    const ViewerRunner* FindViewer(const std::string& szViewer) const;
    std::vector<std::string> ViewerNames() const;
    const FileRenderer* FindRenderer(const std::string& szKind) const;
    const FileRenderer* FindViewRenderer(const std::string& szViewer) const;

private:
    std::map<std::string, ViewerRunner> m_Viewers;
    std::map<std::string, FileRenderer> m_Renderers;
    std::map<std::string, FileRenderer> m_ViewRenderers;
};
