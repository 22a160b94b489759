// Names looked up without regard to letter case from folder listings read once.
#include <unistd.h>

#include <string>

#include "base/fileutil.h"
#include "base/paths.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

using testing::writeFile;

class FolderListingsTest : public testing::TempDirTest {};

TEST_F(FolderListingsTest, AnswersAsALookUpInTheFolderWould) {
    writeFile(path("Exact.txt"), "e");
    writeFile(path("mixed.HAR"), "m");
    writeFile(path("twice.cls"), "1");
    writeFile(path("TWICE.CLS"), "2");
    writeFile(path("Sub/Inner.sol"), "i");
    FolderListings listings;
    struct Case {
        const char* asked;
        std::string found;
    };
    const Case cases[] = {
        {"Exact.txt", path("Exact.txt")},          // as written: no listing needed
        {"EXACT.TXT", path("Exact.txt")},          // the one entry of another case
        {"MIXED.har", path("mixed.HAR")},          //
        {"Twice.Cls", path("Twice.Cls")},          // two entries match: the name as written
        {"missing.txt", path("missing.txt")},      // none: the name as written
        {"sub/INNER.SOL", path("Sub/Inner.sol")},  // every folder on the way
        {"sub/none.sol", path("sub/none.sol")},    //
    };
    for (const Case& c : cases) {
        EXPECT_EQ(listings.findIgnoringCase(path(c.asked)), c.found) << c.asked;
        EXPECT_EQ(findFileIgnoringCase(path(c.asked)), c.found) << c.asked;
    }
    EXPECT_EQ(listings.findIgnoringCase(""), "");
    EXPECT_EQ(listings.findIgnoringCase(dir() + "//EXACT.TXT"), path("Exact.txt"));

    EXPECT_TRUE(listings.listed(path("exact.TXT")));
    EXPECT_TRUE(listings.listed(path("twice.CLS")));
    EXPECT_FALSE(listings.listed(path("missing.txt")));
    EXPECT_FALSE(listings.listed(path("nofolder/x.txt")));
    EXPECT_FALSE(listings.listed(dir() + "/"));
    // An entry that cannot be examined is still listed.
    ASSERT_EQ(::symlink(path("nowhere").c_str(), path("Dangling").c_str()), 0);
    EXPECT_FALSE(listings.listed(path("DANGLING")));  // the folder was read before the link was made
    listings.clear();
    EXPECT_TRUE(listings.listed(path("DANGLING")));
}

TEST_F(FolderListingsTest, EachFolderIsReadOnceUntilCleared) {
    writeFile(path("a/One.txt"), "1");
    writeFile(path("b/Two.txt"), "2");
    FolderListings listings;
    for (int k = 0; k < 50; ++k) {
        EXPECT_EQ(listings.findIgnoringCase(path("a/missing" + std::to_string(k))),
                  path("a/missing" + std::to_string(k)));
        EXPECT_EQ(listings.findIgnoringCase(path("a/ONE.TXT")), path("a/One.txt"));
        EXPECT_FALSE(listings.listed(path("b/missing" + std::to_string(k))));
    }
    EXPECT_EQ(listings.folderReads(), 2);
    // Names that exist as written need no listing at all.
    EXPECT_EQ(listings.findIgnoringCase(path("b/Two.txt")), path("b/Two.txt"));
    EXPECT_EQ(listings.folderReads(), 2);
    listings.clear();
    EXPECT_EQ(listings.findIgnoringCase(path("a/one.txt")), path("a/One.txt"));
    EXPECT_EQ(listings.folderReads(), 3);
}

TEST_F(FolderListingsTest, AFileCreatedAfterAListingIsSeenOnceItIsCleared) {
    writeFile(path("other.txt"), "o");
    FolderListings listings;
    EXPECT_EQ(listings.findIgnoringCase(path("NEW.SOL")), path("NEW.SOL"));
    EXPECT_FALSE(listings.listed(path("NEW.SOL")));
    writeFile(path("new.sol"), "n");
    // Until cleared the listing is the folder as it was first read...
    EXPECT_EQ(listings.findIgnoringCase(path("NEW.SOL")), path("NEW.SOL"));
    // ...but a name as written is always looked up on disk.
    EXPECT_EQ(listings.findIgnoringCase(path("new.sol")), path("new.sol"));
    listings.clear();
    EXPECT_EQ(listings.findIgnoringCase(path("NEW.SOL")), path("new.sol"));
    EXPECT_TRUE(listings.listed(path("NEW.SOL")));
    // And a file removed is gone from the next listing.
    ASSERT_TRUE(deleteFile(path("new.sol")).isOk());
    listings.clear();
    EXPECT_EQ(listings.findIgnoringCase(path("NEW.SOL")), path("NEW.SOL"));
    EXPECT_FALSE(listings.listed(path("NEW.SOL")));
}

}  // namespace
}  // namespace vdln
