#include "results/remenu.h"

#include <gtest/gtest.h>

#include "base/fileutil.h"
#include "results/retestapp.h"

namespace vdln {
namespace {

using testing::writeFile;

class REMenu : public testing::REApp {
protected:
    REMenuContext menu() {
        return REMenuContext{rec, settings, dialogs, *re, [this](const JobRequest& r) {
                                 requests.push_back(r);
                                 return startResult;
                             }};
    }
    std::vector<JobRequest> requests;
    bool startResult = true;
};

TEST_F(REMenu, ExtraIterationsTellWhenNothingIsLeftToDo) {
    settings.re.BaseIterations = 30;
    ASSERT_TRUE(re->setUpNames());
    writeLastIter(1, 31);  // 30 done
    auto c = menu();
    EXPECT_FALSE(reBaseExtraIterations(c));
    EXPECT_EQ(
        dialogs.lastMessage(),
        "You have done 30 iterations.\r\nThe Sim Overview page indicates that you wish to do a total of 30 "
        "iterations.\r\nThis leaves no iterations to do.\r\nPlease adjust the Sim Overview page if you want "
        "to "
        "do more iterations.");
    EXPECT_TRUE(requests.empty());
}

TEST_F(REMenu, ExtraIterationsConfirmThenStartTheRunAtItsNextIteration) {
    ASSERT_TRUE(re->setUpNames());
    settings.re.PolicyIterations = 6;
    writeLastIter(3, 4 + 1 + 3 + 1);  // the Base's 4, the rerun's 1, 3 of the policy
    auto c = menu();
    dialogs.queueButton(BtnCancel);
    EXPECT_FALSE(rePolicyExtraIterations(c));
    EXPECT_EQ(
        dialogs.lastMessage(),
        "You have done 3 iterations.\r\nThe Sim Overview page indicates that you wish to do a total of 6 "
        "iterations.\r\nPlease click OK if this is correct or Cancel if it is not correct.");
    EXPECT_EQ(dialogs.records().back().buttons, BtnOk | BtnCancel | BtnHelp);
    EXPECT_TRUE(requests.empty());

    EXPECT_TRUE(rePolicyExtraIterations(c));
    ASSERT_EQ(requests.size(), 1u);
    const JobRequest& r = requests[0];
    EXPECT_EQ(r.FirstSimYear[3], 1);
    EXPECT_EQ(r.LastSimYear[3], 3);
    EXPECT_EQ(r.FirstSSYear[3], 1);
    EXPECT_EQ(r.LastSSYear[3], 3);
    EXPECT_GT(r.FirstSimYear[1], r.LastSimYear[1]);
    EXPECT_GT(r.FirstSimYear[2], r.LastSimYear[2]);
    EXPECT_TRUE(re->doingRE());
    EXPECT_EQ(re->maxIterations(3), 6);
    EXPECT_EQ(re->iterationsDone(3), 3);
    EXPECT_EQ(re->startIteration(3), 4);
    EXPECT_EQ(re->currentIteration(3), 4);

    // A job that does not start leaves nothing to iterate.
    startResult = false;
    EXPECT_FALSE(rePolicyExtraIterations(c));
    EXPECT_FALSE(re->doingRE());
}

TEST_F(REMenu, ExtraRerunIterationsNeedTheTabFileOption) {
    auto c = menu();
    EXPECT_FALSE(reRerunExtraIterations(c));
    EXPECT_EQ(dialogs.lastMessage(),
              "This is only possible if your TAB file allows more than one iteration of Rerun.\r\nIf so, "
              "please check "
              "the relevant menu item under the Rational Expectations menu.");
    settings.re.SeveralRerunIterations = true;
    EXPECT_FALSE(reRerunExtraIterations(c));  // no ITER file yet
    EXPECT_EQ(dialogs.lastMessage(),
              "Original file\r\n" + work + "/ite-bs1b-br1r-2026.har\r\ndoes not exist.");
}

TEST_F(REMenu, IteratingTasksCommandsSetTheCountsAndLeaveNoneWhenTheJobDoesNotStart) {
    ScriptedYearsDialog years;
    TaskEnv env{rec, settings, 2, dialogs, years};
    auto c = menu();
    EXPECT_TRUE(reRunBaseToPolicy(c, env));
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].DoDeviations);
    EXPECT_TRUE(re->doingRE());
    EXPECT_EQ(re->maxIterations(1), 4);
    EXPECT_EQ(re->maxIterations(2), 1);
    EXPECT_EQ(re->maxIterations(3), 3);
    EXPECT_EQ(re->startIteration(3), 1);

