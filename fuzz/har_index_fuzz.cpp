// libFuzzer target over the header index reader: the index of any file
// must be built (or refused with a message) without a crash or an access
// outside the file's bytes, and must agree with the whole-file reader: when
// a whole read succeeds, every header is indexed, readable on its own, and
// read back equal, and its default slice holds the same values.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "formats/harfile.h"
#include "formats/harindex.h"

using namespace vdln;

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

std::string scratch(const char* suffix) {
    const char* dir = std::getenv("VDLN_FUZZ_DIR");
    return std::string(dir ? dir : "/tmp") + "/vdlnidx_fuzz_" + std::to_string(::getpid()) + suffix;
}

bool writeBytes(const std::string& name, const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(name.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

struct RemoveAtExit {
    std::string name;
    ~RemoveAtExit() { std::remove(name.c_str()); }
};

bool sameValues(const HarHeader& a, const HarHeader& b) {
    if (a.HeadType != b.HeadType || a.dims != b.dims || a.NDim != b.NDim) return false;
    if (a.HeadType == "1C") return a.strings == b.strings;
    if (a.HeadType == "2I") {
        if (!a.intMatrix || !b.intMatrix) return !a.intMatrix && !b.intMatrix;
        for (std::int64_t r = 1; r <= a.rows; ++r)
            for (std::int64_t c = 1; c <= a.cols; ++c)
                if (a.intMatrix->i32(r, c) != b.intMatrix->i32(r, c)) return false;
        return true;
    }
    if (a.HeadMat.size() != b.HeadMat.size()) return false;
    return a.HeadMat.size() == 0 || std::memcmp(a.HeadMat.Root(), b.HeadMat.Root(),
                                                static_cast<std::size_t>(a.HeadMat.size()) * 4) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const RemoveAtExit in{scratch(".har")};
    if (!writeBytes(in.name, data, size)) return 0;

    HarReader reader;
    Status opened = reader.open(in.name);
    if (!opened) check(!opened.message().empty());
    std::int64_t elements = 0;
    for (const auto& e : reader.entries()) {
        check(e.offset >= 0 && e.endOffset >= e.offset && e.endOffset <= static_cast<std::int64_t>(size));
        check(e.details.name.size() == 4);
        if (e.readable()) elements += e.details.elementCount;
    }
    // Hostile sizes are refused by the readers; big but valid ones are
    // only compared when small enough to read quickly.
    if (elements > 2000000) return 0;
    for (const auto& e : reader.entries()) {
        auto h = reader.readHeader(e);
        if (!h) check(!h.message().empty());
        const HarSliceChoice choice = defaultSliceChoice(e.details);
        auto slice = reader.readSlice(e, choice);
        if (slice && h) {
            auto expected = sliceOf(**h, choice);
            check(expected.isOk());
            check(expected->reals == slice->reals && expected->ints == slice->ints &&
                  expected->strings == slice->strings);
        }
    }

    bool skipped = false;
    auto whole = ReadHarFile(in.name, false, false, &skipped);
    if (!whole) return 0;
    // The index walks data records by their markers and checks each one,
    // where the whole reader stops at each header's last data record: a
    // damaged record after it fails only the index, with the record layer's
    // message.  A data record of 4 bytes is a header name to the index.
    if (!opened) {
        check(opened.message().find(" [SkipHead]") != std::string::npos);
        return 0;
    }
    for (const auto& e : reader.entries())
        if (!e.readable()) return 0;
    // Otherwise both readers see the same headers, equal one by one.
    std::size_t ordinary = 0;
    for (const auto& e : reader.entries()) {
        auto h = reader.readHeader(e);
        check(h.isOk());
        // Names may repeat; compare with the whole read only when unique.
        std::size_t same = 0;
        for (const auto& o : reader.entries()) same += o.details.name == e.details.name;
        if (same == 1) {
            const HarHeader* w = whole->find(e.details.name);
            check(w != nullptr);
            check(w->HeadType == e.details.HeadType && w->dimsText == e.details.dimsText &&
                  w->description == e.details.description && w->dims == e.details.dims);
            check(sameValues(**h, *w));
        }
        if (e.details.name != "XXCD" && e.details.name != "XXCR" && e.details.name != "XXHS" &&
            e.details.name != "XXFF")
            ++ordinary;
    }
    check(ordinary == whole->headers.size());
    return 0;
}
