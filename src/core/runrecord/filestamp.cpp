#include "runrecord/filestamp.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstdio>
#include <vector>

#include "base/fileutil.h"
#include "base/paths.h"
#include "base/strutil.h"

namespace vdln {

namespace {

constexpr std::int64_t kTwoSeconds = 20000000LL;  // in 100-ns units

// What is known about a file now.
struct FileFacts {
    bool exists = false;
    std::optional<std::int64_t> time;
    std::optional<std::int64_t> size;
};

// True when the folder of `path` lists an entry with its name (any case).
bool listedInFolder(const std::string& path) {
    std::string dir = dirOf(path);
    std::string name = nameOf(path);
    if (name.empty()) return false;
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return false;
    bool found = false;
    while (struct dirent* e = ::readdir(d)) {
        if (iequals(e->d_name, name)) {
            found = true;
            break;
        }
    }
    ::closedir(d);
    return found;
}

FileFacts factsOf(const struct stat& st) {
    FileFacts f;
    if (S_ISDIR(st.st_mode)) return f;  // a folder is not the file asked for
    f.exists = true;
    f.time = fileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    f.size = static_cast<std::int64_t>(st.st_size);
    return f;
}

FileFacts examine(const std::string& file, FolderListings* listings) {
    FileFacts f;
    if (file.empty()) return f;
    struct stat st {};
    // A file found as written is the file the look-up without regard to case
    // would give (it keeps a name that exists): one stat() tells all.
    if (::stat(file.c_str(), &st) == 0) return factsOf(st);
    std::string actual = listings ? listings->findIgnoringCase(file) : findFileIgnoringCase(file);
    if (::stat(actual.c_str(), &st) == 0) return factsOf(st);
    f.exists = listings ? listings->listed(actual) : listedInFolder(actual);
    return f;
}

// Splits off the first blank-separated field; false when there is no blank.
bool takeField(std::string_view& rest, std::string_view& field) {
    size_t sp = rest.find(' ');
    if (sp == std::string_view::npos) return false;
    field = rest.substr(0, sp);
    rest.remove_prefix(sp + 1);
    return true;
}

std::optional<std::int32_t> parseInt32(std::string_view s) {
    // The fields of a stamp are plain decimal numbers: those are read here
    // digit by digit; anything else takes the general parse.
    const bool negative = !s.empty() && s.front() == '-';
    const std::string_view digits = negative ? s.substr(1) : s;
    if (!digits.empty() && digits.size() <= 9) {
        std::int32_t v = 0;
        bool plain = true;
        for (char c : digits) {
            if (c < '0' || c > '9') {
                plain = false;
                break;
            }
            v = v * 10 + (c - '0');
        }
        if (plain) return negative ? -v : v;
    }
    auto v = parseInt(s);
    if (!v || *v < INT32_MIN || *v > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(*v);
}

std::string lowerFirst(std::string_view s) {
    std::string r(s);
    if (!r.empty() && r[0] >= 'A' && r[0] <= 'Z') r[0] = static_cast<char>(r[0] - 'A' + 'a');
    return r;
}

// A size as the messages show it: -1 for a missing file's stamp.
std::string sizeText(std::int64_t size) {
    return std::to_string(size < 0 ? -1 : size);
}

std::string joinLines(const std::vector<std::string>& lines) {
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i) out += "\r\n";
        out += lines[i];
    }
    return out;
}

}  // namespace

std::int64_t ParsedStamp::size() const {
    return static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(static_cast<std::uint32_t>(sizeHigh)) << 32) |
        static_cast<std::uint32_t>(sizeLow));
}

std::string formatFileStamp(std::int64_t fileTime, std::int64_t size, std::string_view name) {
    auto u = static_cast<std::uint64_t>(fileTime);
    auto s = static_cast<std::uint64_t>(size);
    std::string out;
    out += std::to_string(static_cast<std::int32_t>(static_cast<std::uint32_t>(u & 0xFFFFFFFFu)));
    out += ' ';
    out += std::to_string(static_cast<std::int32_t>(static_cast<std::uint32_t>(u >> 32)));
    out += ' ';
    out += std::to_string(static_cast<std::int32_t>(static_cast<std::uint32_t>(s & 0xFFFFFFFFu)));
    out += ' ';
    out += std::to_string(static_cast<std::int32_t>(static_cast<std::uint32_t>(s >> 32)));
    out += ' ';
    out += name;
    return out;
}

