#include "formats/harheader.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

#if defined(__x86_64__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/besteffort.h"
#include "base/strutil.h"
#include "formats/harfile.h"

static_assert(std::endian::native == std::endian::little,
              "header array files are read as little-endian memory");

namespace vdln {

namespace {

std::string str(std::int64_t v) {
    return std::to_string(v);
}

std::string quoted(const std::string& s) {
    return "\"" + s + "\"";
}

std::string_view rightBlanksTrimmed(std::string_view s) {
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

std::string trimRightBlanks(std::string_view s) {
    return std::string(rightBlanksTrimmed(s));
}

std::string padOrCut(const std::string& s, std::size_t n) {
    std::string out = s.substr(0, std::min(n, s.size()));
    out.resize(n, ' ');
    return out;
}

void putChars(std::vector<std::uint8_t>& out, const std::string& s, std::size_t n) {
    std::string p = padOrCut(s, n);
    out.insert(out.end(), p.begin(), p.end());
}

void putInt(std::vector<std::uint8_t>& out, std::int32_t v) {
    std::uint8_t b[4];
    putI32(b, v);
    out.insert(out.end(), b, b + 4);
}

// Replaces the infinities and NaNs among `n` reals by 424242.0; returns the
// number replaced.
std::int64_t replaceNonFinite(std::uint32_t* w, std::int64_t n) {
    constexpr std::uint32_t kExp = 0x7F800000u;
    const std::uint32_t replacement = std::bit_cast<std::uint32_t>(kReplacedReal);
    std::int64_t bad = 0;
    for (std::int64_t k = 0; k < n; ++k)
        if ((w[k] & kExp) == kExp) {
            w[k] = replacement;
            ++bad;
        }
    return bad;
}

// True when one of `n` reals is an infinity or a NaN (see `copyReals`), checked four at a time.
bool anyNonFiniteGeneric(const std::uint32_t* w, std::int64_t n) {
    constexpr std::uint32_t kExp = 0x7F800000u, kCarry = 0x00800000u;
    using V4 = std::uint32_t __attribute__((vector_size(16)));
    V4 acc0 = {0, 0, 0, 0}, acc1 = {0, 0, 0, 0};
    std::int64_t i = 0;
    for (; i + 8 <= n; i += 8) {
        V4 a, b;
        std::memcpy(&a, w + i, 16);
        std::memcpy(&b, w + i + 4, 16);
        acc0 |= (a & kExp) + kCarry;
        acc1 |= (b & kExp) + kCarry;
    }
    acc0 |= acc1;
    std::uint32_t any = acc0[0] | acc0[1] | acc0[2] | acc0[3];
    for (; i < n; ++i) any |= (w[i] & kExp) + kCarry;
    return (any & 0x80000000u) != 0;
}

// Copies `n` reals from a record into `dest`, replacing infinities and NaNs
// by 424242.0; returns the number replaced.  A real is non-finite when its
// exponent bits are all ones, which is when (bits & 0x7F800000) + 0x00800000
// reaches bit 31.  The common all-finite case is one pass: each group of
// four words is checked as it is copied, and stored past the caches (the
// array is far larger than they are and is not read again here), so the
// copy costs no read of the destination's memory.
std::int64_t copyReals(float* dest, const std::uint8_t* src, std::int64_t n) {
    if (n <= 0) return 0;
    auto* w = reinterpret_cast<std::uint32_t*>(dest);
#if defined(__SSE2__)
    constexpr std::int64_t kStreamed = 1024;  // shorter runs are copied through the caches
    if (n >= kStreamed) {
        constexpr std::uint32_t kExp = 0x7F800000u, kCarry = 0x00800000u;
        std::uint32_t any = 0;
        std::int64_t i = 0;
        for (; i < n && (reinterpret_cast<std::uintptr_t>(w + i) & 15) != 0; ++i) {
            std::memcpy(w + i, src + 4 * i, 4);
            any |= (w[i] & kExp) + kCarry;
        }
        const __m128i exp = _mm_set1_epi32(static_cast<int>(kExp));
        const __m128i carry = _mm_set1_epi32(static_cast<int>(kCarry));
        __m128i acc0 = _mm_setzero_si128(), acc1 = _mm_setzero_si128();
        for (; i + 8 <= n; i += 8) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * i));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * i + 16));
            acc0 = _mm_or_si128(acc0, _mm_add_epi32(_mm_and_si128(a, exp), carry));
            acc1 = _mm_or_si128(acc1, _mm_add_epi32(_mm_and_si128(b, exp), carry));
            _mm_stream_si128(reinterpret_cast<__m128i*>(w + i), a);
            _mm_stream_si128(reinterpret_cast<__m128i*>(w + i + 4), b);
        }
        _mm_sfence();
        acc0 = _mm_or_si128(acc0, acc1);
        std::uint32_t lanes[4];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), acc0);
        any |= lanes[0] | lanes[1] | lanes[2] | lanes[3];
        for (; i < n; ++i) {
            std::memcpy(w + i, src + 4 * i, 4);
            any |= (w[i] & kExp) + kCarry;
        }
        return (any & 0x80000000u) ? replaceNonFinite(w, n) : 0;
    }
#endif
    std::memcpy(dest, src, static_cast<std::size_t>(n) * 4);
    return anyNonFiniteGeneric(w, n) ? replaceNonFinite(w, n) : 0;
}

std::int64_t product7(const Dims7& d) {
    std::int64_t p = 1;
    for (auto x : d) p *= x;
    return p;
}

// ---------------------------------------------------------------- strings

// Reads the string records of a "1C" header or of an element record.
Status GetHarStrings(LaheyFile& file, std::int64_t count, std::int64_t length,
                     std::vector<std::string>& out) {
    const char* tag = " [GetHarStrings]";
    out.clear();
    if (count < 0 || length < 0) return Status::fail("Negative string count or length" + std::string(tag));
    const auto total = static_cast<unsigned __int128>(count) * static_cast<unsigned __int128>(length);
    if (total > static_cast<unsigned __int128>(MaxHarBuf))
        return Status::fail("Cannot read " + str(count) + " strings length " + str(length) + " (total size " +
                            str(static_cast<std::int64_t>(total)) +
                            ") since buffer size MaxHarBuf is set to just " + "8000000" + tag);
    // Strings are stored as they arrive, so memory follows the file's real
    // content rather than its declared count.
    for (;;) {
        auto rec = GetRecBuf(file, 12, length);
        if (!rec) return std::move(rec).tag(tag).status();
        const std::int32_t krec = readI32(rec->struc);
        const std::int32_t recTotal = readI32(rec->struc + 4);
        const std::int32_t here = readI32(rec->struc + 8);
        if (recTotal != count)
            return Status::fail("Unexpected number of strings in record" + std::string(tag));
        if (rec->count != here) return Status::fail("1C record wrong length" + std::string(tag));
        if (static_cast<std::int64_t>(out.size()) + here > count)
            return Status::fail("Too many strings in 1C record" + std::string(tag));
        // Room for the strings this record holds, at once: a long set is
        // not moved again and again as it grows.
        const std::size_t needed = out.size() + static_cast<std::size_t>(here);
        if (out.capacity() < needed) out.reserve(std::max(needed, 2 * out.capacity()));
        for (std::int64_t i = 0; i < here; ++i) {
            const std::string_view s = rightBlanksTrimmed(std::string_view(
                reinterpret_cast<const char*>(rec->elems) + i * length, static_cast<std::size_t>(length)));
            out.emplace_back(s.substr(0, 255));
        }
        if (krec == 1) break;
    }
    if (static_cast<std::int64_t>(out.size()) != count)
        return Status::fail("Too few strings in 1C record" + std::string(tag));
    return Status::ok();
}

// ---------------------------------------------------------------- description

struct Description {
    std::string type, storage, text;
    std::vector<std::int32_t> ints;
};

