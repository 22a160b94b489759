#pragma once
/// Rational-expectations iterations of forward-looking models: every run is
/// simulated over all its years again and again, and between passes the
/// model carries its expectations forward through the header array files of
/// the logical files "ROREXT", "ITER" and "EXTRA".  `KoraleRE` prepares
/// those files before a run's first pass in a job, checks the closure of
/// each solve, keeps per-iteration copies (preserved ROREXT and CSV files,
/// the convergence header array files), measures convergence over the last
/// three iterations and reports it.  The job engine calls it through
/// `RationalExpectationsHooks`; the menu commands are in results/remenu.h.
///
/// Every failure is shown through `Dialogs` with its own text and answers
/// false; files already written stay.

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/clock.h"
#include "base/dialogs.h"
#include "base/result.h"
#include "formats/harfile.h"
#include "formats/harray.h"
#include "jobs/rehooks.h"
#include "jobs/tasks.h"
#include "model/settings.h"
#include "model/simrecord.h"
#include "plan/plan.h"

namespace vdln {

/// The three iteration files of one place (the RE directory, or one run's
/// start copies).
struct TKoraleREFileNames {
    std::string rorext;
    std::string iter;
    std::string extra;
};

/// Name of the iteration-variables mapping file in the Working Directory.
inline constexpr const char* kIterVarMapName = "itervar.map";
/// Name of the RE directory under the Temporary Directory.
inline constexpr const char* kKorREDirName = "KorRE";

/// What the iterations work with; the references must outlive the object.
struct REContext {
    TSimRecord& rec;
    ProgramSettings& settings;
    Dialogs& dialogs;
    const Clock& clock;
    std::string tempDir;
    /// `FirstPolicyYear` as the engine computed it for the job.
    std::function<int()> firstPolicyYear;
    /// Shows a convergence report in the overview window (title, text); when
    /// empty the report is shown in an information box with OK and Help.
    std::function<void(const std::string& title, const std::string& text)> showOverview;
};

/// One reported variable of the convergence files: the variable and the
/// header of the solution files that holds it.
struct IterVarEntry {
    std::string variable;
    std::string header;
};

/// The three values of one industry and year over the last three
/// iterations, oldest first.
struct ConvergenceTriple {
    double a = 0, b = 0, c = 0;
};

/// The counts of a convergence report.
struct ConvergenceCounts {
    int pairs = 0;
    int notConverging = 0;
    int notMonotonic = 0;
    double largest = 0;  ///< the largest |C - B|
    int above001 = 0;    ///< |C - B| > 0.001
    int above0005 = 0;   ///< |C - B| > 0.0005
    int above0001 = 0;   ///< |C - B| > 0.0001
};

/// Counts the pairs: converging when both differences are at most 0.00001
/// or the last one is smaller; monotonic when both are at most 0.00001 or
/// the values never turn.
ConvergenceCounts countConvergence(const std::vector<ConvergenceTriple>& triples);

/// A value in the run-time library's default scientific form: a sign
/// position (blank or "-"), one digit, a point, 14 digits, "E", the
/// exponent's sign and 4 digits, e.g. " 2.68742442131042E-0005".
std::string scientificText(double value);

/// The report text of a run (see `KoraleRE::convergenceReport`);
/// `baseIterationsNote` > 0 adds the Policy's note on the Base's iterations.
std::string convergenceReportText(int maxIterations, int run, int baseIterationsNote,
                                  const ConvergenceCounts& counts);

/// The report list of a run from its "iterB"/"iterR"/"iterP" lines: positive
/// numbers up to `maxIterations`, then every iteration after the largest
/// listed one; every iteration 1..`maxIterations` when `lines` is nullopt
/// (no file).
std::vector<int> reportList(const std::optional<std::vector<std::string>>& lines, int maxIterations);

/// The variable names of "itervar.map": every non-blank line (trimmed) names
/// a variable, the last line included; blank lines are skipped.
std::vector<std::string> iterVarNames(const std::vector<std::string>& lines);

/// The largest change of RORG between successive iterations of a run.
struct MaxChangePoint {
    int iteration = 0;  ///< the later of the two iterations (run-local, 2..)
    double change = 0;
};

/// The rational-expectations side of a job.
class KoraleRE : public RationalExpectationsHooks {
public:
    explicit KoraleRE(REContext context);
    ~KoraleRE() override;

    // --- The iteration counts of the next job -------------------------------
    /// A fresh job from one of the iterating Tasks commands.
    void setCounts(const ReIterationCounts& counts);
    /// "Do Extra Iterations" of `run`: `done` iterations exist, `wanted` in
    /// all; the job starts the run at iteration `done` + 1.
    void setExtraIterations(int run, int done, int wanted, bool doingRE);
    /// The next job does not iterate.
    void clearCounts();

