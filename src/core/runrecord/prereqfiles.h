#pragma once
/// The work items of a job and what each of them reads: which items belong
/// to the job, which input files every item needs and which item produces
/// each of them, the earlier results the job builds on, and the check that
/// every needed file exists now or will be made by the job itself.
///
/// A work item is (type, year index): type 1 a Base simulation, 2 the BOT
/// job of a year (recorded under run 2, or run 3 in no-rerun mode), 3 a Rerun
/// simulation (not used in no-rerun mode), 4 a Policy simulation; year
/// indexes 1..`NumYears` are years, `NumYears` + 1 is the spreadsheet step of
/// the item type's run and `NumYears` + 2 the deviation spreadsheet step of
/// the Policy.  Types 2..4 start at the first Policy year.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "plan/plan.h"
#include "runrecord/runrecord.h"

namespace vdln {

/// The item types.
enum ItemType : int { kItemBase = 1, kItemBot = 2, kItemRerun = 3, kItemPolicy = 4 };

/// One work item.
struct WorkItem {
    int type = kItemBase;
    int year = 1;
    bool operator==(const WorkItem&) const = default;
};

/// One input file of an item.
struct ItemInput {
    std::string role;                  ///< e.g. "    The BOT file"
    std::string file;                  ///< full path ("" when the name is not known)
    std::optional<WorkItem> producer;  ///< the item that makes it; none for starting data
};

/// The items of a job, their inputs and producers.
class PrereqPlan {
public:
    /// `botNeeded(i)` tells whether the stored BOT files of year i must be
    /// made again (asked only when a BOT job is otherwise not certain to run).
    PrereqPlan(const RunRecordEnv& env, const TBigJobDetails& job, const std::function<bool(int)>& botNeeded);

    /// The run an item type runs or is recorded under (BOT jobs: 2, or 3 in
    /// no-rerun mode).
    int runOf(int type) const;
    /// The item type of a run's simulations and spreadsheet step.
    static int typeOfRun(int run) { return run == 1 ? kItemBase : run == 2 ? kItemRerun : kItemPolicy; }
    /// True for an item that exists in this application (types 2..4 from the
    /// first Policy year, no Rerun items in no-rerun mode, BOT jobs only for
    /// years, the deviation step only for the Policy).
    bool exists(WorkItem it) const;
    /// True when the job does the item.
    bool inJob(WorkItem it) const;
    /// The position of an item in the traversal (year by year, types 1..4
    /// within a year).
    int order(WorkItem it) const { return (it.year - 1) * 4 + (it.type - 1); }
    /// The items of the job in traversal order.
    std::vector<WorkItem> jobItems() const;
    /// The files the item reads, each with its producer.
    std::vector<ItemInput> inputs(WorkItem it) const;
    /// The items whose results the item builds on (the producers of its
    /// inputs, and for the deviation step the Policy's spreadsheet step),
    /// without duplicates.
    std::vector<WorkItem> dependsOn(WorkItem it) const;
    /// The items the job builds on that it does not do itself, followed back
    /// through their own dependencies, in traversal order.
    std::vector<WorkItem> prerequisites() const;
    /// The item in words: the simulation phrase, "BOT job for year <Y>",
    /// "ss job for the <run>" or "differences ss job for the Policy".
    std::string describe(WorkItem it) const;

    /// The application the plan was made for.
    const RunRecordEnv& env() const { return m_env; }

private:
    /// The data files a simulation (or BOT job) of run `run` in year i reads.
    void dataInputs(int run, int i, std::vector<ItemInput>& out) const;
    /// The solution file of run r in year i as an input.
    ItemInput solutionInput(int run, int i) const;
    std::vector<int> spreadsheetYears(int run) const;

    const RunRecordEnv& m_env;
    TBigJobDetails m_job;  ///< a copy: a plan may outlive the request it was made from
    int m_n = 0;
    std::vector<bool> m_botInJob;  ///< index: year
};

/// The missing inputs of the job's items, one text per missing input (in
/// traversal order): an input that does not exist now and that no earlier
/// item of the job makes.  `onYear` (when given) is told each year index
/// before its items are examined.
std::vector<std::string> missingPrerequisiteFiles(const PrereqPlan& plan,
                                                  const std::function<void(int)>& onYear = {});

}  // namespace vdln
