#pragma once
// The camera adjustment check view: the recorded light profile as a
// black-and-white picture, 256 levels high, with horizontal zoom and scroll.
#include <QDialog>
#include <string>

#include "widgets/ui/BasicTestControl.h"
#include "viewers/CameraCheckProfile.h"

class QLabel;
class QPainter;
class QScrollBar;
class CGraphCursorTool;

// The one drawing of the view on a size.
void PaintCameraCheckView(QPainter& painter, QSize size, const CCameraCheckProfile& profile,
                          const CCameraCheckView& view);

// The view as a test control: it stands where the dialog's placeholder (1038)
// stood and draws through the control's surface.
class CCameraCheckControl : public CBasicTestControl {
    Q_OBJECT
public:
    explicit CCameraCheckControl(QWidget* pParent = nullptr);
    const CCameraCheckProfile* m_pProfile = nullptr;
    CCameraCheckView m_View;

    bool DrawContent(QPainter& dc, int32_t iWidth, int32_t iHeight) override;
    // Two cursors reading the profile's level per column.
    CGraphCursorTool* CursorTool() const { return m_pCursors; }
    void OnLButtonDown(uint32_t iButtons, int32_t x, int32_t y) override;
    void OnRButtonDown(uint32_t iButtons, int32_t x, int32_t y) override;
    void OnSize(int32_t iType, int32_t cx, int32_t cy) override;

signals:
    void ViewChanged();

protected:
    // The second press of a right double click arrives here, not as a press:
    // without this a quick double click would zoom out only one step.
    void mouseDoubleClickEvent(QMouseEvent* pEvent) override;

private:
    CGraphCursorTool* m_pCursors = nullptr;
};

class COstra_Check_Camera_Adjustment_Test_Dialog : public QDialog {
    Q_OBJECT
public:
    explicit COstra_Check_Camera_Adjustment_Test_Dialog(QWidget* pParent = nullptr);
    void SetFileName(const std::string& szFile) { m_szFileName = szFile; }

    bool LoadFile(const std::string& szFile);
    bool SaveCopy(const std::string& szTarget);
    bool PrintToPdf(const QString& szPath);
    void PaintPage(QPainter& painter, const QRect& page) const;
    void ShowHeader();

    const CCameraCheckProfile& Profile() const { return m_Profile; }
    CCameraCheckControl* ViewWidget() const { return m_pView; }
    QString ScaleText() const;
    QScrollBar* ScrollBar() const { return m_pBar; }

public slots:
    void OnOpen();
    void OnSave();
    void OnPrint();
    void OnZoomAll();

protected:
    void showEvent(QShowEvent* pEvent) override;

private:
    void UpdateControls();
    CCameraCheckProfile m_Profile;
    std::string m_szFileName;
    bool m_bStarted = false;
    CCameraCheckControl* m_pView;
    QScrollBar* m_pBar;
    QLabel* m_pScale;
    bool m_bUpdatingBar = false;
};
