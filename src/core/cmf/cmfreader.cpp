#include "cmf/cmfreader.h"

#include <utility>

#include "base/besteffort.h"
#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"

namespace vdln {

namespace {

constexpr char kQ = '"';
constexpr int kHelpKeyWords = 0;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool inAtList(const std::string& list, const std::string& word) {
    for (const std::string& w : split(list, '@'))
        if (!w.empty() && iequals(w, word)) return true;
    return false;
}

}  // namespace

size_t cmfCommentStart(std::string_view line) {
    // Raw-line positions: after a "!!" pair the character that moves into
    // the pair's place is skipped, so scanning resumes three characters on.
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == '!') {
            if (i + 1 < line.size() && line[i + 1] == '!') {
                i += 3;
                continue;
            }
            return i;
        }
        ++i;
    }
    return line.size();
}

std::string removeCmfComments(std::string_view raw) {
    std::string line(raw);
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == '!') {
            if (i + 1 < line.size() && line[i + 1] == '!') {
                line.erase(i, 2);
                i += 1;
                continue;
            }
            line.erase(i);
            break;
        }
        ++i;
    }
    std::string out;
    out.reserve(line.size());
    size_t p = 0;
    while (p < line.size()) {
        const size_t h = line.find('#', p);
        if (h == std::string::npos) {
            out.append(line, p, std::string::npos);
            break;
        }
        out.append(line, p, h - p);
        const size_t close = line.find('#', h + 1);
        if (close == std::string::npos) break;
        p = close + 1;
    }
    return out;
}

std::string unquoteCmf(std::string_view s) {
    if (s.empty() || s.front() != kQ) return std::string(s);
    s.remove_prefix(1);
    if (!s.empty() && s.back() == kQ) s.remove_suffix(1);
    return std::string(s);
}

// ---------------------------------------------------------------------------

void TOpenCMFFile::resetState() {
    Keyword.clear();
    Token = ";";
    PrevToken.clear();
    LineCount = 0;
    ListIndex = m_fromList ? -1 : 0;
    TokenStart = 1;
    NextPos = 1;
    Line.clear();
}

Status TOpenCMFFile::OpenCMF(const std::string& name) {
    CloseCMF();
    FileName = name;
    m_fromList = false;
    if (Status s = TxtOpen(m_file, name); !s) return std::move(s).tag("[OpenCMF]");
    m_open = true;
    resetState();
    collectFiles();
    return Rewind().tag("[OpenCMF]");
}

void TOpenCMFFile::OpenCMFLines(std::vector<std::string> lines) {
    CloseCMF();
    FileName.clear();
    m_lines = std::move(lines);
    m_fromList = true;
    m_open = true;
    resetState();
    collectFiles();
    bestEffort(Rewind(), "a list of lines in memory cannot fail to rewind");
}

Status TOpenCMFFile::Rewind() {
    if (!m_fromList && m_open) {
        bestEffort(TxtClose(m_file), "the file was only read");
        if (Status s = TxtOpen(m_file, FileName); !s) {
            m_open = false;
            return s;
        }
    }
    resetState();
    return Status::ok();
}

void TOpenCMFFile::CloseCMF() {
    if (m_file.isOpen()) bestEffort(TxtClose(m_file), "the file was only read");
    m_lines.clear();
    m_open = false;
    Files.Groups.clear();
    resetState();
}

bool TOpenCMFFile::ReadLine() {
    if (!m_open) return false;
    std::string raw;
    if (m_fromList) {
        if (ListIndex + 1 >= static_cast<int>(m_lines.size())) return false;
        ++ListIndex;
        raw = m_lines[static_cast<size_t>(ListIndex)];
    } else {
        if (!m_file.readLine(raw)) return false;
    }
    ++LineCount;
    Line = removeCmfComments(raw);
    TokenStart = 1;
    NextPos = 1;
    return true;
}

bool TOpenCMFFile::NextToken() {
    for (;;) {
        int start = 1, next = 1;
        std::string t = cmfToken(Line, NextPos, start, next);
        if (!t.empty()) {
            PrevToken = std::move(Token);
            Token = std::move(t);
            TokenStart = start;
            NextPos = next;
            return true;
        }
        if (!ReadLine()) return false;
    }
}

