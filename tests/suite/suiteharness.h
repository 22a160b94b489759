#pragma once
// Helpers for the tests that run the demonstration suite programs: running a
// program in a folder, reading its report, reading header array outputs, and
// an independent calculation of the growth model's results.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "base/fileutil.h"
#include "base/inifile.h"
#include "base/textfile.h"
#include "formats/harfile.h"
#include "support/tempdir.h"
#include "support/testpaths.h"

namespace vdln::testing::suitetest {

inline std::string binPath(const std::string& program) {
    return vdln::testing::testBinDir() + "/" + program;
}

/// Runs a program with arguments in a folder; returns its exit code (-1
/// when it could not be started or did not end normally).
inline int runIn(const std::string& dir, const std::string& program, const std::vector<std::string>& args) {
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(126);
        std::vector<char*> argv;
        std::string prog = program;
        argv.push_back(prog.data());
        std::vector<std::string> copy = args;
        for (auto& a : copy) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

/// Runs a suite program on a stored-input file with "-lon %sti".
inline int runSuite(const std::string& dir, const std::string& exe, const std::string& sti) {
    return runIn(dir, binPath(exe), {"-sti", sti, "-lon", "%sti"});
}

/// Writes a text file with CR LF line ends.
inline void writeLines(const std::string& path, const std::vector<std::string>& lines) {
    ASSERT_TRUE(writeFileAtomic(path, joinLinesCrLf(lines)).isOk()) << path;
}

/// The "[Result]" section of a report file (empty map when missing).
inline std::map<std::string, std::string> readReport(const std::string& path) {
    std::map<std::string, std::string> out;
    auto ini = IniFile::load(path);
    if (!ini) return out;
    for (const auto& key : ini->keys("Result")) out[key] = ini->getString("Result", key, "");
    return out;
}

/// The real values of a header (fails the test when missing).
inline std::vector<float> harReals(const std::string& path, const std::string& header) {
    auto f = ReadHarFile(path);
    EXPECT_TRUE(f.isOk()) << path << ": " << f.message();
    if (!f) return {};
    const HarHeader* h = f->find(header);
    EXPECT_NE(h, nullptr) << header << " in " << path;
    if (!h) return {};
    return h->realValues();
}

/// The real header whose description starts with "<name> ".
inline std::vector<float> harVariable(const std::string& path, const std::string& name) {
    auto f = ReadHarFile(path);
    EXPECT_TRUE(f.isOk()) << path << ": " << f.message();
    if (!f) return {};
    for (const auto& h : f->headers)
        if (h && h->HeadType == "RE" && h->description.rfind(name + " ", 0) == 0) return h->realValues();
    ADD_FAILURE() << "no header for variable " << name << " in " << path;
    return {};
}

/// The data of one year as the files store them (4-byte reals).
struct YearData {
    std::array<float, 3> CAPS{}, INVS{}, OUTP{}, LABR{};
};

inline constexpr float kAlph = 0.3f, kDepr = 0.05f;

/// Results of one year for variables x, a, k, l, t (index v*3+i).
using Results = std::array<double, 15>;

/// The growth model solved by hand: E2 gives k from the data; E1 gives the
/// remaining endogenous variable of each industry.  `baseClosure` has x, l, t
/// exogenous (a solved); otherwise a, l, t are exogenous (x solved).
inline Results solveByHand(const YearData& d, bool baseClosure, const Results& given) {
    Results r = given;
    const double alph = kAlph, depr = kDepr;
    for (int i = 0; i < 3; ++i) {
        const double k = 100.0 * (double(d.INVS[i]) / double(d.CAPS[i]) - depr);
        r[6 + i] = k;
        const double l = given[9 + i], t = given[12 + i];
        if (baseClosure)
            r[3 + i] = given[i] - alph * k - (1 - alph) * l + 0.5 * t;
        else
            r[i] = given[3 + i] + alph * k + (1 - alph) * l - 0.5 * t;
    }
    return r;
}

/// The data after a year, rounded to 4-byte reals as the updated file holds them.
inline YearData updateByHand(const YearData& d, const Results& r) {
    YearData u;
    for (int i = 0; i < 3; ++i) {
        u.OUTP[i] = static_cast<float>(double(d.OUTP[i]) * (1 + r[i] / 100));
        u.INVS[i] = static_cast<float>(double(d.INVS[i]) * (1 + r[i] / 100));
        u.CAPS[i] = static_cast<float>(double(d.CAPS[i]) * (1 + r[6 + i] / 100));
        u.LABR[i] = static_cast<float>(double(d.LABR[i]) * (1 + r[9 + i] / 100));
    }
    return u;
}

inline YearData firstYearData() {
    YearData d;
    d.CAPS = {400, 900, 1200};
    d.INVS = {30, 90, 110};
    d.OUTP = {100, 300, 500};
    d.LABR = {60, 150, 400};
    return d;
}

/// Two reals agree to within a few units of the last place of a 4-byte real.
inline void expectNear(double expected, double actual, const std::string& what) {
    const double tol = 1e-6 * std::max(1.0, std::fabs(expected));
    EXPECT_NEAR(expected, actual, tol) << what;
}

}  // namespace vdln::testing::suitetest
