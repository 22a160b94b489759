#pragma once
/// The command-line forms of the archives:
///
///     vardelon -loadzip <zip-file> [-workdir <directory>]
///     vardelon -savezip <ds1-file> <zip-file>
///
/// Both run without any question (batch mode) and report their outcome as
/// an exit status and, on failure, the reason (for the batch jobs log).

#include <string>
#include <vector>

#include "archive/archiveenv.h"
#include "base/clock.h"
#include "base/dialogs.h"
#include "model/settings.h"

namespace vdln {

/// What the command-line forms need from start-up.
struct BatchZipContext {
    std::string currentDir;  ///< the start-up directory (relative names are taken from it)
    std::string programDir;  ///< the folder of the executable
    std::string tempDir;     ///< the Temporary Directory
};

/// The outcome of a command-line form: exit status 0 on success, else 1
/// and the reason.
struct BatchZipOutcome {
    int exitCode = 0;
    std::string message;
};

/// "-loadzip <zip-file> [-workdir <directory>]" (`params` are all the
/// command-line parameters, the first being "-loadzip"): checks the
/// parameters, then restores the ingredients archive into the working
/// directory (the current directory when not given) under the default
/// details names, asking nothing.
BatchZipOutcome batchLoadZip(const std::vector<std::string>& params, const BatchZipContext& ctx,
                             Dialogs& dialogs, const Clock& clock);

/// "-savezip <ds1-file> <zip-file>" (`params` the command-line parameters,
/// the first being "-savezip"): loads the application of the details file
/// (and its ".ds2") and saves a full ingredients archive without any
/// question: no extra files, warnings only logged, a missing file fails.
/// The archive's "app.ds1" holds every part of the given details file (its
/// options included) over `base` (the program's settings; defaults when
/// null).
BatchZipOutcome batchSaveZip(const std::vector<std::string>& params, const BatchZipContext& ctx,
                             Dialogs& dialogs, const Clock& clock, const ProgramSettings* base = nullptr);

}  // namespace vdln
