#include "harstore.h"

#include <ctime>

#include "base/strutil.h"
#include "formats/harfile.h"

namespace vdln::suite {

HeaderDef HeaderDef::reals(std::string name, std::string description, std::vector<SetDef> sets,
                           std::vector<float> values) {
    HeaderDef h;
    h.name = std::move(name);
    h.description = std::move(description);
    h.sets = std::move(sets);
    for (const auto& s : h.sets) h.dims.push_back(static_cast<int>(s.elements.size()));
    h.values = std::move(values);
    return h;
}

HeaderDef HeaderDef::text(std::string name, std::string description, std::vector<std::string> strings) {
    HeaderDef h;
    h.name = std::move(name);
    h.description = std::move(description);
    h.isStrings = true;
    h.strings = std::move(strings);
    return h;
}

size_t HeaderDef::size() const {
    size_t n = 1;
    for (int d : dims) n *= static_cast<size_t>(d < 0 ? 0 : d);
    return n;
}

Result<std::vector<HeaderDef>> readHeaderFile(const std::string& path) {
    auto file = ReadHarFile(path);
    if (!file) return file.status();
    std::vector<HeaderDef> out;
    for (const auto& hp : file->headers) {
        if (!hp) continue;
        const HarHeader& h = *hp;
        HeaderDef s;
        s.name = h.trimmedName();
        s.description = h.description;
        if (h.HeadType == "1C") {
            s.isStrings = true;
            s.strings = h.strings;
        } else if (h.HeadType == "RE") {
            for (int k = 1; k <= h.NDim; ++k) {
                s.sets.push_back({h.setName(k), h.elementNames(k)});
                s.dims.push_back(static_cast<int>(h.dims[k - 1]));
            }
            s.values = h.realValues();
        } else {
            continue;
        }
        out.push_back(std::move(s));
    }
    return out;
}

Status writeHeaderFile(const std::string& path, const std::string& programName,
                       const std::vector<HeaderDef>& headers) {
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm tmv{};
    localtime_r(&now, &tmv);
    std::strftime(stamp, sizeof stamp, "%d/%m/%Y %H:%M:%S", &tmv);
    auto file = NewHarFile(programName, stamp, false, false);
    if (!file) return file.status();
    for (const auto& s : headers) {
        Result<PHarHeader> h = Status::fail("no header");
        if (s.isStrings) {
            std::vector<std::string> strings = s.strings;
            if (strings.empty()) strings.push_back(" ");
            h = makeStringHeader(s.name, s.description, strings);
        } else {
            std::vector<HarSet> sets;
            for (const auto& set : s.sets) sets.push_back({set.name, set.elements});
            h = makeREHeader(s.name, s.description, sets, s.values);
        }
        if (!h) return h.status();
        Status added = addHeader(file.value(), std::move(h.value()));
        if (!added) return added;
    }
    return WriteHarFile(path, programName, stamp, file.value());
}

const HeaderDef* findHeader(const std::vector<HeaderDef>& headers, std::string_view name) {
    const std::string want = trim(name);
    for (const auto& h : headers)
        if (iequals(trim(h.name), want)) return &h;
    return nullptr;
}

}  // namespace vdln::suite
