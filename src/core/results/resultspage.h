#pragma once
/// The state of the Results page's controls as data: the individual-years
/// choices (run, item, year) and the all-years choices (run, All/Some,
/// style), rebuilt when the application changes and set from the choices a
/// finished job leaves (`ResultsPageChoice`).  The window mirrors it in its
/// controls and passes it to the operations of `results/resultsview.h`.

#include <string>
#include <vector>

#include "jobs/engine.h"
#include "results/resultsview.h"

namespace vdln {

struct ResultsPageState {
    // Individual years.
    int yearRun = kRunBase;  ///< 1..3
    std::vector<YearItem> items;
    std::vector<YearEntry> years;
    int item = 0;  ///< index in `items`
    int year = 0;  ///< index in `years`
    // All or some years.
    AllYearsRequest allYears;
    AllYearsStyle style;
    bool rerunEnabled = true;  ///< the Base-rerun choices
    std::string differencesCaption;
    std::string graphsCaption;

    /// The item and the simulation selected (nullptr / -1 when the lists are empty).
    const YearItem* selectedItem() const;
    int selectedSim() const;
};

/// Rebuilds the lists and captions from the application, keeping the
/// selections (`keptSelection`), and applies the style rules to the
/// all-years choice.  A Rerun choice falls back to the Base when the Base
/// rerun is not part of the application.
void refreshResultsPage(ResultsPageState& page, const ResultsContext& ctx);

/// Chooses what a finished job produced: the all-years run (Differences
/// when the Policy's deviations were made), All or Some years, the style,
/// and the individual-years run; then `refreshResultsPage`.  When the year
/// selected is one the individual-years run did not simulate, the last year
/// is selected.  A choice that is not valid leaves the page as it is.
void applyResultsChoice(ResultsPageState& page, const ResultsPageChoice& choice, const ResultsContext& ctx);

/// Chooses the all-years run: the style follows the rules
/// (`allYearsStyle`), keeping the style asked for where it is enabled.
void chooseAllYearsRun(ResultsPageState& page, AllYearsRun run, const ResultsContext& ctx);

}  // namespace vdln
