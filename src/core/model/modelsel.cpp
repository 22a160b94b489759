#include "model/modelsel.h"

#include <utility>

#include "base/besteffort.h"
#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "base/textfile.h"
#include "formats/modelinfo.h"
#include "model/filetable.h"

namespace vdln {

namespace {

const std::string Q = "\"";
const std::string kNoChange = "\r\nNo change made.";

std::string quoteIfBlank(const std::string& name) {
    if (name.find(' ') == std::string::npos) return name;
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') return name;
    return "\"" + name + "\"";
}

/// The description after " ; ! " of a list line ("" when none).
std::string lineDescription(const std::string& line) {
    size_t p = line.find(" ; ! ");
    return p == std::string::npos ? std::string() : line.substr(p + 5);
}

/// An actual file named in the list exists (letter case ignored).
bool actualExists(const std::string& actual) {
    return !actual.empty() && fileExists(findFileIgnoringCase(actual));
}

std::string tooManyFilesText(size_t n) {
    return "Sorry, there are too many files in this model. This model has " + std::to_string(n) +
           " files\r\nbut the maximum this program can handle is " + std::to_string(kMaxModelFiles) + ".";
}

}  // namespace

std::string firstYearLine(const std::string& logicalName, const std::string& actual,
                          const std::string& description) {
    return "File " + logicalName + " = " + (actual.empty() ? std::string("??") : quoteIfBlank(actual)) +
           " ; ! " + description;
}

std::string FirstYearLineParts::actualPath() const {
    std::string a = trim(actual);
    if (a.size() >= 2 && a.front() == '"' && a.back() == '"') return a.substr(1, a.size() - 2);
    return a;
}

FirstYearLineParts parseFirstYearLine(const std::string& line) {
    FirstYearLineParts p;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) return p;
    p.valid = true;
    p.left = line.substr(0, eq) + "= ";
    // The logical name: characters 6 (1-based) up to 2 before the "=".
    if (eq >= 6) p.logical = line.substr(5, eq - 6);
    const size_t start = std::min(eq + 2, line.size());
    size_t end = line.find(" ;", start);
    if (end == std::string::npos) end = line.size();
    p.actual = line.substr(start, end - start);
    return p;
}

void modelStateFromSettings(const ModelSettings& settings, ModelDataState& state) {
    state.modelPath = settings.Model;
    state.version = settings.Version;
    state.interpreter = settings.UsesInterpreter;
    state.modelName = settings.ModelName;
    state.modelDir = settings.ModelDir;
    state.modelLabel = std::string("Model: ") + state.modelShown();
    state.minDin.MinFile = settings.ModelInfoFile;
    state.minDin.DinFile = settings.DynamicInfoFile;
    auto id = [](std::int64_t v) { return v > 0 && v <= 0xFFFFFFFFLL ? static_cast<std::uint32_t>(v) : 0u; };
    state.minDin.MinFileId = id(settings.MinFileId);
    state.minDin.DinFileId = id(settings.DinFileId);
    state.minDin.HasDin = settings.IsDinFile;
    state.firstYearList = settings.FirstYearList;
}

void modelStateToSettings(const ModelDataState& state, ModelSettings& settings) {
    settings.Model = state.modelPath;
    settings.Version = state.version;
    settings.UsesInterpreter = state.interpreter;
    settings.ModelName = state.modelName;
    settings.ModelDir = state.modelDir;
    settings.ModelInfoFile = state.minDin.MinFile;
    settings.DynamicInfoFile = state.minDin.DinFile;
    settings.MinFileId = state.minDin.MinFileId;
    settings.DinFileId = state.minDin.DinFileId;
    settings.IsDinFile = state.minDin.HasDin;
    settings.FirstYearList = state.firstYearList;
}

ModelSelector::ModelSelector(TSimRecord& rec, ModelDataState& state, Dialogs& dialogs, ModelSelectEnv env)
    : m_rec(rec), m_state(state), m_dialogs(dialogs), m_env(std::move(env)) {}

bool ModelSelector::refuse(const std::string& text) {
    m_dialogs.infoHelp(text);
    return false;
}