Status GetDesc(LaheyFile& file, Description& d) {
    const char* tag = " [GetDesc]";
    auto rec = GetRecBuf(file, 76, 4);
    if (!rec) return std::move(rec).tag(tag).status();
    const char* s = reinterpret_cast<const char*>(rec->struc);
    d.type.assign(s, 2);
    d.storage.assign(s + 2, 4);
    d.text = trimRightBlanks(std::string_view(s + 6, 70));
    auto expected = GetIntsExpected(d.type, d.storage);
    if (!expected) return std::move(expected).tag(tag).status();
    if (rec->count != *expected) return Status::fail("Description Record wrong length" + std::string(tag));
    d.ints.clear();
    for (std::int64_t i = 0; i < rec->count; ++i) d.ints.push_back(readI32(rec->elems + 4 * i));
    return Status::ok();
}

Status WriteDesc(LaheyFile& file, const std::string& type, const std::string& storage,
                 const std::string& text, const std::vector<std::int32_t>& ints) {
    const char* tag = " [WriteDesc]";
    auto expected = GetIntsExpected(type, storage);
    if (!expected) return std::move(expected).tag(tag).status();
    if (static_cast<int>(ints.size()) != *expected) return Status::fail("Bad NInts" + std::string(tag));
    std::vector<std::uint8_t> struc;
    putChars(struc, type, 2);
    putChars(struc, storage, 4);
    putChars(struc, text, 70);
    std::vector<std::uint8_t> elems;
    for (auto v : ints) putInt(elems, v);
    Status s = WriteRecBuf(file, struc.data(), 76, 4, static_cast<std::int64_t>(ints.size()), elems.data());
    if (!s) return std::move(s).tag(tag);
    return Status::ok();
}

Status writeNameRecord(LaheyFile& file, const std::string& name) {
    std::string n = padOrCut(name, 4);
    return WriteLaheyRec(file, n.data(), 4);
}

// ---------------------------------------------------------------- set information

// Reads the bytes of the set-information record with bounds checks.
class ByteReader {
public:
    ByteReader(const std::uint8_t* p, std::int64_t n) : m_p(p), m_n(n) {}
    bool i32(std::int32_t& v) {
        if (m_pos + 4 > m_n) return false;
        v = readI32(m_p + m_pos);
        m_pos += 4;
        return true;
    }
    bool chars(std::string& s, std::int64_t n) {
        if (m_pos + n > m_n) return false;
        s.assign(reinterpret_cast<const char*>(m_p + m_pos), static_cast<std::size_t>(n));
        m_pos += n;
        return true;
    }

private:
    const std::uint8_t* m_p;
    std::int64_t m_n;
    std::int64_t m_pos = 0;
};

Status GetOrgREData(LaheyFile& file, HarHeader& h) {
    const char* tag = " [GetOrgREData]";
    auto rec = GetRecBuf(file, 0, 1);
    if (!rec) return std::move(rec).tag(tag).status();
    ByteReader in(rec->elems, rec->count);
    REDetails& re = h.re;
    std::int32_t flag = 0;
    std::string s;
    const std::string shortText = "Set information record too short" + std::string(tag);
    if (!in.i32(re.SetsToRead) || !in.i32(flag)) return Status::fail(shortText);
    re.setDimsKnown = flag != 0;
    if (!in.i32(re.OrigNDim)) return Status::fail(shortText);
    if (re.OrigNDim < 0 || re.OrigNDim > 7)
        return Status::fail("Set information describes " + str(re.OrigNDim) + " dimensions: max is 7" + tag);
    if (!in.chars(s, 12)) return Status::fail(shortText);
    re.coefName = cleanSetName(s);
    if (!in.i32(flag)) return Status::fail(shortText);
    re.setNamesKnown = flag != 0;
    const int nd = re.OrigNDim;
    for (int k = 0; k < nd; ++k) {
        if (!in.chars(s, 12)) return Status::fail(shortText);
        re.setNames[k] = cleanSetName(s);
    }
    for (int k = 0; k < nd; ++k) {
        if (!in.chars(s, 1)) return Status::fail(shortText);
        re.RDelst[k] = s[0];
    }
    for (int k = 0; k < nd; ++k)
        if (!in.i32(re.numbers[k])) return Status::fail(shortText);
    if (!in.i32(re.NEltrd)) return Status::fail(shortText);
    if (re.NEltrd < 0 || re.NEltrd > 7)
        return Status::fail("Set information holds " + str(re.NEltrd) + " element names: max is 7" + tag);
    for (int j = 0; j < re.NEltrd; ++j) {
        if (!in.chars(s, 12)) return Status::fail(shortText);
        re.eltNames[j] = cleanSetName(s);
    }

    int setsRead = 0;
    int eCount = 0;
    for (int k = 0; k < nd; ++k) {
        char& st = re.RDelst[k];
        if (st == 'n') st = 'u';
        if (st == 'k') {
            int earlier = -1;
            for (int j = 0; j < k; ++j)
                if (re.RDelst[j] == 'k' && re.setNames[j] == re.setNames[k]) {
                    earlier = j;
                    break;
                }
            if (earlier >= 0) {
                h.SetElements[k] = h.SetElements[earlier];
            } else {
                std::vector<std::string> names;
                Status r = GetHarStrings(file, h.dims[k], 12, names);
                if (!r) return std::move(r).tag(tag);
                h.SetElements[k] = std::move(names);
                ++setsRead;
            }
            for (int j = 0; j < k; ++j)
                if (re.RDelst[j] == 'k' && re.setNames[j] == re.setNames[k] && h.dims[j] != h.dims[k])
                    return Status::fail("Set " + re.setNames[k] + " has 2 different sizes in same header. " +
                                        tag);
        } else if (st == 'u') {
        } else if (st == 'e') {
            h.SetElements[k] =
                std::vector<std::string>{eCount < re.NEltrd ? re.eltNames[eCount] : std::string()};
            ++eCount;
        } else {
            return Status::fail("RDelst not k, e, u or n" + std::string(tag));
        }
    }
    if (eCount != re.NEltrd)
        return Status::fail("neltrd mismatch: J=" + str(eCount) + ",NEltrd=" + str(re.NEltrd) + tag);
    if (setsRead != re.SetsToRead) return Status::fail("SetsToRead mismatch" + std::string(tag));
    return Status::ok();
}

void TransferREData(HarHeader& h) {
    REDetails& re = h.re;
    for (int k = 0; k < re.OrigNDim; ++k)
        if (re.RDelst[k] == 'u' && iequals(re.setNames[k], "Unk" + str(h.dims[k]))) re.setNames[k].clear();
    h.NDim = re.OrigNDim;
    int e = 0;
    for (int k = 0; k < 7; ++k) {
        h.dimLabels[k].clear();
        if (k >= re.OrigNDim) continue;
        if (re.RDelst[k] == 'e') {
            h.dimLabels[k] = e < re.NEltrd ? re.eltNames[e] : std::string();
            ++e;
        } else {
            h.dimLabels[k] = re.setNames[k];
        }
    }
}

Status WriteOrgREData(LaheyFile& file, const HarHeader& h) {
    const char* tag = " [WriteOrgREData]";
    const REDetails& re = h.re;
    const int nd = re.OrigNDim;
    std::vector<int> firstK;
    for (int k = 0; k < nd; ++k) {
        if (re.RDelst[k] != 'k') continue;
        if (!h.SetElements[k]) return Status::fail("nil SetElements for i=" + str(k + 1) + tag);
        if (static_cast<std::int64_t>(h.SetElements[k]->size()) != h.HeadMat.dim(k + 1))
            return Status::fail(
                "Set " + re.setNames[k] + " has " + str(static_cast<std::int64_t>(h.SetElements[k]->size())) +
                " elements but dimension " + str(k + 1) + " has size " + str(h.HeadMat.dim(k + 1)) + tag);
        bool seen = false;
        for (int j = 0; j < k; ++j)
            if (re.RDelst[j] == 'k' && re.setNames[j] == re.setNames[k]) seen = true;
        if (!seen) firstK.push_back(k);
    }
    std::vector<std::string> elts;
    for (int k = 0; k < nd; ++k)
        if (re.RDelst[k] == 'e') elts.push_back(re.eltNames[elts.size()]);
    std::vector<std::uint8_t> b;
    putInt(b, static_cast<std::int32_t>(firstK.size()));
    putInt(b, re.setDimsKnown ? -1 : 0);
    putInt(b, nd);
    putChars(b, re.coefName, 12);
    putInt(b, re.setNamesKnown ? -1 : 0);
    for (int k = 0; k < nd; ++k) putChars(b, re.setNames[k], 12);
    for (int k = 0; k < nd; ++k) b.push_back(static_cast<std::uint8_t>(re.RDelst[k]));
    for (int k = 0; k < nd; ++k) putInt(b, re.numbers[k]);
    putInt(b, static_cast<std::int32_t>(elts.size()));
    for (const auto& e : elts) putChars(b, e, 12);
    Status s = WriteRecBuf(file, nullptr, 0, 1, static_cast<std::int64_t>(b.size()), b.data());
    if (!s) return std::move(s).tag(tag);
    for (int k : firstK) {
        const auto& names = *h.SetElements[k];
        const auto n = static_cast<std::int32_t>(names.size());
        std::vector<std::uint8_t> struc, el;
        putInt(struc, 1);
        putInt(struc, n);
        putInt(struc, n);
        for (const auto& nm : names) putChars(el, nm, 12);
        s = WriteRecBuf(file, struc.data(), 12, 12, n, el.data());
        if (!s) return std::move(s).tag(tag);
    }
    return Status::ok();
}

