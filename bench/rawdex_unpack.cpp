// Unpacking streams each entry: a 1 GB Rawdex file must unpack with a peak
// resident size well under 64 MB. The packed file is sparse; the unpacked
// entries are real files and are deleted afterwards.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

#include "datafiles/Rawdex.h"
#include "datafiles/Settings.h"

namespace {
constexpr int64_t kEntrySize = int64_t(256) << 20;
constexpr int kEntries = 4; // 1 GB in all

double PeakRssMegabytes()
{
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

void BM_UnpackOneGigabyte(benchmark::State& state)
{
    std::string szTemplate = (std::filesystem::temp_directory_path() / "lumora-bench-rawdex-XXXXXX").string();
    if (!::mkdtemp(szTemplate.data())) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::string szDir = szTemplate + "/";
    SetProgramDirectoryOverride(szDir); // the last-path record lands here, not beside the benchmark
    std::string szLines;
    for (int i = 0; i < kEntries; ++i)
        szLines += "part-" + std::to_string(i) + ".bin=" + std::to_string(kEntrySize) + "\n";
    char szHead[64];
    std::snprintf(szHead, sizeof szHead, "[Rawdex]\nDataPointer=%10zu\n", 32 + szLines.size());
    const std::string szHeader = szHead + szLines;
    const std::string szPack = szDir + "pack.con";
    std::FILE* pFile = std::fopen(szPack.c_str(), "wb");
    const bool bWritten = pFile && std::fwrite(szHeader.data(), 1, szHeader.size(), pFile) == szHeader.size() &&
                          std::fflush(pFile) == 0 &&
                          ::ftruncate(::fileno(pFile), static_cast<off_t>(szHeader.size() + kEntries * kEntrySize)) == 0;
    if (pFile)
        std::fclose(pFile);
    if (!bWritten) {
        state.SkipWithError("cannot create the packed file");
        return;
    }
    std::filesystem::create_directories(szDir + "out");
    const double dBefore = PeakRssMegabytes();
    bool bOk = true;
    for (auto _ : state) {
        const CRawdexResult result = UnpackRawdex(szPack, szDir + "out");
        bOk = bOk && result.m_bOk && result.m_Written.size() == kEntries;
        state.PauseTiming();
        std::error_code ec;
        for (const std::string& szFile : result.m_Written)
            std::filesystem::remove(szFile, ec);
        state.ResumeTiming();
    }
    const double dPeak = PeakRssMegabytes();
    std::error_code ec;
    std::filesystem::remove_all(szTemplate, ec);
    SetProgramDirectoryOverride("");
    state.SetBytesProcessed(state.iterations() * kEntries * kEntrySize);
    state.counters["peak_rss_MB"] = dPeak;
    state.counters["rss_before_MB"] = dBefore;
    if (!bOk)
        state.SkipWithError("unpacking failed");
    else if (dPeak >= 64.0)
        state.SkipWithError("peak resident size reached 64 MB");
}
} // namespace

BENCHMARK(BM_UnpackOneGigabyte)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
