#include "formats/cmftoken.h"

namespace vdln {

namespace {

constexpr char kQ = '"';

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isSpecial(char c) {
    return c == '=' || c == ';' || c == '(' || c == ')';
}

// Clamps a 1-based position into 1..size+1 and returns the 0-based index.
size_t indexOf(std::string_view line, int pos) {
    if (pos < 1) return 0;
    const size_t i = static_cast<size_t>(pos) - 1;
    return i > line.size() ? line.size() : i;
}

int posOf(size_t index) {
    return static_cast<int>(index) + 1;
}

}  // namespace

std::string cmfWord(std::string_view line, int pos, int& nextPos, int* start) {
    size_t i = indexOf(line, pos);
    while (i < line.size() && isBlank(line[i])) ++i;
    const size_t b = i;
    while (i < line.size() && !isBlank(line[i])) ++i;
    if (start) *start = posOf(b);
    nextPos = posOf(i);
    return std::string(line.substr(b, i - b));
}

std::string cmfToken(std::string_view line, int pos, int& tokenStart, int& nextPos) {
    size_t i = indexOf(line, pos);
    while (i < line.size() && isBlank(line[i])) ++i;
    tokenStart = posOf(i);
    if (i >= line.size()) {
        nextPos = posOf(line.size());
        return "";
    }
    const size_t b = i;
    if (line[i] == kQ) {
        const size_t close = line.find(kQ, i + 1);
        const size_t end = close == std::string_view::npos ? line.size() : close + 1;
        nextPos = posOf(end);
        return std::string(line.substr(b, end - b));
    }
    if (isSpecial(line[i])) {
        nextPos = posOf(i + 1);
        return std::string(1, line[i]);
    }
    while (i < line.size() && !isBlank(line[i]) && !isSpecial(line[i])) ++i;
    nextPos = posOf(i);
    return std::string(line.substr(b, i - b));
}

}  // namespace vdln
