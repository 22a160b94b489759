#pragma once
/// Model and first-year data selection (the Model/Data page).
///
/// A model is a model program (".exe", with the auxiliary files ".axs" and
/// ".axt") or an auxiliary statement file (".gss", with ".gst") run by the
/// suite's interpreter.  Beside it lie its Model Information file (".min")
/// and optionally its Dynamic Information file (".din").  Choosing a model
/// fills the model's logical files of `TSimRecord`, the identity record
/// `TMinDinInfo`, and the first-year data list: one line per input file
/// naming the actual file the Base case starts from,
///
///     File BASEDATA = /data/base2023.har ; ! Base data for the year
///     File PARAMS = ?? ; ! Parameters          ("??": not chosen yet)
///
/// Companion files are looked up without regard to letter case, so a model
/// "growth.exe" finds "growth.min", "growth.MIN" or "GROWTH.min".

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/dialogs.h"
#include "base/result.h"
#include "model/release.h"
#include "model/settings.h"
#include "model/simrecord.h"

namespace vdln {

/// Identity of the model's information files.
struct TMinDinInfo {
    std::string MinFile;          ///< the model path with extension ".MIN"
    std::string DinFile;          ///< the model path with extension ".DIN"
    std::uint32_t MinFileId = 0;  ///< packed DOS date-time of the MIN file, 0 when missing
    std::uint32_t DinFileId = 0;  ///< 0 when there is no DIN file
    bool HasDin = false;
    bool operator==(const TMinDinInfo&) const = default;
};

/// The text shown for "no model".
inline constexpr const char* kNoModel = "(None selected)";

/// One input file of the model's file list.
struct ModelInputFile {
    std::string name;
    std::string description;  ///< first 80 characters of the description line, trimmed
    std::string fileType;     ///< lower case ("har", "txt")
};

/// The model and first-year data chosen on the Model/Data page.
struct ModelDataState {
    std::string modelPath;  ///< empty when no model is selected
    std::string modelDir;
    std::string modelName;  ///< file name without extension
    std::string modelLabel = std::string("Model: ") + kNoModel;
    std::string programPath;   ///< the model program, or the interpreter for ".gss"
    bool interpreter = false;  ///< a ".gss" model
    std::string dataDir;       ///< where the data-file chooser starts
    TMinDinInfo minDin;
    /// Input files of the model other than "(solution)" and "(equations)".
    std::vector<ModelInputFile> inputFiles;
    /// The first-year data list, one line per input file.
    std::vector<std::string> firstYearList;
    std::int64_t suiteRelease = 0;  ///< "#SVVER" of the MIN file (0 when absent)
    TSVVersionInfo version;         ///< release record of the model program
    bool modelReady = false;        ///< loaded without a DIN problem

    /// The model as shown: its path, or "(None selected)".
    std::string modelShown() const { return modelPath.empty() ? kNoModel : modelPath; }
};

/// Copies the model part kept in the settings into the selection state
/// (model, version record, names, information files and their identities,
/// first-year list); fields the settings do not hold are left alone.
void modelStateFromSettings(const ModelSettings& settings, ModelDataState& state);
/// Copies the selection state into the model part of the settings.
void modelStateToSettings(const ModelDataState& state, ModelSettings& settings);

/// What model selection needs from the rest of the program.
struct ModelSelectEnv {
    std::string tempDir;     ///< the Temporary Directory ("temp.mdf" goes there)
    std::string programDir;  ///< where the model chooser starts without a model
    /// Locates the suite's interpreter; "" when it cannot be found.
    std::function<std::string()> locateCalvex;
    /// Starts the release check of the model program (after an interactive choice).
    std::function<void()> startReleaseCheck;
    /// Advice shown after "Calvex program is not available".
    std::string calvexAdvice;
};

/// The first-year data list line of a logical file: "File " + name + " = "
/// + the actual name (double-quoted when it holds a blank) + " ; ! " +
/// description, or with "??" while no file is chosen (empty `actual`).
std::string firstYearLine(const std::string& logicalName, const std::string& actual,
                          const std::string& description);

/// The parts of a first-year data list line.
struct FirstYearLineParts {
    std::string left;     ///< the text before "=" plus "= " ("File BASEDATA = ")
    std::string logical;  ///< characters 6 up to 2 before the "="
    std::string actual;   ///< the text between "= " and " ;" (quotes kept)
    bool valid = false;   ///< false when the line has no "="
    /// The actual name without enclosing double quotes.
    std::string actualPath() const;
    /// True when no file is chosen ("??").
    bool unset() const { return actual == "??"; }
};
FirstYearLineParts parseFirstYearLine(const std::string& line);

/// Model and first-year data selection over the current record.
class ModelSelector {
public:
    ModelSelector(TSimRecord& rec, ModelDataState& state, Dialogs& dialogs, ModelSelectEnv env);

    /// Checks a candidate model file: its extension, companion files, the
    /// MIN file, matching time-date stamps and the logical files (no
    /// "(terminal)" file, an updated "(solution)", no hard-wired actual
    /// names, at most 50 files).  Each refusal is an information message with
    /// Help; nothing is changed.
    [[nodiscard]] bool CheckModelFiles(const std::string& path);
    /// The "Change Model" command: asks for a model, checks it and loads it.
    /// False when cancelled or refused.
    [[nodiscard]] bool SelectModel();
    /// Loads the model named in the state (also at start-up).  `reset`
    /// marks an interactive choice: the release check is then started.
    /// `quietNoDin` suppresses the missing-DIN information.  False when the
    /// model or its MIN file is missing (the model is cleared) or when the
    /// logical files or the DIN file cannot be used (model not ready).
    [[nodiscard]] bool LoadModel(bool reset, bool quietNoDin = false);
    /// Rebuilds the first-year list from a ".mdf" file (empty: none): for
    /// each input file, the first line for its logical name whose actual
    /// file exists, else the "??" line.
    void BuildFirstYearList(const std::string& mdfFile);
    /// Chooses the actual file of list line `line` (0-based); lines of the
    /// files tied to it get the same file.  False when refused or cancelled.
    [[nodiscard]] bool SelectDataFile(int line);
    /// Makes list line `line` the "??" line.
    void ClearDataFile(int line);
    /// Shows what list line `line` describes.
    void DataFileInfo(int line);
    /// Replaces names of files that no longer exist by "??" (offering to
    /// choose again unless `quiet`); true when every line names a file.
    bool CheckDataFiles(bool quiet);
    /// Saves the list as a ".MDF" file chosen by the user; false when the
    /// list is incomplete, the dialog is cancelled or the write fails.
    bool SaveDataFiles();
    /// Rebuilds the list from a ".mdf" file chosen by the user.
    bool LoadDataFiles();
    /// Clears the model: "(None selected)", no files, no identity.
    void clearModel();
    /// Applies the release acceptance rule to the state's version record;
    /// a refusal clears the model.
    bool versionAcceptable();
    /// Finishes the release check: evaluates the job's report, takes its
    /// version record and applies the acceptance rule.
    bool finishReleaseCheck(const ReleaseJobFiles& files);

private:
    bool refuse(const std::string& text);
    void rebuildList(const std::vector<std::string>& lines);
    int userFileIndex(const std::string& logical) const;
    int listLineOf(const std::string& logical) const;
    const ModelInputFile* inputFile(const std::string& logical) const;
    std::string companion(const std::string& path, const std::string& ext) const;

    TSimRecord& m_rec;
    ModelDataState& m_state;
    Dialogs& m_dialogs;
    ModelSelectEnv m_env;
};

}  // namespace vdln
