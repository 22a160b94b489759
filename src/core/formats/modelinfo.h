#pragma once
/// The Model Information file (".min") that the suite's model compiler
/// writes beside every model: its logical files, sets, variables, equations,
/// coefficients, closure status per variable and the model's time stamp.
///
/// The file is line-oriented text.  A line whose whole content is one of the
/// 22 section keywords starts that section; other lines outside a section
/// are ignored.  `RequestSolInfo` reads the sections asked for into a
/// `SolInfoRec`; every section reader stops at its first error and the
/// message chains the readers' tags, ending with "[GetModelInfo]".

#include <array>
#include <bitset>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "base/textfile.h"
#include "formats/harray.h"

namespace vdln {

/// The numbered items (sections) of a Model Information file.
enum MinItem : int {
    MinFiles = 0,
    MinTabFile = 1,
    MinTmDate = 2,
    MinStiFile = 3,
    MinSets = 4,
    MinVariables = 5,
    MinVcStat = 6,
    MinVcTp = 7,
    MinSubsets = 8,
    MinCoefficients = 9,
    MinEquations = 10,
    MinReads = 11,
    MinReadExtra = 12,
    MinNcVariables = 13,
    MinStatements = 14,
    MinAvail = 15,
    MinLevn = 16,
    MinNSol = 17,
    MinVbDsc = 18,
    MinSvVer = 19,
    MinPrVer = 20,
    MinFinalLevel = 21,
};
inline constexpr int kMinItemCount = 22;
/// A set of requested (or read) items, bit k for item k.
using MinItemSet = std::bitset<kMinItemCount>;

/// The section keyword of item k ("#FILES", "#TABFILE", ...).
const char* minItemKeyword(int item);
/// True for the items this reader can read (0-7, 9, 10, 13, 18-21).
bool minItemImplemented(int item);
/// The item set Vardelon asks for: sets, variables, "#VCSTAT", "#VCTP" and
/// the description lines.
MinItemSet standardMinRequest();

/// Limits of the reader.
inline constexpr int kMinMaxSets = 1000;
inline constexpr int kMinMaxCoefficients = 5000;
inline constexpr int kMinMaxFiles = 50;
inline constexpr int kMinMaxDescLines = 100;
inline constexpr std::int64_t kMinVarLimit = 19884108;  ///< variables must be below this
inline constexpr std::int64_t kMinEquLimit = 26843546;  ///< equations must be below this
/// Sets whose element names are generated may have at most this many
/// elements (the names are built in memory).
inline constexpr std::int64_t kMinMaxGeneratedSetSize = 1000000;
/// Per-component exogenous flags are kept only for variables up to this size.
inline constexpr std::int64_t kMinMaxFlaggedVarSize = 268435455;

/// One variable of the model.
struct TVarRec {
    std::int64_t size = 0;  ///< number of components; -1 when a set's size is unknown
    std::string name;       ///< up to 15 characters (lower case when asked for)
    std::string description;
    std::int64_t numExog = 0;  ///< number of exogenous components
    int numArgs = 0;           ///< 0..7
    std::string argNames;      ///< the argument sets' names joined by "*"
    std::string upperName;
    std::vector<int> argSets;  ///< 1-based set numbers into the set list
    char exoStat = ' ';        ///< 'X', 'N', 'B', '?', 's', 'o' or 'x'
    char vcStat = ' ';         ///< from "#VCSTAT" ('b' or 'c')
    char vcTp = ' ';           ///< from "#VCTP" ('p' or 'c')
    bool fromNC = false;       ///< read from "#NCVARIABLES"
    /// Per-component exogenous flags, component k at index k - 1; empty
    /// when not asked for or not kept.
    std::vector<bool> exoFlags;
    std::string levCoefName;  ///< levels coefficient, up to 16 characters
    std::string levType;      ///< levels type code, 2 characters
    int levCoefNo = 0;        ///< levels coefficient number, 0 when none
};

/// One equation of the model.
struct TEquRec {
    std::int64_t size = 0;
    std::string name;  ///< up to 20 characters
    std::string upperName;
    std::string description;
    int numArgs = 0;
    std::vector<int> argSets;
    std::string argNames;
};

/// One logical file of the model.
struct TFileRec {
    std::string name;      ///< up to 20 characters
    std::string fileType;  ///< 3 characters, lower case
    bool updated = false;
    std::string direction;  ///< 3 characters, lower case; "in" marks an input
    std::string rest;       ///< the line from column 38 on
    std::string line2;      ///< the following text line (ordinary files)
};

/// One coefficient of the model.
struct TCoeffRec {
    std::string name;  ///< up to 12 characters
    std::string upperName;
    int numArgs = 0;
    std::vector<int> argSets;
    std::string argNames;
    char storageType = 'r';  ///< 'i' integer or 'r' real
    char code1 = ' ';
    char code2 = ' ';
    std::string description;
    char mapChar = ' ';  ///< 'c' or 'm' for one-argument integer coefficients
    std::int64_t map1 = 0;
    std::int64_t map2 = 0;
    int levVarNo = 0;  ///< the variable whose levels this coefficient holds, 0 when none
};

/// Up to 100 description lines.
using TDesclines = std::vector<std::string>;

/// An ordered name index: name -> item number (1-based).
class MinNameIndex {
public:
    /// Adds a name.  Failures: "Cannot add blank key", "Duplicate name: "
    /// followed by the name in double quotes.
    Status add(const std::string& key, int item);
    /// The item number of a name, 0 when absent.
    int find(const std::string& key) const;
    size_t size() const { return m_map.size(); }
    void clear() { m_map.clear(); }

private:
    std::map<std::string, int> m_map;
};

/// The model information in memory.
struct SolInfoRec {
    /// The model's sets.  Element names of a set whose names are not known
    /// are generated as the set name's first 9 characters + 1, 2, ...
    /// (`ElmsKnown` false); a set of unknown size has no `SetElms`.
    std::vector<TSetRec> sets;
    int numOrdinaryVars = 0;    ///< variables from "#VARIABLES"
    std::vector<TVarRec> vars;  ///< all variables: ordinary, then "#NCVARIABLES"
    std::vector<TEquRec> equs;
    std::vector<TCoeffRec> coeffs;
    std::vector<TFileRec> files;
    int numLevAssoc = 0;  ///< variables linked to a levels coefficient
    MinNameIndex varIndex;
    MinNameIndex coeffIndex;
    TDesclines descLines;
    MinItemSet itemsRead;
    std::int64_t svVer = 0;
    std::int64_t prVer = 0;
    std::string tmDate;
    std::string stiFile;
    std::string tabFile;
    bool lowerCaseNames = false;

