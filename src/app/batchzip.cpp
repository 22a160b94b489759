#include "app/batchzip.h"

#include "app/batchargs.h"
#include "app/contexts.h"
#include "archive/ingredients.h"
#include "archive/tabetc.h"
#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "model/simdetails.h"
#include "model/simgrid.h"

namespace vdln {

namespace {

// Passes everything on and remembers the first error text, which becomes
// the reason a command-line form failed.
class ReasonDialogs : public Dialogs {
public:
    explicit ReasonDialogs(Dialogs& inner) : m_inner(inner) {}
    Button message(MsgKind kind, const std::string& text, Buttons buttons, int helpContext) override {
        if (kind == MsgKind::Error && m_reason.empty() && !text.empty()) m_reason = text;
        return m_inner.message(kind, text, buttons, helpContext);
    }
    std::optional<std::string> chooseFile(const FileRequest& r) override { return m_inner.chooseFile(r); }
    std::optional<std::string> chooseFolder(const std::string& t, const std::string& d) override {
        return m_inner.chooseFolder(t, d);
    }
    std::optional<std::string> inputText(const std::string& t, const std::string& p,
                                         const std::string& i) override {
        return m_inner.inputText(t, p, i);
    }
    std::optional<int> chooseOption(const std::string& t, const std::string& x,
                                    const std::vector<std::string>& o, int d) override {
        return m_inner.chooseOption(t, x, o, d);
    }
    bool cancelRequested() override { return m_inner.cancelRequested(); }
    const std::string& reason() const { return m_reason; }

private:
    Dialogs& m_inner;
    std::string m_reason;
};

BatchZipOutcome failed(std::string message) {
    return {1, std::move(message)};
}

}  // namespace

BatchZipOutcome batchLoadZip(const std::vector<std::string>& params, const BatchZipContext& ctx,
                             Dialogs& dialogs, const Clock& clock) {
    auto args = parseLoadZipArgs(params, ctx.currentDir);
    if (!args) return failed(args.message());
    ReasonDialogs dlg(dialogs);
    TSimRecord rec = CreateSimRecord();
    rec.WorkDir = args->workDir;
    ArchiveEnv env(rec, dlg, clock);
    env.programDir = ctx.programDir;
    env.tempDir = ctx.tempDir;
    env.batch = true;
    auto out = RestoreIngredientsFromZip(env, args->zipFile, args->workDir, false);
    if (!out) return failed(dlg.reason().empty() ? "Restoring unsuccessful." : dlg.reason());
    return {0, ""};
}

BatchZipOutcome batchSaveZip(const std::vector<std::string>& params, const BatchZipContext& ctx,
                             Dialogs& dialogs, const Clock& clock, const ProgramSettings* base) {
    if (params.size() != 3 || !iequals(params[0], "-savezip"))
        return failed("Expect -savezip <ds1-file> <zip-file>");
    const std::string ds1 = ResolvePath(ctx.currentDir, params[1]);
    const std::string zip = ResolvePath(ctx.currentDir, params[2]);
    if (!iequals(extOf(ds1), ".ds1") || !fileExists(ds1))
        return failed("DS1 file: " + ds1 + " does not exist");
    const std::string ds2 = findFileIgnoringCase(changeExt(ds1, ".ds2"));
    if (!fileExists(ds2))
        return failed("Associated file " + changeExt(ds1, ".ds2") + " does not exist.\r\nNo action taken.");
    if (!iendsWith(zip, ".zip"))
        return failed(
            "Sorry. The Zip Archive name must end with the suffix \".ZIP\".\r\nPlease specify the file "
            "again.");

    ReasonDialogs dlg(dialogs);
    ProgramSettings settings = base ? *base : ProgramSettings{};
    StartupDirectories dirs;
    dirs.tempDir = ctx.tempDir;
    TSimRecord rec = CreateSimRecord();
    const AppState state{rec, settings, dirs, ctx.programDir, true};
    const SettingsContext sctx = settingsContextFor(state);
    // Every part of the details file, its options included, so that the
    // archive holds the application as it was saved.  (The returned flag is
    // the stored "Do Korale RE", already kept in the settings.)
    const bool storedRE = ReadIniOptions(ds1, SettingsParts::all(), settings, rec, sctx, dlg);
    settings.re.DoingRE = storedRE;
    if (Status s = ReadSimRecordFile(rec, ds2, settings.NoRerun); !s) return failed(s.message());
    RefreshGrid(rec);

    ArchiveEnv env(rec, dlg, clock);
    fillArchiveEnv(env, state, sctx);
    env.extractTabEtc = tabEtcExtractor(dlg, ctx.programDir, ctx.tempDir, env.modelFile);
    IngredientsRequest request;
    request.kind = IngredientsKind::Full;
    request.archiveName = zip;
    if (!SaveIngredientsAsZip(env, request))
        return failed(dlg.reason().empty() ? "There was an error creating the ZIP file." : dlg.reason());
    return {0, ""};
}

}  // namespace vdln
