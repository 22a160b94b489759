#include "model/recentfiles.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "base/fileutil.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

using RecentFilesTest = testing::TempDirTest;

TEST_F(RecentFilesTest, MostRecentFirstWithoutRepeatsAndCut) {
    std::vector<std::string> list;
    for (int i = 1; i <= kMaxRecentFiles + 2; ++i) addRecentFile(list, "/w/app" + std::to_string(i) + ".ds1");
    addRecentFile(list, "/w/app5.ds1");
    addRecentFile(list, "");
    ASSERT_EQ(list.size(), static_cast<size_t>(kMaxRecentFiles));
    EXPECT_EQ(list[0], "/w/app5.ds1");
    EXPECT_EQ(list[1], "/w/app" + std::to_string(kMaxRecentFiles + 2) + ".ds1");
    EXPECT_EQ(std::count(list.begin(), list.end(), "/w/app5.ds1"), 1);
    // The oldest fell off the end.
    EXPECT_EQ(std::count(list.begin(), list.end(), "/w/app1.ds1"), 0);
}

TEST_F(RecentFilesTest, RoundTripKeepsTheRestOfTheSettingsFile) {
    const std::string ini = path("Vardelon.ini");
    ASSERT_TRUE(
        writeFileAtomic(ini, "[Options]\r\nVardelVersion=330\r\n[MRUFiles]\r\nFile1=/old.ds1\r\n").isOk());
    EXPECT_EQ(readRecentFiles(ini), std::vector<std::string>{"/old.ds1"});
    const std::vector<std::string> list{"/a b/x.ds1", "/y.ds1"};
    ASSERT_TRUE(writeRecentFiles(ini, list).isOk());
    EXPECT_EQ(readRecentFiles(ini), list);
    auto text = readWholeFile(ini);
    ASSERT_TRUE(text.isOk());
    EXPECT_NE(text->find("VardelVersion=330"), std::string::npos);
    EXPECT_EQ(text->find("/old.ds1"), std::string::npos);
    EXPECT_TRUE(readRecentFiles(path("none.ini")).empty());
}

}  // namespace
}  // namespace vdln
