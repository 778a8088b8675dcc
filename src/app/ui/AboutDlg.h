#pragma once
// The About box: file description, "Release" and the product version, and the
// build number, read from the build's version record.
#include <QDialog>

#include "datafiles/VersionInfo.h"

class QLabel;

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* pParent = nullptr);                         // the program's own record
    CAboutDlg(const CVersionInfo& version, QWidget* pParent = nullptr);

    QString FileDescription() const;  // control 1032
    QString ProductVersion() const;   // control 1033
    QString BuildNumber() const;      // control 1034

private:
    void Build(const CVersionInfo& version);
    QLabel* m_pFileDescription = nullptr;
    QLabel* m_pProductVersion = nullptr;
    QLabel* m_pBuildNumber = nullptr;
};
