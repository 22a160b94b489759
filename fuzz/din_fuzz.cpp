// libFuzzer target over the Dynamic Information file reader (".din") with
// an application of a few years, then what the program does with the
// record it filled.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/dialogs.h"
#include "base/paths.h"
#include "doubles/scripteddialogs.h"
#include "formats/din.h"
#include "fuzzscratch.h"
#include "model/simdetails.h"
#include "model/simgrid.h"
#include "model/simrecord.h"

using namespace vdln;
using vdln::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string dir = fuzz::scratch("din_fuzz");
    const std::string file = JoinPath(dir, "model.din");
    fuzz::put(file, std::string(reinterpret_cast<const char*>(data), size));
    TSimRecord rec = CreateSimRecord();
    InitSimRecord(rec, dir);
    ScriptedDialogs dialogs;
    Status s = ReadDinFile(file, rec, dialogs, size % 2 == 0);
    if (!s) check(!s.message().empty());
    check(rec.NumFiles >= 0 && rec.NumFiles <= kMaxUserFiles);
    check(rec.NumModelFiles >= 0 && rec.NumModelFiles <= kMaxModelFiles);
    RebuildFilesFromModel(rec);
    RefreshGrid(rec);
    auto lines = SimRecordLines(rec);
    if (lines) check(!lines->empty());
    return 0;
}