std::string ModelSelector::companion(const std::string& path, const std::string& ext) const {
    return findFileIgnoringCase(changeExt(path, ext));
}

bool ModelSelector::CheckModelFiles(const std::string& path) {
    const std::string ext = toLower(extOf(path));
    if (ext != ".exe" && ext != ".gss") return refuse("File must have extension .EXE or .GSS");
    std::string aux;
    if (ext == ".gss") {
        aux = companion(path, ".GST");
        if (!fileExists(aux)) return refuse("GST file " + aux + " does not exist." + kNoChange);
    } else {
        const std::string axs = companion(path, ".AXS");
        if (!fileExists(axs)) return refuse("AXS file " + axs + " does not exist." + kNoChange);
        aux = companion(path, ".AXT");
        if (!fileExists(aux)) return refuse("AXT file " + aux + " does not exist." + kNoChange);
    }
    const std::string min = companion(path, ".MIN");
    if (!fileExists(min)) return refuse("Model Information File " + min + " does not exist." + kNoChange);

    auto same = MinAxtCompatible(min, aux, false, m_dialogs);
    if (!same) {
        m_dialogs.message(MsgKind::Error, same.message(), BtnOk | BtnHelp);
        return false;
    }
    if (!same.value()) return false;

    auto files = readMinLogicalFiles(min);
    if (!files) return refuse(files.message() + kNoChange);
    if (files->size() > static_cast<size_t>(kMaxModelFiles)) return refuse(tooManyFilesText(files->size()));
    for (const TFileRec& f : files.value()) {
        if (iequals(f.name, "(terminal)"))
            return refuse(std::string("This model reads data from the terminal.\r\nAt present such models "
                                      "cannot be used with ") +
                          "Vardelon" + "." + kNoChange);
        if (iequals(f.name, "(solution)") && !f.updated)
            return refuse(
                std::string(
                    "Nothing in this model is updated, so\r\n it is not possible to carry out simulations "
                    "with this model.\r\nSuch models cannot be used with ") +
                "Vardelon" + "." + kNoChange);
        if (!f.rest.empty())
            return refuse("In this model, the name of the data file corresponding \r\n to logical name " +
                          f.name + "\r\n" + " is hard-wired in the TAB file as " + "\r\n" + f.rest + "\r\n" +
                          "At present models where actual file names are hard-wired cannot be used with " +
                          "Vardelon" + "." + kNoChange);
    }
    return true;
}

bool ModelSelector::SelectModel() {
    const std::string calvex = m_env.locateCalvex ? m_env.locateCalvex() : std::string();
    FileRequest req;
    req.title = "Select Model";
    req.initialDir = !m_state.modelDir.empty() ? m_state.modelDir : m_env.programDir;
    req.filter = calvex.empty() ? "Model EXE Files (*.EXE)|*.exe" : "Model Files (*.EXE,*.GSS)|*.exe;*.gss";
    auto chosen = m_dialogs.chooseFile(req);
    if (!chosen) return false;
    if (!CheckModelFiles(*chosen)) return false;
    m_state.modelPath = *chosen;
    m_state.modelDir = dirOf(*chosen);
    m_state.dataDir = m_state.modelDir;
    return LoadModel(true);
}

void ModelSelector::clearModel() {
    m_state.modelPath.clear();
    m_state.modelDir.clear();
    m_state.modelName.clear();
    m_state.modelLabel = std::string("Model: ") + kNoModel;
    m_state.programPath.clear();
    m_state.interpreter = false;
    m_state.minDin = TMinDinInfo();
    m_state.inputFiles.clear();
    m_state.suiteRelease = 0;
    m_state.version.clear();
    m_state.modelReady = false;
}

