#include "e2e/e2esupport.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "base/fileutil.h"
#include "base/strutil.h"
#include "base/textfile.h"
#include "support/processes.h"

namespace vdln::e2e {

void Growth::baseYear(double g, double x[3], double k[3], double a[3]) {
    for (int i = 0; i < 3; ++i) {
        x[i] = g;
        k[i] = 100 * (invs[i] / caps[i] - kDepr);
        a[i] = x[i] - kAlpha * k[i] - (1 - kAlpha) * 1.0;
        update(i, x[i], k[i]);
    }
}

void Growth::update(int i, double x, double k) {
    caps[i] = static_cast<float>(caps[i] * (1 + k / 100));
    invs[i] = static_cast<float>(invs[i] * (1 + x / 100));
}

namespace {
using testing::quietRead;

std::string link(const std::string& p) {
    std::error_code ec;
    auto t = std::filesystem::read_symlink(p, ec);
    return ec ? "" : t.string();
}
}  // namespace

bool goneWithin(long pid, int ms) {
    return testing::processGoneWithin(pid, ms);
}

std::vector<long> runningPrograms(const std::string& name, const std::string& underDir) {
    std::vector<long> found;
    std::error_code ec;
    for (auto& e : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string id = e.path().filename().string();
        if (id.empty() || !std::isdigit(static_cast<unsigned char>(id[0]))) continue;
        const std::string exe = link(e.path().string() + "/exe");
        const std::string cwd = link(e.path().string() + "/cwd");
        if (std::filesystem::path(exe).filename() != name || cwd.rfind(underDir, 0) != 0) continue;
        if (!testing::processGone(std::stol(id))) found.push_back(std::stol(id));
    }
    return found;
}

void DemoTest::SetUp() {
    TempDirTest::SetUp();
    for (const char* program : {"/growth.exe", "/vardelon-demo"})
        ASSERT_TRUE(fileExists(kBin + program)) << kBin + program << " is not built";
    app = path("app");
    ASSERT_EQ(run(kBin + "/vardelon-demo " + app), 0);
}

void DemoTest::TearDown() {
    for (pid_t p : m_spawned) {
        if (::kill(p, 0) == 0) ::kill(p, SIGKILL);
        int status = 0;
        ::waitpid(p, &status, WNOHANG);
    }
    TempDirTest::TearDown();
}

std::string DemoTest::shellLine(const std::string& command, const std::string& env, const std::string& keep,
                                const std::string& outFile) {
    const std::string keepDir = keep.empty() ? path("keep") : keep;
    std::filesystem::create_directories(keepDir);
    std::filesystem::create_directories(path("temp"));
    return "cd " + dir() + " && SVKEEP=" + keepDir + " SVTEMP=" + path("temp") + " " + env + " exec " +
           command + " > " + path(outFile) + " 2>&1";
}

int DemoTest::run(const std::string& command, const std::string& env, const std::string& keep,
                  const std::string& outFile) {
    const std::string full = shellLine(command, env, keep, outFile);
    int rc = std::system(full.c_str());
    if (WIFSIGNALED(rc)) return 128 + WTERMSIG(rc);
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

pid_t DemoTest::spawn(const std::string& command, const std::string& env, const std::string& keep,
                      const std::string& outFile) {
    const std::string full = shellLine(command, env, keep, outFile);
    pid_t pid = ::fork();
    if (pid == 0) {
        ::execl("/bin/sh", "sh", "-c", full.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    m_spawned.push_back(pid);
    return pid;
}

int DemoTest::waitExit(pid_t pid, int timeoutMs) {
    for (int waited = 0;; waited += 20) {
        int status = 0;
        pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) {
            if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (r < 0) return -1;
        if (waited >= timeoutMs) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

long DemoTest::waitForProgram(pid_t pid, const std::string& name) {
    for (int waited = 0; waited < 30000; waited += 20) {
        std::error_code ec;
        for (auto& t : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
            for (const std::string& child : split(trim(quietRead(t.path().string() + "/children")), ' ')) {
                if (child.empty()) continue;
                if (std::filesystem::path(link("/proc/" + child + "/exe")).filename() == name)
                    return std::stol(child);
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return 0;
}

std::string DemoTest::out(const std::string& outFile) {
    return testing::readFile(path(outFile));
}

std::string DemoTest::batchLog(const std::string& keep) {
    std::error_code ec;
    for (auto& e : std::filesystem::recursive_directory_iterator(keep.empty() ? path("keep") : keep, ec))
        if (e.path().filename() == "BatchJobs.log") return testing::readFile(e.path().string());
    return "";
}

std::map<std::string, std::map<int, double>> DemoTest::csv(const std::string& file) {
    std::map<std::string, std::map<int, double>> t;
    auto lines = readTextLines(file);
    EXPECT_TRUE(lines) << lines.message();
    if (!lines || lines->empty()) return t;
    auto head = split((*lines)[0], ',');
    for (size_t k = 1; k < lines->size(); ++k) {
        auto cells = split((*lines)[k], ',');
        for (size_t c = 1; c < cells.size() && c < head.size(); ++c)
            t[cells[0]][static_cast<int>(parseInt(head[c]).value_or(0))] = parseDouble(cells[c]).value_or(0);
    }
    return t;
}

}  // namespace vdln::e2e
