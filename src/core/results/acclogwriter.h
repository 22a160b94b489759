#pragma once
/// The accuracy-summary lines of a simulation log, as a model program that
/// extrapolates from three solutions writes them and as `GetAccSummary2`
/// reads them back.  The demonstration model program uses these to write
/// its logs, so the writer and the reader cannot drift apart.
///
/// Order in a log, for each subinterval k = 1, 2, ...:
///   the variables summary of k;
///   when there are updated data files: the data summary of k (with one
///     updated file, the one for that file; with several, optionally one
///     per file, then the one for all updated data);
///   when k was not accurate enough and is solved again: the line of
///     `accNotSufficientLine`, then k's summaries again.
/// Then, only when there are several subintervals or automatic accuracy:
/// the overall variables summary and (optionally) its data summary.  With
/// one subinterval and no automatic accuracy there is no overall summary:
/// the one subinterval's summary is the summary of the whole simulation.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "results/accsummary.h"

namespace vdln {

/// The lines of one block: "   <count> results are judged accurate to <f>
/// figures." for f = 0..6, then an empty line.
std::vector<std::string> accBlockLines(const std::array<std::int32_t, kMaxAccFigures + 1>& counts);

/// A variables summary: for the overall one, first " ACCURACY SUMMARY FOR
/// OVERALL RESULTS" and then " Below are for overall levels values of
/// percent-change and change results."; otherwise " Below are for levels
/// values of percent-change and change results."; then the block.
std::vector<std::string> accVariablesSummaryLines(const std::array<std::int32_t, kMaxAccFigures + 1>& counts,
                                                  bool overall);

/// The data summary of one updated file: " NEXT SUMMARY IS FOR UPDATED DATA
/// FROM LOGICAL FILE <logical name>", then the block.
std::vector<std::string> accFileDataSummaryLines(const std::array<std::int32_t, kMaxAccFigures + 1>& counts,
                                                 const std::string& logicalName);

/// The data summary of all updated files (written when there are several):
/// " NEXT SUMMARY IS FOR ALL UPDATED DATA", then the block.
std::vector<std::string> accAllDataSummaryLines(const std::array<std::int32_t, kMaxAccFigures + 1>& counts);

/// " Accuracy for subinterval <k> not sufficient - accuracy was <percent>
/// percent (required <required> percent)." -- written after subinterval
/// k's summaries when k is solved again.
std::string accNotSufficientLine(int subinterval, int percent, int required);

}  // namespace vdln
