#pragma once
// The two noise dialogs: the noise check (one channel against the model's
// limit) and the noise test with its graph control, which marks where a
// channel leaves its +-5 % band.
#include <QDialog>
#include <QWidget>
#include <string>

#include "viewers/NoiseRecord.h"

class QButtonGroup;
class QLabel;
class QPainter;
class QPushButton;
class QRadioButton;
class QScrollBar;
class CGraphCursorTool;

struct CNoiseGraphOptions {
    int32_t m_iColor = 1;          // 0 red, 1 green, 2 blue, 4 gray
    int32_t m_iUnit = NOISE_UNIT_INCH;
    bool m_bMarks = true;          // band lines, dips and peaks (noise test)
    int32_t m_iLimit = -1;         // limit band in percent around the average (noise check), -1 none
};

// The one drawing of both noise graphs on a plot of the given size.
void PaintNoiseGraph(QPainter& painter, QSize size, const CNoiseRecord& record, const CNoiseZoom& zoom,
                     const CNoiseGraphOptions& options);

// The graph control of the noise test dialog.
class CNoiseTestControl : public QWidget {
    Q_OBJECT
public:
    explicit CNoiseTestControl(QWidget* pParent);
    const CNoiseRecord* m_pRecord = nullptr;
    CNoiseZoom m_Zoom;
    CNoiseGraphOptions m_Options;
    // The sample under x, -1 outside the samples.
    int64_t SampleAt(int32_t iX) const;
    // Two cursors on the shown channel, with the level scale.
    CGraphCursorTool* CursorTool() const { return m_pCursors; }

signals:
    void ViewChanged();
    void CursorMoved(qint64 iSample);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void leaveEvent(QEvent*) override;

private:
    CGraphCursorTool* m_pCursors = nullptr;
};

// Where the noise check's graph stands in its client area.
QRect NoiseCheckGraphRect(QSize client);

// The noise check's client area: keeps the graph at its place on resizing.
class CNoiseCheckClient : public QWidget {
public:
    explicit CNoiseCheckClient(QWidget* pParent);
    QWidget* m_pGraph = nullptr;

protected:
    void resizeEvent(QResizeEvent* pEvent) override;
};

class CNCTest_Dialog : public QDialog {
    Q_OBJECT
public:
    explicit CNCTest_Dialog(QWidget* pParent = nullptr);
    void SetFileName(const std::string& szFile) { m_szFileName = szFile; m_bLoadPending = !szFile.empty(); }
    // The scanner model whose limit applies; by default the one the file records.
    void SetModelCode(uint32_t uModelCode) { m_uModelCode = uModelCode; m_bModelCodeSet = true; }

    bool LoadFile(const std::string& szFile);
    bool ChooseFile(const std::string& szFile);  // what the own file dialog does with its pick
    void SelectColor(int32_t iColor);
    bool PrintToPdf(const QString& szPath);
    void PaintPage(QPainter& painter, const QRect& page) const;

    const CNoiseRecord& Record() const { return m_Record; }
    int32_t Limit() const { return m_iLimit; }
    QString LimitText() const;
    QString AverageText() const;
    QString CursorText() const;
    CNoiseTestControl* Graph() const { return m_pGraph; }
    QScrollBar* ScrollBar() const { return m_pBar; }

public slots:
    void OnOpen();
    void OnPrint();

protected:
    void showEvent(QShowEvent* pEvent) override;

private:
    void UpdateReadouts();
    CNoiseRecord m_Record;
    std::string m_szFileName;
    bool m_bLoadPending = false;
    uint32_t m_uModelCode = 0;
    bool m_bModelCodeSet = false;
    int32_t m_iLimit = 0;
    CNoiseTestControl* m_pGraph;
    QScrollBar* m_pBar;
    QLabel* m_pLimit;
    QLabel* m_pAverage;
    QLabel* m_pCursor;
    QPushButton* m_pColor[3];
    bool m_bUpdatingBar = false;
};

class CNoiseTest_SM_Dialog : public QDialog {
    Q_OBJECT
public:
    explicit CNoiseTest_SM_Dialog(QWidget* pParent = nullptr);
    void SetFileName(const std::string& szFile) { m_szFileName = szFile; m_bLoadPending = !szFile.empty(); }

    bool LoadFile(const std::string& szFile);
    bool SaveFile(const std::string& szFile);
    void SelectColor(int32_t iColor);
    void SelectUnit(int32_t iUnit);
    bool PrintToPdf(const QString& szPath);
    void PaintPage(QPainter& painter, const QRect& page) const;

    const CNoiseRecord& Record() const { return m_Record; }
    CNoiseTestControl* Control() const { return m_pControl; }
    QPushButton* RescanButton() const { return m_pRescan; }
    QString AverageText() const;
    QString LimitText() const;

public slots:
    void OnLoad();
    void OnSave();
    void OnPrint();
    void OnRescan();

protected:
    void showEvent(QShowEvent* pEvent) override;

private:
    void UpdateControls();
    CNoiseRecord m_Record;
    std::string m_szFileName;
    bool m_bLoadPending = false;
    CNoiseTestControl* m_pControl;
    QScrollBar* m_pBar;
    QPushButton* m_pRescan;
    QRadioButton* m_pColor[4];
    QRadioButton* m_pUnit[3];
    QLabel* m_pCursor;
    QLabel* m_pLimit;
    QLabel* m_pAverage;
    bool m_bUpdatingBar = false;
};
