// The job engine's own cost per part against its peers, measured in one run
// on an in-memory folder.
//
// The demonstration application is extended to 30, 60 and 100 years (all
// three runs, spreadsheets and deviations) and run through batch mode with
// the real suite programs.  Every program the job starts is recorded, and
// the same commands are then run twice more:
//   - replay: one after the other by the same launcher, with nothing in
//     between (the programs' own cost: the floor);
//   - make + shell: a generated Makefile with one recipe line per command,
//     each run by make through /bin/sh (the cheapest general driver).
// Per part it prints the engine's CPU time, the wall time the engine adds
// to the replay, and the same for make + shell, then the engine's CPU time
// per part at each length against that at 30 years.
//
// Usage: engine_bench [folder [years [--engine-only]]]
//   (default folder /dev/shm/vardelon-engine-bench; vardelon-demo and the
//   suite programs must be beside this program).  Without a number of years
//   each length runs in its own process.  With one, only that length runs in
//   this process; --engine-only leaves out the peers, for a profile of the
//   engine alone, e.g.
//     valgrind --tool=callgrind build-bench/bin/engine_bench /dev/shm/x 30 --engine-only
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/batch.h"
#include "base/besteffort.h"
#include "base/fileutil.h"
#include "base/inifile.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "env/process.h"
#include "env/tools.h"
#include "model/simdetails.h"
#include "model/simgrid.h"

using namespace vdln;

