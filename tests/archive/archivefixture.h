#pragma once
// A small application (see runrecord/appbuilder.h) wired to the archive
// commands, with the settings written by the real settings writer, and
// helpers to build archives by hand with libzip.

#include <zip.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/contexts.h"
#include "archive/archiveenv.h"
#include "base/fileutil.h"
#include "base/paths.h"
#include "doubles/scripteddialogs.h"
#include "model/settings.h"
#include "model/simdetails.h"
#include "model/simgrid.h"
#include "runrecord/appbuilder.h"
#include "support/tempdir.h"

namespace vdln::testing {

class ArchiveFixture : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        app = std::make_unique<AppBuilder>(path("app"), 3);
        prog = path("prog");
        temp = path("temp");
        ASSERT_TRUE(makeDirectories(prog));
        ASSERT_TRUE(makeDirectories(temp));
        sctx.programDir = prog;
        sctx.currentTempDir = temp;
        settings.model.Model = app->env->modelFile;
        settings.model.ModelName = "growth";
        settings.model.ModelDir = app->modelDir;
        settings.model.ModelInfoFile = app->env->modelInfoFile;
        settings.model.FirstYearList = app->env->firstYearList;
        settings.ResultsMapFile = app->env->resultsMapFile;
        env = makeEnv(app->sim);
    }

    std::unique_ptr<ArchiveEnv> makeEnv(const TSimRecord& rec) {
        auto e = std::make_unique<ArchiveEnv>(rec, dlg, app->clock);
        e->programDir = prog;
        e->tempDir = temp;
        StartupDirectories dirs;
        dirs.tempDir = temp;
        fillArchiveEnv(*e, AppState{rec, settings, dirs, prog, false}, sctx);
        return e;
    }

    // Writes an archive with libzip directly, so tests can make members the
    // program's own writer never makes.  `symlink` marks the member of that
    // name as a symbolic link.
    static std::string rawZipBytes(const std::vector<std::pair<std::string, std::string>>& members,
                                   const std::string& symlink = "") {
        std::string file = makeTempDir("rawzip") + "/x.zip";
        int err = 0;
        zip_t* z = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
        for (const auto& [name, data] : members) {
            zip_source_t* src = zip_source_buffer(z, data.data(), data.size(), 0);
            zip_int64_t idx = zip_file_add(z, name.c_str(), src, ZIP_FL_OVERWRITE);
            zip_set_file_compression(z, static_cast<zip_uint64_t>(idx), ZIP_CM_STORE, 0);
            if (name == symlink)
                zip_file_set_external_attributes(z, static_cast<zip_uint64_t>(idx), 0, ZIP_OPSYS_UNIX,
                                                 (0120000u | 0777u) << 16);
        }
        zip_close(z);
        std::string bytes = readFile(file);
        removeTree(dirOf(file));
        return bytes;
    }

    // An ingredients archive whose "cmfbits.zip" holds the given members.
    // A ".ds2" text the reader accepts: three years from 2024 with the
    // default grid.
    static std::string smallDs2Text() {
        TSimRecord rec = CreateSimRecord();
        rec.NumYears = 3;
        rec.StartYear = 2024;
        rec.SimNames[1] = "BS1";
        rec.SimNames[2] = "BR1";
        rec.SimNames[3] = "PL1";
        ComputeYears(rec);
        RefreshGrid(rec);
        auto lines = SimRecordLines(rec);
        std::string text;
        if (lines)
            for (const auto& l : *lines) text += l + "\r\n";
        return text;
    }

    std::string archiveWithCmfBits(const std::string& name, const std::string& cmfbits) {
        std::string bytes =
            rawZipBytes({{"app.ds1", "[Environment]\r\nModel=growth.exe\r\nModel Name=growth\r\n"},
                         {"app.ds2", smallDs2Text()},
                         {"model.zip", rawZipBytes({{"growth.exe", "program"}})},
                         {"data.zip", rawZipBytes({{"base.har", "data"}})},
                         {"cmfbits.zip", cmfbits}});
        writeFile(path(name), bytes);
        return path(name);
    }

    std::unique_ptr<AppBuilder> app;
    std::string prog, temp;
    ProgramSettings settings;
    SettingsContext sctx;
    ScriptedDialogs dlg;
    std::unique_ptr<ArchiveEnv> env;
};

}  // namespace vdln::testing
