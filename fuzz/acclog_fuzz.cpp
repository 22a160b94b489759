// libFuzzer target over the reader of accuracy summaries in a solution log:
// the whole-log reader with each of its modes, and the summary-block reader
// on the lines of the input.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/paths.h"
#include "base/strutil.h"
#include "fuzzscratch.h"
#include "results/accsummary.h"

using namespace vdln;
using vdln::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string dir = fuzz::scratch("acclog_fuzz");
    const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const unsigned mode = data[0];
    const std::string file = JoinPath(dir, "sim.log");
    fuzz::put(file, input);
    AccSummary summary;
    const int firstEntry = 1 + static_cast<int>(mode % 5);
    Status s = GetAccSummary2(file, (mode >> 3) % 3, summary, firstEntry, mode & 64, mode & 128);
    if (!s) check(!s.message().empty());
    std::vector<std::string> lines = split(input, '\n');
    AccPlaces places;
    Status p = GetPlacesSumry(lines, places);
    if (p) check(places.grade >= 0);
    return 0;
}
