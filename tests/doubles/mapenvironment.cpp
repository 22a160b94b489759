#include "doubles/mapenvironment.h"

namespace vdln {

std::optional<std::string> MapEnvironment::rawVariable(const std::string& name) const {
    auto it = m_vars.find(name);
    if (it == m_vars.end()) return std::nullopt;
    return it->second;
}

}  // namespace vdln
