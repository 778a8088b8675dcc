#pragma once
// Runs a registered viewer on a file as the launcher would, calls check on its
// window once it is up (after iDelayMs), then closes it.
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <string>

#include "app/ui/UiRegistry.h"

inline void RunViewerOn(const std::string& szViewer, const std::string& szFile,
                        const std::function<void(QWidget*)>& check, int iDelayMs = 300)
{
    bool bChecked = false;
    QTimer::singleShot(iDelayMs, [&] {
        QWidget* pWindow = QApplication::activeModalWidget();
        EXPECT_NE(pWindow, nullptr) << szViewer;
        if (!pWindow)
            return;
        check(pWindow);
        bChecked = true;
        if (auto* pDialog = qobject_cast<QDialog*>(pWindow))
            QTimer::singleShot(0, pDialog, &QDialog::reject);
    });
    CViewerRequest request;
    request.m_szFile = szFile;
    request.m_bFileGiven = true;
    (*CUiRegistry::Instance().FindViewer(szViewer))(request);
    EXPECT_TRUE(bChecked) << szViewer;
}
