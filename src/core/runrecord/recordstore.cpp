#include "runrecord/recordstore.h"

#include <sys/stat.h>

namespace vdln {

RunRecordStore::Identity RunRecordStore::identityOf(const std::string& path) {
    Identity id;
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return id;
    id.exists = true;
    id.dev = static_cast<std::uint64_t>(st.st_dev);
    id.ino = static_cast<std::uint64_t>(st.st_ino);
    id.size = static_cast<std::int64_t>(st.st_size);
    id.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return id;
}

RunRecordStore::Entry& RunRecordStore::current(const std::string& path) {
    const Identity now = identityOf(path);
    auto it = m_files.find(path);
    if (it != m_files.end() && it->second.id == now) return it->second;
    Entry e;
    e.id = now;
    if (now.exists) {
        ++m_parses;
        auto loaded = IniFile::load(path);
        if (loaded) {
            e.ini = std::move(*loaded);
        } else {
            e.readable = false;
            e.error = loaded.message();
        }
    }
    return m_files.insert_or_assign(path, std::move(e)).first->second;
}

const RunRecordView& RunRecordStore::view(const std::string& path) {
    Entry& e = current(path);
    if (!e.view) e.view = (e.id.exists && e.readable) ? RunRecordView::fromIni(e.ini) : RunRecordView();
    return *e.view;
}

std::optional<std::string> RunRecordStore::value(const std::string& path, std::string_view section,
                                                 std::string_view key) {
    Entry& e = current(path);
    if (!e.id.exists || !e.readable) return std::nullopt;
    if (e.view) {
        const std::string_view* v = e.view->find(section, key);
        return v ? std::optional<std::string>(*v) : std::nullopt;
    }
    return e.ini.get(section, key);
}

Result<IniFile*> RunRecordStore::edit(const std::string& path) {
    Entry& e = current(path);
    if (!e.readable) return Result<IniFile*>::fail(e.error);
    e.view.reset();  // rebuilt from the edited contents at the next lookup
    return &e.ini;
}

Status RunRecordStore::save(const std::string& path) {
    auto it = m_files.find(path);
    if (it == m_files.end()) return Status::fail("Nothing to save for " + path);
    Status s = it->second.ini.save(path);
    if (!s) {
        m_files.erase(it);  // what is on disk is read again
        return s;
    }
    it->second.id = identityOf(path);
    it->second.view.reset();
    return s;
}

}  // namespace vdln
