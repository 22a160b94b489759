#include "jobs/jobscommands.h"

#include <algorithm>

#include "base/fileutil.h"
#include "base/paths.h"
#include "jobs/jobslog.h"

namespace vdln {

namespace {
constexpr int kHelp = 1;
}

SlotChoice currentSlots(const ProgramSettings& settings, int firstSlot) {
    return {std::clamp(firstSlot, 1, 2), std::clamp(settings.ConcurrentSolves, 1, 3)};
}

SlotChoice applyConcurrencyCommand(ConcurrencyCommand command, ProgramSettings& settings, int& firstSlot,
                                   const SetSlotsFn& setSlots, Dialogs& dialogs, bool quiet) {
    SlotChoice c;
    std::string text;
    switch (command) {
        case ConcurrencyCommand::AllowTwo:
            c = {1, 2};
            text = "Allowing two concurrent solves.";
            break;
        case ConcurrencyCommand::AllowThree:
            c = {1, 3};
            text = "Allowing three concurrent solves.";
            break;
        case ConcurrencyCommand::JustOneNo1:
            c = {1, 1};
            text = "Will not run two concurrent solves.";
            break;
        case ConcurrencyCommand::JustOneNo2:
            // Slot 2 is the only usable one: every part runs in simdir2.
            c = {2, 2};
            text = "Will not run two concurrent solves, and will always run as job number 2.";
            break;
    }
    settings.ConcurrentSolves = c.MaxConcurrent;
    firstSlot = c.FirstSlot;
    if (setSlots) setSlots(c.FirstSlot, c.MaxConcurrent);
    if (!quiet) dialogs.info(text);
    return c;
}

bool toggleCompleteBaseFirst(ProgramSettings& settings, Dialogs& dialogs) {
    settings.CompleteBaseFirst = !settings.CompleteBaseFirst;
    dialogs.info(
        settings.CompleteBaseFirst
            ? "Will aim to complete all years of Base first, then Base Rerun, then Policy."
            : "Will aim to complete Base, Rerun and Policy for year1, then these for year 2, and so on.");
    return settings.CompleteBaseFirst;
}

bool chooseOutputsBeforeRun(OutputsBeforeRun choice, ProgramSettings& settings, Dialogs& dialogs) {
    if (settings.Outputs == choice) {
        const char* others = choice == OutputsBeforeRun::Move     ? "[Delete or Do Neither]."
                             : choice == OutputsBeforeRun::Delete ? "[Move or Do Neither]."
                                                                  : "[Move or Delete].";
        dialogs.info(
            std::string("This option is already checked. If you wish to change this option,\r\n please "
                        "select one of the other two options ") +
            others);
        return false;
    }
    settings.Outputs = choice;
    switch (choice) {
        case OutputsBeforeRun::Move:
            dialogs.info(
                "Will now copy output files to subdirectory VDLNRes\r\n and delete the existing versions in "
                "the "
                "Working Directory before any runs.");
            break;
        case OutputsBeforeRun::Delete:
            dialogs.info(
                "Will now delete the existing versions of output files from the Working Directory before "
                "any run.");
            break;
        case OutputsBeforeRun::Neither:
            dialogs.info(
                "Will now neither move nor delete the existing versions of output files from the Working "
                "Directory before any run.");
            break;
    }
    return true;
}

JobsLogCommands::JobsLogCommands(std::string keepDir, Dialogs& dialogs, OpenInEditorFn openInEditor)
    : m_keepDir(std::move(keepDir)), m_dialogs(dialogs), m_openInEditor(std::move(openInEditor)) {}

std::string JobsLogCommands::jobsLog() const {
    return JoinPath(m_keepDir, kJobsLogName);
}
std::string JobsLogCommands::batchJobsLog() const {
    return JoinPath(m_keepDir, kBatchJobsLogName);
}

// An empty log in place of the old one; the old one stays when the new one
// cannot be written.
Status JobsLogCommands::recreate(const std::string& file) {
    return writeFileAtomic(file, "");
}

bool JobsLogCommands::toggleAddToJobsLog(ProgramSettings& settings) {
    if (settings.AddToJobsLog) {
        settings.AddToJobsLog = false;
        m_dialogs.infoHelp("Will not add to the Jobs Log File", kHelp);
        return false;
    }
    const std::string log = jobsLog();
    if (!fileExists(log)) {
        if (Status s = recreate(log); !s) {
            m_dialogs.message(MsgKind::Error, s.message(), BtnOk | BtnHelp, kHelp);
            return false;
        }
    }
    settings.AddToJobsLog = true;
    m_dialogs.infoHelp("Will add to Jobs Log File:\r\n" + log, kHelp);
    return true;
}

bool JobsLogCommands::restartJobsLog(ProgramSettings& settings) {
    const std::string log = jobsLog();
    // Lines go only into a log that exists, so restarting leaves an empty one.
    if (Status s = recreate(log); !s) {
        m_dialogs.message(MsgKind::Error, s.message(), BtnOk | BtnHelp, kHelp);
        return false;
    }
    settings.AddToJobsLog = true;
    m_dialogs.infoHelp("Have restarted Jobs Log File:\r\n" + log, kHelp);
    return true;
}

bool JobsLogCommands::view(const std::string& file, const std::string& missingText) {
    if (!fileExists(file)) {
        m_dialogs.infoHelp(missingText, kHelp);
        return false;
    }
    return m_openInEditor && m_openInEditor(file);
}

bool JobsLogCommands::viewJobsLog() {
    return view(jobsLog(), "There is no Jobs Log File.");
}

bool JobsLogCommands::restartBatchJobsLog() {
    const std::string log = batchJobsLog();
    if (Status s = recreate(log); !s) {
        m_dialogs.message(MsgKind::Error, s.message(), BtnOk | BtnHelp, kHelp);
        return false;
    }
    m_dialogs.infoHelp("Have restarted Batch Jobs Log File:\r\n" + log, kHelp);
    return true;
}

bool JobsLogCommands::viewLastErrorLog() {
    return view(JoinPath(m_keepDir, kLastErrorLogName), "There is no Last Error Log File.");
}

bool JobsLogCommands::viewBatchJobsLog() {
    return view(batchJobsLog(), "There is no Batch Jobs Log File.");
}

std::optional<std::vector<std::string>> summaryOfCurrentJob(const TBigJobDetails& job, const PlanContext& ctx,
                                                            bool usesPeriods, Dialogs& dialogs) {
    if (!job.Running) {
        dialogs.info("Nothing is running.");
        return std::nullopt;
    }
    return jobStatusOverview(job, ctx, usesPeriods);
}

std::vector<std::string> refreshJobOverview(const TBigJobDetails& job, const PlanContext& ctx,
                                            bool usesPeriods) {
    if (!job.Running) return {"[Nothing is running.]"};
    return jobStatusOverview(job, ctx, usesPeriods);
}

bool confirmCancelJob(Dialogs& dialogs, const std::function<void()>& requestCancel) {
    if (dialogs.message(MsgKind::Confirmation, "Do you really want to kill this job?", BtnYes | BtnNo) !=
        BtnYes)
        return false;
    if (requestCancel) requestCancel();
    return true;
}

}  // namespace vdln