bool ModelSelector::LoadModel(bool reset, bool quietNoDin) {
    const std::string path = m_state.modelPath;
    if (path.empty()) {
        clearModel();
        return false;
    }
    if (!fileExists(path)) {
        m_dialogs.error("Model Exe File\r\n  " + path + "\r\n" + "does not exist.");
        clearModel();
        return false;
    }
    TMinDinInfo mi;
    mi.MinFile = companion(path, ".MIN");
    mi.DinFile = companion(path, ".DIN");
    mi.MinFileId = fileIdentity(mi.MinFile);
    mi.HasDin = fileExists(mi.DinFile);
    mi.DinFileId = mi.HasDin ? fileIdentity(mi.DinFile) : 0;
    if (!mi.HasDin && !quietNoDin) m_dialogs.info("Dynamic Info file " + mi.DinFile + " does not exist.");
    if (!fileExists(mi.MinFile)) {
        m_dialogs.info("Model Info file " + mi.MinFile + " does not exist.");
        clearModel();
        return false;
    }
    m_state.minDin = mi;
    m_state.modelReady = false;
    m_state.modelDir = dirOf(path);
    m_state.modelName = changeExt(nameOf(path), "");
    m_state.modelLabel = "Model: " + path;
    m_state.interpreter = toLower(extOf(path)) == ".gss";
    if (m_state.interpreter) {
        m_state.programPath = m_env.locateCalvex ? m_env.locateCalvex() : std::string();
        if (m_state.programPath.empty() && reset)
            m_dialogs.info("Calvex program is not available\r\n" + m_env.calvexAdvice);
    } else {
        m_state.programPath = path;
    }

    // The stamps again: a mismatch is reported, the model stays chosen.
    const std::string aux = companion(path, m_state.interpreter ? ".GST" : ".AXT");
    if (auto same = MinAxtCompatible(mi.MinFile, aux, false, m_dialogs); !same)
        m_dialogs.message(MsgKind::Error, same.message(), BtnOk | BtnHelp);

    auto files = readMinLogicalFiles(mi.MinFile);
    if (!files) {
        m_dialogs.message(MsgKind::Error, files.message(), BtnOk | BtnHelp);
        return false;
    }
    if (files->size() > static_cast<size_t>(kMaxModelFiles)) {
        m_dialogs.message(MsgKind::Error, tooManyFilesText(files->size()), BtnOk | BtnHelp);
        return false;
    }
    m_rec.ModelFiles.fill(TModelFileDesc{});
    m_rec.NumModelFiles = 0;
    m_state.inputFiles.clear();
    for (const TFileRec& f : files.value()) {
        const bool terminal = iequals(f.name, "(terminal)");
        const std::string desc =
            terminal ? std::string("Data read from terminal") : trim(leftStr(f.line2, 80));
        const bool input = f.direction == "in";
        m_rec.ModelFiles[++m_rec.NumModelFiles] =
            makeModelFileDesc(f.name, f.fileType, input, f.updated, desc);
        if (input && !iequals(f.name, "(solution)") && !iequals(f.name, "(equations)"))
            m_state.inputFiles.push_back({f.name, desc, f.fileType});
    }
    SolInfoRec info;
    m_state.suiteRelease = RequestSolInfo(mi.MinFile, MinItemSet(), true, false, info) ? info.svVer : 0;

    const bool dinOk = ReadDinFile(mi.HasDin ? mi.DinFile : std::string(), m_rec, m_dialogs).isOk();

    // Keep the actual names chosen for logical names the new model also has.
    const std::vector<std::string> previous = m_state.firstYearList;
    if (!m_env.tempDir.empty())
        bestEffort(writeLinesAtomic(JoinPath(m_env.tempDir, "temp.mdf"), previous),
                   "a scratch copy of the list; the list itself is rebuilt from memory");
    rebuildList(previous);
    m_state.modelReady = dinOk;
    if (reset) {
        m_state.version.clear();
        if (m_env.startReleaseCheck) m_env.startReleaseCheck();
    }
    return dinOk;
}

void ModelSelector::BuildFirstYearList(const std::string& mdfFile) {
    std::vector<std::string> lines;
    if (!mdfFile.empty()) {
        auto read = readTextLines(mdfFile);
        if (read) lines = std::move(read.value());
    }
    rebuildList(lines);
}

