#include "archive/zipfile.h"

#include <sys/stat.h>
#include <zip.h>

#include <filesystem>

#include "base/fileutil.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

using testing::readFile;
using testing::writeFile;

class ZipFileTest : public testing::TempDirTest {
protected:
    // Writes an archive with libzip directly, so tests can make members that
    // the program's own writer never makes.
    std::string rawZip(const std::string& name,
                       const std::vector<std::pair<std::string, std::string>>& members,
                       bool symlinkFirst = false) {
        std::string p = path(name);
        int err = 0;
        zip_t* z = zip_open(p.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
        EXPECT_NE(z, nullptr);
        for (size_t i = 0; i < members.size(); ++i) {
            const auto& [n, data] = members[i];
            zip_source_t* src = zip_source_buffer(z, data.data(), data.size(), 0);
            zip_int64_t idx = zip_file_add(z, n.c_str(), src, ZIP_FL_OVERWRITE);
            EXPECT_GE(idx, 0) << n;
            zip_set_file_compression(z, static_cast<zip_uint64_t>(idx), ZIP_CM_STORE, 0);
            if (i == 0 && symlinkFirst)
                zip_file_set_external_attributes(z, static_cast<zip_uint64_t>(idx), 0, ZIP_OPSYS_UNIX,
                                                 (S_IFLNK | 0777u) << 16);
        }
        EXPECT_EQ(zip_close(z), 0);
        return p;
    }
};

TEST_F(ZipFileTest, WritesAndReadsBackFilesWithTheirTimes) {
    writeFile(path("src/a.har"), std::string(100000, 'x') + "end");
    writeFile(path("src/b.txt"), "b\r\n");
    ASSERT_TRUE(setFileWriteTime(path("src/a.har"), fileTimeFromUnix(1600000000, 0)));
    auto w = ZipWriter::create(path("out.zip"));
    ASSERT_TRUE(w) << w.message();
    ASSERT_TRUE(w->addFile(path("src/a.har"), "a.har"));
    ASSERT_TRUE(w->addFile(path("src/b.txt"), "b.txt"));
    ASSERT_TRUE(w->addBytes("xxfltime.xxx", "stamps\r\n"));
    EXPECT_FALSE(std::filesystem::exists(path("out.zip"))) << "the final name appears only on commit";
    ASSERT_TRUE(w->commit());

    auto r = ZipReader::open(path("out.zip"));
    ASSERT_TRUE(r) << r.message();
    ASSERT_EQ(r->members().size(), 3u);
    const ZipMember* a = r->find("A.HAR");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->size, 100003u);
    EXPECT_LT(a->compressedSize, a->size) << "members are compressed";
    ASSERT_TRUE(makeDirectories(path("x")));
    auto all = r->extractAll(path("x"));
    ASSERT_TRUE(all) << all.message();
    EXPECT_EQ(readFile(path("x/a.har")), readFile(path("src/a.har")));
    EXPECT_EQ(readFile(path("x/xxfltime.xxx")), "stamps\r\n");
    auto t = fileWriteTime(path("x/a.har"));
    ASSERT_TRUE(t);
    EXPECT_EQ(*t / 20000000, fileTimeFromUnix(1600000000, 0) / 20000000);
    auto only = r->extractAll(path("x"), "*.TXT");
    ASSERT_TRUE(only);
    EXPECT_EQ(only->size(), 1u);
}

