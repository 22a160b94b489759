#include "archive/zipfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <zip.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "base/besteffort.h"
#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"

namespace vdln {

std::string unsafeMemberReason(const std::string& name) {
    if (name.empty()) return "an empty member name";
    if (name.find('\0') != std::string::npos) return "a member name holding a NUL character";
    if (name.front() == '/' || name.front() == '\\') return "an absolute member name \"" + name + "\"";
    if (name.find('\\') != std::string::npos) return "a member name with a backslash \"" + name + "\"";
    if (name.size() >= 2 && name[1] == ':') return "a member name with a drive letter \"" + name + "\"";
    for (const std::string& part : split(name, '/')) {
        if (part == "..") return "a member name leading out of the folder \"" + name + "\"";
    }
    for (unsigned char c : name)
        if (c < 32) return "a member name with a control character";
    return "";
}

std::int64_t freeDiskSpace(const std::string& path) {
    struct statvfs st {};
    if (::statvfs(path.c_str(), &st) != 0) return -1;
    return static_cast<std::int64_t>(st.f_bavail) * static_cast<std::int64_t>(st.f_frsize);
}

bool wildcardMatch(const std::string& mask, const std::string& name) {
    // Iterative match with backtracking on the last "*".
    size_t m = 0, n = 0, star = std::string::npos, mark = 0;
    auto low = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == '?' || low(mask[m]) == low(name[n]))) {
            ++m;
            ++n;
        } else if (m < mask.size() && mask[m] == '*') {
            star = m++;
            mark = n;
        } else if (star != std::string::npos) {
            m = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*') ++m;
    return m == mask.size();
}

// ---------------------------------------------------------------- reading

ZipReader::ZipReader(ZipReader&& o) noexcept
    : m_zip(o.m_zip), m_name(std::move(o.m_name)), m_members(std::move(o.m_members)) {
    o.m_zip = nullptr;
}

ZipReader& ZipReader::operator=(ZipReader&& o) noexcept {
    if (this != &o) {
        if (m_zip) zip_discard(m_zip);
        m_zip = o.m_zip;
        o.m_zip = nullptr;
        m_name = std::move(o.m_name);
        m_members = std::move(o.m_members);
    }
    return *this;
}

ZipReader::~ZipReader() {
    if (m_zip) zip_discard(m_zip);
}

Result<ZipReader> ZipReader::open(const std::string& path) {
    ZipReader r;
    r.m_name = path;
    int err = 0;
    r.m_zip = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &err);
    if (!r.m_zip) return Result<ZipReader>::fail(path + "seems not to be a valid zip archive");
    if (Status s = r.load(); !s) return s;
    return r;
}

Result<ZipReader> ZipReader::fromBytes(const std::string& bytes) {
    ZipReader r;
    r.m_name = "(memory)";
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* src = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    if (!src) {
        zip_error_fini(&error);
        return Result<ZipReader>::fail("(memory)seems not to be a valid zip archive");
    }
    r.m_zip = zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    zip_error_fini(&error);
    if (!r.m_zip) {
        zip_source_free(src);
        return Result<ZipReader>::fail("(memory)seems not to be a valid zip archive");
    }
    if (Status s = r.load(); !s) return s;
    return r;
}

