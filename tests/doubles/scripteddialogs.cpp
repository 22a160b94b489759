#include "doubles/scripteddialogs.h"

namespace vdln {

std::optional<ScriptedDialogs::Answer> ScriptedDialogs::next() {
    if (m_answers.empty()) return std::nullopt;
    Answer a = std::move(m_answers.front());
    m_answers.pop_front();
    return a;
}

Button ScriptedDialogs::message(MsgKind kind, const std::string& text, Buttons buttons, int helpContext) {
    DialogRecord r;
    r.type = DialogRecord::Type::Message;
    r.kind = kind;
    r.text = text;
    r.buttons = buttons;
    r.helpContext = helpContext;
    Button result = BtnNone;
    if (auto a = next()) {
        r.scripted = true;
        if (auto* b = std::get_if<Button>(&*a)) result = *b;
    } else if (buttons & BtnOk) {
        result = BtnOk;
    } else if (buttons & BtnYes) {
        result = BtnYes;
    } else {
        for (unsigned bit = 1; bit != 0 && bit <= BtnNoToAll; bit <<= 1)
            if (buttons & bit && bit != BtnHelp) {
                result = static_cast<Button>(bit);
                break;
            }
    }
    m_records.push_back(std::move(r));
    return result;
}

std::optional<std::string> ScriptedDialogs::chooseFile(const FileRequest& request) {
    DialogRecord r;
    r.type = DialogRecord::Type::File;
    r.title = request.title;
    r.file = request;
    std::optional<std::string> result;
    if (auto a = next()) {
        r.scripted = true;
        if (auto* s = std::get_if<std::string>(&*a)) result = *s;
    }
    m_records.push_back(std::move(r));
    return result;
}

std::optional<std::string> ScriptedDialogs::chooseFolder(const std::string& title,
                                                         const std::string& initialDir) {
    DialogRecord r;
    r.type = DialogRecord::Type::Folder;
    r.title = title;
    r.text = initialDir;
    std::optional<std::string> result;
    if (auto a = next()) {
        r.scripted = true;
        if (auto* s = std::get_if<std::string>(&*a)) result = *s;
    }
    m_records.push_back(std::move(r));
    return result;
}

std::optional<std::string> ScriptedDialogs::inputText(const std::string& title, const std::string& prompt,
                                                      const std::string& initial) {
    DialogRecord r;
    r.type = DialogRecord::Type::Input;
    r.title = title;
    r.text = prompt;
    std::optional<std::string> result = initial;
    if (auto a = next()) {
        r.scripted = true;
        if (auto* s = std::get_if<std::string>(&*a))
            result = *s;
        else
            result = std::nullopt;
    }
    m_records.push_back(std::move(r));
    return result;
}

std::optional<int> ScriptedDialogs::chooseOption(const std::string& title, const std::string& text,
                                                 const std::vector<std::string>& options, int defaultIndex) {
    DialogRecord r;
    r.type = DialogRecord::Type::Option;
    r.title = title;
    r.text = text;
    r.options = options;
    std::optional<int> result = defaultIndex;
    if (auto a = next()) {
        r.scripted = true;
        if (auto* i = std::get_if<int>(&*a))
            result = *i;
        else
            result = std::nullopt;
    }
    m_records.push_back(std::move(r));
    return result;
}

std::vector<std::string> ScriptedDialogs::messages() const {
    std::vector<std::string> out;
    for (const auto& r : m_records)
        if (r.type == DialogRecord::Type::Message) out.push_back(r.text);
    return out;
}

std::string ScriptedDialogs::lastMessage() const {
    for (auto it = m_records.rbegin(); it != m_records.rend(); ++it)
        if (it->type == DialogRecord::Type::Message) return it->text;
    return "";
}

}  // namespace vdln
