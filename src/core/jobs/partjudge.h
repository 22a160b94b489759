#pragma once
/// Judging a part whose program has ended: its log goes at the end of the
/// step's log, its report says whether it succeeded (and, from the model
/// program, which release made the model), and its main output must be
/// there.

#include <string>

#include "model/release.h"
#include "plan/plan.h"

namespace vdln {

/// What the files of an ended part say.
struct PartVerdict {
    bool reportOk = false;       ///< the report exists and says the part succeeded
    bool outputWritten = false;  ///< the main output exists
    std::string reportedError;   ///< the report's "Error" sentence of a failed part
};

class PartJudge {
public:
    /// `version` (the model's release record) is updated from the reports of
    /// the model program; it must outlive the judge.
    explicit PartJudge(TSVVersionInfo& version) : m_version(version) {}

    /// Appends the part's log to the step's log, reads its report and
    /// looks for its main output.
    PartVerdict judge(const TOneDosJob& slot);

    /// The log of a failed part to show: its own log, else the one its
    /// report names; "" when there is none.
    static std::string errorLog(const TOneDosJob& slot);

private:
    void appendPartLog(const TOneDosJob& slot);
    void learnRelease(const std::string& reportFile);

    TSVVersionInfo& m_version;
};

}  // namespace vdln
