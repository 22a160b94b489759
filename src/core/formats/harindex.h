#pragma once
/// Reading a header array file by need: `HarReader` lists a file's headers
/// (name, type, dimensions with their sets, coefficient, description)
/// from an index built by reading only the record markers, the header-name
/// records and each header's description and set information, seeking over
/// the data records; a header's data is read later, on its own, from its
/// index entry, either whole or as a two-dimensional slice.
///
///     HarReader reader;
///     Status s = reader.open("results.har");   // index only
///     for (const HarIndexEntry& e : reader.entries()) ... e.header().dimsText ...
///     auto h = reader.readHeader(reader.entries()[3]);   // one header's data
///
/// The file stays open while the reader lives, so every read sees the file
/// that was indexed even when it is replaced meanwhile.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "formats/harheader.h"
#include "formats/harslice.h"
#include "formats/recordfile.h"

namespace vdln {

/// One header of the index: what the whole-file reader would give without
/// its data, and where it lies in the file.
struct HarIndexEntry {
    /// The header as read without its data: name, description, `HeadType`
    /// ("1C", "2I" or "RE", converted as on a whole read), storage, sizes,
    /// set information with the element names, dims texts.
    HarHeader details;
    /// Byte position of its header-name record.
    std::int64_t offset = 0;
    /// Byte position just past its last record (the next header or the end).
    std::int64_t endOffset = 0;
    /// Empty when the header can be read; otherwise the reader's message
    /// (its description record could not be read or was refused).
    std::string problem;

    const HarHeader& header() const { return details; }
    const std::string& name() const { return details.name; }
    bool readable() const { return problem.empty(); }
    /// The coefficient name of an "RE" header (may be empty).
    const std::string& coefficient() const { return details.re.coefName; }
};

/// A header array file opened for reading by need.
class HarReader {
public:
    HarReader() = default;
    HarReader(const HarReader&) = delete;
    HarReader& operator=(const HarReader&) = delete;

    /// Opens the file and builds its index.  On failure the message is the
    /// reader's (opening: the record layer's; a damaged record framing:
    /// " [SkipHead]"; more than 8000 ordinary headers: "Too many headers: max
    /// is 8000"), tagged " [ReadHarIndex]", and `entries()` holds the headers
    /// indexed before the damage.  A header whose description cannot be read
    /// does not fail the index: its entry carries the message.
    Status open(const std::string& fileName);
    void close();
    bool isOpen() const { return m_file.isOpen(); }

    const std::string& fileName() const { return m_name; }
    RecordFlavour flavour() const { return m_flavour; }
    std::int64_t fileSize() const { return m_size; }
    /// Every header in file order, the special "XX" headers included.
    const std::vector<HarIndexEntry>& entries() const { return m_entries; }
    /// The first entry of that name (normalised like a header name), or null.
    const HarIndexEntry* find(std::string_view name) const;
    /// Messages of entries that cannot be read, one per line.
    std::string problems() const;

    /// Reads one header whole from its entry; equal to the header a
    /// whole-file read gives.  An unreadable entry gives its message; other
    /// failures the header readers' messages; tag " [ReadHeaderAt:NAME]".
    Result<PHarHeader> readHeader(const HarIndexEntry& entry);
    /// Reads the two-dimensional slice of a header described by `choice`;
    /// memory is that of the slice, not of the header.  Tag
    /// " [ReadHeaderSlice:NAME]".
    Result<HarSlice> readSlice(const HarIndexEntry& entry, const HarSliceChoice& choice);

private:
    Status readDetailsAt(const HarIndexEntry& entry, HarHeader& h);

    LaheyFile m_file;
    std::string m_name;
    RecordFlavour m_flavour = RecordFlavour::Fujitsu;
    std::int64_t m_size = 0;
    std::vector<HarIndexEntry> m_entries;
};

}  // namespace vdln
