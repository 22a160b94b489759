#include "formats/harindex.h"

#include "formats/harfile.h"

namespace vdln {

namespace {

std::string quoted(const std::string& s) {
    return "\"" + s + "\"";
}

bool isSpecialName(const std::string& n) {
    return n == "XXCD" || n == "XXCR" || n == "XXHS" || n == "XXFF";
}

}  // namespace

void HarReader::close() {
    m_file.closeQuietly();
    m_entries.clear();
    m_size = 0;
}

Status HarReader::open(const std::string& fileName) {
    const char* tag = " [ReadHarIndex]";
    close();
    m_name = fileName;
    Status s = OpenLaheyFile(m_file, fileName);
    if (!s) return std::move(s).tag(tag);
    m_flavour = m_file.flavour();
    m_size = m_file.size();
    std::int64_t ordinary = 0;
    for (;;) {
        bool found = false;
        // Over the previous header's data records by their markers alone.
        s = SeekHead(m_file, found);
        const std::int64_t here = m_file.tell();
        if (!m_entries.empty()) m_entries.back().endOffset = here;
        if (!s) break;
        if (!found) break;
        HarIndexEntry entry;
        entry.offset = here;
        std::string name;
        s = GetHead(m_file, found, name);
        if (!s) break;
        if (!found) break;
        bool detailsRead = false;
        std::string why;
        Status d = GetHeaderDetails(m_file, name, entry.details, detailsRead, why);
        if (!d) {
            entry.problem = d.message();
        } else if (!detailsRead) {
            entry.problem = "Bad details at header " + quoted(name) + "\r\n" + why + " [GetHeaderRecord]";
        } else if (entry.details.typeRead == "2R") {
            // Read whole, a real matrix becomes a real array: list it so.
            Turn2RShape(entry.details);
            TurnRLtoRE(entry.details);
            d = CompleteHeaderRecord(entry.details);
            if (!d) entry.problem = d.message();
        }
        if (!entry.problem.empty()) entry.details.name = normaliseHeaderName(name);
        if (!isSpecialName(entry.details.name) && ++ordinary > kMaxHeaders) {
            s = Status::fail("Too many headers: max is " + std::to_string(kMaxHeaders));
            break;
        }
        entry.endOffset = m_file.tell();
        m_entries.push_back(std::move(entry));
    }
    if (!s) return std::move(s).tag(tag);
    return Status::ok();
}

const HarIndexEntry* HarReader::find(std::string_view name) const {
    const std::string n = normaliseHeaderName(name);
    for (const auto& e : m_entries)
        if (e.details.name == n) return &e;
    return nullptr;
}

std::string HarReader::problems() const {
    std::string out;
    for (const auto& e : m_entries)
        if (!e.readable()) out += e.problem + "\r\n";
    return out;
}

Status HarReader::readDetailsAt(const HarIndexEntry& entry, HarHeader& h) {
    if (!m_file.isOpen()) return Status::fail("The file " + m_name + " is not open");
    if (!m_file.seekTo(entry.offset)) return Status::fail("Unexpected end-of-file [FileRead]");
    bool found = false;
    std::string name;
    Status s = GetHead(m_file, found, name);
    if (!s) return s;
    if (!found || normaliseHeaderName(name) != entry.details.name)
        return Status::fail("Header " + quoted(entry.details.name) + " is no longer where it was in " +
                            m_name);
    bool detailsRead = false;
    std::string why;
    s = GetHeaderDetails(m_file, name, h, detailsRead, why);
    if (!s) return s;
    if (!detailsRead)
        return Status::fail("Bad details at header " + quoted(name) + "\r\n" + why + " [GetHeaderRecord]");
    return Status::ok();
}

Result<PHarHeader> HarReader::readHeader(const HarIndexEntry& entry) {
    const std::string tag = " [ReadHeaderAt:" + entry.details.name + "]";
    if (!entry.readable()) return Result<PHarHeader>::fail(entry.problem + tag);
    auto h = std::make_unique<HarHeader>();
    Status s = readDetailsAt(entry, *h);
    if (s) s = ReadHeaderData(m_file, *h);
    if (s && h->typeRead == "2R") s = CompleteHeaderRecord(*h);
    if (!s) return std::move(s).tag(tag);
    return PHarHeader(std::move(h));
}

Result<HarSlice> HarReader::readSlice(const HarIndexEntry& entry, const HarSliceChoice& choice) {
    const std::string tag = " [ReadHeaderSlice:" + entry.details.name + "]";
    if (!entry.readable()) return Result<HarSlice>::fail(entry.problem + tag);
    Status s = checkSliceChoice(entry.details, choice);
    if (!s) return std::move(s).tag(tag);
    const HarHeader& d = entry.details;
    if (d.HeadType != "RE" || d.typeRead == "2R") {
        // Strings and matrices are two-dimensional already: read whole.
        auto h = readHeader(entry);
        if (!h) return std::move(h).tag(tag).status();
        auto slice = sliceOf(**h, choice);
        if (!slice) return std::move(slice).tag(tag);
        slice->replacedCount = (*h)->replacedCount;
        return slice;
    }
    HarHeader h;
    s = readDetailsAt(entry, h);
    if (s) s = checkSliceChoice(h, choice);
    if (!s) return std::move(s).tag(tag);
    HarSlice out = emptySlice(h, choice);
    const Dims7 dims = h.dims;
    const int R = choice.rowDim - 1, C = choice.colDim - 1;  // -1: none
    Dims7 target{1, 1, 1, 1, 1, 1, 1};
    for (int k = 0; k < std::min(h.NDim, 7); ++k)
        if (k != R && k != C) target[k] = choice.fixed[k];
    std::int64_t replaced = 0;
    if (h.storage == "FULL") {
        s = ReadRealBlocks(
            m_file, dims, [&](const std::int64_t lo[7], const std::int64_t hi[7], const std::uint8_t* reals) {
                std::int64_t stride[7];
                std::int64_t base = 0, step = 1;
                for (int k = 0; k < 7; ++k) {
                    stride[k] = step;
                    step *= hi[k] - lo[k] + 1;
                    if (k == R || k == C) continue;
                    if (target[k] < lo[k] || target[k] > hi[k]) return;  // the block misses the slice
                    base += (target[k] - lo[k]) * stride[k];
                }
                const std::int64_t r1 = R >= 0 ? lo[R] : 1, r2 = R >= 0 ? hi[R] : 1;
                const std::int64_t c1 = C >= 0 ? lo[C] : 1, c2 = C >= 0 ? hi[C] : 1;
                for (std::int64_t c = c1; c <= c2; ++c)
                    for (std::int64_t r = r1; r <= r2; ++r) {
                        const std::int64_t off = base + (R >= 0 ? (r - lo[R]) * stride[R] : 0) +
                                                 (C >= 0 ? (c - lo[C]) * stride[C] : 0);
                        replaced +=
                            copyRealsReplacing(&out.reals[out.index(r - 1, c - 1)], reals + 4 * off, 1);
                    }
            });
    } else if (h.storage == "SPSE") {
        s = ReadSparseEntries(
            m_file, dims, [&](const std::uint8_t* pos, const std::uint8_t* reals, std::int32_t n) {
                for (std::ptrdiff_t i = 0; i < n; ++i) {
                    std::int64_t o = readI32(pos + 4 * i) - 1;
                    std::int64_t idx[7];
                    bool in = true;
                    for (int k = 0; k < 7; ++k) {
                        idx[k] = dims[k] > 0 ? o % dims[k] + 1 : 1;
                        o = dims[k] > 0 ? o / dims[k] : 0;
                        if (k != R && k != C && idx[k] != target[k]) in = false;
                    }
                    if (!in) continue;
                    const std::int64_t r = R >= 0 ? idx[R] : 1, c = C >= 0 ? idx[C] : 1;
                    replaced += copyRealsReplacing(&out.reals[out.index(r - 1, c - 1)], reals + 4 * i, 1);
                }
            });
    } else {
        s = Status::fail("Unrecognized Storage Method: " + quoted(h.storage));
    }
    if (!s) return std::move(s).tag(tag);
    out.replacedCount = replaced;
    return out;
}

}  // namespace vdln
