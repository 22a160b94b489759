// libFuzzer target over the Model Information file reader (every section,
// developer mode on and off), the text time stamp, the logical-file line
// parser, and the Dynamic Information file reader over a small file table.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/dialogs.h"
#include "base/textfile.h"
#include "doubles/scripteddialogs.h"
#include "formats/modelinfo.h"
#include "model/filetable.h"

using namespace vdln;

namespace {
void check(bool condition) {
    if (!condition) std::abort();
}

std::string scratchFile() {
    static const std::string name = "/tmp/vdln_modelinfo_fuzz_" + std::to_string(getpid()) + ".min";
    return name;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string file = scratchFile();
    {
        std::FILE* f = std::fopen(file.c_str(), "wb");
        if (!f) return 0;
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }

    MinItemSet all;
    for (int k = 0; k < kMinItemCount; ++k)
        if (minItemImplemented(k)) all.set(static_cast<size_t>(k));
    for (bool developer : {false, true}) {
        SolInfoRec rec;
        Status s = RequestSolInfo(file, all, true, true, rec, developer);
        if (!s) continue;
        check(rec.sets.size() <= static_cast<size_t>(kMinMaxSets));
        check(rec.files.size() <= static_cast<size_t>(kMinMaxFiles));
        check(rec.coeffs.size() <= static_cast<size_t>(kMinMaxCoefficients));
        check(rec.descLines.size() <= static_cast<size_t>(kMinMaxDescLines));
        check(rec.numOrdinaryVars >= 0 && static_cast<size_t>(rec.numOrdinaryVars) <= rec.vars.size());
        for (const TVarRec& v : rec.vars) {
            check(v.exoFlags.empty() || static_cast<std::int64_t>(v.exoFlags.size()) == v.size);
            for (int a : v.argSets) check(a >= 1 && static_cast<size_t>(a) <= rec.sets.size());
            check(rec.findVariable(v.name) >= 1);
            check(v.levCoefNo >= 0 && static_cast<size_t>(v.levCoefNo) <= rec.coeffs.size());
        }
        for (const TEquRec& e : rec.equs)
            for (int a : e.argSets) check(a >= 1 && static_cast<size_t>(a) <= rec.sets.size());
    }

    auto stamp = GetTimeDateStamp("text", file, "#TMDATE");
    if (stamp) check(stamp->stamp.size() <= 40);

    for (const std::string& line : splitLines(text)) (void)parseMinFileLine(line);

    // The same bytes as a Dynamic Information file.
    TSimRecord rec = CreateSimRecord();
    const char* names[] = {"BASEDATA", "PARAMS", "EXTRA", "EXTRA4", "(Solution)"};
    for (const char* n : names)
        rec.ModelFiles[++rec.NumModelFiles] = makeModelFileDesc(n, "har", true, n[0] != 'P', "");
    ScriptedDialogs dialogs;
    Status d = ReadDinFile(file, rec, dialogs, true);
    check(rec.NumFiles == 4);
    for (int n = 1; n <= rec.NumFiles; ++n) {
        check(rec.Files[n].LagFile >= 0 && rec.Files[n].LagFile <= rec.NumFiles);
        check(rec.Files[n].Key.size() <= 3);
    }
    check(dialogs.messages().empty());
    (void)d;
    std::remove(file.c_str());
    return 0;
}
