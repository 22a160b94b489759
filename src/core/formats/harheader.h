#pragma once
/// One header of a header array file in memory (`HarHeader`) and the
/// routines that read and write a single header in the file format: the
/// description record, the set information of "RE" headers, and the data
/// records of every type ("1C" strings, "2I" integer matrices, "2R" real
/// matrices, "RL"/"RE" real arrays, full or sparse).

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/result.h"
#include "formats/harray.h"
#include "formats/memutil.h"
#include "formats/recordfile.h"

namespace vdln {

/// The value that replaces an infinity or NaN read from a file.
inline constexpr float kReplacedReal = 424242.0f;
/// Reals (or integers) per data record of the full and matrix layouts.
inline constexpr std::int64_t kRealsPerRecord = 7000;
/// Entries per sparse data record.
inline constexpr std::int64_t kSparsePerRecord = 2333;
/// Length of set, element and coefficient names in the set information.
inline constexpr std::size_t kSetNameLength = 12;

/// The set information of an "RE" header (up to seven dimensions).
struct REDetails {
    std::int32_t SetsToRead = 0;  ///< number of element records that follow it in a file
    bool setDimsKnown = false;    ///< the sets of the dimensions are known
    std::int32_t OrigNDim = 0;    ///< number of dimensions described, 0..7
    std::string coefName;         ///< the coefficient the array holds
    bool setNamesKnown = false;   ///< every dimension has a set name
    std::array<std::string, 7> setNames;
    /// Per dimension: 'k' elements known, 'u' unknown, 'e' one element.
    std::array<char, 7> RDelst{'u', 'u', 'u', 'u', 'u', 'u', 'u'};
    /// Per dimension: for 'e' the element's number in its set, else the set size as held.
    std::array<std::int32_t, 7> numbers{};
    std::int32_t NEltrd = 0;  ///< number of element names (one per 'e' dimension)
    std::array<std::string, 7> eltNames;
};

/// One header in memory.  "1C" headers hold `strings`, "2I" headers
/// `intMatrix`, "RE" headers `HeadMat` with their set information.
struct HarHeader {
    std::string name;              ///< 4 characters, upper case, blank-padded
    std::string description;       ///< up to 70 characters
    std::string HeadType;          ///< "1C", "2I" or "RE" after reading ("RL", "2R" are converted)
    std::string typeRead;          ///< the type found in the file
    std::string storage = "FULL";  ///< "FULL" or "SPSE"
    std::int64_t stringCount = 0, stringLength = 0;  ///< "1C"
    std::int64_t rows = 0, cols = 0;                 ///< "2I" and "2R"
    int NDim = 0;
    Dims7 dims{1, 1, 1, 1, 1, 1, 1};
    REDetails re;
    /// Per dimension (entry k-1 for dimension k): the set's element names, or none.
    std::array<std::optional<std::vector<std::string>>, 7> SetElements;
    /// Per dimension: the set name, or the element name of an 'e' dimension.
    std::array<std::string, 7> dimLabels;
    PArr2 intMatrix;                   ///< "2I": intMatrix->i32(row, column), 1-based
    std::vector<std::string> strings;  ///< "1C": strings[0..count-1]
    vdln::HeadMat HeadMat;             ///< "RE": the real array
    std::int64_t replacedCount = 0;    ///< non-finite reals replaced on reading
    std::string dimsText;              ///< e.g. "IND*REG" (up to 80 characters)
    std::string shortDimsText;         ///< e.g. "3*4" (up to 30 characters)
    std::int64_t elementCount = 0;