void ModelSelector::rebuildList(const std::vector<std::string>& lines) {
    m_state.firstYearList.clear();
    for (const ModelInputFile& f : m_state.inputFiles) {
        const std::string want = "file " + f.name + " = ";
        std::string found;
        for (const std::string& l : lines) {
            FirstYearLineParts p = parseFirstYearLine(l);
            if (p.valid && iequals(p.left, want) && !p.unset() && actualExists(p.actualPath())) {
                found = l;
                break;
            }
        }
        m_state.firstYearList.push_back(found.empty() ? firstYearLine(f.name, "", f.description) : found);
    }
}

int ModelSelector::userFileIndex(const std::string& logical) const {
    for (int n = 1; n <= m_rec.NumFiles && n <= kMaxUserFiles; ++n)
        if (iequals(m_rec.Files[n].Name.str(), logical)) return n;
    return 0;
}

int ModelSelector::listLineOf(const std::string& logical) const {
    for (size_t i = 0; i < m_state.firstYearList.size(); ++i)
        if (iequals(parseFirstYearLine(m_state.firstYearList[i]).logical, logical))
            return static_cast<int>(i);
    return -1;
}

const ModelInputFile* ModelSelector::inputFile(const std::string& logical) const {
    for (const ModelInputFile& f : m_state.inputFiles)
        if (iequals(f.name, logical)) return &f;
    return nullptr;
}

bool ModelSelector::SelectDataFile(int line) {
    if (line < 0 || line >= static_cast<int>(m_state.firstYearList.size())) return false;
    const std::string current = m_state.firstYearList[static_cast<size_t>(line)];
    const FirstYearLineParts parts = parseFirstYearLine(current);
    const std::string name = parts.logical;

    std::vector<int> tied;  // files that take their data from this one
    if (const int f = userFileIndex(name); f > 0) {
        const TSimFileEntry& e = m_rec.Files[f];
        const int g = e.InputUsage[0];
        if (g != f && g >= 1 && g <= m_rec.NumFiles && g <= kMaxUserFiles && e.InputUsage[1] == 1 &&
            e.Usage != kUsageLaggedInput) {
            m_dialogs.info(
                "Cannot alter this name since it must be the same as\r\nthat of file with logical name " +
                m_rec.Files[g].Name + ".");
            return false;
        }
        for (int h = 1; h <= m_rec.NumFiles && h <= kMaxUserFiles; ++h) {
            const TSimFileEntry& o = m_rec.Files[h];
            if (h != f && o.InputUsage[0] == f && o.InputUsage[1] == 1 && o.Usage != kUsageLaggedInput) {
                tied.push_back(h);
                m_dialogs.info(
                    "Whatever file name you select here will\r\nwill also be associated with logical "
                    "file\r\n" +
                    o.Name + ".");
            }
        }
    }

    FileRequest req;
    req.title = "Please select actual data file corresponding to file with Logical name " + name;
    req.filter = "HA Files (*.HAR,*.DAT,*.TXT)|*.HAR;*.DAT;*.TXT|All Files|*.*";
    const std::string currentPath = parts.unset() ? std::string() : findFileIgnoringCase(parts.actualPath());
    if (!currentPath.empty() && fileExists(currentPath)) {
        req.initialDir = dirOf(currentPath);
        req.defaultName = nameOf(currentPath);
    } else {
        req.initialDir = m_state.dataDir;
    }
    auto chosen = m_dialogs.chooseFile(req);
    if (!chosen || chosen->empty()) return false;

    auto descOf = [&](const std::string& logical, const std::string& fallbackLine) {
        const ModelInputFile* mf = inputFile(logical);
        return mf ? mf->description : lineDescription(fallbackLine);
    };
    m_state.firstYearList[static_cast<size_t>(line)] = firstYearLine(name, *chosen, descOf(name, current));
    for (int h : tied) {
        const std::string other = m_rec.Files[h].Name;
        const int ln = listLineOf(other);
        if (ln >= 0)
            m_state.firstYearList[static_cast<size_t>(ln)] =
                firstYearLine(other, *chosen, descOf(other, m_state.firstYearList[static_cast<size_t>(ln)]));
    }
    m_state.dataDir = dirOf(*chosen);
    return true;
}

