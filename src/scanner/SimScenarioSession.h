#pragma once
// Points the simulated scanner at a scenario of the caller's own for the
// lifetime of the object (samples are recorded this way), without its state
// file, and puts the environment back and removes the scenario afterwards.
#include <optional>
#include <string>

class CSimScenarioSession {
public:
    // The scenario is written beside szPathPrefix as "<prefix><szSuffix>".
    CSimScenarioSession(const std::string& szPathPrefix, const char* szSuffix, const std::string& szScenario);
    ~CSimScenarioSession();
    CSimScenarioSession(const CSimScenarioSession&) = delete;
    CSimScenarioSession& operator=(const CSimScenarioSession&) = delete;

private:
    std::string m_szIni;
    std::optional<std::string> m_Old, m_OldState;
};
