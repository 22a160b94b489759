#include "env/suite.h"

#include "base/fileutil.h"
#include "base/inifile.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "base/textfile.h"

namespace vdln {

std::string suiteProgramFile(std::string_view name) {
    std::string n = toLower(trim(name));
    for (const char* p : {"aggrex", "divero", "sectra", "tellur", "pryxo", "mergix"})
        if (n == p) return n + "a.exe";
    return "";
}

bool SuiteReport::ok() const {
    return iequals(trim(status), "ok");
}

Result<SuiteReport> readSuiteReport(const std::string& path) {
    Result<IniFile> ini = IniFile::load(path);
    if (!ini) return Result<SuiteReport>(ini.status());
    SuiteReport r;
    for (const auto& [key, value] : ini->entries(kReportSection)) {
        if (iequals(key, kReportStatus))
            r.status = value;
        else if (iequals(key, kReportError))
            r.error = value;
        else if (iequals(key, kReportLogFile))
            r.logFile = trim(value);
        else if (iequals(key, kReportSvVerLarge))
            r.svVerLarge = parseInt(value);
        else if (iequals(key, kReportRelease))
            r.release = trim(value);
        else if (iequals(key, kReportPrVerInteger))
            r.prVerInteger = parseInt(value);
        else if (iequals(key, kReportFortranCompiler))
            r.fortranCompiler = trim(value);
        else
            r.extra.emplace_back(key, value);
    }
    return r;
}

bool reportSaysOk(const std::string& path) {
    if (!fileExists(path)) return false;
    Result<SuiteReport> r = readSuiteReport(path);
    return r && r->ok();
}

Status writeSuiteReport(const std::string& path, const SuiteReport& report) {
    IniFile ini;
    ini.set(kReportSection, kReportStatus, report.status);
    if (!report.error.empty()) ini.set(kReportSection, kReportError, report.error);
    if (!report.logFile.empty()) ini.set(kReportSection, kReportLogFile, report.logFile);
    if (report.svVerLarge) ini.setInt(kReportSection, kReportSvVerLarge, *report.svVerLarge);
    if (!report.release.empty()) ini.set(kReportSection, kReportRelease, report.release);
    if (report.prVerInteger) ini.setInt(kReportSection, kReportPrVerInteger, *report.prVerInteger);
    if (!report.fortranCompiler.empty())
        ini.set(kReportSection, kReportFortranCompiler, report.fortranCompiler);
    for (const auto& [k, v] : report.extra) ini.set(kReportSection, k, v);
    return ini.save(path);
}

std::string logOptionText(LogOption option) {
    switch (option) {
        case LogOption::Log:
            return "-log";
        case LogOption::Los:
            return "-los";
        case LogOption::Lon:
            break;
    }
    return "-lon";
}

std::vector<std::string> suiteArguments(const std::string& stiFile, LogOption option,
                                        const std::string& logFile) {
    return {"-sti", stiFile, logOptionText(option), logFile};
}

std::string quoteIfBlank(const std::string& name) {
    if (name.find(' ') == std::string::npos) return name;
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') return name;
    return "\"" + name + "\"";
}

std::string suiteParameterText(const std::string& stiFile, LogOption option, const std::string& logFile) {
    return " -sti " + quoteIfBlank(stiFile) + " " + logOptionText(option) + " " + quoteIfBlank(logFile);
}

Result<SuiteCall> parseSuiteArguments(const std::vector<std::string>& args) {
    SuiteCall call;
    bool haveSti = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string opt = toLower(args[i]);
        std::optional<LogOption> log;
        if (opt == "-lon")
            log = LogOption::Lon;
        else if (opt == "-log")
            log = LogOption::Log;
        else if (opt == "-los")
            log = LogOption::Los;
        else if (opt != "-sti")
            return Result<SuiteCall>::fail("Unknown option " + args[i]);
        if (i + 1 >= args.size() || trim(args[i + 1]).empty())
            return Result<SuiteCall>::fail("Option " + args[i] + " needs a file name");
        std::string value = trim(args[++i]);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (log) {
            call.logOption = *log;
            call.logFile = value;
            call.hasLog = true;
        } else {
            call.stiFile = value;
            haveSti = true;
        }
    }
    if (!haveSti) return Result<SuiteCall>::fail("Missing -sti option");
    if (call.hasLog && iequals(call.logFile, kLogNamedAfterSti))
        call.logFile = changeExt(call.stiFile, ".log");
    return call;
}

std::string storedInputAnswer(std::string_view line) {
    std::string_view s = line;
    if (!s.empty() && s.front() == '!') return "";
    size_t p = s.find(" !");
    if (p != std::string_view::npos) s = s.substr(0, p);
    return trim(s);
}

Result<std::vector<std::string>> readStoredInput(const std::string& path) {
    Result<std::vector<std::string>> lines = readTextLines(path);
    if (!lines) return lines;
    std::vector<std::string> out;
    out.reserve(lines->size());
    for (const auto& l : *lines) out.push_back(storedInputAnswer(l));
    return out;
}

}  // namespace vdln
