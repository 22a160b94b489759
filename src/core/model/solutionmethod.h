#pragma once
/// Solution-method settings: the method record, the automatic-accuracy
/// record, their defaults, the one-line description they produce, their
/// settings-file sections (INI form and the text form of the
/// simulation-details files), and the editing rules of the "Choose
/// Solution Method" window as a model without any window.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/inifile.h"

namespace vdln {

/// Method numbers of `TSolutionMethod::Method`.
enum MethodKind : int { kJohansen = 1, kEuler = 2, kGragg = 3, kMidpoint = 4 };

/// One solution method.  `Steps[0..2]` hold the step counts of solutions
/// 1..3 (at most three digits each).
struct TSolutionMethod {
    int Method = kJohansen;             ///< 1 Johansen, 2 Euler, 3 Gragg, 4 Midpoint
    int NSol = 1;                       ///< number of solutions, 1..3
    std::array<int, 3> Steps{1, 3, 5};  ///< steps of each solution
    int Subintervals = 1;               ///< used when automatic accuracy is off
    bool AutoAccuracy = false;

    bool operator==(const TSolutionMethod&) const = default;
};

/// Automatic-accuracy settings.
struct TAutoAccuracy {
    int Percent = 80;               ///< 60..99
    int Subintervals = 2;           ///< >= 1
    int Figures = 4;                ///< 1..6
    float MinSubinterval = 0.001f;  ///< a power of ten 1e-9..1e-1
    bool FailStop = true;           ///< stop when the minimum subinterval fails
    std::uint8_t Criterion = 0;     ///< 0 "Data", 1 "Solution", 2 "Both"

    bool operator==(const TAutoAccuracy&) const = default;
};

/// The standard method of a new application: Johansen, 1 solution, steps
/// 1, 3, 5, 1 subinterval, no automatic accuracy.
TSolutionMethod defaultSolutionMethod();
/// The method a settings section falls back to when read with defaults and
/// a value is missing: Gragg, 3 solutions of 2, 4, 6 steps, 1 subinterval.
TSolutionMethod graggDefaultMethod();
/// The accuracy defaults: 80 percent, 2 subintervals, 4 figures, minimum
/// subinterval 0.001, stop on failure, criterion "Data".
TAutoAccuracy defaultAutoAccuracy();

/// "Johansen", "Euler", "Gragg" or "Midpoint"; "Unknown" for any other
/// number (a damaged settings file cannot make this fail).
std::string methodName(int method);
/// "Data", "Solution" or "Both"; "Data" for any other value.
std::string criterionName(int criterion);

/// The one-line description shown on the main window, for example
/// "Gragg: 2-4-6 steps extrapolation (Automatic Accuracy)".
std::string DescribeMethod(const TSolutionMethod& method, const TAutoAccuracy& accuracy);

/// The section of the standard method.
inline constexpr const char* kMethodSection = "Solution Method";
/// The section of the alternative method.
inline constexpr const char* kAltMethodSection = "Alternative Solution Method";

/// Writes the method keys ("Method", "NSOL", "Steps1".."Steps3",
/// "Non Auto Acc Subint", "Automatic accuracy") into a section.
void WriteMethodSection(IniFile& file, const std::string& section, const TSolutionMethod& method);

/// Reads a method from a section.  "Method" is read first (0 when missing);
/// only when it is non-zero are "NSOL", then the step counts, then
/// "Non Auto Acc Subint" read; "Automatic accuracy" is always read.  With
/// `useDefaults`, a zero (or out-of-range) method, solution count or step
/// count makes the whole method `graggDefaultMethod()` (keeping the
/// automatic-accuracy flag read).  Without it, a value that is missing or
/// out of range keeps the value of `current`, so that a damaged file never
/// yields an unusable method.  A subinterval count <= 0 becomes 1.
TSolutionMethod ReadMethodSection(const IniFile& file, const std::string& section, bool useDefaults,
                                  const TSolutionMethod& current = defaultSolutionMethod());

/// Writes the accuracy keys into a section; "Auto Acc Min Int" is left out
/// when the value cannot be formatted (not a finite number).
void WriteAccuracySection(IniFile& file, const std::string& section, const TAutoAccuracy& accuracy);

/// Reads the accuracy keys of a section with their defaults.  A
/// "Auto Acc Min Int" text that is not a number gives 0.001 and, in
/// `conversionError` when given, "Error converting <text> to real.".  A
/// criterion outside 0..2 is read as 0 ("Data").
TAutoAccuracy ReadAccuracySection(const IniFile& file, const std::string& section,
                                  std::string* conversionError = nullptr);

/// Appends the text form of a method section: a line of one space,
/// "[section]", then "Method=", "NSOL=", "Steps1=".."Steps3=",
/// "Non Auto Acc Subint=" and "Automatic accuracy=1"/"=0".
void WriteMethodText(const std::string& section, const TSolutionMethod& method,
                     std::vector<std::string>& out);
/// Appends the accuracy keys in text form (they follow the method keys of
/// the same section).
void WriteAccuracyText(const TAutoAccuracy& accuracy, std::vector<std::string>& out);

/// The value text of "Auto Acc Min Int" ("0.001"); empty when the value
/// cannot be formatted.
std::string formatMinSubinterval(float value);

/// The outcome of the method window.
struct EditMethodResult {
    bool accepted = false;  ///< OK pressed and the values were valid
    bool changed = false;   ///< the settings differ from those at opening
};

/// The "Choose Solution Method" window as a model: holds the values shown,
/// applies the window's rules after every change, and validates on OK.  The
/// window draws itself from the queries below; tests drive it directly.
class MethodEditor {
public:
    /// The boxes that a validation error focuses.
    enum class Field { None, Step1, Step2, Step3 };

