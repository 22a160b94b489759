// Runs the demonstration application extended to 30, 60 and 100 years (all three runs,
// spreadsheets and deviations) through batch mode with the real suite
// programs, and prints the time per part: the whole job's wall time, the CPU
// time of the programs, and what is left for the engine.
//
// Usage: engine_bench [folder [years]]   (vardelon-demo and the suite
// programs must be in the same folder as this program).  Without a number
// of years each length runs in its own process and the engine's CPU time
// per part is printed against that at 30 years.
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/batch.h"
#include "base/besteffort.h"
#include "base/fileutil.h"
#include "base/inifile.h"
#include "base/paths.h"
#include "model/simdetails.h"
#include "model/simgrid.h"

using namespace vdln;

namespace {
double seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}
}  // namespace

int runOne(const std::string& root, int years, int reportFd);

int main(int argc, char** argv) {
    const std::string root = argc > 1 ? argv[1] : "/dev/shm/vardelon-engine-bench";
    if (argc > 2) return runOne(root, std::atoi(argv[2]), -1);
    const int lengths[] = {30, 60, 100};
    double perPart[3] = {0, 0, 0};
    for (int k = 0; k < 3; ++k) {
        int fds[2];
        if (::pipe(fds) != 0) return 1;
        std::fflush(stdout);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(fds[0]);
            std::_Exit(runOne(root, lengths[k], fds[1]));
        }
        ::close(fds[1]);
        if (::read(fds[0], &perPart[k], sizeof perPart[k]) != static_cast<ssize_t>(sizeof perPart[k]))
            perPart[k] = 0;
        ::close(fds[0]);
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return 1;
    }
    for (int k = 0; k < 3; ++k)
        std::printf("engine CPU per part at %3d years %6.2f ms  (%.2fx that at 30 years)\n", lengths[k],
                    perPart[k], perPart[0] > 0 ? perPart[k] / perPart[0] : 0.0);
    return 0;
}

int runOne(const std::string& root, int years, int reportFd) {
    const std::string bin = dirOf(std::filesystem::read_symlink("/proc/self/exe").string());
    std::filesystem::remove_all(root);
    const std::string app = root + "/app";
    if (std::system((bin + "/vardelon-demo " + app + " > /dev/null").c_str()) != 0) {
        std::fprintf(stderr, "vardelon-demo failed\n");
        return 1;
    }
    // Extend the application to the given number of years: the Base shock of each new year
    // follows the demo's path down to 1.0.
    TSimRecord rec = CreateSimRecord();
    if (Status s = ReadSimRecordFile(rec, app + "/growth.ds2", false); !s) {
        std::fprintf(stderr, "%s\n", s.message().c_str());
        return 1;
    }
    rec.NumYears = years;
    for (int i = 1; i <= kMaxYears; ++i) rec.PeriodLength[i] = 1;
    ComputeYears(rec);
    auto ds1 = IniFile::load(app + "/growth.ds1");
    if (!ds1) {
        std::fprintf(stderr, "%s\n", ds1.message().c_str());
        return 1;
    }
    ds1->setInt("Length Periods", "Number periods", years);
    for (int i = 1; i <= years; ++i) ds1->setInt("Length Periods", std::to_string(i), 1);
    if (Status s = ds1->save(app + "/growth.ds1"); !s) {
        std::fprintf(stderr, "%s\n", s.message().c_str());
        return 1;
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
        return 1;
    }
    setenv("SVKEEP", (root + "/keep").c_str(), 1);
    setenv("SVTEMP", (root + "/temp").c_str(), 1);
    std::filesystem::create_directories(root + "/keep");
    std::filesystem::create_directories(root + "/temp");

    const auto t0 = std::chrono::steady_clock::now();
    const int rc = runBatch({"all", "all", app + "/growth.ds1"});
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (rc != 0) {
        std::fprintf(stderr, "the job failed\n");
        return 1;
    }
    rusage self{}, children{};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    // Parts: per year Base 2; BOT 3, rerun 2, policy 2 from the policy
    // start (2025); spreadsheets 5 + 5 + 7.
    const int parts = 2 * years + 7 * (years - 1) + 17;
    const double selfCpu = seconds(self.ru_utime) + seconds(self.ru_stime);
    const double childCpu = seconds(children.ru_utime) + seconds(children.ru_stime);
    std::printf("years %d, parts %d\n", years, parts);
    std::printf("wall time of the job        %8.3f s  (%6.2f ms per part)\n", wall, 1000 * wall / parts);
    std::printf("CPU time of the programs    %8.3f s  (%6.2f ms per part)\n", childCpu,
                1000 * childCpu / parts);
    std::printf("CPU time of the engine      %8.3f s  (%6.2f ms per part)\n", selfCpu,
                1000 * selfCpu / parts);
    std::printf("wall minus programs         %8.3f s  (%6.2f ms per part)\n", wall - childCpu,
                1000 * (wall - childCpu) / parts);
    const double enginePerPart = 1000 * selfCpu / parts;
    if (reportFd >= 0 && ::write(reportFd, &enginePerPart, sizeof enginePerPart) < 0) return 1;
    return 0;
}
