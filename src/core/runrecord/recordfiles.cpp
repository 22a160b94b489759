#include "runrecord/recordfiles.h"

#include <algorithm>

#include "base/besteffort.h"
#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"
#include "runrecord/recordstore.h"

namespace vdln {

TKeepRunInfo TKeepRunInfo::inDirectory(const std::string& keepDir) {
    TKeepRunInfo k;
    k.BaseFile = JoinPath(keepDir, "base.ini");
    k.RerunFile = JoinPath(keepDir, "rbase.ini");
    k.PolicyFile = JoinPath(keepDir, "pol.ini");
    return k;
}

std::string RunRecordFileName(const TKeepRunInfo& keep, int run) {
    switch (run) {
        case 1:
            return keep.BaseFile;
        case 2:
            return keep.RerunFile;
        case 3:
            return keep.PolicyFile;
        default:
            return std::string();
    }
}

std::string formatCompletionTime(std::int64_t fileTime) {
    auto u = static_cast<std::uint64_t>(fileTime);
    return std::to_string(static_cast<std::int32_t>(static_cast<std::uint32_t>(u & 0xFFFFFFFFu))) + " " +
           std::to_string(static_cast<std::int32_t>(static_cast<std::uint32_t>(u >> 32)));
}

std::optional<std::int64_t> parseCompletionTime(std::string_view text) {
    const std::string_view t = trimmedView(text);
    size_t sp = t.find(' ');
    if (sp == std::string_view::npos) return std::nullopt;
    auto lo = parseInt(t.substr(0, sp));
    auto hi = parseInt(t.substr(sp + 1));
    if (!lo || !hi || *lo < INT32_MIN || *lo > INT32_MAX || *hi < INT32_MIN || *hi > INT32_MAX)
        return std::nullopt;
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(static_cast<std::uint32_t>(*hi)) << 32) |
                                     static_cast<std::uint32_t>(*lo));
}

// ---------------------------------------------------------------------------

RunRecordView RunRecordView::load(const std::string& path) {
    if (!fileExists(path)) return RunRecordView();
    auto data = readWholeFile(path);
    if (!data) return RunRecordView();
    return fromOwnedText(std::make_shared<const std::string>(std::move(*data)));
}

RunRecordView::Section& RunRecordView::slot(std::string_view name) {
    auto it = m_index.find(name);
    if (it != m_index.end()) return m_sections[it->second];
    m_index.emplace(name, m_sections.size());
    return m_sections.emplace_back();
}

RunRecordView RunRecordView::fromIni(const IniFile& ini) {
    // The names and values are copied into one text, sized first so that
    // the views taken while it is filled stay valid.
    size_t size = 0;
    for (const std::string& name : ini.sections()) {
        size += name.size();
        ini.forEachEntry(
            name, [&](std::string_view key, std::string_view value) { size += key.size() + value.size(); });
    }
    auto text = std::make_shared<std::string>();
    text->reserve(size);
    auto keep = [&text](std::string_view part) {
        const size_t at = text->size();
        text->append(part);
        return std::string_view(text->data() + at, part.size());
    };
    RunRecordView v;
    v.m_present = true;
    for (const std::string& name : ini.sections()) {
        const std::string_view trimmed = trimmedView(name);
        // A section that appears twice: the first one wins, as for IniFile.
        if (auto it = v.m_index.find(trimmed); it != v.m_index.end()) {
            if (!v.m_sections[it->second].entries.empty()) continue;
        }
        Section& s = v.slot(keep(trimmed));
        ini.forEachEntry(name, [&](std::string_view key, std::string_view value) {
            s.entries.emplace_back(keep(key), keep(value));
        });
        s.finish();
    }
    v.m_text = std::move(text);
    return v;
}

RunRecordView RunRecordView::fromText(std::string_view text) {
    return fromOwnedText(std::make_shared<const std::string>(text));
}

RunRecordView RunRecordView::fromOwnedText(std::shared_ptr<const std::string> owned) {
    const std::string_view text = *owned;
    RunRecordView v;
    v.m_present = true;
    v.m_text = std::move(owned);
    // The keys before the first header belong to no section; those of a
    // section whose name came before are not read (the first one wins).
    // Entries are views, so a growing vector moves little.
    constexpr size_t kNone = static_cast<size_t>(-1);
    size_t current = kNone;
    auto finish = [&] {
        if (current != kNone) v.m_sections[current].finish();
    };
    IniFile::scanText(text, [&](const IniFile::TextLine& l) {
        if (l.kind == IniFile::TextLine::Kind::Header) {
            finish();
            const bool seen = v.m_index.find(l.name) != v.m_index.end();
            current = kNone;
            if (!seen) {
                v.slot(l.name);
                current = v.m_sections.size() - 1;
            }
        } else if (l.kind == IniFile::TextLine::Kind::Key && current != kNone) {
            v.m_sections[current].entries.emplace_back(l.name, l.value);
        }
    });
    finish();
    return v;
}

