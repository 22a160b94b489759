#pragma once
/// Whole header array files in memory (`HarFile`): reading a file or one
/// header, starting a new file, building headers, and writing a file with
/// its special headers (creation date "XXCD", creating program "XXCR",
/// history "XXHS"; "XXFF" is kept when read and never written).
///
/// A quick tour for callers:
///
///     // Write a file with a real header over two named sets.
///     HarFile file = NewHarFile("Vardelon", "", false, false).value();
///     auto h = makeREHeader("CAPS", "Capital stock", {{"IND", {"AGR", "MAN", "SER"}}},
///                           {400, 900, 1200});
///     if (!h) return h.status();
///     addHeader(file, std::move(*h));
///     Status s = WriteHarFile("base.har", "Vardelon", "09/12/2026 10:00:00", file);
///
///     // Read it back.
///     auto read = ReadHarFile("base.har");
///     const HarHeader* caps = read->find("CAPS");
///     std::vector<float> values = caps->realValues();         // 400, 900, 1200
///     std::vector<std::string> inds = caps->elementNames(1);  // AGR, MAN, SER

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "formats/harheader.h"
#include "formats/harray.h"
#include "formats/recordfile.h"

namespace vdln {

/// Largest number of ordinary headers in a file.
inline constexpr std::int64_t kMaxHeaders = 8000;
/// Length of the strings of the history header.
inline constexpr std::int64_t kHistoryStringLength = 60;

/// One header array file in memory.
struct HarFile {
    /// The ordinary headers, in file order (or sorted).
    std::vector<PHarHeader> headers;
    PHarHeader creationDate;     ///< "XXCD", or none
    PHarHeader creatingProgram;  ///< "XXCR", or none
    PHarHeader history;          ///< "XXHS", or none
    PHarHeader xxff;             ///< "XXFF": kept when read, never written
    /// The framing of the file it was read from; new files get `Fujitsu`.
    RecordFlavour flavour = RecordFlavour::Fujitsu;
    /// Write arrays with more than 60% zeros in the sparse form (the
    /// suite's `UseSparse` setting; see `useSparseFromEnvironment`).
    bool useSparse = false;

