#pragma once
/// Reader of files in the command-file language of the solving suite
/// (closure, shock and CMFSTART files, command files): comment removal, the
/// tokenizer, statements, the table of "file"/"xfile" statements, keyword
/// normalisation, and the checks of referred files and keywords.
///
/// Grammar handled by the reader:
///  - "!" starts a comment to the end of the line; an adjacent pair "!!" is
///    not a comment but is removed from the line; "#...#" labels are removed
///    (a "#" without a partner removes the rest of the line);
///  - words are separated by blanks and tabs; a token is a word, except that
///    a double-quoted string is one token (quotes included) even across
///    blanks, and "=", ";", "(" and ")" are tokens of their own;
///  - statements end with ";" and may run over several lines.
///
/// Typical use (reading every statement of a command file):
///
///     TOpenCMFFile cmf;
///     if (Status s = cmf.OpenCMF(path); !s) return s;
///     CmfStatement st;
///     while (cmf.ReadStatement(st)) {
///         // st.tokens[0] is the keyword as written, NormaliseKeyword() of it
///         // gives the canonical word; st.terminated is false for a final
///         // statement without ";".
///     }
///
/// Nothing here ever reads outside a line, whatever the input.

#include <string>
#include <string_view>
#include <vector>

#include "base/dialogs.h"
#include "base/result.h"
#include "base/textfile.h"
#include "formats/cmftoken.h"

namespace vdln {

/// One logical file named by "file" and/or "xfile" statements.
struct TFileXFileGroup {
    /// 'f' a "file" statement only, 'x' an "xfile" statement only, 'b' both.
    char Kind = 'f';
    std::string LogicalName;
    std::string ActualName;  ///< without quotes; empty for kind 'x'
    std::string Status;      ///< "old", "new" or empty (kind 'f')
};

/// The table of "file"/"xfile" statements of one source (at most 200
/// groups; further statements are not recorded).
struct TFileXFileCMFFile {
    static constexpr int kMaxGroups = 200;
    std::vector<TFileXFileGroup> Groups;
    int Count() const { return static_cast<int>(Groups.size()); }
};

/// `line` with comments ("!" to the end, "!!" pairs removed) and "#...#"
/// labels removed.
std::string removeCmfComments(std::string_view line);

/// The 0-based position at which the comment of a raw line starts (the first
/// "!" that is not part of a "!!" pair), or the line length when none.
size_t cmfCommentStart(std::string_view line);

/// `s` without its enclosing double quotes (an opening quote without a
/// closing one is removed too); other text unchanged.
std::string unquoteCmf(std::string_view s);

/// One statement read by `TOpenCMFFile::ReadStatement`.
struct CmfStatement {
    std::vector<std::string> tokens;  ///< the tokens before ";", keyword first
    int line = 0;                     ///< line number of the keyword (1-based)
    bool terminated = false;          ///< false when the source ended before ";"
};

/// One open source in the command-file language: a named file or a list of
/// lines held in memory.  The public fields are the reader's state as the
/// statement-level routines leave it.
class TOpenCMFFile {
public:
    std::string FileName;     ///< empty when reading from a list of lines
    std::string Keyword;      ///< first token of the current statement
    std::string Token = ";";  ///< the current token
    std::string PrevToken;    ///< the token before it
    int LineCount = 0;        ///< lines read so far
    int ListIndex = -1;       ///< last line of the list read (-1 before the first)
    int TokenStart = 1;       ///< 1-based start of `Token` in `Line`
    int NextPos = 1;          ///< 1-based position after `Token` in `Line`
    std::string Line;         ///< the current line after comment removal
    TFileXFileCMFFile Files;  ///< the "file"/"xfile" table, built on opening

