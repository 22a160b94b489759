#include "runrecord/prereqorder.h"

#include <gtest/gtest.h>

namespace vdln {
namespace {

TBigJobDetails job(int b1, int b2, int p1, int p2) {
    TBigJobDetails j;
    j.FirstSimYear[1] = b1;
    j.LastSimYear[1] = b2;
    j.DoSims[1] = b2 >= b1;
    j.FirstSimYear[3] = p1;
    j.LastSimYear[3] = p2;
    j.DoSims[3] = p2 >= p1;
    return j;
}

TEST(SequenceCheck, PolicyStartingAfterTheBaseIsRefused) {
    auto year = [](int i) { return 2000 + i; };
    // Base 3..5 and Policy 4..5 with the policy starting in year 1: policy
    // year 3 would be missing after the Base's year 3.
    std::string m = sequenceCheckMessage(job(3, 5, 4, 5), 1, year, false, false);
    EXPECT_EQ(
        m,
        "If you run these jobs, you will end up with run jobs not run in sequence.\r\n"
        "For example, you have asked to run the simulation for year 2003 (year number 3) of the Base\r\n"
        " to be follwed later on by the simulation for year 2004 (year number 4) of the Policy.\r\n"
        "However you have not asked to run the simulation for year 2003 (year number 3) of the Policy.\r\n"
        "This means that this latter simulation for year 2003 (year number 3) of the Policy\r\n"
        " will not have been run after the simulation for the  same year of the Base which is a "
        "prerequisite for it.");
    // Same years, a later policy start, or no Base: in sequence.
    EXPECT_EQ(sequenceCheckMessage(job(3, 5, 3, 5), 1, year, false, false), "");
    EXPECT_EQ(sequenceCheckMessage(job(3, 5, 4, 5), 4, year, false, false), "");
    EXPECT_EQ(sequenceCheckMessage(job(9, 0, 4, 5), 1, year, false, false), "");
    // Base before the policy start: h is the policy start.
    m = sequenceCheckMessage(job(1, 5, 4, 5), 2, year, true, false);
    EXPECT_NE(m.find("run the simulation for period 2002 (period number 2) of the Base"), std::string::npos);
}

}  // namespace
}  // namespace vdln