namespace {

// Sections up to this many keys are searched in order rather than hashed.
constexpr size_t kLinearKeys = 8;

}  // namespace

void RunRecordView::Section::finish() {
    const size_t n = entries.size();
    index.clear();
    std::vector<bool> dropped;
    if (n <= kLinearKeys) {
        for (size_t j = 1; j < n; ++j)
            for (size_t i = 0; i < j; ++i)
                if (iequals(entries[i].first, entries[j].first)) {
                    dropped.resize(n, false);
                    dropped[j] = true;
                    break;
                }
    } else {
        const CaseInsensitiveHash hash;
        index.reserve(n);
        for (size_t k = 0; k < n; ++k)
            index.push_back({hash(entries[k].first), static_cast<std::uint32_t>(k)});
        auto byHash = [](const Slot& a, const Slot& b) {
            return a.hash != b.hash ? a.hash < b.hash : a.pos < b.pos;
        };
        std::sort(index.begin(), index.end(), byHash);
        // Names of one hash lie together, the first key of a name first.
        for (size_t a = 0; a < n;) {
            size_t b = a + 1;
            while (b < n && index[b].hash == index[a].hash) ++b;
            for (size_t j = a + 1; j < b; ++j)
                for (size_t i = a; i < j; ++i)
                    if (iequals(entries[index[i].pos].first, entries[index[j].pos].first)) {
                        dropped.resize(n, false);
                        dropped[index[j].pos] = true;
                        break;
                    }
            a = b;
        }
    }
    if (dropped.empty()) return;
    // A key written twice: only the first is kept, as `IniFile::get` reads it.
    size_t out = 0;
    for (size_t k = 0; k < n; ++k)
        if (!dropped[k]) {
            if (out != k) entries[out] = std::move(entries[k]);
            ++out;
        }
    entries.resize(out);
    finish();
}

const std::string_view* RunRecordView::Section::find(std::string_view key) const {
    if (index.empty()) {
        for (const auto& kv : entries)
            if (iequals(kv.first, key)) return &kv.second;
        return nullptr;
    }
    const std::uint64_t h = CaseInsensitiveHash()(key);
    auto it = std::lower_bound(index.begin(), index.end(), h,
                               [](const Slot& s, std::uint64_t v) { return s.hash < v; });
    for (; it != index.end() && it->hash == h; ++it)
        if (iequals(entries[it->pos].first, key)) return &entries[it->pos].second;
    return nullptr;
}

const RunRecordView::Section* RunRecordView::section(std::string_view name) const {
    auto it = m_index.find(name);
    return it == m_index.end() ? nullptr : &m_sections[it->second];
}

bool RunRecordView::hasSection(std::string_view name) const {
    return section(name) != nullptr;
}

const std::string_view* RunRecordView::find(std::string_view sec, std::string_view key) const {
    const Section* s = section(sec);
    return s ? s->find(key) : nullptr;
}

std::string RunRecordView::get(std::string_view sec, std::string_view key, std::string_view def) const {
    const std::string_view* v = find(sec, key);
    return std::string(v ? *v : def);
}

long long RunRecordView::getInt(std::string_view sec, std::string_view key, long long def) const {
    const std::string_view* v = find(sec, key);
    if (!v) return def;
    auto n = parseInt(*v);
    return n ? *n : def;
}

bool RunRecordView::getBool(std::string_view sec, std::string_view key, bool def) const {
    const std::string_view* v = find(sec, key);
    if (!v) return def;
    std::string t = toLower(trim(*v));
    if (t == "yes" || t == "true") return true;
    if (t == "no" || t == "false") return false;
    auto n = parseInt(t);
    return n ? *n != 0 : def;
}

std::optional<std::int64_t> RunRecordView::getTime(std::string_view sec, std::string_view key) const {
    const std::string_view* v = find(sec, key);
    if (!v) return std::nullopt;
    return parseCompletionTime(*v);
}

const std::vector<RunRecordView::Entry>& RunRecordView::entries(std::string_view sec) const {
    static const std::vector<Entry> kNone;
    const Section* s = section(sec);
    return s ? s->entries : kNone;
}

