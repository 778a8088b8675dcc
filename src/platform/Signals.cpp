#include "platform/Signals.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <unistd.h>

#include "platform/Log.h"

namespace {
// Fixed storage so the handler touches no allocator. A slot is free, being
// filled, or holds a path the handler may remove.
enum : int { SLOT_FREE = 0, SLOT_FILLING, SLOT_PATH };
constexpr int kSlots = 32;
constexpr size_t kPathMax = 4096;
char g_szTemp[kSlots][kPathMax];
std::atomic<int> g_iSlotState[kSlots];

std::atomic<int> g_iSignal{0};
std::atomic<int> g_iCooperative{0};

void OnTerminationSignal(int iSignal)
{
    const int iEarlier = g_iSignal.exchange(iSignal);
    CCancel::RequestCancel();
    if (g_iCooperative.load() > 0 && iEarlier == 0)
        return;
    for (int i = 0; i < kSlots; ++i)
        if (g_iSlotState[i].load() == SLOT_PATH)
            ::unlink(g_szTemp[i]);
    ::_exit(128 + iSignal);
}
} // namespace

void InstallTerminationHandler()
{
    struct sigaction sa {};
    sa.sa_handler = OnTerminationSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0; // no SA_RESTART: a read from a terminal or pipe returns
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
}

int TerminationSignal() { return g_iSignal.load(); }

int TerminationExitCode()
{
    const int iSignal = g_iSignal.load();
    return iSignal ? 128 + iSignal : 0;
}

CCooperativeCancel::CCooperativeCancel() { g_iCooperative.fetch_add(1); }
CCooperativeCancel::~CCooperativeCancel() { g_iCooperative.fetch_sub(1); }

int RegisterTemporaryFile(const char* szPath)
{
    const size_t iLen = std::strlen(szPath);
    if (iLen >= kPathMax)
        return -1;
    for (int i = 0; i < kSlots; ++i) {
        int iFree = SLOT_FREE;
        if (g_iSlotState[i].compare_exchange_strong(iFree, SLOT_FILLING)) {
            std::memcpy(g_szTemp[i], szPath, iLen + 1);
            g_iSlotState[i].store(SLOT_PATH);
            return i;
        }
    }
    return -1;
}

void UnregisterTemporaryFile(int iSlot)
{
    if (iSlot < 0 || iSlot >= kSlots)
        return;
    g_iSlotState[iSlot].store(SLOT_FREE);
}

int CreateTemporaryFile(std::string& szTemplate, int& iSlot)
{
    sigset_t block, previous;
    sigemptyset(&block);
    sigaddset(&block, SIGINT);
    sigaddset(&block, SIGTERM);
    ::pthread_sigmask(SIG_BLOCK, &block, &previous);
    const int fd = ::mkstemp(szTemplate.data());
    iSlot = fd >= 0 ? RegisterTemporaryFile(szTemplate.c_str()) : -1;
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return fd;
}