void ModelSelector::ClearDataFile(int line) {
    if (line < 0 || line >= static_cast<int>(m_state.firstYearList.size())) return;
    std::string& l = m_state.firstYearList[static_cast<size_t>(line)];
    const FirstYearLineParts p = parseFirstYearLine(l);
    const ModelInputFile* mf = inputFile(p.logical);
    l = firstYearLine(p.logical, "", mf ? mf->description : lineDescription(l));
}

void ModelSelector::DataFileInfo(int line) {
    if (line < 0 || line >= static_cast<int>(m_state.firstYearList.size())) return;
    const std::string& l = m_state.firstYearList[static_cast<size_t>(line)];
    const std::string name = parseFirstYearLine(l).logical;
    std::string type;
    if (const int f = userFileIndex(name); f > 0)
        type = m_rec.Files[f].FileType.str();
    else if (const ModelInputFile* mf = inputFile(name))
        type = mf->fileType;
    const ModelInputFile* mf = inputFile(name);
    const std::string desc = mf ? mf->description : lineDescription(l);
    m_dialogs.info("This is a " + std::string(iequals(type, "TXT") ? "text" : "Header Array") +
                   " file described as" + "\r\n" + Q + desc + Q + "\r\n" +
                   "To see what is read from this file, search for " + Q + name + Q +
                   " in the main Lexor file.");
}

bool ModelSelector::CheckDataFiles(bool quiet) {
    for (size_t i = 0; i < m_state.firstYearList.size(); ++i) {
        const FirstYearLineParts p = parseFirstYearLine(m_state.firstYearList[i]);
        if (!p.valid || p.unset() || actualExists(p.actualPath())) continue;
        ClearDataFile(static_cast<int>(i));
        if (!quiet &&
            m_dialogs.askYesNo("Message about the Data part of Model/Data page.\r\nThe file " +
                               p.actualPath() + "\r\n" + " (associated with logical file " + p.logical +
                               ") no longer exists." + "\r\n" + "Do you wish to specify this file again?"))
            if (!SelectDataFile(static_cast<int>(i))) {
                // Refused or cancelled: the line keeps naming the missing
                // file, which the checks before a job report.
            }
    }
    for (const std::string& l : m_state.firstYearList) {
        const FirstYearLineParts p = parseFirstYearLine(l);
        if (!p.valid || p.unset()) return false;
    }
    return true;
}

bool ModelSelector::SaveDataFiles() {
    for (const std::string& l : m_state.firstYearList) {
        const FirstYearLineParts p = parseFirstYearLine(l);
        if (!p.valid || p.unset()) {
            m_dialogs.error("Please specify names for all files first.");
            return false;
        }
    }
    const std::string proposed = changeExt(m_state.modelPath, ".MDF");
    FileRequest req;
    req.title = "Save Data File Names";
    req.filter = "Model data files|*.MDF";
    req.initialDir = m_state.modelDir;
    req.defaultName = fileExists(proposed) ? std::string("*.MDF") : nameOf(proposed);
    req.save = true;
    req.mustExist = false;
    auto chosen = m_dialogs.chooseFile(req);
    if (!chosen || chosen->empty()) return false;
    if (Status s = writeLinesAtomic(*chosen, m_state.firstYearList); !s) {
        m_dialogs.error(s.message());
        return false;
    }
    return true;
}

bool ModelSelector::LoadDataFiles() {
    FileRequest req;
    req.title = "Model Data File ";
    req.filter = "Model Data files|*.mdf";
    req.initialDir = m_state.modelDir;
    auto chosen = m_dialogs.chooseFile(req);
    if (!chosen || chosen->empty()) return false;
    BuildFirstYearList(*chosen);
    return true;
}

bool ModelSelector::versionAcceptable() {
    return VersionAcceptable(m_state.version, m_state.modelShown(), m_state.interpreter, m_dialogs,
                             [this] { clearModel(); });
}

bool ModelSelector::finishReleaseCheck(const ReleaseJobFiles& files) {
    const ReleaseJobResult r = EvaluateReleaseJob(files, m_state.programPath, m_dialogs);
    m_state.version = r.info;
    return versionAcceptable();
}

}  // namespace vdln
