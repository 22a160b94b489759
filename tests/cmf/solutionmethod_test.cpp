#include "model/solutionmethod.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "cmf/methodlines.h"

namespace vdln {
namespace {

TSolutionMethod makeMethod(int method, int nsol, std::array<int, 3> steps, int sub = 1,
                           bool autoAcc = false) {
    TSolutionMethod m;
    m.Method = method;
    m.NSol = nsol;
    m.Steps = steps;
    m.Subintervals = sub;
    m.AutoAccuracy = autoAcc;
    return m;
}

std::vector<std::string> lines(const TSolutionMethod& m, const TAutoAccuracy& a) {
    std::vector<std::string> out;
    WriteMethodLines(m, a, out);
    return out;
}

TEST(SolutionMethod, Defaults) {
    const TSolutionMethod d = defaultSolutionMethod();
    EXPECT_EQ(d, makeMethod(kJohansen, 1, {1, 3, 5}, 1, false));
    EXPECT_EQ(graggDefaultMethod(), makeMethod(kGragg, 3, {2, 4, 6}, 1, false));
    const TAutoAccuracy a = defaultAutoAccuracy();
    EXPECT_EQ(a.Percent, 80);
    EXPECT_EQ(a.Subintervals, 2);
    EXPECT_EQ(a.Figures, 4);
    EXPECT_FLOAT_EQ(a.MinSubinterval, 0.001f);
    EXPECT_TRUE(a.FailStop);
    EXPECT_EQ(a.Criterion, 0);
}

TEST(SolutionMethod, CommandFileLines) {
    const TAutoAccuracy acc = defaultAutoAccuracy();
    // Johansen writes one step whatever counts are stored.
    EXPECT_EQ(lines(makeMethod(kJohansen, 3, {7, 8, 9}, 4), acc),
              (std::vector<std::string>{"Method = Johansen;", "Steps = 1;", "subintervals = 4;",
                                        "automatic accuracy = no;"}));
    EXPECT_EQ(lines(makeMethod(kEuler, 2, {3, 4, 9}), acc),
              (std::vector<std::string>{"Method = Euler;", "Steps = 3 4;", "subintervals = 1;",
                                        "automatic accuracy = no;"}));
    // With automatic accuracy the accuracy record's subintervals are used.
    TAutoAccuracy a2 = acc;
    a2.Subintervals = 5;
    a2.FailStop = false;
    a2.Criterion = 2;
    a2.Figures = 3;
    a2.Percent = 90;
    EXPECT_EQ(lines(makeMethod(kGragg, 3, {2, 4, 6}, 7, true), a2),
              (std::vector<std::string>{
                  "Method = Gragg;", "Steps = 2 4 6;", "subintervals = 5;", "automatic accuracy = yes;",
                  "accuracy figures = 3;", "accuracy percent = 90;", "minimum subinterval length =  1.0E-03;",
                  "minimum subinterval fails = continue;", "accuracy criterion = Both;"}));
    const auto mid = lines(makeMethod(kMidpoint, 1, {2, 4, 6}, 1, true), acc);
    EXPECT_EQ(mid[0], "Method = Midpoint;");
    EXPECT_EQ(mid[7], "minimum subinterval fails = stop;");
    EXPECT_EQ(mid[8], "accuracy criterion = Data;");
    // A damaged record never reads outside the step array.
    const auto bad = lines(makeMethod(9, 17, {2, 4, 6}), acc);
    EXPECT_EQ(bad[0], "Method = Unknown;");
    EXPECT_EQ(bad[1], "Steps = 2;");
}

TEST(SolutionMethod, Description) {
    struct Case {
        TSolutionMethod m;
        std::string text;
    };
    const Case cases[] = {
        {makeMethod(kJohansen, 1, {1, 3, 5}, 3), "Johansen: 1 step"},
        {makeMethod(kEuler, 2, {3, 4, 5}), "Euler: 3-4 steps extrapolation"},
        {makeMethod(kEuler, 1, {3, 4, 5}), "Euler: 3 steps"},
        {makeMethod(kGragg, 3, {2, 4, 6}, 1, true), "Gragg: 2-4-6 steps extrapolation (Automatic Accuracy)"},
        {makeMethod(kGragg, 3, {2, 4, 6}, 4), "Gragg: 2-4-6 steps extrapolation (4 subintervals)"},
        // Subintervals are mentioned only with three solutions.
        {makeMethod(kMidpoint, 2, {2, 4, 6}, 4), "Midpoint: 2-4 steps extrapolation"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(DescribeMethod(c.m, defaultAutoAccuracy()), c.text);
    }
}

TEST(SolutionMethod, IniSectionsRoundTrip) {
    IniFile ini;
    const TSolutionMethod m = makeMethod(kEuler, 2, {3, 5, 7}, 4, false);
    WriteMethodSection(ini, kAltMethodSection, m);
    TAutoAccuracy a;
    a.Percent = 70;
    a.Subintervals = 3;
    a.Figures = 5;
    a.MinSubinterval = 1e-6f;
    a.FailStop = false;
    a.Criterion = 1;
    WriteAccuracySection(ini, kAltMethodSection, a);
    EXPECT_EQ(
        ini.text(),
        "[Alternative Solution Method]\r\nMethod=2\r\nNSOL=2\r\nSteps1=3\r\nSteps2=5\r\nSteps3=7\r\n"
        "Non Auto Acc Subint=4\r\nAutomatic accuracy=0\r\nAuto Acc Percent=70\r\nAuto Acc Subint=3\r\n"
        "Auto Acc Figures=5\r\nAuto Acc Min Int=1e-06\r\nAuto Acc FailStop=0\r\nAuto Acc Criterion=1\r\n");
    const IniFile back = IniFile::parse(ini.text());
    EXPECT_EQ(ReadMethodSection(back, kAltMethodSection, true), m);
    std::string err;
    const TAutoAccuracy a2 = ReadAccuracySection(back, kAltMethodSection, &err);
    EXPECT_EQ(a2, a);
    EXPECT_EQ(err, "");
}

TEST(SolutionMethod, ReadingWithAndWithoutDefaults) {
    struct Case {
        const char* name;
        const char* text;
        bool useDefaults;
        TSolutionMethod expected;
    };
    const TSolutionMethod current = makeMethod(kEuler, 2, {3, 4, 5}, 2);
    const Case cases[] = {
        {"missing NSOL, defaults", "[Solution Method]\nMethod=2\n", true, graggDefaultMethod()},
        {"zero step, defaults", "[Solution Method]\nMethod=2\nNSOL=3\nSteps1=3\nSteps2=0\nSteps3=5\n", true,
         graggDefaultMethod()},
        {"no method, defaults keeps flag", "[Solution Method]\nAutomatic accuracy=1\n", true,
         makeMethod(kGragg, 3, {2, 4, 6}, 1, true)},
        {"no section, no defaults", "", false, current},
        {"method only, no defaults", "[Solution Method]\nMethod=3\nNon Auto Acc Subint=0\n", false,
         makeMethod(kGragg, 2, {3, 4, 5}, 1)},
        {"out of range method, no defaults", "[Solution Method]\nMethod=12\nNSOL=3\n", false, current},
        {"complete",
         "[solution method]\nmethod=4\nnsol=3\nsteps1=4\nsteps2=6\nsteps3=8\nnon auto acc subint=-3\n", false,
         makeMethod(kMidpoint, 3, {4, 6, 8}, 1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ReadMethodSection(IniFile::parse(c.text), kMethodSection, c.useDefaults, current),
                  c.expected);
    }
}

TEST(SolutionMethod, ReadingAccuracyDefaultsAndBadValues) {
    std::string err;
    TAutoAccuracy a = ReadAccuracySection(IniFile::parse(""), kMethodSection, &err);
    EXPECT_EQ(a, defaultAutoAccuracy());
    EXPECT_EQ(err, "");
    a = ReadAccuracySection(
        IniFile::parse("[Solution Method]\nAuto Acc Min Int=tiny\nAuto Acc Criterion=7\nAuto Acc Subint=0\n"),
        kMethodSection, &err);
    EXPECT_EQ(err, "Error converting tiny to real.");
    EXPECT_FLOAT_EQ(a.MinSubinterval, 0.001f);
    EXPECT_EQ(a.Criterion, 0);
    EXPECT_EQ(a.Subintervals, 1);
}

TEST(SolutionMethod, TextForm) {
    std::vector<std::string> out;
    WriteMethodText(kMethodSection, makeMethod(kGragg, 3, {2, 4, 6}, 1, true), out);
    TAutoAccuracy a;
    a.MinSubinterval = std::numeric_limits<float>::quiet_NaN();  // not formattable: left out
    WriteAccuracyText(a, out);
    EXPECT_EQ(
        out, (std::vector<std::string>{" ", "[Solution Method]", "Method=3", "NSOL=3", "Steps1=2", "Steps2=4",
                                       "Steps3=6", "Non Auto Acc Subint=1", "Automatic accuracy=1",
                                       "Auto Acc Percent=80", "Auto Acc Subint=2", "Auto Acc Figures=4",
                                       "Auto Acc FailStop=1", "Auto Acc Criterion=0"}));
    // The text form reads back through the INI reader.
    std::string text;
    for (const auto& l : out) text += l + "\n";
    EXPECT_EQ(ReadMethodSection(IniFile::parse(text), kMethodSection, true),
              makeMethod(kGragg, 3, {2, 4, 6}, 1, true));
}

TEST(MethodEditor, RulesAfterChanges) {
    // Automatic accuracy stored with 2 solutions is switched off on opening.
    MethodEditor e(makeMethod(kGragg, 2, {2, 4, 6}, 1, true), defaultAutoAccuracy());
    EXPECT_FALSE(e.method().AutoAccuracy);
    EXPECT_FALSE(e.autoAccuracyEnabled());
    EXPECT_FALSE(e.accuracyGroupVisible());
    EXPECT_FALSE(e.subintervalsVisible());
    EXPECT_TRUE(e.secondStepVisible());
    EXPECT_FALSE(e.thirdStepVisible());

    e.setNSol(3);
    EXPECT_TRUE(e.autoAccuracyEnabled());
    e.setAutoAccuracy(true);
    EXPECT_TRUE(e.accuracyGroupVisible());
    EXPECT_EQ(
        e.warningText(),
        "WARNING -- Inappropriate options for automatic accuracy may lead to excessive solution times.");
    // The subintervals box edits the accuracy record while automatic accuracy is on.
    e.setSubintervals(9);
    EXPECT_EQ(e.accuracy().Subintervals, 9);
    EXPECT_EQ(e.method().Subintervals, 1);
    e.setSubintervals(101);  // above the box's range
    EXPECT_EQ(e.accuracy().Subintervals, 9);

    // Johansen forces one solution of one step and disables the boxes.
    e.chooseMethod(kJohansen);
    EXPECT_EQ(e.method().NSol, 1);
    EXPECT_EQ(e.method().Steps[0], 1);
    EXPECT_FALSE(e.method().AutoAccuracy);
    EXPECT_FALSE(e.nsolEnabled());
    EXPECT_FALSE(e.firstStepEnabled());
    EXPECT_EQ(e.warningText(), "");

    // Each method remembers its own steps.
    e.chooseMethod(kEuler);
    EXPECT_EQ(e.method().NSol, 3);
    EXPECT_EQ(e.method().Steps, (std::array<int, 3>{3, 4, 5}));
    e.setStep(3, 9);
    e.chooseMethod(kGragg);
    EXPECT_EQ(e.method().Steps, (std::array<int, 3>{2, 4, 6}));
    e.chooseMethod(kEuler);
    EXPECT_EQ(e.method().Steps, (std::array<int, 3>{3, 4, 9}));

    e.setMinSubintervalExponent(-6);
    EXPECT_EQ(e.minSubintervalExponent(), -6);
    EXPECT_FLOAT_EQ(e.accuracy().MinSubinterval, 1e-6f);
    e.setMinSubintervalExponent(0);  // outside -9..-1
    EXPECT_EQ(e.minSubintervalExponent(), -6);
}

TEST(MethodEditor, SubintervalRangeFollowsLargerStoredValue) {
    MethodEditor e(makeMethod(kGragg, 3, {2, 4, 6}, 250), defaultAutoAccuracy());
    EXPECT_EQ(e.subintervalsMax(), 250);
    e.setSubintervals(200);
    EXPECT_EQ(e.method().Subintervals, 200);
}

TEST(MethodEditor, OkValidation) {
    struct Case {
        const char* name;
        TSolutionMethod m;
        std::string error;
        MethodEditor::Field focus;
    };
    const std::string parity = "For Gragg or MidPoint,\r\nSteps must be ALL odd or ALL even";
    const std::string increasing = "Sequence of steps must be increasing";
    const Case cases[] = {
        {"gragg first 1", makeMethod(kGragg, 3, {1, 3, 5}),
         "For Gragg or MidPoint,\r\nFirst solution must have 2 or more steps", MethodEditor::Field::Step1},
        {"mixed parity", makeMethod(kGragg, 3, {2, 3, 6}), parity, MethodEditor::Field::Step2},
        {"mixed parity third", makeMethod(kMidpoint, 3, {2, 4, 7}), parity, MethodEditor::Field::Step3},
        {"not increasing", makeMethod(kGragg, 3, {2, 2, 6}), increasing, MethodEditor::Field::Step2},
        {"third not increasing", makeMethod(kEuler, 3, {3, 5, 5}), increasing, MethodEditor::Field::Step3},
        {"euler any parity", makeMethod(kEuler, 3, {3, 4, 5}), "", MethodEditor::Field::None},
        {"gragg one solution", makeMethod(kGragg, 1, {3, 1, 1}), "", MethodEditor::Field::None},
        {"all odd", makeMethod(kGragg, 3, {3, 5, 7}), "", MethodEditor::Field::None},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MethodEditor e(c.m, defaultAutoAccuracy());
        const auto out = e.ok();
        EXPECT_EQ(out.error, c.error);
        EXPECT_EQ(out.focus, c.focus);
        EXPECT_EQ(out.result.accepted, c.error.empty());
        EXPECT_FALSE(out.result.changed);
    }
}

TEST(MethodEditor, ChangedAndCancel) {
    const TSolutionMethod open = makeMethod(kGragg, 2, {2, 4, 8}, 3);
    {
        MethodEditor e(open, defaultAutoAccuracy());
        e.setStep(3, 10);  // unused third step: no change
        EXPECT_FALSE(e.ok().result.changed);
        e.setSubintervals(4);
        EXPECT_TRUE(e.ok().result.changed);
        const auto r = e.cancel();
        EXPECT_FALSE(r.accepted);
        EXPECT_FALSE(r.changed);
        EXPECT_EQ(e.method(), open);
    }
    {
        MethodEditor e(open, defaultAutoAccuracy());
        e.setPercent(95);
        EXPECT_TRUE(e.ok().result.changed);
    }
    {
        MethodEditor e(open, defaultAutoAccuracy());
        e.chooseMethod(kJohansen);
        e.chooseMethod(kGragg);  // back to the same values
        EXPECT_FALSE(e.ok().result.changed);
    }
}

}  // namespace
}  // namespace vdln
