// The results chart window over the spreadsheet files of a real run of the
// demonstration application (the vardelon executable and the suite
// programs, as the end-to-end tests run them): the series drawn equal the
// files' values read here, and the Base and deviation values follow from
// the demo's shocks.
#include "charts/chartwindow.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QImage>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "charts/resultschart.h"
#include "support/tempdir.h"
#include "support/testpaths.h"

namespace vdln {
namespace {

const std::string kBin = vdln::testing::testBinDir();

// A table read with nothing of the program's: row -> year -> value.
using Table = std::map<std::string, std::map<int, double>>;
Table readCsv(const std::string& file) {
    Table t;
    std::ifstream in(file);
    EXPECT_TRUE(in) << file;
    std::string line;
    std::vector<int> years;
    bool head = true;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> cells;
        std::stringstream ss(line);
        for (std::string c; std::getline(ss, c, ',');) cells.push_back(c);
        if (cells.empty()) continue;
        if (head) {
            for (size_t k = 1; k < cells.size(); ++k) years.push_back(std::stoi(cells[k]));
            head = false;
            continue;
        }
        for (size_t k = 1; k < cells.size() && k <= years.size(); ++k)
            if (!cells[k].empty()) t[cells[0]][years[k - 1]] = std::strtod(cells[k].c_str(), nullptr);
    }
    return t;
}

class ChartWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        for (const char* program : {"/growth.exe", "/vardelon-demo", "/vardelon"})
            if (!std::filesystem::exists(kBin + program)) missing = kBin + program;
        if (!missing.empty()) return;
        root = testing::makeTempDir("vdlncharts");
        const std::string cmd = "cd " + root + " && mkdir -p keep temp && " + kBin +
                                "/vardelon-demo app > demo.txt 2>&1 && SVKEEP=" + root +
                                "/keep SVTEMP=" + root + "/temp " + kBin +
                                "/vardelon all all app/growth.ds1 > job.txt 2>&1";
        const int rc = std::system(cmd.c_str());
        ran = WIFEXITED(rc) && WEXITSTATUS(rc) == 0;
    }
    static void TearDownTestSuite() {
        if (!root.empty()) testing::removeTree(root);
    }
    void SetUp() override {
        ASSERT_TRUE(missing.empty()) << missing << " is not built";
        ASSERT_TRUE(ran) << "the demo job failed; see " << root << "/job.txt";
        TSimRecord rec = CreateSimRecord();
        rec.WorkDir = app();
        rec.NumYears = 6;
        rec.StartYear = 2024;
        for (int i = 1; i <= 6; ++i) rec.PeriodLength[i] = 1;
        ComputeYears(rec);
        rec.SimNames[1] = "BS1";
        rec.SimNames[2] = "BR1";
        rec.SimNames[3] = "PL1";
        sources = chartSourcesFor(rec, 2, false);  // the first policy year is 2025
    }
    static std::string app() { return root + "/app"; }

    static std::string root;
    static std::string missing;  ///< a program the tests run that is not built
    static bool ran;
    ChartSources sources;
    const std::vector<int> years{2024, 2025, 2026, 2027, 2028, 2029};
    // The Base's shocks to x, one per year.
    const std::vector<double> g{3.0, 2.8, 2.6, 2.4, 2.2, 2.0};
};
std::string ChartWindowTest::root;
std::string ChartWindowTest::missing;
bool ChartWindowTest::ran = false;

// Compares what the chart draws with a file's row, year by year.
void expectSeries(const ResultsChart& chart, int k, const Table& t, const std::string& row,
                  const std::vector<int>& years) {
    std::vector<double> drawn = chart.seriesValues(k);
    ASSERT_EQ(drawn.size(), years.size());
    auto it = t.find(row);
    ASSERT_NE(it, t.end()) << row;
    for (size_t i = 0; i < years.size(); ++i) {
        SCOPED_TRACE(years[i]);
        auto v = it->second.find(years[i]);
        if (v == it->second.end())
            EXPECT_TRUE(std::isnan(drawn[i])) << drawn[i];
        else
            EXPECT_DOUBLE_EQ(drawn[i], v->second);
    }
}

TEST_F(ChartWindowTest, FontsAreAvailableForOffscreenText) {
    EXPECT_FALSE(QFontDatabase::families().isEmpty());
}

TEST_F(ChartWindowTest, LinesOfTheThreeRunsEqualTheSpreadsheets) {
    for (bool cumulative : {false, true}) {
        SCOPED_TRACE(cumulative ? "cumulative" : "year-on-year");
        ChartRequest req;
        req.cumulative = cumulative;
        req.rows = {"x(MAN)", "k(MAN)"};
        ResultsChartWindow w(sources);
        w.setRequest(req);
        const ResultsChart& c = w.chart();
        EXPECT_FALSE(c.bars());
        EXPECT_EQ(c.yearLabels(), (QStringList{"2024", "2025", "2026", "2027", "2028", "2029"}));
        EXPECT_EQ(c.seriesNames(), (QStringList{"Base x(MAN)", "Rerun x(MAN)", "Policy x(MAN)", "Base k(MAN)",
                                                "Rerun k(MAN)", "Policy k(MAN)"}));
        const char* files[] = {cumulative ? "BS1B-ssc.csv" : "BS1B-ssy.csv",
                               cumulative ? "BS1B-BR1R-ssc.csv" : "BS1B-BR1R-ssy.csv",
                               cumulative ? "BS1B-BR1R-PL1P-ssc.csv" : "BS1B-BR1R-PL1P-ssy.csv"};
        for (int run = 0; run < 3; ++run) {
            SCOPED_TRACE(files[run]);
            const Table t = readCsv(app() + "/" + files[run]);
            expectSeries(c, run, t, "x(MAN)", years);
            expectSeries(c, 3 + run, t, "k(MAN)", years);
        }
        // The Rerun and the Policy start in 2025: nothing drawn in 2024.
        EXPECT_TRUE(std::isnan(c.seriesValues(1)[0]));
        EXPECT_TRUE(w.note().isEmpty()) << w.note().toStdString();
    }
}

