#include "model/optiontoggles.h"

#include <gtest/gtest.h>

#include <set>

#include "base/dialogs.h"
#include "doubles/scripteddialogs.h"

namespace vdln {
namespace {

TEST(OptionToggles, EachToggleFlipsItsOwnSettingOnlyAndSaysSo) {
    for (OptionCommand c : allOptionCommands()) {
        SCOPED_TRACE(optionCaption(c));
        ProgramSettings s;
        const ProgramSettings before = s;
        ScriptedDialogs d;
        const bool wasChecked = optionChecked(c, s);
        const bool changed = applyOptionCommand(c, s, d);
        ASSERT_EQ(d.messages().size(), 1u);
        if (changed) {
            EXPECT_NE(s, before);
            EXPECT_NE(optionChecked(c, s), wasChecked);
            EXPECT_EQ(d.lastMessage(), optionConfirmation(c, s));
            EXPECT_FALSE(d.lastMessage().empty());
        } else {
            EXPECT_EQ(s, before);
        }
        // Quiet mode says nothing.
        ScriptedDialogs d2;
        ProgramSettings q;
        EXPECT_EQ(applyOptionCommand(c, q, d2, true), changed);
        EXPECT_TRUE(d2.messages().empty());
    }
}

TEST(OptionToggles, PairsCheckOneItemAndRefuseTheCheckedOne) {
    struct Pair {
        OptionCommand a, b;
        std::string bName;
    };
    const Pair pairs[] = {
        {OptionCommand::DoRerunBase, OptionCommand::DoNotRerunBase,
         "Do Not Rerun Base Case with Policy Closures"},
        {OptionCommand::SplitBatchJobs, OptionCommand::DoNotSplitBatchJobs, "Do not split batch jobs"},
        {OptionCommand::DeleteTempFilesAtExit, OptionCommand::KeepTempFilesAtExit,
         "Do not Delete Temp Dir Files when Exit"},
        {OptionCommand::UsePatternsOnRename, OptionCommand::IgnorePatternsOnRename,
         "Ignore Patterns when Change Sim Names"},
    };
    for (const Pair& p : pairs) {
        SCOPED_TRACE(p.bName);
        ProgramSettings s;
        // The defaults check the first item of each pair.
        ASSERT_TRUE(optionChecked(p.a, s));
        ASSERT_FALSE(optionChecked(p.b, s));
        ScriptedDialogs d;
        EXPECT_FALSE(applyOptionCommand(p.a, s, d));
        EXPECT_EQ(
            d.lastMessage(),
            "This option is already checked. If you wish to change this option,\r\n please select the other "
            "option [" +
                p.bName + "].");
        EXPECT_TRUE(applyOptionCommand(p.b, s, d));
        EXPECT_TRUE(optionChecked(p.b, s));
        EXPECT_FALSE(optionChecked(p.a, s));
        EXPECT_TRUE(applyOptionCommand(p.a, s, d));
        EXPECT_TRUE(optionChecked(p.a, s));
    }
    ProgramSettings s;
    ScriptedDialogs d;
    ASSERT_TRUE(applyOptionCommand(OptionCommand::DoNotRerunBase, s, d));
    EXPECT_TRUE(s.NoRerun);
}

TEST(OptionToggles, CaptionsAreDistinctAndHideIsRefusedWhileDoingRationalExpectations) {
    std::set<std::string> captions;
    for (OptionCommand c : allOptionCommands()) captions.insert(optionCaption(c));
    EXPECT_EQ(captions.size(), allOptionCommands().size());
    ProgramSettings s;
    s.re.DoingRE = true;
    ScriptedDialogs d;
    EXPECT_FALSE(applyOptionCommand(OptionCommand::HideRationalExpectations, s, d));
    EXPECT_FALSE(s.re.HideRE);
    EXPECT_NE(d.lastMessage().find("Cannot hide Rational Expectations"), std::string::npos);
    s.re.DoingRE = false;
    EXPECT_TRUE(applyOptionCommand(OptionCommand::HideRationalExpectations, s, d));
    EXPECT_TRUE(s.re.HideRE);
    EXPECT_TRUE(optionChecked(OptionCommand::HideRationalExpectations, s));
}

}  // namespace
}  // namespace vdln
