#include "model/solutionmethod.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/strutil.h"

namespace vdln {

namespace {

bool validMethod(long long m) {
    return m >= kJohansen && m <= kMidpoint;
}
bool validNSol(long long n) {
    return n >= 1 && n <= 3;
}
bool validSteps(long long s) {
    return s >= 1 && s <= 999;
}

// Clamps a value read from a settings file into an int without overflow.
int toInt(long long v) {
    if (v > 1000000000LL) return 1000000000;
    if (v < -1000000000LL) return -1000000000;
    return static_cast<int>(v);
}

}  // namespace

TSolutionMethod defaultSolutionMethod() {
    return TSolutionMethod{};
}

TSolutionMethod graggDefaultMethod() {
    TSolutionMethod m;
    m.Method = kGragg;
    m.NSol = 3;
    m.Steps = {2, 4, 6};
    m.Subintervals = 1;
    m.AutoAccuracy = false;
    return m;
}

TAutoAccuracy defaultAutoAccuracy() {
    return TAutoAccuracy{};
}

std::string methodName(int method) {
    switch (method) {
        case kJohansen:
            return "Johansen";
        case kEuler:
            return "Euler";
        case kGragg:
            return "Gragg";
        case kMidpoint:
            return "Midpoint";
        default:
            return "Unknown";
    }
}

std::string criterionName(int criterion) {
    switch (criterion) {
        case 1:
            return "Solution";
        case 2:
            return "Both";
        default:
            return "Data";
    }
}

std::string DescribeMethod(const TSolutionMethod& method, const TAutoAccuracy& /*accuracy*/) {
    std::string text = methodName(method.Method) + ": ";
    const int n = validNSol(method.NSol) ? method.NSol : 1;
    if (method.Method == kJohansen) {
        text += "1 step";
    } else {
        for (int k = 0; k < n; ++k) {
            if (k > 0) text += "-";
            text += std::to_string(method.Steps[k]);
        }
        text += " steps";
        if (n > 1) text += " extrapolation";
    }
    if (method.AutoAccuracy)
        text += " (Automatic Accuracy)";
    else if (method.Subintervals > 1 && n > 2)
        text += " (" + std::to_string(method.Subintervals) + " subintervals)";
    return text;
}

void WriteMethodSection(IniFile& file, const std::string& section, const TSolutionMethod& method) {
    file.setInt(section, "Method", method.Method);
    file.setInt(section, "NSOL", method.NSol);
    file.setInt(section, "Steps1", method.Steps[0]);
    file.setInt(section, "Steps2", method.Steps[1]);
    file.setInt(section, "Steps3", method.Steps[2]);
    file.setInt(section, "Non Auto Acc Subint", method.Subintervals);
    file.setBool(section, "Automatic accuracy", method.AutoAccuracy);
}

TSolutionMethod ReadMethodSection(const IniFile& file, const std::string& section, bool useDefaults,
                                  const TSolutionMethod& current) {
    TSolutionMethod m = current;
    bool fallBack = false;
    const long long method = file.getInt(section, "Method", 0);
    if (method != 0 && validMethod(method)) {
        m.Method = toInt(method);
        const long long nsol = file.getInt(section, "NSOL", 0);
        if (nsol != 0 && validNSol(nsol)) {
            m.NSol = toInt(nsol);
            const char* keys[3] = {"Steps1", "Steps2", "Steps3"};
            for (int k = 0; k < 3; ++k) {
                const long long s = file.getInt(section, keys[k], 0);
                if (validSteps(s))
                    m.Steps[k] = toInt(s);
                else
                    fallBack = true;
            }
        } else {
            fallBack = true;
        }
        long long sub = file.getInt(section, "Non Auto Acc Subint", 1);
        m.Subintervals = sub <= 0 ? 1 : toInt(sub);
    } else {
        fallBack = true;
    }
    const bool autoAcc = file.getBool(section, "Automatic accuracy", false);
    if (fallBack && useDefaults) {
        m = graggDefaultMethod();
    } else if (fallBack) {
        // Keep whatever of `current` was not replaced; only make sure the
        // record stays usable.
        if (!validMethod(m.Method)) m.Method = kJohansen;
        if (!validNSol(m.NSol)) m.NSol = 1;
        for (int& s : m.Steps)
            if (!validSteps(s)) s = 1;
    }
    if (m.Subintervals <= 0) m.Subintervals = 1;
    m.AutoAccuracy = autoAcc;
    return m;
}

std::string formatMinSubinterval(float value) {
    if (!std::isfinite(value)) return "";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g", static_cast<double>(value));
    return buf;
}

void WriteAccuracySection(IniFile& file, const std::string& section, const TAutoAccuracy& accuracy) {
    file.setInt(section, "Auto Acc Percent", accuracy.Percent);
    file.setInt(section, "Auto Acc Subint", accuracy.Subintervals);
    file.setInt(section, "Auto Acc Figures", accuracy.Figures);
    const std::string minText = formatMinSubinterval(accuracy.MinSubinterval);
    if (!minText.empty()) file.set(section, "Auto Acc Min Int", minText);
    file.setBool(section, "Auto Acc FailStop", accuracy.FailStop);
    file.setInt(section, "Auto Acc Criterion", accuracy.Criterion);
}

TAutoAccuracy ReadAccuracySection(const IniFile& file, const std::string& section,
                                  std::string* conversionError) {
    TAutoAccuracy a;
    a.Percent = toInt(file.getInt(section, "Auto Acc Percent", 80));
    a.Subintervals = toInt(file.getInt(section, "Auto Acc Subint", 2));
    if (a.Subintervals <= 0) a.Subintervals = 1;
    a.Figures = toInt(file.getInt(section, "Auto Acc Figures", 4));
    const std::string minText = file.getString(section, "Auto Acc Min Int", "0.001");
    const auto v = parseDouble(minText);
    if (v && std::isfinite(*v)) {
        a.MinSubinterval = static_cast<float>(*v);
    } else {
        a.MinSubinterval = 0.001f;
        if (conversionError) *conversionError = "Error converting " + minText + " to real.";
    }
    a.FailStop = file.getBool(section, "Auto Acc FailStop", true);
    const long long c = file.getInt(section, "Auto Acc Criterion", 0);
    a.Criterion = static_cast<std::uint8_t>(c >= 0 && c <= 2 ? c : 0);
    return a;
}

void WriteMethodText(const std::string& section, const TSolutionMethod& method,
                     std::vector<std::string>& out) {
    out.push_back(" ");
    out.push_back("[" + section + "]");
    out.push_back("Method=" + std::to_string(method.Method));
    out.push_back("NSOL=" + std::to_string(method.NSol));
    out.push_back("Steps1=" + std::to_string(method.Steps[0]));
    out.push_back("Steps2=" + std::to_string(method.Steps[1]));
    out.push_back("Steps3=" + std::to_string(method.Steps[2]));
    out.push_back("Non Auto Acc Subint=" + std::to_string(method.Subintervals));
    out.push_back(method.AutoAccuracy ? "Automatic accuracy=1" : "Automatic accuracy=0");
}

void WriteAccuracyText(const TAutoAccuracy& accuracy, std::vector<std::string>& out) {
    out.push_back("Auto Acc Percent=" + std::to_string(accuracy.Percent));
    out.push_back("Auto Acc Subint=" + std::to_string(accuracy.Subintervals));
    out.push_back("Auto Acc Figures=" + std::to_string(accuracy.Figures));
    const std::string minText = formatMinSubinterval(accuracy.MinSubinterval);
    if (!minText.empty()) out.push_back("Auto Acc Min Int=" + minText);
    out.push_back(accuracy.FailStop ? "Auto Acc FailStop=1" : "Auto Acc FailStop=0");
    out.push_back("Auto Acc Criterion=" + std::to_string(accuracy.Criterion));
}

// ---------------------------------------------------------------------------
// The method window's model.

bool sameMethodSettings(const TSolutionMethod& a, const TSolutionMethod& b) {
    if (a.Method != b.Method) return false;
    if (a.Method != kJohansen) {
        if (a.NSol != b.NSol) return false;
        const int n = validNSol(a.NSol) ? a.NSol : 3;
        for (int k = 0; k < n; ++k)
            if (a.Steps[k] != b.Steps[k]) return false;
    }
    if (a.AutoAccuracy != b.AutoAccuracy) return false;
    if (!a.AutoAccuracy && a.Subintervals != b.Subintervals) return false;
    return true;
}

MethodEditor::MethodEditor(const TSolutionMethod& method, const TAutoAccuracy& accuracy)
    : m_method(method), m_accuracy(accuracy), m_openMethod(method), m_openAccuracy(accuracy) {
    if (!validMethod(m_method.Method)) m_method.Method = kJohansen;
    if (!validNSol(m_method.NSol)) m_method.NSol = 1;
    if (m_method.Subintervals < 1) m_method.Subintervals = 1;
    for (int m = kJohansen; m <= kMidpoint; ++m) {
        TSolutionMethod r;
        r.Method = m;
        r.Subintervals = 1;
        r.AutoAccuracy = m_method.AutoAccuracy;
        if (m == kJohansen) {
            r.NSol = 1;
            r.Steps = {1, 3, 5};
        } else if (m == kEuler) {
            r.NSol = 3;
            r.Steps = {3, 4, 5};
        } else {
            r.NSol = 3;
            r.Steps = {2, 4, 6};
        }
        m_remembered[m] = r;
    }
    m_remembered[m_method.Method] = m_method;
    applyRules();
}

void MethodEditor::applyRules() {
    if (m_method.Method == kJohansen) {
        m_method.NSol = 1;
        m_method.Steps[0] = 1;
    }
    if (m_method.NSol < 3) m_method.AutoAccuracy = false;
}

void MethodEditor::chooseMethod(int method) {
    if (!validMethod(method) || method == m_method.Method) return;
    TSolutionMethod& left = m_remembered[m_method.Method];
    left.NSol = m_method.NSol;
    left.Steps = m_method.Steps;
    left.Subintervals = m_method.Subintervals;
    const bool autoAcc = m_method.AutoAccuracy;
    m_method = m_remembered[method];
    m_method.AutoAccuracy = autoAcc;
    applyRules();
}

void MethodEditor::setNSol(int nsol) {
    if (!validNSol(nsol)) return;
    m_method.NSol = nsol;
    applyRules();
}

void MethodEditor::setStep(int k, int steps) {
    if (k < 1 || k > 3 || steps < 0 || steps > 999) return;
    m_method.Steps[k - 1] = steps;
    applyRules();
}

void MethodEditor::setAutoAccuracy(bool on) {
    m_method.AutoAccuracy = on;
    applyRules();
}

int MethodEditor::subintervalsValue() const {
    return m_method.AutoAccuracy ? m_accuracy.Subintervals : m_method.Subintervals;
}

int MethodEditor::subintervalsMax() const {
    return std::max(100, subintervalsValue());
}

void MethodEditor::setSubintervals(int n) {
    if (n < 1 || n > subintervalsMax()) return;
    if (m_method.AutoAccuracy)
        m_accuracy.Subintervals = n;
    else
        m_method.Subintervals = n;
}

void MethodEditor::setPercent(int percent) {
    if (percent >= 60 && percent <= 99) m_accuracy.Percent = percent;
}

void MethodEditor::setFigures(int figures) {
    if (figures >= 1 && figures <= 6) m_accuracy.Figures = figures;
}

void MethodEditor::setMinSubintervalExponent(int n) {
    if (n < -9 || n > -1) return;
    m_accuracy.MinSubinterval = static_cast<float>(std::pow(10.0, n));
}

int MethodEditor::minSubintervalExponent() const {
    const double v = m_accuracy.MinSubinterval;
    if (!(v > 0) || !std::isfinite(v)) return -3;
    const long n = std::lround(std::log10(v));
    return static_cast<int>(std::clamp(n, -9L, -1L));
}

void MethodEditor::setFailStop(bool stop) {
    m_accuracy.FailStop = stop;
}

void MethodEditor::setCriterion(int criterion) {
    if (criterion >= 0 && criterion <= 2) m_accuracy.Criterion = static_cast<std::uint8_t>(criterion);
}

std::string MethodEditor::warningText() const {
    if (!m_method.AutoAccuracy) return "";
    return "WARNING -- Inappropriate options for automatic accuracy may lead to excessive solution times.";
}

MethodEditor::OkOutcome MethodEditor::ok() const {
    OkOutcome out;
    const auto& s = m_method.Steps;
    const bool graggLike = m_method.Method == kGragg || m_method.Method == kMidpoint;
    if (graggLike && s[0] <= 1) {
        out.error = "For Gragg or MidPoint,\r\nFirst solution must have 2 or more steps";
        out.focus = Field::Step1;
        return out;
    }
    if (m_method.NSol >= 2 && s[1] <= s[0]) {
        out.error = "Sequence of steps must be increasing";
        out.focus = Field::Step2;
        return out;
    }
    if (m_method.NSol == 3 && s[2] <= s[1]) {
        out.error = "Sequence of steps must be increasing";
        out.focus = Field::Step3;
        return out;
    }
    if (graggLike && m_method.NSol > 1) {
        const char* parity = "For Gragg or MidPoint,\r\nSteps must be ALL odd or ALL even";
        if (s[0] % 2 != s[1] % 2) {
            out.error = parity;
            out.focus = Field::Step2;
            return out;
        }
        if (m_method.NSol == 3 && s[1] % 2 != s[2] % 2) {
            out.error = parity;
            out.focus = Field::Step3;
            return out;
        }
    }
    out.result.accepted = true;
    out.result.changed = !(sameMethodSettings(m_method, m_openMethod) && m_accuracy == m_openAccuracy);
    return out;
}

EditMethodResult MethodEditor::cancel() {
    m_method = m_openMethod;
    m_accuracy = m_openAccuracy;
    return EditMethodResult{false, false};
}

}  // namespace vdln
