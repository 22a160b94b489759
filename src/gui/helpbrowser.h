#pragma once
/// The built-in help: a topic list and a text browser.  Topics: one per
/// window page, one per menu, one per message with a Help button (by its
/// help context), "What's New" (the change log) and "About".

#include <QDialog>
#include <QString>
#include <vector>

class QListWidget;
class QTextBrowser;

namespace vdln::gui {

struct HelpTopic {
    QString id;  ///< "page:Closure/Shock", "menu:&Tasks", "message:12", "whatsnew"
    QString title;
    QString html;
};

/// Every built-in topic, in the order of the contents list.
const std::vector<HelpTopic>& helpTopics();
/// The topic for an id; a message context without its own page gets the
/// general page on messages with the message's text.
HelpTopic helpTopic(const QString& id, const QString& messageText = {});
/// The change log shown by "What's New".
QString changeLogText();

class HelpBrowser : public QDialog {
    Q_OBJECT
public:
    explicit HelpBrowser(QWidget* parent = nullptr);
    void showTopic(const QString& id, const QString& messageText = {});
    QString currentTopic() const { return m_current; }
    QTextBrowser* browser() const { return m_browser; }

private:
    QListWidget* m_list;
    QTextBrowser* m_browser;
    QString m_current;
};

}  // namespace vdln::gui
