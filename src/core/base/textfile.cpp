#include "base/textfile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "base/besteffort.h"

namespace vdln {

namespace {
constexpr size_t kTextBufferSize = 60001;
}

TxtFile::~TxtFile() {
    if (m_file) std::fclose(m_file);
}

TxtFile::TxtFile(TxtFile&& other) noexcept
    : m_file(std::exchange(other.m_file, nullptr)),
      m_writing(other.m_writing),
      m_failed(other.m_failed),
      m_name(std::move(other.m_name)) {}

TxtFile& TxtFile::operator=(TxtFile&& other) noexcept {
    if (this != &other) {
        if (m_file) std::fclose(m_file);
        m_file = std::exchange(other.m_file, nullptr);
        m_writing = other.m_writing;
        m_failed = other.m_failed;
        m_name = std::move(other.m_name);
    }
    return *this;
}

bool TxtFile::readLine(std::string& line) {
    line.clear();
    if (!m_file || m_writing) return false;
    bool gotAny = false;
    // The file is this object's alone, so its stream lock is not taken for
    // every character (that lock was most of the cost of reading a line),
    // and the characters reach the line in pieces.
    char piece[256];
    size_t n = 0;
    for (;;) {
        const int c = getc_unlocked(m_file);
        if (c == EOF) {
            if (std::ferror(m_file)) m_failed = true;
            break;
        }
        gotAny = true;
        if (c == '\n') break;
        piece[n++] = static_cast<char>(c);
        if (n == sizeof piece) {
            line.append(piece, n);
            n = 0;
        }
    }
    line.append(piece, n);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return gotAny;
}

bool TxtFile::atEnd() {
    if (!m_file || m_writing) return true;
    int c = std::getc(m_file);
    if (c == EOF) return true;
    std::ungetc(c, m_file);
    return false;
}

Status TxtFile::checkNotAtEnd() {
    if (atEnd()) return Status::fail("Unexpected end of file");
    return Status::ok();
}

Status TxtFile::write(std::string_view text) {
    if (!m_file || !m_writing) return Status::fail("write error");
    if (!text.empty() && std::fwrite(text.data(), 1, text.size(), m_file) != text.size()) {
        m_failed = true;
        return Status::fail("Cannot write file " + m_name + ": " + std::strerror(errno));
    }
    return Status::ok();
}

Status TxtFile::writeLine(std::string_view text) {
    Status s = write(text);
    if (!s) return s;
    return write("\r\n");
}

Status TxtOpen(TxtFile& f, const std::string& name) {
    if (f.m_file) {
        std::fclose(f.m_file);
        f.m_file = nullptr;
    }
    f.m_failed = false;
    f.m_name = name;
    if (name.empty()) return Status::fail("Blank File Name[TxtOpen]");
    f.m_file = std::fopen(name.c_str(), "rb");
    if (!f.m_file) return Status::fail("Cannot open file " + name + "[TxtOpen]");
    std::setvbuf(f.m_file, nullptr, _IOFBF, kTextBufferSize);
    f.m_writing = false;
    return Status::ok();
}

Status TxtCreate(TxtFile& f, const std::string& name) {
    if (f.m_file) {
        std::fclose(f.m_file);
        f.m_file = nullptr;
    }
    f.m_failed = false;
    f.m_name = name;
    f.m_file = name.empty() ? nullptr : std::fopen(name.c_str(), "wb");
    if (!f.m_file) return Status::fail("Cannot create file " + name + "[TxtCreate]");
    std::setvbuf(f.m_file, nullptr, _IOFBF, kTextBufferSize);
    f.m_writing = true;
    return Status::ok();
}

Status TxtClose(TxtFile& f) {
    if (!f.m_file) return Status::ok();
    std::FILE* file = std::exchange(f.m_file, nullptr);
    bool bad = f.m_writing && (std::fflush(file) != 0 || std::ferror(file));
    int err = bad ? errno : 0;
    if (std::fclose(file) != 0) {
        if (!bad) err = errno;
        bad = true;
    }
    if (bad)
        return Status::fail("Cannot close file " + f.m_name +
                            (err ? std::string(": ") + std::strerror(err) : "") + "[TxtClose]");
    return Status::ok();
}

namespace {
Status appendImpl(TxtFile& out, const std::string& sourceName, bool clean, const char* tagText) {
    TxtFile src;
    if (Status s = TxtOpen(src, sourceName); !s) return std::move(s).tag(tagText);
    std::string line;
    while (src.readLine(line)) {
        if (clean) {
            for (char& ch : line) {
                auto u = static_cast<unsigned char>(ch);
                if (u < 33 || u > 126) ch = ' ';
            }
        }
        if (!out.writeLine(line)) {
            bestEffort(TxtClose(src), "the source was only read; a failure of the copy is reported");
            return Status::fail(std::string("write error") + tagText);
        }
    }
    if (src.failed()) {
        bestEffort(TxtClose(src), "the source was only read; a failure of the copy is reported");
        return Status::fail("read error from file " + sourceName + tagText);
    }
    if (Status s = TxtClose(src); !s) return std::move(s).tag(tagText);
    return Status::ok();
}
}  // namespace

Status TxtAppend(TxtFile& out, const std::string& sourceName) {
    return appendImpl(out, sourceName, false, "[TxtAppend]");
}

Status TxtAppend2(TxtFile& out, const std::string& sourceName, bool clean) {
    return appendImpl(out, sourceName, clean, "[TxtAppend2]");
}

std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        size_t end = nl == std::string_view::npos ? text.size() : nl;
        size_t len = end - start;
        if (len > 0 && text[start + len - 1] == '\r') --len;
        lines.emplace_back(text.substr(start, len));
        if (nl == std::string_view::npos) break;
        start = nl + 1;
    }
    return lines;
}

std::string joinLinesCrLf(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) {
        out += l;
        out += "\r\n";
    }
    return out;
}

Result<std::vector<std::string>> readTextLines(const std::string& name) {
    TxtFile f;
    if (Status s = TxtOpen(f, name); !s) return s;
    std::vector<std::string> lines;
    std::string line;
    while (f.readLine(line)) lines.push_back(line);
    if (f.failed()) {
        bestEffort(TxtClose(f), "the file was only read");
        return Result<std::vector<std::string>>::fail("read error from file " + name);
    }
    if (Status s = TxtClose(f); !s) return s;
    return lines;
}

}  // namespace vdln
