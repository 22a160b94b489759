#include "archive/results.h"

#include <algorithm>
#include <map>
#include <set>

#include "archive/stampsfile.h"
#include "archive/zipfile.h"
#include "base/besteffort.h"
#include "base/fileutil.h"
#include "base/inifile.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "base/textfile.h"
#include "model/filenames.h"
#include "model/modelsel.h"
#include "runrecord/filestamp.h"
#include "runrecord/recordfiles.h"

namespace vdln {

namespace {

bool isRecordCopy(const std::string& name) {
    std::string e = toLower(extOf(name));
    return e == ".ds3" || e == ".ds4" || e == ".ds5";
}

std::string bareName(const std::string& path) {
    size_t p = path.find_last_of("/\\");
    return p == std::string::npos ? path : path.substr(p + 1);
}

std::string stripSeparators(std::string s) {
    while (s.size() > 1 && (s.back() == '/' || s.back() == '\\')) s.pop_back();
    return s;
}

}  // namespace

std::string resultKindLabel(int kind) {
    static const char* const kLabels[kResultKinds] = {
        "Solution Files ?",
        "SLC Files (needed by Probex) ?",
        "Updated Data Files ?",
        "Other Output Data Files (produced via WRITE statements) ?",
        "Year-on-Year and Cumulative Speadsheets and Cumulative Results RSL files ?",
        "Policy Deviation Spreadsheets and Cumulative Differences RSL file?",
        "Command Files for Simulations ?",
        "SOL and SLI files (speed up Outlens) ?",
        "SEQ files (used by Outlens for graphs) ?",
    };
    return kind >= 0 && kind < kResultKinds ? kLabels[kind] : "";
}

ResultsSelection ResultsSelection::all() {
    ResultsSelection s;
    s.kinds.fill(true);
    return s;
}

std::vector<std::string> collectResultsFiles(const RunRecordEnv& rr, const ResultsSelection& sel) {
    const TSimRecord& sim = rr.sim;
    const bool nr = rr.noRerun;
    std::vector<std::string> files;
    std::set<std::string> seen;
    auto add = [&](const std::string& f) {
        if (!f.empty() && f != kNotUpdated && seen.insert(f).second) files.push_back(f);
    };
    auto want = [&](int kind) { return sel.kinds[static_cast<size_t>(kind)]; };
    for (int r = 1; r <= 3; ++r) {
        if (!sel.runs[r] || (r == 2 && nr)) continue;
        const int first = std::max(sel.firstYear, rr.firstYearOf(r));
        const int last = std::min(sel.lastYear, sim.NumYears);
        for (int i = first; i <= last; ++i) {
            const std::string sol = SolutionFile(sim, i, r, nr);
            if (want(kResSolution)) {
                add(sol);
                add(SimLogFile(sim, i, r, nr));
                if (rr.writesUdc) add(changeExt(sol, ".udc"));
            }
            // The BOT files the rerun and the policy read are kept with the
            // solutions: the still-ok checks of those runs need them.
            if (want(kResSolution) && r == botRun(nr) && i >= rr.firstPolicyYear) {
                add(BotFile(sim, i, nr));
                if (rr.solFileShocks) add(BotResultsFile(sim, i, nr));
            }
            if (want(kResSlc)) add(changeExt(sol, ".slc"));
            for (int k = 1; k <= sim.NumFiles; ++k) {
                const TSimFileEntry& f = sim.Files[k];
                if (want(kResUpdatedData) && f.IsInput && f.IsUpdated)
                    add(rr.inWorkDir(UpdatedFileName(sim, i, r, nr, k)));
                if (want(kResOtherOutputs) && f.Usage == kUsageOutput)
                    add(rr.inWorkDir(DataFileName(sim, i, r, nr, k)));
            }
            if (want(kResSpreadsheets)) add(yearCsvFile(rr, r, i));
            if (want(kResCommandFiles)) add(CmfFile(sim, i, r, nr));
            if (want(kResSolSli)) {
                add(changeExt(sol, ".sol"));
                add(changeExt(sol, ".sli"));
            }
        }
        for (const auto& [key, file] : spreadsheetOutputs(rr, r)) {
            if (key == "SEQ file" || key == "SEQ dev file") {
                if (want(kResSeq)) add(file);
            } else if (key.rfind("Output diff", 0) == 0 || key == "Output RSL dev") {
                if (want(kResDeviations)) add(file);
            } else if (want(kResSpreadsheets)) {
                add(file);
            }
        }
    }
    return files;
}

std::string defaultResultsName(const ArchiveEnv& env, bool selected) {
    return env.modelName + "-" + joinedSimNames(env.rec, true, !env.noRerun, true) +
           (selected ? "-someres1.zip" : "-res1.zip");
}

std::vector<std::string> resultsHistoryLines(const ArchiveEnv& env, const RunRecordEnv& rr,
                                             const ResultsSelection& sel, int missing) {
    const TSimRecord& sim = env.rec;
    std::vector<std::string> lines = {"This Results Zip File was created on " + archiveDateTime(env.clock),
                                      "The Working Directory was:", "   " + sim.WorkDir,
                                      "The Sim Names were:"};
    for (int r = 1; r <= 3; ++r) {
        if (r == 2 && env.noRerun) continue;
        lines.push_back(runName(r) + ": " + sim.SimNames[r].str());
    }
    lines.push_back("Results files included here are indicated below.");
    for (int r = 1; r <= 3; ++r) {
        if (!sel.runs[r] || (r == 2 && env.noRerun)) continue;
        const int first = std::max(sel.firstYear, rr.firstYearOf(r));
        const int last = std::min(sel.lastYear, sim.NumYears);
        if (first > last || first < 1) continue;
        lines.push_back("Results for years " + std::to_string(sim.Years[first]) + " to " +
                        std::to_string(sim.Years[last]) + " for the " + runName(r));
    }
    lines.push_back("The following sorts of results files are included:");
    for (int k = 0; k < kResultKinds; ++k) {
        if (!sel.kinds[static_cast<size_t>(k)]) continue;
        std::string label = resultKindLabel(k);
        if (!label.empty() && label.back() == '?') label.pop_back();
        lines.push_back("   " + trim(label));
    }
    if (missing > 0)
        lines.push_back("%% However " + std::to_string(missing) +
                        " of the files above were missing when this Zip was made.");
    return lines;
}

bool ZipUpResults(ArchiveEnv& env, const RunRecordEnv& rr, const ResultsSelection* selection,
                  std::optional<std::string> archiveName) {
    Dialogs& dlg = env.dialogs;
    const ResultsSelection sel = selection ? *selection : ResultsSelection::all();
    const std::string notMade = "Results Zip File not made because of the problem(s) reported earlier.";
    if (env.tempDir.empty() || !directoryExists(env.tempDir)) {
        dlg.error(kNoTempDirText);
        return false;
    }
    std::string archive;
    if (archiveName) {
        archive = *archiveName;
    } else {
        auto name = askArchiveName(env, "Zip up Results", env.rec.WorkDir,
                                   defaultResultsName(env, selection != nullptr));
        if (!name) return false;
        archive = *name;
    }
    if (!env.batch) {
        dlg.waitBegin(std::string("Please Wait - ") + "Vardelon" + " at work");
        dlg.waitStage("Adding Results files to Zip file");
    }
    struct EndWait {
        ArchiveEnv& e;
        ~EndWait() {
            if (!e.batch) e.dialogs.waitEnd();
        }
    } endWait{env};

    const auto wanted = collectResultsFiles(rr, sel);
    if (wanted.empty()) {
        dlg.info("Are no results to save");
        return false;
    }
    auto w = ZipWriter::create(archive);
    if (!w) {
        dlg.error(w.message());
        dlg.error(notMade);
        return false;
    }
    std::vector<std::string> stored, missing;
    for (const auto& f : wanted) {
        if (!fileExists(f)) {
            missing.push_back(f);
            continue;
        }
        if (Status s = w->addFile(f, bareName(f)); !s) {
            dlg.error(s.message());
            dlg.error(notMade);
            return false;
        }
        stored.push_back(f);
    }
    for (int r = 1; r <= 3; ++r) {
        const std::string& copy = rr.copies[static_cast<size_t>(r)];
        if (copy.empty() || !fileExists(copy)) continue;
        if (Status s = w->addFile(copy, bareName(copy)); !s) {
            dlg.error(s.message());
            dlg.error(notMade);
            return false;
        }
        stored.push_back(copy);
    }
    Status s = w->addBytes(kStampsMemberName, makeStampsText(stored));
    if (s)
        s = w->addBytes(kResultsHistory,
                        joinLinesCrLf(resultsHistoryLines(env, rr, sel, static_cast<int>(missing.size()))));
    if (!s) {
        dlg.error(s.message());
        dlg.error(notMade);
        return false;
    }
    if (!missing.empty()) {
        std::string text =
            std::to_string(missing.size()) +
            " files which you have selected to\r\n add to the Results Zip file are missing.\r\n These "
            "files should all be in the Working Directory: \r\n   " +
            env.rec.WorkDir + "\r\n" +
            (missing.size() > 10 ? "Some of these files are:" : "The missing files are:");
        for (size_t k = 0; k < missing.size() && k < 10; ++k) text += "\r\n   " + bareName(missing[k]);
        text += "\r\nDo you want to keep the Results Zip file despite this?";
        if (env.batch) {
            dlg.warning(text);
        } else if (!dlg.askYesNo(text)) {
            return false;  // the writer is dropped: no archive
        }
    }
    if (Status c = w->commit(); !c) {
        dlg.error(c.message());
        dlg.error(notMade);
        return false;
    }
    dlg.info("Created Results Zip file\r\n  " + archive +
             "\r\nFile AAHIST in the ZIP describes files included.");
    return true;
}

Status rewriteRecordOfRuns(const std::string& file, const ArchiveEnv& env) {
    auto ini = IniFile::load(file);
    if (!ini) return ini.status();
    const std::string oldDir = stripSeparators(trim(ini->getString("Run", "Sim Directory")));
    const std::string newDir = env.rec.WorkDir;

    // The current model files by record key.
    std::map<std::string, std::string> modelKeys;
    if (!env.modelFile.empty()) {
        const std::string m = findFileIgnoringCase(env.modelFile);
        if (iequals(extOf(m), ".gss")) {
            modelKeys["gss"] = m;
            modelKeys["gst"] = findFileIgnoringCase(changeExt(m, ".gst"));
        } else {
            modelKeys["exe"] = m;
            modelKeys["axs"] = findFileIgnoringCase(changeExt(m, ".axs"));
            modelKeys["axt"] = findFileIgnoringCase(changeExt(m, ".axt"));
        }
    }
    if (!env.modelInfoFile.empty()) modelKeys["model info file"] = env.modelInfoFile;
    if (!env.dynamicInfoFile.empty()) modelKeys["dynamic info file"] = env.dynamicInfoFile;

    // The current first-year files by logical name and by file name.
    std::map<std::string, std::string> byLogical, byName;
    for (const auto& line : env.firstYearList) {
        FirstYearLineParts p = parseFirstYearLine(line);
        if (!p.valid || p.unset()) continue;
        std::string f = findFileIgnoringCase(ResolvePath(env.rec.WorkDir, trim(p.actualPath())));
        byLogical[toLower(trim(p.logical))] = f;
        byName[toLower(bareName(f))] = f;
    }
    const std::string startSection = std::to_string(env.rec.Years[0]) + "i";

    for (const std::string& section : ini->sections()) {
        for (const auto& [key, value] : ini->entries(section)) {
            if (iequals(key, "Sim Directory")) {
                ini->set(section, key, newDir);
                continue;
            }
            ParsedStamp p = parseStamp(value);
            if (p.form == ParsedStamp::Form::Invalid) continue;
            if (p.form == ParsedStamp::Form::OldDos && p.name.find_first_of("/\\") == std::string::npos)
                continue;
            std::string replacement;
            if (auto m = modelKeys.find(toLower(key)); m != modelKeys.end()) {
                replacement = m->second;
            } else if (iequals(section, startSection) && byLogical.count(toLower(key))) {
                replacement = byLogical[toLower(key)];
            } else if (byName.count(toLower(bareName(p.name)))) {
                replacement = byName[toLower(bareName(p.name))];
            } else if (!oldDir.empty() && iequals(stripSeparators(dirOf(p.name)), oldDir)) {
                replacement = JoinPath(newDir, bareName(p.name));
            }
            if (replacement.empty() || replacement == p.name) continue;
            std::string stamp = p.form == ParsedStamp::Form::Current
                                    ? formatFileStamp(p.fileTime, p.size(), replacement)
                                    : std::to_string(p.dosTime) + " " + replacement;
            ini->set(section, key, stamp);
        }
    }
    return ini->save(file);
}

bool RestoreResultsFromZip(ArchiveEnv& env, const RunRecordEnv& rr, std::optional<std::string> zipFile,
                           const std::optional<std::string>& folder, std::optional<RecordsChoice> choice) {
    Dialogs& dlg = env.dialogs;
    if (env.tempDir.empty() || !directoryExists(env.tempDir)) {
        dlg.error(kNoTempDirText);
        return false;
    }
    if (!zipFile) {
        zipFile = askArchiveToOpen(env, "Results Zip File to Unzip From ", env.rec.WorkDir);
        if (!zipFile) return false;
    }
    auto reader = ZipReader::open(*zipFile);
    if (!reader) {
        dlg.error(reader.message());
        return false;
    }
    if (const ZipMember* h = reader->find(kResultsHistory); h && !env.batch) {
        auto text = reader->read(*h, 1u << 20);
        if (text) dlg.info(*text);
    }
    std::uint64_t total = 0;
    bool hasRecords = false;
    for (const auto& m : reader->members()) {
        std::string why = unsafeMemberReason(m.name);
        if (why.empty() && m.isSymlink) why = "the symbolic link \"" + m.name + "\"";
        if (why.empty() && m.name.find('/') != std::string::npos)
            why = "a member in a folder \"" + m.name + "\"";
        if (!why.empty()) {
            dlg.error("Sorry, unable to extract files from " + *zipFile + "\r\nRefused to extract " + why +
                      ".");
            return false;
        }
        total += m.size;
        if (isRecordCopy(m.name)) hasRecords = true;
    }

    // The chooser starts in the working directory.
    auto target = chooseRestoreFolder(env, resultsFolderTexts(), env.rec.WorkDir, folder, false);
    if (!target) return false;
    const std::string dir = *target;

    RecordsChoice records = RecordsChoice::DoNothing;
    if (hasRecords) {
        if (choice) {
            records = *choice;
        } else {
            auto pick = dlg.chooseOption("Records of Runs",
                                         "What do you want done with records of times and dates of "
                                         "runs?\r\nClick on the Help button if you are "
                                         "not sure about this choice",
                                         {"1. Do nothing. [That is, do not unzip these records.]",
                                          "2. Unzip unchanged.\r\n    Then file names in these records will "
                                          "reflect the directory the files "
                                          "were created in.\r\n    [This may be appropriate if you are "
                                          "unzipping files into their original "
                                          "directory.]\r\n",
                                          "3. Change file names to reflect your current Working Directory "
                                          "(and Model\r\n    and starting Data "
                                          "files).\r\n    [This may be appropriate if you are restoring into "
                                          "a directory which is\r\n      "
                                          "different from where the results were created.]\r\n    [It is "
                                          "also probably appropriate if you "
                                          "have restored ingredients from a\r\n     Zip archive into your "
                                          "current Working directory.]"},
                                         2);
            if (!pick || *pick < 0 || *pick > 2) return false;
            records = static_cast<RecordsChoice>(*pick);
        }
    } else if (!env.batch) {
        dlg.info("There is no record of times and dates of runs in this Results Zip file.");
    }

    if (std::int64_t avail = freeDiskSpace(dir); avail >= 0 && total > static_cast<std::uint64_t>(avail)) {
        dlg.error("There is not enough free disk space in " + dir + " to extract the files.");
        return false;
    }
    if (!env.batch) {
        dlg.waitBegin(std::string("Please Wait - ") + "Vardelon" + " at work");
        dlg.waitStage("Unzipping results files\r\n[This may take a while]");
    }
    struct EndWait {
        ArchiveEnv& e;
        ~EndWait() {
            if (!e.batch) e.dialogs.waitEnd();
        }
    } endWait{env};

    std::string stamps;
    std::set<std::string> extracted;  // lower-case names
    std::vector<std::string> recordFiles;
    bool warnedRecord = false, warnedResult = false;
    for (const auto& m : reader->members()) {
        if (iequals(m.name, kStampsMemberName)) {
            auto text = reader->read(m, 16u << 20);
            if (text) stamps = *text;
            continue;
        }
        if (iequals(m.name, kResultsHistory) || m.isDirectory) continue;
        const bool record = isRecordCopy(m.name);
        if (record && records == RecordsChoice::DoNothing) continue;
        const std::string path = JoinPath(dir, m.name);
        if (fileExists(path)) {
            bool& warned = record ? warnedRecord : warnedResult;
            if (!warned && !env.batch) {
                std::string text =
                    std::string("WARNING. Unzipping results files. You are about to overwrite ") +
                    (record ? "Record of Runs file" : "results file") + "\r\n   " + path +
                    "\r\nIf you are happy to overwrite this and possibly other " +
                    (record ? "Record of Runs files" : "results files") +
                    ", click on OK.\r\nOtherwise click on \"Cancel\" to stop the unzipping.";
                if (dlg.message(MsgKind::Warning, text, BtnOk | BtnCancel) != BtnOk) {
                    dlg.info("Stopping the unzipping.");
                    return false;
                }
            }
            warned = true;
        }
        if (env.cancelled()) {
            dlg.info("Stopping the unzipping.");
            return false;
        }
        auto x = reader->extract(m, dir);
        if (!x) {
            dlg.error(x.message());
            return false;
        }
        extracted.insert(toLower(m.name));
        if (record) recordFiles.push_back(*x);
    }
    // Times back, only for the files just extracted.
    std::string ours;
    for (const auto& line : splitLines(stamps)) {
        ParsedStamp p = parseStamp(trim(line));
        if (p.form == ParsedStamp::Form::Current && extracted.count(toLower(bareName(p.name))))
            ours += line + "\r\n";
    }
    bestEffort(applyStamps(dir, ours),
               "restored results keep the extraction time when their recorded time cannot be set; the checks "
               "then ask for a rerun");

    if (records == RecordsChoice::Rewrite) {
        for (const auto& f : recordFiles) {
            if (Status s = rewriteRecordOfRuns(f, env); !s) {
                dlg.error(s.message());
                return false;
            }
        }
    }
    if (records != RecordsChoice::DoNothing && sameFolder(dir, env.rec.WorkDir)) {
        if (Status s = RestoreRunRecordCopies(rr.keep, rr.copies, rr.noRerun); !s) {
            dlg.error(s.message());
            return false;
        }
    }
    dlg.info("Unzipping done ok");
    return true;
}

bool ViewResultsHistory(ArchiveEnv& env, std::optional<std::string> zipFile) {
    Dialogs& dlg = env.dialogs;
    if (env.tempDir.empty() || !directoryExists(env.tempDir)) {
        dlg.error(kNoTempDirText);
        return false;
    }
    if (!zipFile) {
        zipFile = askArchiveToOpen(env, "Results Zip File ", env.rec.WorkDir);
        if (!zipFile) return false;
    }
    auto reader = ZipReader::open(*zipFile);
    if (!reader) {
        dlg.error(reader.message());
        return false;
    }
    const ZipMember* h = reader->find(kResultsHistory);
    if (!h) {
        dlg.info("Sorry, there is no History saved in this Results Zip archive.");
        return false;
    }
    auto text = reader->read(*h, 1u << 20);
    if (!text) {
        dlg.error(text.message());
        return false;
    }
    const std::string shown = JoinPath(env.tempDir, kResultsHistory);
    if (Status s = writeFileAtomic(shown, *text); !s) {
        dlg.error(s.message());
        return false;
    }
    showTextFile(env, shown);
    return true;
}

}  // namespace vdln
