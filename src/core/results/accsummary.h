#pragma once
/// Accuracy summaries of simulations solved by extrapolating from three
/// solutions.  The model program writes, into each simulation log, how many
/// results are judged accurate to 0..6 significant figures, for every
/// subinterval and once for the overall results, separately for the
/// variables and for the updated data.  These routines read those blocks
/// back, condense each into a grade 0..10 and find the worst subinterval.
/// The log files are never changed.
///
/// Lines the reader recognises (each is found anywhere inside a log line):
///   "Below are for levels values" / "Below are for overall levels values"
///       starts a variables summary; its block follows on the next lines;
///   "NEXT SUMMARY IS FOR UPDATED DATA FROM LOGICAL FILE " (one updated data
///       file) / "NEXT SUMMARY IS FOR ALL UPDATED DATA" (several) starts the
///       data summary that belongs to the last variables summary;
///   "ACCURACY SUMMARY FOR OVERALL RESULTS" marks the next summary as the
///       overall one;
///   "Accuracy for subinterval " ... "not sufficient - accuracy was " says
///       that the last subinterval is solved (and reported) again.
/// A block is a run of lines "<count> results are judged accurate to
/// <figures> figures", ended by the first line without that phrase.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/result.h"
#include "base/textfile.h"
#include "formats/harheader.h"

namespace vdln {

/// Most entries one summary record holds (subintervals of one simulation,
/// or year-run pairs of a whole application).
inline constexpr int kMaxAccEntries = 300;
/// Figures are counted from 0 to this value.
inline constexpr int kMaxAccFigures = 6;

/// The two kinds of results summarised.
enum class AccKind { Variables = 0, Data = 1 };

/// Counts, mean and grade of one summary block.
struct AccPlaces {
    /// counts[f]: results judged accurate to f figures.
    std::array<std::int32_t, kMaxAccFigures + 1> counts{};
    /// Mean number of figures times 10 (4-byte real), 0 when nothing counted.
    float mean = 0;
    /// Grade 0 (least accurate) .. 10 (most accurate).
    int grade = 0;
    /// The block was read.
    bool present = false;
};

/// One entry: a subinterval (or the overall results) of one simulation, or
/// one year-run pair of an application.
struct AccEntry {
    AccPlaces variables;
    AccPlaces data;
    AccPlaces& part(AccKind k) { return k == AccKind::Variables ? variables : data; }
    const AccPlaces& part(AccKind k) const { return k == AccKind::Variables ? variables : data; }
};

/// One summary record, filled from one log file or, for the whole
/// application, from many.
struct AccSummary {
    /// Number of entries used, at most `kMaxAccEntries`.
    int entryCount = 0;
    /// entries[1..kMaxAccEntries]; entries[0] is unused.
    std::vector<AccEntry> entries = std::vector<AccEntry>(kMaxAccEntries + 1);
    /// An overall summary was found.
    bool overall = false;
    /// The entry that holds the overall summary, or -1.
    int overallIndex = -1;
    /// The overall summary has a data part.
    bool overallData = false;
    /// Per kind: the ordinary entry with the lowest mean (initially 1) and
    /// that mean (initially 1000, meaning "no ordinary entry of this kind").
    std::array<int, 2> worstEntry{1, 1};
    std::array<float, 2> worstMean{1000.0f, 1000.0f};

    /// The entry e (1..kMaxAccEntries); any other index gives entries[0],
    /// an always-empty slot, so a bad index can never reach outside.
    const AccEntry& entry(int e) const;
    /// True when some ordinary entry has a part of this kind, i.e. the worst
    /// entry of the kind is a real entry.
    bool hasWorst(AccKind k) const { return worstMean[static_cast<int>(k)] < 1000.0f; }
    /// True when entry e is the overall entry.
    bool isOverall(int e) const { return overall && e == overallIndex; }
};

/// The mean figures x 10 of a block: 10 x (sum of f x counts[f]) / (sum of
/// counts[f]) in 4-byte reals, or 0 when no result was counted.
float accMean(const std::array<std::int32_t, kMaxAccFigures + 1>& counts);
/// The grade 0..10 of a mean: the mean rounded to the nearest integer (a
/// half goes to the even neighbour) looked up in the grade table.
int accGrade(float mean);
/// Sets `mean` and `grade` of a block from its counts.
void computeMeanAndGrade(AccPlaces& places);

/// A simulation log being read line by line, with one line of look-back: a
/// summary block ends at a line that is not part of it, and that line is
/// handed back so that the caller still examines it.
class AccLogReader {
public:
    explicit AccLogReader(TxtFile& file) : m_file(file) {}
    /// The next line; false at the end of the file.
    bool next(std::string& line);
    /// Makes `line` the next line returned.
    void unread(std::string line);
    /// True when no line is left.
    bool atEnd();
    const std::string& fileName() const { return m_file.name(); }

private:
    TxtFile& m_file;
    std::string m_pending;
    bool m_hasPending = false;
};

/// Reads one summary block from the log: the lines "<count> results are
/// judged accurate to <figures> figures" that follow, up to the first line
/// without that phrase (handed back to the reader).  Clears the counts
/// first, then sets counts[figures] = count for each line, and computes mean
/// and grade.  Fails, with "[GetPlacesSumry]" at the end, on a line whose
/// count or figures cannot be read (count must be an integer >= 0, figures
/// an integer 0..6) and on "Unexpected end-of-file" when the file ends
/// inside the block.
Status GetPlacesSumry(AccLogReader& log, AccPlaces& places);
/// The same for the strings of a "1C" header, one string per line starting
/// with the first; the end of the strings ends the block.
Status GetPlacesSumry(const std::vector<std::string>& strings, AccPlaces& places);
/// The same for a header read from a header array file; a header that is
/// not a "1C" header fails with "Not a String Header[GetPlacesSumry]".
Status GetPlacesSumry(const HarHeader& header, AccPlaces& places);

/// Reads the accuracy summaries of a simulation log into `summary`, filling
/// entries from `firstEntry` (1..300) on: each variables summary takes the
/// next entry, a subinterval reported as not sufficiently accurate gives its
/// entry back, and with `numUpdated` > 0 the data summary that follows fills
/// the data part of the same entry.  With `onlyOverall` the summaries before
/// the overall marker are skipped; with `exactlyOne` more than one entry is
/// an error.  Afterwards the worst ordinary entry of each kind is set.
/// Failures (each ending with "[GetAccSummary2]"): "File "<name>" not
/// found", the messages of `TxtOpen` and `GetPlacesSumry`, "Too many
/// subintervals for accuracy summary", "Cannot find data accuracy summary",
/// "Premature end of file: <name>", "Expected just one subinterval, but
/// found more", "prog error A", "prog error B".  On failure the summary is
/// left partly filled and must not be shown.
Status GetAccSummary2(const std::string& logFile, int numUpdated, AccSummary& summary, int firstEntry,
                      bool onlyOverall, bool exactlyOne);

}  // namespace vdln
