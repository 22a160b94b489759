// libFuzzer target over the reader of first-year data lists (".mdf") and
// of their lines: the list is rebuilt for a model with three input files
// (two of whose candidate files exist), and every line is parsed.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/dialogs.h"
#include "base/paths.h"
#include "doubles/scripteddialogs.h"
#include "fuzzscratch.h"
#include "model/modelsel.h"
#include "model/simrecord.h"

using namespace vdln;
using vdln::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string dir = fuzz::scratch("mdf_fuzz");
    static const bool made = [&] {
        fuzz::put(JoinPath(dir, "base.har"), "x");
        fuzz::put(JoinPath(dir, "PARAMS.HAR"), "x");
        return true;
    }();
    (void)made;
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string file = JoinPath(dir, "data.mdf");
    fuzz::put(file, input);

    TSimRecord rec = CreateSimRecord();
    InitSimRecord(rec, dir);
    ModelDataState state;
    state.dataDir = dir;
    state.inputFiles = {
        {"BASEDATA", "base data", "har"}, {"PARAMS", "parameters", "har"}, {"EXTRA", "", "txt"}};
    ScriptedDialogs dialogs;
    ModelSelectEnv env;
    env.tempDir = dir;
    env.programDir = dir;
    ModelSelector sel(rec, state, dialogs, env);
    sel.BuildFirstYearList(file);
    check(state.firstYearList.size() <= state.inputFiles.size() + 1000);
    for (const std::string& line : state.firstYearList) {
        FirstYearLineParts p = parseFirstYearLine(line);
        if (p.valid) (void)p.actualPath();
    }
    size_t start = 0;
    while (start <= input.size()) {
        size_t end = input.find('\n', start);
        if (end == std::string::npos) end = input.size();
        FirstYearLineParts p = parseFirstYearLine(input.substr(start, end - start));
        if (p.valid) (void)p.unset();
        start = end + 1;
    }
    return 0;
}