RunRecords::RunRecords(const TKeepRunInfo& keep) {
    for (int r = 1; r <= 3; ++r) m_runs[r] = RunRecordView::load(RunRecordFileName(keep, r));
}

const RunRecordView& RunRecords::run(int r) const {
    static const RunRecordView kEmpty;
    if (r < 1 || r > 3) return kEmpty;
    return m_refs[r] ? *m_refs[r] : m_runs[r];
}

void RunRecords::set(int r, RunRecordView v) {
    if (r < 1 || r > 3) return;
    m_runs[r] = std::move(v);
    m_refs[r] = nullptr;
}

void RunRecords::refer(int r, const RunRecordView& v) {
    if (r < 1 || r > 3) return;
    m_runs[r] = RunRecordView();
    m_refs[r] = &v;
}

// ---------------------------------------------------------------------------

Status SaveRunRecordCopies(const TKeepRunInfo& keep, const std::array<bool, 4>& runs,
                           const DurableCopyNames& copies, const std::array<std::string, 4>& simNames,
                           const std::string& workDir) {
    RunRecordStore store;
    return SaveRunRecordCopies(keep, runs, copies, simNames, workDir, store);
}

Status SaveRunRecordCopies(const TKeepRunInfo& keep, const std::array<bool, 4>& runs,
                           const DurableCopyNames& copies, const std::array<std::string, 4>& simNames,
                           const std::string& workDir, RunRecordStore& store) {
    Status first;
    for (int r = 1; r <= 3; ++r) {
        if (!runs[r] || copies[r].empty()) continue;
        const std::string file = RunRecordFileName(keep, r);
        const auto name = store.value(file, "Run", "Sim name");
        const auto dir = store.value(file, "Run", "Sim Directory");
        if (!fileExists(file)) continue;
        if (!iequals(trim(name.value_or("")), simNames[r])) continue;
        if (!iequals(trim(dir.value_or("")), workDir)) continue;
        Status s = copyFile(file, copies[r], true);
        if (!s && first) first = std::move(s);
    }
    return first;
}

Status RestoreRunRecordCopies(const TKeepRunInfo& keep, const DurableCopyNames& copies, bool noRerun) {
    Status first;
    auto note = [&first](Status s) {
        if (!s && first) first = std::move(s);
    };
    for (int r = 1; r <= 3; ++r) note(deleteFile(RunRecordFileName(keep, r)));
    if (copies[1].empty() || !fileExists(copies[1])) return first;
    for (int r = 1; r <= 3; ++r) {
        if (r == 2 && noRerun) continue;
        if (copies[r].empty() || !fileExists(copies[r])) continue;
        // One fact of the copy: it is looked up in the text, without parsing
        // the whole file (the first section and key of a name, as `get`).
        auto copy = readWholeFile(copies[r]);
        const auto version = copy ? IniFile::findInText(*copy, "Options", "VardelVersion") : std::nullopt;
        const auto number = version ? parseInt(*version) : std::nullopt;
        if (number.value_or(0) < kMinRestorableVersion) continue;
        note(copyFile(copies[r], RunRecordFileName(keep, r), true));
    }
    return first;
}

Status WriteUserDsName(const std::string& file, const std::string& name) {
    RunRecordStore store;
    return WriteUserDsName(file, name, store);
}

Status WriteUserDsName(const std::string& file, const std::string& name, RunRecordStore& store) {
    auto ini = store.edit(file);
    if (!ini) return Status::fail(ini.message()).tag(" [WriteUserDsName]");
    (*ini)->set("Run", "User DS name", name);
    return store.save(file).tag(" [WriteUserDsName]");
}

std::string runRecordBackupName(const std::string& recordFile) {
    return changeExt(recordFile, ".bak");
}

Status BackupRunRecords(const TKeepRunInfo& keep) {
    Status first;
    for (int r = 1; r <= 3; ++r) {
        const std::string file = RunRecordFileName(keep, r);
        const std::string bak = runRecordBackupName(file);
        Status s = fileExists(file) ? copyFile(file, bak, true) : deleteFile(bak);
        if (!s && first) first = std::move(s);
    }
    return first;
}

void EndRunRecordBackups(const TKeepRunInfo& keep, const std::array<bool, 4>& progress) {
    for (int r = 1; r <= 3; ++r)
        if (progress[r])
            bestEffort(deleteFile(runRecordBackupName(RunRecordFileName(keep, r))),
                       "a backup left behind is replaced at the next job start");
}

}  // namespace vdln
