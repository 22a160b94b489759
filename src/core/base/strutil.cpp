#include "base/strutil.h"

#include <cctype>
#include <charconv>
#include <cstdlib>
#include <cstring>

namespace vdln {

namespace {
char up(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
}  // namespace

std::string toUpper(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = up(c);
    return r;
}

std::string toLower(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = lowerAscii(c);
    return r;
}

bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    // Names compared are mostly spelled alike: the bytes are compared at
    // once, and letters are folded only where they differ.
    if (a.empty() || std::memcmp(a.data(), b.data(), a.size()) == 0) return true;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

bool istartsWith(std::string_view a, std::string_view b) {
    return a.size() >= b.size() && iequals(a.substr(0, b.size()), b);
}

bool iendsWith(std::string_view a, std::string_view b) {
    return a.size() >= b.size() && iequals(a.substr(a.size() - b.size()), b);
}

std::string trimLeft(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && isBlank(s[i])) ++i;
    return std::string(s.substr(i));
}

std::string trimRight(std::string_view s) {
    size_t n = s.size();
    while (n > 0 && isBlank(s[n - 1])) --n;
    return std::string(s.substr(0, n));
}

std::string_view trimmedView(std::string_view s) {
    size_t i = 0, n = s.size();
    while (i < n && isBlank(s[i])) ++i;
    while (n > i && isBlank(s[n - 1])) --n;
    return s.substr(i, n - i);
}

std::string trim(std::string_view s) {
    return std::string(trimmedView(s));
}

std::vector<std::string> split(std::string_view s, char sep) {
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        size_t p = s.find(sep, start);
        if (p == std::string_view::npos) {
            out.emplace_back(s.substr(start));
            break;
        }
        out.emplace_back(s.substr(start, p - start));
        start = p + 1;
    }
    return out;
}

std::optional<std::int64_t> parseInt(std::string_view s) {
    const std::string_view t = trimmedView(s);
    if (t.empty()) return std::nullopt;
    const char* b = t.data();
    const char* e = t.data() + t.size();
    if (*b == '+') ++b;
    std::int64_t v = 0;
    auto [p, ec] = std::from_chars(b, e, v);
    if (ec != std::errc() || p != e) return std::nullopt;
    return v;
}

std::optional<double> parseDouble(std::string_view s) {
    std::string t = trim(s);
    if (t.empty()) return std::nullopt;
    char* end = nullptr;
    double v = std::strtod(t.c_str(), &end);
    if (end != t.c_str() + t.size()) return std::nullopt;
    return v;
}

}  // namespace vdln
