#pragma once
/// Every message box, question, file or folder chooser and wait window goes
/// through `Dialogs`.  The window implements it with real dialogs, batch mode
/// answers with the batch defaults and logs, and tests use `ScriptedDialogs`
/// to check every text exactly and to play back answers.

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <variant>
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
    bool save = false;       ///< choosing a name to write
    bool mustExist = true;   ///< for opening: the file must exist
};

class Dialogs {
public:
    virtual ~Dialogs() = default;

    /// Shows a message box and returns the button pressed.  A box whose
    /// buttons only include Help and one other button returns that button.
    virtual Button message(MsgKind kind, const std::string& text, Buttons buttons,
                           int helpContext = 0) = 0;
    /// Asks for a file; nullopt when cancelled.
    virtual std::optional<std::string> chooseFile(const FileRequest& request) = 0;
    /// Asks for a folder; nullopt when cancelled.
    virtual std::optional<std::string> chooseFolder(const std::string& title,
                                                    const std::string& initialDir) = 0;
    /// Asks for one line of text; nullopt when cancelled.
    virtual std::optional<std::string> inputText(const std::string& title,
                                                 const std::string& prompt,
                                                 const std::string& initial) = 0;
    /// Offers a list of choices (radio buttons); returns the index chosen,
    /// or nullopt when cancelled.
    virtual std::optional<int> chooseOption(const std::string& title, const std::string& text,
                                            const std::vector<std::string>& options,
                                            int defaultIndex) = 0;

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

/// One recorded interaction of `ScriptedDialogs`.
struct DialogRecord {
    enum class Type { Message, File, Folder, Input, Option } type = Type::Message;
    MsgKind kind = MsgKind::Information;
    std::string title;  ///< file/folder/input/option title
    std::string text;   ///< message text, prompt or option text
    Buttons buttons = 0;
    int helpContext = 0;
    std::vector<std::string> options;
    FileRequest file;
    bool scripted = false;  ///< an answer was queued for it
};

/// Dialogs for tests: records every interaction and replays queued answers
/// in order.  Without a queued answer a message returns Ok when offered,
/// else Yes, else the first button offered; choosers return nullopt (as if
/// cancelled) and option lists return the default index.
class ScriptedDialogs : public Dialogs {
public:
    using Answer = std::variant<Button, std::string, int, std::nullopt_t>;

    void queue(Answer a) { m_answers.push_back(std::move(a)); }
    void queueButton(Button b) { m_answers.emplace_back(b); }
    void queueText(std::string s) { m_answers.emplace_back(std::move(s)); }
    void queueOption(int i) { m_answers.emplace_back(i); }
    void queueCancel() { m_answers.emplace_back(std::nullopt); }

    Button message(MsgKind kind, const std::string& text, Buttons buttons, int helpContext) override;
    std::optional<std::string> chooseFile(const FileRequest& request) override;
    std::optional<std::string> chooseFolder(const std::string& title, const std::string& initialDir) override;
    std::optional<std::string> inputText(const std::string& title, const std::string& prompt,
                                         const std::string& initial) override;
    std::optional<int> chooseOption(const std::string& title, const std::string& text,
                                    const std::vector<std::string>& options, int defaultIndex) override;
    void waitBegin(const std::string& title) override { m_waitTitles.push_back(title); }
    void waitStage(const std::string& stage) override { m_waitStages.push_back(stage); }
    bool cancelRequested() override { return m_cancel; }

    /// Every interaction so far.
    const std::vector<DialogRecord>& records() const { return m_records; }
    /// Texts of the message boxes so far.
    std::vector<std::string> messages() const;
    /// The text of the last message box ("" when none).
    std::string lastMessage() const;
    size_t pendingAnswers() const { return m_answers.size(); }
    const std::vector<std::string>& waitTitles() const { return m_waitTitles; }
    const std::vector<std::string>& waitStages() const { return m_waitStages; }
    void setCancel(bool c) { m_cancel = c; }
    void clear() { m_records.clear(); }

private:
    std::optional<Answer> next();
    std::deque<Answer> m_answers;
    std::vector<DialogRecord> m_records;
    std::vector<std::string> m_waitTitles;
    std::vector<std::string> m_waitStages;
    bool m_cancel = false;
};

}  // namespace vdln
