#include "archive/ingredients.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "app/batchzip.h"
#include "archive/zipfile.h"
#include "archivefixture.h"
#include "base/textfile.h"
#include "doubles/scripteddialogs.h"
#include "model/simdetails.h"

namespace vdln {
namespace {

using testing::readFile;
using testing::writeFile;

std::set<std::string> memberNames(const std::string& zip) {
    std::set<std::string> names;
    auto r = ZipReader::open(zip);
    EXPECT_TRUE(r) << r.message();
    if (r)
        for (const auto& m : r->members()) names.insert(m.name);
    return names;
}

std::set<std::string> innerNames(const std::string& zip, const std::string& inner) {
    std::set<std::string> names;
    auto r = ZipReader::open(zip);
    if (!r) return names;
    const ZipMember* m = r->find(inner);
    if (!m) return names;
    auto bytes = r->read(*m);
    if (!bytes) return names;
    auto in = ZipReader::fromBytes(*bytes);
    if (in)
        for (const auto& mm : in->members()) names.insert(mm.name);
    return names;
}

bool contains(const std::vector<std::string>& texts, const std::string& part) {
    for (const auto& t : texts)
        if (t.find(part) != std::string::npos) return true;
    return false;
}

class IngredientsTest : public testing::ArchiveFixture {
protected:
    // Saves a full archive without questions.
    std::string saveFull(const std::string& name = "out/app.zip",
                         IngredientsKind kind = IngredientsKind::Full) {
        env->batch = true;
        IngredientsRequest req;
        req.kind = kind;
        req.archiveName = path(name);
        (void)makeDirectories(dirOf(path(name)));
        EXPECT_TRUE(SaveIngredientsAsZip(*env, req)) << dlg.lastMessage();
        env->batch = false;
        return path(name);
    }
};

TEST_F(IngredientsTest, AFullArchiveHoldsTheLayoutAndEveryInnerArchiveItsStamps) {
    std::string zip = saveFull();
    EXPECT_EQ(dlg.lastMessage(), "ZIP archive " + zip + " created.");
    EXPECT_TRUE(
        contains(dlg.messages(), "Warning. TAB file not found so cannot include it in the TABETC part"));
    EXPECT_EQ(memberNames(zip), (std::set<std::string>{"app.ds1", "app.ds2", "ziphist.txt", "model.zip",
                                                       "data.zip", "cmfbits.zip"}));
    EXPECT_EQ(innerNames(zip, "model.zip"), (std::set<std::string>{"growth.exe", "growth.axs", "growth.axt",
                                                                   "growth.min", "xxfltime.xxx"}));
    EXPECT_EQ(innerNames(zip, "data.zip"),
              (std::set<std::string>{"basedata2023.har", "params2023.har", "xxfltime.xxx"}));
    // Every year's closure and shock files, the file a shock file draws in,
    // and the results map file.
    EXPECT_EQ(innerNames(zip, "cmfbits.zip"),
              (std::set<std::string>{"BASE.CLS", "POLICY.CLS", "B2024.BSH", "B2025.BSH", "B2026.BSH",
                                     "P2025.PSH", "P2026.PSH", "grow.har", "growth.map", "xxfltime.xxx"}));
    // The history and the settings text.
    auto r = ZipReader::open(zip);
    ASSERT_TRUE(r);
    auto hist = r->read(*r->find("ziphist.txt"));
    ASSERT_TRUE(hist);
    auto lines = splitLines(*hist);
    ASSERT_GE(lines.size(), 8u);
    EXPECT_EQ(lines[0], "History of this ZIP Archive:");
    EXPECT_EQ(lines[1].rfind("This ZIP Archive was created on ", 0), 0u);
    EXPECT_EQ(lines[3], app->work);
    EXPECT_EQ(lines[5], "Base: BS1");
    EXPECT_EQ(lines[7], "Policy: PL1");
    auto ds1 = r->read(*r->find("app.ds1"));
    ASSERT_TRUE(ds1);
    EXPECT_EQ(ds1->rfind("[Environment]", 0), 0u);
    // The scratch work in the Temporary Directory is gone.
    EXPECT_TRUE(std::filesystem::is_empty(temp));
}

TEST_F(IngredientsTest, TheExtractedTabAndStiFilesGoInTabEtc) {
    writeFile(path("x/growth.tab"), "equations");
    writeFile(path("x/growth.sti"), "condensation");
    env->extractTabEtc = [&] { return std::vector<std::string>{path("x/growth.tab"), path("x/growth.sti")}; };
    std::string zip = saveFull();
    EXPECT_FALSE(contains(dlg.messages(), "Warning. TAB file not found"));
    EXPECT_EQ(innerNames(zip, "tabetc.zip"),
              (std::set<std::string>{"growth.tab", "growth.sti", "xxfltime.xxx"}));
    env->batch = true;
    ASSERT_TRUE(RestoreIngredientsFromZip(*env, zip, path("r"), false));
    EXPECT_EQ(readFile(path("r/tabetc/growth.tab")), "equations");
}

TEST_F(IngredientsTest, FirstYearAndModelFilesZipUpOnTheirOwn) {
    // A name without ".zip" is asked for again; the archive holds the files
    // and their stamps.
    dlg.queueText(path("data.txt"));
    dlg.queueButton(BtnOk);
    dlg.queueText(path("mydata.zip"));
    auto data = ZipUpFirstYearOrModelFiles(*env, false);
    ASSERT_TRUE(data) << dlg.lastMessage();
    EXPECT_EQ(*data, path("mydata.zip"));
    EXPECT_EQ(memberNames(*data),
              (std::set<std::string>{"basedata2023.har", "params2023.har", "xxfltime.xxx"}));
    EXPECT_EQ(dlg.records()[0].file.title, "Zip up First Year Input files");
    EXPECT_EQ(dlg.records()[0].file.defaultName, "growth-data.zip");
    EXPECT_EQ(dlg.records()[1].text,
              "Sorry. The Zip Archive name must end with the suffix \".ZIP\".\r\nPlease specify the file "
              "again.");
    EXPECT_EQ(dlg.lastMessage(), "Created ZIP file\r\n  " + path("mydata.zip"));

    dlg.queueText(path("mymodel.zip"));
    auto model = ZipUpFirstYearOrModelFiles(*env, true);
    ASSERT_TRUE(model) << dlg.lastMessage();
    EXPECT_EQ(memberNames(*model), (std::set<std::string>{"growth.exe", "growth.axs", "growth.axt",
                                                          "growth.min", "xxfltime.xxx"}));
    // Cancelled: nothing made.
    EXPECT_FALSE(ZipUpFirstYearOrModelFiles(*env, true));
    // A missing model file is reported and no archive is claimed.
    ASSERT_TRUE(deleteFile(env->modelFile));
    dlg.queueText(path("broken.zip"));
    EXPECT_FALSE(ZipUpFirstYearOrModelFiles(*env, true));
    EXPECT_NE(dlg.lastMessage().find("[AddModelFilesToZip]"), std::string::npos) << dlg.lastMessage();
}

TEST_F(IngredientsTest, ListFilesInZipShowsEveryMember) {
    std::string zip = saveFull();
    std::vector<std::string> shown;
    env->showFile = [&](const std::string& f) { shown.push_back(f); };
    ASSERT_TRUE(ListZipFiles(*env, zip)) << dlg.lastMessage();
    ASSERT_EQ(shown, std::vector<std::string>{JoinPath(temp, "ziplist.txt")});
    auto lines = splitLines(readFile(shown[0]));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "Files in " + zip);
    std::set<std::string> names;
    auto r = ZipReader::open(zip);
    ASSERT_TRUE(r);
    for (size_t i = 1; i < lines.size(); ++i) {
        const size_t gap = lines[i].find("  ");
        ASSERT_NE(gap, std::string::npos) << lines[i];
        const std::string name = lines[i].substr(gap + 2);
        names.insert(name);
        ASSERT_NE(r->find(name), nullptr) << name;
        EXPECT_EQ(lines[i].substr(0, gap), std::to_string(r->find(name)->size));
    }
    EXPECT_EQ(names, memberNames(zip));
    // Not an archive: the reader's message, nothing shown.
    writeFile(path("not.zip"), "text");
    EXPECT_FALSE(ListZipFiles(*env, path("not.zip")));
    EXPECT_EQ(shown.size(), 1u);
    EXPECT_FALSE(dlg.lastMessage().empty());
}

TEST_F(IngredientsTest, DefaultNamesFollowTheRunsAndFilesSelected) {
    struct Case {
        IngredientsKind kind;
        ClosShRuns runs;
        ClosShFiles files;
        bool noRerun;
        const char* expected;
    } cases[] = {
        {IngredientsKind::Full, ClosShRuns::All, ClosShFiles::Both, false, "growth-BS1B-BR1R-PL1P.zip"},
        {IngredientsKind::Full, ClosShRuns::All, ClosShFiles::Both, true, "growth-BS1B-PL1P.zip"},
        {IngredientsKind::ClosSh, ClosShRuns::All, ClosShFiles::Both, false,
         "growth-BS1B-BR1R-PL1P-BS1B-BR1R-PL1P-clsh.zip"},
        {IngredientsKind::ClosSh, ClosShRuns::Base, ClosShFiles::Closures, false,
         "growth-BS1B-BR1R-PL1P-BS1B-cl.zip"},
        {IngredientsKind::ClosSh, ClosShRuns::Policy, ClosShFiles::Closures, false,
         "growth-BS1B-BR1R-PL1P-BR1R-PL1P-cl.zip"},
        {IngredientsKind::ClosSh, ClosShRuns::Policy, ClosShFiles::Shocks, false,
         "growth-BS1B-BR1R-PL1P-PL1P-sh.zip"},
        {IngredientsKind::ClosSh, ClosShRuns::Policy, ClosShFiles::Closures, true,
         "growth-BS1B-PL1P-PL1P-cl.zip"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        env->noRerun = c.noRerun;
        IngredientsRequest req;
        req.kind = c.kind;
        req.bits = {c.runs, c.files};
        EXPECT_EQ(defaultIngredientsName(*env, req), c.expected);
    }
    EXPECT_EQ(ingredientsFolder(*env, IngredientsKind::ClosSh), prog + "/archive/clos-sh");
    ASSERT_TRUE(createArchiveFolders(prog));
    EXPECT_TRUE(directoryExists(ingredientsFolder(*env, IngredientsKind::ClosSh)));
}

TEST_F(IngredientsTest, AClosureShockArchiveHoldsOnlyTheSelectedFiles) {
    env->batch = true;
    IngredientsRequest req;
    req.kind = IngredientsKind::ClosSh;
    req.bits = {ClosShRuns::Base, ClosShFiles::Closures};
    req.archiveName = path("cl.zip");
    ASSERT_TRUE(SaveIngredientsAsZip(*env, req)) << dlg.lastMessage();
    EXPECT_EQ(memberNames(path("cl.zip")),
              (std::set<std::string>{"app.ds1", "app.ds2", "ziphist.txt", "cmfbits.zip"}));
    EXPECT_EQ(innerNames(path("cl.zip"), "cmfbits.zip"), (std::set<std::string>{"BASE.CLS", "xxfltime.xxx"}));
    req.bits = {ClosShRuns::Policy, ClosShFiles::Shocks};
    req.archiveName = path("sh.zip");
    ASSERT_TRUE(SaveIngredientsAsZip(*env, req));
    EXPECT_EQ(innerNames(path("sh.zip"), "cmfbits.zip"),
              (std::set<std::string>{"P2025.PSH", "P2026.PSH", "xxfltime.xxx"}));
}

TEST_F(IngredientsTest, AMissingClosureFileStopsTheSaveAndLeavesNoArchive) {
    ASSERT_TRUE(deleteFile(app->work + "/B2025.BSH"));
    // A full archive: the grid check finds it first.
    IngredientsRequest full;
    full.archiveName = path("full.zip");
    dlg.queueButton(BtnOk);
    EXPECT_FALSE(SaveIngredientsAsZip(*env, full));
    EXPECT_EQ(dlg.messages()[0], "CMF file for year number 2 column 2 does not exist.");
    EXPECT_FALSE(fileExists(path("full.zip")));

    // A closure/shock archive asks: "Yes, stop".
    dlg.clear();
    IngredientsRequest req;
    req.kind = IngredientsKind::ClosSh;
    req.bits = {ClosShRuns::Base, ClosShFiles::Shocks};
    req.archiveName = path("out.zip");
    dlg.queueButton(BtnYes);
    EXPECT_FALSE(SaveIngredientsAsZip(*env, req));
    EXPECT_EQ(dlg.messages()[0],
              "File " + app->work +
                  "/B2025.BSH does not exist.\r\nThis file should be in the "
                  "CMFBITS zip file.\r\nStop making the Zip archive?\r\n[If you say \"No\", you "
                  "will not be warned about any other missing files.]");
    EXPECT_EQ(dlg.lastMessage(), "Creation of ZIP archive cancelled.");
    EXPECT_FALSE(fileExists(path("out.zip")));

    // "No", then continue despite it: the archive is made without the file.
    dlg.clear();
    dlg.queueButton(BtnNo);
    dlg.queueButton(BtnYes);
    EXPECT_TRUE(SaveIngredientsAsZip(*env, req)) << dlg.lastMessage();
    EXPECT_EQ(innerNames(path("out.zip"), "cmfbits.zip"),
              (std::set<std::string>{"B2024.BSH", "B2026.BSH", "grow.har", "xxfltime.xxx"}));

    // Batch mode fails on a missing file and keeps the earlier archive intact.
    std::string before = readFile(path("out.zip"));
    env->batch = true;
    dlg.clear();
    EXPECT_FALSE(SaveIngredientsAsZip(*env, req));
    EXPECT_TRUE(contains(dlg.messages(), "There was an error creating the CMFBits ZIP file.\r\nFile " +
                                             app->work + "/B2025.BSH does not exist.[AddCMFBitsToZip]"));
    EXPECT_EQ(readFile(path("out.zip")), before);
    for (const auto& e : std::filesystem::directory_iterator(dir()))
        EXPECT_EQ(e.path().filename().string().find(".part"), std::string::npos) << e.path();
}

TEST_F(IngredientsTest, CancellingTheDescriptionQuestionMakesNothing) {
    bool shown = false;
    env->showSimOverview = [&] { shown = true; };
    dlg.queueButton(BtnCancel);
    IngredientsRequest req;
    req.archiveName = path("out.zip");
    EXPECT_FALSE(SaveIngredientsAsZip(*env, req));
    EXPECT_TRUE(shown);
    EXPECT_EQ(dlg.lastMessage(), "Cancelling so you can edit or review the Simulation Description.");
    EXPECT_FALSE(fileExists(path("out.zip")));
}

TEST_F(IngredientsTest, RestoringPutsFilesTheirTimesAndMovedPathsInPlace) {
    ASSERT_EQ(::chmod(app->env->modelFile.c_str(), 0755), 0);
    writeFile(app->work + "/growth-BS1B-BR1R-PL1P.ds0", "What this application is about\r\n");
    std::string zip = saveFull();
    env->batch = true;
    auto out = RestoreIngredientsFromZip(*env, zip, path("restored"), false);
    ASSERT_TRUE(out) << dlg.lastMessage();
    const std::string r = path("restored");
    EXPECT_EQ(out->ds1File, r + "/growth-BS1B-BR1R-PL1P.ds1");
    struct Pair {
        std::string original, restored;
    } pairs[] = {
        {app->modelDir + "/growth.exe", r + "/model/growth.exe"},
        {app->modelDir + "/growth.min", r + "/model/growth.min"},
        {app->work + "/basedata2023.har", r + "/data/basedata2023.har"},
        {app->work + "/BASE.CLS", r + "/BASE.CLS"},
        {app->work + "/grow.har", r + "/grow.har"},
        {app->work + "/growth.map", r + "/growth.map"},
    };
    for (const auto& p : pairs) {
        SCOPED_TRACE(p.restored);
        ASSERT_TRUE(fileExists(p.restored));
        EXPECT_EQ(readFile(p.restored), readFile(p.original));
        EXPECT_EQ(fileWriteTime(p.restored), fileWriteTime(p.original)) << "the time is put back exactly";
    }
    // The model program can still be run; data files are not made executable.
    EXPECT_EQ(::access((r + "/model/growth.exe").c_str(), X_OK), 0);
    struct stat st {};
    ASSERT_EQ(::stat((r + "/data/basedata2023.har").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0111, 0u);
    EXPECT_FALSE(fileExists(r + "/xxfltime.xxx"));
    EXPECT_FALSE(fileExists(r + "/app.ds1"));
    EXPECT_EQ(readFile(r + "/growth-BS1B-BR1R-PL1P.ds0"), "What this application is about\r\n");

    // The restored settings name the restored files.
    ProgramSettings back;
    TSimRecord rec = CreateSimRecord();
    SettingsContext ctx = sctx;
    ctx.batchMode = true;
    (void)ReadIniOptions(out->ds1File, SettingsParts{false, true, true}, back, rec, ctx, dlg);
    EXPECT_EQ(back.model.Model, r + "/model/growth.exe");
    EXPECT_EQ(back.model.ModelInfoFile, r + "/model/growth.min");
    EXPECT_EQ(back.ResultsMapFile, r + "/growth.map");
    EXPECT_EQ(rec.WorkDir, r);
    ASSERT_EQ(back.model.FirstYearList.size(), 2u);
    EXPECT_EQ(back.model.FirstYearList[0], "file BASEDATA = " + r + "/data/basedata2023.har ;");
    // The record reads back as saved.
    TSimRecord restored = CreateSimRecord();
    restored.WorkDir = r;
    ASSERT_TRUE(ReadSimRecordFile(restored, changeExt(out->ds1File, ".ds2"), false));
    EXPECT_EQ(restored.NumYears, 3);
    EXPECT_EQ(restored.GridStem(2, 2), "B2025");
    EXPECT_TRUE(std::filesystem::is_empty(temp));
}

TEST_F(IngredientsTest, TheProposedFolderIsTheArchiveNameThenWithAVersionNumber) {
    std::string zip = saveFull("out/app.zip");
    for (const char* expected : {"app", "app-v1", "app-v2"}) {
        SCOPED_TRACE(expected);
        dlg.clear();
        const std::string proposal = prog + "/" + expected;
        dlg.queueButton(BtnOk);   // the history
        dlg.queueText(proposal);  // the folder chooser: take the proposal
        dlg.queueButton(BtnOk);   // the layout
        dlg.queueButton(BtnOk);   // the report
        dlg.queueButton(BtnNo);   // do not load
        auto out = RestoreIngredientsFromZip(*env, zip, std::nullopt, false);
        ASSERT_TRUE(out) << dlg.lastMessage();
        const auto& recs = dlg.records();
        auto folderAsk = std::find_if(recs.begin(), recs.end(), [](const DialogRecord& d) {
            return d.type == DialogRecord::Type::Folder;
        });
        ASSERT_NE(folderAsk, recs.end());
        EXPECT_EQ(folderAsk->text, proposal);
        EXPECT_EQ(out->folder, proposal);
        EXPECT_TRUE(fileExists(proposal + "/model/growth.exe"));
    }
    EXPECT_EQ(proposedRestoreFolder(prog, "/x/app.zip"), prog + "/app-v3");
}

TEST_F(IngredientsTest, RootAndProgramFoldersAreRefusedAndANonEmptyFolderAsks) {
    std::string zip = saveFull("out/app.zip");
    writeFile(path("busy/keep.txt"), "mine");
    dlg.clear();
    dlg.queueButton(BtnOk);  // the history
    dlg.queueText("/");      // refused
    dlg.queueButton(BtnOk);
    dlg.queueText(prog);  // refused
    dlg.queueButton(BtnOk);
    dlg.queueText(path("busy"));  // not empty: "No"
    dlg.queueButton(BtnNo);
    dlg.queueCancel();  // give up
    EXPECT_FALSE(RestoreIngredientsFromZip(*env, zip, std::nullopt, false));
    auto msgs = dlg.messages();
    EXPECT_TRUE(
        contains(msgs,
                 "Please choose another directory.\r\nRestoring to a top-level directory is unwise and "
                 "is not allowed."));
    EXPECT_TRUE(
        contains(msgs,
                 "Please choose another directory.\r\nRestoring to the same directory as this program is "
                 "running in is not allowed."));
    EXPECT_TRUE(contains(msgs, "This directory is not empty. Do you want to continue?"));
    EXPECT_EQ(readFile(path("busy/keep.txt")), "mine");
    EXPECT_FALSE(std::filesystem::exists(prog + "/app")) << "the unused proposed folder is removed";
    EXPECT_FALSE(std::filesystem::exists(prog + "/model"));
    for (const char* top : {"/", "C:", "C:\\", "c:/"}) {
        SCOPED_TRACE(top);
        EXPECT_TRUE(isTopLevelFolder(top));
    }
    EXPECT_FALSE(isTopLevelFolder(path("busy")));

    // Batch mode refuses the program directory without asking.
    env->batch = true;
    dlg.clear();
    EXPECT_FALSE(RestoreIngredientsFromZip(*env, zip, prog, false));
    EXPECT_EQ(dlg.lastMessage(), "Restoring unsuccessful.");
}

TEST_F(IngredientsTest, AnArchiveWithoutModelFilesIsRefusedByTheFullRestore) {
    std::string zip = saveFull("out/nomodel.zip", IngredientsKind::ExceptModel);
    EXPECT_EQ(memberNames(zip).count("model.zip"), 0u);
    env->batch = true;
    dlg.clear();
    EXPECT_FALSE(RestoreIngredientsFromZip(*env, zip, path("r"), false));
    auto msgs = dlg.messages();
    ASSERT_EQ(msgs.size(), 2u);
    EXPECT_EQ(msgs[0],
              "Sorry, unable to extract files from " + zip +
                  "\r\nFile MODEL.ZIP is not present in this zip file.\r\nThis menu item can only be used to "
                  "restore from a Zip Archive made by Vardelon\r\n(not from a zip file you have made outside "
                  "Vardelon).\r\n[Maybe " +
                  zip + " is not a valid ZIP Archive.]");
    EXPECT_EQ(msgs[1], "Restoring unsuccessful.");
    EXPECT_FALSE(std::filesystem::exists(path("r/data")));
    // The closure/shock restore takes what it needs from it.
    dlg.clear();
    auto out = RestoreIngredientsFromZip(*env, zip, path("r"), true);
    ASSERT_TRUE(out) << dlg.lastMessage();
    EXPECT_TRUE(fileExists(path("r/BASE.CLS")));
    EXPECT_FALSE(std::filesystem::exists(path("r/data")));
}

TEST_F(IngredientsTest, HostileArchivesAreRefusedAndWriteNothingOutsideTheFolder) {
    std::string lie = rawZipBytes({{"data.bin", std::string(1000, 'A')}});
    {
        // The member claims 10 bytes in both headers; it stores 1000.
        auto patch = [&](size_t at) {
            lie[at] = 10;
            lie[at + 1] = lie[at + 2] = lie[at + 3] = 0;
        };
        patch(lie.find(std::string("PK\x03\x04", 4)) + 22);
        patch(lie.find(std::string("PK\x01\x02", 4)) + 24);
    }
    struct Case {
        const char* what;
        std::string cmfbits;
        bool namesRefused;
    } cases[] = {
        {"parent folder", rawZipBytes({{"BASE.CLS", "ok"}, {"../x", "evil"}}), true},
        {"absolute name", rawZipBytes({{"BASE.CLS", "ok"}, {"/tmp/vdln-evil-x", "evil"}}), true},
        {"backslash", rawZipBytes({{"BASE.CLS", "ok"}, {"..\\x", "evil"}}), true},
        {"symbolic link", rawZipBytes({{"BASE.CLS", "ok"}, {"link", "/etc/passwd"}}, "link"), true},
        {"smaller declared size", lie, false},
    };
    env->batch = true;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        dlg.clear();
        std::string zip = archiveWithCmfBits("hostile.zip", c.cmfbits);
        const std::string target = path("t");
        EXPECT_FALSE(RestoreIngredientsFromZip(*env, zip, target, false));
        EXPECT_EQ(dlg.lastMessage(), "Restoring unsuccessful.");
        EXPECT_FALSE(std::filesystem::exists(path("x")));
        EXPECT_FALSE(std::filesystem::exists("/tmp/vdln-evil-x"));
        EXPECT_FALSE(std::filesystem::exists(target + "/link"));
        EXPECT_FALSE(std::filesystem::exists(target + "/data.bin"));
        if (c.namesRefused) {
            EXPECT_TRUE(contains(dlg.messages(), "Refused to extract")) << dlg.messages()[0];
            EXPECT_FALSE(std::filesystem::exists(target + "/model")) << "checked before anything is written";
            EXPECT_FALSE(std::filesystem::exists(target + "/BASE.CLS"));
        } else {
            EXPECT_TRUE(contains(dlg.messages(), "holds more data than it declares")) << dlg.messages()[0];
        }
        testing::removeTree(target);
    }
}

TEST_F(IngredientsTest, NamesFromTheArchiveCannotLeadOutOfTheFolder) {
    std::string bytes =
        rawZipBytes({{"app.ds1", "[Environment]\r\nModel=growth.exe\r\nModel Name=../../evil\r\n"},
                     {"app.ds2", smallDs2Text()},
                     {"model.zip", rawZipBytes({{"growth.exe", "program"}})},
                     {"data.zip", rawZipBytes({{"base.har", "data"}})},
                     {"cmfbits.zip", rawZipBytes({{"BASE.CLS", "ok"}})}});
    writeFile(path("names.zip"), bytes);
    env->batch = true;
    EXPECT_FALSE(RestoreIngredientsFromZip(*env, path("names.zip"), path("t/u"), false));
    EXPECT_TRUE(contains(dlg.messages(), "cannot be used in file names"));
    EXPECT_FALSE(std::filesystem::exists(path("evil-BS1B-BR1R-PL1P.ds1")));
    EXPECT_FALSE(std::filesystem::exists(path("t/evil-BS1B-BR1R-PL1P.ds1")));
}

TEST_F(IngredientsTest, AFileThatIsNotAnArchiveIsReported) {
    writeFile(path("junk.zip"), "not a zip");
    env->batch = true;
    EXPECT_FALSE(RestoreIngredientsFromZip(*env, path("junk.zip"), path("t"), false));
    EXPECT_EQ(dlg.messages()[0],
              "Sorry, unable to extract files from " + path("junk.zip") + "\r\n" + path("junk.zip") +
                  "seems not to be a valid zip archive.\r\nThis menu item can only be used to "
                  "restore from a Zip Archive made by Vardelon\r\n(not from a zip file you have "
                  "made outside Vardelon).\r\n[Maybe " +
                  path("junk.zip") + " is not a valid ZIP Archive.]");
}

TEST_F(IngredientsTest, ListingCommandsShowTheFilesOfAPart) {
    std::string zip = saveFull();
    std::vector<std::string> shown;
    env->showFile = [&](const std::string& f) { shown.push_back(readFile(f)); };
    ASSERT_TRUE(ListIngredientsPart(*env, zip, ArchivePart::Model));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].find("growth.axt"), std::string::npos);
    EXPECT_EQ(shown[0].find("xxfltime.xxx"), std::string::npos);
    ASSERT_TRUE(ListIngredientsPart(*env, zip, ArchivePart::History));
    EXPECT_EQ(shown[1].rfind("History of this ZIP Archive:", 0), 0u);
    dlg.clear();
    EXPECT_FALSE(ListIngredientsPart(*env, zip, ArchivePart::Extra));
    EXPECT_EQ(dlg.lastMessage(), "File EXTRA.ZIP is not present in this zip file");
}

