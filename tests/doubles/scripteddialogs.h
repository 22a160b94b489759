#pragma once
/// Dialogs for tests (never linked into the program).

#include <deque>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "base/dialogs.h"

namespace vdln {

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
