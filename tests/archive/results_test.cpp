#include "archive/results.h"

#include <filesystem>
#include <set>

#include "archive/ingredients.h"
#include "archive/zipfile.h"
#include "archivefixture.h"
#include "base/textfile.h"
#include "model/filenames.h"
#include "runrecord/wheretostart.h"

namespace vdln {
namespace {

using testing::readFile;
using testing::writeFile;

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}
bool contains(const std::vector<std::string>& texts, const std::string& part) {
    for (const auto& t : texts)
        if (contains(t, part)) return true;
    return false;
}

std::set<std::string> memberNames(const std::string& zip) {
    std::set<std::string> names;
    auto r = ZipReader::open(zip);
    if (r)
        for (const auto& m : r->members()) names.insert(m.name);
    return names;
}

class ResultsArchiveTest : public testing::ArchiveFixture {
protected:
    void SetUp() override {
        ArchiveFixture::SetUp();
        env->batch = true;
    }
};

TEST_F(ResultsArchiveTest, AllResultsGoInWithTheRecordsStampsAndHistory) {
    app->runAll();
    // The test application writes no command, SOL or SLI files.
    ResultsSelection sel = ResultsSelection::all();
    sel.kinds[kResCommandFiles] = sel.kinds[kResSolSli] = false;
    ASSERT_TRUE(ZipUpResults(*env, *app->env, &sel, path("res.zip"))) << dlg.lastMessage();
    EXPECT_EQ(dlg.lastMessage(), "Created Results Zip file\r\n  " + path("res.zip") +
                                     "\r\nFile AAHIST in the ZIP describes files included.");
    auto names = memberNames(path("res.zip"));
    for (const char* want :
         {"bs1b-2024.sl4", "bs1b-2026.slc", "bs1b-2024.log", "bs1b-br1r-pl1p-2025.sl4", "bs1b-br1r-2025.bot",
          "growth-app.ds3", "growth-app.ds4", "growth-app.ds5", "xxfltime.xxx", "aahist"}) {
        SCOPED_TRACE(want);
        EXPECT_EQ(names.count(want), 1u);
    }
    for (const auto& [key, file] : spreadsheetOutputs(*app->env, 3)) {
        SCOPED_TRACE(key);
        EXPECT_EQ(names.count(nameOf(file)), 1u);
    }
    // Runs 2 and 3 start at the first policy year.
    EXPECT_EQ(names.count("bs1b-br1r-pl1p-2024.sl4"), 0u);
    auto r = ZipReader::open(path("res.zip"));
    ASSERT_TRUE(r);
    auto hist = r->read(*r->find("aahist"));
    ASSERT_TRUE(hist);
    auto lines = splitLines(*hist);
    ASSERT_GE(lines.size(), 10u);
    EXPECT_EQ(lines[0].rfind("This Results Zip File was created on ", 0), 0u);
    EXPECT_EQ(lines[1], "The Working Directory was:");
    EXPECT_EQ(lines[2], "   " + app->work);
    EXPECT_EQ(lines[8], "Results for years 2024 to 2026 for the Base");
    EXPECT_EQ(lines[9], "Results for years 2025 to 2026 for the Rerun");
    EXPECT_TRUE(
        contains(*hist, "The following sorts of results files are included:\r\n   Solution Files\r\n"));
    EXPECT_FALSE(contains(*hist, "%% However"));
}

TEST_F(ResultsArchiveTest, NothingSelectedOrIncompleteResultsMakeNoArchiveUnlessKept) {
    ResultsSelection none;
    EXPECT_FALSE(ZipUpResults(*env, *app->env, &none, path("none.zip")));
    EXPECT_EQ(dlg.lastMessage(), "Are no results to save");
    EXPECT_FALSE(fileExists(path("none.zip")));

    // Only the Base's solution files of year 2 to 3, one of them missing.
    app->runAll();
    ResultsSelection some;
    some.runs = {false, true, false, false};
    some.firstYear = 2;
    some.lastYear = 3;
    some.kinds[kResSolution] = true;
    ASSERT_TRUE(deleteFile(SolutionFile(app->sim, 3, 1, false)));
    env->batch = false;
    dlg.queueButton(BtnNo);  // do not keep it
    EXPECT_FALSE(ZipUpResults(*env, *app->env, &some, path("some.zip")));
    EXPECT_TRUE(contains(dlg.messages(),
                         "1 files which you have selected to\r\n add to the Results Zip file are "
                         "missing.\r\n These files should all be in the Working Directory: "));
    EXPECT_TRUE(
        contains(dlg.messages(), "The missing files are:\r\n   bs1b-2026.sl4\r\nDo you want to keep"));
    EXPECT_FALSE(fileExists(path("some.zip")));
    dlg.queueButton(BtnYes);
    ASSERT_TRUE(ZipUpResults(*env, *app->env, &some, path("some.zip")));
    EXPECT_EQ(memberNames(path("some.zip")),
              (std::set<std::string>{"bs1b-2025.sl4", "bs1b-2025.log", "bs1b-2026.log", "growth-app.ds3",
                                     "growth-app.ds4", "growth-app.ds5", "xxfltime.xxx", "aahist"}));
    auto r = ZipReader::open(path("some.zip"));
    auto hist = r->read(*r->find("aahist"));
    EXPECT_TRUE(contains(*hist, "Results for years 2025 to 2026 for the Base\r\n"));
    EXPECT_TRUE(contains(*hist, "%% However 1 of the files above were missing when this Zip was made."));
    EXPECT_EQ(defaultResultsName(*env, true), "growth-BS1B-BR1R-PL1P-someres1.zip");
    EXPECT_EQ(defaultResultsName(*env, false), "growth-BS1B-BR1R-PL1P-res1.zip");
}

// The application restored from its ingredients in another folder, then its
// results restored there: with the record-of-runs names rewritten and the
// times put back, the still-ok checks accept every restored result.
TEST_F(ResultsArchiveTest, RestoredIngredientsAndResultsAreStillAsWhenCreated) {
    app->runAll();
    IngredientsRequest req;
    req.archiveName = path("ing.zip");
    ASSERT_TRUE(SaveIngredientsAsZip(*env, req)) << dlg.lastMessage();
    ASSERT_TRUE(ZipUpResults(*env, *app->env, nullptr, path("res.zip"))) << dlg.lastMessage();
    const std::string r = path("R");
    auto restored = RestoreIngredientsFromZip(*env, path("ing.zip"), r, false);
    ASSERT_TRUE(restored) << dlg.lastMessage();

    // The application as loaded from the restored details.
    ProgramSettings st;
    TSimRecord sim2 = app->sim;
    SettingsContext ctx = sctx;
    ctx.batchMode = true;
    (void)ReadIniOptions(restored->ds1File, SettingsParts{false, true, true}, st, sim2, ctx, dlg);
    ASSERT_EQ(sim2.WorkDir, r);
    ASSERT_TRUE(makeDirectories(path("keep2")));
    RunRecordEnv rr(sim2, TKeepRunInfo::inDirectory(path("keep2")), app->clock);
    rr.firstPolicyYear = app->env->firstPolicyYear;
    rr.modelFile = st.model.Model;
    rr.modelInfoFile = st.model.ModelInfoFile;
    rr.resultsMapFile = st.ResultsMapFile;
    rr.firstYearList = st.model.FirstYearList;
    for (int k = 1; k <= 3; ++k) rr.copies[k] = r + "/" + nameOf(app->env->copies[k]);
    settings = st;
    auto env2 = makeEnv(sim2);
    env2->batch = true;

    // Unchanged records name the files of the original folder.
    ASSERT_TRUE(RestoreResultsFromZip(*env2, rr, path("res.zip"), r, RecordsChoice::Unchanged))
        << dlg.lastMessage();
    EXPECT_EQ(dlg.lastMessage(), "Unzipping done ok");
    EXPECT_EQ(fileWriteTime(r + "/bs1b-2024.sl4"), fileWriteTime(app->work + "/bs1b-2024.sl4"));
    CheckReport before = AreResultsOk(rr, dlg, false, {});
    EXPECT_TRUE(contains(before.text, "Reasons:")) << before.text;

    ASSERT_TRUE(RestoreResultsFromZip(*env2, rr, path("res.zip"), r, RecordsChoice::Rewrite))
        << dlg.lastMessage();
    CheckReport still = AreResultsOk(rr, dlg, false, {});
    EXPECT_FALSE(contains(still.text, "Reasons:")) << still.text;
    CheckReport again = AreResultsOk(rr, dlg, true, {});
    EXPECT_FALSE(contains(again.text, "Reasons:")) << again.text;
    auto rewritten = readFile(r + "/growth-app.ds3");
    EXPECT_TRUE(contains(rewritten, "Sim Directory=" + r + "\r\n"));
    EXPECT_FALSE(contains(rewritten, app->work + "/"));
    EXPECT_FALSE(contains(rewritten, app->modelDir + "/"));
}

TEST_F(ResultsArchiveTest, ChoiceOneKeepsTheRecordsAndOverwritingAsksOnce) {
    app->runAll();
    ASSERT_TRUE(ZipUpResults(*env, *app->env, nullptr, path("res.zip")));
    const std::string t = path("T");
    ASSERT_TRUE(RestoreResultsFromZip(*env, *app->env, path("res.zip"), t, RecordsChoice::DoNothing));
    EXPECT_TRUE(fileExists(t + "/bs1b-2024.sl4"));
    EXPECT_FALSE(fileExists(t + "/growth-app.ds3"));
    EXPECT_FALSE(fileExists(t + "/xxfltime.xxx"));
    EXPECT_FALSE(fileExists(t + "/aahist"));

    // Again, interactively: the history, the records question (choice 2),
    // then one warning before overwriting results, which is cancelled.
    env->batch = false;
    dlg.clear();
    dlg.queueButton(BtnOk);
    dlg.queueText(t);
    dlg.queueOption(1);
    dlg.queueButton(BtnCancel);
    EXPECT_FALSE(RestoreResultsFromZip(*env, *app->env, path("res.zip")));
    auto msgs = dlg.messages();
    int warnings = 0;
    for (const auto& m : msgs)
        if (contains(m, "WARNING. Unzipping results files. You are about to overwrite results file\r\n   " +
                            t + "/"))
            ++warnings;
    EXPECT_EQ(warnings, 1);
    EXPECT_EQ(dlg.lastMessage(), "Stopping the unzipping.");
    EXPECT_FALSE(fileExists(t + "/growth-app.ds3"));
}

TEST_F(ResultsArchiveTest, HostileMembersAndMissingHistory) {
    writeFile(path("bad.zip"), rawZipBytes({{"ok.sl4", "x"}, {"../evil.sl4", "y"}}));
    EXPECT_FALSE(
        RestoreResultsFromZip(*env, *app->env, path("bad.zip"), path("T"), RecordsChoice::DoNothing));
    EXPECT_TRUE(contains(dlg.lastMessage(), "Refused to extract a member name leading out of the folder"));
    EXPECT_FALSE(fileExists(path("evil.sl4")));
    EXPECT_FALSE(fileExists(path("T/ok.sl4")));
    dlg.clear();
    EXPECT_FALSE(ViewResultsHistory(*env, path("bad.zip")));
    EXPECT_EQ(dlg.lastMessage(), "Sorry, there is no History saved in this Results Zip archive.");
    writeFile(path("good.zip"), rawZipBytes({{"ok.sl4", "x"}}));
    EXPECT_FALSE(RestoreResultsFromZip(*env, *app->env, path("good.zip"), prog, RecordsChoice::DoNothing));
    EXPECT_EQ(dlg.lastMessage(),
              "Please choose another directory.\r\nRestoring results to the same directory as this "
              "program is running in is not allowed.");
}

}  // namespace
}  // namespace vdln
