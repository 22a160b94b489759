// libFuzzer target over the header array file reader: flavour detection,
// both record framings, description and set-information records, every data
// layout, and the whole-file operations.  A file that reads and writes back
// must read again with the same headers.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "formats/harfile.h"

using namespace vdln;

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

std::string scratch(const char* suffix) {
    const char* dir = std::getenv("VDLN_FUZZ_DIR");
    return std::string(dir ? dir : "/tmp") + "/vdlnhar_fuzz_" + std::to_string(::getpid()) + suffix;
}

bool writeBytes(const std::string& name, const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(name.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string in = scratch(".har");
    static const std::string out = scratch("_out.har");
    if (!writeBytes(in, data, size)) return 0;

    bool skipped = false;
    auto strict = ReadHarFile(in, false, false, &skipped);
    auto lenient = ReadHarFile(in, true, true, &skipped);
    if (strict) check(lenient.isOk());
    (void)ReadHeaderFromHarFile(in, "", true);
    if (lenient && lenient->count() > 0)
        (void)ReadHeaderFromHarFile(in, lenient->headers.back()->name, false);

    if (lenient) {
        HarFile& f = *lenient;
        for (const auto& h : f.headers) {
            check(h->name.size() == 4);
            if (h->HeadType == "RE") check(h->HeadMat.allocated() && h->NDim >= 0 && h->NDim <= 7);
        }
        const std::int64_t count = f.count();
        // Writing back is checked for files of modest size only (a tiny
        // sparse input may declare a gigabyte of zeros).
        std::int64_t elements = 0;
        for (const auto& h : f.headers) elements += h->HeadMat.size();
        if (elements <= 1000000 && WriteHarFile(out, "fuzz", "now", f)) {
            auto again = ReadHarFile(out);
            check(again.isOk());
            check(again->count() == count);
        }
    }
    return 0;
}
