#pragma once
// The 200 MB header array file of the header array benchmarks: a few small
// headers and one "RE" header of 10,000 x 5,000 reals over two named sets,
// written once per run in $VDLN_BENCH_DIR (default /tmp).
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "formats/harfile.h"

namespace vdln::bench {

inline constexpr std::int64_t kBigRows = 10000, kBigCols = 5000;  // 50,000,000 reals
inline constexpr double kMB = 1024.0 * 1024.0;

inline double seconds(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

inline std::string benchFileName(const char* tag) {
    const char* dir = std::getenv("VDLN_BENCH_DIR");
    return std::string(dir ? dir : "/tmp") + "/vdln_" + tag + "_" + std::to_string(::getpid()) + ".har";
}

inline std::vector<std::string> numbered(const char* prefix, std::int64_t n) {
    std::vector<std::string> out;
    out.reserve(static_cast<std::size_t>(n));
    for (std::int64_t i = 1; i <= n; ++i) out.push_back(prefix + std::to_string(i));
    return out;
}

// Writes the file; exits with a message when that fails.
inline void writeBenchFile(const std::string& name) {
    HarFile f = NewHarFile("har_bench", "now", false, false).value();
    auto add = [&](Result<PHarHeader> h) {
        if (!h || !addHeader(f, std::move(*h))) {
            std::fprintf(stderr, "cannot build the benchmark file: %s\n", h.message().c_str());
            std::exit(1);
        }
    };
    add(makeREHeader("ALPH", "a parameter", {}, {0.25f}));
    add(makeREHeader("CAPS", "capital by industry", {{"IND", numbered("ind", 20)}}));
    auto big = makeREHeader("BIG", "fifty million reals",
                            {{"ROW", numbered("r", kBigRows)}, {"COL", numbered("c", kBigCols)}});
    if (big) {
        float* v = (*big)->HeadMat.Root();
        for (std::int64_t i = 0; i < kBigRows * kBigCols; ++i)
            v[i] = static_cast<float>(i % 1000) * 0.25f + 1.0f;
    }
    add(std::move(big));
    add(makeStringHeader("NOTE", "what this file is", {"benchmark file", "of the header array reader"}));
    Status s = WriteHarFile(name, "har_bench", "now", f);
    if (!s) {
        std::fprintf(stderr, "%s\n", s.message().c_str());
        std::exit(1);
    }
    // On the disk before anything is measured: otherwise the system writes
    // the 200 MB back while the readers run, and they are timed against it.
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        std::fprintf(stderr, "cannot write the benchmark file to the disk: %s\n", std::strerror(errno));
        std::exit(1);
    }
    ::close(fd);
}

// Runs a program as a child (stdout to /dev/null unless `capture` is
// given); returns its wall time in seconds and peak resident memory in MB.
struct ChildRun {
    bool ok = false;
    double seconds = 0, peakMB = 0;
    std::string output;
};
inline ChildRun runChild(const std::vector<std::string>& argv, bool capture = false) {
    ChildRun r;
    int fds[2] = {-1, -1};
    if (capture && ::pipe(fds) != 0) return r;
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const auto t0 = std::chrono::steady_clock::now();
    pid_t pid = ::fork();
    if (pid == 0) {
        if (capture) {
            ::dup2(fds[1], 1);
            ::close(fds[0]);
        } else if (!std::freopen("/dev/null", "w", stdout)) {
            _exit(126);
        }
        ::execv(args[0], args.data());
        _exit(127);
    }
    if (capture) {
        ::close(fds[1]);
        char buf[4096];
        ssize_t n;
        while ((n = ::read(fds[0], buf, sizeof buf)) > 0) r.output.append(buf, static_cast<std::size_t>(n));
        ::close(fds[0]);
    }
    int status = 0;
    struct rusage ru {};
    if (pid < 0 || ::wait4(pid, &status, 0, &ru) < 0) return r;
    r.seconds = seconds(t0);
    r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    r.peakMB = static_cast<double>(ru.ru_maxrss) / 1024.0;
    return r;
}

// The best (smallest) time and memory of `n` runs.
template <class F>
ChildRun best(int n, F run) {
    ChildRun b;
    b.seconds = b.peakMB = 1e30;
    for (int i = 0; i < n; ++i) {
        ChildRun r = run();
        if (!r.ok) return r;
        b.ok = true;
        if (r.seconds < b.seconds) b.seconds = r.seconds;
        if (r.peakMB < b.peakMB) b.peakMB = r.peakMB;
        b.output = r.output;
    }
    return b;
}

inline std::string selfPath() {
    char buf[4096];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    buf[n] = '\0';
    return buf;
}

inline std::string besideSelf(const std::string& program) {
    std::string self = selfPath();
    return self.substr(0, self.rfind('/') + 1) + program;
}

inline void printLoad() {
    double load[3] = {0, 0, 0};
    if (::getloadavg(load, 3) == 3)
        std::printf("machine load average: %.2f %.2f %.2f (%ld cores)\n", load[0], load[1], load[2],
                    ::sysconf(_SC_NPROCESSORS_ONLN));
}

}  // namespace vdln::bench
