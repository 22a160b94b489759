#pragma once
/// The check made before a job starts: the request keeps every run in
/// sequence, the model program is of a usable release, the essential user
/// inputs exist, every file the job needs exists or will be made by the job
/// (pass 1), and, when asked for, the earlier results the job builds on are
/// still valid (pass 2).  Problems of the two passes can be overridden by the
/// user; the others stop the job.

#include <functional>
#include <string>
#include <vector>

#include "base/dialogs.h"
#include "model/release.h"
#include "plan/plan.h"
#include "runrecord/prereqfiles.h"
#include "runrecord/runrecord.h"
#include "runrecord/wheretostart.h"

namespace vdln {

/// The options the check follows (the solution-file shocks option is
/// `RunRecordEnv::solFileShocks`).
struct PrereqOptions {
    bool checkPrerequisites = true;  ///< "Check Prerequisites": run pass 2
    bool fewerMessages = false;      ///< "Fewer Messages": run pass 2 without asking
    bool batchMode = false;          ///< batch mode: the wait window is never shown
    /// The model program's release record; nullptr: not known (accepted).
    const TSVVersionInfo* version = nullptr;
    /// Called when the release check refuses the model (clears it).
    std::function<void()> clearModel;
    std::string programName = "Vardelon";
};

/// What the check decided.
struct PrereqOutcome {
    bool goAhead = false;
    /// The text of the problem that stopped the job ("" when it goes ahead).
    std::string problem;
};

/// The order check and still-ok check of the earlier results a job builds
/// on (`PrereqPlan::prerequisites`), one text per problem.  An item of the
/// job counts as completed now, after every recorded completion.  `onYear`
/// is told the year index of each item examined.
std::vector<std::string> previousResultProblems(const PrereqPlan& plan, const StillOkChecker& checker,
                                                const std::function<void(int)>& onYear = {});

/// The whole check before a job, in order: sequence, release of the model
/// program, essential inputs, pass 1, pass 2.  Every problem is shown through
/// `dialogs`.  The BOT cache is in use (reset) for the duration of the check.
PrereqOutcome PreviousSimsEtcStillOk_Version2(const RunRecordEnv& env, const TBigJobDetails& job,
                                              const PrereqOptions& options, BotCache& cache,
                                              Dialogs& dialogs);

/// The two override questions (Yes and No).
extern const char* const kIgnoreMissingFilesQuestion;
extern const char* const kIgnorePrerequisiteProblemsQuestion;
/// The question before pass 2 (Yes, No and Help).
extern const char* const kCheckPrerequisitesQuestion;

}  // namespace vdln