Status ZipReader::load() {
    zip_int64_t n = zip_get_num_entries(m_zip, 0);
    if (n < 0) return Status::fail(m_name + "seems not to be a valid zip archive");
    for (zip_int64_t i = 0; i < n; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(m_zip, static_cast<zip_uint64_t>(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME))
            return Status::fail(m_name + "seems not to be a valid zip archive");
        ZipMember m;
        m.index = static_cast<std::uint64_t>(i);
        m.name = st.name;
        m.size = (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
        m.compressedSize = (st.valid & ZIP_STAT_COMP_SIZE) ? st.comp_size : 0;
        m.mtime = (st.valid & ZIP_STAT_MTIME) ? static_cast<std::int64_t>(st.mtime) : 0;
        m.isDirectory = !m.name.empty() && m.name.back() == '/';
        zip_uint8_t opsys = 0;
        zip_uint32_t attr = 0;
        if (zip_file_get_external_attributes(m_zip, m.index, 0, &opsys, &attr) == 0 &&
            opsys == ZIP_OPSYS_UNIX) {
            unsigned mode = (attr >> 16) & 0xFFFFu;
            m.isSymlink = (mode & S_IFMT) == S_IFLNK;
            m.unixMode = mode & 07777u;
        }
        m_members.push_back(std::move(m));
    }
    return Status::ok();
}

const ZipMember* ZipReader::find(const std::string& name) const {
    for (const auto& m : m_members)
        if (iequals(m.name, name)) return &m;
    return nullptr;
}

Result<std::string> ZipReader::read(const ZipMember& m, std::uint64_t maxBytes) const {
    if (m.size > maxBytes) return Result<std::string>::fail("Member " + m.name + " is too large");
    zip_file_t* f = zip_fopen_index(m_zip, m.index, 0);
    if (!f) return Result<std::string>::fail("Cannot read member " + m.name);
    std::string out;
    char buf[65536];
    for (;;) {
        zip_int64_t got = zip_fread(f, buf, sizeof buf);
        if (got < 0) {
            zip_fclose(f);
            return Result<std::string>::fail("Cannot read member " + m.name);
        }
        if (got == 0) break;
        out.append(buf, static_cast<size_t>(got));
        if (out.size() > m.size || out.size() > maxBytes) {
            zip_fclose(f);
            return Result<std::string>::fail("Member " + m.name + " holds more data than it declares");
        }
    }
    zip_fclose(f);
    if (out.size() != m.size)
        return Result<std::string>::fail("Member " + m.name + " is shorter than it declares");
    return out;
}

namespace {
// True when `path` (an existing folder) lies inside `root`.
bool insideFolder(const std::string& root, const std::string& path) {
    char a[PATH_MAX], b[PATH_MAX];
    if (!::realpath(root.c_str(), a) || !::realpath(path.c_str(), b)) return false;
    std::string ra(a), rb(b);
    return rb == ra || (rb.size() > ra.size() && rb.compare(0, ra.size(), ra) == 0 &&
                        (ra == "/" || rb[ra.size()] == '/'));
}

std::string tempNameBeside(const std::string& path) {
    return JoinPath(dirOf(path).empty() ? "." : dirOf(path),
                    "." + nameOf(path) + ".part" + uniqueTempSuffix());
}
}  // namespace

Result<std::string> ZipReader::extract(const ZipMember& m, const std::string& folder) const {
    if (std::string why = unsafeMemberReason(m.name); !why.empty())
        return Result<std::string>::fail("Refused to extract " + why + ".");
    if (m.isSymlink)
        return Result<std::string>::fail("Refused to extract the symbolic link \"" + m.name + "\".");
    if (!directoryExists(folder)) return Result<std::string>::fail("Cannot locate the folder " + folder);
    std::string target = JoinPath(folder, m.name);
    if (m.isDirectory) {
        if (Status s = makeDirectories(target); !s) return s;
        if (!insideFolder(folder, target))
            return Result<std::string>::fail("Refused to extract \"" + m.name + "\" outside the folder.");
        return target;
    }
    std::string parent = dirOf(target);
    if (Status s = makeDirectories(parent); !s) return s;
    if (!insideFolder(folder, parent))
        return Result<std::string>::fail("Refused to extract \"" + m.name + "\" outside the folder.");
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
        return Result<std::string>::fail("Refused to write through the symbolic link " + target + ".");

    zip_file_t* f = zip_fopen_index(m_zip, m.index, 0);
    if (!f) return Result<std::string>::fail("Cannot read member " + m.name);
    std::string temp = tempNameBeside(target);
    const mode_t perm = (m.unixMode & 0111u) ? 0755 : 0644;
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, perm);
    if (fd < 0) {
        zip_fclose(f);
        return Result<std::string>::fail("Cannot create file " + target);
    }
    std::uint64_t total = 0;
    std::string error;
    char buf[65536];
    for (;;) {
        zip_int64_t got = zip_fread(f, buf, sizeof buf);
        if (got < 0) {
            error = "The data of member " + m.name + " are damaged";
            break;
        }
        if (got == 0) break;
        total += static_cast<std::uint64_t>(got);
        if (total > m.size) {
            error = "Member " + m.name + " holds more data than it declares";
            break;
        }
        size_t done = 0;
        while (done < static_cast<size_t>(got)) {
            ssize_t w = ::write(fd, buf + done, static_cast<size_t>(got) - done);
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) {
                error = "Cannot write file " + target + ": " + std::strerror(w < 0 ? errno : ENOSPC);
                break;
            }
            done += static_cast<size_t>(w);
        }
        if (!error.empty()) break;
    }
    zip_fclose(f);
    if (error.empty() && total != m.size) error = "Member " + m.name + " is shorter than it declares";
    if (::close(fd) != 0 && error.empty())
        error = "Cannot write file " + target + ": " + std::strerror(errno);
    if (error.empty() && ::rename(temp.c_str(), target.c_str()) != 0) error = "Cannot create file " + target;
    if (!error.empty()) {
        ::unlink(temp.c_str());
        return Result<std::string>::fail(error);
    }
    if (m.mtime > 0)
        bestEffort(setFileWriteTime(target, fileTimeFromUnix(m.mtime, 0)),
                   "the archived file time is a courtesy; the contents are restored");
    return target;
}

