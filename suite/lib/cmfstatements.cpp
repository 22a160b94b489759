#include "cmfstatements.h"

#include "base/textfile.h"
#include "suiterun.h"

namespace vdln::suite {

std::string CmfStatement::text() const {
    std::string s;
    for (const auto& t : tokens) s += (s.empty() ? "" : " ") + t;
    return s + " ;";
}

bool isQuoted(const std::string& token) { return !token.empty() && token.front() == '"'; }

namespace {

std::string stripComments(const std::string& raw) {
    std::string line;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '!') {
            if (i + 1 < raw.size() && raw[i + 1] == '!') {
                ++i;  // "!!" disappears
                continue;
            }
            break;  // a single "!" starts the comment
        }
        line += raw[i];
    }
    std::string out;
    bool inLabel = false;
    for (char c : line) {
        if (c == '#') {
            inLabel = !inLabel;
            continue;
        }
        if (!inLabel) out += c;
    }
    return out;  // a "#" without a partner removed the rest of the line
}

bool isSpecial(char c) { return c == '=' || c == ';' || c == '(' || c == ')'; }

}  // namespace

std::vector<std::string> tokenizeCmfLine(const std::string& rawLine) {
    const std::string line = stripComments(rawLine);
    std::vector<std::string> tokens;
    size_t pos = 0;
    while (pos < line.size()) {
        const char c = line[pos];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++pos;
            continue;
        }
        if (c == '"') {
            size_t end = line.find('"', pos + 1);
            if (end == std::string::npos) end = line.size() - 1;
            tokens.push_back(line.substr(pos, end - pos + 1));
            pos = end + 1;
            continue;
        }
        if (isSpecial(c)) {
            tokens.emplace_back(1, c);
            ++pos;
            continue;
        }
        size_t end = pos;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != '\r' &&
               !isSpecial(line[end]) && line[end] != '"')
            ++end;
        tokens.push_back(line.substr(pos, end - pos));
        pos = end;
    }
    return tokens;
}

Result<std::vector<CmfStatement>> cmfStatementsFromLines(const std::string& name,
                                                         const std::vector<std::string>& lines) {
    std::vector<CmfStatement> out;
    CmfStatement current;
    for (size_t n = 0; n < lines.size(); ++n) {
        for (auto& tok : tokenizeCmfLine(lines[n])) {
            if (tok == ";") {
                if (!current.tokens.empty()) out.push_back(std::move(current));
                current = CmfStatement{};
                continue;
            }
            if (current.tokens.empty()) current.line = static_cast<int>(n + 1);
            current.tokens.push_back(std::move(tok));
        }
    }
    if (!current.tokens.empty())
        return Result<std::vector<CmfStatement>>::fail("The statement \"" + current.text().substr(0, 60) +
                                                       "\" starting at line " + std::to_string(current.line) +
                                                       " of " + name + " does not end with \";\".");
    return out;
}

Result<std::vector<CmfStatement>> readCmfStatements(const std::string& path) {
    auto found = existingInput(path, "Command file");
    if (!found) return found.status();
    auto lines = readTextLines(found.value());
    if (!lines) return Result<std::vector<CmfStatement>>::fail("Cannot read command file " + path + ".");
    return cmfStatementsFromLines(path, lines.value());
}

}  // namespace vdln::suite
