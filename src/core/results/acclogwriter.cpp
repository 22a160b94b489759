#include "results/acclogwriter.h"

namespace vdln {

std::vector<std::string> accBlockLines(const std::array<std::int32_t, kMaxAccFigures + 1>& counts) {
    std::vector<std::string> out;
    for (int f = 0; f <= kMaxAccFigures; ++f)
        out.push_back("   " + std::to_string(counts[static_cast<size_t>(f)]) +
                      " results are judged accurate to " + std::to_string(f) + " figures.");
    out.emplace_back();
    return out;
}

namespace {
std::vector<std::string> withBlock(std::vector<std::string> head,
                                   const std::array<std::int32_t, kMaxAccFigures + 1>& counts) {
    std::vector<std::string> block = accBlockLines(counts);
    head.insert(head.end(), block.begin(), block.end());
    return head;
}
}  // namespace

std::vector<std::string> accVariablesSummaryLines(const std::array<std::int32_t, kMaxAccFigures + 1>& counts,
                                                  bool overall) {
    if (overall)
        return withBlock({" ACCURACY SUMMARY FOR OVERALL RESULTS",
                          " Below are for overall levels values of percent-change and change results."},
                         counts);
    return withBlock({" Below are for levels values of percent-change and change results."}, counts);
}

std::vector<std::string> accFileDataSummaryLines(const std::array<std::int32_t, kMaxAccFigures + 1>& counts,
                                                 const std::string& logicalName) {
    return withBlock({" NEXT SUMMARY IS FOR UPDATED DATA FROM LOGICAL FILE " + logicalName}, counts);
}

std::vector<std::string> accAllDataSummaryLines(const std::array<std::int32_t, kMaxAccFigures + 1>& counts) {
    return withBlock({" NEXT SUMMARY IS FOR ALL UPDATED DATA"}, counts);
}

std::string accNotSufficientLine(int subinterval, int percent, int required) {
    return " Accuracy for subinterval " + std::to_string(subinterval) + " not sufficient - accuracy was " +
           std::to_string(percent) + " percent (required " + std::to_string(required) + " percent).";
}

}  // namespace vdln
