#pragma once
/// `Dialogs` on Qt: message boxes with the caller's buttons and a Help button
/// that opens the help page of the message without closing it, file and
/// folder choosers (the "Description|*.ext" filters converted), text input,
/// option lists, and the wait window.  Also the years dialog of the Tasks
/// commands.

#include <QDialog>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "base/dialogs.h"
#include "jobs/tasks.h"

class QWidget;
class QDialog;
class QLabel;
class QPushButton;
class QProgressBar;

namespace vdln::gui {

/// "Description|*.ext|Other|*.a;*.b" becomes "Description (*.ext *.EXT);;Other
/// (*.a *.A *.b *.B)": the file system tells letter cases apart, the suite's
/// files come in either.
QString convertFilter(const std::string& filter);
/// The filter a file dialog shows: `convertFilter`, and for opening with a
/// filter of "*.exe" files without "*.*", also "All Files (*)" (programs
/// here have no ".exe").
QString programFilter(const std::string& filter, bool save);
/// CR LF line breaks as the widgets want them.
QString displayText(const std::string& text);

class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent = nullptr) : m_parent(parent) {}
    ~QtDialogs() override;
    void setParent(QWidget* parent) { m_parent = parent; }
    /// Opens the help page of a context (the Help buttons).
    void setHelp(std::function<void(int context, const std::string& text)> help) { m_help = std::move(help); }

    Button message(MsgKind kind, const std::string& text, Buttons buttons, int helpContext) override;
    std::optional<std::string> chooseFile(const FileRequest& request) override;
    std::optional<std::string> chooseFolder(const std::string& title, const std::string& initialDir) override;
    std::optional<std::string> inputText(const std::string& title, const std::string& prompt,
                                         const std::string& initial) override;
    std::optional<int> chooseOption(const std::string& title, const std::string& text,
                                    const std::vector<std::string>& options, int defaultIndex) override;
    void waitBegin(const std::string& title) override;
    void waitStage(const std::string& stage) override;
    void waitEnd() override;
    /// The Cancel button of the wait window is shown once the operation asks
    /// for it (an operation that never asks cannot be cancelled).
    bool cancelRequested() override;

    /// The wait window while it is open (tests look at it).
    QDialog* waitWindow() const { return m_wait; }

private:
    void pump();
    QWidget* m_parent;
    std::function<void(int, const std::string&)> m_help;
    QPointer<QDialog> m_wait;
    QLabel* m_waitStage = nullptr;
    QPushButton* m_waitCancel = nullptr;
    bool m_cancel = false;
    int m_waitDepth = 0;
};

/// The years dialog: first and last year, spreadsheets, "do none".
class QtYearsDialog : public YearsDialog {
public:
    explicit QtYearsDialog(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }
    YearsAnswer ask(const YearsDialogRequest& request) override;

private:
    QWidget* m_parent;
};

}  // namespace vdln::gui
