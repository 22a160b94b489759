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

// Reading the value of a failure stops the program with the internal-error
// text naming the failure, through every accessor and in every build.
TEST(ResultDeathTest, ReadingTheValueOfAFailureStopsWithAnInternalError) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string expected =
        "An internal programming error has occured.*File record too long \\[GetLaheyRec\\] \\[GetRecBuf\\]";
    Result<int> r = outer();
    const Result<int>& cr = r;
    EXPECT_DEATH(static_cast<void>(r.value()), expected);
    EXPECT_DEATH(static_cast<void>(cr.value()), expected);
    EXPECT_DEATH(static_cast<void>(*r), expected);
    EXPECT_DEATH(static_cast<void>(*cr), expected);
    EXPECT_DEATH(static_cast<void>(std::move(r).value()), expected);
    Result<std::string> text = Result<std::string>::fail("no text");
    EXPECT_DEATH(static_cast<void>(text->size()), "used as a value: no text");
    const Result<std::string>& ctext = text;
    EXPECT_DEATH(static_cast<void>(ctext->size()), "used as a value: no text");
    // A success reads its value through every accessor.
    Result<std::string> held = std::string("abc");
    EXPECT_EQ(held.value(), "abc");
    EXPECT_EQ(held->size(), 3u);
    EXPECT_EQ(std::move(held).value(), "abc");
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
