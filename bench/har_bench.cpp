// Writes and reads back a 50,000,000-element "RE" header (about 200 MB of
// reals) and compares reading with `cat FILE > /dev/null` on the same file
// (page cache warm).  Peak memory of a whole-file read is measured in a
// child process running `vdlnhar list FILE`, which reads every header.
//
//   har_bench [--benchmark options]     (file in $VDLN_BENCH_DIR or /tmp)
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/fileutil.h"
#include "formats/harfile.h"

using namespace vdln;

namespace {

constexpr std::int64_t kRows = 10000, kCols = 5000;  // 50,000,000 reals
constexpr double kMB = 1024.0 * 1024.0;

std::string benchFile() {
    const char* dir = std::getenv("VDLN_BENCH_DIR");
    return std::string(dir ? dir : "/tmp") + "/vdln_har_bench_" + std::to_string(::getpid()) + ".har";
}
const std::string& fileName() {
    static const std::string name = benchFile();
    return name;
}

double bestRead = 1e30, bestWrite = 1e30, bestCat = 1e30;
std::int64_t fileBytes = 0;

std::vector<std::string> names(const char* prefix, std::int64_t n) {
    std::vector<std::string> out;
    out.reserve(static_cast<std::size_t>(n));
    for (std::int64_t i = 1; i <= n; ++i) out.push_back(prefix + std::to_string(i));
    return out;
}

HarFile makeFile() {
    HarFile f = NewHarFile("har_bench", "now", false, false).value();
    auto h =
        makeREHeader("BIG", "fifty million reals", {{"ROW", names("r", kRows)}, {"COL", names("c", kCols)}});
    if (!h) {
        std::fprintf(stderr, "%s\n", h.message().c_str());
        std::exit(1);
    }
    float* v = (*h)->HeadMat.Root();
    for (std::int64_t i = 0; i < kRows * kCols; ++i) v[i] = static_cast<float>(i % 1000) * 0.25f + 1.0f;
    if (!addHeader(f, std::move(*h))) std::exit(1);
    return f;
}

void BM_WriteRE(benchmark::State& state) {
    HarFile f = makeFile();
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        Status s = WriteHarFile(fileName(), "har_bench", "now", f);
        double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (!s) state.SkipWithError(s.message().c_str());
        bestWrite = std::min(bestWrite, t);
        state.SetIterationTime(t);
    }
    fileBytes = fileSize(fileName()).value_or(0);
    state.SetBytesProcessed(state.iterations() * fileBytes);
}

void BM_ReadRE(benchmark::State& state) {
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        auto f = ReadHarFile(fileName());
        double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (!f || f->find("BIG")->HeadMat.size() != kRows * kCols) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(f);
        bestRead = std::min(bestRead, t);
        state.SetIterationTime(t);
    }
    state.SetBytesProcessed(state.iterations() * fileBytes);
}

void BM_Cat(benchmark::State& state) {
    const std::string cmd = "cat '" + fileName() + "' > /dev/null";
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        if (std::system(cmd.c_str()) != 0) state.SkipWithError("cat failed");
        double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        bestCat = std::min(bestCat, t);
        state.SetIterationTime(t);
    }
    state.SetBytesProcessed(state.iterations() * fileBytes);
}

BENCHMARK(BM_WriteRE)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Cat)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadRE)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

// Peak resident memory (MB) of `vdlnhar list FILE` in a fresh process.
double peakOfWholeFileRead() {
    char self[4096];
    ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return -1;
    self[n] = '\0';
    std::string tool = std::string(self);
    tool = tool.substr(0, tool.rfind('/')) + "/vdlnhar";
    pid_t pid = ::fork();
    if (pid == 0) {
        std::freopen("/dev/null", "w", stdout);
        ::execl(tool.c_str(), "vdlnhar", "list", fileName().c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    struct rusage ru {};
    if (pid < 0 || ::wait4(pid, &status, 0, &ru) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return static_cast<double>(ru.ru_maxrss) / 1024.0;  // kB -> MB
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (fileBytes > 0 && bestRead < 1e30 && bestCat < 1e30) {
        const double mb = static_cast<double>(fileBytes) / kMB;
        const double data = static_cast<double>(kRows * kCols * 4) / kMB;
        const double peak = peakOfWholeFileRead();
        std::printf("\nfile %.1f MB (data %.1f MB)\n", mb, data);
        std::printf("write  %8.1f MB/s  (%.3f s)\n", mb / bestWrite, bestWrite);
        std::printf("read   %8.1f MB/s  (%.3f s)\n", mb / bestRead, bestRead);
        std::printf("cat    %8.1f MB/s  (%.3f s)\n", mb / bestCat, bestCat);
        std::printf("read/cat time ratio %.2f (goal <= 3)\n", bestRead / bestCat);
        std::printf("peak memory of a whole-file read (vdlnhar list): %.1f MB = %.2f x data (goal <= 1.5)\n",
                    peak, peak / data);
    }
    std::remove(fileName().c_str());
    return 0;
}
