#include "model/simdetails.h"

#include <cstdio>

#include "base/besteffort.h"
#include "base/dialogs.h"
#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "model/filenames.h"
#include "model/simgrid.h"

namespace vdln {

const char* const kLoadPartsTitle = "Which parts to load?";

std::string omitPeriodsBoxText(const TSimRecord& rec, int n, bool checked) {
    if (!checked) return "Will not change the First Year Data files on the Model/Data page.";
    int year = n >= 1 && n <= kMaxYears ? rec.Years[n] : 0;
    return "Will change First Year Data files (Model/Data page) to the files\r\n produced by the simulation "
           "for year " +
           std::to_string(year) + " of the Base.";
}

const char* const kLoadPartsText =
    "Please indicate which parts to load.\r\nClick on the Help button if you are not sure about the "
    "consequences\r\n"
    " of the various choices.\r\nNote that, in all cases, the record of Times and Dates of previous runs "
    "relating\r\n"
    " to the new Sim Names will be loaded.";

std::vector<std::string> loadPartsOptions() {
    return {"Load all", "Load just Model/Data part (affects only Model/Data and Other Files pages)",
            "Load just Sim Details part (affects all of Sim Overview and Closure/Shocks pages)",
            "Load just the following parts of the Closure/Shocks page :"};
}

std::vector<std::string> loadColumnsBoxes(bool noRerun) {
    return {"Base Closures (and Base Sim Name)", "Base Shocks (and Base Sim Name)",
            noRerun ? "Policy Closures (and Policy Sim Name)" : "Policy Closures (and Rerun Sim Name)",
            "Policy Shocks (and Policy Sim Name)"};
}

std::optional<LoadPartsChoice> SimDetailsHooks::chooseLoadParts(Dialogs& dialogs, bool /*noRerun*/) {
    std::optional<int> idx = dialogs.chooseOption(kLoadPartsTitle, kLoadPartsText, loadPartsOptions(), 0);
    if (!idx) return std::nullopt;
    LoadPartsChoice c;
    c.kind = (*idx >= 0 && *idx <= 3) ? static_cast<LoadPartsChoice::Kind>(*idx) : LoadPartsChoice::Nothing;
    c.columns = {true, true, true, true};
    return c;
}

std::optional<OmitPeriodsChoice> SimDetailsHooks::chooseOmitPeriods(Dialogs& dialogs, int maxPeriods) {
    std::optional<std::string> text = dialogs.inputText(
        "Which Periods to Omit at the Start", "Number of Periods (simulations) to omit at the start :", "1");
    if (!text) return std::nullopt;
    auto n = parseInt(*text);
    if (!n || *n < 1 || *n > maxPeriods) return std::nullopt;
    OmitPeriodsChoice c;
    c.periods = static_cast<int>(*n);
    c.changeDataFiles = dialogs.askYesNo("Change the First Year Data Files accordingly");
    return c;
}

std::string DefaultDs1Path(const TSimRecord& rec, const std::string& modelName, bool noRerun) {
    return JoinPath(rec.WorkDir, modelName + rec.FileNaming.Separator +
                                     joinedSimNames(rec, true, !noRerun, true) + ".ds1");
}

std::string DefaultDs0Path(const TSimRecord& rec, const std::string& modelName, bool noRerun) {
    return changeExt(DefaultDs1Path(rec, modelName, noRerun), ".ds0");
}

std::string RunRecordCopyPath(const TSimRecord& rec, const std::string& modelName, int run, bool noRerun) {
    std::string names;
    switch (run) {
        case 1:
            names = joinedSimNames(rec, true, false, false);
            break;
        case 2:
            names = joinedSimNames(rec, true, true, false);
            break;
        case 3:
            names = joinedSimNames(rec, true, !noRerun, true);
            break;
        default:
            return "";
    }
    const char* ext[] = {"", ".ds3", ".ds4", ".ds5"};
    return JoinPath(rec.WorkDir, modelName + rec.FileNaming.Separator + names + ext[run]);
}

std::array<std::string, 4> RunRecordCopyPaths(const TSimRecord& rec, const std::string& modelName,
                                              bool noRerun) {
    std::array<std::string, 4> copies;
    for (int r = 1; r <= 3; ++r) copies[r] = RunRecordCopyPath(rec, modelName, r, noRerun);
    return copies;
}

bool WriteDynamicSimInfo(SimDetailsSession& s, const std::string& ds1File, bool copyRunRecords, int run) {
    if (!WriteIniOptions(ds1File, true, s.settings, s.rec, s.ctx, s.dialogs)) {
        s.dialogs.error("[WriteDynamicSimInfo]");
        return false;
    }
    Status w = WriteSimRecordFile(s.rec, changeExt(ds1File, ".ds2"));
    if (!w) {
        s.dialogs.error(w.message());
        return false;
    }
    if (s.settings.BeLikeOldVardelon)
        for (const char* ext : {".ds3", ".ds4", ".ds5"})
            bestEffort(deleteFile(changeExt(ds1File, ext)),
                       "old-style saving drops the copies; a copy left behind is replaced at the next save");
    if (copyRunRecords) s.hooks.saveRunRecordCopies(run);
    return true;
}

namespace {
const char* const kDs1Message = "Sim Details file name must end with \".ds1\".\r\nPlease choose it again.";

bool hasDs1Ext(const std::string& name) {
    return toLower(extOf(name)) == ".ds1";
}
}  // namespace

std::optional<std::string> SaveSimDetails(SimDetailsSession& s) {
    const TSimRecord& rec = s.rec;
    bool rerunSet = !rec.SimNames[2].empty();
    bool policySet = !rec.SimNames[3].empty();
    std::string names;
    if (s.settings.NoRerun || !rerunSet)
        names = joinedSimNames(rec, true, false, false);
    else if (policySet)
        names = joinedSimNames(rec, true, true, true);
    else
        names = joinedSimNames(rec, true, true, false);
    std::string proposed = s.settings.model.ModelName + rec.FileNaming.Separator + names + ".ds1";

    std::string name;
    if (s.ctx.batchMode) {
        name = JoinPath(rec.WorkDir, proposed);
    } else {
        for (;;) {
            FileRequest req;
            req.title = "Save Sim Details";
            req.filter = "Sim Details files (*.DS1)|*.DS1";
            req.initialDir = rec.WorkDir;
            req.defaultName = proposed;
            req.save = true;
            req.mustExist = false;
            std::optional<std::string> chosen = s.dialogs.chooseFile(req);
            if (!chosen) return std::nullopt;
            if (!hasDs1Ext(*chosen)) {
                s.dialogs.infoHelp(kDs1Message);
                continue;
            }
            if (fileExists(*chosen) &&
                !s.dialogs.askYesNo("Overwrite existing Sim Details in file\r\n" + *chosen))
                continue;
            name = *chosen;
            break;
        }
    }
    if (!WriteDynamicSimInfo(s, name, true, 0)) return std::nullopt;
    s.hooks.addRecentFile(name);
    return name;
}

namespace {
std::string refusedDetailsText(const std::string& reason) {
    return "The Simulation Details cannot be loaded:\r\n" + reason + "\r\nNothing has been loaded.";
}
}  // namespace

bool LoadSimDetails(SimDetailsSession& s, std::optional<std::string> ds1File) {
    TSimRecord& rec = s.rec;
    std::string name;
    if (ds1File && fileExists(*ds1File) && hasDs1Ext(*ds1File)) {
        name = *ds1File;
    } else {
        for (;;) {
            FileRequest req;
            req.title = "Sim Details Files";
            req.filter = "Sim Details files (*.DS1)|*.ds1";
            req.initialDir = rec.WorkDir;
            std::optional<std::string> chosen = s.dialogs.chooseFile(req);
            if (!chosen) return false;
            if (!hasDs1Ext(*chosen)) {
                s.dialogs.infoHelp(kDs1Message);
                continue;
            }
            name = *chosen;
            break;
        }
    }
    std::string ds2 = findFileIgnoringCase(changeExt(name, ".ds2"));
    if (!fileExists(ds2)) {
        s.dialogs.message(MsgKind::Error, "Associated file " + ds2 + " does not exist.\r\nNo action taken.",
                          BtnOk | BtnHelp);
        return false;
    }
    s.hooks.addRecentFile(name);

    LoadPartsChoice choice;
    if (!s.ctx.batchMode) {
        std::optional<LoadPartsChoice> c = s.hooks.chooseLoadParts(s.dialogs, s.settings.NoRerun);
        if (!c) return false;
        choice = *c;
    }
    using K = LoadPartsChoice;
    if (choice.kind == K::Nothing) {
        s.dialogs.infoHelp(
            "You did not specify any parts to load.\r\nPlease try again, and make sure that one button is "
            "checked.");
        return false;
    }
    bool loadModel = choice.kind == K::All || choice.kind == K::ModelOnly;
    bool loadDetails = choice.kind == K::All || choice.kind == K::DetailsOnly;
    std::array<bool, 4> cols = choice.columns;
    if (choice.kind == K::DetailsOnly) cols = {true, true, true, true};
    bool anyColumn = cols[0] || cols[1] || cols[2] || cols[3];
    if (choice.kind == K::Columns && !anyColumn) {
        s.dialogs.infoHelp("You did not specify any parts of the Closure/Shocks page to load.");
        return false;
    }

    // Both files are read and checked before anything changes: a damaged
    // file is refused whole, naming the file, the line and what was
    // expected, and the application stays as it was.
    TSimRecord loaded = CreateSimRecord();
    loaded.WorkDir = rec.WorkDir;
    Status readStatus = ReadSimRecordFile(loaded, ds2, s.settings.NoRerun);
    if (readStatus) readStatus = CheckSettingsFile(name);
    if (!readStatus) {
        s.dialogs.message(MsgKind::Error, refusedDetailsText(readStatus.message()), BtnOk | BtnHelp);
        return false;
    }
    const TSimRecord recBefore = rec;
    const ProgramSettings settingsBefore = s.settings;
    if (choice.kind != K::All && choice.kind != K::ModelOnly) {
        // A columns load from another starting year must change nothing.
        if (choice.kind == K::Columns && loaded.StartYear != rec.StartYear) {
            s.dialogs.message(
                MsgKind::Error,
                "When you load just come columns into the Closure/Shocks page, the\r\n Starting year from "
                "the loaded "
                "file must be the same as is currently shown\r\n on the Sim Overview page. But on the Sim "
                "Overview "
                "page the Starting year is " +
                    std::to_string(rec.StartYear) +
                    "\r\n whereas on the Sim Details you are loading from, the Starting year was " +
                    std::to_string(loaded.StartYear) +
                    ".\r\nLoading of the specified parts of the Closure/Shocks page will not be done.",
                BtnOk | BtnHelp);
            return false;
        }
    }

    if (loadModel || loadDetails)
        ReadIniOptions(name, SettingsParts{false, loadModel, loadDetails}, s.settings, rec, s.ctx, s.dialogs);

    if (choice.kind == K::All) {
        std::string workDir = rec.WorkDir;
        Status st = ReadSimRecordFile(rec, ds2, s.settings.NoRerun);
        rec.WorkDir = workDir;
        if (!st) {
            // Changed since it was checked: nothing of it is kept.
            rec = recBefore;
            s.settings = settingsBefore;
            s.dialogs.message(MsgKind::Error, refusedDetailsText(st.message()), BtnOk | BtnHelp);
            return false;
        }
    } else {
        if (choice.kind == K::Columns && loaded.NumYears != rec.NumYears) {
            std::string text =
                "Currently there are simulations for " + std::to_string(rec.NumYears) +
                " years\r\nHowever the Simulation Details you are loading from has sims for " +
                std::to_string(loaded.NumYears) + " years.\r\nThere will still be simulations for " +
                std::to_string(rec.NumYears) + " years after you load these Simulation Details.";
            if (loaded.NumYears >= rec.NumYears)
                text += "\r\nThe extra years from the Simulation Details you are loading will be ignored.";
            else
                text +=
                    "\r\nThe extra years of the relevant columns on the Closure/Shocks page will be filled "
                    "with "
                    "default names.";
            s.dialogs.info(text);
        }
        if (loadDetails || choice.kind == K::Columns) {
            if (cols[0] || cols[1]) rec.SimNames[1] = loaded.SimNames[1];
            if (cols[2]) {
                if (s.settings.NoRerun)
                    rec.SimNames[3] = loaded.SimNames[3];
                else
                    rec.SimNames[2] = loaded.SimNames[2];
            }
            if (cols[3]) rec.SimNames[3] = loaded.SimNames[3];
            if (choice.kind == K::DetailsOnly) rec.NumYears = std::clamp(loaded.NumYears, 0, kMaxYears);
            ComputeYears(rec);
            for (int i = 1; i <= rec.NumYears; ++i)
                for (int c = 1; c <= 4; ++c) {
                    if (!cols[c - 1]) continue;
                    rec.GridStem(i, c) = i <= loaded.NumYears ? loaded.GridStem(i, c).str()
                                                              : RunStem(rec, i, gridColumnRun(c));
                }
        }
        if (loadModel) {
            rec.NumModelFiles = loaded.NumModelFiles;
            rec.ModelFiles = loaded.ModelFiles;
            rec.NumFiles = loaded.NumFiles;
            rec.Files = loaded.Files;
        }
    }
    ComputeYears(rec);
    RefreshGrid(rec);
    s.hooks.restoreRunRecordCopies();
    return true;
}

bool EditSimDescription(SimDetailsSession& s) {
    const TSimRecord& rec = s.rec;
    std::string file = DefaultDs0Path(rec, s.settings.model.ModelName, s.settings.NoRerun);
    std::string existing = findFileIgnoringCase(file);
    if (fileExists(existing)) {
        s.dialogs.infoHelp(
            "The current Simulation Description for these Simulation Details\r\n is in the file\r\n   " +
            existing + "\r\nPlease edit this file and then save the changes.");
        s.hooks.openInEditor(existing);
        return true;
    }
    std::vector<std::string> lines;
    lines.push_back("Simulation Description for Sim Names:");
    for (int r = 1; r <= 3; ++r) {
        if (r == 2 && s.settings.NoRerun) continue;
        if (rec.SimNames[r].empty()) continue;
        lines.push_back("   " + runName(r) + ": " + rec.SimNames[r].str());
    }
    std::tm t = s.clock.nowLocal();
    char when[64];
    std::snprintf(when, sizeof when, "%04d-%02d-%02d %02d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1,
                  t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    lines.push_back(std::string("This Simulation Description file was begun on ") + when);
    lines.push_back(" when the Working Directory was:");
    lines.push_back("   " + rec.WorkDir);
    lines.push_back(" ");
    if (Status w = writeLinesAtomic(file, lines); !w) {
        s.dialogs.error(w.message() + " [EditSimDescription]");
        return false;
    }
    s.dialogs.infoHelp(
        "At present there is no Simulation Description for these Simulation Details.\r\nPlease edit "
        "the file\r\n   " +
        file + "\r\n and then save the changes.");
    s.hooks.openInEditor(file);
    return true;
}

namespace {
// The logical name of a first-year line "file <name> = <file> ;".
std::string logicalNameOf(const std::string& line) {
    std::string t = trim(line);
    if (!istartsWith(t, "file ")) return "";
    size_t eq = t.find('=');
    if (eq == std::string::npos) return "";
    return trim(t.substr(5, eq - 5));
}
}  // namespace

bool OmitPeriodsAtStart(SimDetailsSession& s) {
    TSimRecord& rec = s.rec;
    if (rec.NumYears <= 1) {
        s.dialogs.infoHelp("There is only one year on the Closure/Shocks page so you cannot omit it.");
        s.dialogs.infoHelp(
            "Omitting some years at the start.\r\nNo change has been made because of the earlier "
            "message.");
        return false;
    }
    std::optional<OmitPeriodsChoice> choice = s.hooks.chooseOmitPeriods(s.dialogs, rec.NumYears - 1);
    if (!choice || choice->periods < 1 || choice->periods > rec.NumYears - 1) return false;
    int n = choice->periods;

    std::vector<std::string> newList = s.settings.model.FirstYearList;
    if (choice->changeDataFiles) {
        const Buttons yesCancel = BtnYes | BtnCancel | BtnHelp;
        if (!s.hooks.yearFinishedOk(1, n)) {
            Button b =
                s.dialogs.message(MsgKind::Confirmation,
                                  "It seems that you have not completed the Base simulation for year " +
                                      std::to_string(rec.Years[n]) +
                                      "\r\nDo you wish to continue? [Click on \"Yes\" to continue or "
                                      "\"Cancel\" to stop.]",
                                  yesCancel);
            if (b != BtnYes) return false;
        }
        for (std::string& line : newList) {
            std::string logical = logicalNameOf(line);
            std::optional<int> f = FindUserFileByName(rec, logical);
            if (!f || rec.Files[*f].Usage != kUsageUpdatedInput) continue;
            std::string updated = JoinPath(rec.WorkDir, UpdatedFileName(rec, n, 1, s.settings.NoRerun, *f));
            std::string actual = updated;
            if (!fileExists(updated)) {
                Button b =
                    s.dialogs.message(MsgKind::Confirmation,
                                      "Data file \r\n   " + updated + "\r\ndoes not exist.\r\n" +
                                          "This is one of the data files you have asked to be put in the" +
                                          " First Year Data on the Model/Data page.",
                                      yesCancel);
                if (b != BtnYes) return false;
                actual = "??";
            }
            line = "file " + logical + " = " + actual + " ;";
        }
    }

    // The new first period starts after the omitted ones, whatever their lengths.
    int omittedYears = 0;
    for (int i = 1; i <= n; ++i) omittedYears += rec.PeriodLength[i];
    rec.NumYears -= n;
    rec.StartYear += omittedYears;
    for (int i = 1; i <= kMaxYears; ++i) {
        int from = i + n;
        bool inside = from <= kMaxYears;
        for (int c = 1; c <= 4; ++c)
            rec.GridStem(i, c) = inside ? rec.GridStem(from, c).str() : std::string(c == 4 ? "" : "?");
        rec.PeriodLength[i] = inside ? rec.PeriodLength[from] : 1;
        rec.AltMethodYears[i] = inside ? rec.AltMethodYears[from] : 0;
    }
    s.settings.model.FirstYearList = newList;
    ComputeYears(rec);
    RefreshGrid(rec);
    return true;
}

}  // namespace vdln
