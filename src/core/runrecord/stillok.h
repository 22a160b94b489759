#pragma once
/// The still-ok checks of one recorded step: are the files a completed step
/// used and produced, and the settings it ran with, still those of the
/// current application?  Every check reads the record of runs through one
/// parsed view per file (`RunRecords`), so a whole operation reads each file
/// once.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "runrecord/filestamp.h"
#include "runrecord/recordfiles.h"
#include "runrecord/runrecord.h"

namespace vdln {

/// Which results a check looks at (all on by default).
struct CheckSelection {
    bool solution = true;        ///< solution files
    bool slc = true;             ///< SLC (and UDC) files
    bool log = true;             ///< LOG files of simulations
    bool updated = true;         ///< updated data files
    bool otherOutputs = true;    ///< other output data files
    bool bot = true;             ///< BOT files used by the Policy and Rerun
    bool solShocks = true;       ///< SOL files used for shocks
    bool spreadsheets = true;    ///< spreadsheets and cumulative results files
    bool deviations = true;      ///< deviation spreadsheets and cumulative differences files
    bool ssSpreadsheets = true;  ///< the spreadsheet job's copy of `spreadsheets`
    bool ssDeviations = true;    ///< the spreadsheet job's copy of `deviations`
};

/// The result of one check: ok, or the reason (lines joined with CR LF).
struct CheckOutcome {
    bool ok = true;
    std::string reason;
    void fail(const std::string& text) {
        ok = false;
        if (!reason.empty()) reason += "\r\n";
        reason += text;
    }
    void merge(const CheckOutcome& o) {
        if (!o.ok) fail(o.reason);
    }
};

/// The per-step checks over one set of parsed record-of-runs files.
///
/// A step is (run, year number, BOT flag): year numbers 1..`NumYears` are
/// simulations (or the BOT job of that year, recorded under run 2, or run 3
/// in no-rerun mode: pass that run), `NumYears` + 1 is the run's spreadsheet
/// job.  The checks never change a file.
class StillOkChecker {
public:
    /// With `listings`, files missing as written are looked up in the
    /// folder listings it holds rather than by reading their folder each time.
    StillOkChecker(const RunRecordEnv& env, const RunRecords& records, FolderListings* listings = nullptr)
        : m_env(env), m_records(records), m_listings(listings) {}

    CheckOutcome ModelFilesStillOk(int run, int i, bool bot) const;
    CheckOutcome CMFStartStillOk(int run, int i, bool bot) const;
    CheckOutcome BaseSolutionFileOutputStillAsWhenLastUsedOrCreated(int run, int i, bool bot) const;
    CheckOutcome BotFileStillAsWhenLastUsedOrCreated(int run, int i, bool bot) const;
    CheckOutcome SolFileForShocksStillAsWhenLastUsedOrCreated(int run, int i, bool bot) const;
    CheckOutcome SimOverviewStillOk(int run, int i, bool bot) const;
    CheckOutcome ClosureShocksPageStillOkOneJob(int run, int i, bool bot) const;
    CheckOutcome IsThisSimSolutionLogSLCFileStillAsWhenLastCreated(int run, int i,
                                                                   const CheckSelection& sel) const;
    CheckOutcome AreDataFileOutputsThisSimStillAsWhenLastRan(int run, int i, const CheckSelection& sel) const;
    CheckOutcome AreSpreadsheetAndCumDevSolFileOutputsThisSimTypeStillAsWhenLastCreated(
        int run, const CheckSelection& sel) const;
    CheckOutcome StartingDataInputsForSimOrBotJobStillAsWhenLastRan(int run, int i, bool bot) const;

    /// Runs the checks of one step in their order.  `prerequisites` adds the
    /// checks of the step's inputs and settings; without `collectAll` the
    /// first failing check ends the step.
    CheckOutcome checkStep(int run, int i, bool bot, bool prerequisites, const CheckSelection& sel,
                           bool collectAll = false) const;

    /// The recorded completion time of a step; nullopt when not completed.
    std::optional<std::int64_t> completionTime(int run, int i, bool bot) const;
    /// "<Simulation phrase> has not been completed." and its BOT and
    /// spreadsheet forms.
    std::string notCompletedReason(int run, int i, bool bot) const;
    /// When the run's "LastRan" names differ from the current ones, the
    /// explanation ("None of <run> has been run.", ...); nullopt otherwise.
    std::optional<std::string> lastRanProblem(int run) const;

    const RunRecordEnv& env() const { return m_env; }
    const RunRecords& records() const { return m_records; }

private:
    const RunRecordView& view(int run) const { return m_records.run(run); }
    std::string sec(int i, bool bot, const std::string& suffix) const {
        return stepSection(m_env, i, bot, suffix);
    }
    const std::vector<std::string>& constituents(const std::string& file) const;
    /// Stamps compared by name, time and size.
    StampCheck nameAndTime() const { return StampCheck{true, true, m_listings}; }
    /// Compares the stored "<prefix>Constituent n" stamps of a section with
    /// the current list; adds `header()` and the first difference to `out`.
    void compareConstituents(CheckOutcome& out, const RunRecordView& v, const std::string& section,
                             const std::string& prefix, const std::string& currentFile,
                             const std::function<std::string()>& header, const std::string& context) const;
    /// `firstYearFileFor` over the application's first-year list, each name
    /// looked up once while the list stays the same.
    std::optional<std::string> firstYearFile(const std::string& name) const;

    const RunRecordEnv& m_env;
    const RunRecords& m_records;
    FolderListings* m_listings;
    mutable std::map<std::string, std::vector<std::string>> m_constituents;
    mutable std::unordered_map<std::string, std::optional<std::string>> m_firstYear;
    mutable std::vector<std::string> m_firstYearList;  ///< the list `m_firstYear` was found in
};

}  // namespace vdln
