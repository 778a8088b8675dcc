#pragma once
// CScanner_Settings_Dialog ("Select Scanner Settings"): asks for the facts a
// headerless file of unknown layout does not carry.
#include <QDialog>

#include "viewers/LightProfileFile.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;

class CScanner_Settings_Dialog : public QDialog {
    Q_OBJECT
public:
    explicit CScanner_Settings_Dialog(QWidget* parent = nullptr);

    // The values as they stand; taken when the dialog closes with OK.
    CScannerSettings Settings() const;
    void SetCameraCount(int iCount);

    QRadioButton* CameraButton(int i) const { return m_pCamera[i]; } // 0..3 A..D, 4 all

private:
    void OnScannerType();
    void OnCameraCount(int iCount);

    QRadioButton* m_pMono = nullptr;
    QRadioButton* m_pColor = nullptr;
    QGroupBox* m_pColorGroup = nullptr;
    QRadioButton* m_pRed = nullptr;
    QRadioButton* m_pGreen = nullptr;
    QRadioButton* m_pBlue = nullptr;
    QRadioButton* m_pCamera[5] = {};
    QSpinBox* m_pCount = nullptr;
    QCheckBox* m_pThirdGen = nullptr;
    QLineEdit* m_pHeader = nullptr;
};
