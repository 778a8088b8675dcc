// `lumora-cli info` reads the first bytes and the header only: describing a
// 2 GB file must cost the same as describing a 2 KB one. The big file is
// sparse, so the benchmark needs no real disk space.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "app/KindRegistry.h"
#include "app/StartupRecognition.h"
#include "datafiles/ConHeader.h"

namespace {
class CSparseFiles {
public:
    CSparseFiles()
    {
        std::string szTemplate = (std::filesystem::temp_directory_path() / "lumora-bench-XXXXXX").string();
        if (!::mkdtemp(szTemplate.data()))
            std::abort();
        m_szDir = szTemplate;
        Write(Small(), 2 << 10);
        Write(Big(), int64_t(2) << 30);
    }
    ~CSparseFiles()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_szDir, ec);
    }
    std::string Small() const { return m_szDir + "/small.con"; }
    std::string Big() const { return m_szDir + "/big.con"; }

private:
    static void Write(const std::string& szPath, int64_t iSize)
    {
        ConHeader h;
        h.AppendLightProfileSection();
        h.AppendScannerName("Bench");
        h.AppendColor(CON_COLOR_GRAY);
        h.AppendCameraUsed(CON_CAMERA_ALL);
        h.AppendWidth(static_cast<int32_t>((iSize - 200) / 2));
        h.PatchDataPointer();
        std::FILE* pFile = std::fopen(szPath.c_str(), "wb");
        if (!pFile || std::fwrite(h.GetText().data(), 1, h.Length(), pFile) != h.Length() ||
            std::fflush(pFile) != 0 || ::ftruncate(::fileno(pFile), iSize) != 0)
            std::abort();
        std::fclose(pFile);
    }
    std::string m_szDir;
};

CSparseFiles& Files()
{
    static CSparseFiles files;
    return files;
}

void Describe(benchmark::State& state, const std::string& szFile)
{
    RegisterAllKinds();
    for (auto _ : state) {
        CFileDescription desc;
        benchmark::DoNotOptimize(DescribeFile(szFile, "", desc));
        benchmark::DoNotOptimize(desc);
    }
    state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(szFile));
}

void BM_InfoSmallFile(benchmark::State& state) { Describe(state, Files().Small()); }
void BM_InfoTwoGigabyteFile(benchmark::State& state) { Describe(state, Files().Big()); }
} // namespace

BENCHMARK(BM_InfoSmallFile);
BENCHMARK(BM_InfoTwoGigabyteFile);
BENCHMARK_MAIN();