    /// The name without its padding blanks.
    std::string trimmedName() const;
    /// The set name of dimension k (1-based), empty when it has none.
    std::string setName(int k) const;
    /// The element names of dimension k (1-based); empty when not known.
    std::vector<std::string> elementNames(int k) const;
    /// The real values of an "RE" header in file order (first index fastest).
    std::vector<float> realValues() const;
};
using PHarHeader = std::unique_ptr<HarHeader>;

/// Expected number of integers in the description record: 8 for "RL" and
/// "RE" ("FULL" or "SPSE"), 3 for "1C", "2I", "2R" ("FULL").  Messages
/// "Unrecognized Storage Method: " + storage, "Unrecognized Data Type " +
/// type; tag " [GetIntsExpected]".
Result<int> GetIntsExpected(const std::string& type, const std::string& storage);

/// Reads the description and, for "RE", the set information of the header
/// whose name record was just read.  A header whose description cannot be
/// read is "not read": success with `detailsRead` false and the reason in
/// `notReadMessage`.  Other failures are fatal: "At header " + name +
/// "\r\n" + message + " [GetHeaderDetails]".
Status GetHeaderDetails(LaheyFile& file, const std::string& name, HarHeader& header, bool& detailsRead,
                        std::string& notReadMessage);

/// Reads the data records of a header whose details were read.  Failures
/// end with " [ReadHeaderData:" + name + "]".  Data outside the declared
/// shape (ranges, sparse positions, matrix indices, string counts) is
/// refused with a message; nothing is stored outside the header.
Status ReadHeaderData(LaheyFile& file, HarHeader& header);

/// Writes every record of a header ("RE"/"RL" full or sparse, "1C", "2I").
/// With `useSparse` an array with more than 60% zeros is written sparse.
/// Failures end with " [WriteHead:" + name + "]".
Status WriteHead(LaheyFile& file, HarHeader& header, bool useSparse);

/// Whether the set information is complete enough to write as "RE".
/// Messages "stknow false", "acdmkn false", "acdim<>OrigNDim", "StName
/// blank", "RDelst not e,u, or k", "elno<=0", "eltnam blank"; tag
/// " [ValidREDetails]".
Status ValidREDetails(const HarHeader& header);

/// Receives one block of a full real array: its 1-based index ranges and
/// its reals as stored in the file (little-endian, first index fastest).
using RealBlockSink =
    std::function<void(const std::int64_t lo[7], const std::int64_t hi[7], const std::uint8_t* reals)>;
/// Reads the data records of a full real array of sizes `dims` (the
/// dimension record, then range and value records up to KREC 1), handing
/// each block, checked to lie inside the array, to `block`.  Messages
/// "Range record outside the array's dimensions", "RL record wrong length"
/// and the record layer's; tag " [GetRLData]".
Status ReadRealBlocks(LaheyFile& file, const Dims7& dims, const RealBlockSink& block);
/// How the writer cuts a full real array of sizes `dims` (none zero) into
/// blocks of at most `kRealsPerRecord` reals, each one contiguous run of
/// the array: the dimensions before `split` whole, the split dimension in
/// stretches of `width` indices, and every index of the dimensions after
/// it on its own, the first of them fastest.  The reader checks the blocks
/// of a file against it before it reads them straight into place.
struct FullBlockLayout {
    Dims7 dims{};
    int split = 1;            ///< 1-based number of the split dimension
    std::int64_t before = 1;  ///< product of the dimensions before it
    std::int64_t width = 1;   ///< its indices per block
    std::int64_t chunks = 1;  ///< blocks per index of the dimensions after it
    std::int64_t after = 1;   ///< product of the dimensions after it
    std::int64_t blocks() const { return chunks * after; }
    /// The reals of a block of these ranges.
    std::int64_t reals(const std::int64_t lo[7], const std::int64_t hi[7]) const {
        return before * (hi[split - 1] - lo[split - 1] + 1);
    }
    /// The index ranges of block `b` (0-based, in the order written).
    void range(std::int64_t b, std::int64_t lo[7], std::int64_t hi[7]) const;
};
FullBlockLayout fullBlockLayout(const Dims7& dims);
/// Receives the entries of one sparse record: `n` 1-based positions (each
/// checked to lie in the array) and then `n` reals, as stored in the file.
using SparseEntrySink =
    std::function<void(const std::uint8_t* positions, const std::uint8_t* reals, std::int32_t n)>;
/// Reads the data records of a sparse real array of sizes `dims`.  Messages
/// as the sparse reader's; tag " [GetRLSparseData]".
Status ReadSparseEntries(LaheyFile& file, const Dims7& dims, const SparseEntrySink& entries);
/// Copies `n` reals from file bytes, replacing infinities and NaNs by
/// 424242.0; returns the number replaced.
std::int64_t copyRealsReplacing(float* dest, const std::uint8_t* src, std::int64_t n);

/// Gives a "2R" header whose details were read the shape of the real array
/// it becomes ("RL", dims and `NDim`), without touching its data.
void Turn2RShape(HarHeader& header);
/// Turns a just-read "2R" header into a real array ("RL").
void Turn2RtoRL(HarHeader& header);
/// Turns an "RL" header into "RE" with every dimension unknown ('u').
void TurnRLtoRE(HarHeader& header);

/// Keeps the characters allowed in set, element and coefficient names
/// (0-9, A-Z, a-z, '@', '_') after removing trailing blanks.
std::string cleanSetName(std::string_view raw);

}  // namespace vdln