// ---------------------------------------------------------------- real arrays

// Stores one block of reals covering the given 1-based ranges.
std::int64_t storeBlock(HeadMat& mat, const std::int64_t lo[7], const std::int64_t hi[7],
                        const std::uint8_t* src) {
    const Dims7& d = mat.dims();
    float* root = mat.Root();
    // Leading dimensions covered whole merge into one contiguous run.
    std::int64_t run = 1;
    int k = 0;
    while (k < 7 && lo[k] == 1 && hi[k] == d[k]) run *= d[k++];
    int outer = k;
    if (k < 7) {
        run *= hi[k] - lo[k] + 1;
        outer = k + 1;
    }
    std::int64_t replaced = 0;
    std::int64_t idx[7];
    for (int j = 0; j < 7; ++j) idx[j] = lo[j];
    std::int64_t done = 0;
    for (;;) {
        replaced += copyReals(root + mat.offset({idx[0], idx[1], idx[2], idx[3], idx[4], idx[5], idx[6]}),
                              src + 4 * done, run);
        done += run;
        int j = outer;
        while (j < 7) {
            if (++idx[j] <= hi[j]) break;
            idx[j] = lo[j];
            ++j;
        }
        if (j >= 7) break;
    }
    return replaced;
}

// The structure of a range record: its record number, then the first and
// last index of each of the seven dimensions.
constexpr std::int64_t kRangeStrucSize = 60;
void putRangeStruc(std::uint8_t* struc, std::int32_t krec, const std::int64_t lo[7],
                   const std::int64_t hi[7]) {
    putI32(struc, krec);
    for (std::ptrdiff_t k = 0; k < 7; ++k) {
        putI32(struc + 4 + 8 * k, static_cast<std::int32_t>(lo[k]));
        putI32(struc + 8 + 8 * k, static_cast<std::int32_t>(hi[k]));
    }
}

// Reads range and value records up to KREC 1, handing each block, checked
// to lie inside the array, to `block`.
Status readRealPairs(LaheyFile& file, const Dims7& dims, const RealBlockSink& block) {
    const char* tag = " [GetRLData]";
    for (;;) {
        auto range = GetRecBuf(file, kRangeStrucSize, 4);
        if (!range) return std::move(range).tag(tag).status();
        std::int64_t lo[7], hi[7];
        // The product of seven ranges read from the file can exceed 64 bits.
        unsigned __int128 expected = 1;
        bool inside = true;
        for (std::ptrdiff_t k = 0; k < 7; ++k) {
            lo[k] = readI32(range->struc + 4 + 8 * k);
            hi[k] = readI32(range->struc + 8 + 8 * k);
            if (lo[k] < 1 || hi[k] > dims[k] || hi[k] < lo[k] - 1) inside = false;
            const std::int64_t len = std::max<std::int64_t>(0, hi[k] - lo[k] + 1);
            if (expected != 0)
                expected = len == 0 ? 0
                                    : std::min<unsigned __int128>(expected * static_cast<unsigned>(len),
                                                                  static_cast<unsigned __int128>(1) << 80);
        }
        auto values = GetRecBuf(file, 4, 4);
        if (!values) return std::move(values).tag(tag).status();
        if (!inside) return Status::fail("Range record outside the array's dimensions" + std::string(tag));
        if (static_cast<unsigned __int128>(values->count) != expected)
            return Status::fail("RL record wrong length" + std::string(tag));
        if (expected > 0) block(lo, hi, values->elems);
        if (readI32(values->struc) == 1) break;
    }
    return Status::ok();
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) bool anyNonFiniteAvx2(const std::uint32_t* w, std::int64_t n) {
    constexpr std::uint32_t kExp = 0x7F800000u, kCarry = 0x00800000u;
    const __m256i exp = _mm256_set1_epi32(static_cast<int>(kExp));
    const __m256i carry = _mm256_set1_epi32(static_cast<int>(kCarry));
    __m256i acc0 = _mm256_setzero_si256(), acc1 = _mm256_setzero_si256();
    std::int64_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w + i));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w + i + 8));
        acc0 = _mm256_or_si256(acc0, _mm256_add_epi32(_mm256_and_si256(a, exp), carry));
        acc1 = _mm256_or_si256(acc1, _mm256_add_epi32(_mm256_and_si256(b, exp), carry));
    }
    // Bit 31 of a lane is the top bit of its fourth byte.
    bool any = (static_cast<unsigned>(_mm256_movemask_epi8(_mm256_or_si256(acc0, acc1))) & 0x88888888u) != 0;
    for (; i < n; ++i) any = any || (((w[i] & kExp) + kCarry) & 0x80000000u) != 0;
    return any;
}
#endif

// Replaces the infinities and NaNs among `n` reals in place by 424242.0;
// returns the number replaced.  Reals read straight into place are checked
// right after the read, while they are still in the cache.
std::int64_t checkRealsInPlace(float* p, std::int64_t n) {
    auto* w = reinterpret_cast<std::uint32_t*>(p);
#if defined(__x86_64__)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    const bool any = avx2 ? anyNonFiniteAvx2(w, n) : anyNonFiniteGeneric(w, n);
#else
    const bool any = anyNonFiniteGeneric(w, n);
#endif
    return any ? replaceNonFinite(w, n) : 0;
}

// Full arrays of at least this many reals are read straight into place.
constexpr std::int64_t kInPlaceFrom = std::int64_t{256} * 1024;
// Data bytes per read into place when the reals are checked on the
// reader's thread: the reals just read are checked while they are still
// in the cache.
constexpr std::int64_t kInPlaceBatchBytes = std::int64_t{256} * 1024;
// From this many reals (16 MB) the check runs on a thread of its own, and
// each read brings this many bytes: fewer, longer reads, each checked
// while the next one is read.  Below it, starting a thread costs about as
// much as the check it would hide.
constexpr std::int64_t kCheckOnThreadFrom = std::int64_t{4} * 1024 * 1024;
constexpr std::int64_t kInPlaceThreadBatchBytes = std::int64_t{4} * 1024 * 1024;

