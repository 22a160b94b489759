#pragma once
/// Fortran unformatted sequential record files, in the two framings the
/// suite's programs write: `Fujitsu` (4-byte little-endian length before and
/// after each record) and `Lahey` (a lead byte 0xFD, then variable-length
/// markers of 1 to 4 bytes; the trailing marker is stored in reverse order
/// and encodes the data length plus the leading marker's length).
///
/// Every routine returns a Status/Result whose failure text ends with the
/// routine's tag (" [GetLaheyRec]", " [GetRecBuf]", ...), so the message a
/// user reads is the chain of routines that failed.

#include <sys/uio.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/result.h"

namespace vdln {

/// The framing of a record file.
enum class RecordFlavour {
    Lahey,    ///< lead byte 0xFD, 1- to 4-byte markers
    Fujitsu,  ///< 4-byte markers, no file header
};

/// Largest data length a record may have on reading.
inline constexpr std::int64_t MaxHarBuf = 8000000;
/// The four blanks that begin every structured record.
inline constexpr char kRecordFiller[4] = {' ', ' ', ' ', ' '};

/// One record file open for reading or for writing.  Reading uses a buffer
/// owned by this object, so several files may be read at once; a record
/// returned by a read stays valid until the next read of the same file.
class LaheyFile {
public:
    LaheyFile() = default;
    ~LaheyFile();
    LaheyFile(const LaheyFile&) = delete;
    LaheyFile& operator=(const LaheyFile&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    bool forWriting() const { return m_writing; }
    RecordFlavour flavour() const { return m_flavour; }
    const std::string& name() const { return m_name; }
    /// Sets the framing used to read records (the open routines set it).
    void setFlavour(RecordFlavour flavour) { m_flavour = flavour; }

    /// True when no byte is left to read (also true for a closed file).
    bool atEnd();
    /// Closes the file; a file opened for writing has its last bytes written
    /// first.  Closing a closed file succeeds.  Failure: "cannot write to
    /// disk (probably no space)" or "Cannot close file", tag
    /// " [CloseLaheyFile]"; the file is closed in any case.
    Status close();

    // Low-level access used by the record routines below.
    /// Reads up to `n` bytes; returns how many were read (0 at end of file,
    /// -1 on an I/O error).
    std::int64_t readSome(void* dest, std::int64_t n);
    /// Moves the read position forward by `n` bytes; false when the file
    /// ends before (the position is then at the end).
    bool skip(std::int64_t n);
    /// Byte position of the next byte to read (-1 when not open for reading).
    std::int64_t tell() const;
    /// Moves the read position to byte `pos`; false on failure.  A position
    /// inside the bytes already read ahead costs no system call.
    bool seekTo(std::int64_t pos);
    /// Reads up to `n` bytes at byte `pos` without moving the read position;
    /// returns how many were read (-1 on an I/O error).
    std::int64_t readAt(std::int64_t pos, void* dest, std::int64_t n);
    /// Reads the bytes from `pos` on into the `count` pieces of `pieces`,
    /// in order, in one system call, without moving the read position;
    /// returns how many bytes were read (fewer at the end of the file or
    /// when interrupted; -1 on an I/O error).  The read-ahead bytes are not
    /// used: this is for reading large stretches straight into place.
    std::int64_t readScatteredAt(std::int64_t pos, const iovec* pieces, int count);
    /// The file's size in bytes (-1 when unknown).
    std::int64_t size();
    /// Makes the next `n` bytes available in one piece without consuming
    /// them; null when the file ends first or `n` exceeds the read-ahead
    /// buffer.  The bytes stay valid until the next read.
    const std::uint8_t* peek(std::int64_t n);
    /// Consumes bytes made available by `peek`.
    void consume(std::int64_t n) { m_ioPos += static_cast<std::size_t>(n); }
    /// Buffers bytes for writing; false on an I/O error.
    bool writeBytes(const void* data, std::int64_t n);
    /// The reusable record buffer, grown to at least `n` bytes.
    std::uint8_t* recordBuffer(std::int64_t n);

private:
    friend Status OpenLaheyFile(LaheyFile&, const std::string&);
    friend Status CreateLaheyFile(LaheyFile&, const std::string&, RecordFlavour);
    friend Status openForReading(LaheyFile&, const std::string&);
    bool fill();
    bool flush();

public:
    /// Closes without reporting errors (used after a failure).
    void closeQuietly();

private:
    int m_fd = -1;
    bool m_writing = false;
    bool m_ioError = false;
    RecordFlavour m_flavour = RecordFlavour::Fujitsu;
    std::string m_name;
    std::vector<std::uint8_t> m_io;  // read-ahead or write-behind bytes
    std::size_t m_ioPos = 0;         // next unread byte (reading)
    std::size_t m_ioEnd = 0;         // bytes held (reading) / buffered (writing)
    std::int64_t m_fdPos = 0;        // position of the descriptor (reading)
    std::vector<std::uint8_t> m_record;
};

/// Tells which framing a file uses by reading up to its first five records
/// (the first must hold exactly 4 bytes).  The file is closed again.
/// Messages: "No such file:", "Empty file:", "Strange? No such file:",
/// "Strange? Empty file:" (each followed by the name), "File record too
/// long", "First record not length 4"; tag " [IsWhichLaheyFile]".
Result<RecordFlavour> IsWhichLaheyFile(const std::string& fileName);

/// Detects the flavour and opens the file read-only, positioned at its first
/// record.  Messages: flavour detection's, "No such file:" + name, "Empty
/// file", "Not a Lahey file"; tag " [OpenLaheyFile]".
Status OpenLaheyFile(LaheyFile& file, const std::string& fileName);

/// Creates (or truncates) a record file; a `Lahey` file gets its lead byte.
/// Messages "Can't create file: " + name, "cannot write to disk (probably
/// no space)"; tag " [CreateLaheyFile]".
Status CreateLaheyFile(LaheyFile& file, const std::string& fileName, RecordFlavour flavour);

/// Reads exactly `count` bytes.  Whole message on failure:
/// "Unexpected end-of-file [FileRead]".
Status FileRead(LaheyFile& file, void* buffer, std::int64_t count);

/// A Lahey leading marker: the data length L and the marker's byte count.
struct LaheyLength {
    std::int64_t length = 0;  ///< L
    int markerBytes = 0;      ///< 1..4
    /// M, the value the trailing marker must carry.
    std::int64_t trailingValue() const { return length + markerBytes; }
};
/// Reads a Lahey leading marker.  Tag " [GetRecLen]".
Result<LaheyLength> GetRecLen(LaheyFile& file);
/// Reads and checks a Lahey trailing marker against M.  Messages "Bad
/// NExtraCheck value", "Bad RecLenCheck value"; tag " [ChkRecLen]".
Status ChkRecLen(LaheyFile& file, std::int64_t expectedM);
/// Reads a 4-byte leading length.  Message "RecLen<0"; tag " [FujiGetRecLen]".
Result<std::int64_t> FujiGetRecLen(LaheyFile& file);
/// Reads a 4-byte trailing length and compares it with L.  Message "Bad
/// RecLenCheck value"; tag " [FujiChkRecLen]".
Status FujiChkRecLen(LaheyFile& file, std::int64_t length);

/// The markers that frame a record of `length` data bytes, as the writer
/// puts them: `lead` before the data, `trail` after it.
struct RecordFraming {
    std::uint8_t lead[4] = {0, 0, 0, 0};
    std::uint8_t trail[4] = {0, 0, 0, 0};
    int leadSize = 0;
    int trailSize = 0;
};
RecordFraming recordFraming(RecordFlavour flavour, std::int64_t length);

/// The bytes of a Lahey marker for value V (leading order; the trailing
/// marker is the same bytes reversed).
std::vector<std::uint8_t> laheyMarker(std::int64_t value);

/// A record just read: its bytes live in the file's record buffer until the
/// next read.
struct RecordView {
    const std::uint8_t* data = nullptr;
    std::int64_t length = 0;
};
/// Reads one record.  Messages "File record too long", and those of the
/// marker routines; tag " [GetLaheyRec]".
Result<RecordView> GetLaheyRec(LaheyFile& file);

/// Writes one record.  Message "cannot write to disk (probably no space)";
/// tag " [WriteLaheyRec]".
Status WriteLaheyRec(LaheyFile& file, const void* bytes, std::int64_t length);

/// Writes a structured record: the filler, `strucSize` structure bytes and
/// `count` elements of `elemSize` bytes.  Messages "Count<>LenHead",
/// "Count<>StrucSiz", "Count<>LenElms", "cannot write to disk (probably no
/// space)"; tag " [WriteRecBuf]".
Status WriteRecBuf(LaheyFile& file, const void* struc, std::int64_t strucSize, std::int64_t elemSize,
                   std::int64_t count, const void* elems);

/// A structured record just read (pointers into the file's record buffer).
struct RecBuf {
    const std::uint8_t* struc = nullptr;  ///< the structure (after the filler)
    const std::uint8_t* elems = nullptr;  ///< the first element
    std::int64_t count = 0;               ///< N, the number of elements
};
/// Reads a structured record with a structure of `strucSize` bytes and
/// elements of `elemSize` bytes.  Messages "sizelms=0", "Record too Short "
/// + length + "/" + (S + 4), "Non-Unit Record Length"; tag " [GetRecBuf]".
Result<RecBuf> GetRecBuf(LaheyFile& file, std::int64_t strucSize, std::int64_t elemSize);

/// Scans forward to the next record of exactly 4 data bytes, skipping all
/// others.  End of file first: success with `found` false.  Tag " [SkipHead]".
Status SkipHead(LaheyFile& file, bool& found, std::array<char, 4>& bytes);
/// As `SkipHead`, but walks the records by their markers alone (data
/// bytes are never read) and checks every trailing marker; stops at the
/// start of the next record of 4 data bytes, which is not consumed.  A
/// record cut short by the end of the file is "Unexpected end-of-file
/// [FileRead]".  Tag " [SkipHead]".
Status SeekHead(LaheyFile& file, bool& found);
/// As `SkipHead`, returning the 4 bytes upper-cased as a name.  Tag " [GetHead]".
Status GetHead(LaheyFile& file, bool& found, std::string& name);

/// Little-endian helpers for the record layouts.
inline std::int32_t readI32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
        (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
}
inline void putI32(std::uint8_t* p, std::int32_t v) {
    auto u = static_cast<std::uint32_t>(v);
    p[0] = static_cast<std::uint8_t>(u);
    p[1] = static_cast<std::uint8_t>(u >> 8);
    p[2] = static_cast<std::uint8_t>(u >> 16);
    p[3] = static_cast<std::uint8_t>(u >> 24);
}

}  // namespace vdln
