#include "base/dialogs.h"
#include "base/strutil.h"
#include "formats/harfile.h"
#include "formats/modelinfo.h"

namespace vdln {

namespace {

std::string stripTrailingBlanks(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

Result<TimeDateStamp> textStamp(const std::string& fileName, const std::string& key) {
    TimeDateStamp out;
    TxtFile f;
    if (Status s = TxtOpen(f, fileName); !s) return s;
    std::string line;
    while (f.readLine(line)) {
        if (line != key) continue;
        std::string value;
        if (f.readLine(value)) {
            out.stamp = stripTrailingBlanks(leftStr(value, 40));
            out.found = true;
        }
        break;
    }
    const bool bad = f.failed();
    if (Status s = TxtClose(f); !s) return s;
    if (bad) return Result<TimeDateStamp>::fail("read error from file " + fileName);
    return out;
}

/// The stamp of a header array file: the "1C" header `key` holding exactly
/// one string of length 40.
Result<TimeDateStamp> headerStamp(const std::string& fileName, const std::string& key, bool skipBad) {
    TimeDateStamp out;
    auto header = ReadHeaderFromHarFile(fileName, key, skipBad);
    if (!header) return header.status();
    const PHarHeader& h = header.value();
    if (h && h->HeadType == "1C" && h->stringCount == 1 && h->stringLength == 40 && h->strings.size() == 1) {
        out.stamp = stripTrailingBlanks(leftStr(h->strings[0], 40));
        out.found = true;
    }
    return out;
}

}  // namespace

Result<TimeDateStamp> GetTimeDateStamp(std::string_view kind, const std::string& fileName,
                                       const std::string& key) {
    if (kind == "text") return textStamp(fileName, key).tag("[GetTimeDateStamp]");
    if (kind == "header" || kind == "binary")
        return headerStamp(fileName, key, kind == "binary").tag("[GetTimeDateStamp]");
    return Result<TimeDateStamp>::fail("Unexpected file type[GetTimeDateStamp]");
}

Result<bool> MinAxtCompatible(const std::string& minFile, const std::string& axtFile, bool quiet,
                              Dialogs& dialogs) {
    auto minStamp = GetTimeDateStamp("text", minFile, "#TMDATE");
    if (!minStamp) return std::move(minStamp).tag("[MinAxtCompatible]").status();
    auto axtStamp = GetTimeDateStamp("binary", axtFile, "DTXT");
    if (!axtStamp) return std::move(axtStamp).tag("[MinAxtCompatible]").status();
    const bool same = minStamp->found && axtStamp->found && minStamp->stamp == axtStamp->stamp;
    if (!same && !quiet)
        dialogs.message(MsgKind::Error,
                        "Model Information File " + toUpper(minFile) +
                            " was not created at the same time as the Auxiliary Table File " +
                            toUpper(axtFile),
                        BtnOk | BtnHelp);
    return same;
}

}  // namespace vdln
