#include "cmf/din.h"

#include <vector>

#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "base/textfile.h"
#include "cmf/cmfreader.h"

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

/// The index (1-based) of the user file with that logical name, 0 when none.
int userFileIndex(const TSimRecord& rec, const std::string& name) {
    for (int n = 1; n <= rec.NumFiles && n <= kMaxUserFiles; ++n)
        if (iequals(rec.Files[n].Name.str(), name)) return n;
    return 0;
}

/// Applies one line; returns the error text, empty when the line is good.
std::string applyLine(const std::string& line, TSimRecord& rec) {
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
            if (!iequals(t, "file")) return "Expected " + Q + "file" + Q + " at start of line but found " + Q + t + Q;
            file = userFileIndex(rec, v);
            if (file == 0) return "Unknown logical file " + Q + v + Q;
            i += 2;
            continue;
        }
        TSimFileEntry& f = rec.Files[file];
        if (iequals(t, "key")) {
            if (v == ";") return "Expect logical file name after " + Q + "key" + Q;
            f.Key = leftStr(v, 3);
            i += 2;
        } else if (iequals(t, "role")) {
            if (iequals(v, "lagged-input"))
                f.Usage = kUsageLaggedInput;
            else if (iequals(v, "constant-input"))
                f.Usage = kUsageConstantInput;
            else
                return "Unexpected word " + Q + v + Q;
            i += 2;
        } else if (iequals(t, "lagof")) {
            int lag = userFileIndex(rec, v);
            if (lag == 0) return "Unknown logical file " + Q + v + Q + " (after lagof)";
            f.LagFile = lag;
            i += 2;
        } else if (iequals(t, "usage")) {
            int src = userFileIndex(rec, v);
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
            f.InputUsage[0] = src;
            for (int r = 1; r <= 3; ++r) f.InputUsage[r] = values[r - 1];
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

void RebuildFilesFromModel(TSimRecord& rec) {
    rec.Files.fill(TSimFileEntry{});
    rec.NumFiles = 0;
    for (int k = 1; k <= rec.NumModelFiles && k <= kMaxModelFiles; ++k) {
        const TModelFileDesc& d = rec.ModelFiles[k];
        if (d.IsSpecial || rec.NumFiles >= kMaxUserFiles) continue;
        ++rec.NumFiles;
        rec.Files[rec.NumFiles] = makeSimFileEntry(d, rec.NumFiles);
    }
}

Status ReadDinFile(const std::string& fileName, TSimRecord& rec, Dialogs& dialogs, bool quiet) {
    RebuildFilesFromModel(rec);
    if (fileName.empty() || !fileExists(fileName)) return Status::ok();
    auto fail = [&](const std::string& text) {
        if (!quiet) dialogs.message(MsgKind::Error, text, BtnOk | BtnHelp);
        return Status::fail(text);
    };
    auto lines = readTextLines(fileName);
    if (!lines) return fail(lines.message() + " in DIN file" + "\r\n" + fileName + "\r\n" + "Unable to process this DIN file.");
    for (const std::string& raw : lines.value()) {
        const std::string line = trim(raw);
        if (line.empty() || line[0] == '!') continue;
        std::string err = applyLine(line, rec);
        if (!err.empty())
            return fail(err + " in DIN file" + "\r\n" + fileName + "\r\n" + "Unable to process this DIN file.");
    }
    if (Status v = ValidateFileTable(rec); !v)
        return fail("Problem with Model Information on DIN file\r\n" + fileName + "\r\n" + v.message() + "\r\n" +
                    "Use menu item " + Q + "Edit Dynamic Info File" + Q + " under the File menu to fix the problem.");
    return Status::ok();
}

}  // namespace vdln
