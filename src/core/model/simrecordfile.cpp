// The ".ds2" form of the simulation record: writer and reader.

#include <algorithm>

#include "base/fileutil.h"
#include "base/namecheck.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "base/textfile.h"
#include "model/simdetails.h"
#include "model/simgrid.h"

namespace vdln {

namespace {

const char* const kWriteTag = " [WriteSimRecordFile]";
const char* const kReadTag = " [ReadSimRecordFile]";

std::string tooManyFilesText(int n) {
    return internalErrorText("Sorry, there are too many files in this model. This model has " +
                             std::to_string(n) + " files\r\nbut the maximum this program can handle is 50.");
}

char flagChar(bool b) {
    return b ? 'T' : 'F';
}

std::string rightAligned(const std::string& s, size_t width) {
    if (s.size() >= width) return s;
    return std::string(width - s.size(), ' ') + s;
}

const char* const kDefaultStartFiles[5] = {"", "CMFSTARTB", "", "CMFSTARTR", "CMFSTARTP"};

// Whether the compatibility lines can carry the grid itself.
bool compactFormPossible(const TSimRecord& rec) {
    if (rec.NumYears >= 99) return false;
    for (int c = 1; c <= 4; ++c)
        if (!rec.GridStem(kGridCommonRow, c).empty()) return false;
    for (int i = 1; i <= rec.NumYears; ++i)
        for (int c = 1; c <= 4; ++c)
            if (rec.GridStem(i, c).size() > 8) return false;
    for (int c : {1, 3, 4}) {
        if (!rec.CMFStartExt[c].empty()) return false;
        const std::string& cell = rec.GridStem(kGridCMFStartRow, c);
        std::string def = kDefaultStartFiles[c];
        bool defExists = userFileExists(rec.WorkDir, def);
        bool plainExists = userFileExists(rec.WorkDir, "CMFSTART");
        bool ok =
            cell == def || (cell == "CMFSTART" && !defExists) || (cell.empty() && !plainExists && !defExists);
        if (!ok) return false;
    }
    return true;
}

void appendCompatibilityBlock(const TSimRecord& rec, std::vector<std::string>& out) {
    int n = rec.NumYears;
    if (n <= 0) return;
    if (compactFormPossible(rec)) {
        for (int y = 1; y <= n; ++y) {
            std::string line;
            for (int c = 1; c <= 4; ++c) {
                line += rightAligned(rec.GridStem(y, c), 8);
                line += (y == 1 && c <= 2) ? '!' : '|';
            }
            out.push_back(line);
        }
        return;
    }
    if (n == 1) {
        out.push_back("Update__!Software!Contact_|SOLVANE_|");
    } else if (n == 2) {
        out.push_back("This____!Requires!Newer___|Software|");
        out.push_back("Contact_|SOLVANE_|Contact_|SOLVANE_|");
    } else {
        out.push_back("This____!sim_____!requires|newer___|");
        out.push_back("version_|of______|this____|software|");
        for (int y = 3; y <= n; ++y) out.push_back("Contact_|SOLVANE_|Contact_|SOLVANE_|");
    }
}

// A cursor over the lines of a ".ds2" text.
class LineReader {
public:
    LineReader(std::string_view text, std::string name)
        : m_lines(splitLines(text)), m_name(std::move(name)) {}
    bool atEnd() const { return m_pos >= m_lines.size(); }
    /// What the next line should hold, for the message of a file cut short.
    void expect(std::string what) { m_expect = std::move(what); }
    Status next(std::string& line) {
        if (atEnd())
            return Status::fail("Unexpected end of file " + m_name + " after line " + std::to_string(m_pos) +
                                ": expected " + (m_expect.empty() ? std::string("another line") : m_expect));
        line = m_lines[m_pos++];
        m_expect.clear();
        return Status::ok();
    }
    Status nextInt(long long& v, long long lo, long long hi) {
        std::string line;
        const std::string what = m_expect.empty() ? std::string("a number") : m_expect;
        if (Status s = next(line); !s) return s;
        auto n = parseInt(line);
        if (!n || *n < lo || *n > hi)
            return Status::fail("Bad number \"" + leftStr(line, 40) + "\" in line " + std::to_string(m_pos) +
                                " of file " + m_name + ": expected " + what + " from " + std::to_string(lo) +
                                " to " + std::to_string(hi));
        v = *n;
        return Status::ok();
    }
    Status nextInt(int& v, int lo, int hi) {
        long long x = 0;
        if (Status s = nextInt(x, lo, hi); !s) return s;
        v = static_cast<int>(x);
        return Status::ok();
    }
    size_t lineNumber() const { return m_pos; }
    const std::string& name() const { return m_name; }

private:
    std::vector<std::string> m_lines;
    size_t m_pos = 0;
    std::string m_name;
    std::string m_expect;
};

bool flagAt(const std::string& line, size_t i) {
    return i < line.size() && (line[i] == 'T' || line[i] == 't');
}

constexpr long long kIntMin = -2147483647LL - 1;
constexpr long long kIntMax = 2147483647LL;

// The start file the command-file writer would use for a run: the
// run-specific "CMFSTART<letter>", else "CMFSTART", in the working directory.
std::string foundStartFile(const TSimRecord& rec, int run) {
    std::string specific = std::string("CMFSTART") + runLetter(run);
    if (userFileExists(rec.WorkDir, specific)) return specific;
    if (userFileExists(rec.WorkDir, "CMFSTART")) return "CMFSTART";
    return "";
}

std::string oldStem(const std::string& line, size_t from) {
    std::string s = from < line.size() ? line.substr(from, 8) : std::string();
    s.erase(std::remove(s.begin(), s.end(), ' '), s.end());
    return s;
}

Status readOldStyleGrid(TSimRecord& rec, LineReader& in, const std::string& firstLine) {
    std::string line = firstLine;
    for (int y = 1; y <= rec.NumYears; ++y) {
        if (y > 1)
            if (Status s = in.next(line); !s) return s;
        for (int c = 1; c <= 4; ++c) rec.GridStem(y, c) = oldStem(line, static_cast<size_t>(c - 1) * 9);
    }
    for (int c = 1; c <= 4; ++c) rec.GridStem(kGridCommonRow, c) = "";
    rec.GridStem(kGridCMFStartRow, 2) = "N/A";
    rec.CMFStartExt[2] = "";
    const int columnOfRun[4] = {0, 1, 3, 4};
    for (int run = 1; run <= 3; ++run) {
        int c = columnOfRun[run];
        std::string found = foundStartFile(rec, run);
        rec.GridStem(kGridCMFStartRow, c) = changeExt(found, "");
        rec.CMFStartExt[c] = extOf(found);
    }
    for (int row = kGridCMFStartRow; row <= rec.NumYears; ++row)
        for (int c = 1; c <= 4; ++c) rec.GridStem(row, c) = toUpper(rec.GridStem(row, c).str());
    for (int c = 1; c <= 4; ++c) rec.CMFStartExt[c] = toUpper(rec.CMFStartExt[c].str());
    return Status::ok();
}

// What a grid line of the "#FILES" block names (for a file cut short).
std::string gridCellWhat(int row, int column, int numYears) {
    static const char* const kColumns[5] = {"", "Base closure", "Base shocks", "Policy closure",
                                            "Policy shocks"};
    std::string what = std::string("the ") + kColumns[column] + " file of ";
    if (row == kGridCMFStartRow) return what + "the CMFSTART row";
    if (row == kGridCommonRow) return what + "the Common row";
    return what + "year " + std::to_string(row) + " of " + std::to_string(numYears);
}

// Splits a CMFSTART line into stem and extension (see the header).
void splitStartLine(const std::string& line, int w1, int w2, std::string& stem, std::string& ext) {
    size_t dot = line.rfind('.');
    if (dot != std::string::npos && dot <= static_cast<size_t>(w1) &&
        line.size() - dot <= static_cast<size_t>(w2)) {
        stem = trimRight(line.substr(0, dot));
        ext = line.substr(dot);
        return;
    }
    stem = trimRight(line.substr(0, std::min(line.size(), static_cast<size_t>(w1))));
    ext = line.size() > static_cast<size_t>(w1) ? trim(line.substr(w1, w2)) : std::string();
}

Status readFilesBlock(TSimRecord& rec, LineReader& in, bool noRerun) {
    int w1 = 0, w2 = 0;
    in.expect("the stem width after \"#FILES\"");
    if (Status s = in.nextInt(w1, 0, 1000); !s) return s;
    in.expect("the extension width after \"#FILES\"");
    if (Status s = in.nextInt(w2, 0, 1000); !s) return s;
    std::string line;
    for (int row = kGridCMFStartRow; row <= rec.NumYears; ++row) {
        for (int c = 1; c <= 4; ++c) {
            in.expect(gridCellWhat(row, c, rec.NumYears));
            if (Status s = in.next(line); !s) return s;
            if (row == kGridCMFStartRow) {
                rec.GridFile(row, c) = line;
                if (c == 2 || (c == 3 && noRerun)) {
                    rec.GridStem(row, c) = "N/A";
                    rec.CMFStartExt[c] = "";
                } else {
                    std::string stem, ext;
                    splitStartLine(line, w1, w2, stem, ext);
                    rec.GridStem(row, c) = stem;
                    // The marker names no file, whatever follows it.
                    rec.CMFStartExt[c] = stem == "N/A" ? std::string() : ext;
                }
            } else {
                rec.GridStem(row, c) = line;
                rec.GridFile(row, c) = toUpper(rec.GridStem(row, c) + gridColumnExt(c));
            }
        }
    }
    return Status::ok();
}

Status readRecord(TSimRecord& rec, LineReader& in, bool noRerun) {
    std::string line;
    in.expect("the number of years and the starting year");
    if (Status s = in.next(line); !s) return s;
    std::vector<std::string> parts;
    for (const std::string& p : split(trim(line), ' '))
        if (!p.empty()) parts.push_back(p);
    auto numYears = parts.size() == 2 ? parseInt(parts[0]) : std::nullopt;
    auto startYear = parts.size() == 2 ? parseInt(parts[1]) : std::nullopt;
    if (!numYears || !startYear || *numYears < 0 || *numYears > kMaxYears || *startYear < -99999 ||
        *startYear > 99999)
        return Status::fail("Bad years line \"" + leftStr(line, 40) + "\" in line 1 of file " + in.name() +
                            ": expected the number of years (0 to " + std::to_string(kMaxYears) +
                            ") and the starting year");
    rec.NumYears = static_cast<int>(*numYears);
    rec.StartYear = static_cast<int>(*startYear);
    for (int r = 1; r <= 3; ++r) {
        in.expect("the simulation name of run " + std::to_string(r));
        if (Status s = in.next(line); !s) return s;
        rec.SimNames[r] = line;
    }
    long long count = 0;
    in.expect("the number of model files");
    if (Status s = in.nextInt(count, 0, kIntMax); !s) return s;
    if (count > kMaxModelFiles) return Status::fail(tooManyFilesText(static_cast<int>(count)));
    rec.ModelFiles.fill(TModelFileDesc{});
    rec.NumModelFiles = 0;
    for (int k = 1; k <= count; ++k) {
        TModelFileDesc d;
        if (Status s = in.next(line); !s) return s;
        d.Name = line;
        if (Status s = in.next(line); !s) return s;
        d.IsInput = flagAt(line, 0);
        d.IsUpdated = flagAt(line, 1);
        d.IsSpecial = flagAt(line, 2);
        if (Status s = in.next(line); !s) return s;
        d.Ext = line;
        if (Status s = in.next(line); !s) return s;
        d.Description = line;
        rec.ModelFiles[k] = d;
        rec.NumModelFiles = k;
    }
    in.expect("the number of user files");
    if (Status s = in.nextInt(count, 0, kIntMax); !s) return s;
    if (count > kMaxUserFiles) return Status::fail(tooManyFilesText(static_cast<int>(count)));
    rec.Files.fill(TSimFileEntry{});
    rec.NumFiles = 0;
    for (int k = 1; k <= count; ++k) {
        TSimFileEntry f;
        if (Status s = in.next(line); !s) return s;
        f.Name = line;
        if (Status s = in.next(line); !s) return s;
        f.FileType = line;
        if (Status s = in.next(line); !s) return s;
        f.Key = line;
        if (Status s = in.next(line); !s) return s;
        f.IsInput = flagAt(line, 0);
        f.IsUpdated = flagAt(line, 1);
        if (Status s = in.next(line); !s) return s;
        f.Description = line;
        if (Status s = in.nextInt(f.Usage, kIntMin, kIntMax); !s) return s;
        if (Status s = in.nextInt(f.LagFile, kIntMin, kIntMax); !s) return s;
        for (int u = 0; u <= 3; ++u)
            if (Status s = in.nextInt(f.InputUsage[u], kIntMin, kIntMax); !s) return s;
        rec.Files[k] = f;
        rec.NumFiles = k;
    }

    // The grid area.
    in.expect("the first line of the Closure/Shocks grid");
    if (Status s = in.next(line); !s) return s;
    std::string first = leftStr(line, 36);
    auto at = [&](size_t pos) { return pos <= first.size() ? first[pos - 1] : '\0'; };
    if (first.rfind("#FILES", 0) == 0) {
        if (Status s = readFilesBlock(rec, in, noRerun); !s) return s;
    } else if (at(9) == '|' && at(18) == '|' && at(27) == '|') {
        if (Status s = readOldStyleGrid(rec, in, first); !s) return s;
    } else if (at(9) == '!' && at(18) == '!' && (at(27) == '|' || at(26) == '|')) {
        for (int y = 2; y <= rec.NumYears; ++y)
            if (Status s = in.next(line); !s) return s;
        if (Status s = in.next(line); !s) return s;
        if (line.rfind("#FILES", 0) != 0)
            return Status::fail("Unexpected FirstLine for NewNewStyle : " + leftStr(line, 75));
        if (Status s = readFilesBlock(rec, in, noRerun); !s) return s;
    } else {
        return Status::fail("Unexpected FirstLine: " + leftStr(line, 58));
    }

    // The Perform flags; files from versions without them leave them off.
    rec.Perform.fill(0);
    if (!in.atEnd()) {
        if (Status s = in.next(line); !s) return s;
        for (int r = 1; r <= 3; ++r) rec.Perform[r] = flagAt(line, static_cast<size_t>(r - 1));
    }
    return Status::ok();
}

}  // namespace

Result<std::vector<std::string>> SimRecordLines(const TSimRecord& rec) {
    if (rec.NumModelFiles > kMaxModelFiles) return Status::fail(tooManyFilesText(rec.NumModelFiles));
    if (rec.NumFiles > kMaxUserFiles) return Status::fail(tooManyFilesText(rec.NumFiles));
    if (rec.NumYears < 0 || rec.NumYears > kMaxYears)
        return Status::fail("Number of years " + std::to_string(rec.NumYears) + " is outside 0..999");
    std::vector<std::string> out;
    out.push_back(std::to_string(rec.NumYears) + " " + std::to_string(rec.StartYear));
    for (int r = 1; r <= 3; ++r) out.push_back(rec.SimNames[r]);
    out.push_back(std::to_string(std::max(rec.NumModelFiles, 0)));
    for (int k = 1; k <= rec.NumModelFiles; ++k) {
        const TModelFileDesc& d = rec.ModelFiles[k];
        out.push_back(d.Name);
        out.push_back({flagChar(d.IsInput), flagChar(d.IsUpdated), flagChar(d.IsSpecial)});
        out.push_back(d.Ext);
        out.push_back(d.Description);
    }
    out.push_back(std::to_string(std::max(rec.NumFiles, 0)));
    for (int k = 1; k <= rec.NumFiles; ++k) {
        const TSimFileEntry& f = rec.Files[k];
        out.push_back(f.Name);
        out.push_back(f.FileType);
        out.push_back(f.Key);
        out.push_back({flagChar(f.IsInput), flagChar(f.IsUpdated)});
        out.push_back(f.Description);
        out.push_back(std::to_string(f.Usage));
        out.push_back(std::to_string(f.LagFile));
        for (int u = 0; u <= 3; ++u) out.push_back(std::to_string(f.InputUsage[u]));
    }
    appendCompatibilityBlock(rec, out);
    out.push_back("#FILES");
    out.push_back("9");
    out.push_back("4");
    for (int row = kGridCMFStartRow; row <= rec.NumYears; ++row) {
        for (int c = 1; c <= 4; ++c) {
            if (row == kGridCMFStartRow)
                // The "N/A" marker names no file: an extension left from the
                // file the cell named before would make it a name with a
                // separator in it, which the reader refuses.
                out.push_back(rec.GridStem(row, c).str() == "N/A"
                                  ? std::string("N/A")
                                  : toUpper(rec.GridStem(row, c) + rec.CMFStartExt[c]));
            else
                out.push_back(rec.GridStem(row, c));
        }
    }
    out.push_back({flagChar(rec.Perform[1]), flagChar(rec.Perform[2]), flagChar(rec.Perform[3])});
    return out;
}

Status WriteSimRecordFile(const TSimRecord& rec, const std::string& file) {
    Result<std::vector<std::string>> lines = SimRecordLines(rec);
    if (!lines) return Status(lines.status()).tag(kWriteTag);
    return writeLinesAtomic(file, *lines).tag(kWriteTag);
}

// Names read from the file that become parts of paths in the Working
// Directory: simulation names and the files of the Closure/Shocks grid.
Status checkNames(const TSimRecord& rec, const std::string& file) {
    for (int r = 1; r <= 3; ++r)
        if (Status s =
                checkPathComponent(rec.SimNames[r].str(), "The simulation name of run " + std::to_string(r));
            !s)
            return Status::fail(s.message() + "\r\nFile: " + file);
    // A user file's key and type make the names of the data files each year
    // writes ("N/A" is the key of a file that needs one).
    for (int f = 1; f <= std::min(rec.NumFiles, kMaxUserFiles); ++f) {
        const std::string what = "The key of user file " + std::to_string(f);
        if (rec.Files[f].Key != "N/A")
            if (Status s = checkPathComponent(rec.Files[f].Key, what); !s)
                return Status::fail(s.message() + "\r\nFile: " + file);
        if (Status s =
                checkPathComponent(rec.Files[f].FileType, "The type of user file " + std::to_string(f));
            !s)
            return Status::fail(s.message() + "\r\nFile: " + file);
    }
    for (int row = kGridCMFStartRow; row <= rec.NumYears; ++row)
        for (int c = 1; c <= 4; ++c) {
            const std::string what = "The " + gridCellWhat(row, c, rec.NumYears).substr(4);
            if (rec.GridStem(row, c).str() == "N/A") continue;  // the marker of a start file not used
            if (Status s = checkPathComponent(rec.GridStem(row, c).str(), what); !s)
                return Status::fail(s.message() + "\r\nFile: " + file);
            if (row == kGridCMFStartRow)
                if (Status s = checkPathComponent(rec.CMFStartExt[c].str(), what); !s)
                    return Status::fail(s.message() + "\r\nFile: " + file);
        }
    return Status::ok();
}

Status ReadSimRecordText(TSimRecord& rec, std::string_view text, bool noRerun, const std::string& name) {
    LineReader in(text, name);
    Status s = readRecord(rec, in, noRerun);
    if (s) s = checkNames(rec, name);
    ComputeYears(rec);
    RefreshGrid(rec);
    return std::move(s).tag(kReadTag);
}

Status ReadSimRecordFile(TSimRecord& rec, const std::string& file, bool noRerun) {
    Result<std::string> text = readWholeFile(file);
    if (!text) return Status(text.status()).tag(kReadTag);
    return ReadSimRecordText(rec, *text, noRerun, file);
}

}  // namespace vdln
