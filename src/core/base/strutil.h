#pragma once
/// Small string helpers shared by every module (ASCII letter case, trimming,
/// comparisons without regard to case, number parsing without exceptions).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vdln {

std::string toUpper(std::string_view s);
std::string toLower(std::string_view s);
/// Equal without regard to ASCII letter case.
bool iequals(std::string_view a, std::string_view b);
/// a starts with b, without regard to ASCII letter case.
bool istartsWith(std::string_view a, std::string_view b);
bool iendsWith(std::string_view a, std::string_view b);
/// Removes blanks, tabs, CR and LF at both ends.
std::string trim(std::string_view s);
/// The same as `trim`, as a view into `s` (no copy).
std::string_view trimmedView(std::string_view s);
/// Lower-case form of an ASCII letter; any other character is returned as is.
inline char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}
std::string trimLeft(std::string_view s);
std::string trimRight(std::string_view s);
/// Splits at every occurrence of `sep` (empty fields kept).
std::vector<std::string> split(std::string_view s, char sep);
/// Whole-text integer parse (leading/trailing blanks allowed); nullopt when
/// the text is not an integer or does not fit.
std::optional<std::int64_t> parseInt(std::string_view s);
/// Whole-text real parse (leading/trailing blanks allowed).
std::optional<double> parseDouble(std::string_view s);
/// Hash and equality of names without regard to ASCII letter case, for
/// hash maps looked up with any string or string view.
struct CaseInsensitiveHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const noexcept {
        std::uint64_t h = 1469598103934665603ULL;  // FNV-1a
        for (char c : s) {
            h ^= static_cast<unsigned char>(lowerAscii(c));
            h *= 1099511628211ULL;
        }
        return static_cast<std::size_t>(h);
    }
};
struct CaseInsensitiveEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept { return iequals(a, b); }
};
/// The first `n` characters (all when shorter).
inline std::string leftStr(std::string_view s, size_t n) {
    return std::string(s.substr(0, n));
}

}  // namespace vdln
