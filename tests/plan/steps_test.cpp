#include "plan/steps.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace vdln {
namespace {

// The texts the jobs log, the status lines and the stored inputs use, in the
// order the enums list them.
const std::vector<std::string> kJobNames{"",       "sim",    "bot",    "csv",   "sssol",
                                         "aggrex", "cumsol", "divero", "devsol"};
const std::vector<std::string> kJobParts{"",        "sim", "sol",   "env",  "tellur1", "sectra1", "solpol",
                                         "tellur2", "csv", "sssol", "yony", "cum",     "py"};
const std::vector<std::string> kFileSets{"all",     "model",   "data inputs", "updated inputs",
                                         "cmfbits", "cmfstart"};
const std::vector<std::string> kOrders{"pol-ASAP", "base-ASAP"};

// Every value has its text, every text its value, and no two share one.
template <class E, class FromText>
void expectRoundTrip(const std::vector<std::string>& texts, FromText fromText) {
    std::set<std::string_view> seen;
    for (size_t k = 0; k < texts.size(); ++k) {
        const E value = static_cast<E>(k);
        SCOPED_TRACE(texts[k]);
        EXPECT_EQ(text(value), texts[k]);
        EXPECT_TRUE(seen.insert(text(value)).second) << "two values share a text";
        const std::optional<E> back = fromText(texts[k]);
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(*back, value);
    }
    // One past the last value has no text of its own.
    EXPECT_EQ(text(static_cast<E>(texts.size())), "?");
    EXPECT_FALSE(fromText("?").has_value());
    EXPECT_FALSE(fromText(texts.back() + " ").has_value());
}

TEST(StepVocabulary, EveryValueRoundTripsThroughItsText) {
    expectRoundTrip<JobKind>(kJobNames, jobKindFromText);
    expectRoundTrip<PartKind>(kJobParts, partKindFromText);
    expectRoundTrip<SimFileSet>(kFileSets, simFileSetFromText);
    expectRoundTrip<JobOrder>(kOrders, jobOrderFromText);
    EXPECT_FALSE(jobKindFromText("SIM").has_value()) << "texts are matched exactly";
    EXPECT_FALSE(simFileSetFromText("").has_value());
}

TEST(StepVocabulary, GroupsOfStepsAndParts) {
    EXPECT_EQ(stepText(JobKind::Bot, PartKind::Sectra1), "bot/sectra1");
    EXPECT_EQ(lastBotPart(false), PartKind::Sectra1);
    EXPECT_EQ(lastBotPart(true), PartKind::Tellur2);
    for (size_t k = 0; k < kJobNames.size(); ++k) {
        const JobKind kind = static_cast<JobKind>(k);
        const std::string& t = kJobNames[k];
        SCOPED_TRACE(t);
        EXPECT_EQ(isAccumulationStep(kind), t == "aggrex" || t == "cumsol" || t == "divero" || t == "devsol");
        EXPECT_EQ(isDeviationStep(kind), t == "divero" || t == "devsol");
        for (size_t q = 0; q < kJobParts.size(); ++q) {
            const std::string& p = kJobParts[q];
            EXPECT_EQ(isModelPart(kind, static_cast<PartKind>(q)),
                      (t == "sim" && p == "sim") || (t == "bot" && p == "env"))
                << p;
        }
    }
}

}  // namespace
}  // namespace vdln