namespace {

double seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// CPU seconds of this process and of its waited-for children so far.
struct CpuTimes {
    double self = 0, children = 0;
    static CpuTimes take() {
        rusage s{}, c{};
        getrusage(RUSAGE_SELF, &s);
        getrusage(RUSAGE_CHILDREN, &c);
        return {seconds(s.ru_utime) + seconds(s.ru_stime), seconds(c.ru_utime) + seconds(c.ru_stime)};
    }
    CpuTimes operator-(const CpuTimes& o) const { return {self - o.self, children - o.children}; }
};

// One way of running the job's commands: wall time, CPU of this process,
// CPU of the programs (and of make and the shells).
struct Timing {
    double wall = 0, self = 0, children = 0;
};

// A launcher that writes down every program it is asked to start and
// leaves the work to the real one.
class RecordingLauncher : public ProcessLauncher {
public:
    explicit RecordingLauncher(ProcessLauncher& inner) : m_inner(inner) {}
    Result<ProcessHandle> start(const LaunchRequest& request) override {
        m_requests.push_back(request);
        return m_inner.start(request);
    }
    std::optional<int> ended(ProcessHandle h) override { return m_inner.ended(h); }
    Status terminate(ProcessHandle h, int code) override { return m_inner.terminate(h, code); }
    Status stop(const std::vector<ProcessHandle>& hs, int code, int graceMs) override {
        return m_inner.stop(hs, code, graceMs);
    }
    std::optional<int> endSignal(ProcessHandle h) override { return m_inner.endSignal(h); }
    void release(ProcessHandle h) override { m_inner.release(h); }
    bool waitForEnd(ProcessHandle h, std::optional<int> timeoutMs) override {
        return m_inner.waitForEnd(h, timeoutMs);
    }
    int wakeFd() const override { return m_inner.wakeFd(); }
    void drainWakeups() override { m_inner.drainWakeups(); }
    Status startProgram(const std::string& program, const std::vector<std::string>& args,
                        const std::string& dir) override {
        return m_inner.startProgram(program, args, dir);
    }
    const std::vector<LaunchRequest>& requests() const { return m_requests; }

private:
    ProcessLauncher& m_inner;
    std::vector<LaunchRequest> m_requests;
};

// Builds the application of `years` years under `root`; false (with a
// message) when that fails.
bool makeApplication(const std::string& root, int years, std::string& details) {
    const std::string bin = dirOf(std::filesystem::read_symlink("/proc/self/exe").string());
    std::filesystem::remove_all(root);
    const std::string app = root + "/app";
    if (std::system((bin + "/vardelon-demo " + app + " > /dev/null").c_str()) != 0) {
        std::fprintf(stderr, "vardelon-demo failed\n");
        return false;
    }
    // Extend the application to the given number of years: the Base shock
    // of each new year follows the demo's path down to 1.0.
    TSimRecord rec = CreateSimRecord();
    if (Status s = ReadSimRecordFile(rec, app + "/growth.ds2", false); !s) {
        std::fprintf(stderr, "%s\n", s.message().c_str());
        return false;
    }
    rec.NumYears = years;
    for (int i = 1; i <= kMaxYears; ++i) rec.PeriodLength[i] = 1;
    ComputeYears(rec);
    details = app + "/growth.ds1";
    auto ds1 = IniFile::load(details);
    if (!ds1) {
        std::fprintf(stderr, "%s\n", ds1.message().c_str());
        return false;
    }
    ds1->setInt("Length Periods", "Number periods", years);
    for (int i = 1; i <= years; ++i) ds1->setInt("Length Periods", std::to_string(i), 1);
    if (Status s = ds1->save(details); !s) {
        std::fprintf(stderr, "%s\n", s.message().c_str());
        return false;
    }
    for (int i = 7; i <= years; ++i) {
        const std::string stem = "B" + std::to_string(rec.Years[i]);
        bestEffort(
            writeLinesAtomic(app + "/" + stem + ".BSH", {"shock x = uniform 1.5 ;", "shock l = uniform 1 ;"}),
            "a missing shock file makes the benchmark job fail visibly");
        rec.GridStem(i, 1) = rec.GridStem(6, 1).str();
        rec.GridStem(i, 2) = stem;
        rec.GridStem(i, 3) = rec.GridStem(6, 3).str();
        rec.GridStem(i, 4) = "";
    }
    RefreshGrid(rec);
    if (Status s = WriteSimRecordFile(rec, app + "/growth.ds2"); !s) {
        std::fprintf(stderr, "%s\n", s.message().c_str());
        return false;
    }
    setenv("SVKEEP", (root + "/keep").c_str(), 1);
    setenv("SVTEMP", (root + "/temp").c_str(), 1);
    // The replay runs the job's commands again on the files the job wrote
    // in the Temporary Directory: the session must leave them at its close.
    const std::string keep = root + "/keep/SVKEEP/VDLNkeep";
    std::filesystem::create_directories(keep);
    std::filesystem::create_directories(root + "/temp");
    if (Status s = writeFileAtomic(keep + "/Vardelon.ini", "[Environment]\r\nClear Temp Dir when Exit=0\r\n");
        !s) {
        std::fprintf(stderr, "%s\n", s.message().c_str());
        return false;
    }
    return true;
}

// The commands one after the other through the same launcher.
bool replay(const std::vector<LaunchRequest>& commands, Timing& t) {
    PosixProcessLauncher launcher;
    const CpuTimes c0 = CpuTimes::take();
    const double w0 = now();
    for (const LaunchRequest& r : commands) {
        auto h = launcher.start(r);
        if (!h || !launcher.waitForEnd(*h, std::nullopt) || launcher.ended(*h).value_or(-1) != 0) {
            std::fprintf(stderr, "replay: %s did not run to success\n", r.program.c_str());
            return false;
        }
        launcher.release(*h);
    }
    t.wall = now() - w0;
    const CpuTimes d = CpuTimes::take() - c0;
    t.self = d.self;
    t.children = d.children;
    return true;
}

std::string absolute(const std::string& path) {
    if (path.empty() || path.front() == '/') return path;
    return std::filesystem::absolute(path).string();
}

// A Makefile whose one target runs the commands in order, one shell each.
bool writeMakefile(const std::vector<LaunchRequest>& commands, const std::string& file) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << ".PHONY: all\nall:\n";
    for (const LaunchRequest& r : commands) {
        std::vector<std::string> words;
        if (iendsWith(r.program, ".bat")) words.push_back("/bin/sh");
        words.push_back(r.program);
        words.insert(words.end(), r.args.begin(), r.args.end());
        std::string line;
        if (!r.dir.empty()) line += "cd " + shellQuoted(r.dir) + " && ";
        for (size_t k = 0; k < words.size(); ++k) line += (k ? " " : "") + shellQuoted(words[k]);
        if (!r.stdinFile.empty()) line += " < " + shellQuoted(absolute(r.stdinFile));
        if (!r.stdoutFile.empty()) line += " > " + shellQuoted(absolute(r.stdoutFile));
        // make reads "$" itself.
        std::string escaped;
        for (char c : line) escaped += c == '$' ? std::string("$$") : std::string(1, c);
        out << "\t" << escaped << "\n";
    }
    return static_cast<bool>(out);
}

bool runMake(const std::string& makefile, Timing& t) {
    std::fflush(nullptr);  // nothing buffered here is written twice by the child
    const double w0 = now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!std::freopen("/dev/null", "w", stdout)) _exit(126);
        ::execlp("make", "make", "-s", "-f", makefile.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage ru{};
    if (pid < 0 || ::wait4(pid, &status, 0, &ru) < 0) return false;
    t.wall = now() - w0;
    t.children = seconds(ru.ru_utime) + seconds(ru.ru_stime);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "make failed\n");
        return false;
    }
    return true;
}

// What one length reports to the parent process.
struct LengthResult {
    int years = 0, parts = 0;
    Timing engine, replay, make;
};

void keepBest(Timing& best, const Timing& t) {
    if (best.wall == 0 || t.wall < best.wall) best = t;
}