std::string FileStamp(const std::string& file, FolderListings* listings) {
    FileFacts f = examine(file, listings);
    if (f.exists && f.time && f.size) return formatFileStamp(*f.time, *f.size, file);
    return formatFileStamp(0, -1, file);
}

namespace {

// A stamp taken apart, its name a view into the stamp's text.
struct StampParts {
    ParsedStamp::Form form = ParsedStamp::Form::Invalid;
    std::int64_t fileTime = 0;
    std::int32_t sizeLow = -1, sizeHigh = -1;
    std::uint32_t dosTime = 0;
    std::string_view name;

    std::int64_t size() const {
        return static_cast<std::int64_t>(
            (static_cast<std::uint64_t>(static_cast<std::uint32_t>(sizeHigh)) << 32) |
            static_cast<std::uint32_t>(sizeLow));
    }
    bool isMissingFile() const {
        return form == ParsedStamp::Form::Current && fileTime == 0 && sizeLow == -1 && sizeHigh == -1;
    }
};

StampParts stampParts(std::string_view stamp) {
    StampParts p;
    std::string_view rest = stamp;
    std::string_view f[4];
    int n = 0;
    while (n < 4 && takeField(rest, f[n])) ++n;
    if (n == 4) {
        auto a = parseInt32(f[0]), b = parseInt32(f[1]), c = parseInt32(f[2]), d = parseInt32(f[3]);
        if (a && b && c && d) {
            p.form = ParsedStamp::Form::Current;
            p.fileTime =
                static_cast<std::int64_t>((static_cast<std::uint64_t>(static_cast<std::uint32_t>(*b)) << 32) |
                                          static_cast<std::uint32_t>(*a));
            p.sizeLow = *c;
            p.sizeHigh = *d;
            p.name = rest;
            return p;
        }
    }
    rest = stamp;
    std::string_view first;
    if (takeField(rest, first)) {
        auto v = parseInt(first);
        if (v && *v >= 0 && *v <= 0xFFFFFFFFLL) {
            p.form = ParsedStamp::Form::OldDos;
            p.dosTime = static_cast<std::uint32_t>(*v);
            p.name = rest;
            return p;
        }
    }
    return p;
}

}  // namespace

ParsedStamp parseStamp(std::string_view stamp) {
    const StampParts v = stampParts(stamp);
    ParsedStamp p;
    p.form = v.form;
    p.fileTime = v.fileTime;
    p.sizeLow = v.sizeLow;
    p.sizeHigh = v.sizeHigh;
    p.dosTime = v.dosTime;
    p.name = std::string(v.name);
    return p;
}

std::string StampName(std::string_view stamp) {
    ParsedStamp p = parseStamp(stamp);
    if (p.form == ParsedStamp::Form::Invalid) return kNoStampName;
    return p.name;
}

std::int64_t StampTime(std::string_view stamp) {
    ParsedStamp p = parseStamp(stamp);
    return p.form == ParsedStamp::Form::Current ? p.fileTime : 0;
}

std::int64_t StampSize(std::string_view stamp) {
    ParsedStamp p = parseStamp(stamp);
    return p.form == ParsedStamp::Form::Current ? p.size() : -1;
}

std::string formatDosDateTime(std::uint32_t dosTime) {
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    unsigned date = dosTime >> 16, time = dosTime & 0xFFFFu;
    unsigned day = date & 31u, month = (date >> 5) & 15u, year = 1980 + (date >> 9);
    unsigned hour = time >> 11, minute = (time >> 5) & 63u, second = (time & 31u) * 2;
    std::string mon = (month >= 1 && month <= 12) ? kMonths[month - 1] : std::to_string(month);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%02u-%s-%04u at %02u:%02u:%02u", day, mon.c_str(), year, hour, minute,
                  second);
    return buf;
}

