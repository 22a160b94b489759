#include "results/accsummary.h"

#include <cmath>
#include <string_view>
#include <utility>

#include "base/fileutil.h"
#include "base/strutil.h"

namespace vdln {

namespace {

constexpr std::string_view kJudgedPhrase = "results are judged accurate to";
constexpr std::string_view kFiguresWord = "figures";
constexpr std::string_view kSubintervalFailed1 = "Accuracy for subinterval ";
constexpr std::string_view kSubintervalFailed2 = "not sufficient - accuracy was ";
constexpr std::string_view kOverallMarker = "ACCURACY SUMMARY FOR OVERALL RESULTS";
constexpr std::string_view kLevelsStart = "Below are for levels values";
constexpr std::string_view kOverallLevelsStart = "Below are for overall levels values";
constexpr std::string_view kOneDataFile = "NEXT SUMMARY IS FOR UPDATED DATA FROM LOGICAL FILE ";
constexpr std::string_view kAllData = "NEXT SUMMARY IS FOR ALL UPDATED DATA";

constexpr const char* kPlacesTag = "[GetPlacesSumry]";
constexpr const char* kSummaryTag = "[GetAccSummary2]";

bool contains(std::string_view line, std::string_view what) {
    return line.find(what) != std::string_view::npos;
}

std::string withoutBlanks(std::string_view s) {
    std::string out;
    for (char c : s)
        if (c != ' ' && c != '\t') out.push_back(c);
    return out;
}

/// An integer as the summary lines write it: after removing blanks it must
/// begin with a sign, a digit or a point and be a whole 32-bit integer.
std::optional<std::int32_t> summaryInteger(std::string_view text) {
    std::string s = withoutBlanks(text);
    if (s.empty()) return std::nullopt;
    char c = s[0];
    if (!(c == '+' || c == '-' || c == '.' || (c >= '0' && c <= '9'))) return std::nullopt;
    if (c == '+' && (s.size() < 2 || s[1] < '0' || s[1] > '9')) return std::nullopt;
    std::optional<std::int64_t> v = parseInt(s);
    if (!v || *v < INT32_MIN || *v > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(*v);
}

/// A line quoted in a message, cut so that a garbage log cannot produce a
/// message of unbounded length.
std::string quoted(std::string_view line) {
    constexpr size_t kMax = 120;
    std::string s(line.substr(0, kMax));
    if (line.size() > kMax) s += "...";
    return "\"" + s + "\"";
}

/// Reads one "<count> results are judged accurate to <figures> figures"
/// line into the counts.
Status readCountLine(std::string_view line, size_t phrasePos, AccPlaces& places) {
    std::optional<std::int32_t> count = summaryInteger(line.substr(0, phrasePos));
    if (!count) return Status::fail("Cannot read the number of results in line " + quoted(line));
    size_t figStart = phrasePos + kJudgedPhrase.size();
    size_t figEnd = line.find(kFiguresWord, figStart);
    if (figEnd == std::string_view::npos)
        return Status::fail("Cannot find \"figures\" in line " + quoted(line));
    std::optional<std::int32_t> figures = summaryInteger(line.substr(figStart, figEnd - figStart));
    if (!figures) return Status::fail("Cannot read the number of figures in line " + quoted(line));
    if (*count < 0) return Status::fail("Negative number of results in line " + quoted(line));
    if (*figures < 0 || *figures > kMaxAccFigures)
        return Status::fail("Number of figures must be 0 to 6 in line " + quoted(line));
    places.counts[static_cast<size_t>(*figures)] = *count;
    return Status::ok();
}

/// The block reader shared by both sources.  `next` yields the next line
/// (false at the end); `giveBack` hands back the line that ends the block.
/// `endIsError` tells whether running out of lines inside the block is an
/// error (a log file) or simply ends it (the strings of a header).
template <class Next, class GiveBack>
Status readBlock(Next&& next, GiveBack&& giveBack, bool endIsError, AccPlaces& places) {
    places = AccPlaces{};
    std::string line;
    for (;;) {
        if (!next(line)) {
            if (endIsError) return Status::fail(std::string("Unexpected end-of-file") + kPlacesTag);
            break;
        }
        size_t pos = line.find(kJudgedPhrase);
        if (pos == std::string::npos) {
            giveBack(std::move(line));
            break;
        }
        if (Status s = readCountLine(line, pos, places); !s) return std::move(s).tag(kPlacesTag);
    }
    computeMeanAndGrade(places);
    places.present = true;
    return Status::ok();
}

}  // namespace

const AccEntry& AccSummary::entry(int e) const {
    if (e < 1 || e > kMaxAccEntries || static_cast<size_t>(e) >= entries.size()) return entries[0];
    return entries[static_cast<size_t>(e)];
}

float accMean(const std::array<std::int32_t, kMaxAccFigures + 1>& counts) {
    float weighted = 0.0f;
    float total = 0.0f;
    for (int f = 0; f <= kMaxAccFigures; ++f) {
        weighted += static_cast<float>(f) * static_cast<float>(counts[static_cast<size_t>(f)]);
        total += static_cast<float>(counts[static_cast<size_t>(f)]);
    }
    if (total <= 0.0f) return 0.0f;
    return 10.0f * weighted / total;
}

int accGrade(float mean) {
    // nearbyint rounds a half to the even neighbour in the default rounding mode.
    double m = std::nearbyint(static_cast<double>(mean));
    if (!(m >= 9)) return 0;  // also catches a NaN
    if (m <= 16) return 1;
    if (m <= 24) return 2;
    if (m <= 32) return 3;
    if (m <= 39) return 4;
    if (m <= 45) return 5;
    if (m <= 50) return 6;
    if (m <= 54) return 7;
    if (m <= 57) return 8;
    if (m <= 59) return 9;
    return 10;
}

void computeMeanAndGrade(AccPlaces& places) {
    places.mean = accMean(places.counts);
    places.grade = accGrade(places.mean);
}

bool AccLogReader::next(std::string& line) {
    if (m_hasPending) {
        line = std::move(m_pending);
        m_pending.clear();
        m_hasPending = false;
        return true;
    }
    return m_file.readLine(line);
}

void AccLogReader::unread(std::string line) {
    m_pending = std::move(line);
    m_hasPending = true;
}

bool AccLogReader::atEnd() {
    return !m_hasPending && m_file.atEnd();
}

Status GetPlacesSumry(AccLogReader& log, AccPlaces& places) {
    return readBlock([&](std::string& line) { return log.next(line); },
                     [&](std::string line) { log.unread(std::move(line)); }, true, places);
}

Status GetPlacesSumry(const std::vector<std::string>& strings, AccPlaces& places) {
    size_t i = 0;
    return readBlock(
        [&](std::string& line) {
            if (i >= strings.size()) return false;
            line = strings[i++];
            return true;
        },
        [&](const std::string&) {}, false, places);
}

Status GetPlacesSumry(const HarHeader& header, AccPlaces& places) {
    if (header.HeadType != "1C") return Status::fail(std::string("Not a String Header") + kPlacesTag);
    return GetPlacesSumry(header.strings, places);
}

Status GetAccSummary2(const std::string& logFile, int numUpdated, AccSummary& summary, int firstEntry,
                      bool onlyOverall, bool exactlyOne) {
    auto fail = [](std::string text) { return Status::fail(std::move(text) + kSummaryTag); };
    if (firstEntry < 1 || firstEntry > kMaxAccEntries)
        return fail("First accuracy summary entry " + std::to_string(firstEntry) + " out of range");
    if (!fileExists(logFile)) return fail("File \"" + logFile + "\" not found");
    TxtFile file;
    if (Status s = TxtOpen(file, logFile); !s) return std::move(s).tag(kSummaryTag);
    AccLogReader log(file);

    summary.entryCount = firstEntry - 1;
    summary.overall = false;
    summary.overallIndex = -1;
    summary.overallData = false;
    bool overallNext = false;  // the overall marker has been seen

    std::string line;
    while (log.next(line)) {
        if (contains(line, kSubintervalFailed1) && contains(line, kSubintervalFailed2)) {
            // That subinterval is solved again and reported again: its entry
            // is reused.  Never below the first entry, so that a stray line
            // (or one about a skipped summary) cannot move the entries of
            // this log onto those of another.
            if (summary.entryCount >= firstEntry) --summary.entryCount;
            continue;
        }
        if (contains(line, kOverallMarker)) {
            overallNext = true;
            continue;
        }
        if (!contains(line, kLevelsStart) && !contains(line, kOverallLevelsStart)) continue;
        if (onlyOverall && !overallNext) continue;

        if (summary.entryCount >= kMaxAccEntries) return fail("Too many subintervals for accuracy summary");
        ++summary.entryCount;
        AccEntry& entry = summary.entries[static_cast<size_t>(summary.entryCount)];
        entry = AccEntry{};
        if (log.atEnd()) return fail("Premature end of file: " + logFile);
        if (Status s = GetPlacesSumry(log, entry.variables); !s) return std::move(s).tag(kSummaryTag);
        if (overallNext) {
            summary.overall = true;
            summary.overallIndex = summary.entryCount;
            summary.overallData = false;
        }
        if (numUpdated <= 0) continue;

        std::string_view dataMarker = numUpdated > 1 ? kAllData : kOneDataFile;
        bool found = false;
        while (log.next(line)) {
            if (contains(line, dataMarker)) {
                found = true;
                break;
            }
        }
        if (!found) {
            if (overallNext) break;  // the overall summary need not have a data part
            return fail("Cannot find data accuracy summary");
        }
        if (log.atEnd()) return fail("Premature end of file: " + logFile);
        if (Status s = GetPlacesSumry(log, entry.data); !s) return std::move(s).tag(kSummaryTag);
        if (overallNext) summary.overallData = true;
    }
    if (file.failed()) return fail("read error from file " + logFile);
    if (Status s = TxtClose(file); !s) return std::move(s).tag(kSummaryTag);

    if (exactlyOne && summary.entryCount > firstEntry)
        return fail("Expected just one subinterval, but found more");
    if (summary.overall) {
        if (summary.overallIndex != summary.entryCount) return fail("prog error A");
    } else if (summary.overallIndex != -1) {
        return fail("prog error B");
    }

    summary.worstEntry = {1, 1};
    summary.worstMean = {1000.0f, 1000.0f};
    for (int e = firstEntry; e <= summary.entryCount; ++e) {
        if (summary.isOverall(e)) continue;
        const AccEntry& entry = summary.entries[static_cast<size_t>(e)];
        for (AccKind k : {AccKind::Variables, AccKind::Data}) {
            const AccPlaces& p = entry.part(k);
            size_t ki = static_cast<size_t>(k);
            if (p.present && p.mean < summary.worstMean[ki]) {
                summary.worstMean[ki] = p.mean;
                summary.worstEntry[ki] = e;
            }
        }
    }
    return Status::ok();
}

}  // namespace vdln
