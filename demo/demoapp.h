#pragma once
/// The demonstration applications: everything a first run needs, written
/// into one folder.  "growth" solves year by year; "growthre" is its
/// forward-looking variant, solved by rational-expectations iterations.

#include <string>
#include <vector>

#include "base/result.h"
#include "model/settings.h"

namespace vdln::demo {

/// The first-year data and parameters of the demo (year 2023).
struct DemoData {
    std::vector<float> CAPS{400, 900, 1200};
    std::vector<float> INVS{30, 90, 110};
    std::vector<float> OUTP{100, 300, 500};
    std::vector<float> LABR{60, 150, 400};
    float ALPH = 0.3f;
    float DEPR = 0.05f;
};

inline constexpr int kDemoStartYear = 2024;
inline constexpr int kDemoNumYears = 6;
/// The uniform output growth of the Base shocks, 2024..2029.
inline const std::vector<double> kDemoOutputGrowth{3.0, 2.8, 2.6, 2.4, 2.2, 2.0};

/// Writes the whole application into `folder` (created when missing): the
/// model program (copied from `programDir`), its auxiliary, Model
/// Information, Dynamic Information and source files, the results map, the
/// first-year data and parameters, the closure and shock files and the
/// simulation details `growth.ds1`/`growth.ds2` (written with the program's
/// own writers after loading the model as the program does) whose paths
/// point into `folder`.  Fails when a file cannot be written or the model program is
/// missing from `programDir`.
Status writeDemoApplication(const std::string& folder, const std::string& programDir);

/// The rational-expectations settings of the growthre demo: RE on, 8 Base,
/// 1 Rerun and 8 Policy iterations, the Policy run starting at the first
/// policy shock, every convergence file and the standard checks on.
RESettings demoReSettings();

/// The lines of the demo's "itervar.map": five variables and a last line
/// holding one blank.
const std::vector<std::string>& demoIterVarMap();

/// Writes the growthre application into `folder` (created when missing):
/// growthre.exe (a copy of growth.exe from `programDir`), its auxiliary,
/// Model Information, Dynamic Information and source files, growthre.map,
/// itervar.map, the first-year files BASE2023.HAR, PARAMS.HAR,
/// ROREXT2023.HAR, ITER2023.HAR and EXTRA2023.HAR, growthre.mdf, the
/// closures BASE.CLS, POLICY.CLS, BADBASE.CLS and BADPOL.CLS, the shock
/// files and growthre.ds1/growthre.ds2 with rational expectations on.
Status writeDemoReApplication(const std::string& folder, const std::string& programDir);

}  // namespace vdln::demo