// The check for infinities and NaNs of the reals read into place, which
// grow as a prefix of the array: `readUpTo(n)` says the first `n` reals are
// read, `finish()` gives the number replaced once all of those are checked.
// On a thread of its own the check of one stretch runs while the next is
// read.  That thread touches only the reals handed to it, which the reader
// never touches again, and it is joined before the reader goes on in any
// other way (and by the destructor), so nothing else is shared.  It starts
// with every signal blocked: signals stay with the threads that handle
// them.  When the process has no processor besides the reader's, or no
// thread can be started, the check runs on the reader's thread.
class InPlaceCheck {
public:
    InPlaceCheck(float* root, bool onThread) : m_root(root) {
        if (!onThread || !otherProcessors(m_processors)) return;
        sigset_t all, old;
        ::sigfillset(&all);
        if (::pthread_sigmask(SIG_SETMASK, &all, &old) != 0) return;
        try {
            m_thread = std::thread([this] { run(); });
        } catch (const std::system_error&) {
            // No thread to be had (the process is at its limit): the
            // reader's thread checks.
        }
        ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
        // Kept off the reader's processor.  Should the system refuse, the
        // check still runs, only perhaps by turns with the reader.
        if (!m_thread.joinable()) return;
        if (const int e =
                ::pthread_setaffinity_np(m_thread.native_handle(), sizeof m_processors, &m_processors);
            e != 0)
            bestEffort(
                Status::fail(std::string("cannot keep the check of an array off the reader's processor: ") +
                             std::strerror(e)),
                "the check runs all the same");
    }
    ~InPlaceCheck() { finish(); }
    bool onThread() const { return m_thread.joinable(); }
    InPlaceCheck(const InPlaceCheck&) = delete;
    InPlaceCheck& operator=(const InPlaceCheck&) = delete;

    void readUpTo(std::int64_t n) {
        if (!m_thread.joinable()) {
            checkUpTo(n);
            return;
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_readUpTo = n;
        }
        m_wake.notify_one();
    }

    std::int64_t finish() {
        if (m_thread.joinable()) {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_done = true;
            }
            m_wake.notify_one();
            m_thread.join();
        }
        return m_replaced;
    }

private:
    void checkUpTo(std::int64_t n) {
        if (n > m_checked) m_replaced += checkRealsInPlace(m_root + m_checked, n - m_checked);
        m_checked = std::max(m_checked, n);
    }

    // The processors this process may run on other than the reader's
    // own.  Left to itself the system tends to wake the checking thread on
    // the processor of the reader that wakes it, where the two take turns
    // instead of running side by side.  None: nothing to gain from a thread.
    static bool otherProcessors(cpu_set_t& set) {
        CPU_ZERO(&set);
        const int here = ::sched_getcpu();
        if (here < 0 || ::sched_getaffinity(0, sizeof set, &set) != 0) return false;
        CPU_CLR(here, &set);
        return CPU_COUNT(&set) > 0;
    }

    void run() {
        for (;;) {
            std::int64_t upTo = 0;
            bool done = false;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_wake.wait(lock, [&] { return m_done || m_readUpTo > m_checked; });
                upTo = m_readUpTo;
                done = m_done;
            }
            checkUpTo(upTo);
            if (done) return;
        }
    }

    float* m_root;
    cpu_set_t m_processors{};
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::int64_t m_readUpTo = 0;  // guarded by m_mutex
    bool m_done = false;          // guarded by m_mutex
    // The thread's own while it runs, the reader's once it is joined.
    std::int64_t m_checked = 0, m_replaced = 0;
    std::thread m_thread;
};
// Pieces per read: two per block, well inside the system's limit (1024).
constexpr std::size_t kInPlaceMaxPieces = std::size_t{3} * 300;
// Room for one block's framing, range record and record number.
constexpr std::size_t kInPlaceSlot = 128;

// Reads the blocks of a full real array straight into the array, when the
// file lays them out as this program's writer does.  A batch of blocks is
// read with one system call: each block's data into its place in the
// array, its framing, range record and record number beside it.  These are
// then compared, byte for byte, with what the layout predicts; a block
// that matches is exactly the block the record-by-record reader would have
// read and stored.  At the first block that does not match or was not read
// whole, whatever the batch wrote into the array from there on is cleared
// again (the layout's blocks do not overlap, so nothing stored before is
// touched) and the file is left at the start of that block, for the
// record-by-record reader to go on from.  Returns whether every block was
// read.
Result<bool> readBlocksInPlace(LaheyFile& file, HarHeader& h) {
    const FullBlockLayout layout = fullBlockLayout(h.dims);
    const std::int64_t blocks = layout.blocks();
    std::int64_t pos = file.tell();
    if (pos < 0 || 2 * blocks > INT32_MAX) return false;
    const RecordFlavour flavour = file.flavour();
    const RecordFraming rangeFraming = recordFraming(flavour, 4 + kRangeStrucSize);
    struct Planned {
        float* dest;
        std::int64_t bytes;   // of data
        std::int64_t prefix;  // bytes before the data: range record, value record's start
        std::int64_t suffix;  // bytes after it: the value record's trailing marker
        std::size_t framing;  // where its prefix and suffix are in the framing bytes
    };
    std::vector<Planned> plan;
    std::vector<iovec> pieces;
    // The framing bytes of a batch in file order (each block's prefix and
    // suffix), as predicted and as read: a block's suffix and the next
    // block's prefix are one piece of the read.
    std::vector<std::uint8_t> want, got;
    float* root = h.HeadMat.Root();
    InPlaceCheck check(root, h.HeadMat.size() >= kCheckOnThreadFrom);
    const bool onThread = check.onThread();
    std::int64_t done = 0;
    std::int64_t readReals = 0;  // the first reals of the array, read into place
    // The first batch is one block: a file laid out otherwise costs one
    // small read.
    std::int64_t batchBlocks = 1;
    while (done < blocks) {
        plan.clear();
        pieces.clear();
        const std::int64_t most =
            std::min({blocks - done, batchBlocks, static_cast<std::int64_t>(kInPlaceMaxPieces / 2)});
        if (want.size() < static_cast<std::size_t>(most) * kInPlaceSlot) {
            want.resize(static_cast<std::size_t>(most) * kInPlaceSlot);
            got.resize(want.size());
        }
        // With the check on its own thread, the check of the last batch
        // is waited for: towards the end a batch is a quarter of the bytes
        // left (as many bytes as reals left), so that last check is short.
        const std::int64_t batchBytes =
            onThread ? std::clamp(h.HeadMat.size() - readReals, kInPlaceBatchBytes, kInPlaceThreadBatchBytes)
                     : kInPlaceBatchBytes;
        std::size_t used = 0;
        std::int64_t data = 0;
        for (std::int64_t b = done; b < done + most; ++b) {
            if (data >= batchBytes) break;
            std::int64_t lo[7], hi[7];
            layout.range(b, lo, hi);
            const std::int64_t count = layout.reals(lo, hi);
            const RecordFraming valueFraming = recordFraming(flavour, 8 + 4 * count);
            const std::size_t at = used;
            auto put = [&](const void* bytes, std::size_t n) {
                std::memcpy(want.data() + used, bytes, n);
                used += n;
            };
            put(rangeFraming.lead, static_cast<std::size_t>(rangeFraming.leadSize));
            put(kRecordFiller, 4);
            std::uint8_t struc[kRangeStrucSize];
            putRangeStruc(struc, static_cast<std::int32_t>(2 * (blocks - b)), lo, hi);
            put(struc, sizeof struc);
            put(rangeFraming.trail, static_cast<std::size_t>(rangeFraming.trailSize));
            put(valueFraming.lead, static_cast<std::size_t>(valueFraming.leadSize));
            put(kRecordFiller, 4);
            std::uint8_t krec[4];
            putI32(krec, static_cast<std::int32_t>(2 * (blocks - b) - 1));
            put(krec, 4);
            const auto prefix = static_cast<std::int64_t>(used - at);
            put(valueFraming.trail, static_cast<std::size_t>(valueFraming.trailSize));
            Planned p{root + h.HeadMat.offset({lo[0], lo[1], lo[2], lo[3], lo[4], lo[5], lo[6]}), 4 * count,
                      prefix, valueFraming.trailSize, at};
            if (plan.empty())
                pieces.push_back({got.data() + at, static_cast<std::size_t>(p.prefix)});
            else
                pieces.back().iov_len += static_cast<std::size_t>(p.prefix);  // after the last suffix
            pieces.push_back({p.dest, static_cast<std::size_t>(p.bytes)});
            pieces.push_back({got.data() + at + p.prefix, static_cast<std::size_t>(p.suffix)});
            plan.push_back(p);
            data += p.bytes;
        }
        const std::int64_t n = file.readScatteredAt(pos, pieces.data(), static_cast<int>(pieces.size()));
        // The blocks read whole and as predicted, in order.
        std::size_t matched = 0;
        std::int64_t off = 0;
        for (; matched < plan.size(); ++matched) {
            const Planned& p = plan[matched];
            if (n < off + p.prefix + p.bytes + p.suffix) break;
            if (std::memcmp(got.data() + p.framing, want.data() + p.framing,
                            static_cast<std::size_t>(p.prefix + p.suffix)) != 0)
                break;
            off += p.prefix + p.bytes + p.suffix;
        }
        // The layout's blocks follow each other in the array, so the
        // blocks read so far are its first reals.
        if (matched > 0) {
            readReals = plan[matched - 1].dest - root + plan[matched - 1].bytes / 4;
            check.readUpTo(readReals);
        }
        // What the read put into the places of the other blocks goes.
        std::int64_t start = off;
        for (std::size_t i = matched; i < plan.size(); ++i) {
            const Planned& p = plan[i];
            const std::int64_t written =
                n < 0 ? p.bytes : std::clamp<std::int64_t>(n - (start + p.prefix), 0, p.bytes);
            if (written > 0) std::memset(p.dest, 0, static_cast<std::size_t>(written));
            start += p.prefix + p.bytes + p.suffix;
        }
        pos += off;
        done += static_cast<std::int64_t>(matched);
        if (matched < plan.size()) break;
        batchBlocks = blocks;
    }
    h.replacedCount += check.finish();
    if (!file.seekTo(pos)) return Result<bool>::fail("Unexpected end-of-file [FileRead]");
    return done == blocks;
}

