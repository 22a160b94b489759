// "Where to Start?  Results Be the Same if Run Again" on an application of
// 100 years with 20 logical files and complete records for all three runs,
// against its floor measured in the same run: one stat() of every file the
// records stamp.  The application is built once (every step written through
// WriteRunRecord, as a job would) in $VDLN_BENCH_DIR (default /dev/shm, else
// /tmp); then the check and the floor are timed in turns and the median of
// each (CPU and wall time) is printed with their ratios.
//
//   runrecord_bench [rounds]      (default 15)
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/inifile.h"
#include "doubles/scripteddialogs.h"
#include "runrecord/appbuilder.h"
#include "runrecord/filestamp.h"
#include "runrecord/wheretostart.h"

namespace {

using vdln::testing::AppBuilder;

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// CPU seconds of this process (user and system): on a loaded machine the
// wall time of a short measure is mostly the wait for a processor.
double cpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// A measure taken both ways.
struct Sample {
    std::vector<double> wall, cpu;
    template <class F>
    void take(F f) {
        const double w0 = now(), c0 = cpuSeconds();
        f();
        cpu.push_back(cpuSeconds() - c0);
        wall.push_back(now() - w0);
    }
};

std::string benchRoot() {
    const char* dir = std::getenv("VDLN_BENCH_DIR");
    std::string base = dir ? dir : (std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp");
    std::string tmpl = base + "/vdlnbench-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data())) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    return buf.data();
}

// The file of every stamp in the record of runs (a file stamped in many
// steps comes as many times).
std::vector<std::string> stampedFiles(const vdln::RunRecordEnv& env) {
    std::vector<std::string> names;
    for (int r = 1; r <= 3; ++r) {
        auto ini = vdln::IniFile::load(vdln::RunRecordFileName(env.keep, r));
        if (!ini) continue;
        for (const std::string& s : ini->sections())
            for (const auto& [key, value] : ini->entries(s))
                if (vdln::parseStamp(value).form == vdln::ParsedStamp::Form::Current)
                    names.push_back(vdln::StampName(value));
    }
    return names;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void printLoad() {
    double load[3] = {0, 0, 0};
    if (::getloadavg(load, 3) == 3)
        std::printf("machine load average: %.2f %.2f %.2f (%ld cores)\n", load[0], load[1], load[2],
                    ::sysconf(_SC_NPROCESSORS_ONLN));
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    const std::string root = benchRoot();
    int status = 0;
    {
        // 1 updated input, 18 constant inputs and 1 output-only file.
        AppBuilder app(root, 100, 18, 2);
        app.runAll();
        const vdln::RunRecordEnv& env = *app.env;
        const std::vector<std::string> files = stampedFiles(env);

        const size_t distinct = std::set<std::string>(files.begin(), files.end()).size();

        Sample check, sequence, floor;
        int present = 0;
        for (int k = 0; k < rounds; ++k) {
            check.take([&] {
                vdln::ScriptedDialogs dialogs;
                vdln::CheckReport rep = vdln::WhereToStart(env, dialogs, false, {});
                for (int r = 1; r <= 3; ++r)
                    if (rep.starts[r].start != 102) {
                        std::fprintf(stderr, "the application should be complete and still ok\n");
                        status = 1;
                    }
            });
            sequence.take([&] {
                vdln::ScriptedDialogs dialogs;
                if (!vdln::WhereToStart(env, dialogs, true, {}).done) status = 1;
            });
            floor.take([&] {
                present = 0;
                for (const std::string& f : files) {
                    struct stat st {};
                    if (::stat(f.c_str(), &st) == 0) ++present;
                }
            });
        }
        std::printf(
            "Where to Start? on 100 years x 20 files x 3 runs: %zu stamps of %zu files (%d present), "
            "median of %d\n",
            files.size(), distinct, present, rounds);
        printLoad();
        std::printf("%-44s %9s %9s\n", "", "CPU ms", "wall ms");
        auto row = [&](const char* what, const Sample& m) {
            const double c = median(m.cpu), w = median(m.wall);
            const double fc = median(floor.cpu), fw = median(floor.wall);
            std::printf("%-44s %9.2f %9.2f", what, c * 1e3, w * 1e3);
            if (&m != &floor)
                std::printf("   %.2fx / %.2fx the floor", fc > 0 ? c / fc : 0.0, fw > 0 ? w / fw : 0.0);
            std::printf("\n");
        };
        row("stat() of the file of every stamp (floor)", floor);
        row("Where to Start? (results the same)", check);
        row("Where to Start? (just the sequence)", sequence);
        std::printf("goal: Where to Start? (results the same) within 3x the floor\n");
    }
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    return status;
}
