// Header array files read by need, against their floors measured in the
// same run on the same 200 MB file (page cache warm):
//   - `vdlnhar list FILE` (the header index) against `cat FILE` and the
//     start of a program that does nothing (`true`): time and peak memory;
//   - a whole-file read (`ReadHarFile`) against a minimal reader that reads
//     the file into fresh memory with one read(), and against `cat`: time,
//     and peak memory against the size of the data.
// Each measure runs in a child process (peak memory from wait4), best of 5;
// the two readers run in 15 pairs, and their ratio is the median of the
// pairs' ratios.
//
//   har_index_bench            (file in $VDLN_BENCH_DIR, default /tmp)
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "formats/harindex.h"
#include "harbenchfile.h"

using namespace vdln;
using namespace vdln::bench;

namespace {

// The minimal reader: the whole file into freshly mapped memory, one read().
int minimalRead(const std::string& file) {
    const auto t0 = std::chrono::steady_clock::now();
    int fd = ::open(file.c_str(), O_RDONLY);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) return 1;
    const auto size = static_cast<std::size_t>(st.st_size);
    void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return 1;
#ifdef MADV_HUGEPAGE
    // Large pages, as the library's reader asks for: the floor is the best
    // a reader into fresh memory can do, not a slow one.
    ::madvise(p, size, MADV_HUGEPAGE);
#endif
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::read(fd, static_cast<char*>(p) + done, size - done);
        if (n <= 0) return 1;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    std::printf("%.6f\n", seconds(t0));
    return 0;
}

int wholeRead(const std::string& file) {
    const auto t0 = std::chrono::steady_clock::now();
    auto f = ReadHarFile(file);
    const double t = seconds(t0);
    if (!f || !f->find("BIG") || f->find("BIG")->HeadMat.size() != kBigRows * kBigCols) return 1;
    std::printf("%.6f\n", t);
    return 0;
}

int indexRead(const std::string& file) {
    const auto t0 = std::chrono::steady_clock::now();
    HarReader r;
    Status s = r.open(file);
    const double t = seconds(t0);
    if (!s || r.entries().size() != 7) return 1;
    std::printf("%.6f\n", t);
    return 0;
}

// A child that reports its own time on stdout.
ChildRun timedChild(const std::string& mode, const std::string& file) {
    ChildRun r = runChild({selfPath(), "--child", mode, file}, true);
    if (r.ok) r.seconds = std::atof(r.output.c_str());
    return r;
}

void fail(const char* what) {
    std::fprintf(stderr, "har_index_bench: %s failed\n", what);
    std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--child") == 0) {
        const std::string mode = argv[2];
        if (mode == "minimal") return minimalRead(argv[3]);
        if (mode == "whole") return wholeRead(argv[3]);
        if (mode == "index") return indexRead(argv[3]);
        return 2;
    }
    const std::string file = benchFileName("har_index_bench");
    writeBenchFile(file);
    struct stat st {};
    ::stat(file.c_str(), &st);
    const double fileMB = static_cast<double>(st.st_size) / kMB;
    const double dataMB = static_cast<double>(kBigRows * kBigCols * 4) / kMB;
    const std::string vdlnhar = besideSelf("vdlnhar");

    runChild({"/bin/cat", file});  // page cache warm
    const int n = 5;
    ChildRun trueRun = best(n, [&] { return runChild({"/bin/true"}); });
    ChildRun cat = best(n, [&] { return runChild({"/bin/cat", file}); });
    ChildRun list = best(n, [&] { return runChild({vdlnhar, "list", file}); });
    ChildRun index = best(n, [&] { return timedChild("index", file); });
    // The whole read against the minimal reader in pairs, one run of each
    // in turn: the ratio of a pair holds while the machine's speed drifts,
    // which it does here from one second to the next.
    const int pairs = 15;
    ChildRun minimal, whole;
    minimal.seconds = whole.seconds = minimal.peakMB = whole.peakMB = 1e30;
    minimal.ok = whole.ok = true;
    std::vector<double> pairRatios;
    for (int i = 0; i < pairs && minimal.ok && whole.ok; ++i) {
        const ChildRun m = timedChild("minimal", file);
        const ChildRun w = timedChild("whole", file);
        minimal.ok = m.ok;
        whole.ok = w.ok;
        if (!m.ok || !w.ok) break;
        minimal.seconds = std::min(minimal.seconds, m.seconds);
        minimal.peakMB = std::min(minimal.peakMB, m.peakMB);
        whole.seconds = std::min(whole.seconds, w.seconds);
        whole.peakMB = std::min(whole.peakMB, w.peakMB);
        pairRatios.push_back(w.seconds / m.seconds);
    }
    std::sort(pairRatios.begin(), pairRatios.end());
    std::remove(file.c_str());
    if (!trueRun.ok) fail("true");
    if (!cat.ok) fail("cat");
    if (!list.ok) fail("vdlnhar list");
    if (!index.ok) fail("the index");
    if (!minimal.ok) fail("the minimal reader");
    if (!whole.ok) fail("the whole read");

    std::printf(
        "\nheader array file: %.1f MB (data %.1f MB), page cache warm; best of %d (the two readers: of %d "
        "pairs)\n",
        fileMB, dataMB, n, pairs);
    printLoad();
    std::printf("\n%-34s %10s %10s\n", "", "time ms", "peak MB");
    auto row = [](const char* what, const ChildRun& r) {
        std::printf("%-34s %10.2f %10.1f\n", what, r.seconds * 1e3, r.peakMB);
    };
    row("true (program start)", trueRun);
    row("cat FILE", cat);
    row("vdlnhar list FILE", list);
    row("index alone (in process)", index);
    row("minimal reader into fresh memory", minimal);
    row("whole-file read (ReadHarFile)", whole);
    std::printf(
        "\nvdlnhar list: %.2f ms (goal < 20 ms) = %.3f x cat, %.2f x program start; peak %.1f MB (goal < 10 "
        "MB)\n",
        list.seconds * 1e3, list.seconds / cat.seconds, list.seconds / trueRun.seconds, list.peakMB);
    const double median = pairRatios[pairRatios.size() / 2];
    std::printf(
        "whole read / minimal reader time: %.2f, median of %d pairs (goal <= 1.2); quartiles %.2f and %.2f; "
        "best / best %.2f\n",
        median, pairs, pairRatios[pairRatios.size() / 4], pairRatios[3 * pairRatios.size() / 4],
        whole.seconds / minimal.seconds);
    std::printf("whole read / cat time: %.2f (best of each)\n", whole.seconds / cat.seconds);
    std::printf("whole read peak memory / data: %.3f (goal <= 1.05); minimal reader peak / data: %.3f\n",
                whole.peakMB / dataMB, minimal.peakMB / dataMB);
    return 0;
}
