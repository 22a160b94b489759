#include "formats/recordfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/besteffort.h"

namespace vdln {

namespace {

constexpr std::size_t kReadChunk = std::size_t{256} * 1024;
constexpr std::size_t kWriteChunk = std::size_t{1024} * 1024;
constexpr const char* kNoSpace = "cannot write to disk (probably no space)";

int openReadOnly(const std::string& name) {
    // Read access only, no lock: other programs may read or write the file.
    int fd;
    do {
        fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

LaheyFile::~LaheyFile() {
    closeQuietly();
}

void LaheyFile::closeQuietly() {
    if (m_fd >= 0) {
        if (m_writing) flush();
        ::close(m_fd);
    }
    m_fd = -1;
    m_writing = false;
    m_ioError = false;
    m_ioPos = m_ioEnd = 0;
}

Status LaheyFile::close() {
    if (m_fd < 0) return Status::ok();
    bool ok = true;
    std::string why;
    if (m_writing) {
        if (!flush() || m_ioError) {
            ok = false;
            why = kNoSpace;
        }
    }
    if (::close(m_fd) != 0 && ok) {
        ok = false;
        why = m_writing ? kNoSpace : "Cannot close file";
    }
    m_fd = -1;
    m_writing = false;
    m_ioError = false;
    m_ioPos = m_ioEnd = 0;
    if (!ok) return Status::fail(why).tag(" [CloseLaheyFile]");
    return Status::ok();
}

bool LaheyFile::fill() {
    if (m_fd < 0 || m_writing) return false;
    if (m_io.size() < kReadChunk) m_io.resize(kReadChunk);
    m_ioPos = m_ioEnd = 0;
    for (;;) {
        ssize_t got = ::read(m_fd, m_io.data(), m_io.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            m_ioError = true;
            return false;
        }
        m_fdPos += got;
        m_ioEnd = static_cast<std::size_t>(got);
        return got > 0;
    }
}

bool LaheyFile::atEnd() {
    if (m_fd < 0 || m_writing) return true;
    if (m_ioPos < m_ioEnd) return false;
    return !fill();
}

std::int64_t LaheyFile::readSome(void* dest, std::int64_t n) {
    if (m_fd < 0 || m_writing || n < 0) return -1;
    auto* out = static_cast<std::uint8_t*>(dest);
    std::int64_t total = 0;
    while (n > 0) {
        if (m_ioPos < m_ioEnd) {
            auto take = static_cast<std::size_t>(
                std::min<std::int64_t>(n, static_cast<std::int64_t>(m_ioEnd - m_ioPos)));
            std::memcpy(out + total, m_io.data() + m_ioPos, take);
            m_ioPos += take;
            total += static_cast<std::int64_t>(take);
            n -= static_cast<std::int64_t>(take);
            continue;
        }
        if (static_cast<std::size_t>(n) >= kReadChunk) {
            // Large reads go straight to the destination.
            ssize_t got = ::read(m_fd, out + total, static_cast<std::size_t>(n));
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) return total > 0 ? total : -1;
            if (got == 0) break;
            m_fdPos += got;
            total += got;
            n -= got;
            continue;
        }
        if (!fill()) {
            if (m_ioError && total == 0) return -1;
            break;
        }
    }
    return total;
}

const std::uint8_t* LaheyFile::peek(std::int64_t n) {
    if (m_fd < 0 || m_writing || n < 0 || static_cast<std::size_t>(n) > kReadChunk) return nullptr;
    const std::size_t want = static_cast<std::size_t>(n);
    if (m_ioEnd - m_ioPos >= want) return m_io.data() + m_ioPos;
    if (m_io.size() < kReadChunk) m_io.resize(kReadChunk);
    const std::size_t held = m_ioEnd - m_ioPos;
    if (held > 0 && m_ioPos > 0) std::memmove(m_io.data(), m_io.data() + m_ioPos, held);
    m_ioPos = 0;
    m_ioEnd = held;
    while (m_ioEnd < want) {
        ssize_t got = ::read(m_fd, m_io.data() + m_ioEnd, m_io.size() - m_ioEnd);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return nullptr;
        m_fdPos += got;
        m_ioEnd += static_cast<std::size_t>(got);
    }
    return m_io.data();
}

bool LaheyFile::skip(std::int64_t n) {
    if (m_fd < 0 || m_writing || n < 0) return false;
    auto held = static_cast<std::int64_t>(m_ioEnd - m_ioPos);
    if (n <= held) {
        m_ioPos += static_cast<std::size_t>(n);
        return true;
    }
    n -= held;
    m_ioPos = m_ioEnd = 0;
    const std::int64_t here = m_fdPos;
    const std::int64_t end = size();
    if (end < 0) return false;
    if (n > end - here) {
        seekTo(end);
        return false;
    }
    return seekTo(here + n);
}

std::int64_t LaheyFile::size() {
    if (m_fd < 0) return -1;
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) return -1;
    return static_cast<std::int64_t>(st.st_size);
}

std::int64_t LaheyFile::tell() const {
    if (m_fd < 0 || m_writing) return -1;
    return m_fdPos - static_cast<std::int64_t>(m_ioEnd - m_ioPos);
}

bool LaheyFile::seekTo(std::int64_t pos) {
    if (m_fd < 0 || m_writing || pos < 0) return false;
    // A position inside the read-ahead bytes is reached without a system call.
    const std::int64_t bufStart = m_fdPos - static_cast<std::int64_t>(m_ioEnd);
    if (pos >= bufStart && pos <= m_fdPos) {
        m_ioPos = static_cast<std::size_t>(pos - bufStart);
        return true;
    }
    m_ioPos = m_ioEnd = 0;
    const off_t got = ::lseek(m_fd, static_cast<off_t>(pos), SEEK_SET);
    if (got < 0) {
        m_fdPos = ::lseek(m_fd, 0, SEEK_CUR);
        return false;
    }
    m_fdPos = got;
    return true;
}

std::int64_t LaheyFile::readAt(std::int64_t pos, void* dest, std::int64_t n) {
    if (m_fd < 0 || m_writing || pos < 0 || n < 0) return -1;
    const std::int64_t bufStart = m_fdPos - static_cast<std::int64_t>(m_ioEnd);
    if (pos >= bufStart && pos + n <= m_fdPos) {
        std::memcpy(dest, m_io.data() + (pos - bufStart), static_cast<std::size_t>(n));
        return n;
    }
    auto* out = static_cast<std::uint8_t*>(dest);
    std::int64_t total = 0;
    while (total < n) {
        ssize_t got =
            ::pread(m_fd, out + total, static_cast<std::size_t>(n - total), static_cast<off_t>(pos + total));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return total > 0 ? total : -1;
        if (got == 0) break;
        total += got;
    }
    return total;
}

std::int64_t LaheyFile::readScatteredAt(std::int64_t pos, const iovec* pieces, int count) {
    if (m_fd < 0 || m_writing || pos < 0 || count < 0) return -1;
    for (;;) {
        const ssize_t got = ::preadv(m_fd, pieces, count, static_cast<off_t>(pos));
        if (got < 0 && errno == EINTR) continue;
        return got;
    }
}

bool LaheyFile::flush() {
    std::size_t done = 0;
    while (done < m_ioEnd) {
        ssize_t put = ::write(m_fd, m_io.data() + done, m_ioEnd - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            m_ioError = true;
            m_ioEnd = 0;
            return false;
        }
        done += static_cast<std::size_t>(put);
    }
    m_ioEnd = 0;
    return true;
}

bool LaheyFile::writeBytes(const void* data, std::int64_t n) {
    if (m_fd < 0 || !m_writing || m_ioError || n < 0) return false;
    const auto* in = static_cast<const std::uint8_t*>(data);
    if (m_io.size() < kWriteChunk) m_io.resize(kWriteChunk);
    auto un = static_cast<std::size_t>(n);
    if (m_ioEnd + un <= m_io.size()) {
        if (un) std::memcpy(m_io.data() + m_ioEnd, in, un);
        m_ioEnd += un;
        return true;
    }
    if (!flush()) return false;
    if (un < m_io.size()) {
        std::memcpy(m_io.data(), in, un);
        m_ioEnd = un;
        return true;
    }
    std::size_t done = 0;
    while (done < un) {
        ssize_t put = ::write(m_fd, in + done, un - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            m_ioError = true;
            return false;
        }
        done += static_cast<std::size_t>(put);
    }
    return true;
}

std::uint8_t* LaheyFile::recordBuffer(std::int64_t n) {
    auto need = static_cast<std::size_t>(std::max<std::int64_t>(n, 1));
    if (m_record.size() < need) m_record.resize(std::max(need, m_record.size() * 2));
    return m_record.data();
}

Status openForReading(LaheyFile& file, const std::string& name) {
    file.closeQuietly();
    int fd = openReadOnly(name);
    if (fd < 0) return Status::fail("open");
    file.m_fd = fd;
    file.m_writing = false;
    file.m_name = name;
    file.m_ioPos = file.m_ioEnd = 0;
    file.m_fdPos = 0;
    return Status::ok();
}

Status FileRead(LaheyFile& file, void* buffer, std::int64_t count) {
    if (count == 0) return Status::ok();
    if (file.readSome(buffer, count) != count) return Status::fail("Unexpected end-of-file [FileRead]");
    return Status::ok();
}

namespace {
// Encodes a Lahey marker in leading order; returns its byte count.
int encodeLaheyMarker(std::int64_t value, std::uint8_t out[4]) {
    const int n = value < 64 ? 0 : value < 16384 ? 1 : value < 4194304 ? 2 : 3;
    out[0] = static_cast<std::uint8_t>((value % 64) * 4 + n);
    std::int64_t rest = value / 64;
    for (int k = 1; k <= n; ++k) {
        out[k] = static_cast<std::uint8_t>(rest % 256);
        rest /= 256;
    }
    return n + 1;
}
}  // namespace

std::vector<std::uint8_t> laheyMarker(std::int64_t value) {
    std::uint8_t b[4];
    const int n = encodeLaheyMarker(value, b);
    return std::vector<std::uint8_t>(b, b + n);
}

Result<LaheyLength> GetRecLen(LaheyFile& file) {
    std::uint8_t first = 0;
    Status s = FileRead(file, &first, 1);
    if (!s) return std::move(s).tag(" [GetRecLen]");
    int n = first & 3;
    std::uint8_t extra[3] = {0, 0, 0};
    s = FileRead(file, extra, n);
    if (!s) return std::move(s).tag(" [GetRecLen]");
    LaheyLength len;
    len.length = (first >> 2) + extra[0] * 64LL + extra[1] * 16384LL + extra[2] * 4194304LL;
    len.markerBytes = n + 1;
    return len;
}

namespace {

int laheyMarkerSize(std::int64_t value) {
    return value < 64 ? 1 : value < 16384 ? 2 : value < 4194304 ? 3 : 4;
}

// Checks the bytes of a Lahey trailing marker (extra bytes n..1, then the
// first byte) against M.
Status checkLaheyTrailer(const std::uint8_t* got, int count, std::int64_t expectedM) {
    const std::uint8_t last = got[count - 1];
    if ((last & 3) + 1 != count) return Status::fail("Bad NExtraCheck value [ChkRecLen]");
    std::int64_t value = last >> 2;
    std::int64_t scale = 64;
    for (int k = count - 2; k >= 0; --k) {
        value += got[k] * scale;
        scale *= 256;
    }
    if (value != expectedM) return Status::fail("Bad RecLenCheck value [ChkRecLen]");
    return Status::ok();
}

}  // namespace

Status ChkRecLen(LaheyFile& file, std::int64_t expectedM) {
    const int count = laheyMarkerSize(expectedM);
    std::uint8_t got[4] = {0, 0, 0, 0};
    Status s = FileRead(file, got, count);
    if (!s) return std::move(s).tag(" [ChkRecLen]");
    return checkLaheyTrailer(got, count, expectedM);
}

Result<std::int64_t> FujiGetRecLen(LaheyFile& file) {
    std::uint8_t b[4];
    Status s = FileRead(file, b, 4);
    if (!s) return std::move(s).tag(" [FujiGetRecLen]");
    std::int32_t len = readI32(b);
    if (len < 0) return Result<std::int64_t>::fail("RecLen<0 [FujiGetRecLen]");
    return static_cast<std::int64_t>(len);
}

Status FujiChkRecLen(LaheyFile& file, std::int64_t length) {
    std::uint8_t b[4];
    Status s = FileRead(file, b, 4);
    if (!s) return std::move(s).tag(" [FujiChkRecLen]");
    if (readI32(b) != length) return Status::fail("Bad RecLenCheck value [FujiChkRecLen]");
    return Status::ok();
}

namespace {

// Reads a leading marker in either flavour: the data length and, for Lahey,
// the value the trailing marker must carry.
Status readLeading(LaheyFile& file, std::int64_t& length, std::int64_t& trailing) {
    if (file.flavour() == RecordFlavour::Fujitsu) {
        auto r = FujiGetRecLen(file);
        if (!r) return r.status();
        length = trailing = *r;
        return Status::ok();
    }
    auto r = GetRecLen(file);
    if (!r) return r.status();
    length = r->length;
    trailing = r->trailingValue();
    return Status::ok();
}

Status checkTrailing(LaheyFile& file, std::int64_t trailing) {
    if (file.flavour() == RecordFlavour::Fujitsu) return FujiChkRecLen(file, trailing);
    return ChkRecLen(file, trailing);
}

std::int64_t trailingSize(RecordFlavour flavour, std::int64_t trailing) {
    if (flavour == RecordFlavour::Fujitsu) return 4;
    return laheyMarkerSize(trailing);
}

// Tries to read up to five records in the file's flavour, the first of 4
// bytes; a clean end of file after whole records is a success.
Status tryFlavour(LaheyFile& file) {
    for (int rec = 0; rec < 5; ++rec) {
        if (file.atEnd()) return Status::ok();
        std::int64_t length = 0, trailing = 0;
        Status s = readLeading(file, length, trailing);
        if (!s) return s;
        if (length > MaxHarBuf) return Status::fail("File record too long");
        if (rec == 0 && length != 4) return Status::fail("First record not length 4");
        s = FileRead(file, file.recordBuffer(length), length);
        if (!s) return s;
        s = checkTrailing(file, trailing);
        if (!s) return s;
    }
    return Status::ok();
}

}  // namespace

namespace {

// Back to the start of an open file for reading it again: within the
// read-ahead bytes, or by seeking, or (a file that cannot seek) by opening
// it again.
bool rewind(LaheyFile& file, const std::string& fileName) {
    if (file.seekTo(0)) return true;
    file.closeQuietly();
    return openForReading(file, fileName).isOk();
}

// The record framing of a file open for reading, found from its start:
// the Lahey framing when the file starts as one, else the 4-byte framing
// when its first records check out.  Leaves the file anywhere.  Messages
// without a tag.
Result<RecordFlavour> probeFlavour(LaheyFile& file, const std::string& fileName) {
    if (file.atEnd()) return Result<RecordFlavour>::fail("Empty file:" + fileName);
    std::uint8_t lead = 0;
    if (file.readSome(&lead, 1) == 1 && lead == 0xFD) {
        file.setFlavour(RecordFlavour::Lahey);
        if (tryFlavour(file)) return RecordFlavour::Lahey;
    }
    // Not Lahey (or its records did not check out): try the 4-byte framing.
    if (!rewind(file, fileName)) return Result<RecordFlavour>::fail("Strange? No such file:" + fileName);
    if (file.atEnd()) return Result<RecordFlavour>::fail("Strange? Empty file:" + fileName);
    file.setFlavour(RecordFlavour::Fujitsu);
    Status s = tryFlavour(file);
    if (!s) return s;
    return RecordFlavour::Fujitsu;
}

// Opens a file for reading and finds its record framing (the file is left
// open, anywhere, unless that fails).  Messages as `IsWhichLaheyFile`'s.
Result<RecordFlavour> openAndProbe(LaheyFile& file, const std::string& fileName) {
    const char* tag = " [IsWhichLaheyFile]";
    if (!openForReading(file, fileName)) return Result<RecordFlavour>::fail("No such file:" + fileName + tag);
    auto flavour = probeFlavour(file, fileName);
    if (!flavour) return std::move(flavour).tag(tag);
    return flavour;
}

}  // namespace

Result<RecordFlavour> IsWhichLaheyFile(const std::string& fileName) {
    LaheyFile file;
    auto flavour = openAndProbe(file, fileName);
    if (file.isOpen()) bestEffort(file.close(), "the file was only probed for its record framing");
    return flavour;
}

// The file is opened once: its framing is probed from the read-ahead
// bytes, and it is then read from its start again.
Status OpenLaheyFile(LaheyFile& file, const std::string& fileName) {
    const char* tag = " [OpenLaheyFile]";
    auto flavour = openAndProbe(file, fileName);
    if (!flavour) {
        file.closeQuietly();
        return Status(flavour.status()).tag(tag);
    }
    if (!rewind(file, fileName)) return Status::fail("No such file:" + fileName + tag);
    if (file.atEnd()) {
        file.closeQuietly();
        return Status::fail(std::string("Empty file") + tag);
    }
    file.setFlavour(*flavour);
    if (*flavour == RecordFlavour::Lahey) {
        std::uint8_t lead = 0;
        if (file.readSome(&lead, 1) != 1 || lead != 0xFD) {
            file.closeQuietly();
            return Status::fail(std::string("Not a Lahey file") + tag);
        }
    }
    return Status::ok();
}

Status CreateLaheyFile(LaheyFile& file, const std::string& fileName, RecordFlavour flavour) {
    const char* tag = " [CreateLaheyFile]";
    file.closeQuietly();
    int fd;
    do {
        fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return Status::fail("Can't create file: " + fileName + tag);
    file.m_fd = fd;
    file.m_writing = true;
    file.m_ioError = false;
    file.m_name = fileName;
    file.m_flavour = flavour;
    file.m_ioPos = file.m_ioEnd = 0;
    if (flavour == RecordFlavour::Lahey) {
        const std::uint8_t lead = 0xFD;
        if (!file.writeBytes(&lead, 1)) return Status::fail(std::string(kNoSpace) + tag);
    }
    return Status::ok();
}

Result<RecordView> GetLaheyRec(LaheyFile& file) {
    const char* tag = " [GetLaheyRec]";
    std::int64_t length = 0, trailing = 0;
    Status s = readLeading(file, length, trailing);
    if (!s) return std::move(s).tag(tag);
    if (length > MaxHarBuf) return Result<RecordView>::fail(std::string("File record too long") + tag);
    // A record that fits the read-ahead buffer is used where it lies: no copy.
    const std::int64_t tsize = trailingSize(file.flavour(), trailing);
    if (const std::uint8_t* p = file.peek(length + tsize)) {
        if (file.flavour() == RecordFlavour::Fujitsu) {
            if (readI32(p + length) != trailing) s = Status::fail("Bad RecLenCheck value [FujiChkRecLen]");
        } else {
            s = checkLaheyTrailer(p + length, static_cast<int>(tsize), trailing);
        }
        if (!s) return std::move(s).tag(tag);
        file.consume(length + tsize);
        return RecordView{p, length};
    }
    std::uint8_t* buf = file.recordBuffer(length + 1);
    s = FileRead(file, buf, length);
    if (!s) return std::move(s).tag(tag);
    s = checkTrailing(file, trailing);
    if (!s) return std::move(s).tag(tag);
    return RecordView{buf, length};
}

RecordFraming recordFraming(RecordFlavour flavour, std::int64_t length) {
    RecordFraming f;
    if (flavour == RecordFlavour::Fujitsu) {
        putI32(f.lead, static_cast<std::int32_t>(length));
        putI32(f.trail, static_cast<std::int32_t>(length));
        f.leadSize = f.trailSize = 4;
        return f;
    }
    // The trailing marker carries the length plus the leading marker's
    // size, its bytes in reverse order.
    f.leadSize = encodeLaheyMarker(length, f.lead);
    std::uint8_t m[4];
    f.trailSize = encodeLaheyMarker(length + f.leadSize, m);
    for (int k = 0; k < f.trailSize; ++k) f.trail[k] = m[f.trailSize - 1 - k];
    return f;
}

Status WriteLaheyRec(LaheyFile& file, const void* bytes, std::int64_t length) {
    if (length < 0 || length > INT32_MAX) return Status::fail(std::string(kNoSpace) + " [WriteLaheyRec]");
    const RecordFraming f = recordFraming(file.flavour(), length);
    if (!file.writeBytes(f.lead, f.leadSize) || !file.writeBytes(bytes, length) ||
        !file.writeBytes(f.trail, f.trailSize))
        return Status::fail(std::string(kNoSpace) + " [WriteLaheyRec]");
    return Status::ok();
}

Status WriteRecBuf(LaheyFile& file, const void* struc, std::int64_t strucSize, std::int64_t elemSize,
                   std::int64_t count, const void* elems) {
    const char* tag = " [WriteRecBuf]";
    const std::int64_t total = 4 + strucSize + count * elemSize;
    if (strucSize < 0 || elemSize < 0 || count < 0 || total > INT32_MAX)
        return Status::fail(std::string(kNoSpace) + tag);
    const RecordFraming f = recordFraming(file.flavour(), total);
    if (!file.writeBytes(f.lead, f.leadSize)) return Status::fail(std::string(kNoSpace) + tag);
    if (!file.writeBytes(kRecordFiller, 4)) return Status::fail(std::string(kNoSpace) + tag);
    if (strucSize > 0 && !file.writeBytes(struc, strucSize)) return Status::fail(std::string(kNoSpace) + tag);
    if (count > 0 && elemSize > 0 && !file.writeBytes(elems, count * elemSize))
        return Status::fail(std::string(kNoSpace) + tag);
    if (!file.writeBytes(f.trail, f.trailSize)) return Status::fail(std::string(kNoSpace) + tag);
    return Status::ok();
}

Result<RecBuf> GetRecBuf(LaheyFile& file, std::int64_t strucSize, std::int64_t elemSize) {
    const char* tag = " [GetRecBuf]";
    if (elemSize <= 0) return Result<RecBuf>::fail(std::string("sizelms=0") + tag);
    auto rec = GetLaheyRec(file);
    if (!rec) return std::move(rec).tag(tag).status();
    if (rec->length < strucSize + 4)
        return Result<RecBuf>::fail("Record too Short " + std::to_string(rec->length) + "/" +
                                    std::to_string(strucSize + 4) + tag);
    const std::int64_t rest = rec->length - strucSize - 4;
    if (rest % elemSize != 0) return Result<RecBuf>::fail(std::string("Non-Unit Record Length") + tag);
    RecBuf out;
    out.struc = rec->data + 4;
    out.elems = rec->data + 4 + strucSize;
    out.count = rest / elemSize;
    return out;
}

Status SkipHead(LaheyFile& file, bool& found, std::array<char, 4>& bytes) {
    const char* tag = " [SkipHead]";
    found = false;
    for (;;) {
        if (file.atEnd()) return Status::ok();
        std::int64_t length = 0, trailing = 0;
        Status s = readLeading(file, length, trailing);
        if (!s) return std::move(s).tag(tag);
        if (length == 4) {
            std::uint8_t b[4];
            s = FileRead(file, b, 4);
            if (!s) return std::move(s).tag(tag);
            s = checkTrailing(file, trailing);
            if (!s) return std::move(s).tag(tag);
            for (int k = 0; k < 4; ++k) bytes[k] = static_cast<char>(b[k]);
            found = true;
            return Status::ok();
        }
        // A record cut short by the end of the file ends the scan.
        if (!file.skip(length + trailingSize(file.flavour(), trailing))) return Status::ok();
    }
}

Status SeekHead(LaheyFile& file, bool& found) {
    const char* tag = " [SkipHead]";
    found = false;
    const std::int64_t end = file.size();
    std::int64_t pos = file.tell();
    if (end < 0 || pos < 0) return Status::fail(std::string("Unexpected end-of-file [FileRead]") + tag);
    const bool fuji = file.flavour() == RecordFlavour::Fujitsu;
    // Markers are read through a small window: one read at the end of a
    // large record brings its trailing marker, the next leading marker and,
    // when the next record is small (a range record), that whole record and
    // the marker after it.  So walking a header's blocks costs one read each.
    constexpr std::int64_t kWindow = 256;
    std::uint8_t win[kWindow];
    std::int64_t winPos = -1, winLen = 0;
    auto bytesAt = [&](std::int64_t p, std::int64_t n, std::uint8_t* out) {
        if (winPos < 0 || p < winPos || p + n > winPos + winLen) {
            const std::int64_t want = std::min(kWindow, end - p);
            if (want < n || file.readAt(p, win, want) != want) return false;
            winPos = p;
            winLen = want;
        }
        std::memcpy(out, win + (p - winPos), static_cast<std::size_t>(n));
        return true;
    };
    for (;;) {
        if (pos >= end) {
            if (!file.seekTo(end))
                return Status::fail(std::string("Unexpected end-of-file [FileRead]") + tag);
            return Status::ok();
        }
        std::uint8_t lead[4] = {0, 0, 0, 0};
        std::int64_t length = 0, trailing = 0, leadSize = 0;
        if (fuji) {
            if (!bytesAt(pos, 4, lead))
                return Status::fail(std::string("Unexpected end-of-file [FileRead] [FujiGetRecLen]") + tag);
            length = trailing = readI32(lead);
            if (length < 0) return Status::fail(std::string("RecLen<0 [FujiGetRecLen]") + tag);
            leadSize = 4;
        } else {
            if (!bytesAt(pos, 1, lead))
                return Status::fail(std::string("Unexpected end-of-file [FileRead] [GetRecLen]") + tag);
            leadSize = (lead[0] & 3) + 1;
            if (!bytesAt(pos, leadSize, lead))
                return Status::fail(std::string("Unexpected end-of-file [FileRead] [GetRecLen]") + tag);
            length = (lead[0] >> 2) + lead[1] * 64LL * (leadSize > 1) + lead[2] * 16384LL * (leadSize > 2) +
                     lead[3] * 4194304LL * (leadSize > 3);
            trailing = length + leadSize;
        }
        if (length == 4) {
            if (!file.seekTo(pos))
                return Status::fail(std::string("Unexpected end-of-file [FileRead]") + tag);
            found = true;
            return Status::ok();
        }
        const std::int64_t tsize = trailingSize(file.flavour(), trailing);
        const std::int64_t tpos = pos + leadSize + length;
        if (tpos + tsize > end) return Status::fail(std::string("Unexpected end-of-file [FileRead]") + tag);
        // The trailing marker is checked, so a damaged length is caught here
        // rather than sending the walk into the middle of a record.
        std::uint8_t trail[4] = {0, 0, 0, 0};
        if (!bytesAt(tpos, tsize, trail))
            return Status::fail(std::string("Unexpected end-of-file [FileRead]") + tag);
        Status s = fuji ? (readI32(trail) == trailing ? Status::ok()
                                                      : Status::fail("Bad RecLenCheck value [FujiChkRecLen]"))
                        : checkLaheyTrailer(trail, static_cast<int>(tsize), trailing);
        if (!s) return std::move(s).tag(tag);
        pos = tpos + tsize;
    }
}

Status GetHead(LaheyFile& file, bool& found, std::string& name) {
    std::array<char, 4> bytes{};
    Status s = SkipHead(file, found, bytes);
    if (!s) return std::move(s).tag(" [GetHead]");
    name.clear();
    if (found)
        for (char c : bytes) name += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    return Status::ok();
}

}  // namespace vdln
