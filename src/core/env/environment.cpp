#include "env/environment.h"

#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "base/paths.h"
#include "base/strutil.h"

namespace vdln {

std::string Environment::variable(const std::string& name) const {
    std::optional<std::string> v = rawVariable(name);
    if (!v || v->size() > kMaxEnvValueLength) return "";
    return *v;
}

bool readUseSparse(const Environment& env) {
    return trim(env.variable("SVUSESPARSE")) == "1";
}

std::optional<std::string> SystemEnvironment::rawVariable(const std::string& name) const {
    const char* v = std::getenv(name.c_str());
    if (!v) return std::nullopt;
    return std::string(v);
}

std::string SystemEnvironment::currentDirectory() const {
    std::vector<char> buf(4096);
    while (true) {
        if (::getcwd(buf.data(), buf.size())) return std::string(buf.data());
        if (errno != ERANGE || buf.size() > (1u << 20)) return "";
        buf.resize(buf.size() * 2);
    }
}

std::string SystemEnvironment::programDirectory() const {
    if (!m_programDir.empty()) return m_programDir;
    std::vector<char> buf(4096);
    while (true) {
        ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) return "";
        if (static_cast<size_t>(n) < buf.size())
            return dirOf(std::string(buf.data(), static_cast<size_t>(n)));
        if (buf.size() > (1u << 20)) return "";
        buf.resize(buf.size() * 2);
    }
}

}  // namespace vdln