bool TOpenCMFFile::NextStatement() {
    while (Token != ";")
        if (!NextToken()) return false;
    for (;;) {
        if (!NextToken()) return false;
        if (Token == ";") continue;  // an empty statement
        std::string stripped;
        for (char c : Token)
            if (!isBlank(c)) stripped.push_back(c);
        if (!stripped.empty()) break;
    }
    Keyword = Token;
    return true;
}

bool TOpenCMFFile::ReadStatement(CmfStatement& statement) {
    statement = CmfStatement{};
    while (NextToken()) {
        if (Token == ";") {
            if (statement.tokens.empty()) continue;
            statement.terminated = true;
            return true;
        }
        if (statement.tokens.empty()) {
            statement.line = LineCount;
            Keyword = Token;
        }
        statement.tokens.push_back(Token);
    }
    // The source ended: a statement without ";" is still returned, and the
    // next call finds nothing.
    Token = ";";
    return !statement.tokens.empty();
}

void TOpenCMFFile::collectFiles() {
    Files.Groups.clear();
    auto findGroup = [this](const std::string& logical) -> TFileXFileGroup* {
        for (auto& g : Files.Groups)
            if (iequals(g.LogicalName, logical)) return &g;
        return nullptr;
    };
    auto full = [this] { return Files.Count() >= TFileXFileCMFFile::kMaxGroups; };

    while (!full() && NextStatement()) {
        const std::string kw = NormaliseKeyword(Keyword);
        if (kw == "file") {
            if (!NextToken() || Token == ";") continue;
            const std::string logical = Token;
            if (!NextToken() || Token == ";") continue;  // "="
            if (!NextToken() || Token == ";") continue;
            const std::string actual = unquoteCmf(Token);
            if (TFileXFileGroup* g = findGroup(logical)) {
                if (g->Kind == 'x') {
                    g->ActualName = actual;
                    g->Kind = 'b';
                }
            } else {
                Files.Groups.push_back(TFileXFileGroup{'f', logical, actual, ""});
            }
        } else if (kw == "xfile") {
            std::string status = "old";
            if (!NextToken() || Token == ";") continue;
            if (Token == "(") {
                bool ended = false;
                for (;;) {
                    if (!NextToken() || Token == ";") {
                        ended = true;
                        break;
                    }
                    if (Token == ")") break;
                    for (const std::string& item : split(Token, ',')) {
                        const std::string word = trim(item);
                        if (iequals(word, "old"))
                            status = "old";
                        else if (iequals(word, "new"))
                            status = "new";
                    }
                }
                if (ended) continue;
                if (!NextToken() || Token == ";") continue;
            }
            const std::string logical = Token;
            if (NextToken() && Token != ";" && !Token.empty() && Token.front() == kQ) {
                Files.Groups.push_back(TFileXFileGroup{'b', logical, unquoteCmf(Token), status});
                continue;
            }
            if (TFileXFileGroup* g = findGroup(logical)) {
                if (g->Kind == 'f') {
                    g->Status = status;
                    g->Kind = 'b';
                }
            } else {
                Files.Groups.push_back(TFileXFileGroup{'x', logical, "", status});
            }
        }
    }
}

Status TOpenCMFFile::CheckControlZ(const std::string& description) {
    bool found = false;
    size_t foundPos = 0;
    int foundLine = 0;
    std::string foundText;
    while (ReadLine()) {
        size_t from = 0;
        if (!found) {
            const size_t z = Line.find('\x1a');
            if (z == std::string::npos) continue;
            found = true;
            foundPos = z;
            foundLine = LineCount;
            foundText = Line;
            from = z + 1;
        }
        for (size_t i = from; i < Line.size(); ++i) {
            if (Line[i] != ' ') {
                return Status::fail("ControlZ found in text " + description + "\r\n" + "in position " +
                                    std::to_string(foundPos + 1) + " in line number " +
                                    std::to_string(foundLine) + "\r\n" + kQ + foundText + kQ + "\r\n" +
                                    " Please remove ControlZ to fix this." + "\r\n" +
                                    "[Having such a character before the end of the file will" + "\r\n" +
                                    "  confuse some compilers and editors.]");
            }
        }
    }
    return Status::ok();
}

