#include "base/namecheck.h"

#include <filesystem>

namespace vdln {

Status checkPathComponent(const std::string& name, const std::string& what) {
    const char* reason = nullptr;
    for (unsigned char c : name) {
        if (c < 32 || c == 127) {
            reason = "a control character";
            break;
        }
        if (c == '/' || c == '\\') reason = "a folder separator";
    }
    if (!reason && name.find("..") != std::string::npos) reason = "\"..\"";
    if (!reason) return Status::ok();
    std::string shown;
    for (unsigned char c : name) shown += (c < 32 || c == 127) ? '?' : static_cast<char>(c);
    return Status::fail(what + " \"" + shown + "\" cannot be used as part of a file name: it contains " +
                        reason + ".");
}

bool pathIsUnder(const std::string& path, const std::string& folder) {
    namespace fs = std::filesystem;
    const fs::path p = fs::path(path).lexically_normal();
    const fs::path f = fs::path(folder).lexically_normal();
    auto pi = p.begin();
    for (auto fi = f.begin(); fi != f.end(); ++fi) {
        if (fi->empty()) continue;  // a trailing separator
        if (pi == p.end() || *pi != *fi) return false;
        ++pi;
    }
    for (; pi != p.end(); ++pi)
        if (*pi == "..") return false;
    return true;
}

}  // namespace vdln
