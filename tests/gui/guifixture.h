#pragma once
// A window on an application in the test's own folder: its own Keep and
// Temporary Directories, scripted dialogs, and either the fake launcher or
// the real one.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <filesystem>
#include <memory>

#include "base/clock.h"
#include "base/dialogs.h"
#include "doubles/fakelauncher.h"
#include "doubles/mapenvironment.h"
#include "doubles/scripteddialogs.h"
#include "env/environment.h"
#include "env/process.h"
#include "jobs/tasks.h"
#include "mainwindow.h"
#include "support/tempdir.h"
#include "support/testpaths.h"

// Readable QStrings in failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace vdln::gui::testing {

inline const std::string kBin = vdln::testing::testBinDir();

class WindowTest : public vdln::testing::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        for (const char* d : {"keep", "temp", "work"}) std::filesystem::create_directories(path(d));
        env.set("HOME", dir());
        env.set("SVKEEP", path("keep"));
        env.set("SVTEMP", path("temp"));
        env.set("PATH", "/usr/bin:/bin");
        env.setProgramDirectory(kBin);
        env.setCurrentDirectory(dir());
    }
    void TearDown() override {
        window.reset();
        session.reset();
        TempDirTest::TearDown();
    }
    /// Opens the session and the window with the given launcher.
    void open(ProcessLauncher& launcher) {
        // The fixed folders of the directory sources stay inside the test's folder.
        FixedFolders fixed;
        for (std::string* f :
             {&fixed.windows, &fixed.systemDrive, &fixed.constTemp, &fixed.constSv, &fixed.constRoot}) {
            *f = path("fixed");
        }
        std::filesystem::create_directories(path("fixed"));
        session = WindowSession::open(SessionSetup{env, dialogs, years, clock, launcher, fixed});
        ASSERT_TRUE(session);
        window = std::make_unique<MainWindow>(*session);
        window->show();
    }
    /// Writes the demonstration application into `folder`; false (with a
    /// failure naming what is missing) when the demonstration suite is not
    /// built, which the build of these tests prevents.
    bool writeDemo(const std::string& folder) {
        for (const char* program : {"/vardelon-demo", "/growth.exe"}) {
            if (!std::filesystem::exists(kBin + program)) {
                ADD_FAILURE() << kBin + program << " is not built";
                return false;
            }
        }
        const std::string cmd = kBin + "/vardelon-demo " + folder + " > " + path("demo-out.txt") + " 2>&1";
        return std::system(cmd.c_str()) == 0;
    }
    template <class W>
    W* find(const char* name) {
        W* w = window->findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    /// Runs the event loop until `done` or the time runs out.
    template <class F>
    bool waitFor(F done, int ms) {
        QElapsedTimer t;
        t.start();
        while (!done()) {
            if (t.elapsed() > ms) return false;
            QTest::qWait(20);
        }
        return true;
    }

    MapEnvironment env;
    ScriptedDialogs dialogs;
    ScriptedYearsDialog years;
    SystemClock clock;
    FakeLauncher fake;
    PosixProcessLauncher real;
    std::unique_ptr<WindowSession> session;
    std::unique_ptr<MainWindow> window;
};

}  // namespace vdln::gui::testing