Status GetRLData(LaheyFile& file, HarHeader& h) {
    const char* tag = " [GetRLData]";
    Status s = AllocMat7(h.HeadMat, h.dims);
    if (!s) return std::move(s).tag(tag);
    auto dimRec = GetLaheyRec(file);
    if (!dimRec) return std::move(dimRec).tag(tag).status();
    if (product7(h.dims) >= kInPlaceFrom) {
        auto inPlace = readBlocksInPlace(file, h);
        if (!inPlace) return std::move(inPlace).tag(tag).status();
        if (*inPlace) return Status::ok();
    }
    // Block by block from here.  Blocks normally arrive in storage order:
    // memory is backed ahead of them in one request each time, a stretch as
    // long as what is already backed (8 MB at first), so that the requests
    // are few and the memory committed ahead of the data read is at most as
    // much again.  The reals are stored past the caches (see `copyReals`),
    // so pages backed long before they are written cost no more than fresh
    // ones.
    std::int64_t backed = 0;
    const std::int64_t kAhead = std::int64_t{2} * 1024 * 1024;
    return readRealPairs(
        file, h.dims, [&](const std::int64_t lo[7], const std::int64_t hi[7], const std::uint8_t* reals) {
            // Only the stretch the block falls in (and the stretch ahead) is
            // backed: a block far ahead does not commit the memory before it.
            const std::int64_t start = h.HeadMat.offset({lo[0], lo[1], lo[2], lo[3], lo[4], lo[5], lo[6]});
            const std::int64_t end = h.HeadMat.offset({hi[0], hi[1], hi[2], hi[3], hi[4], hi[5], hi[6]}) + 1;
            if (end > backed && end - start <= 2 * kAhead) {
                const std::int64_t from = std::max(backed, start);
                const std::int64_t upTo =
                    std::min(h.HeadMat.size(), std::max(end, from + std::max(kAhead, backed)));
                h.HeadMat.prefault(from, upTo);
                backed = upTo;
            }
            h.replacedCount += storeBlock(h.HeadMat, lo, hi, reals);
        });
}

Status GetRLSparseData(LaheyFile& file, HarHeader& h) {
    const char* tag = " [GetRLSparseData]";
    Status s = AllocMat7(h.HeadMat, h.dims);
    if (!s) return std::move(s).tag(tag);
    float* root = h.HeadMat.Root();
    return ReadSparseEntries(
        file, h.dims, [&](const std::uint8_t* pos, const std::uint8_t* val, std::int32_t n) {
            for (std::ptrdiff_t i = 0; i < n; ++i)
                h.replacedCount += copyReals(root + (readI32(pos + 4 * i) - 1), val + 4 * i, 1);
        });
}

// ---------------------------------------------------------------- matrices

// Reads matrix records ("2I" or "2R") and hands each element to `store`.
template <class Store>
Status readMatrixRecords(LaheyFile& file, std::int64_t rows, std::int64_t cols, const char* wrongLength,
                         Store store) {
    for (;;) {
        auto rec = GetRecBuf(file, 28, 4);
        if (!rec) return rec.status();
        const std::int32_t krec = readI32(rec->struc);
        const std::int64_t r1 = readI32(rec->struc + 12), r2 = readI32(rec->struc + 16);
        const std::int64_t c1 = readI32(rec->struc + 20), c2 = readI32(rec->struc + 24);
        const std::int64_t nr = std::max<std::int64_t>(0, r2 - r1 + 1),
                           nc = std::max<std::int64_t>(0, c2 - c1 + 1);
        // Both counts are below 2^33, so their product fits in 128 bits.
        const auto size = static_cast<unsigned __int128>(nr) * static_cast<unsigned __int128>(nc);
        if (static_cast<unsigned __int128>(rec->count) != size) return Status::fail(wrongLength);
        if (size > 0) {
            if (r1 < 1 || r2 > rows || c1 < 1 || c2 > cols)
                return Status::fail("Matrix record outside the declared rows and columns");
            std::int64_t i = 0;
            for (std::int64_t c = c1; c <= c2; ++c)
                for (std::int64_t r = r1; r <= r2; ++r, ++i) store(r, c, rec->elems + 4 * i);
        }
        if (krec == 1) break;
    }
    return Status::ok();
}

Status checkMatrixSize(const HarHeader& h) {
    if (h.rows < 0 || h.cols < 0) return Status::fail("Negative matrix size");
    if (h.rows > kMaxDimSize || h.cols > kMaxDimSize || h.rows * h.cols > kMaxArrayElements)
        return Status::fail("Matrix size " + str(h.rows) + "*" + str(h.cols) + " too large: max is " +
                            str(kMaxArrayElements) + " elements");
    return Status::ok();
}

Status Get2IData(LaheyFile& file, HarHeader& h) {
    const char* tag = " [Get2IData]";
    Status s = checkMatrixSize(h);
    if (!s) return std::move(s).tag(tag);
    h.intMatrix.reset();
    s = AllocArr(h.intMatrix, h.rows, h.cols, 4);
    if (!s) return std::move(s).tag(tag);
    Arr2& m = *h.intMatrix;
    s = readMatrixRecords(
        file, h.rows, h.cols, "2I record wrong length",
        [&](std::int64_t r, std::int64_t c, const std::uint8_t* p) { m.i32(r, c) = readI32(p); });
    if (!s) {
        h.intMatrix.reset();
        return std::move(s).tag(tag);
    }
    return Status::ok();
}

Status Get2RData(LaheyFile& file, HarHeader& h) {
    const char* tag = " [Get2RData]";
    Status s = checkMatrixSize(h);
    if (!s) return std::move(s).tag(tag);
    s = AllocMat7(h.HeadMat, {h.rows, h.cols, 1, 1, 1, 1, 1});
    if (!s) return std::move(s).tag(tag);
    float* root = h.HeadMat.Root();
    const std::int64_t rows = h.rows;
    std::int64_t replaced = 0;
    s = readMatrixRecords(file, h.rows, h.cols, "2R record wrong length",
                          [&](std::int64_t r, std::int64_t c, const std::uint8_t* p) {
                              replaced += copyReals(root + (r - 1) + rows * (c - 1), p, 1);
                          });
    if (!s) {
        FreeMat7(h.HeadMat).isOk();
        return std::move(s).tag(tag);
    }
    h.replacedCount += replaced;
    return Status::ok();
}

Status Get1CData(LaheyFile& file, HarHeader& h) {
    const char* tag = " [Get1CData]";
    if (h.HeadType != "1C") return Status::fail("Not a String Header" + std::string(tag));
    Status s = GetHarStrings(file, h.stringCount, h.stringLength, h.strings);
    if (!s) {
        h.strings.clear();
        return std::move(s).tag(tag);
    }
    return Status::ok();
}

