#include "platform/Signals.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <unistd.h>

#include "platform/AtomicFile.h"
#include "platform/Log.h"

namespace {
std::atomic<int> g_iSignal{0};
std::atomic<int> g_iCooperative{0};

void OnTerminationSignal(int iSignal)
{
    const int iEarlier = g_iSignal.exchange(iSignal);
    CCancel::RequestCancel();
    if (g_iCooperative.load() > 0 && iEarlier == 0)
        return;
    RemoveUnfinishedTemporaries();
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
