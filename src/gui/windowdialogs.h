#pragma once
/// Dialogs of the window that have their own layout: the solution-method
/// window (over the core's `MethodEditor`) and the About box with its
/// diagnostics text.

#include <optional>
#include <string>
#include <utility>

#include "archive/results.h"
#include "model/simrecord.h"
#include "model/solutionmethod.h"

class QWidget;

namespace vdln {
class Dialogs;
}

namespace vdln::gui {

class WindowSession;

/// The "Choose Solution Method" window; the new settings, or nullopt when
/// cancelled.  Validation errors of OK are shown through `dialogs` and the
/// window stays open.
std::optional<std::pair<TSolutionMethod, TAutoAccuracy>> editSolutionMethod(QWidget* parent,
                                                                            const TSolutionMethod& method,
                                                                            const TAutoAccuracy& accuracy,
                                                                            Dialogs& dialogs);

/// "Zip up Selected Results": the window " Which Years and Runs to Save "
/// (the runs, the first and the last year) and "Which Results to Save" (the
/// kinds); nullopt when cancelled.  The Base rerun is offered only when it
/// is done.
std::optional<ResultsSelection> askResultsSelection(QWidget* parent, const TSimRecord& rec, bool noRerun);

/// The diagnostics of the About box: computer, operating system, the
/// environment variables the program reads, where the suite's programs were
/// found, the Temporary and Keep Directories with how each was chosen, and
/// the settings.
std::string diagnosticsText(WindowSession& session);
/// "&About": the version and the diagnostics, with a Copy button.
void showAbout(QWidget* parent, WindowSession& session);

}  // namespace vdln::gui
