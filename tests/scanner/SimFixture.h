#pragma once
// Drives CScanner against the simulated device through the real dlopen path
// (ctest points LUMORA_SCAN_LIBRARY at the built module). Each test writes its
// own scenario; the device starts afresh when the library is opened with no
// scanner open.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/TestSupport.h"
#include "platform/Log.h"
#include "scanner/Scanner.h"

// Paper moves in a few milliseconds instead of seconds.
inline const std::string kFast = "[Device]\nTimeScale=200\n";

class CSimFixture : public ::testing::Test {
protected:
    void UseScenario(const std::string& szIni)
    {
        const std::string szPath = m_Dir.File("scenario.ini");
        WriteFileBytes(szPath, szIni);
        ::setenv("LUMORA_SIM_CONFIG", szPath.c_str(), 1);
    }
    // Opens m_Scanner on a device described by szIni; fails the test when it cannot.
    void Open(const std::string& szIni, int32_t hScanner = 0)
    {
        UseScenario(szIni);
        ASSERT_EQ(m_Scanner.OpenScanner(hScanner, false), 0);
    }
    // Sets the window from the sheet's top (length 0: the sheet holds still)
    // and starts the scan.
    void StartScan(int32_t iMode, int32_t iDpi, int32_t iWidth = 43200, int32_t iLength = 0)
    {
        m_Scanner.m_Window.m_iColorMode = iMode;
        m_Scanner.SetWindowResolution(iDpi);
        m_Scanner.SetWindowArea(0, 0, iWidth, iLength);
        m_Scanner.m_Window.m_iTop = 0; // the sheet row must not depend on earlier scans
        ASSERT_EQ(m_Scanner.SendSetWindowCommand(), 0);
        ASSERT_EQ(m_Scanner.SendScanCommand(0), 0);
    }
    void TearDown() override
    {
        if (CScanner::IsUnitReserved())
            m_Scanner.ReleaseScanner(false);
        m_Scanner.CloseScanner(true);
        m_Scanner.CloseLibrary();
        ::unsetenv("LUMORA_SIM_CONFIG");
        CCancel::SetCancelled();
    }

    CTempDir m_Dir;
    CScanner m_Scanner;
};
