#include "base/paths.h"

#include <dirent.h>
#include <sys/stat.h>

#include <filesystem>
#include <vector>

#include "base/strutil.h"

namespace vdln {

std::string JoinPath(std::string_view dir, std::string_view name) {
    if (dir.empty()) return std::string(name);
    bool wasRoot = dir.find_first_not_of(kPathSep) == std::string_view::npos;
    while (!dir.empty() && dir.back() == kPathSep) dir.remove_suffix(1);
    while (!name.empty() && name.front() == kPathSep) name.remove_prefix(1);
    if (wasRoot) return std::string(1, kPathSep) + std::string(name);
    return std::string(dir) + kPathSep + std::string(name);
}

std::string ResolvePath(std::string_view dir, std::string_view name) {
    if (!name.empty() && name.front() == kPathSep) return std::string(name);
    if (!name.empty() && name.front() == '.') {
        std::filesystem::path p = std::filesystem::path(std::string(dir)) / std::string(name);
        std::string r = p.lexically_normal().string();
        while (r.size() > 1 && r.back() == kPathSep) r.pop_back();
        return r;
    }
    return JoinPath(dir, name);
}

std::string dirOf(std::string_view path) {
    size_t p = path.rfind(kPathSep);
    if (p == std::string_view::npos) return "";
    if (p == 0) return std::string(1, kPathSep);
    return std::string(path.substr(0, p));
}

std::string nameOf(std::string_view path) {
    size_t p = path.rfind(kPathSep);
    return std::string(p == std::string_view::npos ? path : path.substr(p + 1));
}

std::string extOf(std::string_view path) {
    std::string n = nameOf(path);
    size_t p = n.rfind('.');
    if (p == std::string::npos) return "";
    return n.substr(p);
}

std::string changeExt(std::string_view path, std::string_view ext) {
    size_t slash = path.rfind(kPathSep);
    size_t dot = path.rfind('.');
    std::string base(path);
    if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash))
        base = std::string(path.substr(0, dot));
    return base + std::string(ext);
}

namespace {
bool exists(const std::string& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0;
}

// The single entry of `dir` equal to `name` without regard to case.
std::string matchInDir(const std::string& dir, const std::string& name) {
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return "";
    std::string found;
    int count = 0;
    while (dirent* e = ::readdir(d)) {
        if (iequals(e->d_name, name)) {
            found = e->d_name;
            ++count;
        }
    }
    ::closedir(d);
    return count == 1 ? found : "";
}

// The rule of `findFileIgnoringCase` with `match(dir, part)` giving the
// single entry of a folder that matches a missing part ("" when none).
template <class Match>
std::string findWith(const std::string& path, Match match) {
    if (path.empty() || exists(path)) return path;
    std::vector<std::string> parts = split(path, kPathSep);
    std::string cur;
    bool absolute = path.front() == kPathSep;
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        if (part.empty()) continue;
        std::string candidate = cur.empty() ? (absolute ? "/" + part : part) : JoinPath(cur, part);
        if (!exists(candidate)) {
            std::string m = match(cur.empty() ? (absolute ? "/" : "") : cur, part);
            if (m.empty()) return path;
            candidate = cur.empty() ? (absolute ? "/" + m : m) : JoinPath(cur, m);
        }
        cur = candidate;
    }
    return cur.empty() ? path : cur;
}
}  // namespace

std::string findFileIgnoringCase(const std::string& path) {
    return findWith(path, matchInDir);
}

const FolderListings::Listing& FolderListings::listing(const std::string& dir) {
    auto [it, added] = m_folders.try_emplace(dir);
    if (!added) return it->second;
    ++m_reads;
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return it->second;  // an unreadable folder lists nothing, as for a single look-up
    while (dirent* e = ::readdir(d)) {
        auto& entry = it->second.names[toLower(e->d_name)];
        if (entry.second++ == 0) entry.first = e->d_name;
    }
    ::closedir(d);
    return it->second;
}

std::string FolderListings::findIgnoringCase(const std::string& path) {
    return findWith(path, [this](const std::string& dir, const std::string& name) -> std::string {
        const Listing& l = listing(dir);
        auto it = l.names.find(toLower(name));
        return it != l.names.end() && it->second.second == 1 ? it->second.first : std::string();
    });
}

bool FolderListings::listed(const std::string& path) {
    const std::string name = nameOf(path);
    if (name.empty()) return false;
    const Listing& l = listing(dirOf(path));
    return l.names.count(toLower(name)) != 0;
}

}  // namespace vdln