// ---------------------------------------------------------------------------

std::string NormaliseKeyword(std::string_view word) {
    static const std::pair<const char*, const char*> kTable[] = {
        {"sho", "shock"},
        {"ash", "ashock"},
        {"fil", "file"},
        {"ts", "tshock"},
        {"tf", "tfinal_level"},
        {"ach", "achange"},
        {"tc", "tchange"},
        {"ap", "apercent_change"},
        {"tp", "tpercent_change"},
        {"us", "use"},
        {"modi", "modify"},
        {"env", "environment"},
        {"lu", "lu"},
        {"exo", "exogenous"},
        {"end", "endogenous"},
        {"re", "rest"},
        {"ta", "take"},
        {"fin", "final_level"},
        {"cha", "change"},
        {"pe", "percent_change"},
    };
    std::string lower = toLower(word);
    for (const auto& [prefix, keyword] : kTable)
        if (std::string_view(lower).starts_with(prefix)) return keyword;
    return lower;
}

namespace {

bool refersToFiles(const std::string& kw) {
    static const char* kWords[] = {
        "shock",   "ashock",  "tshock",          "percent_change",  "change", "final_level", "tfinal_level",
        "achange", "tchange", "apercent_change", "tpercent_change", "use",    "take",        "modify"};
    for (const char* w : kWords)
        if (kw == w) return true;
    return false;
}

}  // namespace

std::vector<ReferredFile> referredFiles(TOpenCMFFile& cmf) {
    std::vector<ReferredFile> out;
    for (const auto& g : cmf.Files.Groups)
        if (g.Kind == 'b' && g.Status == "old") out.push_back(ReferredFile{"file", g.ActualName});
    if (!cmf.Rewind()) return out;
    CmfStatement st;
    while (cmf.ReadStatement(st)) {
        const std::string kw = NormaliseKeyword(st.tokens.front());
        if (!refersToFiles(kw)) continue;
        for (size_t k = 1; k < st.tokens.size(); ++k) {
            if (!iequals(st.tokens[k], "file")) continue;
            if (k + 1 < st.tokens.size()) {
                std::string name = unquoteCmf(st.tokens[k + 1]);
                const std::string qualifier = NormaliseKeyword(st.tokens[k - 1]);
                if (qualifier == "environment")
                    name += ".en4";
                else if (qualifier == "lu")
                    name += ".lu4";
                out.push_back(ReferredFile{kw, name});
            }
            break;
        }
    }
    return out;
}

bool CheckConstituents(const std::string& name, bool requireShortNames, bool quiet, Dialogs& dialogs,
                       std::vector<std::string>* messages) {
    auto report = [&](const std::string& text) {
        if (messages) messages->push_back(text);
        if (!quiet) dialogs.message(MsgKind::Error, text, BtnOk | BtnHelp, kHelpKeyWords);
    };
    TOpenCMFFile cmf;
    if (Status s = cmf.OpenCMF(name); !s) {
        report(s.message());
        return false;
    }
    const std::vector<ReferredFile> files = referredFiles(cmf);
    cmf.CloseCMF();
    const std::string dir = dirOf(name);
    bool allOk = true;
    for (const ReferredFile& f : files) {
        const std::string head = "The Command file\r\n   " + name + "\r\n" + " includes a " + kQ +
                                 f.statementWord + kQ + " statement which refers to file" + "\r\n" + "   ";
        if (requireShortNames) {
            // Any folder separator counts as directory details ("/" is the
            // separator on this platform).
            const bool notShort =
                f.name.find('\\') != std::string::npos || f.name.find('/') != std::string::npos ||
                (!f.name.empty() && f.name.front() == '.') || (f.name.size() >= 2 && f.name[1] == ':');
            if (notShort) {
                report(head + f.name + "\r\n" + "The name of files invoked here must be short file" + "\r\n" +
                       "  names (so cannot contain any directory details)." + "\r\n" +
                       "[Technically, these names must not contain \"\\\", \".\" or \":\".]");
                allOk = false;
                continue;
            }
        }
        const std::string full = ResolvePath(dir, f.name);
        if (f.name.empty() || !fileExists(findFileIgnoringCase(full))) {
            report(head + full + "\r\n" + "This latter file does not exist.");
            allOk = false;
        }
    }
    return allOk;
}

