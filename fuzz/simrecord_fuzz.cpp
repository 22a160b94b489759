// libFuzzer target over the ".ds2" simulation-record reader (from a file and
// from text, with and without the Rerun), then over what the program does
// next with a record it has read: the grid state, the checks of the years
// and of the file table, the first Policy year, the per-year file names, the
// logical-file resolver and writing the record back.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/dialogs.h"
#include "base/fileutil.h"
#include "doubles/scripteddialogs.h"
#include "model/filenames.h"
#include "model/simdetails.h"
#include "model/simgrid.h"
#include "model/simrecord.h"

using namespace vdln;

namespace {
void check(bool condition) {
    if (!condition) std::abort();
}

// A memory-backed folder when there is one: the program's writes are made
// durable, which costs little there.
std::string scratchRoot() {
    return directoryExists("/dev/shm") ? "/dev/shm" : "/tmp";
}

void removeScratch();

std::string scratchDir() {
    static const std::string dir = [] {
        std::string d = scratchRoot() + "/vdln_simrecord_fuzz_" + std::to_string(getpid());
        (void)makeDirectories(d);
        return d;
    }();
    // Registered once the name is built, so it is still there at exit.
    static const bool cleanup = std::atexit(removeScratch) == 0;
    (void)cleanup;
    return dir;
}

void removeScratch() {
    std::error_code ec;
    std::filesystem::remove_all(scratchDir(), ec);
}

// Everything a read record may be handed to next.
void useRecord(TSimRecord& rec, bool noRerun) {
    check(rec.NumYears >= 0 && rec.NumYears <= kMaxYears);
    check(rec.NumModelFiles >= 0 && rec.NumModelFiles <= kMaxModelFiles);
    check(rec.NumFiles >= 0 && rec.NumFiles <= kMaxUserFiles);
    RefreshGrid(rec);
    for (int row = kGridCMFStartRow; row <= rec.NumYears; ++row)
        for (int c = 1; c <= 4; ++c) (void)GridCellText(rec, row, c);
    for (int c = 1; c <= 4; ++c) (void)GridPatternText(rec, c);
    (void)ValidateFileTable(rec);
    (void)DefaultDs1Path(rec, "model", noRerun);
    for (int run = 1; run <= 3; ++run) {
        (void)RunRecordCopyPath(rec, "model", run, noRerun);
        (void)CMFStartFile(rec, run);
        (void)CommonClosureFile(rec, run);
        (void)CommonShockFile(rec, run);
    }
    ScriptedDialogs dialogs;
    PolicyStartOptions options;
    options.doingRE = true;
    options.policyStartOffset = 2;
    int firstPolicyYear = 1;
    for (int mode = 1; mode <= 3; ++mode)
        (void)ComputeFirstPolicyYear(rec, mode, false, true, options, firstPolicyYear, dialogs);
    const int years = std::min(rec.NumYears, 3);
    for (int i = 1; i <= years; ++i) {
        (void)ClosureFileForYear(rec, i, 1);
        (void)ShockFileForYear(rec, i);
        (void)ExtraShockFileForYear(rec, i);
        for (int run = 1; run <= 3; ++run) {
            (void)PerYearFiles(rec, i, run, noRerun, scratchDir());
            for (int f = 1; f <= rec.NumFiles; ++f)
                (void)ResolveLogicalFile(rec, i, run, firstPolicyYear, noRerun, f,
                                         {"file BASEDATA = b.har ;"});
        }
    }
    Result<std::vector<std::string>> lines = SimRecordLines(rec);
    check(lines.isOk());
    TSimRecord copy = CreateSimRecord();
    std::string text;
    for (const std::string& l : *lines) text += l + "\r\n";
    Status again = ReadSimRecordText(copy, text, noRerun, "copy");
    check(again.isOk());
    check(copy.NumYears == rec.NumYears && copy.NumFiles == rec.NumFiles &&
          copy.NumModelFiles == rec.NumModelFiles);
    TSimRecord checked = rec;
    (void)CheckLastYear(checked, dialogs);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string file = scratchDir() + "/app.ds2";
    {
        std::FILE* f = std::fopen(file.c_str(), "wb");
        if (!f) return 0;
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    for (bool noRerun : {false, true}) {
        TSimRecord rec = CreateSimRecord();
        rec.WorkDir = scratchDir();
        Status s =
            noRerun ? ReadSimRecordText(rec, text, noRerun, file) : ReadSimRecordFile(rec, file, noRerun);
        if (!s) {
            check(!s.message().empty());
            continue;
        }
        useRecord(rec, noRerun);
    }
    std::remove(file.c_str());
    return 0;
}
