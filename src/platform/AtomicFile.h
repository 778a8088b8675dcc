#pragma once
// Saves that never leave a half-written file: everything goes to a temporary
// file in the target's folder, which replaces the target only on Commit.
#include <cstdint>
#include <cstdio>
#include <string>

class CAtomicFile {
public:
    CAtomicFile() = default;
    ~CAtomicFile(); // discards the temporary file unless committed
    CAtomicFile(const CAtomicFile&) = delete;
    CAtomicFile& operator=(const CAtomicFile&) = delete;

    bool Open(const std::string& szTarget);
    bool Write(const void* pData, size_t iSize);
    bool Write(const std::string& sz) { return Write(sz.data(), sz.size()); }
    // Flushes, syncs and renames over the target. False (and the target
    // untouched) when any write failed.
    bool Commit();
    void Discard();
    std::FILE* Handle() const { return m_pFile; }
    const std::string& Error() const { return m_szError; }

private:
    std::FILE* m_pFile = nullptr;
    std::string m_szTarget, m_szTemp, m_szError;
    bool m_bFailed = false;
    int m_iSignalSlot = -1; // the temporary, for removal when a signal ends the program
};

// The whole file in one go; false with szError set on failure.
bool WriteFileAtomically(const std::string& szPath, const void* pData, size_t iSize, std::string* pError = nullptr);
