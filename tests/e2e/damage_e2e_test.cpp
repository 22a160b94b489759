// The vardelon executable on damaged input, full disks and failing
// programs: each case ends in bounded time with a message naming its cause,
// reports no success, and leaves no file it owns cut short.
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "archive/zipfile.h"
#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "base/textfile.h"
#include "e2e/e2esupport.h"

namespace vdln {
namespace {

using e2e::kBin;
namespace fs = std::filesystem;

class DamageE2E : public e2e::DemoTest {
protected:
    void TearDown() override {
        for (auto it = m_mounts.rbegin(); it != m_mounts.rend(); ++it) ::umount2(it->c_str(), MNT_DETACH);
        DemoTest::TearDown();
    }
    // A small memory file system at `dir`; false when this machine does not
    // allow mounting.
    bool mountSmall(const std::string& dir, const std::string& size) {
        fs::create_directories(dir);
        if (::mount("tmpfs", dir.c_str(), "tmpfs", 0, ("size=" + size).c_str()) != 0) return false;
        m_mounts.push_back(dir);
        return true;
    }
    // Fills the file system of `dir` until only `leave` bytes are free.
    void fill(const std::string& dir, std::uintmax_t leave) {
        const fs::space_info sp = fs::space(dir);
        if (sp.available <= leave) return;
        std::ofstream f(dir + "/filler.bin", std::ios::binary);
        std::string chunk(65536, 'f');
        for (std::uintmax_t left = sp.available - leave; left > 0;) {
            const std::uintmax_t n = std::min<std::uintmax_t>(left, chunk.size());
            f.write(chunk.data(), static_cast<std::streamsize>(n));
            if (!f) break;
            left -= n;
        }
    }
    // Every regular file under `root` with its content.
    std::map<std::string, std::string> snapshot(const std::string& root) {
        std::map<std::string, std::string> files;
        std::error_code ec;
        for (auto& e : fs::recursive_directory_iterator(root, ec))
            if (e.is_regular_file() && e.path().filename() != "filler.bin")
                files[e.path().string()] = testing::readFile(e.path().string());
        return files;
    }
    // Runs in the background and waits, with the child's peak memory.
    int runMeasured(const std::string& command, long& maxRssKb) {
        pid_t pid = spawn(command);
        int status = 0;
        rusage ru{};
        ::wait4(pid, &status, 0, &ru);
        maxRssKb = ru.ru_maxrss;
        if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // The full Working Directory holds the demo application, whose largest
    // file is its copy of the model program: the file system is sized from
    // that program (an instrumented build's is several times the usual),
    // with room for the application's own files.
    static std::string workFolderSize() {
        std::error_code ec;
        const std::uintmax_t program = fs::file_size(kBin + "/growth.exe", ec);
        const std::uintmax_t mib = (ec ? 0 : program >> 20) + 32;
        return std::to_string(mib) + "m";
    }
    std::vector<std::string> m_mounts;
};

TEST_F(DamageE2E, ACutDs2IsRefusedNamingTheFileAndNothingRuns) {
    auto lines = readTextLines(app + "/growth.ds2");
    ASSERT_TRUE(lines);
    // The last lines, the last year's shock files, are lost.
    lines->resize(lines->size() - 3);
    ASSERT_TRUE(writeLinesAtomic(app + "/growth.ds2", *lines));
    EXPECT_EQ(run(kBin + "/vardelon all all " + app + "/growth.ds1"), 1) << out();
    const std::string log = batchLog();
    EXPECT_NE(
        log.find("Job finished with error: Could not load the simulation details " + app + "/growth.ds1"),
        std::string::npos)
        << log;
    EXPECT_NE(log.find("Unexpected end of file " + app + "/growth.ds2 after line "), std::string::npos)
        << log;
    EXPECT_NE(log.find(" file of year 6 of 6"), std::string::npos) << log;
    EXPECT_FALSE(fileExists(app + "/bs1b-2024.sl4")) << "nothing ran";
}

TEST_F(DamageE2E, NamesThatLeadOutOfTheWorkingDirectoryAreRefused) {
    struct Case {
        const char* what;
        std::string from, to, message;
    } cases[] = {
        {"simulation name", "BS1", "../",
         "The simulation name of run 1 \"../\" cannot be used as part of a file name"},
        {"shock file", "B2026", "../B2026",
         "The Base shocks file of year 3 of 6 \"../B2026\" cannot be used"},
    };
    const std::string original = testing::readFile(app + "/growth.ds2");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string text = original;
        const size_t at = text.find("\r\n" + c.from + "\r\n");
        ASSERT_NE(at, std::string::npos);
        text.replace(at + 2, c.from.size(), c.to);
        testing::writeFile(app + "/growth.ds2", text);
        const auto before = snapshot(dir());
        EXPECT_EQ(run(kBin + "/vardelon base all " + app + "/growth.ds1"), 1) << out();
        EXPECT_NE(batchLog().find(c.message), std::string::npos) << batchLog();
        for (const auto& [file, content] : snapshot(dir()))
            if (file.rfind(path("keep"), 0) != 0 && file.rfind(path("temp"), 0) != 0 &&
                file != path("out.txt")) {
                EXPECT_TRUE(before.count(file)) << "written: " << file;
            }
    }
}

TEST_F(DamageE2E, AZipBombAndAnAllZeroDetailsMemberAreRefusedInBoundedMemory) {
    auto innerZip = [&](const std::string& name, const std::string& member) {
        auto w = ZipWriter::create(path(name));
        EXPECT_TRUE(w);
        EXPECT_TRUE(w->addBytes(member, "x"));
        EXPECT_TRUE(w->commit());
        return path(name);
    };
    const std::string model = innerZip("model.zip", "growth.exe"),
                      data = innerZip("data.zip", "BASE2023.HAR"),
                      cmfbits = innerZip("cmfbits.zip", "BASE.CLS");
    const std::string ds2 = testing::readFile(app + "/growth.ds2");
    struct Case {
        const char* what;
        std::uintmax_t ds1Size;
        std::string message;
    } cases[] = {
        {"1 GB of zeros", 1ull << 30,
         "Member APP.DS1 holds 1073741824 bytes; a simulation-details member may hold at "
         "most 8388608 bytes"},
        {"1000 zero bytes", 1000,
         "Line 1 of file APP.DS1 of " + path("bomb.zip") + " holds a control character (code 0)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        { std::ofstream zeros(path("app.ds1"), std::ios::binary | std::ios::trunc); }
        fs::resize_file(path("app.ds1"), c.ds1Size);  // sparse: nothing is held in memory
        testing::writeFile(path("app.ds2"), ds2);
        auto w = ZipWriter::create(path("bomb.zip"));
        ASSERT_TRUE(w);
        ASSERT_TRUE(w->addFile(path("app.ds1"), "app.ds1"));
        ASSERT_TRUE(w->addFile(path("app.ds2"), "app.ds2"));
        ASSERT_TRUE(w->addFile(model, "model.zip"));
        ASSERT_TRUE(w->addFile(data, "data.zip"));
        ASSERT_TRUE(w->addFile(cmfbits, "cmfbits.zip"));
        ASSERT_TRUE(w->commit());
        fs::remove(path("app.ds1"));
        long maxRssKb = 0;
        const int rc = runMeasured(
            kBin + "/vardelon -loadzip " + path("bomb.zip") + " -workdir " + path("restored"), maxRssKb);
        EXPECT_NE(rc, 0) << out();
        EXPECT_NE(out().find(c.message), std::string::npos) << out();
        EXPECT_NE(out().find("Restoring unsuccessful."), std::string::npos) << out();
        EXPECT_LT(maxRssKb, 200 * 1024) << "peak memory of the restore in kB";
        EXPECT_FALSE(fs::exists(path("restored/model"))) << "nothing is restored";
        std::printf("[ measured ] %s: exit %d, peak RSS %ld kB, archive %ju bytes\n", c.what, rc, maxRssKb,
                    static_cast<std::uintmax_t>(fs::file_size(path("bomb.zip"))));
    }
}

TEST_F(DamageE2E, EachFailureMessageNamesItsCause) {
    struct Case {
        const char* what;
        std::string fault;  // VDLN_DEMO_FAULT
        std::function<void()> prepare;
        std::vector<std::string> lines;  // each in the batch log
    } cases[] = {
        {"a crash",
         "crash",
         [] {},
         {"Job finished with error: Error running job - see log file",
          "ERROR Base: sim for year 2024 (year number 1)", "was ended by signal 11 (SIGSEGV)."}},
        {"success without the output",
         "no-output",
         [] {},
         {"Dos Job Number 1 not spawned another job",
          "Base: sim for year 2024 (year number 1) [sim part of job sim]",
          "reported success but did not write", "bs1b-2024.sl4"}},
        {"the report's error",
         "",
         [&] { testing::writeFile(app + "/B2024.BSH", "shock x = uniform 2.8 ;\nfrobnicate y ;\n"); },
         {"Job finished with error: Error running job - see log file", "The program reported: "}},
        {"a missing model",
         "",
         [&] { fs::rename(app + "/growth.exe", app + "/growth.exe.away"); },
         {"Model Exe File\r\n  " + app + "/growth.exe\r\ndoes not exist."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.prepare();
        testing::writeFile(path("keep/SVKEEP/VDLNkeep/BatchJobs.log"), "");
        EXPECT_EQ(run(kBin + "/vardelon base all " + app + "/growth.ds1",
                      c.fault.empty() ? "" : "VDLN_DEMO_FAULT=" + c.fault),
                  1)
            << out();
        const std::string log = batchLog();
        for (const auto& line : c.lines) EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
    }
}

TEST_F(DamageE2E, FullDisksEndTheJobClearlyAndCutNoFileShort) {
    struct Case {
        const char* what;
        std::string mount;     // the folder that is full
        std::string command;   // the job
        std::string keep;      // the Keep Directory
        std::uintmax_t leave;  // bytes left free
        // Whether the failure is the job's (every case: a record of runs
        // that cannot be written in a full Keep Directory fails the job too).
        bool failureReported = true;
    };
    const std::string fullApp = path("fullwork/app");
    const std::vector<Case> cases = {
        {"Temporary Directory", path("temp"), kBin + "/vardelon base all " + app + "/growth.ds1", "", 16384},
        {"Keep Directory", path("fullkeep"), kBin + "/vardelon base all " + app + "/growth.ds1",
         path("fullkeep"), 8192},
        {"Working Directory", path("fullwork"), kBin + "/vardelon base all " + fullApp + "/growth.ds1", "",
         4096},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (!mountSmall(c.mount, c.mount == path("fullwork") ? workFolderSize() : "2m"))
            GTEST_SKIP() << "mounting a small file system is not allowed here";
        if (c.mount == path("fullwork")) {
            ASSERT_EQ(run(kBin + "/vardelon-demo " + fullApp), 0) << out();
        }
        fill(c.mount, c.leave);
        const auto before = snapshot(dir());
        const auto start = std::chrono::steady_clock::now();
        const int rc = run(c.command, "", c.keep);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(120));
        const std::string log = batchLog(c.keep);
        if (c.failureReported) {
            EXPECT_NE(rc, 0) << out();
            EXPECT_EQ(log.find("Job ended successfully"), std::string::npos) << log;
            // The cause is named, in the system's words or the suite's.
            EXPECT_NE(toLower(out()).find("no space"), std::string::npos) << out();
        }
        // The record of runs in the Keep Directory is whole INI text.
        for (const auto& [file, content] : snapshot(c.keep.empty() ? path("keep") : c.keep))
            if (nameOf(file) == "base.ini" || nameOf(file) == "rbase.ini" || nameOf(file) == "pol.ini") {
                EXPECT_NE(content.find("[Run]"), std::string::npos) << file;
                EXPECT_TRUE(content.empty() || content.back() == '\n') << "cut short: " << file;
            }
        // A file the program owns is either as it was or whole and new.
        for (const auto& [file, content] : before) {
            if (!fileExists(file) || nameOf(file) == "BatchJobs.log" || nameOf(file) == "VdlnJob.lock")
                continue;
            const std::string now = testing::readFile(file);
            if (now != content &&
                (iendsWith(file, ".ds1") || iendsWith(file, ".ds2") || iendsWith(file, ".ini"))) {
                EXPECT_GE(now.size(), content.size() / 2) << "cut short: " << file;
            }
        }
        for (const char* f : {"/growth.ds1", "/growth.ds2"}) {
            const std::string owned = (c.mount == path("fullwork") ? fullApp : app) + f;
            EXPECT_EQ(testing::readFile(owned), before.at(owned)) << owned;
        }
        fs::remove(c.mount + "/filler.bin");
    }
}

}  // namespace
}  // namespace vdln