// ---------------------------------------------------------------- writing reals

Status WriteRealStart(LaheyFile& file, HarHeader& h) {
    const char* tag = " [WriteRealStart]";
    if (h.HeadType != "RL" && h.HeadType != "RE")
        return Status::fail("Not an RL or RE Header" + std::string(tag));
    if (!h.HeadMat.allocated()) return Status::fail("HeadMat.Root=nil" + std::string(tag));
    if (h.dims != h.HeadMat.dims())
        return Status::fail("Header dimensions differ from its array's" + std::string(tag));
    Status s = writeNameRecord(file, h.name);
    if (!s) return std::move(s).tag(tag);
    std::vector<std::int32_t> ints{7};
    for (auto d : h.HeadMat.dims()) ints.push_back(static_cast<std::int32_t>(d));
    if (h.HeadType == "RE" && ValidREDetails(h)) {
        for (int i = 0; i < h.NDim; ++i)
            for (int j = i + 1; j < h.NDim; ++j) {
                const std::string li = h.re.RDelst[i] == 'e' ? h.dimLabels[i] : h.re.setNames[i];
                const std::string lj = h.re.RDelst[j] == 'e' ? h.dimLabels[j] : h.re.setNames[j];
                if (!li.empty() && li == lj && h.dims[i] != h.dims[j])
                    return Status::fail("Header " + h.name + " has two sets named " + li +
                                        " with different sizes." + tag);
            }
        s = WriteDesc(file, "RE", h.storage, h.description, ints);
        if (!s) return std::move(s).tag(tag);
        s = WriteOrgREData(file, h);
        if (!s) return std::move(s).tag(tag);
    } else {
        s = WriteDesc(file, "RL", h.storage, h.description, ints);
        if (!s) return std::move(s).tag(tag);
    }
    return Status::ok();
}

Status writeRangeRecord(LaheyFile& file, std::int32_t krec, const std::int64_t lo[7],
                        const std::int64_t hi[7]) {
    std::uint8_t struc[kRangeStrucSize];
    putRangeStruc(struc, krec, lo, hi);
    return WriteRecBuf(file, struc, kRangeStrucSize, 4, 0, nullptr);
}

Status writeDimRecord(LaheyFile& file, std::int64_t nrec, const Dims7& d) {
    std::uint8_t struc[36];
    putI32(struc, static_cast<std::int32_t>(nrec));
    putI32(struc + 4, 7);
    for (std::ptrdiff_t k = 0; k < 7; ++k) putI32(struc + 8 + 4 * k, static_cast<std::int32_t>(d[k]));
    return WriteRecBuf(file, struc, 36, 4, 0, nullptr);
}

}  // namespace

FullBlockLayout fullBlockLayout(const Dims7& dims) {
    FullBlockLayout l;
    l.dims = dims;
    // The split dimension: the last one whose predecessors fit whole in a
    // block.
    std::int64_t p = 1;
    for (int k = 1; k <= 7; ++k) {
        if (p <= kRealsPerRecord) {
            l.split = k;
            l.before = p;
        }
        p *= dims[k - 1];
    }
    const std::int64_t ds = dims[l.split - 1];
    l.width = std::max<std::int64_t>(1, std::min(ds, kRealsPerRecord / l.before));
    l.chunks = (ds + l.width - 1) / l.width;
    for (int k = l.split + 1; k <= 7; ++k) l.after *= dims[k - 1];
    return l;
}

void FullBlockLayout::range(std::int64_t b, std::int64_t lo[7], std::int64_t hi[7]) const {
    std::int64_t outer = b / chunks;
    const std::int64_t c = b % chunks;
    for (int k = 0; k < 7; ++k) {
        if (k < split - 1) {
            lo[k] = 1;
            hi[k] = dims[k];
        } else if (k == split - 1) {
            lo[k] = 1 + c * width;
            hi[k] = std::min(dims[k], (c + 1) * width);
        } else if (dims[k] == 1) {
            lo[k] = hi[k] = 1;  // no division for the dimensions not used
        } else {
            lo[k] = hi[k] = outer % dims[k] + 1;
            outer /= dims[k];
        }
    }
}

