#pragma once
/// Simulation-details files of a saved application: ".ds1" (the settings in
/// text form, model/settings.h), ".ds2" (the record `TSimRecord`; also the
/// current-simulation file "VdlnSim.txt" and "app.ds2" of an archive),
/// ".ds0" (free-text description) and the record-of-runs copies ".ds3",
/// ".ds4", ".ds5".  Also the commands that save, load and edit them and
/// "Omit Some Periods at the Start".
///
/// ".ds2" start files: the writer writes each CMFSTART cell as the start
/// file's name (stem followed by extension, no padding).  The reader splits
/// such a line at its last "." when the extension found there fits the
/// extension width and the stem the stem width; otherwise at the widths
/// given after "#FILES" (which also reads fixed-width lines).  So every start
/// file written here reads back to the same stem and extension, except a
/// stem that itself ends in a "."-part with no extension, which reads back as
/// stem + extension naming the same file.
///
/// Writes are atomic: a failed write leaves the previous file intact.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/result.h"
#include "model/filenames.h"
#include "model/settings.h"
#include "model/simrecord.h"

namespace vdln {

class Dialogs;

/// The lines of the ".ds2" form of a record (without line endings).  Fails
/// with the internal-error text of "Sorry, there are too many files in this
/// model. This model has <n> files\r\nbut the maximum this program can handle
/// is 50." when the record holds more than 50 model or user files.
Result<std::vector<std::string>> SimRecordLines(const TSimRecord& rec);
/// Writes the ".ds2" file atomically.  Failure texts: the too-many-files
/// text above, or the write failure, tagged " [WriteSimRecordFile]".
Status WriteSimRecordFile(const TSimRecord& rec, const std::string& file);
/// Reads a ".ds2" file into `rec` (fields read before a failure stay read).
/// `rec.WorkDir` is used for old-style files (start files are looked for
/// there).  Failures: "Unexpected FirstLine: <line>", "Unexpected FirstLine
/// for NewNewStyle : <line>", the too-many-files text, a missing file, a
/// line that is not a number, an early end of file; tagged
/// " [ReadSimRecordFile]".
Status ReadSimRecordFile(TSimRecord& rec, const std::string& file, bool noRerun);
/// As above from the text of a ".ds2" file; `name` is used in messages.
Status ReadSimRecordText(TSimRecord& rec, std::string_view text, bool noRerun, const std::string& name);

// The builders below return full paths in `WorkDir` (their names end in
// "Path"): never join them onto a folder again.

/// Default ".ds1" file: <WorkDir>/<model name><sep><names of runs 1, 2, 3
/// (2 left out in no-rerun mode)>.ds1.
std::string DefaultDs1Path(const TSimRecord& rec, const std::string& modelName, bool noRerun);
/// The ".ds0" description file: the default ".ds1" path with ".ds0".
std::string DefaultDs0Path(const TSimRecord& rec, const std::string& modelName, bool noRerun);
/// The record-of-runs copy of a run: <WorkDir>/<model name><sep><names of
/// runs 1..run> + ".ds3" / ".ds4" / ".ds5".
std::string RunRecordCopyPath(const TSimRecord& rec, const std::string& modelName, int run, bool noRerun);
/// The three record-of-runs copies of the application (index 1..3).
std::array<std::string, 4> RunRecordCopyPaths(const TSimRecord& rec, const std::string& modelName,
                                              bool noRerun);

/// Earlier names of the builders above, which hid that they return full paths.
[[deprecated("returns a full path: use DefaultDs1Path")]] inline std::string DefaultDs1Name(
    const TSimRecord& rec, const std::string& modelName, bool noRerun) {
    return DefaultDs1Path(rec, modelName, noRerun);
}
[[deprecated("returns a full path: use DefaultDs0Path")]] inline std::string DefaultDs0Name(
    const TSimRecord& rec, const std::string& modelName, bool noRerun) {
    return DefaultDs0Path(rec, modelName, noRerun);
}
[[deprecated("returns a full path: use RunRecordCopyPath")]] inline std::string RunRecordCopyName(
    const TSimRecord& rec, const std::string& modelName, int run, bool noRerun) {
    return RunRecordCopyPath(rec, modelName, run, noRerun);
}

/// The choices of the "Which parts to load?" dialog.
struct LoadPartsChoice {
    enum Kind { Nothing = -1, All = 0, ModelOnly = 1, DetailsOnly = 2, Columns = 3 } kind = All;
    /// The check boxes of the columns choice: Base closures, Base shocks,
    /// Policy closures, Policy shocks.
    std::array<bool, 4> columns{false, false, false, false};
};

/// The choice of "Which Periods to Omit at the Start".
struct OmitPeriodsChoice {
    int periods = 1;
    bool changeDataFiles = false;
};

/// What the simulation-details commands need from the rest of the program:
/// the dialogs that are more than message boxes, and the record-of-runs
/// copies, recent files and the editor.
class SimDetailsHooks {
public:
    virtual ~SimDetailsHooks() = default;
    /// Shows the parts dialog; nullopt when cancelled.  The texts are
    /// `kLoadPartsText`, `loadPartsOptions()` and `loadColumnsBoxes(noRerun)`.
    /// The default asks `Dialogs::chooseOption` for the four choices and
    /// selects all four columns.
    virtual std::optional<LoadPartsChoice> chooseLoadParts(Dialogs& dialogs, bool noRerun);
    /// Shows the omit-periods dialog for 1..maxPeriods; nullopt when
    /// cancelled.  The default asks the number with `Dialogs::inputText` and
    /// the data-files box with a Yes/No question.
    virtual std::optional<OmitPeriodsChoice> chooseOmitPeriods(Dialogs& dialogs, int maxPeriods);
    /// Copies the record of runs of a run (0: all runs) to its durable copy.
    virtual void saveRunRecordCopies(int /*run*/) {}
    /// Replaces the record-of-runs files by the copies of the current names.
    virtual void restoreRunRecordCopies() {}
    /// Whether the record of runs holds "Year finished ok" for simulation i of a run.
    virtual bool yearFinishedOk(int /*run*/, int /*i*/) { return false; }
    virtual void addRecentFile(const std::string& /*file*/) {}
    virtual void openInEditor(const std::string& /*file*/) {}
};

/// The parts dialog's title, "Which parts to load?".
extern const char* const kLoadPartsTitle;
/// The parts dialog's text.
extern const char* const kLoadPartsText;
/// The four choices of the parts dialog.
std::vector<std::string> loadPartsOptions();
/// The four column boxes (the third depends on no-rerun mode).
std::vector<std::string> loadColumnsBoxes(bool noRerun);

/// The text beside the omit-periods check box for omitting n periods.
std::string omitPeriodsBoxText(const TSimRecord& rec, int n, bool checked);

/// The state the commands work on.
struct SimDetailsSession {
    TSimRecord& rec;
    ProgramSettings& settings;
    const SettingsContext& ctx;
    Dialogs& dialogs;
    SimDetailsHooks& hooks;
    const Clock& clock;
};

/// Writes the ".ds1" (text form) and ".ds2" pair; with "Be Like Old
/// Vardelon" deletes the ".ds3"-".ds5" files of the same name; with
/// `copyRunRecords` saves the record-of-runs copies of `run` (0: all).
/// Failures are shown (".ds1": the writer's message then "[WriteDynamicSimInfo]";
/// ".ds2": the writer's message) and give false.
[[nodiscard]] bool WriteDynamicSimInfo(SimDetailsSession& s, const std::string& ds1File, bool copyRunRecords,
                                       int run);

/// "Save Sim Details": asks for a ".ds1" name (batch mode: the default name
/// in `WorkDir`), confirms overwriting, writes the pair and the run-record
/// copies and adds the name to the recent files.  The chosen name, or
/// nullopt when cancelled or the write failed.
std::optional<std::string> SaveSimDetails(SimDetailsSession& s);

/// "Load Simulation Details": loads all or parts of a saved application.
/// `ds1File` is used when it exists and ends in ".ds1"; otherwise the user
/// chooses.  True when something was loaded.
[[nodiscard]] bool LoadSimDetails(SimDetailsSession& s, std::optional<std::string> ds1File);

/// "Edit Sim Description": creates the ".ds0" file when missing, tells the
/// user, and opens it in the editor.  False when it could not be created.
[[nodiscard]] bool EditSimDescription(SimDetailsSession& s);

/// "Omit Some Periods at the Start".  True when the record changed.
[[nodiscard]] bool OmitPeriodsAtStart(SimDetailsSession& s);

}  // namespace vdln
