#include "runrecord/recordstore.h"

#include <functional>
#include <optional>

#include "base/fileutil.h"
#include "base/inifile.h"
#include "runrecord/appbuilder.h"
#include "support/tempdir.h"

namespace vdln {
namespace {

class RunRecordStoreTest : public testing::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        app = std::make_unique<testing::AppBuilder>(dir(), 3);
        app->store = &store;
    }
    std::string baseFile() const { return RunRecordFileName(app->env->keep, 1); }
    IniFile onDisk(const std::string& file) const { return IniFile::loadOrEmpty(file).value(); }

    RunRecordStore store;
    std::unique_ptr<testing::AppBuilder> app;
};

// Every completion is on disk as soon as it is recorded (a crash loses
// nothing), yet the file the store wrote itself is never parsed again.
TEST_F(RunRecordStoreTest, CompletionsAreOnDiskAtOnceAndNotReadBack) {
    for (int i = 1; i <= app->sim.NumYears + 1; ++i) {
        SCOPED_TRACE("year number " + std::to_string(i));
        ASSERT_TRUE(app->runStep(1, i, StepKind::Sim));
        const IniFile disk = onDisk(baseFile());
        if (i <= app->sim.NumYears)
            EXPECT_TRUE(disk.hasKey(std::to_string(app->sim.Years[i]), "Year finished ok"));
        else
            EXPECT_TRUE(disk.hasKey("Run", "ss job finished ok"));
        EXPECT_EQ(disk.text(), store.edit(baseFile()).value()->text());
    }
    EXPECT_EQ(store.parses(), 0);
    EXPECT_EQ(store.value(baseFile(), "Run", "Sim name"), app->sim.SimNames[1].str());
}

// A file changed under the store by another writer is read again, so its
// keys are kept, and the completion writes exactly what a completion
// reading the file from disk writes.
TEST_F(RunRecordStoreTest, AFileChangedUnderTheStoreIsReadAgain) {
    app->runRun(1);
    IniFile changed = onDisk(baseFile());
    changed.set("Notes", "Written by", "another program");
    ASSERT_TRUE(changed.save(baseFile()));

    ASSERT_TRUE(WriteRunRecord(*app->env, app->dialogs, store, 1, 2, StepKind::Sim,
                               app->env->accuracyForYear(2), app->env->methodForYear(2)));
    const std::string throughStore = onDisk(baseFile()).text();
    EXPECT_EQ(store.parses(), 1);

    ASSERT_TRUE(changed.save(baseFile()));
    ASSERT_TRUE(WriteRunRecord(*app->env, app->dialogs, 1, 2, StepKind::Sim, app->env->accuracyForYear(2),
                               app->env->methodForYear(2)));
    EXPECT_EQ(throughStore, onDisk(baseFile()).text());
    EXPECT_NE(throughStore.find("Written by=another program"), std::string::npos);
}

// The identity of a file (device, inode, size, time) tells the store when
// to parse it again.
TEST_F(RunRecordStoreTest, IdentityDecidesWhenToParse) {
    const std::string file = path("rec.ini");
    auto put = [&](const std::string& name) {
        IniFile ini;
        ini.set("Run", "Sim name", name);
        ASSERT_TRUE(ini.save(file));
    };
    struct Case {
        const char* what;
        std::function<void()> change;
        std::optional<std::string> name;
        int parses;
    };
    const Case cases[] = {
        {"first use", [&] { put("AAA"); }, "AAA", 1},
        {"unchanged", [] {}, "AAA", 1},
        {"rewritten, same size", [&] { put("BBB"); }, "BBB", 2},
        {"deleted", [&] { ASSERT_TRUE(deleteFile(file)); }, std::nullopt, 2},
        {"written again", [&] { put("CCCC"); }, "CCCC", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.change();
        EXPECT_EQ(store.value(file, "Run", "Sim name"), c.name);
        EXPECT_EQ(store.view(file).present(), c.name.has_value());
        if (c.name) {
            EXPECT_EQ(store.view(file).get("run", "SIM NAME"), *c.name);
        }
        EXPECT_EQ(store.parses(), c.parses);
    }
}

// A save that fails leaves the file on disk as it was and the store reads
// it again instead of keeping the unsaved edit.
TEST_F(RunRecordStoreTest, AFailedSaveDropsTheEdit) {
    const std::string file = path("missing-folder/rec.ini");
    auto ini = store.edit(file);
    ASSERT_TRUE(ini);
    (*ini)->set("Run", "Sim name", "AAA");
    EXPECT_FALSE(store.save(file));
    EXPECT_EQ(store.value(file, "Run", "Sim name"), std::nullopt);
    EXPECT_FALSE(fileExists(file));
}

}  // namespace
}  // namespace vdln