Result<std::vector<std::string>> ZipReader::extractAll(const std::string& folder, const std::string& mask,
                                                       const std::function<bool()>& cancel) const {
    std::vector<const ZipMember*> chosen;
    std::uint64_t total = 0;
    for (const auto& m : m_members) {
        if (!wildcardMatch(mask, m.name)) continue;
        if (std::string why = unsafeMemberReason(m.name); !why.empty())
            return Result<std::vector<std::string>>::fail("Refused to extract " + why + ".");
        if (m.isSymlink)
            return Result<std::vector<std::string>>::fail("Refused to extract the symbolic link \"" + m.name +
                                                          "\".");
        chosen.push_back(&m);
        total += m.size;
    }
    std::int64_t avail = freeDiskSpace(folder);
    if (avail >= 0 && total > static_cast<std::uint64_t>(avail))
        return Result<std::vector<std::string>>::fail("There is not enough free disk space in " + folder +
                                                      " to extract the files.");
    std::vector<std::string> written;
    for (const ZipMember* m : chosen) {
        if (cancel && cancel())
            return Result<std::vector<std::string>>::fail("Unzipping halted via Cancel button.");
        auto r = extract(*m, folder);
        if (!r) return Result<std::vector<std::string>>::fail(r.message());
        written.push_back(*r);
    }
    return written;
}

// ---------------------------------------------------------------- writing

ZipWriter::ZipWriter(ZipWriter&& o) noexcept
    : m_zip(o.m_zip),
      m_target(std::move(o.m_target)),
      m_temp(std::move(o.m_temp)),
      m_names(std::move(o.m_names)),
      m_buffers(std::move(o.m_buffers)) {
    o.m_zip = nullptr;
    o.m_temp.clear();
}

ZipWriter& ZipWriter::operator=(ZipWriter&& o) noexcept {
    if (this != &o) {
        discard();
        m_zip = o.m_zip;
        o.m_zip = nullptr;
        m_target = std::move(o.m_target);
        m_temp = std::move(o.m_temp);
        o.m_temp.clear();
        m_names = std::move(o.m_names);
        m_buffers = std::move(o.m_buffers);
    }
    return *this;
}

ZipWriter::~ZipWriter() {
    discard();
}

void ZipWriter::discard() {
    if (m_zip) {
        zip_discard(m_zip);
        m_zip = nullptr;
    }
    if (!m_temp.empty()) {
        ::unlink(m_temp.c_str());
        m_temp.clear();
    }
}