std::string formatStampTime(std::int64_t fileTime) {
    return formatDosDateTime(dosDateTimeOfFileTime(fileTime));
}

StampCompareResult CompareFileStamp(std::string_view label, std::string_view context,
                                    std::string_view storedStamp, const std::string& currentFile,
                                    std::string_view verb, const StampCheck& check) {
    StampCompareResult r;
    const StampParts stored = stampParts(storedStamp);
    // The texts of the messages are made only when the stamps differ.
    auto str = [](std::string_view v) { return std::string(v); };

    if (check.name) {
        const std::string_view storedName =
            stored.form == ParsedStamp::Form::Invalid ? std::string_view() : stored.name;
        if (storedName.empty() || !iequals(storedName, currentFile)) {
            r.ok = false;
            r.message =
                joinLines({"The name of " + lowerFirst(label), "    has changed. Now it is: " + currentFile,
                           "    but when you last ran the " + str(context) + " it was: " + str(storedName)});
            return r;
        }
    }
    if (!check.timeAndSize) return r;

    FileFacts now = examine(currentFile, check.listings);

    // Whether the current time agrees with the stored one.
    bool timesAgree = false;
    if (stored.form == ParsedStamp::Form::Current) {
        if (stored.isMissingFile() && !now.exists) return r;  // missing then and now
        if (now.time) {
            std::int64_t diff = *now.time - stored.fileTime;
            timesAgree = (diff < kTwoSeconds && diff > -kTwoSeconds) ||
                         dosDateTimeOfFileTime(*now.time) == dosDateTimeOfFileTime(stored.fileTime);
        }
    } else if (stored.form == ParsedStamp::Form::OldDos) {
        if (now.time) timesAgree = dosDateTimeOfFileTime(*now.time) == stored.dosTime;
    }

    if (!timesAgree) {
        const std::string head = str(label) + ": " + currentFile;
        const std::string ctx(context), vb(verb);
        // The stored time as text, made only for the message.
        const std::string storedTimeText =
            stored.form == ParsedStamp::Form::Current
                ? formatStampTime(stored.fileTime)
                : formatDosDateTime(stored.form == ParsedStamp::Form::OldDos ? stored.dosTime : 0);
        r.ok = false;
        if (now.time) {
            r.message =
                joinLines({head + " is different since",
                           "    the current file was created on " + formatStampTime(*now.time) + " but",
                           "    the file " + vb + " when you last ran the " + ctx,
                           "    was created on " + storedTimeText + "."});
        } else if (now.exists) {
            r.message =
                joinLines({head + " exists yet", "   this program cannot identify when it was created. The",
                           "    file " + vb + " when you last ran the " + ctx,
                           "    was created on " + storedTimeText + "."});
        } else {
            r.message = joinLines({head + " no longer exists while",
                                   "    the file " + vb + " when you last ran the " + ctx,
                                   "    was created on " + storedTimeText + "."});
        }
        return r;
    }
    if (stored.form != ParsedStamp::Form::Current) return r;  // older stamps: the time alone

    if (!now.size || *now.size != stored.size()) {
        const std::string head = str(label) + ": " + currentFile;
        const std::string ctx(context), vb(verb);
        r.ok = false;
        const std::string storedSize = sizeText(stored.size());
        if (now.size) {
            r.message = joinLines({head + " is different since",
                                   "    the current version has size " + sizeText(*now.size) + " bytes but",
                                   "    the version " + vb + " when you last ran the " + ctx,
                                   "    had size " + storedSize + " bytes."});
        } else if (now.exists) {
            r.message =
                joinLines({head + " exists yet", "   this program cannot identify when it was created. The",
                           "    version " + vb + " when you last ran the " + ctx,
                           "    had size " + storedSize + " bytes."});
        } else {
            r.message = joinLines({head + " no longer exists while",
                                   "    the version " + vb + " when you last ran the " + ctx,
                                   "    had size " + storedSize + " bytes."});
        }
    }
    return r;
}

}  // namespace vdln