    /// Opens on the given settings.  The per-method memory starts with
    /// Johansen 1 step, Euler 3-4-5, Gragg and Midpoint 2-4-6, each 1
    /// subinterval, and the current method's own record; then the rules run
    /// (so automatic accuracy with fewer than 3 solutions is switched off).
    MethodEditor(const TSolutionMethod& method, const TAutoAccuracy& accuracy);

    /// Chooses another method: the steps shown go into the record of the
    /// method being left, then the record of the chosen method is shown.
    /// Numbers outside 1..4 are ignored.
    void chooseMethod(int method);
    /// Sets the solution count (1..3; other values are ignored).
    void setNSol(int nsol);
    /// Sets the step count of solution k (1..3) as typed.
    void setStep(int k, int steps);
    void setAutoAccuracy(bool on);
    /// Sets the value of the subintervals box (the accuracy record's when
    /// automatic accuracy is on, the method's otherwise); values below 1 or
    /// above `subintervalsMax()` are ignored.
    void setSubintervals(int n);
    void setPercent(int percent);
    void setFigures(int figures);
    /// Sets the minimum subinterval to 10^n, n from -9 to -1.
    void setMinSubintervalExponent(int n);
    void setFailStop(bool stop);
    void setCriterion(int criterion);

    const TSolutionMethod& method() const { return m_method; }
    const TAutoAccuracy& accuracy() const { return m_accuracy; }

    bool nsolEnabled() const { return m_method.Method != kJohansen; }
    bool firstStepEnabled() const { return m_method.Method != kJohansen; }
    bool secondStepVisible() const { return m_method.NSol > 1; }
    bool thirdStepVisible() const { return m_method.NSol == 3; }
    bool autoAccuracyEnabled() const { return m_method.NSol == 3; }
    /// The accuracy group and the warning show when automatic accuracy is on.
    bool accuracyGroupVisible() const { return m_method.AutoAccuracy; }
    /// The warning shown with the accuracy group ("" when hidden).
    std::string warningText() const;
    bool subintervalsVisible() const { return m_method.NSol > 2; }
    int subintervalsValue() const;
    /// 100, or the stored value when that is larger.
    int subintervalsMax() const;
    /// The exponent n of the minimum subinterval 10^n, within -9..-1.
    int minSubintervalExponent() const;

    /// Presses OK.  On a valid input the window closes: `accepted` is set
    /// and `changed` tells whether the settings differ from those at
    /// opening.  Otherwise `error` holds the message (shown as an error) and
    /// `focus` the box to focus; the window stays open.
    struct OkOutcome {
        EditMethodResult result;
        std::string error;
        Field focus = Field::None;
    };
    OkOutcome ok() const;
    /// Presses Cancel: the settings return to those at opening, no change.
    EditMethodResult cancel();

private:
    void applyRules();
    TSolutionMethod m_method;
    TAutoAccuracy m_accuracy;
    TSolutionMethod m_openMethod;
    TAutoAccuracy m_openAccuracy;
    std::array<TSolutionMethod, 5> m_remembered;  // index 1..4
};

/// True when two method settings count as the same for the window's
/// "changed" answer: the method; for methods other than Johansen also the
/// solution count and the step counts used; the automatic-accuracy flag;
/// and, without automatic accuracy, the subintervals.
bool sameMethodSettings(const TSolutionMethod& a, const TSolutionMethod& b);

}  // namespace vdln
