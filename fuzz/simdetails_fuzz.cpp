// libFuzzer target over the text form of the settings (a ".ds1" file): the
// "Load Simulation Details" command with each choice of parts, the settings
// reader on its own (followed by writing the settings back), and the
// start-up sequence reading "Vardelon.ini" and "VdlnSim.txt" from a keep
// directory; periods omitted at the start of what was loaded.
//
// Input: the ".ds1" text, optionally followed by a NUL byte and the text of
// the ".ds2" file beside it (otherwise a valid ".ds2" of a new application
// is used).  The last byte of the input picks the parts to load and whether
// the data files change when periods are omitted; the byte before it the
// number of periods omitted.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "base/clock.h"
#include "base/dialogs.h"
#include "base/fileutil.h"
#include "base/paths.h"
#include "doubles/scripteddialogs.h"
#include "model/settings.h"
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

struct Scratch {
    std::string dir;
    std::string keep;
    std::string validDs2;
};

void removeScratch();

const Scratch& scratch() {
    static const Scratch s = [] {
        Scratch x;
        x.dir = scratchRoot() + "/vdln_simdetails_fuzz_" + std::to_string(getpid());
        x.keep = JoinPath(x.dir, "keep");
        (void)makeDirectories(x.keep);
        TSimRecord rec = CreateSimRecord();
        InitSimRecord(rec, x.dir);
        Result<std::vector<std::string>> lines = SimRecordLines(rec);
        for (const std::string& l : *lines) x.validDs2 += l + "\r\n";
        return x;
    }();
    // Registered once the names are built, so they are still there at exit.
    static const bool cleanup = std::atexit(removeScratch) == 0;
    (void)cleanup;
    return s;
}

void removeScratch() {
    std::error_code ec;
    std::filesystem::remove_all(scratch().dir, ec);
}

void put(const std::string& file, const std::string& text) {
    std::FILE* f = std::fopen(file.c_str(), "wb");
    if (!f) return;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

// Answers the parts dialog and the omit-periods dialog with fixed choices.
class FixedHooks : public SimDetailsHooks {
public:
    FixedHooks(LoadPartsChoice c, OmitPeriodsChoice o) : m_choice(c), m_omit(o) {}
    std::optional<LoadPartsChoice> chooseLoadParts(Dialogs&, bool) override { return m_choice; }
    std::optional<OmitPeriodsChoice> chooseOmitPeriods(Dialogs&, int maxPeriods) override {
        OmitPeriodsChoice o = m_omit;
        o.periods = 1 + o.periods % std::max(maxPeriods, 1);
        return o;
    }

private:
    LoadPartsChoice m_choice;
    OmitPeriodsChoice m_omit;
};

void checkRecord(const TSimRecord& rec) {
    check(rec.NumYears >= 0 && rec.NumYears <= kMaxYears);
    check(rec.NumFiles >= 0 && rec.NumFiles <= kMaxUserFiles);
    check(rec.NumModelFiles >= 0 && rec.NumModelFiles <= kMaxModelFiles);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Scratch& sc = scratch();
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t nul = input.find('\0');
    const std::string ds1Text = input.substr(0, nul);
    const std::string ds2Text = nul == std::string::npos ? sc.validDs2 : input.substr(nul + 1);
    const std::string ds1 = JoinPath(sc.dir, "app.ds1");
    const std::string ds2 = JoinPath(sc.dir, "app.ds2");
    put(ds1, ds1Text);
    put(ds2, ds2Text);

    SettingsContext ctx;
    ctx.programDir = sc.dir;
    ctx.currentTempDir = JoinPath(sc.dir, "tmp");
    FixedClock clock{fileTimeFromLocal(2026, 3, 4, 5, 6, 7)};

    // The command, with the choice of parts taken from the last byte.
    {
        const unsigned pick = size ? data[size - 1] : 0;
        LoadPartsChoice choice;
        choice.kind = static_cast<LoadPartsChoice::Kind>(static_cast<int>(pick % 5) - 1);
        for (int c = 0; c < 4; ++c) choice.columns[static_cast<size_t>(c)] = (pick >> (3 + c)) & 1;
        TSimRecord rec = CreateSimRecord();
        InitSimRecord(rec, sc.dir);
        ProgramSettings settings;
        ScriptedDialogs dialogs;
        OmitPeriodsChoice omit;
        omit.periods = size > 1 ? data[size - 2] : 0;
        omit.changeDataFiles = (pick & 0x80) != 0;
        FixedHooks hooks(choice, omit);
        SimDetailsSession s{rec, settings, ctx, dialogs, hooks, clock};
        (void)LoadSimDetails(s, ds1);
        checkRecord(rec);
        RefreshGrid(rec);
        // What was loaded can be saved again, and periods omitted at its start.
        check(WriteDynamicSimInfo(s, JoinPath(sc.dir, "again.ds1"), false, 0));
        dialogs.queueButton(BtnYes);
        dialogs.queueButton(BtnYes);
        (void)OmitPeriodsAtStart(s);
        checkRecord(rec);
        check(SimRecordLines(rec).isOk());
    }

    // The reader on its own, every part, then written back and read again.
    {
        TSimRecord rec = CreateSimRecord();
        InitSimRecord(rec, sc.dir);
        ProgramSettings settings;
        ScriptedDialogs dialogs;
        (void)ReadIniOptionsText(ds1Text, SettingsParts::all(), settings, rec, ctx, dialogs);
        checkRecord(rec);
        std::vector<std::string> lines = SettingsTextLines(settings, rec, ctx);
        check(!lines.empty());
        const std::string ini = JoinPath(sc.dir, "written.ini");
        check(WriteIniOptions(ini, false, settings, rec, ctx, dialogs));
        ProgramSettings back;
        TSimRecord rec2 = CreateSimRecord();
        (void)ReadIniOptions(ini, SettingsParts::all(), back, rec2, ctx, dialogs);
        check(back.NoRerun == settings.NoRerun && back.ConcurrentSolves == settings.ConcurrentSolves);
        (void)deleteFile(ini);
    }

    // Start-up: "Vardelon.ini" and "VdlnSim.txt" of the keep directory.
    {
        put(JoinPath(sc.keep, kSettingsFileName), ds1Text);
        put(JoinPath(sc.keep, kCurrentSimFileName), ds2Text);
        TSimRecord rec = CreateSimRecord();
        ProgramSettings settings;
        ScriptedDialogs dialogs;
        std::string folder = StartupReadSettings(sc.keep, "", 2, settings, rec, ctx, dialogs);
        check(folder == sc.keep);
        checkRecord(rec);
        (void)ReadSettingsVersion(JoinPath(sc.keep, kSettingsFileName));
    }
    return 0;
}