    // --- Names ---------------------------------------------------------------
    /// Checks the logical files "ITER", "ROREXT" and "EXTRA" and makes the RE
    /// directory and the names.  False (after the message) when one is missing.
    bool setUpNames();
    /// The current iteration files in the RE directory.
    const TKoraleREFileNames& currentFiles() const { return m_current; }
    /// The RE directory.
    std::string reDirectory() const;
    /// Start copy of run r's file ("ROREXT", "ITER" or "EXTRA") for an
    /// iteration (run-local), in the Working Directory.
    std::string startCopyName(int run, const std::string& logical, int iteration) const;
    /// Preserved ROREXT file of run r after an iteration.
    std::string preservedRorextName(int run, int iteration) const;
    /// Preserved "aggrex" CSV file of run r ("yony" or "cum") after an iteration.
    std::string preservedCsvName(int run, const std::string& resultType, int iteration) const;
    /// Convergence header array file of run r named for a global iteration.
    std::string convergenceFileName(int run, int globalIteration) const;
    /// The file of logical file `logical` that simulation `NumYears` of run r
    /// generates (Working Directory).
    std::string generatedLastYearFile(int run, const std::string& logical) const;
    /// Global iteration number of run r's iteration `iteration`.
    int globalIteration(int run, int iteration) const;

    // --- Operations ----------------------------------------------------------
    /// Reads a run's iteration count from its last year's ITER file (ITNO - 1);
    /// errors are shown unless `quiet`.
    std::optional<int> readIterationCount(int run, bool quiet = false);
    /// Job start when the Base is not part of the job: the earlier runs'
    /// iteration counts must match the Sim Overview page.
    bool checkCompletedRuns(const TBigJobDetails& job);
    /// The convergence report of run r (nullopt without a complete history).
    std::optional<std::string> convergenceReport(int run);
    /// The reports of the last job that finished, per run ("" when none).
    const PerRun<std::string>& lastReports() const { return m_lastReports; }
    /// The largest change of RORG between successive iterations of run r,
    /// read from its preserved ROREXT files (iterations 2.. whose files and
    /// predecessors exist), up to the run's iteration count of the job, or
    /// up to `upTo` when it is given (a session that ran no job yet).
    std::vector<MaxChangePoint> maxChangeSeries(int run, int upTo = 0) const;
    /// The largest change series of the last finished job, per run.
    const PerRun<std::vector<MaxChangePoint>>& lastSeries() const { return m_lastSeries; }
    /// The variable map read when the convergence file was started.
    const std::vector<IterVarEntry>& variableMap() const { return m_varMap; }
    /// The report list of run r (after its convergence file was started).
    const std::vector<int>& reportListOf(int run) const { return m_reportList[static_cast<size_t>(run)]; }

    // --- RationalExpectationsHooks --------------------------------------------
    bool doingRE() const override { return m_doingRE; }
    bool boxCheckedOnSupportingModel() const override;
    int iterationsDone(int run) const override { return at(m_done, run); }
    int maxIterations(int run) const override { return at(m_max, run); }
    int currentIteration(int run) const override { return at(m_currentIt, run); }
    int startIteration(int run) const override { return at(m_start, run); }
    void setCurrentIteration(int run, int iteration) override;
    TReFileNames reFileNames() const override { return {m_current.rorext, m_current.iter, m_current.extra}; }
    bool startJob(const TBigJobDetails& job) override;
    bool setUpIterationFiles(int run) override;
    bool saveRerunStartCopy() override;
    bool startConvergenceFile(int run) override;
    bool standardChecks(int run, int year) override;
    bool endOfIteration(int run) override;
    void countIteration(int run) override;
    void finalReport() override;
    void release() override;

private:
    static int at(const PerRun<int>& a, int run) {
        return run >= 1 && run <= 3 ? a[static_cast<size_t>(run)] : 0;
    }
    int firstPolicyYear() const;
    int firstYearOf(int run) const;
    int lastYearOf(int run) const;
    int userFile(const std::string& logical) const;
    std::string nowText() const;
    std::string originalRorext(int run) const;
    std::string firstYearInput(const std::string& logical) const;
    Status prepare(int run);
    Status fillHistoryFromPreserved(int run);
    Status storeHistory(int run, int slot, const std::string& rorextFile);
    Status buildConvergenceFile(int run, const std::string& solFile);
    Status addIterationToConvergenceFile(int run, int position);
    void error(const std::string& text, bool help = true);
    /// Frees the convergence files and histories (the counts stay).
    void releaseState();

    REContext m_ctx;
    bool m_doingRE = false;
    PerRun<int> m_max{}, m_done{}, m_currentIt{0, 1, 1, 1}, m_start{0, 1, 1, 1};
    bool m_namesSet = false;
    TKoraleREFileNames m_current;
    PerRun<int> m_jobFirst{}, m_jobLast{};
    PerRun<int> m_prepared{};  ///< the iteration whose files were last made, per run
    PerRun<std::optional<HarFile>> m_convergence;
    PerRun<std::vector<int>> m_reportList;
    std::vector<IterVarEntry> m_varMap;
    /// RORG of the last three iterations: 3 x years x industries.
    PerRun<std::optional<Mat3>> m_history;
    PerRun<std::array<bool, 3>> m_historyFilled{};
    PerRun<std::string> m_lastReports;
    PerRun<std::vector<MaxChangePoint>> m_lastSeries;
};

}  // namespace vdln
