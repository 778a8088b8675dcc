#pragma once
// "Star test": loads a star test result file and shows one sweep's vibration
// curves with the judgement of every sweep.
#include <QDialog>
#include <memory>

#include "imaging/Picture.h"
#include "testtools/StarTestEngine.h"
#include "testtools/ui/StarTestControls.h"

class QPushButton;

class CStarTest_Dialog : public QDialog {
    Q_OBJECT
public:
    explicit CStarTest_Dialog(QWidget* pParent = nullptr);
    ~CStarTest_Dialog() override;

    // A file handed over before the dialog opens is loaded 50 ms after it shows.
    void SetFileName(const std::string& szFile) { m_szFile = szFile; }
    // Reads and shows a file (no file dialog); false when it cannot be opened.
    bool LoadFile(const std::string& szFile);
    void OnLoad();
    void OnPrint();
    void SelectSweep(int32_t iRecord);
    // What picking a row does: marks the sweep's raw picture and opens the picture view.
    void OnPick(int32_t iRecord, int32_t iRow);
    // Builds the picture the picture view shows for a picked row: the raw
    // picture with the measured line positions marked. False (and a message)
    // when the sweep has no readable raw picture.
    bool PrepareMarkedPicture(int32_t iRecord, CPicture& marked, int32_t& iCentreX, int32_t& iCentreY);

    CStarTestEngine& Engine() { return *m_pEngine; }
    CA2_StarTest_Control* Chart() const { return m_pChart; }
    QPushButton* LoadButton() const { return m_pLoad; }
    QPushButton* PrintButton() const { return m_pPrint; }
    QPushButton* ExitButton() const { return m_pExit; }
    // Do not run the picture view modally (tests look at what would be shown).
    bool m_bShowPictureView = true;
    int32_t m_iPickCentreX = -1, m_iPickCentreY = -1; // where the last pick centred the view

protected:
    void showEvent(QShowEvent* e) override;

private:
    std::unique_ptr<CStarTestEngine> m_pEngine;
    std::string m_szFile;
    CA2_StarTest_Control* m_pChart = nullptr;
    QPushButton* m_pLoad = nullptr;
    QPushButton* m_pPrint = nullptr;
    QPushButton* m_pExit = nullptr;
    bool m_bShown = false;
};

// Draws the star test view of a file at the given size (render, screenshots).
bool RenderStarTestFile(const std::string& szFile, int32_t iWidth, int32_t iHeight, QImage& image, std::string& szError);
