#include "helpbrowser.h"

#include <QFile>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace vdln::gui {

namespace {

HelpTopic page(const QString& name, const QString& body) {
    return {"page:" + name, name + " page", "<h2>The " + name.toHtmlEscaped() + " page</h2>" + body};
}
HelpTopic menu(const QString& name, const QString& body) {
    QString plain = name;
    plain.remove('&');
    return {"menu:" + plain, plain + " menu", "<h2>The " + plain.toHtmlEscaped() + " menu</h2>" + body};
}

std::vector<HelpTopic> buildTopics() {
    std::vector<HelpTopic> t;
    t.push_back(
        {"contents", "Contents",
         "<h2>Vardelon</h2><p>Vardelon prepares, runs, checks and archives year-by-year simulations of "
         "recursive-dynamic models. It writes the command files of every simulation, starts the suite's "
         "console programs (up to three at a time), records which inputs every step used and turns the "
         "yearly solutions into cumulative results.</p><p>Three runs share the same years: the <b>Base</b> "
         "case, the <b>Base rerun</b> (the Base solved again with the policy closures) and the "
         "<b>Policy</b> run.</p><p>Work from left to right through the pages: choose the model and its "
         "first-year data, set the names and years, fill the closure/shock grid, save the details, then "
         "press <b>Run All</b>.</p>"});
    t.push_back(page("Introduction",
                     "<p>The program's title and a description of the model. The buttons "
                     "<b>Model</b>, <b>Software</b> and <b>Contact</b> show text files about the "
                     "model, the program and whom to contact.</p>"));
    t.push_back(
        page("Model/Data",
             "<p><b>Change Model</b> chooses the model program (or the auxiliary statement file of a model "
             "run by the suite's interpreter). The list shows the files of the first year of the Base case; "
             "right-click a line to choose, view, describe or clear its file. <b>Save As</b> and "
             "<b>Load</b> keep a list of data file names in a file of its own.</p>"));
    t.push_back(
        page("Sim Overview",
             "<p>The three simulation names (three characters each, upper case), the first year and the "
             "number of years, the Working Directory, the solution method, the mapping file for results, "
             "the lengths of periods and the rational-expectations settings. The buttons below load and "
             "save the simulation details.</p>"));
    t.push_back(
        page("Closure/Shock",
             "<p>One row per year, one column per closure or shock file. A cell holds a file stem, "
             "<i>common</i> (the Common row's file) or <i>none</i>. <span style='background:#f48a8a'>Red"
             "</span> cells name files that do not exist; <span style='background:#8fd98f'>green</span> "
             "cells name files that exist but refer to a file that does not. <b>Follow Pattern</b> and "
             "<b>As Previous</b> fill the selected cells. Right-click a cell for more, or the year column to "
             "choose the solution method of one year.</p>"));
    t.push_back(page("Results",
                     "<p>Look at one year's files of a run, or at the results over all or several "
                     "years as spreadsheets, graphs or in the analysis program.</p>"));
    t.push_back(page("Other files",
                     "<p>Further files of the application: the simulation details, the copies of the "
                     "record of runs, the results map, the Dynamic Information file and the logs, "
                     "with whether each exists, its size and time. Double-click a file, or use "
                     "<b>Open in Editor</b>, to look at it.</p>"));
    t.push_back(menu("&File",
                     "<p>Save and load the simulation details, omit periods at the start, write reports "
                     "of the application, edit the Dynamic Information and CMFSTART files, open a shell "
                     "in one of the program's folders, and reopen a recently used details file.</p>"));
    t.push_back(menu("Zip", "<p>Save the application's ingredients in a ZIP archive and restore them.</p>"));
    t.push_back(menu("&Tasks",
                     "<p>Run parts of the runs, find where to start, check whether results are still "
                     "valid and check closures. The captions follow the rerun option.</p>"));
    t.push_back(menu("&Rational Expectations", "<p>Iterations for forward-looking models.</p>"));
    t.push_back(menu("&View", "<p>Look at text files, the jobs log and the logs of the last error.</p>"));
    t.push_back(menu("&Options",
                     "<p>The editor and other programs, the Temporary Directory, and options of the "
                     "program. Each option confirms its new state.</p>"));
    t.push_back(menu("Run Preferences",
                     "<p>How jobs run: the Base rerun, spreadsheet jobs, concurrent solves, the "
                     "outputs of earlier runs, the jobs log and the check of prerequisites.</p>"));
    t.push_back(menu("&Help",
                     "<p>This help, the page of the current window page, the change log and the About "
                     "box.</p>"));
    t.push_back(
        {"bottom", "Bottom panel",
         "<h2>The bottom panel</h2><p><b>Run Base</b>, <b>Rerun Base</b> and <b>Run Policy</b> run the "
         "whole of one run; <b>Run All</b> runs the Base, the Base rerun and the Policy. While a job runs "
         "the three labels show what each job slot is doing (Base blue, Base rerun purple, Policy green) "
         "and <b>Cancel</b> stops the job.</p>"});
    t.push_back(
        {"solutionmethods", "Solution methods",
         "<h2>Solution methods</h2><p>Each year is solved with the normal solution method unless the year "
         "is marked to use the alternative method (a * after the year in the grid). Right-click the year "
         "to choose.</p>"});
    t.push_back({"messages", "Messages",
                 "<h2>Messages</h2><p>Messages name the file and what is wrong with it. Fix the file or the "
                 "setting named and repeat the command.</p>"});
    t.push_back(
        {"whatsnew", "What's New", "<h2>What's New</h2><pre>" + changeLogText().toHtmlEscaped() + "</pre>"});
    return t;
}

}  // namespace

