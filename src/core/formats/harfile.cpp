#include "formats/harfile.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/besteffort.h"
#include "base/strutil.h"

namespace vdln {

namespace {

std::string str(std::int64_t v) {
    return std::to_string(v);
}
std::string quoted(const std::string& s) {
    return "\"" + s + "\"";
}

bool startsWithXX(const std::string& name) {
    return name.size() >= 2 && name[0] == 'X' && name[1] == 'X';
}

std::string joinSizes(const Dims7& d, int n) {
    std::string out;
    for (int k = 0; k < n; ++k) out += (k ? "*" : "") + str(d[k]);
    return out;
}

Status makeSpecial(PHarHeader& slot, const char* name, const char* description, std::int64_t length,
                   std::vector<std::string> strings) {
    const auto count = static_cast<std::int64_t>(strings.size());
    return Create1C(slot, name, description, length, count, std::move(strings));
}

Status SetCreationDateHeader(HarFile& file, const std::string& dateTime) {
    Status s = makeSpecial(file.creationDate, "XXCD", "Creation Date and Time", 70, {"at " + dateTime});
    if (!s) return std::move(s).tag(" [SetCreationDateHeader]");
    return Status::ok();
}

Status SetCreatingProgHeader(HarFile& file, const std::string& program) {
    Status s =
        makeSpecial(file.creatingProgram, "XXCR", "Creating Program", 70, {program, "HARFILE 31/Mar/2008"});
    if (!s) return std::move(s).tag(" [SetCreatingProgHeader]");
    return Status::ok();
}

Status CreateHistoryHeader(HarFile& file) {
    Status s =
        makeSpecial(file.history, "XXHS", "File History", kHistoryStringLength, {"no previous history"});
    if (!s) return std::move(s).tag(" [CreateHistoryHeader]");
    return Status::ok();
}

// Stores a header read from a file in its place: the special headers
// outside the list (a later one replaces an earlier one), others appended.
Status storeHeader(HarFile& file, PHarHeader h) {
    const std::string& n = h->name;
    if (n == "XXCD")
        file.creationDate = std::move(h);
    else if (n == "XXCR")
        file.creatingProgram = std::move(h);
    else if (n == "XXHS")
        file.history = std::move(h);
    else if (n == "XXFF")
        file.xxff = std::move(h);
    else {
        if (file.count() >= kMaxHeaders) return Status::fail("Too many headers: max is " + str(kMaxHeaders));
        file.headers.push_back(std::move(h));
    }
    return Status::ok();
}

void moveXXFirst(HarFile& file) {
    std::stable_partition(file.headers.begin(), file.headers.end(),
                          [](const PHarHeader& h) { return startsWithXX(h->name); });
}

}  // namespace

bool useSparseFromEnvironment() {
    const char* v = std::getenv("SVUSESPARSE");
    return v != nullptr && std::strcmp(v, "1") == 0;
}

std::string normaliseHeaderName(std::string_view name) {
    std::string out;
    for (char c : name) {
        auto u = static_cast<unsigned char>(c);
        if (u < 33 || u > 126) continue;
        if (out.size() < 4) out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    out.resize(4, ' ');
    return out;
}

HarHeader* HarFile::find(std::string_view name) {
    const std::string n = normaliseHeaderName(name);
    for (auto& h : headers)
        if (h && h->name == n) return h.get();
    for (PHarHeader* s : {&creationDate, &creatingProgram, &history, &xxff})
        if (*s && (*s)->name == n) return s->get();
    return nullptr;
}

const HarHeader* HarFile::find(std::string_view name) const {
    return const_cast<HarFile*>(this)->find(name);
}

Status CompleteHeaderRecord(HarHeader& h) {
    const char* tag = " [CompleteHeaderRecord]";
    h.name = normaliseHeaderName(h.name);
    std::string d = h.description;
    for (char& c : d) {
        auto u = static_cast<unsigned char>(c);
        if (u < 32 || u > 126) c = ' ';
    }
    d = trim(d);
    if (d.size() > 70) d.resize(70);
    h.description = d;
    if (h.HeadType == "RL") TurnRLtoRE(h);
    if (h.HeadType == "1C") {
        h.NDim = 1;
        h.dimsText = str(h.stringCount) + " length " + str(h.stringLength);
        h.shortDimsText = str(h.stringCount);
        h.elementCount = h.stringCount;
    } else if (h.HeadType == "RE") {
        std::int64_t n = 1;
        for (auto x : h.dims) n *= x;
        h.elementCount = n;
        if (h.NDim <= 0) {
            h.dimsText = h.shortDimsText = "1";
        } else {
            h.dimsText.clear();
            for (int k = 0; k < h.NDim && k < 7; ++k)
                h.dimsText += (k ? "*" : "") + (h.dimLabels[k].empty() ? str(h.dims[k]) : h.dimLabels[k]);
            h.shortDimsText = joinSizes(h.dims, std::min(h.NDim, 7));
        }
        if (h.description.empty())
            h.description = h.re.coefName;
        else if (h.description == "?")
            h.description = " ";
    } else if (h.HeadType == "2I" || h.HeadType == "2R") {
        h.dims = {1, 1, 1, 1, 1, 1, 1};
        h.elementCount = h.rows * h.cols;
        if (h.rows != 1 && h.cols != 1) {
            h.NDim = 2;
            h.dimsText = str(h.rows) + "*" + str(h.cols);
        } else {
            h.NDim = 1;
            h.dimsText = h.rows == 1 && h.cols == 1 ? "1" : h.rows == 1 ? str(h.cols) : str(h.rows);
        }
        h.shortDimsText = h.dimsText;
    } else {
        return Status::fail("Unrecognized Header Type " + quoted(h.HeadType) + tag);
    }
    if (h.dimsText.size() > 80) h.dimsText.resize(80);
    if (h.shortDimsText.size() > 30) h.shortDimsText.resize(30);
    return Status::ok();
}

// ---------------------------------------------------------------- reading

Status ReadMoreIntoHarFile(const std::string& fileName, HarFile& file, bool sort, bool skipBad,
                           bool& skipped) {
    const char* tag = " [ReadMoreIntoHarFile]";
    skipped = false;
    LaheyFile in;
    Status s = OpenLaheyFile(in, fileName);
    if (!s) return std::move(s).tag(tag);
    file.flavour = in.flavour();
    for (;;) {
        bool found = false;
        std::string name;
        s = GetHead(in, found, name);
        if (!s) break;
        if (!found) break;
        auto h = std::make_unique<HarHeader>();
        bool detailsRead = false;
        std::string why;
        s = GetHeaderDetails(in, name, *h, detailsRead, why);
        if (!s) break;
        if (!detailsRead) {
            skipped = true;
            if (skipBad) continue;
            s = Status::fail("Bad details at header " + quoted(name) + "\r\n" + why + " [GetHeaderRecord]");
            break;
        }
        s = ReadHeaderData(in, *h);
        if (!s) break;
        if (h->typeRead == "2R") s = CompleteHeaderRecord(*h);
        if (s) s = storeHeader(file, std::move(h));
        if (!s) break;
    }
    if (s) s = CompleteHarFile(file, sort);
    if (!s) {
        in.closeQuietly();
        return std::move(s).tag(tag);
    }
    bestEffort(in.close(), "the file was only read and its data are complete");
    return Status::ok();
}

Result<HarFile> ReadHarFile(const std::string& fileName, bool sort, bool skipBad, bool* skipped) {
    HarFile file;
    bool skip = false;
    Status s = ReadMoreIntoHarFile(fileName, file, sort, skipBad, skip);
    if (skipped) *skipped = skip;
    if (!s) return std::move(s).tag(" [ReadHarFile]");
    moveXXFirst(file);
    return file;
}

Result<PHarHeader> ReadHeaderFromHarFile(const std::string& fileName, const std::string& wanted,
                                         bool skipBad) {
    const std::string tag = " [ReadHeaderFromHarFile:" + wanted + "]";
    const std::string want = normaliseHeaderName(wanted);
    const bool takeFirst = want == "    ";
    LaheyFile in;
    Status s = OpenLaheyFile(in, fileName);
    if (!s) return std::move(s).tag(tag);
    for (;;) {
        bool found = false;
        std::string name;
        s = GetHead(in, found, name);
        if (!s || !found) break;
        name = normaliseHeaderName(name);
        if (!takeFirst && name != want) continue;
        auto h = std::make_unique<HarHeader>();
        bool detailsRead = false;
        std::string why;
        s = GetHeaderDetails(in, name, *h, detailsRead, why);
        if (!s) break;
        if (!detailsRead) {
            if (skipBad) continue;
            s = Status::fail("Bad details at header " + quoted(name) + "\r\n" + why + " [GetHeaderRecord]");
            break;
        }
        s = ReadHeaderData(in, *h);
        if (s && h->typeRead == "2R") s = CompleteHeaderRecord(*h);
        if (!s) break;
        in.closeQuietly();
        return PHarHeader(std::move(h));
    }
    in.closeQuietly();
    if (!s) return std::move(s).tag(tag);
    return PHarHeader();
}

// ---------------------------------------------------------------- building files

Result<HarFile> NewHarFile(const std::string& programName, const std::string& dateTime, bool placeholder,
                           bool sort) {
    const char* tag = " [NewHarFile]";
    HarFile file;
    Status s;
    if (placeholder) {
        PHarHeader temp;
        s = Create1C(temp, "TEMP", "String Data", 42, 7,
                     {"If", "all", "else", "fails,", "read the", "online", "help"});
        if (s) s = AddHeaderNil(file, temp);
        if (!s) return std::move(s).tag(" [CreateFakeHeader]").tag(tag);
    }
    s = SetCreationDateHeader(file, dateTime);
    if (s) s = SetCreatingProgHeader(file, programName);
    if (s) s = CompleteHarFile(file, sort);
    if (!s) return std::move(s).tag(tag);
    return file;
}

Status AddHeaderNil(HarFile& file, PHarHeader& header) {
    const char* tag = " [AddHeaderNil]";
    if (!header) return Status::fail("Unexpected Nil Pointer" + std::string(tag));
    if (file.count() >= kMaxHeaders)
        return Status::fail("Too many headers: max is " + str(kMaxHeaders) + tag);
    Status s = CompleteHeaderRecord(*header);
    if (!s) return std::move(s).tag(tag);
    file.headers.push_back(std::move(header));
    header.reset();
    return Status::ok();
}

Status addHeader(HarFile& file, PHarHeader header) {
    return AddHeaderNil(file, header);
}

Status CompleteHarFile(HarFile& file, bool sort) {
    const char* tag = " [CompleteHarFile]";
    Status s;
    if (!file.history) s = CreateHistoryHeader(file);
    if (s && !file.creationDate) s = SetCreationDateHeader(file, "unknown time");
    if (s && !file.creatingProgram) s = SetCreatingProgHeader(file, "unknown");
    if (s && sort) s = sortheaders(file);
    if (!s) return std::move(s).tag(tag);
    return Status::ok();
}

Status sortheaders(HarFile& file) {
    moveXXFirst(file);
    auto& v = file.headers;
    std::size_t first = 0;
    while (first < v.size() && startsWithXX(v[first]->name)) ++first;
    const std::size_t n = v.size() - first;
    std::size_t gap = n;
    bool swapped = true;
    while (gap > 1 || swapped) {
        if (gap > 1) gap = gap * 2 / 3;
        if (gap < 1) gap = 1;
        swapped = false;
        for (std::size_t i = first; i + gap < v.size(); ++i) {
            if (std::memcmp(v[i + gap]->name.data(), v[i]->name.data(), 4) < 0) {
                std::swap(v[i], v[i + gap]);
                swapped = true;
            }
        }
        if (n < 2) break;
    }
    return Status::ok();
}

std::string checkHeaderName(std::string_view name, std::string& checked) {
    std::string s;
    for (char c : name)
        if (c != ' ') s += c;
    if (s.empty()) return "Header must not be blank or all spaces";
    s = toUpper(s);
    if (s.size() > 4) s.resize(4);
    s.resize(4, ' ');
    for (char c : s) {
        const bool ok = c == ' ' || (c >= '0' && c <= '9') || c == '@' || (c >= 'A' && c <= 'Z') || c == '_';
        if (!ok) return "Header must only contain letters A-Z or digits 0-9";
    }
    if (s[0] == 'X' && s[1] == 'X')
        return "Header names beginning with \"XX\" are reserved for Solvane internal use";
    checked = s;
    return {};
}

std::string CheckHarFile(HarFile& file) {
    auto& v = file.headers;
    for (std::size_t i = 0; i < v.size(); ++i) {
        std::string upper = toUpper(v[i]->name);
        if (upper.size() > 4) upper.resize(4);
        upper.resize(4, ' ');
        if (startsWithXX(upper)) {
            v[i]->name = upper;
            continue;
        }
        std::string checked;
        std::string problem = checkHeaderName(upper, checked);
        if (!problem.empty())
            return "Header no " + str(static_cast<std::int64_t>(i + 1)) + ", " + quoted(upper) +
                   " is illegal: " + "\r\n" + problem;
        v[i]->name = checked;
    }
    for (std::size_t i = 0; i < v.size(); ++i)
        for (std::size_t j = i + 1; j < v.size(); ++j)
            if (v[i]->name == v[j]->name)
                return "Header " + quoted(v[i]->name) + " appears twice, at positions " +
                       str(static_cast<std::int64_t>(i + 1)) + " and " +
                       str(static_cast<std::int64_t>(j + 1));
    return {};
}

// ---------------------------------------------------------------- writing

namespace {

// Names unnamed dimensions of an "RE" header "Unk" + size before writing.
void nameUnknownSets(HarHeader& h) {
    if (h.HeadType != "RE") return;
    for (int k = 0; k < h.NDim && k < 7; ++k)
        if (h.re.setNames[k].empty()) {
            std::string n = "Unk" + str(h.dims[k]);
            if (n.size() > kSetNameLength) n.resize(kSetNameLength);
            h.re.setNames[k] = n;
        }
    h.re.setNamesKnown = true;
}

Status writeAll(LaheyFile& out, HarFile& file) {
    Status s = WriteHead(out, *file.creationDate, false);
    if (s) s = WriteHead(out, *file.creatingProgram, false);
    if (!s) return s;
    if (file.history && !file.history->strings.empty()) {
        if (file.history->stringLength != kHistoryStringLength)
            return Status::fail("History strings are of length " + str(file.history->stringLength) +
                                " should be " + str(kHistoryStringLength) + ".");
        s = WriteHead(out, *file.history, false);
        if (!s) return s;
    }
    for (int pass = 0; pass < 2; ++pass)
        for (auto& h : file.headers) {
            if (startsWithXX(h->name) != (pass == 0) || h->name == "XXFF") continue;
            nameUnknownSets(*h);
            s = WriteHead(out, *h, file.useSparse);
            if (!s) return s;
        }
    return Status::ok();
}

}  // namespace

Status WriteHarFile(const std::string& fileName, const std::string& programName, const std::string& dateTime,
                    HarFile& file) {
    const char* tag = " [WriteHarFile]";
    Status s = CompleteHarFile(file, false);
    if (!s) return std::move(s).tag(tag);
    std::string problem = CheckHarFile(file);
    if (!problem.empty()) return Status::fail(problem + tag);
    // Written beside the target and renamed over it at the end, so a failed
    // write never leaves a broken file in place of a good one.
    const std::string temp = fileName + ".vdlntmp" + str(static_cast<std::int64_t>(::getpid()));
    LaheyFile out;
    s = CreateLaheyFile(out, temp, file.flavour);
    if (!s) return Status::fail("Can't create file: " + fileName + " [CreateLaheyFile]" + tag);
    s = SetCreationDateHeader(file, dateTime);
    if (s) s = SetCreatingProgHeader(file, programName);
    if (s) s = writeAll(out, file);
    if (s) s = out.close();
    if (s && std::rename(temp.c_str(), fileName.c_str()) != 0)
        s = Status::fail("Can't create file: " + fileName);
    if (!s) {
        out.closeQuietly();
        std::remove(temp.c_str());
        return std::move(s).tag(tag);
    }
    return Status::ok();
}

// ---------------------------------------------------------------- building headers

Status Create1C(PHarHeader& slot, const std::string& name, const std::string& description,
                std::int64_t length, std::int64_t count, std::vector<std::string> strings) {
    const char* tag = " [Create1C]";
    slot.reset();
    if (count < 0 || length < 0) return Status::fail("Negative string count or length" + std::string(tag));
    auto h = std::make_unique<HarHeader>();
    h->name = name;
    h->description = description.substr(0, std::min<std::size_t>(70, description.size()));
    h->HeadType = h->typeRead = "1C";
    h->storage = "FULL";
    h->stringCount = count;
    h->stringLength = length;
    strings.resize(static_cast<std::size_t>(count));
    for (auto& s : strings)
        if (static_cast<std::int64_t>(s.size()) > length) s.resize(static_cast<std::size_t>(length));
    h->strings = std::move(strings);
    Status s = CompleteHeaderRecord(*h);
    if (!s) return std::move(s).tag(tag);
    slot = std::move(h);
    return Status::ok();
}

Status CreateUnLabelledRE(PHarHeader& slot, const std::string& name, const std::string& description,
                          bool allocate, const Dims7& sizes, int NDim) {
    const char* tag = " [CreateUnLabelledRE]";
    if (NDim < 0) return Status::fail("NDim<0" + std::string(tag));
    if (NDim > 7) return Status::fail("NDim>7" + std::string(tag));
    for (int k = NDim; k < 7; ++k)
        if (sizes[k] != 1) return Status::fail("unused dims should=1" + std::string(tag));
    for (int k = 0; k < NDim; ++k)
        if (sizes[k] < 0) return Status::fail("Dimension < 0" + std::string(tag));
    auto h = std::make_unique<HarHeader>();
    h->name = name;
    h->description = description;
    h->HeadType = h->typeRead = "RE";
    h->storage = "FULL";
    h->dims = sizes;
    h->NDim = NDim;
    TurnRLtoRE(*h);
    if (allocate) {
        Status s = AllocMat7(h->HeadMat, sizes);
        if (!s) return std::move(s).tag(tag);
    }
    Status s = CompleteHeaderRecord(*h);
    if (!s) return std::move(s).tag(tag);
    slot = std::move(h);
    return Status::ok();
}

Status GetSetRecArr7(const HarHeader& h, SetRecArr7& sets) {
    const char* tag = " [GetSetRecArr7]";
    FreeSetRecArr7(sets).isOk();
    if (h.HeadType != "RE") return Status::fail("Not an RE Header" + std::string(tag));
    for (int k = 0; k < h.NDim && k < 7; ++k) {
        auto r = std::make_unique<TSetRec>();
        r->size = h.dims[k];
        r->name = h.dimLabels[k].empty() ? h.re.setNames[k] : h.dimLabels[k];
        r->description = "No description";
        r->ElmsKnown = h.SetElements[k].has_value();
        if (r->ElmsKnown) r->SetElms = *h.SetElements[k];
        sets[k] = std::move(r);
    }
    return Status::ok();
}

Status SetREDetailsFromSetRecArr7(const SetRecArr7& sets, const std::string& coefName, int NDim,
                                  HarHeader& h) {
    const char* tag = " [SetREDetailsFromSetRecArr7]";
    for (const auto& e : h.SetElements)
        if (e) return Status::fail("expected all SetElements to be nil" + std::string(tag));
    if (NDim < 0 || NDim > 7) return Status::fail("NDim>7" + std::string(tag));
    REDetails re;
    re.OrigNDim = NDim;
    re.coefName = coefName.substr(0, std::min(kSetNameLength, coefName.size()));
    for (int k = 0; k < 7; ++k) {
        h.dimLabels[k].clear();
        if (k < NDim) {
            if (!sets[k]) return Status::fail("unexpected nil Set pointer" + std::string(tag));
            if (sets[k]->ElmsKnown != sets[k]->SetElms.has_value())
                return Status::fail("ElmsKnown, SetElms mismatch" + std::string(tag));
            re.setNames[k] = sets[k]->name;
            h.dimLabels[k] = sets[k]->name;
            if (sets[k]->ElmsKnown) {
                h.SetElements[k] = *sets[k]->SetElms;
                re.RDelst[k] = 'k';
            } else {
                re.RDelst[k] = 'u';
            }
        } else {
            if (sets[k]) return Status::fail("expected a nil Set pointer" + std::string(tag));
            re.RDelst[k] = 'u';
        }
    }
    re.setDimsKnown = true;
    re.setNamesKnown = true;
    h.re = re;
    h.NDim = NDim;
    return Status::ok();
}

Status AddADim(const HarHeader& in, PSetRec set, bool asFirst, PHarHeader& out, bool allocate) {
    const char* tag = " [AddADim]";
    out.reset();
    Status s = ValidREDetails(in);
    if (!s) return Status::fail("InHed:" + s.message() + tag);
    if (in.NDim + 1 > 7) return Status::fail("Cannot make 8-dim array" + std::string(tag));
    if (!set) return Status::fail("unexpected nil Set pointer" + std::string(tag));
    if (set->size < 1) return Status::fail("Bad new set length" + std::string(tag));
    SetRecArr7 sets;
    s = GetSetRecArr7(in, sets);
    if (!s) return std::move(s).tag(tag);
    const int nd = in.NDim + 1;
    if (asFirst) {
        for (int k = 6; k > 0; --k) sets[k] = std::move(sets[k - 1]);
        sets[0] = std::move(set);
    } else {
        if (sets[in.NDim]) return Status::fail("expected a nil Set pointer" + std::string(tag));
        sets[in.NDim] = std::move(set);
    }
    Dims7 dims{1, 1, 1, 1, 1, 1, 1};
    for (int k = 0; k < nd; ++k) dims[k] = sets[k]->size;
    s = CreateUnLabelledRE(out, in.name, in.description, allocate, dims, nd);
    if (s) s = SetREDetailsFromSetRecArr7(sets, in.re.coefName, nd, *out);
    if (s) s = CompleteHeaderRecord(*out);
    if (s) {
        Status v = ValidREDetails(*out);
        if (!v) s = Status::fail("OutHed:" + v.message());
    }
    if (!s) {
        out.reset();
        return std::move(s).tag(tag);
    }
    return Status::ok();
}

Status CloneHeader(const HarHeader& src, PHarHeader& slot) {
    const char* tag = " [CloneHeader]";
    slot.reset();
    auto h = std::make_unique<HarHeader>();
    h->name = src.name;
    h->description = src.description;
    h->HeadType = src.HeadType;
    h->typeRead = src.typeRead;
    h->storage = src.storage;
    h->stringCount = src.stringCount;
    h->stringLength = src.stringLength;
    h->rows = src.rows;
    h->cols = src.cols;
    h->NDim = src.NDim;
    h->dims = src.dims;
    h->re = src.re;
    h->dimLabels = src.dimLabels;
    h->replacedCount = src.replacedCount;
    h->dimsText = src.dimsText;
    h->shortDimsText = src.shortDimsText;
    h->elementCount = src.elementCount;
    Status s;
    if (src.HeadType == "RE") {
        h->SetElements = src.SetElements;
        if (src.HeadMat.allocated()) s = copymat7(src.HeadMat, h->HeadMat);
    } else if (src.HeadType == "1C") {
        h->strings = src.strings;
    } else if (src.HeadType == "2I") {
        if (src.intMatrix)
            s = DupeLongIntArr(src.intMatrix, h->intMatrix, src.intMatrix->rows(), src.intMatrix->cols());
    } else {
        s = Status::fail("Unrecognized Header Type " + quoted(src.HeadType));
    }
    if (!s) return std::move(s).tag(tag);
    slot = std::move(h);
    return Status::ok();
}

void setCoefficientName(HarHeader& h, const std::string& name) {
    h.re.coefName = name.substr(0, std::min(kSetNameLength, name.size()));
}

Status FreeHead(PHarHeader& header) {
    header.reset();
    return Status::ok();
}

Status FreeHarData(HarFile& file) {
    file.headers.clear();
    file.creationDate.reset();
    file.creatingProgram.reset();
    file.history.reset();
    file.xxff.reset();
    return Status::ok();
}

// ---------------------------------------------------------------- convenience

Result<PHarHeader> makeREHeader(const std::string& name, const std::string& description,
                                const std::vector<HarSet>& sets, const std::vector<float>& values) {
    const char* tag = " [makeREHeader]";
    if (sets.size() > 7) return Result<PHarHeader>::fail("More than 7 sets" + std::string(tag));
    const int nd = static_cast<int>(sets.size());
    Dims7 dims{1, 1, 1, 1, 1, 1, 1};
    SetRecArr7 recs;
    for (int k = 0; k < nd; ++k) {
        if (sets[k].name.empty()) return Result<PHarHeader>::fail("Set " + str(k + 1) + " has no name" + tag);
        dims[k] = static_cast<std::int64_t>(sets[k].elements.size());
        auto r = std::make_unique<TSetRec>();
        r->size = dims[k];
        r->name = sets[k].name;
        r->ElmsKnown = true;
        r->SetElms = sets[k].elements;
        recs[k] = std::move(r);
    }
    PHarHeader h;
    Status s = CreateUnLabelledRE(h, name, description, true, dims, nd);
    if (s) s = SetREDetailsFromSetRecArr7(recs, trim(name), nd, *h);
    if (s && !values.empty()) {
        if (static_cast<std::int64_t>(values.size()) != h->HeadMat.size())
            s = Status::fail(str(static_cast<std::int64_t>(values.size())) + " values given, " +
                             str(h->HeadMat.size()) + " expected");
        else
            std::copy(values.begin(), values.end(), h->HeadMat.Root());
    }
    if (s) s = CompleteHeaderRecord(*h);
    if (!s) return std::move(s).tag(tag);
    return h;
}

Result<PHarHeader> makeStringHeader(const std::string& name, const std::string& description,
                                    const std::vector<std::string>& strings) {
    std::int64_t length = 1;
    for (const auto& s : strings)
        length = std::max<std::int64_t>(length, static_cast<std::int64_t>(s.size()));
    PHarHeader h;
    Status s = Create1C(h, name, description, length, static_cast<std::int64_t>(strings.size()), strings);
    if (!s) return std::move(s).tag(" [makeStringHeader]");
    return h;
}

}  // namespace vdln
