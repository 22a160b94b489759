#include "formats/modelinfo.h"

#include <cstdlib>
#include <utility>

#include "base/besteffort.h"
#include "base/fileutil.h"
#include "base/strutil.h"

namespace vdln {

namespace {

constexpr std::array<const char*, kMinItemCount> kKeywords = {
    "#FILES",     "#TABFILE",     "#TMDATE",     "#STIFILE",      "#SETS",      "#VARIABLES",
    "#VCSTAT",    "#VCTP",        "#SUBSETS",    "#COEFFICIENTS", "#EQUATIONS", "#READS",
    "#READEXTRA", "#NCVARIABLES", "#STATEMENTS", "#AVAIL",        "#LEVN",      "#NSOL",
    "#VBDSC",     "#SVVER",       "#PRVER",      "#FINAL_LEVEL"};

std::string quoted(std::string_view s) {
    return "\"" + std::string(s) + "\"";
}

/// Reads the lines of the open file, with one line of look-ahead that a
/// section reader can give back (a '#' line that starts the next section).
class LineSource {
public:
    explicit LineSource(TxtFile& f) : m_file(f) {}
    bool next(std::string& line) {
        if (m_hasPushed) {
            line = std::move(m_pushed);
            m_hasPushed = false;
            return true;
        }
        return m_file.readLine(line);
    }
    void pushBack(std::string line) {
        m_pushed = std::move(line);
        m_hasPushed = true;
    }

private:
    TxtFile& m_file;
    std::string m_pushed;
    bool m_hasPushed = false;
};

/// Reads fixed-width fields and blank-delimited integers from one line,
/// never past its end.
class Cursor {
public:
    explicit Cursor(std::string_view line) : m_line(line) {}
    bool skip(size_t n) {
        if (m_pos + n > m_line.size()) return false;
        m_pos += n;
        return true;
    }
    /// Exactly n characters.
    bool take(size_t n, std::string& out) {
        if (m_pos + n > m_line.size()) return false;
        out.assign(m_line.substr(m_pos, n));
        m_pos += n;
        return true;
    }
    /// Up to n characters (fewer at the end of the line).
    std::string takeUpTo(size_t n) {
        std::string out(m_line.substr(m_pos, n));
        m_pos += out.size();
        return out;
    }
    bool readChar(char& c) {
        if (m_pos >= m_line.size()) return false;
        c = m_line[m_pos++];
        return true;
    }
    /// Skips blanks, then reads an optionally signed integer; it ends at the
    /// first character that is not a digit.
    bool readInt(std::int64_t& v) {
        while (m_pos < m_line.size() && (m_line[m_pos] == ' ' || m_line[m_pos] == '\t')) ++m_pos;
        size_t start = m_pos;
        if (m_pos < m_line.size() && (m_line[m_pos] == '-' || m_line[m_pos] == '+')) ++m_pos;
        size_t digits = m_pos;
        while (m_pos < m_line.size() && m_line[m_pos] >= '0' && m_line[m_pos] <= '9') ++m_pos;
        if (m_pos == digits) {
            m_pos = start;
            return false;
        }
        auto parsed = parseInt(m_line.substr(start, m_pos - start));
        if (!parsed) {
            m_pos = start;
            return false;
        }
        v = *parsed;
        return true;
    }
    std::string rest() {
        std::string out(m_line.substr(std::min(m_pos, m_line.size())));
        m_pos = m_line.size();
        return out;
    }

private:
    std::string_view m_line;
    size_t m_pos = 0;
};

std::string nameCase(const std::string& name, bool lower) {
    return lower ? toLower(name) : name;
}

/// A line holding exactly one integer.
bool lineInt(LineSource& src, std::int64_t& v) {
    std::string line;
    if (!src.next(line)) return false;
    auto p = parseInt(line);
    if (!p) return false;
    v = *p;
    return true;
}

// ---------------------------------------------------------------------------
// "#SETS"

Status readSetInfo(LineSource& src, SolInfoRec& rec) {
    const char* tag = " [ReadSetInfo]";
    if (!rec.sets.empty()) return Status::fail(std::string("SetData<>nil") + tag);
    std::int64_t n = 0;
    if (!lineInt(src, n) || n < 0) return Status::fail(std::string("cannot read NSlvSet") + tag);
    if (n > kMinMaxSets) return Status::fail("Too many sets - max is " + std::to_string(kMinMaxSets) + tag);
    std::string line;
    for (std::int64_t s = 0; s < n; ++s) {
        TSetRec set;
        std::string name, dum;
        std::int64_t size = 0;
        char status = ' ';
        bool ok = src.next(line);
        Cursor c(line);
        ok = ok && c.skip(6) && c.take(12, name) && c.readInt(size) && c.take(2, dum) && c.readChar(status);
        if (!ok) return Status::fail(std::string("cannot read Set data line") + tag);
        set.name = trim(name);
        set.description = trim(c.rest());
        if (set.description.empty()) set.description = set.name;
        set.size = size;
        if (set.size >= 0) {
            std::vector<std::string> elements;
            if (status == 'k') {
                set.ElmsKnown = true;
                for (std::int64_t k = 0; k < set.size; ++k) {
                    if (!src.next(line)) return Status::fail(std::string("cannot read Set data line") + tag);
                    elements.push_back(trim(line));
                }
            } else {
                if (set.size > kMinMaxGeneratedSetSize)
                    return Status::fail("Set " + set.name + " too large: max is " +
                                        std::to_string(kMinMaxGeneratedSetSize) + tag);
                std::string stem = leftStr(set.name, 9);
                elements.reserve(static_cast<size_t>(set.size));
                for (std::int64_t k = 1; k <= set.size; ++k) elements.push_back(stem + std::to_string(k));
            }
            set.SetElms = std::move(elements);
        }
        rec.sets.push_back(std::move(set));
    }
    return Status::ok();
}

// ---------------------------------------------------------------------------
// Argument lines (variables, equations, coefficients)

/// Reads `nargs` set numbers from an argument line, checking each against
/// the set list; the cursor is left after them (coefficients read more).
Status readArgs(Cursor& c, int nargs, const SolInfoRec& rec, std::vector<int>& sets, std::string& names,
                bool& unknownSize, const char* readError) {
    sets.clear();
    names.clear();
    unknownSize = false;
    for (int a = 0; a < nargs; ++a) {
        std::int64_t n = 0;
        if (!c.readInt(n)) return Status::fail(readError);
        if (n < 1 || n > kMinMaxSets)
            return Status::fail("Set number " + std::to_string(n) + " out of range 1.." +
                                std::to_string(kMinMaxSets));
        if (rec.sets.empty()) return Status::fail("SetData=nil");
        if (n > static_cast<std::int64_t>(rec.sets.size())) return Status::fail("SetPtr=nil");
        const TSetRec& set = rec.sets[static_cast<size_t>(n - 1)];
        sets.push_back(static_cast<int>(n));
        if (a > 0) names += "*";
        names += set.name;
        if (set.size < 0) unknownSize = true;
    }
    return Status::ok();
}

// ---------------------------------------------------------------------------
// "#VARIABLES" and "#NCVARIABLES"

Status readVarDetails(LineSource& src, SolInfoRec& rec, bool lower, bool exoFlags, bool fromNC) {
    const char* tag = "[ReadVarDetails]";
    std::string line;
    if (!src.next(line)) return Status::fail(std::string("read error") + tag);
    Cursor c(line);
    std::string name, dum;
    std::int64_t size = 0, nargs = 0;
    char dum1 = ' ', stat = ' ';
    if (!(c.skip(6) && c.take(15, name) && c.readInt(size) && c.readInt(nargs)))
        return Status::fail(std::string("read error") + tag);
    if (!c.readChar(dum1) || !c.readChar(stat)) return Status::fail(std::string("read error") + tag);
    if (dum1 != ' ') return Status::fail(std::string("Dum1 should be blank") + tag);
    TVarRec v;
    v.name = nameCase(trim(name), lower);
    if (v.name.empty()) return Status::fail(std::string("Variable name is blank") + tag);
    v.upperName = toUpper(v.name);
    v.description = trim(c.rest());
    v.exoStat = stat;
    v.fromNC = fromNC;
    if (fromNC) v.vcStat = stat;
    if (nargs < 0 || nargs > 7)
        return Status::fail("Variable " + v.name + " has " + std::to_string(nargs) +
                            " arguments: expect 0 to 7" + tag);
    v.numArgs = static_cast<int>(nargs);
    v.size = size;
    if (nargs > 0) {
        bool unknown = false;
        std::string argLine;
        if (!src.next(argLine)) return Status::fail(std::string("read error") + tag);
        Cursor ac(argLine);
        Status s = readArgs(ac, v.numArgs, rec, v.argSets, v.argNames, unknown, "read error");
        if (!s) return std::move(s).tag(tag);
        if (unknown) v.size = -1;
    }
    const bool keepFlags =
        exoFlags && v.size >= 0 && v.size <= kMinMaxFlaggedVarSize && v.numArgs <= 3 && stat != '?';
    switch (stat) {
        case 'X':
            v.numExog = v.size;
            if (keepFlags) v.exoFlags.assign(static_cast<size_t>(v.size), true);
            break;
        case 'N':
        case 'B':
        case '?':
        case 's':
        case 'o':
            v.numExog = 0;
            if (keepFlags) v.exoFlags.assign(static_cast<size_t>(v.size), false);
            break;
        case 'x': {
            std::int64_t want = 0;
            if (!lineInt(src, want)) return Status::fail(std::string("read error") + tag);
            if (keepFlags) v.exoFlags.assign(static_cast<size_t>(v.size), false);
            std::int64_t counted = 0;
            for (;;) {
                std::string rl;
                if (!src.next(rl)) return Status::fail(std::string("2I read error") + tag);
                auto first =
                    parseInt(rl.size() > 10 ? std::string_view(rl).substr(0, 10) : std::string_view(rl));
                if (!first) return Status::fail(std::string("2I read error") + tag);
                if (*first == 0) break;
                if (rl.size() <= 10) return Status::fail(std::string("2I read error") + tag);
                auto second = parseInt(std::string_view(rl).substr(10, 10));
                if (!second) return Status::fail(std::string("2I read error") + tag);
                if (*first > *second) return Status::fail("1st exog component > 2nd for var " + v.name + tag);
                if (*first < 1 || (v.size >= 0 && *second > v.size))
                    return Status::fail("Exog component range " + std::to_string(*first) + "-" +
                                        std::to_string(*second) + " outside 1.." + std::to_string(v.size) +
                                        " for var " + v.name + tag);
                const std::int64_t span = *second - *first + 1;
                if (span > want - counted)  // also guards the sum against overflow
                    return Status::fail("NExog Miscount for var " + v.name + tag);
                counted += span;
                if (keepFlags)
                    for (std::int64_t k = *first; k <= *second; ++k)
                        v.exoFlags[static_cast<size_t>(k - 1)] = true;
            }
            if (counted != want) return Status::fail("NExog Miscount for var " + v.name + tag);
            v.numExog = want;
            break;
        }
        default:
            return Status::fail("For variable " + v.name + " ExoStat was " + quoted(std::string(1, stat)) +
                                "; should be X, N, B, ?, s, o or x. " + tag);
    }
    const int number = static_cast<int>(rec.vars.size()) + 1;
    if (Status s = rec.varIndex.add(v.name, number); !s) return std::move(s).tag(tag);
    rec.vars.push_back(std::move(v));
    return Status::ok();
}

Status readVarInfo(LineSource& src, SolInfoRec& rec, bool lower, bool exoFlags) {
    const char* tag = "[ReadVarInfo]";
    if (!rec.vars.empty()) return Status::fail(std::string("VarData<>nil") + tag);
    std::int64_t n = 0;
    if (!lineInt(src, n) || n < 0) return Status::fail(std::string("cannot read NSlvVar") + tag);
    if (n >= kMinVarLimit) return Status::fail(std::string("Too many variables") + tag);
    for (std::int64_t k = 0; k < n; ++k) {
        if (Status s = readVarDetails(src, rec, lower, exoFlags, false); !s) return std::move(s).tag(tag);
        rec.numOrdinaryVars = static_cast<int>(rec.vars.size());
    }
    rec.numOrdinaryVars = static_cast<int>(rec.vars.size());
    return Status::ok();
}

Status readNCVarInfo(LineSource& src, SolInfoRec& rec, bool lower, bool exoFlags) {
    const char* tag = "[ReadNCVarInfo]";
    std::int64_t n = 0;
    if (!lineInt(src, n)) return Status::fail(std::string("cannot read NSlvVarNC") + tag);
    const std::int64_t oldN = static_cast<std::int64_t>(rec.vars.size());
    const std::int64_t newN = oldN + n;
    if (newN < 0) return Status::fail(std::string("NewNVar < 0[ExpandVarInfo]") + tag);
    if (newN < oldN) return Status::fail(std::string("NewNVar < OldNVar[ExpandVarInfo]") + tag);
    if (newN >= kMinVarLimit) return Status::fail(std::string("Too many variables[ExpandVarInfo]") + tag);
    for (std::int64_t k = 0; k < n; ++k)
        if (Status s = readVarDetails(src, rec, lower, exoFlags, true); !s) return std::move(s).tag(tag);
    return Status::ok();
}

// ---------------------------------------------------------------------------
// "#VCSTAT" and "#VCTP"

Status readCharColumn(LineSource& src, SolInfoRec& rec, bool vcstat) {
    const char* tag = vcstat ? "[ReadVCSTAT]" : "[ReadVCTP]";
    const std::string what = vcstat ? "#VCSTAT" : "#VCTP";
    const int need = rec.numOrdinaryVars;
    int got = 0;
    std::string line;
    while (got < need) {
        if (!src.next(line)) return Status::fail(std::string("Unexpected end of file") + tag);
        line = trimRight(line);
        for (char ch : line) {
            if (got >= need)
                return Status::fail("Expected " + std::to_string(need) + " chars in " + what + " data" +
                                    "\r\n" + "found more" + tag);
            char c = vcstat ? static_cast<char>(std::tolower(static_cast<unsigned char>(ch))) : ch;
            if (!vcstat && c == 'n') c = 'c';
            const bool ok = vcstat ? (c == 'b' || c == 'c') : (c == 'p' || c == 'c');
            if (!ok)
                return Status::fail("Unexpected char " + quoted(std::string(1, ch)) + "in " + what + " data" +
                                    tag);
            if (vcstat)
                rec.vars[static_cast<size_t>(got)].vcStat = c;
            else
                rec.vars[static_cast<size_t>(got)].vcTp = c;
            ++got;
        }
        if (got < need && line.size() < 40)
            return Status::fail("Expected " + std::to_string(need) + " chars in " + what + " data" + "\r\n" +
                                "found only " + std::to_string(got) + " chars" + tag);
    }
    return Status::ok();
}

// ---------------------------------------------------------------------------
// "#VBDSC"

Status readDescLines(LineSource& src, SolInfoRec& rec) {
    const char* tag = "[ReadDescNLinesUnKnown]";
    std::string line;
    if (!src.next(line)) return Status::fail(std::string("cannot read NDescLine") + tag);
    auto n = parseInt(line);
    if (!n) return Status::fail(std::string("cannot read NDescLine") + tag);
    if (*n < 0) return Status::fail(std::string("NumToRead<0") + tag);
    rec.descLines.clear();
    for (std::int64_t k = 0; k < *n; ++k) {
        if (!src.next(line)) return Status::fail(std::string("Unexpected end of file") + tag);
        if (static_cast<int>(rec.descLines.size()) < kMinMaxDescLines) rec.descLines.push_back(line);
    }
    return Status::ok();
}

// ---------------------------------------------------------------------------
// "#EQUATIONS"

Status readEquInfo(LineSource& src, SolInfoRec& rec, bool lower) {
    const char* tag = "[ReadEquInfo]";
    const char* dtag = "[ReadEquDetails]";
    if (!rec.equs.empty()) return Status::fail(std::string("EquData<>nil") + tag);
    std::int64_t n = 0;
    if (!lineInt(src, n) || n < 0) return Status::fail(std::string("cannot read NSlvEqu") + tag);
    if (n >= kMinEquLimit) return Status::fail(std::string("Too many Equations") + tag);
    std::string line;
    for (std::int64_t k = 0; k < n; ++k) {
        TEquRec e;
        std::string name;
        std::int64_t size = 0, nargs = 0;
        bool ok = src.next(line);
        Cursor c(line);
        ok = ok && c.skip(6) && c.take(20, name) && c.readInt(size) && c.readInt(nargs);
        if (!ok || nargs < 0 || nargs > 7)
            return Status::fail(std::string("cannot read equation data line") + dtag + tag);
        c.skip(1);
        e.name = nameCase(trim(name), lower);
        e.upperName = toUpper(e.name);
        e.description = trim(c.rest());
        e.size = size;
        e.numArgs = static_cast<int>(nargs);
        if (nargs > 0) {
            bool unknown = false;
            std::string argLine;
            if (!src.next(argLine))
                return Status::fail(std::string("cannot read equation data line") + dtag + tag);
            Cursor ac(argLine);
            Status s = readArgs(ac, e.numArgs, rec, e.argSets, e.argNames, unknown,
                                "cannot read equation data line");
            if (!s) return std::move(s).tag(dtag).tag(tag);
            if (unknown) e.size = -1;
        }
        rec.equs.push_back(std::move(e));
    }
    return Status::ok();
}

// ---------------------------------------------------------------------------
// "#COEFFICIENTS"

Status readCoeffDetails(LineSource& src, SolInfoRec& rec, bool lower) {
    const char* tag = "[ReadCoeffDetails]";
    std::string line;
    if (!src.next(line)) return Status::fail(std::string("read error") + tag);
    Cursor c(line);
    std::string name;
    std::int64_t nargs = 0;
    if (!(c.skip(6) && c.take(12, name) && c.readInt(nargs)) || nargs < 0 || nargs > 7)
        return Status::fail(std::string("read error") + tag);
    TCoeffRec k;
    char b1 = 0, b2 = 0, b3 = 0;
    if (!(c.readChar(b1) && c.readChar(k.storageType) && c.readChar(b2) && c.readChar(k.code1) &&
          c.readChar(b3) && c.readChar(k.code2)))
        return Status::fail(std::string("read error") + tag);
    if (b1 != ' ' || b2 != ' ' || b3 != ' ')
        return Status::fail(std::string("Unexpected characters: should be blank") + tag);
    if (k.storageType != 'i' && k.storageType != 'r')
        return Status::fail("Unexpected CSTP " + quoted(std::string(1, k.storageType)) + " (expect i/r)" +
                            tag);
    k.name = nameCase(trim(name), lower);
    k.upperName = toUpper(k.name);
    k.description = trim(c.rest());
    k.numArgs = static_cast<int>(nargs);
    if (nargs > 0) {
        bool unknown = false;
        std::string argLine;
        if (!src.next(argLine)) return Status::fail(std::string("read error") + tag);
        Cursor ac(argLine);
        Cursor* cur = &ac;
        Status s = readArgs(ac, k.numArgs, rec, k.argSets, k.argNames, unknown, "read error");
        if (!s) return std::move(s).tag(tag);
        if (k.storageType == 'i' && nargs == 1) {
            char blank = 0;
            if (!cur->readChar(blank) || !cur->readChar(k.mapChar))
                return Status::fail(std::string("read error") + tag);
            if (blank != ' ') return Status::fail(std::string("Unexpected character: should be blank") + tag);
            if (k.mapChar != 'c' && k.mapChar != 'm')
                return Status::fail("Unexpected MapChar " + quoted(std::string(1, k.mapChar)) +
                                    " (expect c/m)" + tag);
            if (k.mapChar == 'm' && !(cur->readInt(k.map1) && cur->readInt(k.map2)))
                return Status::fail(std::string("read error") + tag);
        }
    }
    const int number = static_cast<int>(rec.coeffs.size()) + 1;
    if (Status s = rec.coeffIndex.add(k.name, number); !s) return std::move(s).tag(tag);
    rec.coeffs.push_back(std::move(k));
    return Status::ok();
}

Status readCoeffInfo(LineSource& src, SolInfoRec& rec, bool lower) {
    const char* tag = "[ReadCoeffInfo]";
    if (!rec.coeffs.empty()) return Status::fail(std::string("CoeffData<>nil") + tag);
    std::int64_t n = 0;
    if (!lineInt(src, n) || n < 0) return Status::fail(std::string("cannot read NSlvCoeff") + tag);
    if (n > kMinMaxCoefficients) return Status::fail(std::string("Too many Coefficients") + tag);
    for (std::int64_t k = 0; k < n; ++k)
        if (Status s = readCoeffDetails(src, rec, lower); !s) return std::move(s).tag(tag);
    return Status::ok();
}

// ---------------------------------------------------------------------------
// "#FINAL_LEVEL"

Status readFinalLevelInfo(LineSource& src, SolInfoRec& rec) {
    const char* tag = " [ReadFinalLevelInfo]";
    std::string line;
    int entry = 0;
    while (src.next(line)) {
        if (!line.empty() && line[0] == '#') {
            src.pushBack(std::move(line));
            break;
        }
        if (trim(line).empty()) continue;
        ++entry;
        Cursor c(line);
        char d1 = 0, d2 = 0, d3 = 0, flag = 0;
        std::string type;
        if (!(c.readChar(d1) && c.take(2, type) && c.readChar(d2) && c.readChar(flag) && c.readChar(d3)))
            return Status::fail("Line too short in FinalLevelInfo entry " + std::to_string(entry) + tag);
        if (d1 != ' ' || d2 != ' ' || d3 != ' ')
            return Status::fail(std::string("Dums should be blank") + tag);
        std::string varName = trim(c.takeUpTo(15));
        char d4 = ' ';
        if (c.readChar(d4) && d4 != ' ') return Status::fail(std::string("Dums should be blank") + tag);
        std::string coefName = trim(c.takeUpTo(16));
        const int vno = rec.findVariable(varName);
        if (vno == 0)
            return Status::fail("Could not find variable " + quoted(varName) + " in FinalLevelInfo entry " +
                                std::to_string(entry) + tag);
        TVarRec& v = rec.vars[static_cast<size_t>(vno - 1)];
        v.levType = type;
        if (type == "lv" && !coefName.empty()) {
            const int cno = rec.findCoefficient(coefName);
            if (cno == 0)
                return Status::fail("Could not find associated levels coefficient " + quoted(coefName) +
                                    " for variable " + quoted(varName) + tag);
            if (v.levCoefNo == 0) ++rec.numLevAssoc;
            v.levCoefName = coefName;
            v.levCoefNo = cno;
            rec.coeffs[static_cast<size_t>(cno - 1)].levVarNo = vno;
        }
    }
    return Status::ok();
}

// ---------------------------------------------------------------------------
// "#FILES"

Status readFileInfo(LineSource& src, std::vector<TFileRec>& files, size_t limit) {
    const char* tag = "[ReadFileInfo]";
    std::string line;
    if (!src.next(line)) return Status::ok();
    if (!line.empty() && line[0] == '#') {
        src.pushBack(std::move(line));
        return Status::ok();
    }
    while (src.next(line)) {
        if (!line.empty() && line[0] == '#') {
            src.pushBack(std::move(line));
            break;
        }
        if (trim(line).empty()) continue;
        if (files.size() >= limit) return Status::fail(std::string("Too many files") + tag);
        auto parsed = parseMinFileLine(line);
        if (!parsed) return Status::fail(parsed.message() + tag);
        TFileRec f = std::move(parsed.value());
        if (!f.name.starts_with('(')) {
            std::string second;
            if (src.next(second)) {
                if (!second.empty() && second[0] == '#')
                    src.pushBack(std::move(second));
                else
                    f.line2 = trim(second);
            }
        }
        files.push_back(std::move(f));
    }
    return Status::ok();
}

/// The line after a single-value keyword.
bool readValueLine(LineSource& src, std::string& value) {
    return src.next(value);
}

Status getModelInfoImpl(TxtFile& file, const MinItemSet& request, bool lower, bool exoFlags, SolInfoRec& rec,
                        bool developer) {
    for (int k = 0; k < kMinItemCount; ++k)
        if (request.test(static_cast<size_t>(k)) && !minItemImplemented(k))
            return Status::fail(std::string("Requested UnImplemented Data Item ") + kKeywords[k]);
    MinItemSet toRead = request;
    for (int k : {MinTabFile, MinTmDate, MinStiFile, MinSvVer, MinPrVer}) toRead.set(static_cast<size_t>(k));
    if (developer) toRead.set(MinFiles);
    rec.lowerCaseNames = lower;

    auto needs = [&](std::initializer_list<int> items) -> Status {
        for (int k : items)
            if (!rec.itemsRead.test(static_cast<size_t>(k)))
                return Status::fail(std::string("Data Item ") + kKeywords[k] + " is not read");
        return Status::ok();
    };

    LineSource src(file);
    std::string line;
    while (src.next(line)) {
        if (line.empty() || line[0] != '#') continue;
        int item = -1;
        for (int k = 0; k < kMinItemCount; ++k)
            if (line == kKeywords[k]) {
                item = k;
                break;
            }
        if (item < 0 || !toRead.test(static_cast<size_t>(item))) continue;
        Status s;
        std::string value;
        switch (item) {
            case MinFiles:
                s = readFileInfo(src, rec.files, kMinMaxFiles);
                break;
            case MinTabFile:
                if (!readValueLine(src, value)) return Status::fail("Could not read TABFILE field.");
                rec.tabFile = value;
                break;
            case MinTmDate:
                if (!readValueLine(src, value)) return Status::fail("Could not read TMDATE field.");
                rec.tmDate = value;
                break;
            case MinStiFile:
                if (!readValueLine(src, value)) return Status::fail("Could not read STIFILE field.");
                rec.stiFile = value;
                break;
            case MinSvVer: {
                std::int64_t v = 0;
                if (!lineInt(src, v)) return Status::fail("Could not read SVVER field.");
                rec.svVer = v;
                break;
            }
            case MinPrVer: {
                std::int64_t v = 0;
                if (!lineInt(src, v)) return Status::fail("Could not read PRVER field.");
                rec.prVer = v;
                break;
            }
            case MinSets:
                s = readSetInfo(src, rec);
                break;
            case MinVariables:
                s = needs({MinSets});
                if (s) s = readVarInfo(src, rec, lower, exoFlags);
                break;
            case MinVcStat:
                s = needs({MinVariables});
                if (s) s = readCharColumn(src, rec, true);
                break;
            case MinVcTp:
                s = needs({MinVariables});
                if (s) s = readCharColumn(src, rec, false);
                break;
            case MinCoefficients:
                s = needs({MinSets});
                if (s) s = readCoeffInfo(src, rec, lower);
                break;
            case MinEquations:
                s = needs({MinSets});
                if (s) s = readEquInfo(src, rec, lower);
                break;
            case MinNcVariables:
                s = needs({MinSets, MinVariables});
                if (s) s = readNCVarInfo(src, rec, lower, exoFlags);
                break;
            case MinVbDsc:
                s = readDescLines(src, rec);
                break;
            case MinFinalLevel:
                s = needs({MinVariables, MinCoefficients});
                if (!s) return s;
                s = readFinalLevelInfo(src, rec);
                if (!s && !developer) continue;  // the item stays unread
                break;
            default:
                continue;  // not implemented: never in toRead
        }
        if (!s) return s;
        rec.itemsRead.set(static_cast<size_t>(item));
    }
    if (file.failed()) return Status::fail("read error from file " + file.name());
    if (developer)
        for (int k = 0; k < kMinItemCount; ++k)
            if (rec.itemsRead.test(static_cast<size_t>(k)) && !minItemImplemented(k))
                return Status::fail(std::string("performed unimplemented option ") + kKeywords[k] + "! ");
    return Status::ok();
}

}  // namespace

const char* minItemKeyword(int item) {
    if (item < 0 || item >= kMinItemCount) return "";
    return kKeywords[static_cast<size_t>(item)];
}

bool minItemImplemented(int item) {
    return (item >= 0 && item <= 7) || item == 9 || item == 10 || item == 13 || (item >= 18 && item <= 21);
}

MinItemSet standardMinRequest() {
    MinItemSet s;
    for (int k : {MinSets, MinVariables, MinVcStat, MinVcTp, MinVbDsc}) s.set(static_cast<size_t>(k));
    return s;
}

Status MinNameIndex::add(const std::string& key, int item) {
    if (key.empty()) return Status::fail("Cannot add blank key");
    auto [it, inserted] = m_map.emplace(key, item);
    if (!inserted) return Status::fail("Duplicate name: " + quoted(key));
    return Status::ok();
}

int MinNameIndex::find(const std::string& key) const {
    auto it = m_map.find(key);
    return it == m_map.end() ? 0 : it->second;
}

void SolInfoRec::clear() {
    *this = SolInfoRec();
}

int SolInfoRec::findVariable(std::string_view name) const {
    return varIndex.find(lowerCaseNames ? toLower(name) : std::string(name));
}

int SolInfoRec::findCoefficient(std::string_view name) const {
    return coeffIndex.find(lowerCaseNames ? toLower(name) : std::string(name));
}

bool DeveloperPC() {
    const char* v = std::getenv("DeveloperPC");
    return v != nullptr && *v != '\0';
}

Status GetModelInfo(TxtFile& file, const MinItemSet& request, bool lowerCaseNames, bool exoFlags,
                    SolInfoRec& rec, bool developer) {
    return getModelInfoImpl(file, request, lowerCaseNames, exoFlags, rec, developer).tag("[GetModelInfo]");
}

Status GetModelInfo(TxtFile& file, const MinItemSet& request, bool lowerCaseNames, bool exoFlags,
                    SolInfoRec& rec) {
    return GetModelInfo(file, request, lowerCaseNames, exoFlags, rec, DeveloperPC());
}

Status AddSolInfo(const std::string& fileName, const MinItemSet& request, bool lowerCaseNames, bool exoFlags,
                  SolInfoRec& rec, bool developer) {
    const std::string tag = "[AddSolInfo:" + fileName + "]";
    TxtFile f;
    if (Status s = TxtOpen(f, fileName); !s) return std::move(s).tag(tag);
    Status s = GetModelInfo(f, request, lowerCaseNames, exoFlags, rec, developer);
    Status c = TxtClose(f);
    if (!s) return std::move(s).tag(tag);
    if (!c) return std::move(c).tag(tag);
    return Status::ok();
}

Status AddSolInfo(const std::string& fileName, const MinItemSet& request, bool lowerCaseNames, bool exoFlags,
                  SolInfoRec& rec) {
    return AddSolInfo(fileName, request, lowerCaseNames, exoFlags, rec, DeveloperPC());
}

Status RequestSolInfo(const std::string& fileName, const MinItemSet& request, bool lowerCaseNames,
                      bool exoFlags, SolInfoRec& rec, bool developer) {
    rec.clear();
    return AddSolInfo(fileName, request, lowerCaseNames, exoFlags, rec, developer)
        .tag("[RequestSolInfo:" + fileName + "]");
}

Status RequestSolInfo(const std::string& fileName, const MinItemSet& request, bool lowerCaseNames,
                      bool exoFlags, SolInfoRec& rec) {
    return RequestSolInfo(fileName, request, lowerCaseNames, exoFlags, rec, DeveloperPC());
}

Result<TFileRec> parseMinFileLine(std::string_view line) {
    if (line.size() < 25) return Result<TFileRec>::fail("Line too short for a logical file: " + quoted(line));
    auto cols = [&](size_t from, size_t n) -> std::string {
        if (from - 1 >= line.size()) return "";
        return std::string(line.substr(from - 1, n));
    };
    TFileRec f;
    f.name = trim(cols(1, 20));
    std::string a = toLower(trim(cols(23, 3)));
    std::string b = toLower(trim(cols(33, 3)));
    auto isDir = [](const std::string& s) { return s == "in" || s == "out"; };
    if (!isDir(b) && isDir(a)) std::swap(a, b);
    f.fileType = a;
    f.direction = b;
    std::string u = cols(30, 1);
    f.updated = !u.empty() && (u[0] == 'y' || u[0] == 'Y');
    f.rest = trim(cols(38, std::string::npos));
    return f;
}

Result<std::vector<TFileRec>> readMinLogicalFiles(const std::string& minFile) {
    const std::string tag = "[ReadMinLogicalFiles:" + minFile + "]";
    TxtFile f;
    if (Status s = TxtOpen(f, minFile); !s) return std::move(s).tag(tag);
    LineSource src(f);
    std::vector<TFileRec> files;
    std::string line;
    Status s;
    while (src.next(line)) {
        if (line == kKeywords[MinFiles]) {
            s = readFileInfo(src, files, static_cast<size_t>(-1));
            break;
        }
    }
    const bool bad = f.failed();
    bestEffort(TxtClose(f), "the file was only read");
    if (!s) return std::move(s).tag(tag);
    if (bad) return Result<std::vector<TFileRec>>::fail("read error from file " + minFile + tag);
    return files;
}

std::uint32_t fileIdentity(const std::string& path) {
    if (!fileExists(path)) return 0;
    auto t = fileWriteTime(path);
    if (!t) return 0;
    return dosDateTimeOfFileTime(*t);
}

}  // namespace vdln
