#pragma once
/// The text-file layer through which every text file of the program is read
/// or written.  Lines written end with CR LF; lines read may end with CR LF
/// or LF (the line ending is not part of the line).

#include <cstdio>
#include <string>
#include <vector>

#include "base/result.h"

namespace vdln {

/// One text file opened for reading or writing.  Closing is explicit
/// (`TxtClose`) so that a failed close can be reported; the destructor closes
/// silently what is still open.
class TxtFile {
public:
    TxtFile() = default;
    ~TxtFile();
    TxtFile(const TxtFile&) = delete;
    TxtFile& operator=(const TxtFile&) = delete;
    TxtFile(TxtFile&& other) noexcept;
    TxtFile& operator=(TxtFile&& other) noexcept;

    bool isOpen() const { return m_file != nullptr; }
    bool forWriting() const { return m_writing; }
    const std::string& name() const { return m_name; }

    /// Reads the next line without its line ending.  Returns false at end of
    /// file (line left empty); a read error sets `failed()`.
    bool readLine(std::string& line);
    /// True when no more line can be read (the end-of-file check).
    bool atEnd();
    /// "Unexpected end of file" when the file is at its end, success otherwise.
    Status checkNotAtEnd();
    /// Writes text followed by CR LF.
    Status writeLine(std::string_view text);
    /// Writes text without a line ending.
    Status write(std::string_view text);
    bool failed() const { return m_failed; }

private:
    friend Status TxtOpen(TxtFile&, const std::string&);
    friend Status TxtCreate(TxtFile&, const std::string&);
    friend Status TxtClose(TxtFile&);
    std::FILE* m_file = nullptr;
    bool m_writing = false;
    bool m_failed = false;
    std::string m_name;
};

/// Opens a text file for reading.  Messages: "Blank File Name",
/// "Cannot open file <name>"; tag "[TxtOpen]".
Status TxtOpen(TxtFile& f, const std::string& name);
/// Creates (or truncates) a text file for writing.  Message
/// "Cannot create file <name>"; tag "[TxtCreate]".
Status TxtCreate(TxtFile& f, const std::string& name);
/// Closes a text file; closing a file that is not open succeeds.  Message
/// "Cannot close file"; tag "[TxtClose]".
Status TxtClose(TxtFile& f);
/// Copies every line of the source file to the open output, then closes the
/// source.  Messages "read error from file <name>", "write error" and those
/// of `TxtOpen`; tag "[TxtAppend]".
Status TxtAppend(TxtFile& out, const std::string& sourceName);
/// As `TxtAppend`; with `clean` every character outside 33..126 is written
/// as a blank.  Tag "[TxtAppend2]".
Status TxtAppend2(TxtFile& out, const std::string& sourceName, bool clean);

/// Reads a whole text file into lines (CR LF or LF endings).
Result<std::vector<std::string>> readTextLines(const std::string& name);
/// Splits text into lines, accepting CR LF and LF; a final line without an
/// ending is kept, a final empty line is not produced.
std::vector<std::string> splitLines(std::string_view text);
/// Joins lines, each followed by CR LF.
std::string joinLinesCrLf(const std::vector<std::string>& lines);

}  // namespace vdln