QString changeLogText() {
    QFile f(":/vardelon/changelog.txt");
    if (!f.open(QIODevice::ReadOnly)) return "The change log is not available.";
    return QString::fromUtf8(f.readAll());
}

const std::vector<HelpTopic>& helpTopics() {
    static const std::vector<HelpTopic> t = buildTopics();
    return t;
}

HelpTopic helpTopic(const QString& id, const QString& messageText) {
    for (const HelpTopic& t : helpTopics())
        if (t.id.compare(id, Qt::CaseInsensitive) == 0) return t;
    HelpTopic m = helpTopics()[0];
    for (const HelpTopic& t : helpTopics())
        if (t.id == "messages") m = t;
    if (id.startsWith("message:")) {
        m.id = id;
        m.title = "Help on this message";
        QString body = messageText.toHtmlEscaped();
        body.replace("\r\n", "<br>").replace("\n", "<br>");
        m.html += "<p><b>The message:</b></p><blockquote>" + body + "</blockquote>";
    }
    return m;
}

HelpBrowser::HelpBrowser(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Vardelon Help");
    setObjectName("helpBrowser");
    resize(760, 480);
    auto* lay = new QHBoxLayout(this);
    m_list = new QListWidget;
    m_list->setMaximumWidth(220);
    for (const HelpTopic& t : helpTopics()) {
        auto* item = new QListWidgetItem(t.title, m_list);
        item->setData(Qt::UserRole, t.id);
    }
    m_browser = new QTextBrowser;
    m_browser->setOpenExternalLinks(false);
    lay->addWidget(m_list);
    auto* right = new QVBoxLayout;
    right->addWidget(m_browser);
    auto* close = new QPushButton("&Close");
    connect(close, &QPushButton::clicked, this, &QDialog::hide);
    right->addWidget(close, 0, Qt::AlignRight);
    lay->addLayout(right);
    connect(m_list, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        if (item) showTopic(item->data(Qt::UserRole).toString());
    });
}

void HelpBrowser::showTopic(const QString& id, const QString& messageText) {
    const HelpTopic t = helpTopic(id, messageText);
    m_current = t.id;
    m_browser->setHtml(t.html);
    for (int i = 0; i < m_list->count(); ++i)
        if (m_list->item(i)->data(Qt::UserRole).toString() == t.id) {
            const QSignalBlocker block(m_list);
            m_list->setCurrentRow(i);
        }
    show();
    raise();
}

}  // namespace vdln::gui
