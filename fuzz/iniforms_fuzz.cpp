// libFuzzer target over the readers of INI-form files: the INI parser
// (parse, write back, parse again gives the same entries), the settings
// reader on a settings file with every part, the check of a ".ds1" text,
// and the reader of a suite program's report file.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/dialogs.h"
#include "base/inifile.h"
#include "base/paths.h"
#include "doubles/scripteddialogs.h"
#include "env/suite.h"
#include "fuzzscratch.h"
#include "model/settings.h"
#include "model/simrecord.h"

using namespace vdln;
using vdln::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string dir = fuzz::scratch("iniforms_fuzz");
    const std::string input(reinterpret_cast<const char*>(data), size);

    IniFile ini = IniFile::parse(input);
    const std::string written = ini.text();
    IniFile again = IniFile::parse(written);
    check(again.text() == written);

    const std::string file = JoinPath(dir, "Vardelon.ini");
    fuzz::put(file, input);
    ProgramSettings settings;
    TSimRecord rec = CreateSimRecord();
    SettingsContext ctx;
    ctx.programDir = dir;
    ctx.currentTempDir = dir;
    ctx.batchMode = true;
    ScriptedDialogs dialogs;
    ReadIniOptions(file, SettingsParts::all(), settings, rec, ctx, dialogs);
    check(settings.ConcurrentSolves >= 1 && settings.ConcurrentSolves <= 3);
    check(settings.PartTimeLimit >= 0);
    check(rec.NumYears >= 0 && rec.NumYears <= kMaxYears);
    (void)SettingsTextLines(settings, rec, ctx);

    Status checked = CheckSettingsText(input, "app.ds1");
    if (!checked) check(!checked.message().empty());

    const std::string report = JoinPath(dir, "job.rpt");
    fuzz::put(report, input);
    auto rep = readSuiteReport(report);
    if (rep) (void)rep->ok();
    return 0;
}
