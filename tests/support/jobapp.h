#pragma once
// A small application for the job engine's tests: two years from 2024, one
// updated data file, a common Base closure, a common policy closure and
// policy shocks in 2025 (so the policy starts in year 2), with empty suite
// programs and model program; the console programs are played by the fake
// launcher.
#include <cstdint>
#include <set>
#include <string>

#include "jobs/engine.h"

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

}  // namespace vdln::testing
