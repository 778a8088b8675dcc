#pragma once
// CView_LPF_Dialog: the light profile file viewer that the start-up
// recognition opens, with its own view (scaled and 1:1, white grid per
// generation, position read-out, measuring line). PaintLPFView is the one
// drawing path of that view: paint, print, export and `lumora-cli render`.
#include <QDialog>
#include <functional>
#include <string>

#include "viewers/LightProfileFile.h"
#include "viewers/LightProfileView.h"

class QPalette;
class QPrinter;
class QPushButton;
class CGraphCursorTool;

// Paints the whole client area (read-out strip, side strip, middle tick and graph).
// With a dark palette the face, the strips and the read-out text take its
// colours; without one (printing, rendering) or with a light one they keep
// the light grays the viewer always had. The graph's own colours never change.
void PaintLPFView(QPainter& painter, QSize size, const CLPFView& view, const QPalette* pPalette = nullptr);
QImage RenderLPFView(const CLPFView& view, QSize size);
// The size the viewer opens with; also the renderer's default.
QSize DefaultLPFViewSize();

class CLPFViewWidget : public QWidget {
    Q_OBJECT
public:
    explicit CLPFViewWidget(QWidget* parent = nullptr);
    CLPFView& View() { return m_View; }
    void Changed();
    // Two cursors, the level scale, the zoom and the measuring line's read-out.
    CGraphCursorTool* CursorTool() const { return m_pCursors; }

signals:
    void ViewChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    CLPFView m_View;
    QCursor m_PeakCursor;
    CGraphCursorTool* m_pCursors = nullptr;
    // The middle button drags the profile along.
    bool m_bPanning = false;
    int32_t m_iPanX = 0;
    double m_dPanStart = 0, m_dPanEnd = 0;
    int64_t m_iPanCenter = 0;
};

class CView_LPF_Dialog : public QDialog {
    Q_OBJECT
public:
    explicit CView_LPF_Dialog(QWidget* parent = nullptr);

    // A file handed in before the dialog opens.
    void SetFileName(const std::string& szFile);
    // Opened for the files a Rawdex package was unpacked into: the file
    // dialog opens there at once, and cancelling it closes the viewer.
    void SetDataFolder(const std::string& szFolder) { m_szDataFolder = szFolder; }
    // Picks a file for "&Load" (tests replace the file dialog).
    void SetFileChooser(std::function<QString()> chooser) { m_Chooser = std::move(chooser); }
    // Printing goes to this PDF instead of the print dialog (headless runs).
    void SetPrintToFile(const QString& szPdf) { m_szPrintFile = szPdf; }

    bool Load(const std::string& szFile);
    const CLightProfile& Profile() const { return m_Profile; }
    CLPFViewWidget* ViewWidget() const { return m_pView; }

    void OnLoad();
    void OnChangeView();
    void OnZoomAll();
    void OnPrint();
    void OnHeaderInfo();
    bool PrintTo(QPrinter& printer);
    bool ExportPng(const QString& szFile);
    bool ExportCsv(const QString& szFile);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void UpdateButtons();

    CLightProfile m_Profile;
    std::string m_szFile;
    bool m_bFileGiven = false;
    bool m_bStarted = false;
    bool m_bHolds = false; // a profile was loaded
    std::string m_szDataFolder;
    CLPFViewWidget* m_pView = nullptr;
    QPushButton* m_pLoad = nullptr;
    QPushButton* m_pChange = nullptr;
    QPushButton* m_pZoomAll = nullptr;
    QPushButton* m_pPrint = nullptr;
    QPushButton* m_pExit = nullptr;
    std::function<QString()> m_Chooser;
    QString m_szPrintFile;
};
