#include "base/namecheck.h"

#include <gtest/gtest.h>

namespace vdln {
namespace {

TEST(NameCheck, NamesThatCouldLeaveTheirFolderAreRefusedWithTheirReason) {
    const std::string tail = "\" cannot be used as part of a file name: it contains ";
    struct Case {
        std::string name, shown, reason;
    } refused[] = {
        {"a/b", "a/b", "a folder separator."},
        {"a\\b", "a\\b", "a folder separator."},
        {"..", "..", "\"..\"."},
        {"x..", "x..", "\"..\"."},
        {std::string("a\nb"), "a?b", "a control character."},
        {std::string("\x7f"), "?", "a control character."},
        // A control character is named before a separator in the same name.
        {std::string("/\x01"), "/?", "a control character."},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.shown);
        Status s = checkPathComponent(c.name, "The name");
        ASSERT_FALSE(s);
        EXPECT_EQ(s.message(), "The name \"" + c.shown + tail + c.reason);
    }
    for (const char* fine : {"", "BS1", "base.cls", ".hidden", "a.b.c", "N-A"})
        EXPECT_TRUE(checkPathComponent(fine, "The name")) << fine;
}

TEST(NameCheck, PathIsUnderComparesWholeComponentsOfTheNormalPath) {
    struct Case {
        const char* path;
        const char* folder;
        bool under;
    } cases[] = {
        {"/w/app/x.sl4", "/w/app", true},
        {"/w/app/x.sl4", "/w/app/", true},
        {"/w/app", "/w/app", true},
        {"/w/app/sub/../x", "/w/app", true},
        {"/w/app/../x", "/w/app", false},
        {"/w/app/../app/x", "/w/app", true},
        {"/w/application/x", "/w/app", false},
        {"/w/x", "/w/app", false},
        {"/w/app/..x/y", "/w/app", true},
        {"w/app/../../x", "w/app", false},
        {"../x", "", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(pathIsUnder(c.path, c.folder), c.under) << c.path << " in " << c.folder;
}

}  // namespace
}  // namespace vdln
