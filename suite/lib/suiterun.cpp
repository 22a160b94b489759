#include "suiterun.h"

#include <cstdio>
#include <exception>
#include <filesystem>

#include "base/besteffort.h"
#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "base/textfile.h"

namespace vdln::suite {

Result<ProgramArgs> parseProgramArgs(const std::vector<std::string>& args) {
    ProgramArgs out;
    bool logPercentSti = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string opt = toLower(args[i]);
        if (opt == "-sti" || opt == "-lon" || opt == "-log" || opt == "-los") {
            if (i + 1 >= args.size() || trim(args[i + 1]).empty())
                return Result<ProgramArgs>::fail("Option " + args[i] + " needs a file name.");
            const std::string value = unquote(args[++i]);
            if (opt == "-sti") {
                out.stiFile = value;
            } else if (iequals(value, "%sti")) {
                logPercentSti = true;
            } else {
                out.logFile = value;
            }
        } else {
            return Result<ProgramArgs>::fail("Unknown command-line option \"" + args[i] + "\".");
        }
    }
    if (out.stiFile.empty()) return Result<ProgramArgs>::fail("No stored-input file given (-sti FILE).");
    if (logPercentSti || out.logFile.empty()) out.logFile = changeExt(out.stiFile, ".log");
    // The report names the log for callers that run elsewhere.
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(out.logFile, ec);
    if (!ec) out.logFile = absolute.lexically_normal().string();
    return out;
}

std::string answerOf(const std::string& line) {
    const auto bang = line.find('!');
    return trim(bang == std::string::npos ? std::string_view(line) : std::string_view(line).substr(0, bang));
}

Result<StoredInput> StoredInput::load(const std::string& path) {
    if (!fileExists(path)) return Result<StoredInput>::fail("Stored-input file " + path + " does not exist.");
    auto lines = readTextLines(path);
    if (!lines) return Result<StoredInput>::fail("Cannot read stored-input file " + path + ".");
    return fromLines(path, std::move(lines.value()));
}

StoredInput StoredInput::fromLines(std::string path, std::vector<std::string> lines) {
    StoredInput s;
    s.m_path = std::move(path);
    s.m_lines = std::move(lines);
    return s;
}

Result<std::string> StoredInput::next(const std::string& what) {
    if (atEnd())
        return Result<std::string>::fail("Stored input " + m_path + " ended after line " +
                                         std::to_string(m_lines.size()) + " where " + what +
                                         " was expected.");
    return answerOf(m_lines[m_next++]);
}

std::optional<std::string> StoredInput::peek() const {
    if (atEnd()) return std::nullopt;
    return answerOf(m_lines[m_next]);
}

SuiteLog::~SuiteLog() {
    if (m_file) std::fclose(m_file);
}

bool SuiteLog::open(const std::string& path) {
    m_path = path;
    if (m_file) std::fclose(m_file);
    m_file = std::fopen(path.c_str(), "wb");
    return m_file != nullptr;
}

void SuiteLog::line(const std::string& text) {
    if (!m_file) return;
    std::fwrite(text.data(), 1, text.size(), m_file);
    std::fwrite("\r\n", 1, 2, m_file);
    std::fflush(m_file);
}

Status writeReport(const std::string& path, const Status& outcome, const std::string& logFile,
                   const std::vector<std::pair<std::string, std::string>>& extraKeys) {
    std::vector<std::string> lines{"[Result]"};
    if (outcome) {
        lines.push_back("Status=ok");
    } else {
        std::string text = outcome.message();
        for (char& c : text)
            if (c == '\r' || c == '\n') c = ' ';
        lines.push_back("Status=error");
        lines.push_back("Error=" + text);
    }
    lines.push_back("Log file=" + logFile);
    for (const auto& [key, value] : extraKeys) lines.push_back(key + "=" + value);
    return writeLinesAtomic(path, lines);
}

Status readReportName(SuiteRun& run, StoredInput& in) {
    auto name = in.next("the report file name");
    if (!name) return name.status();
    if (name->empty()) return Status::fail("The report file name after \"rpt\" is blank.");
    run.reportFile = unquote(*name);
    return Status::ok();
}

