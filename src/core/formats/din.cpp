#include "formats/din.h"

#include "base/strutil.h"
#include "base/textfile.h"
#include "formats/cmftoken.h"

namespace vdln {

namespace {

const std::string Q = "\"";

std::vector<std::string> lineTokens(const std::string& line) {
    std::vector<std::string> tokens;
    int pos = 1;
    for (;;) {
        int start = 0, next = 0;
        std::string t = cmfToken(line, pos, start, next);
        if (t.empty()) break;
        tokens.push_back(t);
        if (next <= pos) break;  // no progress: never loop forever
        pos = next;
    }
    return tokens;
}

/// The index (1-based) of the logical file with that name, 0 when none.
int fileIndex(const std::vector<std::string>& names, const std::string& name) {
    for (size_t n = 0; n < names.size(); ++n)
        if (iequals(names[n], name)) return static_cast<int>(n) + 1;
    return 0;
}

/// Applies one line; returns the error text, empty when the line is good.
std::string applyLine(const std::string& line, const std::vector<std::string>& names,
                      std::vector<DinFileFacts>& files) {
    const std::vector<std::string> tok = lineTokens(line);
    const size_t n = tok.size();
    int file = 0;
    size_t i = 0;
    while (i < n) {
        const std::string& t = tok[i];
        if (t == ";") {
            ++i;
            continue;
        }
        if (i + 1 >= n) return "A line containing " + Q + t + Q + " does not end with " + Q + ";" + Q;
        const std::string& v = tok[i + 1];
        if (file == 0) {
            if (!iequals(t, "file"))
                return "Expected " + Q + "file" + Q + " at start of line but found " + Q + t + Q;
            file = fileIndex(names, v);
            if (file == 0) return "Unknown logical file " + Q + v + Q;
            i += 2;
            continue;
        }
        DinFileFacts& f = files[static_cast<size_t>(file) - 1];
        if (iequals(t, "key")) {
            if (v == ";") return "Expect logical file name after " + Q + "key" + Q;
            f.key = leftStr(v, 3);
            i += 2;
        } else if (iequals(t, "role")) {
            if (iequals(v, "lagged-input"))
                f.role = DinRole::LaggedInput;
            else if (iequals(v, "constant-input"))
                f.role = DinRole::ConstantInput;
            else
                return "Unexpected word " + Q + v + Q;
            i += 2;
        } else if (iequals(t, "lagof")) {
            int lag = fileIndex(names, v);
            if (lag == 0) return "Unknown logical file " + Q + v + Q + " (after lagof)";
            f.lagOf = lag;
            i += 2;
        } else if (iequals(t, "usage")) {
            int src = fileIndex(names, v);
            if (src == 0) return "Unknown logical file " + Q + v + Q + " (after usage)";
            int found = 0;
            int values[3] = {0, 0, 0};
            while (found < 3 && i + 2 + static_cast<size_t>(found) < n) {
                auto num = parseInt(tok[i + 2 + static_cast<size_t>(found)]);
                if (!num || *num < -2147483647LL || *num > 2147483647LL) break;
                values[found++] = static_cast<int>(*num);
            }
            if (found < 3)
                return "Expect logical file then 3 integers after " + Q + "usage" + Q + ". Only found " +
                       std::to_string(found);
            f.usage = std::array<int, 4>{src, values[0], values[1], values[2]};
            i += 5;
        } else {
            return "Unexpected word " + Q + t + Q;
        }
    }
    // Every statement ends with ";", also when its words pair up evenly.
    if (n > 0 && tok.back() != ";")
        return "A line containing " + Q + tok.back() + Q + " does not end with " + Q + ";" + Q;
    return "";
}

}  // namespace

DinContents ReadDinStatements(const std::string& fileName, const std::vector<std::string>& logicalNames) {
    DinContents out;
    out.files.resize(logicalNames.size());
    auto lines = readTextLines(fileName);
    if (!lines) {
        out.error = lines.message();
        return out;
    }
    for (const std::string& raw : lines.value()) {
        const std::string line = trim(raw);
        if (line.empty() || line[0] == '!') continue;
        out.error = applyLine(line, logicalNames, out.files);
        if (!out.error.empty()) return out;
    }
    return out;
}

}  // namespace vdln