Status ListConstituents(const std::string& dir, const std::string& name, std::vector<std::string>& list) {
    if (name.empty()) return Status::ok();
    list.push_back(name);
    TOpenCMFFile cmf;
    if (Status s = cmf.OpenCMF(findFileIgnoringCase(JoinPath(dir, name))); !s)
        return std::move(s).tag("[ListConstituents]");
    for (const ReferredFile& f : referredFiles(cmf)) list.push_back(f.name);
    cmf.CloseCMF();
    return Status::ok();
}

Status CheckKeyWords(const std::string& file, const std::string& allowedKeyWords,
                     const std::string& notAllowedKeyWords, const std::string& kindText,
                     const std::string& fileIndent, const std::string& controlZDescription, bool quiet,
                     Dialogs& dialogs) {
    auto fail = [&](const std::string& text) {
        if (!quiet) dialogs.message(MsgKind::Error, text, BtnOk | BtnHelp, kHelpKeyWords);
        return Status::fail(text);
    };
    if (!allowedKeyWords.empty() && allowedKeyWords.front() == '@')
        return fail(internalErrorText("Interntal error - AllowedKeyWords not ok"));
    if (!notAllowedKeyWords.empty() && notAllowedKeyWords.front() == '@')
        return fail(internalErrorText("Interntal error - NotAllowedKeyWords not ok"));

    const std::string actual = findFileIgnoringCase(file);
    if (!fileExists(actual)) return Status::ok();

    TOpenCMFFile cmf;
    if (Status s = cmf.OpenCMF(actual); !s) return fail(s.message());
    if (Status s = cmf.CheckControlZ(controlZDescription); !s) return fail(s.message());
    if (Status s = cmf.Rewind(); !s) return fail(s.message());
    while (cmf.NextStatement()) {
        const std::string kw = NormaliseKeyword(cmf.Keyword);
        const bool refused =
            !allowedKeyWords.empty() ? !inAtList(allowedKeyWords, kw) : inAtList(notAllowedKeyWords, kw);
        if (refused)
            return fail("Key word " + std::string(1, kQ) + kw + kQ + " must not be in " + kindText + "\r\n" +
                        fileIndent + file + "\r\n" + "Please change this file.");
    }
    return Status::ok();
}

Status CheckClosureFile(const std::string& file, bool allowSave, bool quiet, Dialogs& dialogs) {
    std::string allowed = "exogenous@endogenous@rest@swap@xset@xsubset@use@modify@take@xfile@file@";
    if (allowSave) allowed += "save@";
    return CheckKeyWords(file, allowed, "", "closure file", "", "in closure file \r\n" + file, quiet,
                         dialogs);
}

Status CheckShockFile(const std::string& file, bool allowExtended, bool quiet, Dialogs& dialogs) {
    std::string allowed = "shock@subtotal@xset@xsubset@xfile@file@final_level@change@percent_change@";
    if (allowExtended)
        allowed += "ashock@tshock@tfinal_level@achange@tchange@apercent_change@tpercent_change@";
    return CheckKeyWords(file, allowed, "", "shocks file", "", "in shock file \r\n" + file, quiet, dialogs);
}

Status CheckCMFStartFile(const std::string& file, bool quiet, Dialogs& dialogs) {
    const std::string forbidden = std::string("exogenous@endogenous@rest@swap@use@modify@take@") +
                                  "shock@final_level@change@percent_change@ashock@tshock@" +
                                  "tfinal_level@achange@tchange@apercent_change@tpercent_change@";
    return CheckKeyWords(file, "", forbidden, "CMFSTART file", "  ", "in CMFSTART file \r\n" + file, quiet,
                         dialogs);
}

}  // namespace vdln