Result<ZipWriter> ZipWriter::create(const std::string& path) {
    ZipWriter w;
    w.m_target = path;
    w.m_temp = tempNameBeside(path);
    int err = 0;
    w.m_zip = zip_open(w.m_temp.c_str(), ZIP_CREATE | ZIP_EXCL, &err);
    if (!w.m_zip) {
        w.m_temp.clear();
        return Result<ZipWriter>::fail("Cannot create file " + path);
    }
    return w;
}

Status ZipWriter::addFile(const std::string& file, const std::string& nameInZip) {
    auto lockedText = [&] {
        return "Error zipping file\r\n" + file +
               "\r\nThe file seems to be locked by another application.\r\nIf so, free the file and try "
               "again.";
    };
    if (!m_zip || !fileExists(file)) return Status::fail(lockedText());
    // The file is read when the archive is written (commit), not held in memory.
    zip_source_t* src = zip_source_file(m_zip, file.c_str(), 0, -1);
    if (!src) return Status::fail(lockedText());
    zip_int64_t idx = zip_file_add(m_zip, nameInZip.c_str(), src, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8);
    if (idx < 0) {
        zip_source_free(src);
        return Status::fail(lockedText() + "\r\n" + zip_strerror(m_zip));
    }
    zip_set_file_compression(m_zip, static_cast<zip_uint64_t>(idx), ZIP_CM_DEFLATE, 6);
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0)
        zip_file_set_external_attributes(m_zip, static_cast<zip_uint64_t>(idx), 0, ZIP_OPSYS_UNIX,
                                         (static_cast<zip_uint32_t>(S_IFREG) | (st.st_mode & 0777u)) << 16);
    if (auto t = fileWriteTime(file)) {
        std::int64_t s, ns;
        unixFromFileTime(*t, s, ns);
        zip_file_set_mtime(m_zip, static_cast<zip_uint64_t>(idx), static_cast<time_t>(s), 0);
    }
    m_names.push_back(nameInZip);
    return Status::ok();
}

Status ZipWriter::addBytes(const std::string& nameInZip, const std::string& bytes) {
    if (!m_zip) return Status::fail("Cannot add " + nameInZip);
    m_buffers.push_back(std::make_unique<std::string>(bytes));
    const std::string& b = *m_buffers.back();
    zip_source_t* src = zip_source_buffer(m_zip, b.data(), b.size(), 0);
    if (!src) return Status::fail("Cannot add " + nameInZip);
    zip_int64_t idx = zip_file_add(m_zip, nameInZip.c_str(), src, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8);
    if (idx < 0) {
        zip_source_free(src);
        return Status::fail("Cannot add " + nameInZip + "\r\n" + zip_strerror(m_zip));
    }
    zip_set_file_compression(m_zip, static_cast<zip_uint64_t>(idx), ZIP_CM_DEFLATE, 6);
    m_names.push_back(nameInZip);
    return Status::ok();
}

Status ZipWriter::commit() {
    if (!m_zip) return Status::fail("Cannot create file " + m_target);
    if (m_names.empty()) {
        // libzip writes no file for an empty archive; write the empty
        // end-of-central-directory record ourselves.
        zip_discard(m_zip);
        m_zip = nullptr;
        std::string eocd("PK\x05\x06", 4);
        eocd.append(18, '\0');
        Status s = writeFileAtomic(m_target, eocd);
        ::unlink(m_temp.c_str());
        m_temp.clear();
        return s;
    }
    if (zip_close(m_zip) != 0) {
        std::string why = zip_strerror(m_zip);
        zip_discard(m_zip);
        m_zip = nullptr;
        ::unlink(m_temp.c_str());
        m_temp.clear();
        return Status::fail("Cannot create file " + m_target + "\r\n" + why);
    }
    m_zip = nullptr;
    if (::rename(m_temp.c_str(), m_target.c_str()) != 0) {
        ::unlink(m_temp.c_str());
        m_temp.clear();
        return Status::fail("Cannot create file " + m_target);
    }
    m_temp.clear();
    return Status::ok();
}

}  // namespace vdln
