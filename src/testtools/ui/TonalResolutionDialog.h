#pragma once
// "Tonal Resolution": shows a tonal resolution result as one of three charts
// or as text, prints both on two pages and saves the result again.
#include <QDialog>

#include "testtools/TonalChart.h"
#include "testtools/TonalResult.h"
#include "widgets/ui/BasicTestControl.h"
#include "testtools/ui/SmallTestControls.h"

class QCheckBox;
class QPushButton;
class QRadioButton;
class QScrollBar;

struct CTonalViewFlags {
    bool m_bRed = true, m_bGreen = true, m_bBlue = true;
    bool m_bBestFit = true;
    bool m_bSimpleRGB = false;
    bool m_bMarkPoints = true;
    int32_t m_iView = TONAL_VIEW_BEST_FIT;
    bool m_bText = false;
};

class CTonalResolution_Control : public CSymbolTestControl {
    Q_OBJECT
public:
    explicit CTonalResolution_Control(QWidget* pParent = nullptr) : CSymbolTestControl(pParent) {}
    void SetData(const TonalResult* pResult, const CTonalViewFlags* pFlags)
    {
        m_pResult = pResult;
        m_pFlags = pFlags;
    }
    void SetBusy(bool b) { m_bBusy = b; }
    // The chart of one view at any size (screen, printing, render).
    void DrawView(QPainter& dc, int32_t iWidth, int32_t iHeight, int32_t iView);
    bool DrawContent(QPainter& dc, int32_t iWidth, int32_t iHeight) override;
    void PrintPage(QPainter& dc, int32_t iPageWidth, int32_t iPageHeight, int32_t iPageIndex) override;

private:
    const TonalResult* m_pResult = nullptr;
    const CTonalViewFlags* m_pFlags = nullptr;
    bool m_bBusy = false;
};

class CTonalResolutionDialog : public QDialog {
    Q_OBJECT
public:
    explicit CTonalResolutionDialog(QWidget* pParent = nullptr);
    // A file handed over before the dialog opens is read by its initialisation.
    void SetFileName(const std::string& szFile);
    bool LoadFile(const std::string& szFile);
    void OnLoad();
    bool SaveTo(const std::string& szFile);
    void OnSave();
    void OnPrint();
    bool PrintToPdf(const QString& szPath);

    const TonalResult& Result() const { return m_Result; }
    CTonalViewFlags& Flags() { return m_Flags; }
    CTonalResolution_Control* Chart() const { return m_pChart; }
    CScrollTextControl* Text() const { return m_pText; }
    QPushButton* SaveButton() const { return m_pSave; }
    QCheckBox* Check(int32_t iId) const;      // by control id (10002 ...)
    QRadioButton* Radio(int32_t iView) const; // 0, 1, 2
    void Refresh();                            // flags from the controls, redraw

private:
    void FillText();
    void ApplyTextMode();

    TonalResult m_Result;
    CTonalViewFlags m_Flags;
    CTonalResolution_Control* m_pChart = nullptr;
    CScrollTextControl* m_pText = nullptr;
    QScrollBar* m_pScrollBar = nullptr;
    QPushButton* m_pSave = nullptr;
    QCheckBox* m_pRed = nullptr;
    QCheckBox* m_pGreen = nullptr;
    QCheckBox* m_pBlue = nullptr;
    QCheckBox* m_pBestFit = nullptr;
    QCheckBox* m_pSimple = nullptr;
    QCheckBox* m_pMark = nullptr;
    QCheckBox* m_pTextCheck = nullptr;
    QRadioButton* m_pViews[3] = {nullptr, nullptr, nullptr};
    std::string m_szLoadedFolder; // where Save proposes to write
};

bool RenderTonalResolutionFile(const std::string& szFile, int32_t iWidth, int32_t iHeight, QImage& image,
                               std::string& szError);
