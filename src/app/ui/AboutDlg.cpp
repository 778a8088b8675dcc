#include "app/ui/AboutDlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

#include "platform/ui/Text.h"

CAboutDlg::CAboutDlg(QWidget* pParent) : QDialog(pParent)
{
    Build(OwnVersionInfo());
}

CAboutDlg::CAboutDlg(const CVersionInfo& version, QWidget* pParent) : QDialog(pParent)
{
    Build(version);
}

void CAboutDlg::Build(const CVersionInfo& version)
{
    setWindowTitle(QStringLiteral("About Lumora"));
    auto* pIcon = new QLabel(this);
    pIcon->setPixmap(QIcon(QStringLiteral(":/icons/lumora.png")).pixmap(48, 48));
    pIcon->setAlignment(Qt::AlignTop);

    m_pFileDescription = new QLabel(FromCp1252(version.Get("FileDescription")), this);
    m_pFileDescription->setObjectName(QStringLiteral("1032"));
    // "Release" and a blank come first even when the record has no product version.
    m_pProductVersion = new QLabel(QStringLiteral("Release ") + FromCp1252(version.Get("ProductVersion")), this);
    m_pProductVersion->setObjectName(QStringLiteral("1033"));
    m_pBuildNumber = new QLabel(FromCp1252(version.Get("FileVersion")), this);
    m_pBuildNumber->setObjectName(QStringLiteral("1034"));
    auto* pCopyright = new QLabel(FromCp1252(version.Get("LegalCopyright")), this);

    auto* pTexts = new QVBoxLayout;
    for (QLabel* p : {m_pFileDescription, m_pProductVersion, m_pBuildNumber, pCopyright}) {
        p->setTextInteractionFlags(Qt::TextSelectableByMouse);
        pTexts->addWidget(p);
    }
    auto* pRow = new QHBoxLayout;
    pRow->addWidget(pIcon);
    pRow->addLayout(pTexts, 1);

    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pRow);
    pLayout->addWidget(pButtons);
    setMinimumWidth(320);
}

QString CAboutDlg::FileDescription() const { return m_pFileDescription->text(); }
QString CAboutDlg::ProductVersion() const { return m_pProductVersion->text(); }
QString CAboutDlg::BuildNumber() const { return m_pBuildNumber->text(); }