Result<std::vector<std::string>> readOptions(SuiteRun& run, StoredInput& in,
                                             const std::vector<std::string>& allowed,
                                             const std::string& stopWord) {
    std::vector<std::string> words;
    while (!in.atEnd()) {
        auto a = in.next("an option");
        if (!a) return a.status();
        const std::string w = toLower(a.value());
        if (w.empty()) {
            if (stopWord.empty()) break;
            continue;
        }
        if (w == "bat") continue;
        if (w == "rpt") {
            Status s = readReportName(run, in);
            if (!s) return s;
            continue;
        }
        bool ok = w == stopWord;
        for (const auto& al : allowed) ok = ok || w == al;
        if (!ok) {
            std::string list;
            for (const auto& al : allowed) list += (list.empty() ? "\"" : ", \"") + al + "\"";
            if (!stopWord.empty()) list += (list.empty() ? "\"" : ", \"") + stopWord + "\"";
            return unexpectedAnswer(in, a.value(), list.empty() ? "a blank line" : list);
        }
        words.push_back(w);
        if (!stopWord.empty() && w == stopWord) return words;
    }
    if (!stopWord.empty())
        return Result<std::vector<std::string>>::fail("Stored input " + in.path() +
                                                      " ended before the answer \"" + stopWord + "\".");
    return words;
}

Status unexpectedAnswer(const StoredInput& in, const std::string& answer, const std::string& expected) {
    return Status::fail("Unexpected answer \"" + answer + "\" in line " + std::to_string(in.lineNumber()) +
                        " of stored input " + in.path() + " (expected " + expected + ").");
}

Result<std::string> nextNonBlank(StoredInput& in, const std::string& what) {
    while (true) {
        auto a = in.next(what);
        if (!a) return a;
        if (!a->empty()) return unquote(a.value());
    }
}

Result<std::vector<std::string>> nextNames(StoredInput& in, int count, const std::string& what) {
    std::vector<std::string> names;
    for (int k = 0; k < count; ++k) {
        auto f = nextNonBlank(in, what);
        if (!f) return f.status();
        names.push_back(f.value());
    }
    return names;
}

bool hasWord(const std::vector<std::string>& words, const std::string& w) {
    for (const auto& x : words)
        if (x == w) return true;
    return false;
}

std::string unquote(const std::string& text) {
    std::string t = trim(text);
    if (t.size() >= 2 && t.front() == '"' && t.back() == '"') t = t.substr(1, t.size() - 2);
    return t;
}

Result<std::string> existingInput(const std::string& name, const std::string& role) {
    if (name.empty()) return Result<std::string>::fail(role + " name is blank.");
    const std::string found = findFileIgnoringCase(name);
    if (!fileExists(found)) return Result<std::string>::fail(role + " " + name + " does not exist.");
    return found;
}

std::string formatReal(double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.9g", value);
    return buf;
}

int runSuiteProgram(int argc, char** argv, const std::string& programName,
                    const std::function<Status(SuiteRun&, StoredInput&)>& body) {
    std::vector<std::string> args(argv + 1, argv + argc);
    auto parsed = parseProgramArgs(args);
    if (!parsed) {
        std::fprintf(stderr, "%s: %s\n", programName.c_str(), parsed.message().c_str());
        // Without a stored-input name there is nowhere agreed to report to.
        std::string sti;
        for (size_t i = 0; i + 1 < args.size(); ++i)
            if (iequals(args[i], "-sti")) sti = args[i + 1];
        if (sti.empty()) return 2;
        bestEffort(writeReport(changeExt(sti, ".rpt"), parsed.status(), "", {}),
                   "the report of a stored input that could not be read; without it the caller reports the "
                   "missing report");
        return 1;
    }
    SuiteRun run;
    run.programName = programName;
    std::error_code ec;
    run.programPath = std::filesystem::read_symlink("/proc/self/exe", ec).string();
    if (ec || run.programPath.empty()) run.programPath = argc > 0 ? argv[0] : programName;
    run.args = parsed.value();
    run.log.open(run.args.logFile);
    run.log.line(programName + " (Vardelon demonstration suite)");
    run.log.line("Stored input: " + run.args.stiFile);

    Status outcome;
    try {
        auto in = StoredInput::load(run.args.stiFile);
        if (!in)
            outcome = in.status();
        else
            outcome = body(run, in.value());
    } catch (const std::exception& e) {
        outcome = Status::fail(std::string("Internal error in ") + programName + ": " + e.what());
    } catch (...) {
        outcome = Status::fail("Internal error in " + programName + ".");
    }
    if (run.reportFile.empty()) run.reportFile = changeExt(run.args.stiFile, ".rpt");
    if (outcome) {
        run.log.line(programName + " finished without errors.");
    } else {
        run.log.line("ERROR: " + outcome.message());
        run.log.line(programName + " stopped because of this error.");
    }
    Status written = writeReport(run.reportFile, outcome, run.log.path(), run.reportKeys);
    if (!written) {
        std::fprintf(stderr, "%s: cannot write report %s: %s\n", programName.c_str(), run.reportFile.c_str(),
                     written.message().c_str());
        return 1;
    }
    return outcome ? 0 : 1;
}

}  // namespace vdln::suite