    startResult = false;
    EXPECT_FALSE(reRerunBaseAndRunPolicy(c, env));
    EXPECT_FALSE(re->doingRE());

    // While a job runs its counts stay and nothing is started.
    startResult = true;
    re->setExtraIterations(1, 2, 4, true);
    c.jobRunning = [] { return true; };
    EXPECT_FALSE(reDoBaseAndRerun(c, env));
    EXPECT_FALSE(reBaseExtraIterations(c));
    EXPECT_EQ(dialogs.lastMessage(), "Is already a big job running. Cannot start another.");
    EXPECT_EQ(requests.size(), 2u);  // the two above
    EXPECT_TRUE(re->doingRE());
    EXPECT_EQ(re->startIteration(1), 3);
}

TEST_F(REMenu, RerunCountRule) {
    EXPECT_EQ(rerunCountChanged(settings, 3, dialogs), 1);
    EXPECT_EQ(settings.re.RerunIterations, 1);
    EXPECT_EQ(dialogs.lastMessage(), "Only one iteration is allowed for the Base Rerun.");
    settings.re.SeveralRerunIterations = true;
    dialogs.clear();
    EXPECT_EQ(rerunCountChanged(settings, 3, dialogs), 3);
    EXPECT_TRUE(dialogs.messages().empty());
    // Switching the option off brings the count back.
    EXPECT_FALSE(toggleSeveralRerunIterations(settings, dialogs));
    EXPECT_EQ(settings.re.RerunIterations, 1);
    EXPECT_EQ(dialogs.lastMessage(), "Only one iteration is allowed for the Base Rerun.");
    EXPECT_FALSE(toggleCreateConvergenceHarFiles(settings));
    EXPECT_TRUE(toggleCreateConvergenceHarFiles(settings));
}

TEST_F(REMenu, PolicyStartLabelFollowsTheOffset) {
    int fpyOut = 0;
    EXPECT_EQ(policyStartLabel(rec, settings, true, fpyOut, dialogs),
              std::string("periods before first Policy shock (ie, with sim for 2025)"));
    EXPECT_EQ(fpyOut, 2);
    settings.re.PolicyStartYear = 1;
    EXPECT_EQ(policyStartLabel(rec, settings, true, fpyOut, dialogs),
              std::string("periods before first Policy shock (ie, with sim for 2024)"));
    EXPECT_EQ(fpyOut, 1);
    settings.re.PolicyStartYear = 5;  // reaches before the first year: reset to 1
    EXPECT_EQ(policyStartLabel(rec, settings, true, fpyOut, dialogs),
              std::string("periods before first Policy shock (ie, with sim for 2024)"));
    EXPECT_EQ(settings.re.PolicyStartYear, 1);
    settings.re.DoingRE = false;
    EXPECT_FALSE(policyStartLabel(rec, settings, true, fpyOut, dialogs));
}

TEST_F(REMenu, ViewingAFirstYearIterationFileAsksWhichVersion) {
    auto c = menu();
    const std::string prepared = work + "/ROREXT2023.HAR";
    const std::string start = work + "/rex-bs1b-2023BIter1.har";
    const std::string head = "Since you are doing Rational Expectations a la Korale, the file\r\n" +
                             prepared + "\r\nyou prepared will be altered by Vardelon.";
    // No Base iteration yet: Yes shows the prepared file, No nothing.
    dialogs.queueButton(BtnNo);
    EXPECT_FALSE(viewFirstYearInputFile(c, "ROREXT", prepared));
    EXPECT_EQ(dialogs.lastMessage(), head +
                                         "\r\nIt looks as if you have not yet run any interations of the "
                                         "Base.\r\nClick \"Yes\" if you wish to see the file you prepared, "
                                         "otherwise click \"No\".");
    EXPECT_EQ(dialogs.records().back().buttons, BtnYes | BtnNo | BtnHelp);
    dialogs.queueButton(BtnYes);
    EXPECT_EQ(viewFirstYearInputFile(c, "ROREXT", prepared), prepared);

    writeFile(start, "copy");
    dialogs.queueButton(BtnNo);
    EXPECT_EQ(viewFirstYearInputFile(c, "rorext", prepared), start);
    EXPECT_EQ(dialogs.lastMessage(),
              head +
                  "\r\nClick \"Yes\" if you wish to see the file you prepared, or\r\nclick "
                  "\"No\" if you wish to see the file\r\n  " +
                  start + "\r\nused by Vardelon when you ran the FIRST iteration of the Base.");
    dialogs.queueButton(BtnYes);
    EXPECT_EQ(viewFirstYearInputFile(c, "ROREXT", prepared), prepared);
    // Other files, and the box unchecked, show the file without asking.
    const size_t asked = dialogs.messages().size();
    EXPECT_EQ(viewFirstYearInputFile(c, "EXTRA", "e.har"), "e.har");
    settings.re.DoingRE = false;
    EXPECT_EQ(viewFirstYearInputFile(c, "ROREXT", prepared), prepared);
    EXPECT_EQ(dialogs.messages().size(), asked);
}