TEST_F(ChartWindowTest, BaseLinesFollowTheShocks) {
    ChartRequest req;
    req.runs = {false, true, false, false};
    req.rows = {"x(AGR)"};
    ResultsChartWindow w(sources);
    w.setRequest(req);
    std::vector<double> yony = w.chart().seriesValues(0);
    req.cumulative = true;
    w.setRequest(req);
    std::vector<double> cum = w.chart().seriesValues(0);
    ASSERT_EQ(yony.size(), 6u);
    ASSERT_EQ(cum.size(), 6u);
    double level = 1;
    for (size_t i = 0; i < 6; ++i) {
        SCOPED_TRACE(years[i]);
        level *= 1 + g[i] / 100;
        EXPECT_NEAR(yony[i], g[i], 1e-6);  // x is exogenous in the Base: its shock
        EXPECT_NEAR(cum[i], 100 * (level - 1), 1e-4);
    }
}

TEST_F(ChartWindowTest, DeviationBarsEqualTheDeviationsFile) {
    ChartRequest req;
    req.mode = ChartMode::DeviationBars;
    req.cumulative = true;
    req.rows = {"x(MAN)", "k(MAN)"};
    ResultsChartWindow w(sources);
    w.setRequest(req);
    const ResultsChart& c = w.chart();
    EXPECT_TRUE(c.bars());
    EXPECT_EQ(c.seriesNames(), (QStringList{"x(MAN)", "k(MAN)"}));
    const Table dev = readCsv(app() + "/BS1B-BR1R-PL1P-devc.csv");
    // Bars have no gaps: the year before the policy is drawn as 0.
    std::vector<double> x = c.seriesValues(0);
    EXPECT_EQ(x[0], 0.0);
    for (size_t i = 1; i < 6; ++i) EXPECT_DOUBLE_EQ(x[i], dev.at("x(MAN)").at(years[i]));
    // 2025: the Policy's x("MAN") is 5 below the Rerun's 2.8.
    EXPECT_NEAR(x[1], 100 * ((1 + (2.8 - 5) / 100) / (1 + 2.8 / 100) - 1), 1e-4);
    // k moves only from 2026, after the lower investment of 2025.
    EXPECT_DOUBLE_EQ(c.seriesValues(1)[1], 0.0);
    EXPECT_LT(c.seriesValues(1)[2], 0.0);
}

TEST_F(ChartWindowTest, ExportsAndScreenshot) {
    ChartRequest req;
    req.rows = {"x(MAN)"};
    ResultsChartWindow w(sources);
    w.resize(1000, 600);
    w.setRequest(req);
    w.show();
    QApplication::processEvents();
    const std::string png = root + "/chart.png", svg = root + "/chart.svg";
    QString error;
    ASSERT_TRUE(w.chart().savePng(QString::fromStdString(png), &error)) << error.toStdString();
    ASSERT_TRUE(w.chart().saveSvg(QString::fromStdString(svg), &error)) << error.toStdString();
    QImage image(QString::fromStdString(png));
    EXPECT_FALSE(image.isNull());
    EXPECT_GE(image.width(), 600);
    const std::string svgText = testing::readFile(svg);
    EXPECT_NE(svgText.find("<svg"), std::string::npos);
    EXPECT_NE(svgText.find("Year-on-year results"), std::string::npos);
    EXPECT_FALSE(w.chart().saveSvg(QString::fromStdString(root + "/no/such/folder/chart.svg"), &error));
    EXPECT_FALSE(w.chart().savePng(QString::fromStdString(root + "/no/such/folder/chart.png"), &error));

    // Screenshots of the whole window for the documentation.
    QDir().mkpath(QString::fromStdString(vdln::testing::testScreenshotDir()));
    EXPECT_TRUE(
        w.grab().save(QString::fromStdString(vdln::testing::testScreenshotDir() + "/results-chart.png")));
    req.mode = ChartMode::DeviationBars;
    req.cumulative = true;
    req.rows = {"x(MAN)", "k(MAN)"};
    w.setRequest(req);
    QApplication::processEvents();
    EXPECT_TRUE(w.grab().save(
        QString::fromStdString(vdln::testing::testScreenshotDir() + "/results-chart-deviations.png")));
}

TEST_F(ChartWindowTest, NoFilesGiveTheReason) {
    ChartSources empty = sources;
    for (auto* list : {&empty.yearOnYear, &empty.cumulative})
        for (auto& f : *list)
            if (!f.empty()) f = root + "/none/" + std::filesystem::path(f).filename().string();
    ResultsChartWindow w(empty);
    EXPECT_TRUE(w.chart().seriesNames().isEmpty());
    EXPECT_TRUE(w.note().startsWith("There are no results to chart. Missing:")) << w.note().toStdString();
}

}  // namespace
}  // namespace vdln

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