    /// Releases everything the record holds.
    void clear();
    /// The number (1-based) of a variable, 0 when absent.  The name is
    /// lower-cased first when the names were read in lower case.
    int findVariable(std::string_view name) const;
    /// The number (1-based) of a coefficient, 0 when absent.
    int findCoefficient(std::string_view name) const;
};

/// True when the environment variable `DeveloperPC` is set to a non-empty
/// value (developer mode: "#FILES" always read, "#FINAL_LEVEL" failures
/// fatal, every item read must be implemented).
bool DeveloperPC();

/// Reads the requested items from an open Model Information file into
/// `rec` (which should be empty).  Items 1, 2, 3, 19 and 20 are read
/// whenever present.  Fails on an unimplemented request, a missing needed
/// item, or any section error; the message ends with "[GetModelInfo]".
Status GetModelInfo(TxtFile& file, const MinItemSet& request, bool lowerCaseNames, bool exoFlags,
                    SolInfoRec& rec, bool developer);
Status GetModelInfo(TxtFile& file, const MinItemSet& request, bool lowerCaseNames, bool exoFlags,
                    SolInfoRec& rec);

/// Opens the file, runs `GetModelInfo` and closes it; failures end with
/// "[AddSolInfo:" + file name + "]".
Status AddSolInfo(const std::string& fileName, const MinItemSet& request, bool lowerCaseNames, bool exoFlags,
                  SolInfoRec& rec, bool developer);
Status AddSolInfo(const std::string& fileName, const MinItemSet& request, bool lowerCaseNames, bool exoFlags,
                  SolInfoRec& rec);

/// Releases what `rec` held, then `AddSolInfo`; failures end with
/// "[RequestSolInfo:" + file name + "]".
Status RequestSolInfo(const std::string& fileName, const MinItemSet& request, bool lowerCaseNames,
                      bool exoFlags, SolInfoRec& rec, bool developer);
Status RequestSolInfo(const std::string& fileName, const MinItemSet& request, bool lowerCaseNames,
                      bool exoFlags, SolInfoRec& rec);

/// One line of the logical-files section, split into its columns.  Columns
/// 1-20 hold the name; the direction ("in"/"out") and the file type occupy
/// columns 23-25 and 33-35: the pair that holds "in" or "out" is taken as
/// the direction (33-35 when both or neither do), so files written with
/// either column order read the same.  Column 30 is the updated flag and
/// column 38 on the rest of the line; columns past the end of the line read
/// as blanks.  Fails for a line shorter than 25 characters.
Result<TFileRec> parseMinFileLine(std::string_view line);

/// Reads the "#FILES" section of a Model Information file with no limit on
/// the number of files (callers compare the count with their own limit).
/// Failures: the file cannot be read, a line too short; tag
/// "[ReadMinLogicalFiles:" + file name + "]".
Result<std::vector<TFileRec>> readMinLogicalFiles(const std::string& minFile);

/// The identity of a file: its last-write time as a packed DOS date-time
/// (local time, 2-second resolution); 0 when the file does not exist.
std::uint32_t fileIdentity(const std::string& path);

/// Result of `GetTimeDateStamp`.
struct TimeDateStamp {
    std::string stamp = "?";  ///< at most 40 characters, trailing blanks removed
    bool found = false;
};

/// Reads the time stamp of a "text" file (the first 40 characters of the
/// line after the line equal to `key`), or of a "header"/"binary" header
/// array file (the single 40-character string of the "1C" header `key`;
/// bad headers are skipped only for "binary").  A missing stamp is not a
/// failure (found = false, stamp "?").  Failures: a file that cannot be
/// read, "Unexpected file type"; tag "[GetTimeDateStamp]".
Result<TimeDateStamp> GetTimeDateStamp(std::string_view kind, const std::string& fileName,
                                       const std::string& key);

class Dialogs;

/// Compares the "#TMDATE" stamp of a Model Information file (read as
/// "text") with the "DTXT" stamp of an Auxiliary Table file (read as
/// "binary"): the result is true when both were found and are equal.  When
/// they differ and `quiet` is off, an error box (OK and Help) says "Model
/// Information File <MIN in upper case> was not created at the same time
/// as the Auxiliary Table File <AXT in upper case>".  Fails only when a file
/// cannot be read (message ending with "[MinAxtCompatible]").
Result<bool> MinAxtCompatible(const std::string& minFile, const std::string& axtFile, bool quiet,
                              Dialogs& dialogs);

}  // namespace vdln