bool runLength(const std::string& root, int years, bool peers, LengthResult& out) {
    std::string details;
    if (!makeApplication(root, years, details)) return false;
    PosixProcessLauncher posix;
    RecordingLauncher recording(posix);
    // The job's progress lines go to a file, not to the terminal.
    const std::string progress = root + "/progress.txt";
    std::fflush(stderr);
    const int savedErr = ::dup(2);
    if (!std::freopen(progress.c_str(), "w", stderr)) return false;
    const CpuTimes c0 = CpuTimes::take();
    const double w0 = now();
    const int rc = runBatch({"all", "all", details}, {}, &recording);
    std::fflush(nullptr);
    out.engine.wall = now() - w0;
    const CpuTimes d = CpuTimes::take() - c0;
    std::fflush(stderr);
    ::dup2(savedErr, 2);
    ::close(savedErr);
    out.engine.self = d.self;
    out.engine.children = d.children;
    out.years = years;
    out.parts = static_cast<int>(recording.requests().size());
    if (rc != 0) {
        std::fprintf(stderr, "the job failed (exit status %d); see %s\n", rc, progress.c_str());
        return false;
    }
    if (!peers) return true;
    const std::string makefile = root + "/job.mk";
    if (!writeMakefile(recording.requests(), makefile)) return false;
    // Best of three each, taken in turns so that a change in the machine's
    // load falls on both.
    for (int k = 0; k < 3; ++k) {
        Timing r, m;
        if (!replay(recording.requests(), r) || !runMake(makefile, m)) return false;
        keepBest(out.replay, r);
        keepBest(out.make, m);
    }
    return true;
}

void printLoad() {
    double load[3] = {0, 0, 0};
    if (::getloadavg(load, 3) == 3)
        std::printf("machine load average: %.2f %.2f %.2f (%ld cores)\n", load[0], load[1], load[2],
                    ::sysconf(_SC_NPROCESSORS_ONLN));
}

void printLength(const LengthResult& r) {
    const double n = r.parts;
    auto ms = [n](double s) { return 1000 * s / n; };
    std::printf("\n%d years, %d parts                      wall ms  CPU ms (per part)\n", r.years, r.parts);
    std::printf("  engine job (batch mode)            %8.2f  %6.2f engine, %6.2f programs\n",
                ms(r.engine.wall), ms(r.engine.self), ms(r.engine.children));
    if (r.replay.wall == 0) return;
    std::printf("  replay of the same commands        %8.2f  %6.2f launcher, %6.2f programs\n",
                ms(r.replay.wall), ms(r.replay.self), ms(r.replay.children));
    std::printf("  make + shell, same commands        %8.2f  %6.2f make, shells and programs\n",
                ms(r.make.wall), ms(r.make.children));
    const double engineWall = ms(r.engine.wall - r.replay.wall);
    const double makeWall = ms(r.make.wall - r.replay.wall);
    const double makeCpu = ms(r.make.children - r.replay.children);
    std::printf(
        "  engine overhead: CPU %.2f ms per part; wall %.2f ms per part over the replay (%.2fx its wall)\n",
        ms(r.engine.self), engineWall, r.engine.wall / r.replay.wall);
    std::printf("  make + shell overhead: CPU %.2f ms per part; wall %.2f ms per part over the replay\n",
                makeCpu, makeWall);
    if (makeCpu > 0)
        std::printf(
            "  engine CPU / make + shell CPU per part: %.2f (goal <= 1: at most 1.0 ms, below make)\n",
            ms(r.engine.self) / makeCpu);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && argv[1][0] == '-') {
        std::printf("usage: engine_bench [folder [years [--engine-only]]]\n");
        return argv[1] == std::string("--help") ? 0 : 2;
    }
    const std::string root = argc > 1 ? argv[1] : "/dev/shm/vardelon-engine-bench";
    if (argc > 2) {
        const bool peers = !(argc > 3 && std::strcmp(argv[3], "--engine-only") == 0);
        LengthResult r;
        if (!runLength(root, std::atoi(argv[2]), peers, r)) return 1;
        printLoad();
        printLength(r);
        return 0;
    }
    const int lengths[] = {30, 60, 100};
    LengthResult results[3];
    for (int k = 0; k < 3; ++k) {
        int fds[2];
        if (::pipe(fds) != 0) return 1;
        std::fflush(stdout);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(fds[0]);
            LengthResult r;
            const bool ok = runLength(root, lengths[k], true, r);
            if (ok && ::write(fds[1], &r, sizeof r) != static_cast<ssize_t>(sizeof r)) std::_Exit(1);
            std::_Exit(ok ? 0 : 1);
        }
        ::close(fds[1]);
        if (::read(fds[0], &results[k], sizeof results[k]) != static_cast<ssize_t>(sizeof results[k]))
            results[k] = LengthResult{};
        ::close(fds[0]);
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return 1;
    }
    std::printf("engine against the replay of its commands and make + shell, folder %s\n", root.c_str());
    printLoad();
    for (const LengthResult& r : results) printLength(r);
    const double base = 1000 * results[0].engine.self / results[0].parts;
    std::printf("\nengine CPU per part against that at 30 years (goal at 100 years <= 1.2):\n");
    for (const LengthResult& r : results) {
        const double perPart = 1000 * r.engine.self / r.parts;
        std::printf("  %3d years %6.2f ms  %.2fx\n", r.years, perPart, base > 0 ? perPart / base : 0.0);
    }
    return 0;
}
