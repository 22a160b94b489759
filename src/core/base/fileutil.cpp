#include "base/fileutil.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#include "base/besteffort.h"

namespace vdln {

namespace fs = std::filesystem;

Result<std::string> readWholeFile(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return Result<std::string>::fail("Cannot open file " + path);
    std::string data;
    // The size the file has now is read in one piece into the string;
    // whatever follows (a file that grew, or one of no known size) is
    // appended as it comes.
    struct stat st {};
    if (::fstat(::fileno(f), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        data.resize(static_cast<size_t>(st.st_size));
        data.resize(std::fread(data.data(), 1, data.size(), f));
    }
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.append(buf, n);
    bool bad = std::ferror(f) != 0;
    std::fclose(f);
    if (bad) return Result<std::string>::fail("read error from file " + path);
    return data;
}

std::string uniqueTempSuffix() {
    // Drawn once: a random device can cost more than the write it names.
    static const unsigned drawn = std::random_device{}() % 1000000;
    static std::atomic<std::uint64_t> count{0};
    return std::to_string(::getpid()) + "-" + std::to_string(drawn) + "-" + std::to_string(count++);
}

Status writeFileAtomic(const std::string& path, std::string_view content, bool durable) {
    fs::path target(path);
    std::string dir = target.has_parent_path() ? target.parent_path().string() : ".";
    std::string tmp =
        (fs::path(dir) / ("." + target.filename().string() + ".tmp" + uniqueTempSuffix())).string();
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        // A full or read-only disk is named; a missing folder keeps the
        // short text.
        const int err = errno;
        const bool disk = err == ENOSPC || err == EDQUOT || err == EROFS;
        return Status::fail("Cannot create file " + path +
                            (disk ? std::string(": ") + std::strerror(err) : ""));
    }
    size_t done = 0;
    while (done < content.size()) {
        ssize_t w = ::write(fd, content.data() + done, content.size() - done);
        if (w < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            ::close(fd);
            ::unlink(tmp.c_str());
            return Status::fail("Cannot write file " + path + ": " + std::strerror(err));
        }
        done += static_cast<size_t>(w);
    }
    // Keep the permissions of the file being replaced.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && ::fchmod(fd, st.st_mode & 07777) != 0) {
        const int err = errno;
        bestEffort(Status::fail("Cannot give " + path + " the permissions it had: " + std::strerror(err)),
                   "the file is written with the default permissions");
    }
    if ((durable && ::fsync(fd) != 0) || ::close(fd) != 0) {
        const int err = errno;
        ::unlink(tmp.c_str());
        return Status::fail("Cannot write file " + path + ": " + std::strerror(err));
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return Status::fail("Cannot create file " + path);
    }
    return Status::ok();
}

Status writeLinesAtomic(const std::string& path, const std::vector<std::string>& lines, bool durable) {
    std::string text;
    for (const auto& l : lines) {
        text += l;
        text += "\r\n";
    }
    return writeFileAtomic(path, text, durable);
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool directoryExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<std::int64_t> fileSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return static_cast<std::int64_t>(st.st_size);
}

std::int64_t fileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds) {
    return seconds * 10000000LL + nanoseconds / 100 + kFileTimeUnixOffset;
}

void unixFromFileTime(std::int64_t fileTime, std::int64_t& seconds, std::int64_t& nanoseconds) {
    std::int64_t t = fileTime - kFileTimeUnixOffset;
    seconds = t / 10000000LL;
    std::int64_t rest = t % 10000000LL;
    if (rest < 0) {
        rest += 10000000LL;
        --seconds;
    }
    nanoseconds = rest * 100;
}

std::optional<std::int64_t> fileWriteTime(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return fileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
}

Status setFileWriteTime(const std::string& path, std::int64_t fileTime) {
    std::int64_t s, ns;
    unixFromFileTime(fileTime, s, ns);
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(s);
    times[1].tv_nsec = static_cast<long>(ns);
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
        return Status::fail("Cannot set the time of file " + path);
    return Status::ok();
}

std::tm localTimeOfFileTime(std::int64_t fileTime) {
    std::int64_t s, ns;
    unixFromFileTime(fileTime, s, ns);
    time_t t = static_cast<time_t>(s);
    std::tm tm{};
    ::localtime_r(&t, &tm);
    return tm;
}

std::uint32_t dosDateTimeOfFileTime(std::int64_t fileTime) {
    std::tm tm = localTimeOfFileTime(fileTime);
    int year = tm.tm_year + 1900;
    if (year < 1980) return (1u << 5 | 1u) << 16;  // 1980-01-01 00:00:00, the earliest DOS date
    std::uint32_t date =
        static_cast<std::uint32_t>(((year - 1980) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
    std::uint32_t time = static_cast<std::uint32_t>((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
    return (date << 16) | time;
}

Status copyFile(const std::string& from, const std::string& to, bool keepTime) {
    std::error_code ec;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    if (ec) return Status::fail("Cannot copy file " + from + " to " + to);
    if (keepTime) {
        auto t = fileWriteTime(from);
        if (!t) return Status::fail("Cannot open file " + from);
        return setFileWriteTime(to, *t);
    }
    return Status::ok();
}

Status deleteFile(const std::string& path) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) return Status::fail("Cannot delete file " + path);
    return Status::ok();
}

Status makeDirectories(const std::string& path) {
    std::error_code ec;
    fs::create_directories(path, ec);
    if (ec && !directoryExists(path)) return Status::fail("Cannot create directory " + path);
    return Status::ok();
}

}  // namespace vdln
