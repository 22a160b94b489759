#pragma once
/// An environment for tests (never linked into the program).

#include <map>
#include <optional>
#include <string>

#include "env/environment.h"

namespace vdln {

/// An environment held in memory, for tests: only the variables set are
/// defined.
class MapEnvironment : public Environment {
public:
    std::optional<std::string> rawVariable(const std::string& name) const override;
    std::string currentDirectory() const override { return m_currentDir; }
    std::string programDirectory() const override { return m_programDir; }

    void set(const std::string& name, std::string value) { m_vars[name] = std::move(value); }
    void unset(const std::string& name) { m_vars.erase(name); }
    void setCurrentDirectory(std::string dir) { m_currentDir = std::move(dir); }
    void setProgramDirectory(std::string dir) { m_programDir = std::move(dir); }

private:
    std::map<std::string, std::string> m_vars;
    std::string m_currentDir = "/";
    std::string m_programDir;
};

}  // namespace vdln
