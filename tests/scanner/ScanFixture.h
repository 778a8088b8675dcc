#pragma once
// Scans on the simulated device with the log captured, so tests can check
// the lines a technician searches for.
#include <cstdlib>
#include <string>
#include <vector>

#include "SimFixture.h"

class CScanFixture : public CSimFixture {
protected:
    void SetUp() override
    {
        const char* szOld = std::getenv("LUMORA_LOG_DIR");
        m_szOldLogDir = szOld ? szOld : "";
        ::setenv("LUMORA_LOG_DIR", m_LogDir.Path().c_str(), 1);
        log_Init("test_scanner", "Lumora.log", m_LogDir.Path());
    }
    void TearDown() override
    {
        CSimFixture::TearDown();
        log_Close();
        ::setenv("LUMORA_LOG_DIR", m_szOldLogDir.c_str(), 1);
    }
    std::string Log() { return ReadFileBytes(log_FilePath()); }
    bool Logged(const std::string& sz) { return Log().find(sz) != std::string::npos; }
    // The line width the device itself reports for its current window.
    int32_t DeviceLineWidth()
    {
        uint8_t status[25] = {};
        int32_t iReceived = 0;
        m_Scanner.ReadStatus(status, iReceived);
        return iReceived >= 25 ? (status[21] << 24 | status[22] << 16 | status[23] << 8 | status[24]) : -1;
    }
    CTempDir m_LogDir;
    std::string m_szOldLogDir;
};