TEST_F(REMenu, ViewingAResultsInputOffersTheNextIterationsFile) {
    auto c = menu();
    const std::string generated = work + "/ite-bs1b-br1r-pl1p-2026.har";
    EXPECT_EQ(viewResultsInputFile(c, 3, "ITER", "offered"), generated);  // no start copy: no question
    EXPECT_TRUE(dialogs.messages().empty());
    const std::string start = work + "/ite-bs1b-br1r-pl1p-2024PIter1.har";
    writeFile(start, "copy");
    dialogs.queueButton(BtnNo);
    EXPECT_EQ(viewResultsInputFile(c, 3, "ITER", "offered"), start);
    EXPECT_EQ(dialogs.lastMessage(),
              "This file is input into the first year of the Policy.\r\nSince you are doing Rational "
              "Expectations a "
              "la Korale, this file\r\n changes from iteration to iteration.\r\nClick \"Yes\" if you wish to "
              "see the "
              "file\r\n  " +
                  generated +
                  "\r\nwhich WOULD be used if you did an EXTRA iteration of the Policy or\r\nclick \"No\" "
                  "if you wish to see the file\r\n  " +
                  start + "\r\nwhich WAS used in the FIRST iteration of the Policy.");
    dialogs.queueButton(BtnYes);
    EXPECT_EQ(viewResultsInputFile(c, 3, "ITER", "offered"), generated);
    EXPECT_EQ(viewResultsInputFile(c, 3, "BASEDATA", "offered"), "offered");
}

TEST_F(REMenu, ConvergenceViewersTellWhenThereIsNoFileAndOtherwiseOfferTheMatchingOnes) {
    auto c = menu();
    EXPECT_FALSE(viewConvergenceHarFile(c, 1));
    EXPECT_EQ(dialogs.lastMessage(),
              "Convergence HAR Files for the Base are of the form \r\n   BS1B_iter*.har\r\nThere are no such "
              "files.");
    EXPECT_FALSE(viewConvergenceRorextFile(c, 2));
    EXPECT_EQ(dialogs.lastMessage(),
              "Convergence ROREXT Files for the Rerun are of the form \r\n   "
              "rex-bs1b-br1r-2026_RIter*.har\r\nThere are no such files.");
    EXPECT_FALSE(viewConvergenceCsvFile(c, 3));
    EXPECT_EQ(dialogs.lastMessage(),
              "Convergence CSV Files for the Policy are of the form \r\n   "
              "BS1B-BR1R-PL1P-ssy_PIter*.csv\r\nThere are no such files.");

    writeFile(work + "/BS1B_iter4.har", "x");
    dialogs.queueText(work + "/BS1B_iter4.har");
    auto chosen = viewConvergenceHarFile(c, 1);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->file, work + "/BS1B_iter4.har");
    EXPECT_EQ(chosen->viewer, REViewChoice::Viewer::HeaderArray);
    const DialogRecord& r = dialogs.records().back();
    EXPECT_EQ(r.type, DialogRecord::Type::File);
    EXPECT_EQ(r.file.title, "Select Convergence HAR File");
    EXPECT_EQ(r.file.initialDir, work);
    EXPECT_EQ(r.file.filter, "Conv. HAR Files (BS1B_iter*.har)|BS1B_iter*.har");

    writeFile(work + "/BS1B-ssy_BIter2.csv", "x");
    dialogs.queueText("BS1B-ssy_BIter2.csv");
    chosen = viewConvergenceCsvFile(c, 1);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->file, work + "/BS1B-ssy_BIter2.csv");
    EXPECT_EQ(chosen->viewer, REViewChoice::Viewer::Spreadsheet);
    EXPECT_EQ(dialogs.records().back().file.filter,
              "Conv. CSV Files (BS1B-ssy_BIter*.CSV)|BS1B-ssy_BIter*.csv");
}

}  // namespace
}  // namespace vdln
