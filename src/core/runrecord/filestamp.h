#pragma once
/// File stamps: the last-write time, the size and the full name of a file as
/// kept in the record of runs, and the comparison of a stored stamp with the
/// file as it is now.
///
/// A stamp is one line of five fields separated by single spaces: the low and
/// the high 32-bit halves of the 64-bit file time (100-ns intervals since
/// 1601, UTC), the low and the high halves of the size in bytes, each as a
/// signed decimal integer, then the full file name (which may contain
/// blanks).  A missing file is stamped "0 0 -1 -1 <name>".  An older form,
/// still read, is the packed DOS date-time as one decimal integer, a blank
/// and the name.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vdln {

class FolderListings;

/// The name `StampName` gives a stamp that cannot be taken apart.
inline constexpr const char* kNoStampName = "xx.xx";

/// The stamp of a file as it is now.  The file is looked up as written and,
/// when missing, without regard to letter case in its folder; the name in the
/// stamp is always `file` as given.  Never fails: a file that cannot be
/// examined is stamped as missing.  With `listings`, a name missing as
/// written is looked up in the folder listings it holds.
std::string FileStamp(const std::string& file, FolderListings* listings = nullptr);

/// The stamp text for the given time, size and name (no file access).
std::string formatFileStamp(std::int64_t fileTime, std::int64_t size, std::string_view name);

/// The name part of a stamp: the text after the fourth blank of the current
/// form, the text after the first blank of the older form, and "xx.xx" when
/// the text is neither.
std::string StampName(std::string_view stamp);
/// The 64-bit file time of a stamp in the current form; 0 otherwise.
std::int64_t StampTime(std::string_view stamp);
/// The 64-bit size of a stamp in the current form (-1 for a missing file);
/// -1 when the text is not a stamp in the current form.
std::int64_t StampSize(std::string_view stamp);

/// A stamp taken apart.
struct ParsedStamp {
    enum class Form { Invalid, Current, OldDos };
    Form form = Form::Invalid;
    std::int64_t fileTime = 0;   ///< current form
    std::int32_t sizeLow = -1;   ///< current form
    std::int32_t sizeHigh = -1;  ///< current form
    std::uint32_t dosTime = 0;   ///< older form
    std::string name;

    std::int64_t size() const;
    /// The stamp of a file that did not exist when it was taken.
    bool isMissingFile() const {
        return form == Form::Current && fileTime == 0 && sizeLow == -1 && sizeHigh == -1;
    }
};

/// Takes a stamp apart (never fails; an unknown text gives Form::Invalid).
ParsedStamp parseStamp(std::string_view stamp);

/// "dd-mmm-yyyy at hh:mm:ss" for a packed DOS date-time, for example
/// "05-Mar-2005 at 14:03:22".  Out-of-range fields are shown as they are.
std::string formatDosDateTime(std::uint32_t dosTime);

/// The time of a file as it is shown in the stamp messages: local time at the
/// 2-second DOS resolution.
std::string formatStampTime(std::int64_t fileTime);

/// What `CompareFileStamp` should check.
struct StampCheck {
    bool name = false;        ///< the name must be the same (ignoring case)
    bool timeAndSize = true;  ///< the time (2-second resolution) and size must agree
    /// Where a name missing as written is looked up (none: its folder is
    /// read for the one look-up).
    FolderListings* listings = nullptr;
};

/// The outcome of a comparison: ok, or the lines of the message (joined with
/// CR LF, no line break at the end).
struct StampCompareResult {
    bool ok = true;
    std::string message;
};

/// Compares a stored stamp with the current file `currentFile`.
///
/// `label` names the file's role ("The Solution file"); `context` is the
/// recorded step in words ("Base", "spreadsheet job for the Base",
/// "BOT job for year 2005" or "simulation for year 2005 (year number 3) of
/// the Base"); `verb` says what the recorded job did with the file ("used",
/// "created", "updated").  Times agree when they are less than 2 seconds apart
/// (the DOS resolution); the sizes must then be equal.  A file that was
/// missing when stamped and is still missing agrees.  Older DOS stamps are
/// compared on their date-time number alone.
StampCompareResult CompareFileStamp(std::string_view label, std::string_view context,
                                    std::string_view storedStamp, const std::string& currentFile,
                                    std::string_view verb, const StampCheck& check);

}  // namespace vdln
