// "Where to Start?  Results Be the Same if Run Again" on an application of
// 100 years with 20 logical files and complete records for all three runs.
// The application is built once in a temporary folder (every step written
// through WriteRunRecord, as a job would), then the check is timed.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "doubles/scripteddialogs.h"
#include "runrecord/appbuilder.h"
#include "runrecord/wheretostart.h"

namespace {

using vdln::testing::AppBuilder;

struct BigApp {
    BigApp() {
        char tmpl[] = "/tmp/vdlnbench-XXXXXX";
        root = ::mkdtemp(tmpl);
        // 1 updated input, 18 constant inputs and 1 output-only file.
        app = std::make_unique<AppBuilder>(root, 100, 18, 2);
        app->runAll();
    }
    ~BigApp() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    std::string root;
    std::unique_ptr<AppBuilder> app;
};

BigApp& bigApp() {
    static BigApp app;
    return app;
}

void BM_WhereToStartSameIfRunAgain(benchmark::State& state) {
    BigApp& big = bigApp();
    vdln::CheckOperationHooks hooks;
    for (auto _ : state) {
        vdln::ScriptedDialogs dialogs;
        vdln::CheckReport rep = vdln::WhereToStart(*big.app->env, dialogs, false, hooks);
        for (int r = 1; r <= 3; ++r)
            if (rep.starts[r].start != 102)
                state.SkipWithError("the application should be complete and still ok");
        benchmark::DoNotOptimize(rep);
    }
}
BENCHMARK(BM_WhereToStartSameIfRunAgain)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_WhereToStartJustSequence(benchmark::State& state) {
    BigApp& big = bigApp();
    vdln::CheckOperationHooks hooks;
    for (auto _ : state) {
        vdln::ScriptedDialogs dialogs;
        benchmark::DoNotOptimize(vdln::WhereToStart(*big.app->env, dialogs, true, hooks));
    }
}
BENCHMARK(BM_WhereToStartJustSequence)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
