#include "viewers/ui/LPFScannerSettingsDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "platform/ui/Text.h"

CScanner_Settings_Dialog::CScanner_Settings_Dialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("Select Scanner Settings");
    setObjectName("CScanner_Settings_Dialog");
    auto* pLayout = new QVBoxLayout(this);

    auto* pType = new QGroupBox("Scanner", this);
    auto* pTypeLayout = new QHBoxLayout(pType);
    m_pMono = new QRadioButton("&Monochrome", pType);
    m_pColor = new QRadioButton("C&olor", pType);
    m_pMono->setObjectName("monochrome");
    m_pColor->setObjectName("color");
    pTypeLayout->addWidget(m_pMono);
    pTypeLayout->addWidget(m_pColor);
    m_pMono->setChecked(true);
    pLayout->addWidget(pType);

    m_pColorGroup = new QGroupBox("Color", this);
    auto* pColorLayout = new QHBoxLayout(m_pColorGroup);
    m_pRed = new QRadioButton("&Red", m_pColorGroup);
    m_pGreen = new QRadioButton("&Green", m_pColorGroup);
    m_pBlue = new QRadioButton("Bl&ue", m_pColorGroup);
    m_pRed->setObjectName("red");
    m_pGreen->setObjectName("green");
    m_pBlue->setObjectName("blue");
    pColorLayout->addWidget(m_pRed);
    pColorLayout->addWidget(m_pGreen);
    pColorLayout->addWidget(m_pBlue);
    m_pRed->setChecked(true);
    m_pColorGroup->setEnabled(false);
    pLayout->addWidget(m_pColorGroup);

    auto* pCameras = new QGroupBox("Camera", this);
    auto* pCamLayout = new QHBoxLayout(pCameras);
    const char* const kNames[5] = {"Camera &A", "Camera &B", "Camera &C", "Camera &D", "A&ll Cameras"};
    auto* pCamGroup = new QButtonGroup(this);
    for (int i = 0; i < 5; ++i) {
        m_pCamera[i] = new QRadioButton(kNames[i], pCameras);
        m_pCamera[i]->setObjectName(i < 4 ? QString("camera%1").arg(QChar('A' + i)) : QString("allCameras"));
        pCamGroup->addButton(m_pCamera[i], i);
        pCamLayout->addWidget(m_pCamera[i]);
    }
    m_pCamera[4]->setChecked(true);
    pLayout->addWidget(pCameras);

    auto* pGrid = new QGridLayout();
    auto* pCountLabel = new QLabel("&Number of cameras", this);
    m_pCount = new QSpinBox(this);
    m_pCount->setObjectName("cameraCount");
    m_pCount->setRange(1, 4);
    m_pCount->setValue(4);
    pCountLabel->setBuddy(m_pCount);
    pGrid->addWidget(pCountLabel, 0, 0);
    pGrid->addWidget(m_pCount, 0, 1);
    m_pThirdGen = new QCheckBox("&3'rd Gen. or older.", this);
    m_pThirdGen->setObjectName("thirdGeneration");
    pGrid->addWidget(m_pThirdGen, 1, 0, 1, 2);
    auto* pHeaderLabel = new QLabel("Header (optional)", this);
    m_pHeader = new QLineEdit(this);
    m_pHeader->setObjectName("header");
    m_pHeader->setMaxLength(256);
    m_pHeader->setToolTip("Header keys of the scan, e.g. Corrected=TRUE, are taken over");
    pGrid->addWidget(pHeaderLabel, 2, 0);
    pGrid->addWidget(m_pHeader, 2, 1);
    pLayout->addLayout(pGrid);

    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    pLayout->addWidget(pButtons);
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_pColor, &QRadioButton::toggled, this, [this] { OnScannerType(); });
    connect(m_pCount, &QSpinBox::valueChanged, this, [this](int i) { OnCameraCount(i); });
}

void CScanner_Settings_Dialog::OnScannerType()
{
    m_pColorGroup->setEnabled(m_pColor->isChecked());
}

void CScanner_Settings_Dialog::SetCameraCount(int iCount)
{
    m_pCount->setValue(iCount);
    OnCameraCount(m_pCount->value());
}

void CScanner_Settings_Dialog::OnCameraCount(int iCount)
{
    // A camera the scanner does not have cannot be chosen; its selection
    // moves down to the highest camera that is left.
    for (int i = 3; i >= 1; --i) {
        const bool bHidden = i >= iCount;
        if (bHidden && m_pCamera[i]->isChecked())
            m_pCamera[i - 1]->setChecked(true);
        m_pCamera[i]->setVisible(!bHidden);
        m_pCamera[i]->setEnabled(!bHidden);
    }
}

CScannerSettings CScanner_Settings_Dialog::Settings() const
{
    CScannerSettings s;
    s.m_bColorScanner = m_pColor->isChecked();
    s.m_iColor = !s.m_bColorScanner ? 4 : m_pRed->isChecked() ? 0 : m_pGreen->isChecked() ? 1 : 2;
    s.m_iCamera = 255;
    for (int i = 0; i < 4; ++i)
        if (m_pCamera[i]->isChecked())
            s.m_iCamera = i;
    s.m_iCameraCount = m_pCount->value();
    // Corrected only when the typed header says so (Corrected=TRUE).
    s.m_bCorrected = false;
    // Third-generation profiles are the camera adjustment check's pictures.
    s.m_bCameraAdjustmentMode = m_pThirdGen->isChecked();
    s.m_szHeader = ToCp1252(m_pHeader->text()).substr(0, 256);
    return s;
}
