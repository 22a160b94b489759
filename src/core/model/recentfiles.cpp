#include "model/recentfiles.h"

#include <algorithm>

#include "base/inifile.h"

namespace vdln {

std::vector<std::string> readRecentFiles(const std::string& settingsFile) {
    std::vector<std::string> out;
    auto ini = IniFile::loadOrEmpty(settingsFile);
    if (!ini) return out;
    for (int n = 1; n <= kMaxRecentFiles * 4 && static_cast<int>(out.size()) < kMaxRecentFiles; ++n) {
        const std::string v = ini->getString(kRecentFilesSection, "File" + std::to_string(n), "");
        if (v.empty() || std::find(out.begin(), out.end(), v) != out.end()) continue;
        out.push_back(v);
    }
    return out;
}

void addRecentFile(std::vector<std::string>& list, const std::string& file) {
    if (file.empty()) return;
    list.erase(std::remove(list.begin(), list.end(), file), list.end());
    list.insert(list.begin(), file);
    if (list.size() > static_cast<size_t>(kMaxRecentFiles)) list.resize(kMaxRecentFiles);
}

Status writeRecentFiles(const std::string& settingsFile, const std::vector<std::string>& list) {
    auto ini = IniFile::loadOrEmpty(settingsFile);
    if (!ini) return Status::fail(ini.message()).tag("[writeRecentFiles]");
    ini->clearSection(kRecentFilesSection);
    std::vector<std::pair<std::string, std::string>> keys;
    for (size_t i = 0; i < list.size() && i < static_cast<size_t>(kMaxRecentFiles); ++i)
        keys.emplace_back("File" + std::to_string(i + 1), list[i]);
    ini->appendKeys(kRecentFilesSection, keys);
    Status s = ini->save(settingsFile);
    if (!s) return s.tag("[writeRecentFiles]");
    return Status::ok();
}

}  // namespace vdln