TEST_F(IngredientsTest, ZipAllFilesOfAFolderLeavesItsSubFoldersOut) {
    writeFile(path("k/a.ini"), "a");
    writeFile(path("k/b.log"), "b");
    writeFile(path("k/sub/c.txt"), "c");
    ASSERT_TRUE(ZipAllFilesInFolder(*env, path("k"), path("k.zip")));
    EXPECT_EQ(memberNames(path("k.zip")), (std::set<std::string>{"a.ini", "b.log"}));
}

TEST_F(IngredientsTest, TheCommandLineFormsSaveAndRestore) {
    // The details files as "Save Sim Details" writes them.
    const std::string ds1 = app->work + "/growth-BS1B-BR1R-PL1P.ds1";
    ASSERT_TRUE(WriteIniOptions(ds1, true, settings, app->sim, sctx, dlg));
    ASSERT_TRUE(WriteSimRecordFile(app->sim, changeExt(ds1, ".ds2")));
    BatchZipContext ctx{dir(), prog, temp};
    auto saved = batchSaveZip({"-savezip", ds1, "saved.zip"}, ctx, dlg, app->clock);
    ASSERT_EQ(saved.exitCode, 0) << saved.message;
    ASSERT_TRUE(fileExists(path("saved.zip")));
    auto loaded = batchLoadZip({"-loadzip", "saved.zip", "-workdir", "new/place"}, ctx, dlg, app->clock);
    ASSERT_EQ(loaded.exitCode, 0) << loaded.message;
    EXPECT_TRUE(fileExists(path("new/place/growth-BS1B-BR1R-PL1P.ds1")));
    EXPECT_TRUE(fileExists(path("new/place/model/growth.axt")));

    auto bad = batchSaveZip({"-savezip", app->work + "/none.ds1", "x.zip"}, ctx, dlg, app->clock);
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_EQ(bad.message, "DS1 file: " + app->work + "/none.ds1 does not exist");
    auto missing = batchLoadZip({"-loadzip", "nothing.zip"}, ctx, dlg, app->clock);
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.message, "Specified ZIP file to load nothing.zip does not exist.");
    auto refused = batchLoadZip({"-loadzip", "saved.zip", "-workdir", prog}, ctx, dlg, app->clock);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.message,
              "Please choose another directory.\r\nRestoring to the same directory as this program "
              "is running in is not allowed.");
}

}  // namespace
}  // namespace vdln