namespace {

Status WriteRealFull(LaheyFile& file, const HarHeader& h) {
    const char* tag = " [WriteRealFull]";
    if (h.storage != "FULL") return Status::fail("Unexpected Storage Method: " + quoted(h.storage) + tag);
    const Dims7& d = h.HeadMat.dims();
    const std::int64_t total = product7(d);
    if (total == 0) {
        std::int64_t lo[7], hi[7];
        for (int k = 0; k < 7; ++k) lo[k] = 1, hi[k] = d[k];
        std::uint8_t krec1[4];
        putI32(krec1, 1);
        Status s = writeDimRecord(file, 3, d);
        if (s) s = writeRangeRecord(file, 2, lo, hi);
        if (s) s = WriteRecBuf(file, krec1, 4, 4, 0, nullptr);
        if (!s) return std::move(s).tag(tag);
        return Status::ok();
    }
    const FullBlockLayout layout = fullBlockLayout(d);
    const std::int64_t blocks = layout.blocks();
    Status st = writeDimRecord(file, 2 * blocks + 1, d);
    if (!st) return std::move(st).tag(tag);
    std::int64_t krec = 2 * blocks;
    std::int64_t written = 0;
    const float* root = h.HeadMat.Root();
    for (std::int64_t b = 0; b < blocks; ++b) {
        std::int64_t lo[7], hi[7];
        layout.range(b, lo, hi);
        st = writeRangeRecord(file, static_cast<std::int32_t>(krec--), lo, hi);
        if (!st) return std::move(st).tag(tag);
        // The block is one contiguous run of the column-major array.
        const std::int64_t start = h.HeadMat.offset({lo[0], lo[1], lo[2], lo[3], lo[4], lo[5], lo[6]});
        const std::int64_t count = layout.reals(lo, hi);
        std::uint8_t kr[4];
        putI32(kr, static_cast<std::int32_t>(krec--));
        st = WriteRecBuf(file, kr, 4, 4, count, root + start);
        if (!st) return std::move(st).tag(tag);
        written += count;
    }
    if (krec != 0) return Status::fail("KREC <> 0" + std::string(tag));
    if (written != total) return Status::fail("NIter*NLoop<>NReal" + std::string(tag));
    return Status::ok();
}

Status WriteRealSparse(LaheyFile& file, HarHeader& h) {
    const char* tag = " [WriteRealSparse]";
    if (h.storage != "SPSE") return Status::fail("Unexpected Storage Method: " + quoted(h.storage) + tag);
    Status s = countNonZeros(h.HeadMat);
    if (!s) return std::move(s).tag(tag);
    const std::int64_t nnz = h.HeadMat.nonZeroCount;
    std::uint8_t head[12];
    putI32(head, static_cast<std::int32_t>(nnz));
    putI32(head + 4, 4);
    putI32(head + 8, 4);
    const std::string blanks(80, ' ');
    s = WriteRecBuf(file, head, 12, 1, 80, blanks.data());
    if (!s) return std::move(s).tag(tag);
    if (nnz == 0) {
        std::uint8_t rec[12];
        putI32(rec, 1);
        putI32(rec + 4, 0);
        putI32(rec + 8, 0);
        s = WriteRecBuf(file, rec, 12, 4, 0, nullptr);
        if (!s) return std::move(s).tag(tag);
        return Status::ok();
    }
    const std::int64_t nrec = (nnz + kSparsePerRecord - 1) / kSparsePerRecord;
    const std::int64_t lastCount = nnz - (nrec - 1) * kSparsePerRecord;
    std::int64_t krec = nrec;
    std::vector<std::uint8_t> buf(static_cast<std::size_t>(8 * kSparsePerRecord));
    std::int64_t n = 0;
    const float* root = h.HeadMat.Root();
    auto flush = [&]() -> Status {
        if (krec == 1 && n != lastCount) return Status::fail("SinglesToWrite<>ElmsLastBlock");
        // Positions first, then the values.
        std::memmove(buf.data() + 4 * n, buf.data() + 4 * kSparsePerRecord, static_cast<std::size_t>(4 * n));
        std::uint8_t rec[12];
        putI32(rec, static_cast<std::int32_t>(krec));
        putI32(rec + 4, static_cast<std::int32_t>(nnz));
        putI32(rec + 8, static_cast<std::int32_t>(n));
        Status w = WriteRecBuf(file, rec, 12, 4, 2 * n, buf.data());
        --krec;
        n = 0;
        return w;
    };
    for (std::int64_t i = 0, e = h.HeadMat.size(); i < e; ++i) {
        if (root[i] == 0.0f) continue;
        putI32(buf.data() + 4 * n, static_cast<std::int32_t>(i + 1));
        std::memcpy(buf.data() + 4 * (kSparsePerRecord + n), &root[i], 4);
        if (++n == kSparsePerRecord) {
            s = flush();
            if (!s) return std::move(s).tag(tag);
        }
    }
    if (n > 0) {
        s = flush();
        if (!s) return std::move(s).tag(tag);
    }
    if (krec != 0) return Status::fail("KREC:" + str(krec) + "<>0" + tag);
    return Status::ok();
}

Status WriteRLData(LaheyFile& file, HarHeader& h, bool useSparse) {
    const char* tag = " [WriteRLData]";
    const int threshold = useSparse ? 60 : 100;
    std::string storage = "FULL";
    if (threshold < 100 && h.HeadMat.allocated() && h.HeadMat.size() > 0) {
        Status s = countNonZeros(h.HeadMat);
        if (!s) return std::move(s).tag(tag);
        const double ratio =
            100.0 * static_cast<double>(h.HeadMat.nonZeroCount) / static_cast<double>(h.HeadMat.size());
        const auto zeros = 100 - static_cast<std::int64_t>(std::llround(ratio));
        if (zeros > threshold) storage = "SPSE";
    }
    h.storage = storage;
    Status s = WriteRealStart(file, h);
    if (s) s = storage == "SPSE" ? WriteRealSparse(file, h) : WriteRealFull(file, h);
    if (!s) return std::move(s).tag(tag);
    return Status::ok();
}

Status Write1CData(LaheyFile& file, const HarHeader& h) {
    const char* tag = " [Write1CData]";
    if (h.HeadType != "1C") return Status::fail("Not a String Header" + std::string(tag));
    if (h.stringLength <= 0) return Status::fail("LenString<=0" + std::string(tag));
    const auto count = static_cast<std::int64_t>(h.strings.size());
    Status s = writeNameRecord(file, h.name);
    if (s)
        s = WriteDesc(file, "1C", "FULL", h.description,
                      {2, static_cast<std::int32_t>(count), static_cast<std::int32_t>(h.stringLength)});
    if (s) {
        std::vector<std::uint8_t> struc, el;
        putInt(struc, 1);
        putInt(struc, static_cast<std::int32_t>(count));
        putInt(struc, static_cast<std::int32_t>(count));
        el.reserve(static_cast<std::size_t>(count * h.stringLength));
        for (const auto& str1 : h.strings) putChars(el, str1, static_cast<std::size_t>(h.stringLength));
        s = WriteRecBuf(file, struc.data(), 12, h.stringLength, count, el.data());
    }
    if (!s) return std::move(s).tag(tag);
    return Status::ok();
}

Status Write2IData(LaheyFile& file, const HarHeader& h) {
    const char* tag = " [Write2IData]";
    if (h.HeadType != "2I") return Status::fail("Not a 2I Header" + std::string(tag));
    const auto rows = static_cast<std::int32_t>(h.rows), cols = static_cast<std::int32_t>(h.cols);
    Status s = writeNameRecord(file, h.name);
    if (s) s = WriteDesc(file, "2I", "FULL", h.description, {2, rows, cols});
    if (!s) return std::move(s).tag(tag);
    auto writeRec = [&](std::int32_t krec, std::int32_t c1, std::int32_t c2,
                        const std::vector<std::uint8_t>& el) {
        std::uint8_t struc[28];
        const std::int32_t v[7] = {krec, rows, cols, 1, rows, c1, c2};
        for (std::ptrdiff_t k = 0; k < 7; ++k) putI32(struc + 4 * k, v[k]);
        return WriteRecBuf(file, struc, 28, 4, static_cast<std::int64_t>(el.size() / 4), el.data());
    };
    if (rows < 1 || cols < 1) {
        s = writeRec(1, 1, cols, {});
        if (!s) return std::move(s).tag(tag);
        return Status::ok();
    }
    if (!h.intMatrix || h.intMatrix->rows() < rows || h.intMatrix->cols() < cols)
        return Status::fail("Integer matrix missing or too small" + std::string(tag));
    const std::int32_t w = std::max<std::int32_t>(1, static_cast<std::int32_t>(kRealsPerRecord / rows));
    std::int32_t krec = (cols + w - 1) / w;
    std::vector<std::uint8_t> el;
    for (std::int32_t c1 = 1; c1 <= cols; c1 += w) {
        const std::int32_t c2 = std::min(cols, c1 + w - 1);
        el.clear();
        for (std::int32_t c = c1; c <= c2; ++c)
            for (std::int32_t r = 1; r <= rows; ++r) putInt(el, h.intMatrix->i32(r, c));
        s = writeRec(krec--, c1, c2, el);
        if (!s) return std::move(s).tag(tag);
    }
    return Status::ok();
}

}  // namespace

// ---------------------------------------------------------------- public

std::string cleanSetName(std::string_view raw) {
    std::string t = trimRightBlanks(raw);
    std::string out;
    for (char c : t)
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '@' ||
            c == '_')
            out += c;
    return out;
}

Result<int> GetIntsExpected(const std::string& type, const std::string& storage) {
    const char* tag = " [GetIntsExpected]";
    if (type == "RL" || type == "RE") {
        if (storage != "FULL" && storage != "SPSE")
            return Result<int>::fail("Unrecognized Storage Method: " + storage + tag);
        return 8;
    }
    if (type == "1C" || type == "2I" || type == "2R") {
        if (storage != "FULL") return Result<int>::fail("Unrecognized Storage Method: " + storage + tag);
        return 3;
    }
    return Result<int>::fail("Unrecognized Data Type " + type + tag);
}

Status GetHeaderDetails(LaheyFile& file, const std::string& name, HarHeader& h, bool& detailsRead,
                        std::string& notReadMessage) {
    h = HarHeader{};
    detailsRead = false;
    notReadMessage.clear();
    h.name = name;
    if (file.atEnd()) {
        notReadMessage = "unexpected end of file";
        return Status::ok();
    }
    Description d;
    Status s = GetDesc(file, d);
    if (!s) {
        notReadMessage = s.message();
        return Status::ok();
    }
    detailsRead = true;
    h.typeRead = d.type;
    h.HeadType = d.type;
    h.storage = d.storage;
    h.description = d.text;
    auto fatal = [&](const std::string& message) {
        return Status::fail("At header " + name + "\r\n" + message + " [GetHeaderDetails]");
    };
    if (d.type == "1C") {
        h.stringCount = d.ints[1];
        h.stringLength = d.ints[2];
        h.NDim = 1;
    } else if (d.type == "2I" || d.type == "2R") {
        h.rows = d.ints[1];
        h.cols = d.ints[2];
    } else if (d.type == "RL" || d.type == "RE") {
        for (int k = 0; k < 7; ++k) h.dims[k] = d.ints[k + 1];
        int nd = 1;
        for (int k = 0; k < 7; ++k) {
            if (h.dims[k] < 0) return fatal("Dimension < 0 [FindNDim]");
            if (h.dims[k] != 1) nd = k + 1;
        }
        h.NDim = nd;
        std::int64_t product = 1;
        bool over = false;
        for (int k = 0; k < nd && !over; ++k) {
            product *= h.dims[k];
            over = product > kMaxArrayElements;
        }
        if (over) {
            std::string sizes;
            for (int k = 0; k < nd; ++k) sizes += (k ? "*" : "") + str(h.dims[k]);
            return fatal("Array size (" + sizes + ") too large: max is " + str(kMaxArrayElements) +
                         " elements");
        }
        if (d.type == "RE") {
            s = GetOrgREData(file, h);
            if (!s) return fatal(s.message());
            TransferREData(h);
        }
    } else {
        return fatal("Unrecognized Data Type " + d.type);
    }
    s = CompleteHeaderRecord(h);
    if (!s) return fatal(s.message());
    return Status::ok();
}

