#pragma once
// The camera adjustment check view: the recorded light profile as a
// black-and-white picture, 256 levels high, with horizontal zoom and scroll.
#include <QDialog>
#include <QWidget>
#include <string>

#include "viewers/CameraCheckProfile.h"

class QLabel;
class QPainter;
class QScrollBar;

// The one drawing of the view on a size.
void PaintCameraCheckView(QPainter& painter, QSize size, const CCameraCheckProfile& profile,
                          const CCameraCheckView& view);

class CCameraCheckViewWidget : public QWidget {
    Q_OBJECT
public:
    explicit CCameraCheckViewWidget(QWidget* pParent);
    const CCameraCheckProfile* m_pProfile = nullptr;
    CCameraCheckView m_View;

signals:
    void ViewChanged();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent* pEvent) override;
    void resizeEvent(QResizeEvent*) override;
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
    CCameraCheckViewWidget* ViewWidget() const { return m_pView; }
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
    CCameraCheckViewWidget* m_pView;
    QScrollBar* m_pBar;
    QLabel* m_pScale;
    bool m_bUpdatingBar = false;
};
