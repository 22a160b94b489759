#pragma once
// A small forward-looking application for the rational-expectations tests:
// three years from 2024, the user files BASEDATA, ROREXT (key "REX"), ITER
// and EXTRA, a policy shock in 2025 (so the policy starts in year 2), and
// first-year iteration files with visible values; the header array helpers
// write and read the few headers the tests need.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/dialogs.h"
#include "doubles/scripteddialogs.h"
#include "formats/harfile.h"
#include "model/filenames.h"
#include "model/settings.h"
#include "model/simgrid.h"
#include "results/ratexp.h"
#include "support/tempdir.h"

namespace vdln::testing {

inline PHarHeader takeHeader(Result<PHarHeader> r) {
    EXPECT_TRUE(r) << r.message();
    return r ? std::move(*r) : nullptr;
}
inline PHarHeader oneValue(const std::string& name, float v) {
    return takeHeader(makeREHeader(name, name, {}, {v}));
}
inline std::vector<std::string> inds() {
    return {"AGR", "MAN", "SER"};
}
inline PHarHeader overInd(const std::string& name, std::vector<float> v) {
    return takeHeader(makeREHeader(name, name, {{"IND", inds()}}, std::move(v)));
}
inline PHarHeader rorgHeader(std::vector<float> v, int years = 3) {
    std::vector<std::string> y;
    for (int k = 0; k < years; ++k) y.push_back("Y" + std::to_string(2024 + k));
    return takeHeader(makeREHeader("RORG", "Rates of return", {{"IND", inds()}, {"YRS", y}}, std::move(v)));
}
inline void writeHar(const std::string& file, std::vector<PHarHeader> headers) {
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    auto f = NewHarFile("test", "09/12/2026 10:00:00", false, false);
    ASSERT_TRUE(f) << f.message();
    for (auto& h : headers) ASSERT_TRUE(addHeader(*f, std::move(h)));
    Status s = WriteHarFile(file, "test", "09/12/2026 10:00:00", *f);
    ASSERT_TRUE(s) << s.message();
}
/// The values of a header (empty when missing).
inline std::vector<float> harValues(const std::string& file, const std::string& header) {
    auto h = ReadHeaderFromHarFile(file, header);
    if (!h || !*h) return {};
    return (*h)->realValues();
}

class REApp : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        work = path("work");
        temp = path("temp");
        std::filesystem::create_directories(work);
        std::filesystem::create_directories(temp);
        rec = CreateSimRecord();
        rec.NumYears = 3;
        rec.StartYear = 2024;
        rec.SimNames[1] = "BS1";
        rec.SimNames[2] = "BR1";
        rec.SimNames[3] = "PL1";
        rec.WorkDir = work;
        const char* names[] = {"BASEDATA", "ROREXT", "ITER", "EXTRA"};
        rec.NumModelFiles = rec.NumFiles = 4;
        for (int f = 1; f <= 4; ++f) {
            rec.ModelFiles[f] = makeModelFileDesc(names[f - 1], "HAR", true, true, names[f - 1]);
            rec.Files[f] = makeSimFileEntry(rec.ModelFiles[f], f);
        }
        rec.Files[2].Key = "REX";
        for (int i = 1; i <= kMaxYears; ++i) rec.PeriodLength[i] = 1;
        ComputeYears(rec);
        rec.GridStem(0, 1) = "BASE";
        rec.GridStem(0, 3) = "POL";
        rec.GridStem(2, 4) = "P2";
        RefreshGrid(rec);
        settings.model.FirstYearList = {"file BASEDATA = BASE2023.HAR ;", "file ROREXT = ROREXT2023.HAR ;",
                                        "file ITER = ITER2023.HAR ;", "file EXTRA = EXTRA2023.HAR ;"};
        settings.re.DoingRE = true;
        settings.re.BaseIterations = 4;
        settings.re.RerunIterations = 1;
        settings.re.PolicyIterations = 3;
        writeFirstYearFiles();
        re = std::make_unique<KoraleRE>(
            REContext{rec, settings, dialogs, clock, temp, [this] { return fpy; }, {}});
    }

    void writeFirstYearFiles() {
        writeHar(work + "/ROREXT2023.HAR",
                 rorextHeaders({0.025f, 0.05f, 0.075f, 0.025f, 0.05f, 0.075f, 0.025f, 0.05f, 0.075f}));
        writeHar(work + "/ITER2023.HAR", [] {
            std::vector<PHarHeader> h;
            h.push_back(oneValue("ITNO", 1));
            return h;
        }());
        writeHar(work + "/EXTRA2023.HAR", [] {
            std::vector<PHarHeader> h;
            h.push_back(oneValue("YEAR", 7));
            return h;
        }());
        writeFile(work + "/BASE2023.HAR", "data");
    }
    static std::vector<PHarHeader> rorextHeaders(std::vector<float> rorg) {
        std::vector<PHarHeader> h;
        h.push_back(overInd("ADRE", {1, 1, 1}));
        h.push_back(rorgHeader(std::move(rorg)));
        for (const char* n : {"NFIT", "NRIT", "HORZ", "YRPL"}) h.push_back(oneValue(n, 0));
        return h;
    }
    /// An ITER file as simulation `NumYears` of run r writes it.
    void writeLastIter(int run, float itno) {
        std::vector<PHarHeader> h;
        h.push_back(oneValue("ITNO", itno));
        writeHar(re->generatedLastYearFile(run, "ITER"), std::move(h));
    }
    /// A ROREXT file as simulation i of run r writes it.
    void writeRorextOf(int i, int run, std::vector<float> rorg) {
        writeHar(work + "/" + DataFileName(rec, i, run, false, 2), rorextHeaders(std::move(rorg)));
    }

    std::string work, temp;
    TSimRecord rec;
    ProgramSettings settings;
    ScriptedDialogs dialogs;
    FixedClock clock{fileTimeFromLocal(2026, 12, 9, 10, 0, 0)};
    int fpy = 2;
    std::unique_ptr<KoraleRE> re;
};

}  // namespace vdln::testing
