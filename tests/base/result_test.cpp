#include "base/result.h"

#include <gtest/gtest.h>

#include "base/dialogs.h"
#include "base/fileutil.h"
#include "doubles/scripteddialogs.h"

namespace vdln {
namespace {

Status inner() {
    return Status::fail("File record too long");
}
Status middle() {
    return inner().tag(" [GetLaheyRec]");
}
Result<int> outer() {
    if (Status s = middle(); !s) return std::move(s).tag(" [GetRecBuf]");
    return 1;
}

TEST(Result, TagsChainInCallOrderAndSuccessIgnoresTags) {
    Result<int> r = outer();
    ASSERT_FALSE(r);
    EXPECT_EQ(r.message(), "File record too long [GetLaheyRec] [GetRecBuf]");
    Status ok = Status::ok();
    ok.tag("[X]");
    EXPECT_TRUE(ok);
    EXPECT_EQ(ok.message(), "");
    Result<int> v = 5;
    ASSERT_TRUE(v);
    EXPECT_EQ(*v, 5);
    // A failure with an empty text is still a failure.
    EXPECT_FALSE(Status::fail(""));
}

TEST(ScriptedDialogs, RecordsMessagesAndReplaysAnswers) {
    ScriptedDialogs d;
    d.queueButton(BtnNo);
    EXPECT_FALSE(d.askYesNo("Continue?"));
    // Unscripted: Ok when offered, else Yes.
    EXPECT_EQ(d.message(MsgKind::Warning, "w", BtnOk | BtnCancel, 0), BtnOk);
    EXPECT_EQ(d.message(MsgKind::Confirmation, "q", BtnYes | BtnNo | BtnCancel, 0), BtnYes);
    EXPECT_EQ(d.message(MsgKind::Confirmation, "r", BtnHelp | BtnCancel, 0), BtnCancel);
    d.queueText("/tmp/f.ds1");
    auto f = d.chooseFile(FileRequest{"Open", "/tmp", "*.ds1", "", false, true});
    ASSERT_TRUE(f);
    EXPECT_EQ(*f, "/tmp/f.ds1");
    EXPECT_FALSE(d.chooseFolder("Folder", "/"));
    EXPECT_EQ(d.messages(), (std::vector<std::string>{"Continue?", "w", "q", "r"}));
    EXPECT_TRUE(d.records()[0].scripted);
    EXPECT_FALSE(d.records()[1].scripted);
}

TEST(FileTimes, DosDateTimeAndUnixConversions) {
    std::int64_t s, ns;
    std::int64_t ft = fileTimeFromUnix(1700000000, 123456700);
    unixFromFileTime(ft, s, ns);
    EXPECT_EQ(s, 1700000000);
    EXPECT_EQ(ns, 123456700);
    EXPECT_EQ(fileTimeFromUnix(0, 0), kFileTimeUnixOffset);
    // Odd seconds fall to the even second below in the DOS form.
    std::uint32_t a = dosDateTimeOfFileTime(fileTimeFromUnix(1700000000, 0));
    std::uint32_t b = dosDateTimeOfFileTime(fileTimeFromUnix(1700000001, 0));
    EXPECT_EQ(a, b);
}

}  // namespace
}  // namespace vdln
