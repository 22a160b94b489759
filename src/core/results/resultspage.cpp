#include "results/resultspage.h"

namespace vdln {

namespace {

void applyStyle(ResultsPageState& page, const ResultsContext& ctx, bool wantCumulative) {
    page.style =
        allYearsStyle(page.allYears.run, ctx.settings.YonYDifferencesSs, ctx.settings.AbbreviatedSsJobs);
    // The rule's default, unless the other style was asked for and is enabled.
    bool cumulative = page.style.cumulativeChecked;
    if (wantCumulative && page.style.cumulativeEnabled) cumulative = true;
    if (!wantCumulative && page.style.yearOnYearEnabled) cumulative = false;
    page.allYears.cumulative = cumulative;
    page.style.cumulativeChecked = cumulative;
    page.style.yearOnYearChecked = !cumulative;
}

}  // namespace

const YearItem* ResultsPageState::selectedItem() const {
    return item >= 0 && item < static_cast<int>(items.size()) ? &items[static_cast<size_t>(item)] : nullptr;
}

int ResultsPageState::selectedSim() const {
    return year >= 0 && year < static_cast<int>(years.size()) ? years[static_cast<size_t>(year)].sim : -1;
}

void refreshResultsPage(ResultsPageState& page, const ResultsContext& ctx) {
    auto items = individualYearItems(ctx.rec, ctx.settings.Method.NSol);
    auto years = individualYearList(ctx.rec, ctx.firstPolicyYear);
    page.item = keptSelection(selectionKeys(page.items), page.item, selectionKeys(items));
    page.year = keptSelection(selectionKeys(page.years), page.year, selectionKeys(years));
    page.items = std::move(items);
    page.years = std::move(years);

    page.rerunEnabled = !ctx.noRerun();
    if (!page.rerunEnabled) {
        if (page.yearRun == kRunRerun) page.yearRun = kRunBase;
        if (page.allYears.run == AllYearsRun::Rerun) page.allYears.run = AllYearsRun::Base;
    }
    if (page.yearRun < kRunBase || page.yearRun > kRunPolicy) page.yearRun = kRunBase;
    page.differencesCaption = differencesCaption(page.rerunEnabled);
    page.graphsCaption = graphsCaption(outlensAvailable(ctx));
    applyStyle(page, ctx, page.allYears.cumulative);
}

void chooseAllYearsRun(ResultsPageState& page, AllYearsRun run, const ResultsContext& ctx) {
    page.allYears.run = run;
    // Choosing a run checks the style its rule checks.
    page.style = allYearsStyle(run, ctx.settings.YonYDifferencesSs, ctx.settings.AbbreviatedSsJobs);
    applyStyle(page, ctx, page.style.cumulativeChecked);
}

void applyResultsChoice(ResultsPageState& page, const ResultsPageChoice& choice, const ResultsContext& ctx) {
    if (!choice.valid) return;
    if (choice.run >= kRunBase && choice.run <= kRunPolicy) {
        page.allYears.run =
            choice.differences ? AllYearsRun::Differences : static_cast<AllYearsRun>(choice.run);
        page.allYears.someYears = !choice.allYears;
        page.allYears.cumulative = choice.cumulative || !choice.yearOnYear;
    }
    const bool individual = choice.individualYearsRun >= kRunBase && choice.individualYearsRun <= kRunPolicy;
    if (individual) page.yearRun = choice.individualYearsRun;
    refreshResultsPage(page, ctx);
    // A year the run did not simulate (the base year, before the first
    // policy year) has nothing to show: the last year is chosen instead.
    if (individual && !page.years.empty() && page.selectedSim() < ctx.firstSimOf(page.yearRun))
        page.year = static_cast<int>(page.years.size()) - 1;
}

}  // namespace vdln
