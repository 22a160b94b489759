#pragma once
// What the end-to-end tests share: a fresh demonstration application per
// test, running vardelon with the test's Keep and Temporary Directories
// (in the foreground or in the background), watching the suite programs it
// starts, and the growth model's equations for expected values.
#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

#include "support/tempdir.h"
#include "support/testpaths.h"

namespace vdln::e2e {

inline const std::string kBin = vdln::testing::testBinDir();

/// The growth model solved year by year in the two closures of the demo.
struct Growth {
    double caps[3] = {400, 900, 1200}, invs[3] = {30, 90, 110};
    static constexpr double kAlpha = 0.3, kDepr = 0.05;
    void baseYear(double g, double x[3], double k[3], double a[3]);
    void update(int i, double x, double k);
};

/// Whether a process has ended (a zombie counts as ended), waiting up to `ms`.
bool goneWithin(long pid, int ms);
/// Processes running a program file called `name` whose current directory
/// is under `underDir`.
std::vector<long> runningPrograms(const std::string& name, const std::string& underDir);

class DemoTest : public testing::TempDirTest {
protected:
    void SetUp() override;
    void TearDown() override;

    /// The shell line that runs `command` in the test folder with its
    /// directories, extra environment assignments and output file.
    std::string shellLine(const std::string& command, const std::string& env, const std::string& keep,
                          const std::string& outFile);
    /// Runs to the end; the exit status (128 + signal when killed).
    int run(const std::string& command, const std::string& env = "", const std::string& keep = "",
            const std::string& outFile = "out.txt");
    /// Starts in the background (the pid is vardelon's own).
    pid_t spawn(const std::string& command, const std::string& env = "", const std::string& keep = "",
                const std::string& outFile = "out.txt");
    /// Waits for a background run: its exit status, -1 when it had to be
    /// killed after `timeoutMs`.
    int waitExit(pid_t pid, int timeoutMs);
    /// Waits (up to 30 s) until `pid` has a child process running a program
    /// file called `name`;
    /// its pid, 0 when none appeared.
    long waitForProgram(pid_t pid, const std::string& name);

    std::string out(const std::string& outFile = "out.txt");
    std::string batchLog(const std::string& keep = "");
    std::map<std::string, std::map<int, double>> csv(const std::string& file);

    std::string app;
    std::vector<pid_t> m_spawned;
};

}  // namespace vdln::e2e
