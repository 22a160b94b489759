#include "archive/ingredients.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
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
#include "cmf/closurecheck.h"
#include "cmf/cmfreader.h"
#include "model/filenames.h"
#include "model/modelsel.h"
#include "model/settings.h"
#include "model/simdetails.h"
#include "model/simgrid.h"

namespace vdln {

namespace {

// A member or file name without any folder part, whichever separator the
// writing computer used.
std::string bareName(const std::string& path) {
    size_t p = path.find_last_of("/\\");
    return p == std::string::npos ? path : path.substr(p + 1);
}

std::string withoutFinalDot(std::string s) {
    while (!s.empty() && (s.back() == '.' || s.back() == ' ')) s.pop_back();
    return s;
}

std::string unableToExtractText(const std::string& zip, const std::string& reason) {
    return "Sorry, unable to extract files from " + zip + "\r\n" + withoutFinalDot(reason) +
           ".\r\nThis menu item can only be used to restore from a Zip Archive made by Vardelon\r\n(not from "
           "a zip "
           "file you have made outside Vardelon).\r\n[Maybe " +
           zip + " is not a valid ZIP Archive.]";
}

// The wait window, never shown in batch mode.
class WaitWindow {
public:
    explicit WaitWindow(ArchiveEnv& env) : m_env(env) {
        if (!m_env.batch) m_env.dialogs.waitBegin(std::string("Please Wait - ") + "Vardelon" + " at work");
    }
    ~WaitWindow() {
        if (!m_env.batch) m_env.dialogs.waitEnd();
    }
    void stage(const std::string& text) {
        if (!m_env.batch) m_env.dialogs.waitStage(text);
    }

private:
    ArchiveEnv& m_env;
};

std::string quoteIfBlanks(const std::string& name) {
    return name.find(' ') != std::string::npos ? "\"" + name + "\"" : name;
}

}  // namespace

// ------------------------------------------------------------------ names

std::array<bool, 4> selectedRuns(const ArchiveEnv& env, const CMFBitsSelection& sel) {
    std::array<bool, 4> runs{false, false, false, false};
    switch (sel.runs) {
        case ClosShRuns::All:
            runs = {false, true, !env.noRerun, true};
            break;
        case ClosShRuns::Base:
            runs[1] = true;
            break;
        case ClosShRuns::Policy:
            runs[3] = true;
            // The rerun solves with the policy closures.
            if (!env.noRerun && sel.files != ClosShFiles::Shocks) runs[2] = true;
            break;
    }
    return runs;
}

std::string defaultIngredientsName(const ArchiveEnv& env, const IngredientsRequest& request) {
    std::string name = env.modelName + "-" + joinedSimNames(env.rec, true, !env.noRerun, true);
    if (request.kind == IngredientsKind::ClosSh) {
        auto runs = selectedRuns(env, request.bits);
        name += "-" + joinedSimNames(env.rec, runs[1], runs[2], runs[3]);
        switch (request.bits.files) {
            case ClosShFiles::Closures:
                name += "-cl";
                break;
            case ClosShFiles::Shocks:
                name += "-sh";
                break;
            case ClosShFiles::Both:
                name += "-clsh";
                break;
        }
    }
    return name + ".zip";
}

std::string ingredientsFolder(const ArchiveEnv& env, IngredientsKind kind) {
    std::string dir = JoinPath(env.programDir, "archive");
    return kind == IngredientsKind::ClosSh ? JoinPath(dir, "clos-sh") : dir;
}

Status createArchiveFolders(const std::string& programDir) {
    return makeDirectories(JoinPath(JoinPath(programDir, "archive"), "clos-sh"));
}

// ------------------------------------------------------------------ inner archives

Status writeInnerZip(const std::string& zipFile, const std::vector<std::string>& files) {
    auto w = ZipWriter::create(zipFile);
    if (!w) return w.status();
    for (const auto& f : files)
        if (Status s = w->addFile(f, bareName(f)); !s) return s;
    if (Status s = w->addBytes(kStampsMemberName, makeStampsText(files)); !s) return s;
    return w->commit();
}

std::vector<std::string> collectCMFBits(const ArchiveEnv& env, const CMFBitsSelection& sel, bool withMapFile,
                                        std::vector<std::string>* environmentFiles) {
    const TSimRecord& rec = env.rec;
    std::vector<std::string> files;
    std::set<std::string> seen;
    auto add = [&](const std::string& path) {
        if (!path.empty() && seen.insert(path).second) files.push_back(path);
    };
    auto addWithConstituents = [&](const std::string& name) {
        if (name.empty()) return;
        std::string full = UserFilePath(rec.WorkDir, name);
        add(full);
        if (!fileExists(full)) return;
        std::vector<std::string> list;
        // A file that cannot be read draws in nothing; it is still stored.
        bestEffort(ListConstituents(dirOf(full), nameOf(full), list),
                   "a file that cannot be read is still archived under its own name");
        for (size_t k = 1; k < list.size(); ++k) {
            std::string c = UserFilePath(rec.WorkDir, list[k]);
            add(c);
            if (environmentFiles && iendsWith(c, ".en4") &&
                std::find(environmentFiles->begin(), environmentFiles->end(), c) == environmentFiles->end())
                environmentFiles->push_back(c);
        }
    };
    const auto runs = selectedRuns(env, sel);
    const bool closures = sel.files != ClosShFiles::Shocks;
    const bool shocks = sel.files != ClosShFiles::Closures;
    for (int r = 1; r <= 3; ++r) {
        if (!runs[r]) continue;
        if (closures) {
            addWithConstituents(CommonClosureFile(rec, r));
            for (int i = 1; i <= rec.NumYears; ++i) addWithConstituents(ClosureFileForYear(rec, i, r));
        }
        if (shocks) {
            addWithConstituents(CommonShockFile(rec, r));
            for (int i = 1; i <= rec.NumYears; ++i)
                addWithConstituents(r == 1 ? ShockFileForYear(rec, i) : ExtraShockFileForYear(rec, i));
        }
        if (env.useCMFStart) {
            std::string start = CMFStartFile(rec, r);
            if (start.empty()) {
                std::string def = DefaultCMFStartFile(rec.WorkDir, r, env.useRunSpecificCMFStart);
                if (userFileExists(rec.WorkDir, def)) start = def;
            }
            addWithConstituents(start);
        }
    }
    if (withMapFile && !env.resultsMapFile.empty()) {
        std::string map = findFileIgnoringCase(env.resultsMapFile);
        if (fileExists(map)) add(map);
    }
    return files;
}

Status AddCMFBitsToZip(ArchiveEnv& env, const std::string& zipFile, const CMFBitsSelection& sel,
                       bool withMapFile, MissingFilePolicy& policy,
                       std::vector<std::string>* environmentFiles) {
    const std::string failText = "There was an error creating the CMFBits ZIP file.";
    std::vector<std::string> present;
    for (const auto& f : collectCMFBits(env, sel, withMapFile, environmentFiles)) {
        if (fileExists(f)) {
            present.push_back(f);
            continue;
        }
        policy.missing.push_back(f);
        if (!policy.warn) continue;
        if (env.batch) {
            if (policy.failInBatch)
                return Status::fail(failText + "\r\nFile " + f + " does not exist." + "[AddCMFBitsToZip]");
            continue;
        }
        Button b = env.dialogs.message(
            MsgKind::Confirmation,
            "File " + f +
                " does not exist.\r\nThis file should be in the CMFBITS zip file.\r\nStop "
                "making the Zip archive?\r\n[If you say \"No\", you will not be warned "
                "about any other missing files.]",
            BtnYes | BtnNo);
        if (b != BtnNo) return Status::fail("");
        if (!env.dialogs.askYesNo(
                "Warning. The Zip archive will not be complete.\r\nYou will not be able to reproduce "
                "results from it.\r\nYou will not be warned about any other missing "
                "files.\r\nContinue despite this?"))
            return Status::fail("");
        policy.warn = false;
    }
    if (Status s = writeInnerZip(zipFile, present); !s)
        return Status::fail(failText + "\r\n" + s.message() + "[AddCMFBitsToZip]");
    return Status::ok();
}

std::vector<std::string> modelFiles(const ArchiveEnv& env) {
    std::vector<std::string> files;
    if (env.modelFile.empty()) return files;
    const std::string model = findFileIgnoringCase(env.modelFile);
    files.push_back(model);
    if (iequals(extOf(model), ".gss")) {
        files.push_back(findFileIgnoringCase(changeExt(model, ".gst")));
    } else {
        files.push_back(findFileIgnoringCase(changeExt(model, ".axs")));
        files.push_back(findFileIgnoringCase(changeExt(model, ".axt")));
    }
    if (!env.modelInfoFile.empty()) files.push_back(findFileIgnoringCase(env.modelInfoFile));
    if (!env.dynamicInfoFile.empty()) {
        std::string din = findFileIgnoringCase(env.dynamicInfoFile);
        if (fileExists(din)) files.push_back(din);
    }
    return files;
}

Status AddModelFilesToZip(ArchiveEnv& env, const std::string& zipFile) {
    const auto files = modelFiles(env);
    if (files.empty()) return Status::fail("No model has been selected.[AddModelFilesToZip]");
    for (const auto& f : files)
        if (!fileExists(f)) return Status::fail("File " + f + " does not exist.[AddModelFilesToZip]");
    if (Status s = writeInnerZip(zipFile, files); !s) return std::move(s).tag("[AddModelFilesToZip]");
    return Status::ok();
}

std::vector<std::string> firstYearFiles(const ArchiveEnv& env) {
    std::vector<std::string> files;
    for (const auto& line : env.firstYearList) {
        FirstYearLineParts p = parseFirstYearLine(line);
        if (!p.valid || p.unset()) continue;
        std::string actual = trim(p.actualPath());
        if (actual.empty() || actual == "??") continue;
        std::string full = findFileIgnoringCase(ResolvePath(env.rec.WorkDir, actual));
        if (std::find(files.begin(), files.end(), full) == files.end()) files.push_back(full);
    }
    return files;
}

std::optional<std::string> ZipUpFirstYearOrModelFiles(ArchiveEnv& env, bool model) {
    const std::string base = env.modelName.empty() ? "vardelon" : env.modelName;
    auto name = askArchiveName(env, model ? "Zip up Model files" : "Zip up First Year Input files",
                               env.rec.WorkDir, base + (model ? "-model.zip" : "-data.zip"));
    if (!name) return std::nullopt;
    if (Status st = model ? AddModelFilesToZip(env, *name) : AddFirstYearDataToZip(env, *name); !st) {
        env.dialogs.error(st.message());
        return std::nullopt;
    }
    env.dialogs.info("Created ZIP file\r\n  " + *name);
    return name;
}

Status AddFirstYearDataToZip(ArchiveEnv& env, const std::string& zipFile) {
    const auto files = firstYearFiles(env);
    for (const auto& f : files)
        if (!fileExists(f)) return Status::fail("File " + f + " does not exist.[AddFirstYearDataToZip]");
    if (Status s = writeInnerZip(zipFile, files); !s) return std::move(s).tag("[AddFirstYearDataToZip]");
    return Status::ok();
}

std::vector<std::string> zipHistoryLines(const ArchiveEnv& env) {
    std::vector<std::string> lines = {
        "History of this ZIP Archive:", "This ZIP Archive was created on " + archiveDateTime(env.clock),
        " when the Working Directory was:", env.rec.WorkDir, "The Sim Names were:"};
    for (int r = 1; r <= 3; ++r) {
        if (r == 2 && env.noRerun) continue;
        lines.push_back(runName(r) + ": " + env.rec.SimNames[r].str());
    }
    return lines;
}

// ------------------------------------------------------------------ saving

namespace {

// The files each inner archive was made from, for the check after saving.
using InnerContents = std::map<std::string, std::vector<std::string>>;

bool sameContent(const std::string& a, const std::string& b) {
    auto x = readWholeFile(a);
    auto y = readWholeFile(b);
    return x && y && *x == *y;
}

// Extracts the details members and the inner archives into "Extract", each
// inner archive into "Extract2", and compares every file with the one it was
// made from.
bool verifyArchive(const std::string& archive, const ScratchFolder& scratch, const InnerContents& inner,
                   const std::vector<std::string>& detailsMembers) {
    const std::string extract = scratch.file("Extract");
    const std::string extract2 = scratch.file("Extract2");
    if (!makeDirectories(extract) || !makeDirectories(extract2)) return false;
    auto reader = ZipReader::open(archive);
    if (!reader) return false;
    if (!reader->extractAll(extract, "*.ds*")) return false;
    for (const auto& m : detailsMembers)
        if (!sameContent(JoinPath(extract, m), scratch.file(m))) return false;
    for (const auto& [zipName, files] : inner) {
        const ZipMember* m = reader->find(zipName);
        if (!m || !reader->extract(*m, extract)) return false;
        auto innerReader = ZipReader::open(JoinPath(extract, zipName));
        if (!innerReader) return false;
        const std::string dir = JoinPath(extract2, changeExt(zipName, ""));
        if (!makeDirectories(dir) || !innerReader->extractAll(dir)) return false;
        // Later files of the same name replace earlier ones, as in the writer.
        std::map<std::string, std::string> expected;
        for (const auto& f : files) expected[bareName(f)] = f;
        std::set<std::string> got;
        for (const auto& mm : innerReader->members()) got.insert(mm.name);
        got.erase(kStampsMemberName);
        if (got.size() != expected.size()) return false;
        for (const auto& [name, source] : expected) {
            if (!got.count(name)) return false;
            if (!sameContent(JoinPath(dir, name), source)) return false;
        }
    }
    return true;
}

}  // namespace

bool SaveIngredientsAsZip(ArchiveEnv& env, const IngredientsRequest& request) {
    Dialogs& dlg = env.dialogs;
    const bool closSh = request.kind == IngredientsKind::ClosSh;
    const bool full = !closSh;
    const bool withModel = request.kind == IngredientsKind::Full;
    const std::string cancelledText = "Creation of ZIP archive cancelled.";

    if (full) {
        bool namesOk = true;
        if (env.checkClosureShockNames) {
            namesOk = env.checkClosureShockNames();
        } else {
            TSimRecord rec = env.rec;
            GridRunRanges ranges;
            for (int r = 1; r <= 3; ++r) ranges.last[r] = rec.NumYears;
            namesOk = CheckGridFiles(rec, 1, 4, ranges, env.noRerun, false, dlg);
        }
        if (!namesOk) {
            dlg.error(
                "There was an error creating the ZIP file.\r\n[See the previous message(s). Alternatively it "
                "is just possible\r\n that you need to free up more disk space before trying again.]");
            return false;
        }
        if (!env.batch) {
            Button b = dlg.message(
                MsgKind::Confirmation,
                "Do you want to review or update the Simulation Description file\r\n before saving this Zip "
                "file?\r\nIf so, click on the Cancel button, then edit the file via the\r\n \"Edit Sim "
                "Description\" "
                "button on the Sim Overview page, save that Description\r\n and then return here to save the "
                "Zip "
                "file.\r\nOtherwise click on the Ignore button to proceed with making the Zip file.",
                BtnCancel | BtnIgnore | BtnHelp);
            if (b != BtnIgnore) {
                dlg.info("Cancelling so you can edit or review the Simulation Description.");
                if (env.showSimOverview) env.showSimOverview();
                return false;
            }
        }
    }

    ScratchFolder scratch;
    if (Status s = scratch.create(env.tempDir); !s) {
        dlg.error(s.message());
        return false;
    }

    // The TAB and STI files come from the auxiliary table file.
    std::vector<std::string> tabEtc;
    if (full && env.extractTabEtc) {
        for (const auto& f : env.extractTabEtc())
            if (fileExists(f)) tabEtc.push_back(f);
    }

    // The archive's name.
    std::string archive;
    if (request.archiveName) {
        archive = *request.archiveName;
        if (!iendsWith(archive, ".zip")) {
            dlg.error(
                "Sorry. The Zip Archive name must end with the suffix \".ZIP\".\r\nPlease specify the file "
                "again.");
            return false;
        }
    } else {
        if (closSh)
            dlg.info(
                "Caution. This does not save the Model or Data files.\r\nHence you will not be able to "
                "regenerate results from this\r\n zip file if the Model or Data files change.");
        else if (!withModel)
            dlg.info(
                "Caution. This does not save the LG-Program EXE or the Auxiliary files.\r\nHence you cannot "
                "guarnatee being able to regenerate results from this zip.\r\nSource-code Solvane will be "
                "required to regenerate the EXE and Auxiliary files.");
        const std::string folder = ingredientsFolder(env, request.kind);
        bestEffort(makeDirectories(folder),
                   "the folder the name dialog starts in; any folder may be chosen there");
        auto name = askArchiveName(env, "Save Ingredients as ZIP archive", folder,
                                   defaultIngredientsName(env, request));
        if (!name) {
            dlg.info(cancelledText);
            return false;
        }
        archive = *name;
    }

    // Free space where the archive goes.
    {
        std::string dir = dirOf(archive).empty() ? "." : dirOf(archive);
        std::int64_t avail = freeDiskSpace(dir);
        if (avail < 0) avail = 20000000;
        const std::int64_t needed = full ? 10000000 : 3000000;
        if (avail < needed) {
            char mb[64];
            std::snprintf(mb, sizeof mb, "%.3f", static_cast<double>(avail) / 1000000.0);
            std::string text =
                std::string("Currently you seem to have only about ") + mb +
                " MBytes of disk space free.\r\nIt may be safer to free up more disk space before "
                "continuing.\r\nDo you wish to continue despite this?";
            if (env.batch) {
                dlg.warning(text);
            } else if (!dlg.askYesNo(text)) {
                dlg.info(cancelledText);
                return false;
            }
        }
    }

    const std::string failedText =
        "There was an error creating the ZIP file.\r\n[See the previous message(s). Alternatively it is just "
        "possible\r\n that you need to free up more disk space before trying again.]";
    WaitWindow wait(env);
    InnerContents inner;
    std::vector<std::string> outerFiles;  // in the scratch folder, in archive order

    // Closure and shock files.
    wait.stage("Adding CMF/Shocks files to Zip file");
    MissingFilePolicy policy;
    std::vector<std::string> environmentFiles;
    CMFBitsSelection bits = full ? CMFBitsSelection{} : request.bits;
    if (Status s = AddCMFBitsToZip(env, scratch.file(kCmfBitsZip), bits, full, policy, &environmentFiles);
        !s) {
        if (s.message().empty()) {
            dlg.info(cancelledText);
        } else {
            dlg.error(s.message());
            dlg.error(failedText);
        }
        return false;
    }
    {
        std::vector<std::string> stored;
        for (const auto& f : collectCMFBits(env, bits, full))
            if (fileExists(f)) stored.push_back(f);
        inner[kCmfBitsZip] = stored;
    }
    if (env.cancelled()) {
        dlg.info(cancelledText);
        return false;
    }

    bool haveExtra = false, haveData = false, haveModel = false, haveTab = false;
    if (full) {
        // Extra files.
        if (!env.batch) {
            std::string q =
                "Do you want to add some extra files to this ZIP archive?\r\n[For example, you might like to "
                "add "
                "Command files for creating different closures\r\n  or you might like to add some "
                "preliminary data "
                "files.]\r\n";
            if (!environmentFiles.empty()) {
                std::string names;
                for (const auto& f : environmentFiles) names += "\r\n   " + bareName(f);
                q += "In particular, you are storing the following Environment files" + names +
                     "\r\n in the CMFBits Zip file.\r\nPerhaps you wish to save the Command files for "
                     "creating "
                     "these Environment files.";
            }
            if (dlg.message(MsgKind::Confirmation, q, BtnYes | BtnNo | BtnHelp) == BtnYes) {
                std::vector<std::string> extra;
                if (env.chooseExtraFiles)
                    for (const auto& f : env.chooseExtraFiles())
                        if (fileExists(f)) extra.push_back(f);
                if (!extra.empty()) {
                    wait.stage("Adding Extra files to Zip file");
                    if (Status s = writeInnerZip(scratch.file(kExtraZip), extra); s) {
                        haveExtra = true;
                        inner[kExtraZip] = extra;
                        dlg.info("Extra files added to zip archive");
                    } else {
                        bestEffort(deleteFile(scratch.file(kExtraZip)),
                                   "a scratch file in a folder removed afterwards");
                        dlg.warning("There was an error zipping the extra files - they will not be added.");
                    }
                }
            }
        }

        wait.stage("Adding First Year Input files to Zip file");
        if (Status s = AddFirstYearDataToZip(env, scratch.file(kDataZip)); !s) {
            dlg.error(s.message());
            dlg.error(failedText);
            return false;
        }
        haveData = true;
        inner[kDataZip] = firstYearFiles(env);

        if (withModel) {
            wait.stage("Adding Model files to Zip file\r\n[This may take a while]");
            if (Status s = AddModelFilesToZip(env, scratch.file(kModelZip)); !s) {
                dlg.error(s.message());
                dlg.error(failedText);
                return false;
            }
            haveModel = true;
            inner[kModelZip] = modelFiles(env);
        }

        if (tabEtc.empty()) {
            dlg.warning(
                "Warning. TAB file not found so cannot include it in the TABETC part of the ZIP archive.");
        } else if (Status s = writeInnerZip(scratch.file(kTabEtcZip), tabEtc); !s) {
            dlg.error(s.message());
            dlg.error(failedText);
            return false;
        } else {
            haveTab = true;
            inner[kTabEtcZip] = tabEtc;
        }
        if (env.cancelled()) {
            dlg.info(cancelledText);
            return false;
        }
    }

    // The details files and the history, then the outer archive.
    wait.stage("Adding Zip files to Zip archive\r\n[This may take a while]");
    {
        Status s = env.writeSettingsText ? env.writeSettingsText(scratch.file(kAppDs1))
                                         : Status::fail(internalErrorText("no settings writer"));
        if (!s) {
            dlg.error("There was an error creating the ZIP file.\r\nMore details:\r\n" + s.message() +
                      "[SaveIngredientsAsZip]");
            dlg.error(failedText);
            return false;
        }
        Status d = env.writeSimRecord ? env.writeSimRecord(scratch.file(kAppDs2))
                                      : Status::fail(internalErrorText("no simulation record writer"));
        if (!d) {
            dlg.error(d.message());
            dlg.error(failedText);
            return false;
        }
    }
    std::vector<std::string> detailsMembers = {kAppDs1, kAppDs2};
    {
        std::string ds0 = findFileIgnoringCase(
            changeExt(defaultDetailsPath(env.rec, env.rec.WorkDir, env.modelName, env.noRerun), ".ds0"));
        if (fileExists(ds0)) {
            if (Status s = copyFile(ds0, scratch.file(kAppDs0), true); !s) {
                dlg.error(s.message());
                dlg.error(failedText);
                return false;
            }
            detailsMembers.push_back(kAppDs0);
        }
    }
    if (Status s = writeLinesAtomic(scratch.file(kZipHist), zipHistoryLines(env)); !s) {
        dlg.error(s.message());
        dlg.error(failedText);
        return false;
    }
    outerFiles = detailsMembers;
    outerFiles.push_back(kZipHist);
    if (haveModel) outerFiles.push_back(kModelZip);
    if (haveData) outerFiles.push_back(kDataZip);
    outerFiles.push_back(kCmfBitsZip);
    if (haveTab) outerFiles.push_back(kTabEtcZip);
    if (haveExtra) outerFiles.push_back(kExtraZip);
    {
        auto w = ZipWriter::create(archive);
        Status s = w ? Status::ok() : w.status();
        for (size_t k = 0; s && k < outerFiles.size(); ++k)
            s = w->addFile(scratch.file(outerFiles[k]), outerFiles[k]);
        if (s) s = w->commit();
        if (!s) {
            dlg.error(s.message());
            dlg.error(failedText);
            return false;
        }
    }

    wait.stage("Checking that can upzip the files from the Zip archive\r\n[This may take a while]");
    if (!verifyArchive(archive, scratch, inner, detailsMembers)) {
        dlg.error(
            "Created ZIP archive but there was an error unzipping the files from it.\r\nThis means that the "
            "ZIP "
            "archive is not reliable.\r\nYou should try to make it again - if it fails again, perhaps notify "
            "the suppliers of this code.");
        dlg.info("Deleting partly complete Zip file\r\n" + archive + "\r\nbecause of the above error(s).");
        bestEffort(deleteFile(archive), "removing a partly written archive after a failure that is reported");
        return false;
    }
    dlg.info("ZIP archive " + archive + " created.");
    return true;
}

// ------------------------------------------------------------------ restoring

namespace {

// The simulation names and years read from a ".ds2" text: the first line
// "<NumYears> <StartYear>", then the three names.
struct Ds2Summary {
    int numYears = 0;
    int startYear = 0;
    std::array<std::string, 3> names;
};

std::optional<Ds2Summary> readDs2Summary(const std::string& file) {
    auto lines = readTextLines(file);
    if (!lines || lines->size() < 4) return std::nullopt;
    auto parts = split(trim((*lines)[0]), ' ');
    std::vector<std::string> words;
    for (auto& p : parts)
        if (!trim(p).empty()) words.push_back(trim(p));
    if (words.size() < 2) return std::nullopt;
    auto n = parseInt(words[0]);
    auto y = parseInt(words[1]);
    if (!n || !y) return std::nullopt;
    Ds2Summary s;
    s.numYears = static_cast<int>(*n);
    s.startYear = static_cast<int>(*y);
    for (int k = 0; k < 3; ++k) s.names[k] = leftStr(trim((*lines)[1 + k]), 3);
    return s;
}

// A name that may become part of a file name in the restore folder.
bool safeNamePart(const std::string& s) {
    for (unsigned char c : s)
        if (c < 32 || c == '/' || c == '\\' || c == ':') return false;
    return s != "." && s != "..";
}

// The members of an archive that are parsed as text: each within
// `kParsedMemberLimit`, and the two details members must read as a
// simulation-details pair.
Status checkDetailsMembers(const ZipReader& reader, const std::string& zip) {
    for (const char* name : {kAppDs1, kAppDs2, kAppDs0, kZipHist}) {
        const ZipMember* m = reader.find(name);
        if (m && m->size > kParsedMemberLimit)
            return Status::fail("Member " + toUpper(name) + " holds " + std::to_string(m->size) +
                                " bytes; a simulation-details member may hold at most " +
                                std::to_string(kParsedMemberLimit) + " bytes");
    }
    const ZipMember* ds1 = reader.find(kAppDs1);
    const ZipMember* ds2 = reader.find(kAppDs2);
    if (!ds1 || !ds2) return Status::ok();  // reported by the caller
    auto ds1Text = reader.read(*ds1, kParsedMemberLimit);
    if (!ds1Text) return ds1Text.status();
    const std::string where = " of " + zip;
    if (Status s = CheckSettingsText(*ds1Text, toUpper(kAppDs1) + where); !s) return s;
    auto ds2Text = reader.read(*ds2, kParsedMemberLimit);
    if (!ds2Text) return ds2Text.status();
    IniFile ini = IniFile::parse(*ds1Text);
    const bool noRerun = iequals(trim(ini.getString("Environment", "Rerun FC with Dev", "yes")), "no");
    TSimRecord check = CreateSimRecord();
    if (Status s = ReadSimRecordText(check, *ds2Text, noRerun, toUpper(kAppDs2) + where); !s) return s;
    return Status::ok();
}

// The restored "app.ds1": paths moved into the restore folder.
Status rewriteRestoredSettings(const std::string& from, const std::string& to, const std::string& folder,
                               bool closShOnly) {
    auto ini = IniFile::load(from);
    if (!ini) return ini.status();
    const std::string env = "Environment";
    const std::string modelDir = JoinPath(folder, "model");
    const std::string dataDir = JoinPath(folder, "data");
    auto move = [&](const std::string& key, const std::string& dir) {
        auto v = ini->get(env, key);
        if (v && !trim(*v).empty()) ini->set(env, key, JoinPath(dir, bareName(trim(*v))));
    };
    if (!closShOnly) {
        move("Model", modelDir);
        move("Model Info File", modelDir);
        move("Dynamic Info File", modelDir);
        for (const auto& [key, line] : ini->entries("Input Files")) {
            FirstYearLineParts p = parseFirstYearLine(line);
            if (!p.valid || p.unset() || p.actual.empty()) continue;
            if (line.compare(0, p.left.size(), p.left) != 0 ||
                line.compare(p.left.size(), p.actual.size(), p.actual) != 0)
                continue;
            std::string moved = quoteIfBlanks(JoinPath(dataDir, bareName(trim(p.actualPath()))));
            ini->set("Input Files", key, p.left + moved + line.substr(p.left.size() + p.actual.size()));
        }
    }
    ini->set(env, "Sim Directory", folder);
    move("Results Map File", folder);
    return writeFileAtomic(to, ini->text());
}

struct InnerPlan {
    std::string member;
    std::string folder;
    std::string stage;
};

}  // namespace

std::optional<RestoreOutcome> RestoreIngredientsFromZip(ArchiveEnv& env, std::optional<std::string> zipFile,
                                                        const std::optional<std::string>& folder,
                                                        bool closShOnly) {
    Dialogs& dlg = env.dialogs;
    auto unsuccessful = [&](const std::string& text) -> std::optional<RestoreOutcome> {
        if (!text.empty()) dlg.error(text);
        dlg.error("Restoring unsuccessful.");
        return std::nullopt;
    };

    if (!zipFile) {
        zipFile =
            askArchiveToOpen(env, "ZIP File to Restore From ", ingredientsFolder(env, IngredientsKind::Full));
        if (!zipFile) return std::nullopt;
    }
    const std::string zip = *zipFile;
    auto reader = ZipReader::open(zip);
    if (!reader) return unsuccessful(unableToExtractText(zip, reader.message()));

    if (const ZipMember* h = reader->find(kZipHist); h && !env.batch) {
        auto text = reader->read(*h, 1u << 20);
        if (text) dlg.info(*text);
    }
    std::vector<std::string> required = {kAppDs1, kAppDs2};
    if (!closShOnly) {
        required.push_back(kModelZip);
        required.push_back(kDataZip);
    }
    required.push_back(kCmfBitsZip);
    for (const auto& r : required)
        if (!reader->find(r))
            return unsuccessful(
                unableToExtractText(zip, "File " + toUpper(r) + " is not present in this zip file"));
    for (const auto& m : reader->members()) {
        if (std::string why = unsafeMemberReason(m.name); !why.empty())
            return unsuccessful(unableToExtractText(zip, "Refused to extract " + why));
        if (m.isSymlink)
            return unsuccessful(
                unableToExtractText(zip, "Refused to extract the symbolic link \"" + m.name + "\""));
    }

    // The details members are parsed, so they are read within a limit, and
    // an archive whose details do not parse is refused before anything is
    // restored.
    if (Status s = checkDetailsMembers(*reader, zip); !s)
        return unsuccessful(unableToExtractText(zip, s.message()));

    ScratchFolder scratch;
    if (Status s = scratch.create(env.tempDir); !s) return unsuccessful(s.message());

    auto target =
        chooseRestoreFolder(env, ingredientsFolderTexts(),
                            folder ? std::string() : proposedRestoreFolder(env.programDir, zip), folder);
    if (!target) return env.batch ? unsuccessful("") : std::nullopt;
    const std::string dir = *target;

    if (!env.batch) {
        std::string text =
            closShOnly ? "Please note that:\r\nClosure/Shocks files will be put into \r\n  " + dir +
                             "\r\n[Click on the \"Cancel\" button if you do not want to continue.]"
                       : "Please note that:\r\n1. CMFBits files will be put into\r\n   " + dir +
                             "\r\n2. Model, Data and TabEtc,Extra (if present) files will be\r\n   put "
                             "into subdirectories with these names.\r\n[Click on the \"Cancel\" button "
                             "if you do not want to continue.]";
        if (dlg.message(MsgKind::Confirmation, text, BtnOk | BtnCancel) != BtnOk) return std::nullopt;
    }

    WaitWindow wait(env);
    wait.stage("Unzipping Zip files in Temporary Dir\r\n[This may take a while]");
    std::vector<InnerPlan> plan;
    if (!closShOnly) {
        plan.push_back(
            {kModelZip, JoinPath(dir, "model"), "Unzipping Model files\r\n[This may take a while]"});
        plan.push_back({kDataZip, JoinPath(dir, "data"), "Unzipping First Year Data"});
        plan.push_back({kTabEtcZip, JoinPath(dir, "tabetc"), "Unzipping Tab and/or Lexor STI files"});
        plan.push_back({kExtraZip, JoinPath(dir, "extra"), "Unzipping Extra files"});
    }
    plan.push_back({kCmfBitsZip, dir, "Unzipping CMF/Shocks"});

    // The outer members into the scratch folder, when there is room.
    {
        std::uint64_t outer = 0;
        for (const auto& m : reader->members()) outer += m.size;
        if (std::int64_t avail = freeDiskSpace(scratch.path());
            avail >= 0 && outer > static_cast<std::uint64_t>(avail))
            return unsuccessful("There is not enough free disk space in " + env.tempDir +
                                " to extract the files.");
    }
    for (const char* name :
         {kAppDs1, kAppDs2, kAppDs0, kModelZip, kDataZip, kCmfBitsZip, kTabEtcZip, kExtraZip}) {
        const ZipMember* m = reader->find(name);
        if (!m) continue;
        if (closShOnly && std::string(name) != kAppDs1 && std::string(name) != kAppDs2 &&
            std::string(name) != kAppDs0 && std::string(name) != kCmfBitsZip)
            continue;
        // The member is stored under the expected name (in any letter case).
        ZipMember copy = *m;
        auto r = reader->extract(copy, scratch.path());
        if (!r) return unsuccessful(unableToExtractText(zip, r.message()));
        if (*r != scratch.file(name) && ::rename(r->c_str(), scratch.file(name).c_str()) != 0)
            return unsuccessful("Cannot create file " + scratch.file(name));
    }

    // Every inner archive is opened and all its members checked before
    // anything is written to the restore folder.
    std::vector<std::pair<InnerPlan, ZipReader>> readers;
    std::uint64_t total = 0;
    for (const auto& p : plan) {
        if (!fileExists(scratch.file(p.member))) continue;
        auto r = ZipReader::open(scratch.file(p.member));
        if (!r) return unsuccessful(unableToExtractText(zip, r.message()));
        for (const auto& m : r->members()) {
            if (std::string why = unsafeMemberReason(m.name); !why.empty())
                return unsuccessful(
                    unableToExtractText(zip, "Refused to extract " + why + " from " + toUpper(p.member)));
            if (m.isSymlink)
                return unsuccessful(unableToExtractText(zip, "Refused to extract the symbolic link \"" +
                                                                 m.name + "\" from " + toUpper(p.member)));
            total += m.size;
        }
        readers.emplace_back(p, std::move(*r));
    }
    if (std::int64_t avail = freeDiskSpace(dir); avail >= 0 && total > static_cast<std::uint64_t>(avail))
        return unsuccessful("There is not enough free disk space in " + dir + " to extract the files.");

    for (auto& [p, r] : readers) {
        wait.stage(p.stage);
        if (env.cancelled()) {
            dlg.info("Unzipping halted via Cancel button.");
            return unsuccessful("");
        }
        if (Status s = makeDirectories(p.folder); !s) return unsuccessful(s.message());
        std::string stamps;
        for (const auto& m : r.members()) {
            if (env.cancelled()) {
                dlg.info("Unzipping halted via Cancel button.");
                return unsuccessful("");
            }
            if (iequals(m.name, kStampsMemberName)) {
                auto text = r.read(m, 16u << 20);
                if (!text) return unsuccessful(unableToExtractText(zip, text.message()));
                stamps = *text;
                continue;
            }
            auto x = r.extract(m, p.folder);
            if (!x) return unsuccessful(unableToExtractText(zip, x.message()));
        }
        if (!stamps.empty())
            bestEffort(applyStamps(p.folder, stamps),
                       "restored files keep the extraction time when their archived time cannot be set; the "
                       "checks then ask for a rerun");
    }

    // The details files under their default names.
    auto summary = readDs2Summary(scratch.file(kAppDs2));
    if (!summary) return unsuccessful(unableToExtractText(zip, "File APP.DS2 is not a simulation record"));
    auto settings = IniFile::load(scratch.file(kAppDs1));
    if (!settings) return unsuccessful(settings.message());
    std::string modelName = trim(settings->getString("Environment", "Model Name"));
    if (modelName.empty())
        modelName = changeExt(bareName(trim(settings->getString("Environment", "Model"))), "");
    const bool noRerun = iequals(trim(settings->getString("Environment", "Rerun FC with Dev", "yes")), "no");
    TSimRecord names = CreateSimRecord();
    for (int r = 1; r <= 3; ++r) names.SimNames[r] = summary->names[r - 1];
    if (!safeNamePart(modelName) || !safeNamePart(joinedSimNames(names, true, !noRerun, true)))
        return unsuccessful(
            unableToExtractText(zip,
                                "The model or simulation names in this zip file cannot be used "
                                "in file names"));
    const std::string ds1 = defaultDetailsPath(names, dir, modelName, noRerun);
    if (Status s = rewriteRestoredSettings(scratch.file(kAppDs1), ds1, dir, closShOnly); !s)
        return unsuccessful(s.message());
    if (Status s = copyFile(scratch.file(kAppDs2), changeExt(ds1, ".ds2"), true); !s)
        return unsuccessful(s.message());
    if (fileExists(scratch.file(kAppDs0)))
        if (Status s = copyFile(scratch.file(kAppDs0), changeExt(ds1, ".ds0"), true); !s)
            return unsuccessful(s.message());

    RestoreOutcome out;
    out.folder = dir;
    out.ds1File = ds1;
    out.modelName = modelName;
    for (int k = 0; k < 3; ++k) out.simNames.push_back(summary->names[k]);

    std::string report =
        (closShOnly ? "Restoring Closures, Shocks and constituents from the ZIP archive into "
                      "directory\r\n   "
                    : "Restoring from the ZIP archive into directory\r\n   ") +
        dir + "\r\nhas been completed.\r\nThe restored application has Sim Names:";
    for (int r = 1; r <= 3; ++r) {
        if (r == 2 && noRerun) continue;
        report += "\r\n   " + runName(r) + ": " + summary->names[r - 1];
    }
    report += "\r\nand the Model Name is: " + modelName +
              ".\r\nThe Simulation Details have been saved using the "
              "standard name\r\n   " +
              ds1;
    dlg.info(report);

    if (!env.batch) {
        std::string q = closShOnly
                            ? "Do you want to load the Closure/Shocks part of these Simulation Details into "
                              "Vardelon now?"
                            : "Do you want to load these Simulation Details into Vardelon now?";
        q += "\r\n[If so, the directory into which you have restored these files\r\n will become the Working "
             "Directory.]";
        if (dlg.askYesNo(q) && env.loadRestored && env.loadRestored(ds1, closShOnly)) {
            out.loaded = true;
            dlg.info(std::string(closShOnly
                                     ? "The Closure/Shocks part of the restored Simulation Details have been "
                                       "loaded."
                                     : "The restored Simulation Details have been loaded.") +
                     "\r\nThe Working Directory is now\r\n   " + dir);
            if (env.addRecentFile) env.addRecentFile(ds1);
        }
    }
    return out;
}

// ------------------------------------------------------------------ listing

Result<std::string> innerZipListing(const std::string& bytes) {
    auto r = ZipReader::fromBytes(bytes);
    if (!r) return r.status();
    std::string text;
    for (const auto& m : r->members()) {
        if (iequals(m.name, kStampsMemberName)) continue;
        text += std::to_string(m.size) + "  " + m.name + "\r\n";
    }
    return text;
}

bool ListIngredientsPart(ArchiveEnv& env, std::optional<std::string> zipFile, ArchivePart part) {
    Dialogs& dlg = env.dialogs;
    if (!zipFile) {
        zipFile =
            askArchiveToOpen(env, "ZIP File to List From ", ingredientsFolder(env, IngredientsKind::Full));
        if (!zipFile) return false;
    }
    auto reader = ZipReader::open(*zipFile);
    if (!reader) {
        dlg.error(unableToExtractText(*zipFile, reader.message()));
        return false;
    }
    const char* member = kCmfBitsZip;
    switch (part) {
        case ArchivePart::ClosSh:
            member = kCmfBitsZip;
            break;
        case ArchivePart::FirstYearData:
            member = kDataZip;
            break;
        case ArchivePart::Model:
            member = kModelZip;
            break;
        case ArchivePart::TabEtc:
            member = kTabEtcZip;
            break;
        case ArchivePart::Extra:
            member = kExtraZip;
            break;
        case ArchivePart::Description:
            member = kAppDs0;
            break;
        case ArchivePart::History:
            member = kZipHist;
            break;
    }
    const ZipMember* m = reader->find(member);
    if (!m) {
        dlg.info("File " + toUpper(member) + " is not present in this zip file");
        return false;
    }
    if (env.tempDir.empty() || !directoryExists(env.tempDir)) {
        dlg.error(kNoTempDirText);
        return false;
    }
    // The member goes to the Temporary Directory (streamed, checked
    // against the free space there); an inner archive is then listed.
    auto extracted = reader->extractAll(env.tempDir, m->name);
    if (!extracted || extracted->empty()) {
        dlg.error(
            unableToExtractText(*zipFile, extracted ? "Cannot extract " + m->name : extracted.message()));
        return false;
    }
    std::string shown = extracted->front();
    if (iendsWith(member, ".zip")) {
        auto inner = ZipReader::open(shown);
        if (!inner) {
            dlg.error(unableToExtractText(*zipFile, inner.message()));
            return false;
        }
        std::string text = "Files in " + toUpper(member) + " of " + *zipFile + "\r\n";
        for (const auto& mm : inner->members())
            if (!iequals(mm.name, kStampsMemberName))
                text += std::to_string(mm.size) + "  " + mm.name + "\r\n";
        shown = changeExt(shown, ".txt");
        if (Status s = writeFileAtomic(shown, text); !s) {
            dlg.error(s.message());
            return false;
        }
    }
    showTextFile(env, shown);
    return true;
}

bool ListZipFiles(ArchiveEnv& env, std::optional<std::string> zipFile) {
    Dialogs& dlg = env.dialogs;
    if (!zipFile) {
        zipFile = askArchiveToOpen(env, "ZIP File to List ", ingredientsFolder(env, IngredientsKind::Full));
        if (!zipFile) return false;
    }
    auto reader = ZipReader::open(*zipFile);
    if (!reader) {
        dlg.error(unableToExtractText(*zipFile, reader.message()));
        return false;
    }
    if (env.tempDir.empty() || !directoryExists(env.tempDir)) {
        dlg.error(kNoTempDirText);
        return false;
    }
    std::string text = "Files in " + *zipFile + "\r\n";
    for (const auto& m : reader->members()) text += std::to_string(m.size) + "  " + m.name + "\r\n";
    const std::string shown = JoinPath(env.tempDir, "ziplist.txt");
    if (Status s = writeFileAtomic(shown, text); !s) {
        dlg.error(s.message());
        return false;
    }
    showTextFile(env, shown);
    return true;
}

bool ZipAllFilesInFolder(ArchiveEnv& env, const std::string& folder, std::optional<std::string> archiveName) {
    Dialogs& dlg = env.dialogs;
    if (!archiveName) {
        archiveName = askArchiveName(env, "Zip all files in " + folder, env.rec.WorkDir, "");
        if (!archiveName) return false;
    }
    std::vector<std::string> files;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (dirent* e = ::readdir(d)) {
            std::string f = JoinPath(folder, e->d_name);
            if (fileExists(f) && f != *archiveName) files.push_back(f);
        }
        ::closedir(d);
    }
    std::sort(files.begin(), files.end());
    auto w = ZipWriter::create(*archiveName);
    Status s = w ? Status::ok() : w.status();
    for (size_t k = 0; s && k < files.size(); ++k) s = w->addFile(files[k], bareName(files[k]));
    if (s) s = w->commit();
    if (!s) {
        dlg.error(s.message());
        return false;
    }
    dlg.info("ZIP archive " + *archiveName + " created.");
    return true;
}

}  // namespace vdln
