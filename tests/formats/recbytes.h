#pragma once
// Builds record-file bytes by the published framing rules, independently of
// the library's writer, so tests can make valid and damaged files.
#include <cstdint>
#include <string>
#include <vector>

namespace vdln::testing {

inline std::string laheyMarkerBytes(std::int64_t v) {
    int n = v < 64 ? 0 : v < 16384 ? 1 : v < 4194304 ? 2 : 3;
    std::string out(1, static_cast<char>((v % 64) * 4 + n));
    std::int64_t rest = v / 64;
    for (int k = 0; k < n; ++k, rest /= 256) out += static_cast<char>(rest % 256);
    return out;
}

inline std::string le32(std::int32_t v) {
    auto u = static_cast<std::uint32_t>(v);
    std::string s(4, '\0');
    for (int k = 0; k < 4; ++k) s[k] = static_cast<char>((u >> (8 * k)) & 0xFF);
    return s;
}

inline std::string le32f(float f) {
    std::int32_t v;
    static_assert(sizeof v == sizeof f);
    __builtin_memcpy(&v, &f, 4);
    return le32(v);
}

/// A Lahey file: lead byte, then each record framed.
inline std::string laheyBytes(const std::vector<std::string>& records, bool lead = true) {
    std::string out = lead ? std::string("\xFD") : std::string();
    for (const auto& r : records) {
        std::string m = laheyMarkerBytes(static_cast<std::int64_t>(r.size()));
        std::string t = laheyMarkerBytes(static_cast<std::int64_t>(r.size() + m.size()));
        out += m + r + std::string(t.rbegin(), t.rend());
    }
    return out;
}

/// A Fujitsu file.
inline std::string fujiBytes(const std::vector<std::string>& records) {
    std::string out;
    for (const auto& r : records)
        out += le32(static_cast<std::int32_t>(r.size())) + r + le32(static_cast<std::int32_t>(r.size()));
    return out;
}

}  // namespace vdln::testing
