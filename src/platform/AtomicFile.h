#pragma once
// The one way the program saves a file: everything goes to a temporary file
// in the target's folder, which replaces the target only on Commit, after its
// bytes are on the disk. A failed or abandoned save leaves the old file as it
// was and no temporary behind (a SIGINT/SIGTERM removes the temporaries of
// saves still under way). Appending logs and recordings are the exceptions,
// by nature: they grow a file that is useful however far it got.
//
// Depends on the C library only, so the simulated scanner module builds it in.
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
    // As Open, with the temporary starting as a copy of the target when it
    // exists: for writers that add to a file (pages to a TIFF).
    bool OpenCopy(const std::string& szTarget);
    bool IsOpen() const { return m_pFile != nullptr; }
    bool Write(const void* pData, size_t iSize);
    bool Write(const std::string& sz) { return Write(sz.data(), sz.size()); }
    // Flushes, syncs and renames over the target. False (and the target
    // untouched) when any write failed.
    bool Commit();
    void Discard();
    // A writer that failed on its own (through Descriptor) marks it, so that
    // Commit refuses.
    void SetFailed(const std::string& szWhy);
    std::FILE* Handle() const { return m_pFile; }
    // For writers that patch what they wrote (pwrite, ftruncate). Use either
    // this or the buffered Handle/Write for one file, not both.
    int Descriptor() const { return m_pFile ? ::fileno(m_pFile) : -1; }
    // For a writer of another library that opens the file by name itself
    // (a PDF printer): it writes the temporary, Commit puts it in place.
    const std::string& TemporaryPath() const { return m_szTemp; }
    const std::string& Target() const { return m_szTarget; }
    const std::string& Error() const { return m_szError; }

private:
    bool Create(const std::string& szTarget);
    std::FILE* m_pFile = nullptr;
    std::string m_szTarget, m_szTemp, m_szError;
    bool m_bFailed = false;
    int m_iSignalSlot = -1; // the temporary, for removal when a signal ends the program
};

// The whole file in one go; false with szError set on failure.
bool WriteFileAtomically(const std::string& szPath, const void* pData, size_t iSize, std::string* pError = nullptr);
inline bool WriteFileAtomically(const std::string& szPath, const std::string& szBytes, std::string* pError = nullptr)
{
    return WriteFileAtomically(szPath, szBytes.data(), szBytes.size(), pError);
}

// For the termination handler: removes the temporary of every save still
// under way. Async-signal-safe.
void RemoveUnfinishedTemporaries();
