#pragma once
/// The points at which a multi-step job hands over to the rational-
/// expectations iterations.  A job that does not iterate uses
/// `NoRationalExpectations`, which answers "not doing them" and accepts every
/// call; the iterating implementation replaces it without the engine
/// changing.  Every hook that can fail shows its own message through the
/// program's dialogs and answers false; the engine then aborts the job.

#include <string>

#include "jobs/plan.h"

namespace vdln {

/// The iteration files the first simulation of a run's first pass in a job
/// reads for the logical files "ROREXT", "ITER" and "EXTRA".
struct TReFileNames {
    std::string rorext;
    std::string iter;
    std::string extra;
};

class RationalExpectationsHooks {
public:
    virtual ~RationalExpectationsHooks() = default;

    /// True while the job iterates (the Do-RE box is checked and the
    /// request came from one of the iterating commands).
    virtual bool doingRE() const = 0;
    /// The Do-RE box is checked on a model that supports the iterations
    /// (a job run another way is asked whether to go on without them).
    virtual bool boxCheckedOnSupportingModel() const = 0;
    /// Iterations of `run` completed in this job and the most it may do.
    virtual int iterationsDone(int run) const = 0;
    virtual int maxIterations(int run) const = 0;
    /// The iteration of `run` now being simulated (1 in the first pass).
    virtual int currentIteration(int run) const = 0;
    virtual void setCurrentIteration(int run, int iteration) = 0;
    /// The iteration with which this job started `run` (1 for a fresh job;
    /// later for "Do Extra Iterations").  The job's first pass of a run is
    /// the one whose current iteration equals it.
    virtual int startIteration(int /*run*/) const { return 1; }
    /// The iteration files named in the command file of a run's first
    /// simulation in its first pass of the job.
    virtual TReFileNames reFileNames() const { return {}; }

    /// Job start: sets up the file names and checks the completed runs;
    /// also checks the iteration-variables mapping file when convergence
    /// files are wanted.
    virtual bool startJob(const TBigJobDetails& job) = 0;
    /// Before the model program runs at a run's first year in its first
    /// pass of the job: the iteration files are made.  May be called twice
    /// in that pass (the rerun's BOT step and its sim); the second call
    /// does nothing.
    virtual bool setUpIterationFiles(int run) = 0;
    /// Before a later iteration of the rerun at the policy start: the rerun's
    /// start copy is saved (only when the option allows several iterations
    /// on the rerun).
    virtual bool saveRerunStartCopy() = 0;
    /// After "sim"/"sol" at the run's first simulated year in its first
    /// pass: the convergence file is started.
    virtual bool startConvergenceFile(int run) = 0;
    /// After a "sol" part: the standard checks of the iteration.
    virtual bool standardChecks(int run, int year) = 0;
    /// After a run's "cumsol" step: the end-of-iteration processing (the
    /// engine has already counted the iteration).
    virtual bool endOfIteration(int run) = 0;
    /// Counts a completed iteration of `run`.
    virtual void countIteration(int run) = 0;
    /// The job finished: the final convergence report.
    virtual void finalReport() = 0;
    /// The job was aborted: files held open are released.
    virtual void release() = 0;
};

/// Not doing rational expectations: every hook succeeds and does nothing.
class NoRationalExpectations : public RationalExpectationsHooks {
public:
    bool doingRE() const override { return false; }
    bool boxCheckedOnSupportingModel() const override { return false; }
    int iterationsDone(int) const override { return 0; }
    int maxIterations(int) const override { return 0; }
    int currentIteration(int) const override { return 1; }
    void setCurrentIteration(int, int) override {}
    bool startJob(const TBigJobDetails&) override { return true; }
    bool setUpIterationFiles(int) override { return true; }
    bool saveRerunStartCopy() override { return true; }
    bool startConvergenceFile(int) override { return true; }
    bool standardChecks(int, int) override { return true; }
    bool endOfIteration(int) override { return true; }
    void countIteration(int) override {}
    void finalReport() override {}
    void release() override {}
};

}  // namespace vdln
