#pragma once
// Pixel-by-pixel inspection of a picture: a zoomable, pannable picture control
// with a selection rectangle, and an info control with the position, colour,
// zoom and a thumbnail of the whole picture.
#include <QDialog>
#include <QPointer>

#include "imaging/Picture.h"
#include "testtools/PictureViewGeometry.h"
#include "widgets/PixelInspection.h"
#include "widgets/ui/BasicTestControl.h"

class QCheckBox;
class QScrollBar;
class CPixelInspectorTool;

class CPictureView_Control : public CBasicTestControl {
    Q_OBJECT
public:
    explicit CPictureView_Control(bool bInfo, QWidget* pParent = nullptr);

    void SetPicture(const CPicture* pPicture);
    void SetPresetCentre(int32_t x, int32_t y, int32_t iZoom) { m_iPresetX = x; m_iPresetY = y; m_iPresetZoom = iZoom; }
    void SetPartner(CPictureView_Control* p) { m_pPartner = p; }
    void SetScrollBars(QScrollBar* pHorizontal, QScrollBar* pVertical);
    const CPictureViewGeometry& Geometry() const { return m_Geometry; }
    bool HasSelection() const { return m_bSelection; }
    QRect Selection() const { return m_Selection; } // picture coordinates
    // Pixel in millimetres and the selection's statistics (picture control only).
    CPixelInspectorTool* Inspector() const { return m_pInspector; }
    // The text lines the info control shows for the current mouse position.
    std::vector<std::string> InfoLines() const;

    bool DrawContent(QPainter& dc, int32_t iWidth, int32_t iHeight) override;
    void OnLButtonDown(uint32_t iButtons, int32_t x, int32_t y) override;
    void OnLButtonUp(uint32_t iButtons, int32_t x, int32_t y) override;
    void OnRButtonUp(uint32_t iButtons, int32_t x, int32_t y) override;
    void OnMouseMove(uint32_t iButtons, int32_t x, int32_t y) override;
    void OnSize(int32_t iType, int32_t cx, int32_t cy) override;
    void InitView(); // geometry from the picture and the preset, after InitControl

private:
    void DrawPicture(QPainter& dc, int32_t iWidth, int32_t iHeight);
    void DrawInfo(QPainter& dc, int32_t iWidth, int32_t iHeight);
    void UpdateScrollBars();
    void OnScroll(bool bHorizontal, int32_t iPos);
    void Changed(); // redraw both controls

    bool m_bInfo;
    const CPicture* m_pPicture = nullptr;
    CPictureViewGeometry m_Geometry;
    int32_t m_iPresetX = -1, m_iPresetY = -1, m_iPresetZoom = 1;
    int32_t m_iMouseX = -1, m_iMouseY = -1;
    int32_t m_iDragX = 0, m_iDragY = 0;
    bool m_bDragging = false;
    int64_t m_iPressTime = 0;
    QRect m_Selection;
    bool m_bSelection = false;
    CPictureView_Control* m_pPartner = nullptr;
    QPointer<QScrollBar> m_pHorizontal, m_pVertical;
    bool m_bInScroll = false;
    CPicturePixels m_Pixels;
    CPixelInspectorTool* m_pInspector = nullptr;
};

class CPictureView_Dialog : public QDialog {
    Q_OBJECT
public:
    explicit CPictureView_Dialog(QWidget* pParent = nullptr);
    // Set before showing; neither picture is owned.
    void SetPicture(const CPicture* pPicture) { m_pPicture = pPicture; }
    void SetMarkedPicture(const CPicture* pMarked) { m_pMarked = pMarked; }
    void SetPresetCentre(int32_t x, int32_t y, int32_t iZoom) { m_iPresetX = x; m_iPresetY = y; m_iPresetZoom = iZoom; }

    CPictureView_Control* PictureControl() const { return m_pView; }
    CPictureView_Control* InfoControl() const { return m_pInfo; }
    QCheckBox* MarkedCheck() const { return m_pMarkedCheck; }
    // Builds and initialises the controls (also done when the dialog is shown).
    void Initialise();

protected:
    void showEvent(QShowEvent* e) override;

private:
    void ToggleMarked();

    const CPicture* m_pPicture = nullptr;
    const CPicture* m_pMarked = nullptr;
    int32_t m_iPresetX = -1, m_iPresetY = -1, m_iPresetZoom = 1;
    bool m_bViewMarked = false;
    bool m_bInitialised = false;
    CPictureView_Control* m_pView = nullptr;
    CPictureView_Control* m_pInfo = nullptr;
    QScrollBar* m_pHorizontal = nullptr;
    QScrollBar* m_pVertical = nullptr;
    QCheckBox* m_pMarkedCheck = nullptr;
};
