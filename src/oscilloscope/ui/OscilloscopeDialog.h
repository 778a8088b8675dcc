#pragma once
// COscilloscope_Dialog: plays oscilloscope and MTF recordings back line by
// line in three graph views (overview, left and right detail), single file
// or all "Oscil_*.con" files of one folder.
#include <QDialog>
#include <QString>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "oscilloscope/CameraAdjustment.h"
#include "oscilloscope/FocusEvaluation.h"
#include "oscilloscope/OscilloscopeModel.h"
#include "oscilloscope/OscilloscopeRecording.h"

class CLPFControle;
class CWidthCenter_Control;
class CSimScanner;
class QCheckBox;
class QLabel;
class QPrinter;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QSlider;
class QSpinBox;
class QTimer;

class COscilloscope_Dialog : public QDialog {
    Q_OBJECT
public:
    explicit COscilloscope_Dialog(QWidget* pParent = nullptr);
    ~COscilloscope_Dialog() override;

    void SetFileName(const std::string& szFile);
    // Directory mode: browse every "Oscil_*.con" of the folder.
    void SetDirectory(const std::string& szFolder);

    // ---- what the handlers do, reachable for tests and shortcuts ----
    bool ReadFile();
    void SelectColor(int32_t iSelection);
    void SelectCamera(int32_t iCamera);
    void SetViewMode(EOscViewMode eMode);
    void ZoomAll();
    void SetFocusDisplay(bool bOn);
    void OnTimerTick();
    void ShowHeader();
    void LoadEntry(size_t iEntry);
    bool PrintTo(QPrinter& printer);
    void Redraw(bool bResetDetails = false);

    bool IsLoaded() const { return m_bFileLoaded; }
    bool HandedOver() const { return m_bHandedOver; }
    const COscRecording& Recording() const { return m_Rec; }
    const COscViewState& State() const { return m_State; }
    int32_t Pause() const { return m_iPause; }
    bool TimerRunning() const;
    const std::vector<COscDirEntry>& Entries() const { return m_Entries; }
    const std::vector<int32_t>& Contrast() const;
    const COscAdjustResult& Adjustment() const { return m_Adjust; }
    CLPFControle* Overview() const { return m_pViews[0]; }
    CLPFControle* Detail(bool bLeft) const { return m_pViews[bLeft ? 1 : 2]; }
    CWidthCenter_Control* WidthControl() const { return m_pWidth; }
    // "%d (%d)" of the overview pixel under plot column iX, empty outside.
    QString PositionText(int32_t iX) const;
    std::vector<std::string> PrintHeader() const { return OscPrintHeaderLines(m_Rec, m_State.m_iSelection); }

protected:
    void showEvent(QShowEvent* pEvent) override;
    bool eventFilter(QObject* pObject, QEvent* pEvent) override;

private:
    void BuildControls();
    void InitDialog();
    void FitDialog();
    void UpdateColorButtons();
    void UpdatePlayback();
    void ChangeEntry();
    void LoadOther();
    void Print();
    void CameraAdjustment();
    bool AdjustmentApplies() const;
    // The width control (1132) between the detail views: the camera
    // adjustment's or the MTF recording's width and centre of the selected camera.
    void UpdateWidthControl();

    std::string m_szFile;
    std::string m_szFolder;
    bool m_bDirectoryMode = false;
    bool m_bStarted = false;
    bool m_bFileLoaded = false;
    bool m_bHandedOver = false;
    bool m_bTestSettings = false;
    bool m_bResetCamera = true;
    COscRecording m_Rec;
    COscViewState m_State;
    COscilloscopeViews m_Views;
    int32_t m_iPause = OSC_PAUSE_MIN;
    std::vector<COscDirEntry> m_Entries;
    size_t m_iEntry = 0;

    COscCameraAdjustment m_Adjustment;
    COscAdjustResult m_Adjust;

    std::unique_ptr<CSimScanner> m_pFocusScanner;
    std::unique_ptr<CFocusEvaluation> m_pFocus;
    CFocusData m_FocusData;

    std::array<CLPFControle*, 3> m_pViews{};
    CWidthCenter_Control* m_pWidth = nullptr;
    std::array<QScrollBar*, 3> m_pBars{};
    std::array<QLabel*, 2> m_pCaptions{};
    std::array<QPushButton*, 3> m_pColor{};
    std::array<QPushButton*, OSC_MAX_CAMERAS> m_pCamera{};
    std::array<QRadioButton*, 4> m_pMode{};
    QPushButton* m_pZoomAll = nullptr;
    QPushButton* m_pPrint = nullptr;
    QPushButton* m_pLoad = nullptr;
    QPushButton* m_pChange = nullptr;
    QPushButton* m_pAdjust = nullptr;
    QPushButton* m_pPlay = nullptr;
    QCheckBox* m_pShowFocus = nullptr;
    QCheckBox* m_pCorrected = nullptr;
    QCheckBox* m_pUncorrected = nullptr;
    QSpinBox* m_pPauseSpin = nullptr;
    QLabel* m_pPauseLabel = nullptr;
    QSlider* m_pLineSlider = nullptr;
    QLabel* m_pLineLabel = nullptr;
    QLabel* m_pPosition = nullptr;
    QLabel* m_pEntryLabel = nullptr;
    QLabel* m_pNote = nullptr;
    QTimer* m_pTimer = nullptr;
};
