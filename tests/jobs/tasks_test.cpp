#include "jobs/tasks.h"

#include <gtest/gtest.h>

#include "doubles/scripteddialogs.h"

namespace vdln {
namespace {

// The ranges of a request in one line; unlisted runs show the raw empty
// range (7..0 for five years).
std::string describe(const JobRequest& r) {
    std::string s;
    for (int run = 1; run <= 3; ++run)
        s += std::to_string(r.FirstSimYear[run]) + ".." + std::to_string(r.LastSimYear[run]) + "/" +
             std::to_string(r.FirstSSYear[run]) + ".." + std::to_string(r.LastSSYear[run]) + " ";
    return s + (r.DoDeviations ? "dev" : "nodev");
}

class TasksTest : public ::testing::Test {
protected:
    void SetUp() override {
        rec = CreateSimRecord();
        rec.NumYears = 5;
        rec.StartYear = 2021;
        rec.PeriodLength.fill(1);
        rec.PeriodLength[2] = 2;  // calendar years 2021, 2023, 2024, 2025, 2026
        ComputeYears(rec);
    }
    std::optional<JobRequest> build(TaskCommand cmd) {
        return buildTaskRequest(cmd, TaskEnv{rec, settings, 3, dialogs, years});
    }
    TSimRecord rec;
    ProgramSettings settings;
    ScriptedDialogs dialogs;
    ScriptedYearsDialog years;
};

TEST_F(TasksTest, RequestsOfTheCommands) {
    using T = TaskCommand;
    struct Case {
        T cmd;
        std::optional<YearsAnswer> answer;
        const char* title;  // "" when no dialog is expected
        int earliest;
        const char* expected;
    } cases[] = {
        {T::RunBaseToPolicy, {}, "", 0, "1..5/1..5 1..5/1..5 1..5/1..5 dev"},
        {T::DoBaseAndRerun, {}, "", 0, "1..5/1..5 1..5/1..5 7..0/7..0 dev"},
        {T::RerunBaseAndRunPolicy, {}, "", 0, "7..0/7..0 1..5/1..5 1..5/1..5 dev"},
        {T::PartBaseSamePartsOthers, YearsAnswer::chosen(2, 4, true), "Which of the Base to do ?", 1,
         "2..4/2..4 2..4/2..4 2..4/2..4 dev"},
        {T::PartBaseSamePartRerun, YearsAnswer::chosen(2, 4, false), "Which of the Base to do ?", 1,
         "2..4/7..0 2..4/7..0 7..0/7..0 dev"},
        {T::PartRerunSamePartPolicy, YearsAnswer::chosen(4, 5, true), "Which of the Rerun to do ?", 3,
         "7..0/7..0 4..5/4..5 4..5/4..5 dev"},
        // A year outside those offered cannot widen the job.
        {T::PartRerunSamePartPolicy, YearsAnswer::chosen(1, 9, false), "Which of the Rerun to do ?", 3,
         "7..0/7..0 3..5/7..0 3..5/7..0 dev"},
        {T::PartBaseSamePartsOthers, YearsAnswer::cancel(), "Which of the Base to do ?", 1, "cancelled"},
        // Part of one run: that run only; the Policy's computes deviations.
        {T::PartBase, YearsAnswer::chosen(2, 3, true), "Which of the Base to do ?", 1,
         "2..3/2..3 7..0/7..0 7..0/7..0 nodev"},
        {T::PartRerun, YearsAnswer::chosen(3, 5, false), "Which of the Rerun to do ?", 3,
         "7..0/7..0 3..5/7..0 7..0/7..0 nodev"},
        {T::PartPolicy, YearsAnswer::chosen(1, 4, true), "Which of the Policy to do ?", 3,
         "7..0/7..0 7..0/7..0 3..4/3..4 dev"},
        {T::PartPolicy, YearsAnswer::cancel(), "Which of the Policy to do ?", 3, "cancelled"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(taskName(c.cmd) + " " + c.expected);
        years = ScriptedYearsDialog();
        if (c.answer) years.queue(*c.answer);
        auto req = build(c.cmd);
        EXPECT_EQ(req ? describe(*req) : "cancelled", c.expected);
        if (*c.title) {
            ASSERT_EQ(years.requests().size(), 1u);
            const YearsDialogRequest& q = years.requests()[0];
            EXPECT_EQ(q.title, c.title);
            EXPECT_EQ(q.noneText, "");
            EXPECT_EQ(q.calendarYears.front(), rec.Years[c.earliest]);
            EXPECT_EQ(q.calendarYears.size(), static_cast<size_t>(6 - c.earliest));
        } else {
            EXPECT_TRUE(years.requests().empty());
        }
    }
    EXPECT_TRUE(dialogs.records().empty());
}

TEST_F(TasksTest, AllPartsCommandsConfirmFirst) {
    using T = TaskCommand;
    struct Case {
        T cmd;
        bool noRerun, spreadsheets;
        Button answer;
        const char* text;
        const char* expected;
    } cases[] = {
        {T::PartBaseAllPartsOthers, false, true, BtnOk,
         "Will do Base from year 2024 to Spreadsheet job\r\nand will do all parts of Base Rerun and Policy.",
         "3..5/1..5 1..5/1..5 1..5/1..5 dev"},
        {T::PartBaseAllPartsOthers, true, false, BtnOk,
         "Will do Base from year 2024 to Spreadsheet job\r\nand will do all parts of Policy.",
         "3..5/7..0 1..5/7..0 1..5/7..0 dev"},
        {T::PartBaseAllPartsRerun, false, true, BtnOk,
         "Will do Base from year 2024 to Spreadsheet job\r\nand will do all parts of Base Rerun.",
         "3..5/1..5 1..5/1..5 7..0/7..0 nodev"},
        {T::PartRerunAllPartsPolicy, false, true, BtnOk,
         "Will do Base Rerun from year 2024 to Spreadsheet job\r\nand will do all parts of Policy.",
         "7..0/7..0 3..5/1..5 1..5/1..5 nodev"},
        {T::PartRerunAllPartsPolicy, false, true, BtnCancel,
         "Will do Base Rerun from year 2024 to Spreadsheet job\r\nand will do all parts of Policy.",
         "cancelled"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        settings.NoRerun = c.noRerun;
        dialogs = ScriptedDialogs();
        years.queue(YearsAnswer::chosen(3, 3, c.spreadsheets));  // the run goes on to the last year
        dialogs.queueButton(c.answer);
        auto req = build(c.cmd);
        EXPECT_EQ(req ? describe(*req) : "cancelled", c.expected);
        EXPECT_EQ(dialogs.messages(), std::vector<std::string>{c.text});
        EXPECT_EQ(dialogs.records()[0].buttons, static_cast<Buttons>(BtnOk | BtnCancel));
        EXPECT_FALSE(years.requests().back().askLastYear);
    }
}

TEST_F(TasksTest, SelectedYearsAskEachRun) {
    const std::string intro = "You will be asked separately about which years (if any) of the Base";
    const std::string tail = "and Policy you wish to carry out.";
    years.queue(YearsAnswer::chosen(1, 2, true));
    years.queue(YearsAnswer::none());
    years.queue(YearsAnswer::chosen(4, 5, false));
    auto req = build(TaskCommand::SimsForSelectedYears);
    ASSERT_TRUE(req.has_value());
    EXPECT_EQ(describe(*req), "1..2/1..2 7..0/7..0 4..5/7..0 dev");
    EXPECT_EQ(dialogs.messages(), std::vector<std::string>{intro + ", Base Rerun " + tail});
    ASSERT_EQ(years.requests().size(), 3u);
    EXPECT_EQ(years.requests()[1].title, "Which of the Rerun to do ?");
    EXPECT_EQ(years.requests()[1].noneText, "Do none of the Rerun");
    EXPECT_EQ(years.requests()[2].earliest, 3);

    // No-rerun mode skips the rerun; "Fewer Messages" leaves out the
    // introduction; Cancel at a later run abandons everything.
    settings.NoRerun = true;
    dialogs = ScriptedDialogs();
    years = ScriptedYearsDialog();
    years.queue(YearsAnswer::chosen(2, 3, false));
    years.queue(YearsAnswer::chosen(3, 5, true));
    req = build(TaskCommand::SimsForSelectedYears);
    ASSERT_TRUE(req.has_value());
    EXPECT_EQ(describe(*req), "2..3/7..0 7..0/7..0 3..5/3..5 dev");
    EXPECT_EQ(dialogs.lastMessage(), intro + " " + tail);
    settings.FewerMessages = true;
    dialogs = ScriptedDialogs();
    years.queue(YearsAnswer::chosen(1, 1, false));
    years.queue(YearsAnswer::cancel());
    EXPECT_FALSE(build(TaskCommand::SimsForSelectedYears).has_value());
    EXPECT_TRUE(dialogs.records().empty());
}

TEST_F(TasksTest, RationalExpectationsVariantsSetIterationCountsBeforeStarting) {
    settings.re = RESettings{};
    settings.re.DoingRE = true;
    settings.re.BaseIterations = 7;
    std::vector<std::string> events;
    auto hook = [&](const ReIterationCounts& c) {
        events.push_back("max " + std::to_string(c.maxIterations[1]) + " " +
                         std::to_string(c.maxIterations[2]) + " done " + std::to_string(c.done[1]) +
                         " current " + std::to_string(c.current[3]) + (c.doingRE ? " RE" : ""));
    };
    auto start = [&](const JobRequest& r) { return events.push_back(describe(r)), true; };
    const TaskEnv env{rec, settings, 3, dialogs, years};
    EXPECT_TRUE(runReTask(TaskCommand::DoBaseAndRerun, env, hook, start));
    settings.NoRerun = true;
    EXPECT_TRUE(runReTask(TaskCommand::RunBaseToPolicy, env, hook, start));
    EXPECT_FALSE(runReTask(TaskCommand::PartBaseSamePartsOthers, env, hook, start));
    EXPECT_EQ(events,
              (std::vector<std::string>{"max 7 1 done 0 current 1 RE", "1..5/1..5 1..5/1..5 7..0/7..0 dev",
                                        "max 7 0 done 0 current 1 RE", "1..5/1..5 1..5/1..5 1..5/1..5 dev"}));
}

// The whole sequence runs against the engine in tasksflow_test.cpp; here
// only how it ends early.
TEST(SingleThenConcurrent, AFailedOrRefusedPassEndsTheSequence) {
    std::vector<std::string> calls;
    bool accept = true;
    RunSingleThenConcurrent seq({[&] { calls.push_back("two"); }, [&] { calls.push_back("one"); },
                                 [&] { return calls.push_back("run"), accept; }});
    ASSERT_TRUE(seq.start());
    EXPECT_EQ(seq.heading(), "Running jobs: [pass number 0, Single job]");
    EXPECT_FALSE(seq.onJobFinished(false));
    EXPECT_FALSE(seq.active());
    EXPECT_EQ(seq.heading(), "Running jobs:");
    EXPECT_FALSE(seq.onJobFinished(true)) << "an ended sequence starts nothing";
    ASSERT_TRUE(seq.start());
    accept = false;
    EXPECT_FALSE(seq.onJobFinished(true));
    EXPECT_FALSE(seq.active());
    EXPECT_EQ(calls, (std::vector<std::string>{"one", "run", "one", "run", "two", "run"}));
}

}  // namespace
}  // namespace vdln
