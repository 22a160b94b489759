#pragma once
/// The process environment as the program sees it: environment variables,
/// the current directory and the program's own directory.  Everything that
/// reads the environment takes an `Environment` so that tests can point
/// SVTEMP, SVKEEP, TMP, HOME and the others at folders of their own.

#include <optional>
#include <string>

namespace vdln {

/// Longest environment value the program accepts; a longer value reads as
/// empty, like an unset variable.
inline constexpr size_t kMaxEnvValueLength = 2048;

class Environment {
public:
    virtual ~Environment() = default;
    /// The raw value of a variable, nullopt when it is not set.
    virtual std::optional<std::string> rawVariable(const std::string& name) const = 0;
    /// The process's current directory ("" when it cannot be determined).
    virtual std::string currentDirectory() const = 0;
    /// The folder holding the `vardelon` executable ("" when unknown).
    virtual std::string programDirectory() const = 0;

    /// The value of a variable; "" when it is unset or longer than
    /// `kMaxEnvValueLength` characters.
    std::string variable(const std::string& name) const;
};

/// The suite's per-user setting `UseSparse`: on when the environment
/// variable SVUSESPARSE is "1" (blanks around it ignored).  Read once at
/// start-up by the owner of the settings.
bool readUseSparse(const Environment& env);

/// The real environment of this process.  The program directory is the
/// folder of the executable found through /proc/self/exe, unless set with
/// `setProgramDirectory` (tests and tools that run outside the build folder).
class SystemEnvironment : public Environment {
public:
    std::optional<std::string> rawVariable(const std::string& name) const override;
    std::string currentDirectory() const override;
    std::string programDirectory() const override;
    /// Overrides the program directory ("" returns to /proc/self/exe).
    void setProgramDirectory(std::string dir) { m_programDir = std::move(dir); }

private:
    std::string m_programDir;
};

}  // namespace vdln
