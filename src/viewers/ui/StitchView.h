#pragma once
// The stitching picture viewer: the decoded picture as an off-screen image,
// shown with integer zoom by mouse and scroll bars, printed on one page.
#include <QDialog>
#include <QImage>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "viewers/StitchPicture.h"

class QPainter;

constexpr const char* kStitchWaitCaption = "View Stitching Picture";
class QScrollBar;
class QPushButton;
class CPixelInspectorTool;

// The off-screen picture. Gray pictures: an image over the decoded pixels it
// owns, so building it never copies the picture again. Run-length pictures:
// the data with its row index; the visible band of rows is decoded when drawn.
class CStitchImage {
public:
    static std::shared_ptr<CStitchImage> Build(CStitchPicture& picture);
    QSize Size() const { return QSize(m_Picture.m_iWidth, m_Picture.m_iHeight); }
    const CStitchPicture& Picture() const { return m_Picture; }
    // The part r of the picture (inside it) as an image for the screen.
    QImage Part(const QRect& r) const;

private:
    CStitchPicture m_Picture;
    QImage m_Gray;
};

// The one drawing of the view: the visible part stretched onto a size.
void PaintStitchView(QPainter& painter, QSize size, const CStitchView& view, const CStitchImage* pImage);

// Loads and builds a picture as the viewer does; messages collected for the caller.
bool LoadStitchImage(const std::string& szFile, CStitchPicture& picture, std::shared_ptr<CStitchImage>& image,
                     std::vector<std::string>& messages, std::string& szError);

class CStitchViewWidget : public QWidget {
    Q_OBJECT
public:
    explicit CStitchViewWidget(QWidget* pParent);
    CStitchView m_View;
    std::shared_ptr<CStitchImage> m_pImage;
    // Pixel under the mouse and the statistics of a Shift-dragged rectangle.
    CPixelInspectorTool* Inspector() const { return m_pInspector; }
    // A new picture was handed in.
    void PictureChanged();

signals:
    void ViewChanged();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void resizeEvent(QResizeEvent*) override;

private:
    CPixelInspectorTool* m_pInspector = nullptr;
    std::unique_ptr<CStitchPixels> m_pPixels;
    // Middle-button drag-panning.
    bool m_bPanning = false;
    QPoint m_PanStart;
    int32_t m_iPanCenterX = 0, m_iPanCenterY = 0;
};

class CView_Stitch_Dialog : public QDialog {
    Q_OBJECT
public:
    explicit CView_Stitch_Dialog(QWidget* pParent = nullptr);
    // A name ending in "/" (or "\\") is a folder: the Load button starts there.
    void SetFileName(const std::string& szFile);
    void SetMainDialog(QWidget* pMain) { m_pMainDialog = pMain; }

    bool LoadFile(const std::string& szFile);
    bool PrintToPdf(const QString& szPath);
    void PaintPage(QPainter& painter, const QRect& page) const;

    const CStitchPicture& Picture() const;
    CStitchViewWidget* ViewWidget() const { return m_pViewWidget; }
    QScrollBar* HorizontalBar() const { return m_pHBar; }
    QScrollBar* VerticalBar() const { return m_pVBar; }
    const QStringList& WaitTexts() const { return m_WaitTexts; }
    const QString& WaitCaption() const { return m_szWaitCaption; }

public slots:
    void OnLoad();
    void OnZoomOneToOne();
    void OnPrint();
    void OnHeaderInfo();

protected:
    void showEvent(QShowEvent* pEvent) override;

private:
    void UpdateScrollBars();
    void OnScroll();

    std::string m_szFileName;
    bool m_bIsFile = false;
    bool m_bLoadPending = false;
    bool m_bUpdatingBars = false;
    QWidget* m_pMainDialog = nullptr;
    CStitchViewWidget* m_pViewWidget;
    QScrollBar* m_pHBar;
    QScrollBar* m_pVBar;
    QStringList m_WaitTexts;
    QString m_szWaitCaption;
};