TEST_F(ZipFileTest, ProgramsKeepTheirExecutePermission) {
    writeFile(path("src/model.exe"), "#!/bin/sh\n");
    writeFile(path("src/data.har"), "x");
    ASSERT_EQ(::chmod(path("src/model.exe").c_str(), 0755), 0);
    auto w = ZipWriter::create(path("p.zip"));
    ASSERT_TRUE(w);
    ASSERT_TRUE(w->addFile(path("src/model.exe"), "model.exe"));
    ASSERT_TRUE(w->addFile(path("src/data.har"), "data.har"));
    ASSERT_TRUE(w->commit());
    auto r = ZipReader::open(path("p.zip"));
    ASSERT_TRUE(r);
    ASSERT_TRUE(makeDirectories(path("out")));
    ASSERT_TRUE(r->extractAll(path("out")));
    struct stat st {};
    ASSERT_EQ(::stat(path("out/model.exe").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
    ASSERT_EQ(::stat(path("out/data.har").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0111, 0u);
}

TEST_F(ZipFileTest, AMissingFileFailsAndAnUncommittedArchiveLeavesNothing) {
    {
        auto w = ZipWriter::create(path("out.zip"));
        ASSERT_TRUE(w);
        Status s = w->addFile(path("missing.har"), "missing.har");
        EXPECT_EQ(s.message(), "Error zipping file\r\n" + path("missing.har") +
                                   "\r\nThe file seems to be locked by another application.\r\n"
                                   "If so, free the file and try again.");
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir()));
    // An empty archive is still a valid archive.
    auto w = ZipWriter::create(path("empty.zip"));
    ASSERT_TRUE(w);
    ASSERT_TRUE(w->commit());
    auto r = ZipReader::open(path("empty.zip"));
    ASSERT_TRUE(r) << r.message();
    EXPECT_TRUE(r->members().empty());
}

TEST_F(ZipFileTest, HostileMemberNamesAreRefusedAndNothingIsWritten) {
    ASSERT_TRUE(makeDirectories(path("target")));
    const char* names[] = {"../x", "/etc/x", "a/../../x", "c:x", "..\\x", "sub\\..\\x"};
    for (const char* bad : names) {
        SCOPED_TRACE(bad);
        std::string zipPath = rawZip("bad.zip", {{"ok.txt", "fine"}, {bad, "evil"}});
        auto r = ZipReader::open(zipPath);
        ASSERT_TRUE(r) << r.message();
        auto all = r->extractAll(path("target"));
        EXPECT_FALSE(all);
        EXPECT_NE(all.message().find("Refused"), std::string::npos) << all.message();
        EXPECT_TRUE(std::filesystem::is_empty(path("target"))) << "no member is written when any is unsafe";
        const ZipMember* m = r->find(bad);
        ASSERT_NE(m, nullptr);
        EXPECT_FALSE(r->extract(*m, path("target")));
    }
    EXPECT_FALSE(std::filesystem::exists(path("x")));
}

TEST_F(ZipFileTest, SymbolicLinkMembersAreRefused) {
    ASSERT_TRUE(makeDirectories(path("target")));
    std::string zipPath = rawZip("link.zip", {{"link", "/etc/passwd"}}, true);
    auto r = ZipReader::open(zipPath);
    ASSERT_TRUE(r);
    ASSERT_TRUE(r->members()[0].isSymlink);
    auto all = r->extractAll(path("target"));
    EXPECT_FALSE(all);
    EXPECT_TRUE(std::filesystem::is_empty(path("target")));
}

TEST_F(ZipFileTest, ExtractionDoesNotFollowALinkedFolderOutOfTheTarget) {
    ASSERT_TRUE(makeDirectories(path("target")));
    ASSERT_TRUE(makeDirectories(path("outside")));
    std::filesystem::create_directory_symlink(path("outside"), path("target/sub"));
    std::string zipPath = rawZip("deep.zip", {{"sub/x.txt", "evil"}});
    auto r = ZipReader::open(zipPath);
    ASSERT_TRUE(r);
    EXPECT_FALSE(r->extractAll(path("target")));
    EXPECT_TRUE(std::filesystem::is_empty(path("outside")));
}

TEST_F(ZipFileTest, AMemberWhoseDataDoNotMatchItsDeclaredSizeIsNotLeftBehind) {
    std::string zipPath = rawZip("lie.zip", {{"data.bin", std::string(1000, 'A')}});
    // Make the member claim 10 bytes in both headers (it stores 1000).
    std::string bytes = readFile(zipPath);
    auto patch = [&](size_t at) {
        bytes[at] = 10;
        bytes[at + 1] = bytes[at + 2] = bytes[at + 3] = 0;
    };
    size_t local = bytes.find(std::string("PK\x03\x04", 4));
    size_t central = bytes.find(std::string("PK\x01\x02", 4));
    ASSERT_NE(local, std::string::npos);
    ASSERT_NE(central, std::string::npos);
    patch(local + 22);
    patch(central + 24);
    writeFile(zipPath, bytes);
    ASSERT_TRUE(makeDirectories(path("target")));
    auto r = ZipReader::open(zipPath);
    ASSERT_TRUE(r) << r.message();
    if (r) {
        EXPECT_EQ(r->members()[0].size, 10u);
        EXPECT_FALSE(r->extractAll(path("target")));
        EXPECT_FALSE(r->read(r->members()[0]));
    }
    EXPECT_TRUE(std::filesystem::is_empty(path("target")));
}

TEST_F(ZipFileTest, NotAnArchive) {
    writeFile(path("junk.zip"), "this is not a zip file");
    auto r = ZipReader::open(path("junk.zip"));
    ASSERT_FALSE(r);
    EXPECT_EQ(r.message(), path("junk.zip") + "seems not to be a valid zip archive");
}

TEST(ZipNames, WildcardsAndSafety) {
    EXPECT_TRUE(wildcardMatch("*.ds*", "app.DS1"));
    EXPECT_TRUE(wildcardMatch("*", ""));
    EXPECT_TRUE(wildcardMatch("a?c", "ABC"));
    EXPECT_FALSE(wildcardMatch("*.zip", "model.zipx"));
    EXPECT_EQ(unsafeMemberReason("model.zip"), "");
    EXPECT_EQ(unsafeMemberReason("data/base.har"), "");
    EXPECT_NE(unsafeMemberReason(""), "");
    EXPECT_NE(unsafeMemberReason("a\x01"), "");
}

}  // namespace
}  // namespace vdln