    /// Opens a named file, builds the file table in a first pass and rewinds.
    /// Fails when the file cannot be opened ("Cannot open file <name>" with
    /// the text-file tags and "[OpenCMF]").
    Status OpenCMF(const std::string& name);
    /// Reads from a list of lines instead of a file; builds the file table
    /// and rewinds.  Cannot fail.
    void OpenCMFLines(std::vector<std::string> lines);
    /// Reads the next line into `Line` (comments removed) and resets the scan
    /// position; false at the end of the source.
    bool ReadLine();
    /// Reads the next token into `Token` (the old one goes to `PrevToken`),
    /// reading further lines while the current one has none; false at the
    /// end of the source.
    bool NextToken();
    /// Skips to the token after the next ";" (at once when `Token` already is
    /// ";") and sets `Keyword` to the first token of the next statement
    /// (empty statements ";;" are skipped); false at the end of the source.
    bool NextStatement();
    /// Reads the next whole statement from the current position (empty
    /// statements are skipped); false when no token is left.  A statement cut
    /// off by the end of the source is returned with `terminated` false.
    bool ReadStatement(CmfStatement& statement);
    /// Goes back to the start of the source (the file table is kept).
    /// Fails only when a named file can no longer be opened.
    Status Rewind();
    /// Closes the source.
    void CloseCMF();
    /// Reads every remaining line and fails when a character code 26
    /// (Control-Z) is followed by anything but blanks on its line or later
    /// lines.  The message names `description`, the position, the line
    /// number and the line.
    Status CheckControlZ(const std::string& description);

private:
    void resetState();
    void collectFiles();
    TxtFile m_file;
    std::vector<std::string> m_lines;
    bool m_fromList = false;
    bool m_open = false;
};

/// The canonical keyword of a word: the word in lower case, replaced by the
/// keyword of the first matching prefix ("sho" shock, "ash" ashock, "fil"
/// file, "ts" tshock, "tf" tfinal_level, "ach" achange, "tc" tchange, "ap"
/// apercent_change, "tp" tpercent_change, "us" use, "modi" modify, "env"
/// environment, "lu" lu, "exo" exogenous, "end" endogenous, "re" rest, "ta"
/// take, "fin" final_level, "cha" change, "pe" percent_change).
std::string NormaliseKeyword(std::string_view word);

/// A file a command file refers to.
struct ReferredFile {
    std::string statementWord;  ///< "file" for xfile groups, else the keyword
    std::string name;           ///< as written (".en4"/".lu4" appended for
                                ///< environment/lu qualifiers)
};

/// The files an open source refers to: the actual names of groups of kind
/// 'b' with status "old", then the file names of shock-like, use, take and
/// modify statements ("... file <name>").  Reads the source from its start
/// and leaves it at its end.
std::vector<ReferredFile> referredFiles(TOpenCMFFile& cmf);

/// Checks that every file the command file `name` refers to exists (short
/// names only when `requireShortNames`), resolving names against the
/// command file's folder.  Each problem is shown as an error unless `quiet`
/// and added to `messages` when given.  True when all are usable; false too
/// when the command file cannot be opened.
[[nodiscard]] bool CheckConstituents(const std::string& name, bool requireShortNames, bool quiet,
                                     Dialogs& dialogs, std::vector<std::string>* messages = nullptr);

/// Adds `name` and every file it refers to (see `referredFiles`) to `list`;
/// the file is JoinPath(dir, name).  An empty name adds nothing and
/// succeeds; a file that cannot be opened fails ("[ListConstituents]").
Status ListConstituents(const std::string& dir, const std::string& name, std::vector<std::string>& list);

/// Checks a user file's keywords against an allowed list or a forbidden
/// list (words each followed by "@"; exactly one list is non-empty).  Runs
/// the Control-Z check first.  `kindText` names the file kind in the
/// refusal message ("closure file", "shocks file", "CMFSTART file") and
/// `fileIndent` goes before the file name on its line.  A file that does
/// not exist passes.  Messages are shown as errors with Help unless
/// `quiet`; the failure carries the message either way.
Status CheckKeyWords(const std::string& file, const std::string& allowedKeyWords,
                     const std::string& notAllowedKeyWords, const std::string& kindText,
                     const std::string& fileIndent, const std::string& controlZDescription, bool quiet,
                     Dialogs& dialogs);

/// Checks a closure file: closure statements, use/modify/take, xset,
/// xsubset, file and xfile, and "save" when `allowSave`.
Status CheckClosureFile(const std::string& file, bool allowSave, bool quiet, Dialogs& dialogs);
/// Checks a shock file: shock, subtotal, xset, xsubset, file, xfile,
/// final_level, change, percent_change, and the extended shock statements
/// when `allowExtended`.
Status CheckShockFile(const std::string& file, bool allowExtended, bool quiet, Dialogs& dialogs);
/// Checks a CMFSTART file: no closure or shock statements.
Status CheckCMFStartFile(const std::string& file, bool quiet, Dialogs& dialogs);

}  // namespace vdln
