#pragma once
// A small application for the job engine's tests: two years from 2024, one
// updated data file, a common Base closure, a common policy closure and
// policy shocks in 2025 (so the policy starts in year 2), with empty suite
// programs and model program; the console programs are played by the fake
// launcher.
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "doubles/fakelauncher.h"
#include "doubles/scripteddialogs.h"
#include "jobs/engine.h"
#include "support/tempdir.h"

namespace vdln::testing {

/// Writes the application's files below `root` ("work", "tmp", "keep",
/// "bin") and fills the engine's folders, the record and the settings (one
/// solve, outputs of earlier runs deleted).
void setUpTwoYearApplication(const std::string& root, EngineEnvironment& env, TSimRecord& rec,
                             ProgramSettings& settings);

/// Every year of all three runs with spreadsheets and deviations.
JobRequest everythingRequest(int numYears);

/// Remembers BOT completions as the record of runs would, so a BOT step done
/// in this job is not done again.
class BotRecorder : public NullRecorder {
public:
    Status recordCompletion(int, int year, JobKind jobName, const TSolutionMethod&,
                            const TAutoAccuracy&) override {
        if (jobName == JobKind::Bot) bots.insert(year);
        return Status::ok();
    }
    bool botFinishedSince(int year, std::int64_t) override { return bots.count(year) > 0; }
    void backupAtJobStart() override { bots.clear(); }
    std::set<int> bots;
};

/// The job engine's tests on the two-year application: its folders, record
/// and settings, scripted dialogs, a fixed clock, and the fake launcher on
/// which the test plays each console program.
class JobAppTest : public TempDirTest {
protected:
    void SetUp() override;

    /// The first busy slot, 0 when none.
    static int busySlot(const JobEngine& e);
    /// Plays the program of the busy `slot` as the suite would: writes its
    /// report ("[Result]" and `reportLines`), its log and, unless `output`
    /// is null, its main output, then ends it; the part is added to
    /// `launched` ("sim/sim r1 y2").
    void endSlot(JobEngine& e, int slot, const std::string& reportLines, const char* output);
    /// Plays the busy slots one by one with `play` until the job is over, at
    /// most `limit` parts, so that a job that runs parts again cannot loop
    /// for ever.
    void runToEnd(JobEngine& e, const std::function<void(int slot)>& play, int limit = 400);

    std::string work;  ///< the Working Directory
    EngineEnvironment env;
    TSimRecord rec;
    ProgramSettings settings;
    ScriptedDialogs dialogs;
    FixedClock clock{fileTimeFromLocal(2026, 12, 9, 10, 0, 0)};
    FakeLauncher launcher;
    std::vector<std::string> launched;
};

}  // namespace vdln::testing