void Turn2RShape(HarHeader& h) {
    const std::int64_t rows = h.rows, cols = h.cols;
    h.dims = rows < 2 ? Dims7{cols, 1, 1, 1, 1, 1, 1} : Dims7{rows, cols, 1, 1, 1, 1, 1};
    h.NDim = (rows < 2 || cols < 2) ? 1 : 2;
    h.HeadType = "RL";
    h.storage = "FULL";
}

void Turn2RtoRL(HarHeader& h) {
    const std::int64_t rows = h.rows, cols = h.cols;
    if (rows < 2) {
        // A single row becomes a vector of the columns (same memory order).
        if (rows == 0 || !h.HeadMat.allocated()) {
            AllocMat7(h.HeadMat, {cols, 1, 1, 1, 1, 1, 1}).isOk();
        } else {
            HeadMat reshaped;
            if (AllocMat7(reshaped, {cols, 1, 1, 1, 1, 1, 1})) {
                std::memcpy(reshaped.Root(), h.HeadMat.Root(),
                            static_cast<std::size_t>(cols) * sizeof(float));
                h.HeadMat = std::move(reshaped);
            }
        }
        h.dims = {cols, 1, 1, 1, 1, 1, 1};
    } else {
        h.dims = {rows, cols, 1, 1, 1, 1, 1};
    }
    h.NDim = (rows < 2 || cols < 2) ? 1 : 2;
    h.HeadType = "RL";
    h.storage = "FULL";
}

void TurnRLtoRE(HarHeader& h) {
    h.HeadType = "RE";
    REDetails re;
    re.OrigNDim = h.NDim;
    re.setDimsKnown = true;
    re.setNamesKnown = false;
    h.re = re;
    for (auto& e : h.SetElements) e.reset();
    for (auto& l : h.dimLabels) l.clear();
}

Status ReadHeaderData(LaheyFile& file, HarHeader& h) {
    const std::string tag = " [ReadHeaderData:" + h.name + "]";
    Status s;
    const std::string& t = h.typeRead;
    if (t == "RE" || t == "RL") {
        if (h.storage == "FULL")
            s = GetRLData(file, h);
        else if (h.storage == "SPSE")
            s = GetRLSparseData(file, h);
        else
            s = Status::fail("Unrecognized Storage Method: " + quoted(h.storage));
        if (s && t == "RL") TurnRLtoRE(h);
    } else if (t == "2I") {
        s = Get2IData(file, h);
    } else if (t == "2R") {
        s = Get2RData(file, h);
        if (s) {
            Turn2RtoRL(h);
            TurnRLtoRE(h);
        }
    } else if (t == "1C") {
        s = Get1CData(file, h);
    } else {
        s = Status::fail("Bad HeadType: " + t);
    }
    if (!s) return std::move(s).tag(tag);
    return Status::ok();
}

Status ValidREDetails(const HarHeader& h) {
    const char* tag = " [ValidREDetails]";
    const REDetails& re = h.re;
    if (!re.setNamesKnown) return Status::fail("stknow false" + std::string(tag));
    if (!re.setDimsKnown) return Status::fail("acdmkn false" + std::string(tag));
    if (re.OrigNDim != h.NDim) return Status::fail("acdim<>OrigNDim" + std::string(tag));
    if (h.NDim < 0 || h.NDim > 7) return Status::fail("acdim<>OrigNDim" + std::string(tag));
    int e = 0;
    for (int k = 0; k < h.NDim; ++k) {
        if (re.setNames[k].empty()) return Status::fail("StName blank" + std::string(tag));
        const char st = re.RDelst[k];
        if (st != 'k' && st != 'u' && st != 'e')
            return Status::fail("RDelst not e,u, or k" + std::string(tag));
        if (st == 'e') {
            if (re.numbers[k] <= 0) return Status::fail("elno<=0" + std::string(tag));
            if (e >= 7 || re.eltNames[e].empty()) return Status::fail("eltnam blank" + std::string(tag));
            ++e;
        }
    }
    return Status::ok();
}

Status WriteHead(LaheyFile& file, HarHeader& h, bool useSparse) {
    const std::string tag = " [WriteHead:" + h.name + "]";
    Status s;
    if (h.HeadType == "RE" || h.HeadType == "RL")
        s = WriteRLData(file, h, useSparse);
    else if (h.HeadType == "1C")
        s = Write1CData(file, h);
    else if (h.HeadType == "2I")
        s = Write2IData(file, h);
    else
        s = Status::fail("unknown header type: " + quoted(h.HeadType));
    if (!s) return std::move(s).tag(tag);
    return Status::ok();
}

Status ReadRealBlocks(LaheyFile& file, const Dims7& dims, const RealBlockSink& block) {
    auto dimRec = GetLaheyRec(file);
    if (!dimRec) return std::move(dimRec).tag(" [GetRLData]").status();
    return readRealPairs(file, dims, block);
}

Status ReadSparseEntries(LaheyFile& file, const Dims7& dims, const SparseEntrySink& entries) {
    const char* tag = " [GetRLSparseData]";
    auto head = GetRecBuf(file, 12, 1);
    if (!head) return std::move(head).tag(tag).status();
    const std::int32_t nnz = readI32(head->struc);
    const std::int32_t intSize = readI32(head->struc + 4), realSize = readI32(head->struc + 8);
    if (intSize != 4 || realSize != 4)
        return Status::fail("Expected 4 byte integer and reals: found " + str(intSize) + "  " +
                            str(realSize) + tag);
    const std::int64_t total = product7(dims);
    std::int64_t nread = 0;
    for (;;) {
        auto rec = GetRecBuf(file, 12, 4);
        if (!rec) return std::move(rec).tag(tag).status();
        const std::int32_t krec = readI32(rec->struc);
        const std::int32_t recNnz = readI32(rec->struc + 4);
        const std::int32_t n = readI32(rec->struc + 8);
        if (n < 0 || rec->count != 2 * static_cast<std::int64_t>(n))
            return Status::fail("Nhere(" + str(n) + ") <>(Extra(" + str(rec->count) +
                                ") div 2) at KREC=" + str(krec) + tag);
        if (recNnz != nnz) return Status::fail("TOTAL <> NNZ" + std::string(tag));
        const std::uint8_t* pos = rec->elems;
        const std::uint8_t* val = rec->elems + 4 * static_cast<std::int64_t>(n);
        for (std::ptrdiff_t i = 0; i < n; ++i) {
            const std::int64_t p = readI32(pos + 4 * i);
            if (p < 1 || p > total)
                return Status::fail("Sparse position " + str(p) + " outside 1.." + str(total) + tag);
        }
        entries(pos, val, n);
        nread += n;
        if (krec == 1) break;
    }
    if (nread != nnz) return Status::fail("NRead(" + str(nread) + ") <> NNZ(" + str(nnz) + ")" + tag);
    return Status::ok();
}

std::int64_t copyRealsReplacing(float* dest, const std::uint8_t* src, std::int64_t n) {
    return copyReals(dest, src, n);
}

// ---------------------------------------------------------------- HarHeader helpers

std::string HarHeader::trimmedName() const {
    return trimRightBlanks(name);
}

std::string HarHeader::setName(int k) const {
    if (k < 1 || k > 7 || re.RDelst[k - 1] == 'e') return {};
    return re.setNames[k - 1];
}

std::vector<std::string> HarHeader::elementNames(int k) const {
    if (k < 1 || k > 7 || !SetElements[k - 1]) return {};
    return *SetElements[k - 1];
}

std::vector<float> HarHeader::realValues() const {
    if (!HeadMat.allocated()) return {};
    return std::vector<float>(HeadMat.Root(), HeadMat.Root() + HeadMat.size());
}

}  // namespace vdln
