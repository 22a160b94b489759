// The engine's link to the record of runs across rounds of step selection.
#include "jobs/recorder.h"

#include <filesystem>

#include "base/paths.h"
#include "base/strutil.h"
#include "doubles/scripteddialogs.h"
#include "model/filenames.h"
#include "runrecord/appbuilder.h"
#include "runrecord/recordfiles.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

class RecorderRoundsTest : public testing::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        app = std::make_unique<testing::AppBuilder>(dir(), 3);
        app->runAll();
        ASSERT_TRUE(RestoreRunRecordCopies(app->env->keep, app->env->copies, false).isOk());
    }
    bool botNeededInARound(RunRecordRecorder& recorder, int year) {
        recorder.selectionBegin();
        const bool needed = recorder.botNeeded(year);
        recorder.selectionEnd();
        return needed;
    }
    std::unique_ptr<testing::AppBuilder> app;
    ScriptedDialogs dialogs;
};

TEST_F(RecorderRoundsTest, AFileThatAppearsBetweenRoundsIsSeenInTheNextRound) {
    RunRecordRecorder recorder(*app->env, dialogs, true);
    const std::string bot = BotFile(app->sim, 2, false);
    EXPECT_FALSE(botNeededInARound(recorder, 2));

    // The BOT file goes away: the round reads the folder without it.
    std::filesystem::rename(bot, path("elsewhere.bot"));
    EXPECT_TRUE(botNeededInARound(recorder, 2));

    // It comes back, time kept, under another letter case: found in the
    // next round only through a new listing of the folder.
    const std::string upper = JoinPath(dirOf(bot), toUpper(nameOf(bot)));
    ASSERT_NE(upper, bot);
    std::filesystem::rename(path("elsewhere.bot"), upper);
    EXPECT_FALSE(botNeededInARound(recorder, 2));
    // Outside a round the answer is the same.
    EXPECT_FALSE(recorder.botNeeded(2));

    // Gone again: the next round sees that too.
    std::filesystem::rename(upper, path("elsewhere.bot"));
    EXPECT_TRUE(botNeededInARound(recorder, 2));
}

}  // namespace
}  // namespace vdln