    /// Number of ordinary headers.
    std::int64_t count() const { return static_cast<std::int64_t>(headers.size()); }
    /// The ordinary or special header of that name (compared after
    /// normalising like a header name), or null.
    HarHeader* find(std::string_view name);
    const HarHeader* find(std::string_view name) const;
};

/// The suite's sparse-writing setting: the environment variable
/// `SVUSESPARSE` equal to "1".
bool useSparseFromEnvironment();

/// A header name as stored: characters 33..126 only, upper case, the first
/// four, blank-padded to four.
std::string normaliseHeaderName(std::string_view name);

/// Completes a header read or added: normalises its name and description,
/// turns "RL" into "RE", and sets its dims texts and element count.
/// Message "Unrecognized Header Type \"..\""; tag " [CompleteHeaderRecord]".
Status CompleteHeaderRecord(HarHeader& header);

/// Reads a whole file.  With `sort` the headers are sorted by name (after
/// the "XX" ones); with `skipBad` a header whose details cannot be read is
/// skipped (and `*skipped` set) instead of failing.  Tags
/// " [ReadMoreIntoHarFile] [ReadHarFile]".
Result<HarFile> ReadHarFile(const std::string& fileName, bool sort = false, bool skipBad = false,
                            bool* skipped = nullptr);
/// Reads a file's headers into an existing `HarFile`.  Messages "Bad details
/// at header \"NAME\"\r\n..." " [GetHeaderRecord]", "Too many headers: max
/// is 8000", and those of the record and header readers; tag
/// " [ReadMoreIntoHarFile]".
Status ReadMoreIntoHarFile(const std::string& fileName, HarFile& file, bool sort, bool skipBad,
                           bool& skipped);
/// Reads the header of that name (blank: the first header).  A file without
/// it gives success with a null header.  Tag " [ReadHeaderFromHarFile:NAME]".
Result<PHarHeader> ReadHeaderFromHarFile(const std::string& fileName, const std::string& wanted,
                                         bool skipBad = false);

/// A new file (flavour `Fujitsu`) with its creation-date and
/// creating-program headers; with `placeholder` it holds the "TEMP"
/// header.  Tag " [NewHarFile]".
Result<HarFile> NewHarFile(const std::string& programName, const std::string& dateTime, bool placeholder,
                           bool sort);
/// Completes the header and appends it; `header` becomes null.  Tag
/// " [AddHeaderNil]".
Status AddHeaderNil(HarFile& file, PHarHeader& header);
/// Same as `AddHeaderNil`, taking the header by value.
Status addHeader(HarFile& file, PHarHeader header);
/// Creates the history header ("no previous history"), and unknown
/// creation-date and creating-program headers, where missing; sorts with
/// `sort`.  Tag " [CompleteHarFile]".
Status CompleteHarFile(HarFile& file, bool sort);
/// Writes the file: special headers first (creation date "at " +
/// `dateTime`, creating program `programName`), then the "XX" headers, then
/// the others.  Dimensions of "RE" headers without a set name are named
/// "Unk" + size.  The target is replaced only when everything was written.
/// Messages: `CheckHarFile`'s, "History strings are of length N should be
/// 60.", record-layer messages; tag " [WriteHarFile]".
Status WriteHarFile(const std::string& fileName, const std::string& programName, const std::string& dateTime,
                    HarFile& file);
/// Checks the names of the ordinary headers (legal, no two equal); returns
/// the first problem, empty when all is well.  Legal names are stored back
/// in their checked form.
std::string CheckHarFile(HarFile& file);
/// Moves the "XX" headers first, then sorts the others by name.
Status sortheaders(HarFile& file);
/// The problem with a header name, empty when legal; `checked` gets the
/// name in its checked form.
std::string checkHeaderName(std::string_view name, std::string& checked);

/// Makes a "1C" header of `count` strings (each cut to `length`).  Tag
/// " [Create1C]".
Status Create1C(PHarHeader& slot, const std::string& name, const std::string& description,
                std::int64_t length, std::int64_t count, std::vector<std::string> strings);
/// Makes an "RE" header with every dimension unlabelled; dimensions beyond
/// `NDim` must be 1.  Messages "NDim<0", "NDim>7", "unused dims should=1";
/// tag " [CreateUnLabelledRE]".
Status CreateUnLabelledRE(PHarHeader& slot, const std::string& name, const std::string& description,
                          bool allocate, const Dims7& sizes, int NDim);
/// A new header like `in` with one more dimension over `set` (first with
/// `asFirst`, else last).  Values are not copied.  Tag " [AddADim]".
Status AddADim(const HarHeader& in, PSetRec set, bool asFirst, PHarHeader& out, bool allocate);
/// A deep copy of a header.  Tag " [CloneHeader]".
Status CloneHeader(const HarHeader& header, PHarHeader& slot);
/// One set record per dimension of an "RE" header.  Tag " [GetSetRecArr7]".
Status GetSetRecArr7(const HarHeader& header, SetRecArr7& sets);
/// Sets the set information of a header from set records.  Tag
/// " [SetREDetailsFromSetRecArr7]".
Status SetREDetailsFromSetRecArr7(const SetRecArr7& sets, const std::string& coefName, int NDim,
                                  HarHeader& header);
/// Sets the coefficient name of the set information (12 characters).
void setCoefficientName(HarHeader& header, const std::string& name);
/// Releases a header.
Status FreeHead(PHarHeader& header);
/// Releases every header of a file.
Status FreeHarData(HarFile& file);

/// One named set of a dimension: its name and element names.
struct HarSet {
    std::string name;
    std::vector<std::string> elements;
};
/// Makes a complete "RE" header over named sets (one per dimension, at most
/// seven; none for a single value) with the given values in file order,
/// first index fastest (empty: all zero; otherwise exactly the product of
/// the set sizes).  Tag " [makeREHeader]".
Result<PHarHeader> makeREHeader(const std::string& name, const std::string& description,
                                const std::vector<HarSet>& sets, const std::vector<float>& values = {});
/// Makes a "1C" header holding `strings`, each line padded to the longest.
Result<PHarHeader> makeStringHeader(const std::string& name, const std::string& description,
                                    const std::vector<std::string>& strings);

}  // namespace vdln
