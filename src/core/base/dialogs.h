#pragma once
/// Every message box, question, file or folder chooser and wait window goes
/// through `Dialogs`.  The window implements it with real dialogs, batch mode
/// answers with the batch defaults and logs, and tests use `ScriptedDialogs`
/// (tests/doubles) to check every text exactly and to play back answers.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vdln {

/// The kind of a message box.
enum class MsgKind { Information, Warning, Error, Confirmation };

/// Buttons of a message box (combined as a bit set) and the button pressed.
enum Button : unsigned {
    BtnNone = 0,
    BtnOk = 1u << 0,
    BtnCancel = 1u << 1,
    BtnYes = 1u << 2,
    BtnNo = 1u << 3,
    BtnAbort = 1u << 4,
    BtnRetry = 1u << 5,
    BtnIgnore = 1u << 6,
    BtnAll = 1u << 7,
    BtnHelp = 1u << 8,
    BtnYesToAll = 1u << 9,
    BtnNoToAll = 1u << 10,
};
using Buttons = unsigned;

/// A file chooser request.  `filter` uses the "Description|*.ext" form.
struct FileRequest {
    std::string title;
    std::string initialDir;
    std::string filter;
    std::string defaultName;
    bool save = false;      ///< choosing a name to write
    bool mustExist = true;  ///< for opening: the file must exist
};

class Dialogs {
public:
    virtual ~Dialogs() = default;

    /// Shows a message box and returns the button pressed.  A box whose
    /// buttons only include Help and one other button returns that button.
    virtual Button message(MsgKind kind, const std::string& text, Buttons buttons, int helpContext = 0) = 0;
    /// Asks for a file; nullopt when cancelled.
    virtual std::optional<std::string> chooseFile(const FileRequest& request) = 0;
    /// Asks for a folder; nullopt when cancelled.
    virtual std::optional<std::string> chooseFolder(const std::string& title,
                                                    const std::string& initialDir) = 0;
    /// Asks for one line of text; nullopt when cancelled.
    virtual std::optional<std::string> inputText(const std::string& title, const std::string& prompt,
                                                 const std::string& initial) = 0;
    /// Offers a list of choices (radio buttons); returns the index chosen,
    /// or nullopt when cancelled.
    virtual std::optional<int> chooseOption(const std::string& title, const std::string& text,
                                            const std::vector<std::string>& options, int defaultIndex) = 0;

    /// The wait window: "Please Wait - <program> at work" with a stage line.
    virtual void waitBegin(const std::string& /*title*/) {}
    virtual void waitStage(const std::string& /*stage*/) {}
    virtual void waitEnd() {}
    /// True when the user asked to cancel the current long operation.
    virtual bool cancelRequested() { return false; }

    // Conveniences over `message`.
    void info(const std::string& text, int help = 0) { message(MsgKind::Information, text, BtnOk, help); }
    void infoHelp(const std::string& text, int help = 0) {
        message(MsgKind::Information, text, BtnOk | BtnHelp, help);
    }
    void warning(const std::string& text, int help = 0) { message(MsgKind::Warning, text, BtnOk, help); }
    void error(const std::string& text, int help = 0) { message(MsgKind::Error, text, BtnOk, help); }
    /// Yes/No question; true for Yes.
    bool askYesNo(const std::string& text, int help = 0) {
        return message(MsgKind::Confirmation, text, BtnYes | BtnNo, help) == BtnYes;
    }
};

}  // namespace vdln
