#pragma once
// One status line on stderr, rewritten in place, shown only when someone
// watches (a terminal, and not --json). Scan progress, calibration and
// alignment runs and soaks all use it.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

class CStatusLine {
public:
    explicit CStatusLine(bool bQuiet) : m_bShow(!bQuiet && ::isatty(STDERR_FILENO)) {}
    ~CStatusLine() { Done(); }
    CStatusLine(const CStatusLine&) = delete;
    CStatusLine& operator=(const CStatusLine&) = delete;
    bool Shown() const { return m_bShow; }
    void Show(const std::string& szText)
    {
        if (!m_bShow)
            return;
        std::fprintf(stderr, "\r%s ", szText.c_str());
        std::fflush(stderr);
        m_bShown = true;
    }
    // "nn% (done of total unit)", redrawn only when the percentage changes.
    void ShowPercent(int64_t iDone, int64_t iTotal, const char* szUnit)
    {
        if (!m_bShow || iTotal <= 0)
            return;
        const int iPercent = static_cast<int>(iDone * 100 / iTotal);
        if (iPercent == m_iLast)
            return;
        m_iLast = iPercent;
        char sz[128];
        std::snprintf(sz, sizeof sz, "%3d%% (%lld of %lld %s)", iPercent, static_cast<long long>(iDone),
                      static_cast<long long>(iTotal), szUnit);
        Show(sz);
    }
    // Ends the line so that what follows starts on its own.
    void Done()
    {
        if (m_bShown)
            std::fprintf(stderr, "\n");
        m_bShown = false;
        m_iLast = -1;
    }

private:
    bool m_bShow;
    bool m_bShown = false;
    int m_iLast = -1;
};
