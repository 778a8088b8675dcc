#include "scanner/SimScenarioSession.h"

#include <cstdio>
#include <cstdlib>

#include "platform/AtomicFile.h"

namespace {

void Restore(const char* szName, const std::optional<std::string>& old)
{
    if (old)
        setenv(szName, old->c_str(), 1);
    else
        unsetenv(szName);
}

} // namespace

CSimScenarioSession::CSimScenarioSession(const std::string& szPathPrefix, const char* szSuffix,
                                         const std::string& szScenario)
    : m_szIni(szPathPrefix + szSuffix)
{
    WriteFileAtomically(m_szIni, szScenario.data(), szScenario.size());
    if (const char* p = std::getenv("LUMORA_SIM_CONFIG"))
        m_Old = p;
    if (const char* p = std::getenv("LUMORA_SIM_STATE"))
        m_OldState = p;
    setenv("LUMORA_SIM_CONFIG", m_szIni.c_str(), 1);
    setenv("LUMORA_SIM_STATE", "none", 1);
}

CSimScenarioSession::~CSimScenarioSession()
{
    Restore("LUMORA_SIM_CONFIG", m_Old);
    Restore("LUMORA_SIM_STATE", m_OldState);
    std::remove(m_szIni.c_str());
}
