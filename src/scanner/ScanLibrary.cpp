#include "scanner/ScanLibrary.h"

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/Log.h"
#include "platform/Paths.h"

namespace {

constexpr const char* kLibraryName = "libzel_scan_2000.so";

struct CBinding {
#define ZEL_DECLARE_POINTER(name, params, args) PFN_##name m_pfn_##name = nullptr;
    ZEL_ENTRIES(ZEL_DECLARE_POINTER)
#undef ZEL_DECLARE_POINTER
    void* m_pHandle = nullptr;
    std::string m_szPath;
    std::string m_szError;
    std::string m_szMissing;
};

std::mutex g_LoadMutex;
// Published with release order after every pointer is bound, so callers that
// see true can use the pointers without taking the mutex.
std::atomic<bool> g_bLoaded{false};
CBinding g_Binding;

bool LoadLocked()
{
    std::string szErrors;
    std::vector<std::string> candidates;
    if (const char* szEnv = std::getenv("LUMORA_SCAN_LIBRARY"); szEnv && *szEnv) {
        // A library named on purpose is the only one tried: falling back to the
        // simulator after a typo would let a technician test the wrong scanner.
        candidates.emplace_back(szEnv);
    } else {
        // Beside the program in a build tree, in the private library folder
        // once installed.
        if (const std::string szDir = RunningProgramFolder(); !szDir.empty()) {
            candidates.push_back(szDir + kLibraryName);
            candidates.push_back(PrivateLibraryFolder(szDir) + kLibraryName);
        }
        // A bare name lets the dynamic loader search the system library path.
        candidates.emplace_back(kLibraryName);
    }

    for (const std::string& szCandidate : candidates) {
        if (szCandidate.find('/') != std::string::npos && ::access(szCandidate.c_str(), F_OK) != 0) {
            szErrors += szCandidate + ": no such file; ";
            continue;
        }
        void* pHandle = ::dlopen(szCandidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!pHandle) {
            const char* szWhy = ::dlerror();
            szErrors += std::string(szWhy ? szWhy : szCandidate.c_str()) + "; ";
            continue;
        }
        CBinding b;
        b.m_pHandle = pHandle;
        b.m_szPath = szCandidate;
#define ZEL_BIND_POINTER(name, params, args)                                                                    \
    b.m_pfn_##name = reinterpret_cast<PFN_##name>(::dlsym(pHandle, #name));                                      \
    if (!b.m_pfn_##name)                                                                                         \
        b.m_szMissing += (b.m_szMissing.empty() ? "" : ", ") + std::string(#name);
        ZEL_ENTRIES(ZEL_BIND_POINTER)
#undef ZEL_BIND_POINTER
        g_Binding = std::move(b);
        Log_Msg_Txt("ScanLibrary loaded", szCandidate);
        if (!g_Binding.m_szMissing.empty())
            Log_Msg_Txt("ScanLibrary entries missing:", g_Binding.m_szMissing);
        g_bLoaded.store(true, std::memory_order_release);
        return true;
    }
    if (szErrors.size() >= 2)
        szErrors.resize(szErrors.size() - 2);
    g_Binding.m_szError = szErrors;
    Log_Msg_Txt("ScanLibrary load failed:", szErrors);
    return false;
}

} // namespace

namespace ZelLib {

bool EnsureLoaded()
{
    if (g_bLoaded.load(std::memory_order_acquire))
        return true;
    std::lock_guard<std::mutex> lock(g_LoadMutex);
    if (g_bLoaded.load(std::memory_order_acquire))
        return true;
    return LoadLocked();
}

std::string LoadedPath()
{
    std::lock_guard<std::mutex> lock(g_LoadMutex);
    return g_bLoaded ? g_Binding.m_szPath : std::string();
}

std::string LoadError()
{
    std::lock_guard<std::mutex> lock(g_LoadMutex);
    return g_bLoaded ? std::string() : g_Binding.m_szError;
}

std::string MissingEntries()
{
    std::lock_guard<std::mutex> lock(g_LoadMutex);
    return g_bLoaded ? g_Binding.m_szMissing : std::string();
}

#define ZEL_DEFINE_FORWARDER(name, params, args)                                                                \
    int32_t name params                                                                                          \
    {                                                                                                            \
        if (!EnsureLoaded())                                                                                     \
            return ZEL_ERR_LIBRARY_MISSING;                                                                      \
        return g_Binding.m_pfn_##name ? g_Binding.m_pfn_##name args : 0;                                         \
    }
ZEL_ENTRIES(ZEL_DEFINE_FORWARDER)
#undef ZEL_DEFINE_FORWARDER

int32_t RealError(int32_t hScanner, int32_t iResult)
{
    if (iResult != ZEL_CHECK_CONDITION)
        return iResult;
    // Without a sense code the condition is still a failure: taking the
    // missing answer for 0 would turn every refused command into success.
    if (!EnsureLoaded() || !g_Binding.m_pfn_scanGetLastAsc)
        return ZEL_CHECK_CONDITION;
    const int32_t iSense = g_Binding.m_pfn_scanGetLastAsc(hScanner);
    return iSense != 0 ? iSense : ZEL_CHECK_CONDITION;
}

bool IsStopFlag(int32_t hScanner, int32_t iResult)
{
    if (iResult != ZEL_CHECK_CONDITION || !EnsureLoaded() || !g_Binding.m_pfn_scanGetLastAsc)
        return false;
    return g_Binding.m_pfn_scanGetLastAsc(hScanner) == 0;
}

} // namespace ZelLib
