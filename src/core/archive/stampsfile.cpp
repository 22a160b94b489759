#include "archive/stampsfile.h"

#include <dirent.h>

#include <algorithm>
#include <set>

#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "base/textfile.h"
#include "runrecord/filestamp.h"

namespace vdln {

std::string makeStampsText(const std::vector<std::string>& files) {
    std::set<std::string> stamps;
    for (const auto& f : files) stamps.insert(FileStamp(f));
    std::string text;
    for (const auto& s : stamps) text += s + "\r\n";
    return text;
}

Result<int> applyStamps(const std::string& folder, const std::string& stampsText) {
    DIR* d = ::opendir(folder.c_str());
    if (!d) return Result<int>::fail("Cannot locate the folder " + folder);
    std::vector<std::string> names;
    while (dirent* e = ::readdir(d)) names.emplace_back(e->d_name);
    ::closedir(d);
    int touched = 0;
    for (const std::string& line : splitLines(stampsText)) {
        ParsedStamp p = parseStamp(trim(line));
        if (p.form != ParsedStamp::Form::Current || p.isMissingFile()) continue;
        std::string bare = nameOf(p.name);
        for (const auto& n : names) {
            if (!iequals(n, bare)) continue;
            std::string full = JoinPath(folder, n);
            if (!fileExists(full)) continue;
            if (setFileWriteTime(full, p.fileTime)) ++touched;
        }
    }
    return touched;
}

}  // namespace vdln
