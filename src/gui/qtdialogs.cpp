#include "qtdialogs.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QVBoxLayout>

namespace vdln::gui {

QString displayText(const std::string& text) {
    QString s = QString::fromStdString(text);
    s.replace("\r\n", "\n");
    return s;
}

QString convertFilter(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString desc = parts[i].trimmed();
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
            const QString t = p.trimmed();
            if (t.isEmpty()) continue;
            if (!patterns.contains(t)) patterns << t;
            for (const QString& v : {t.toLower(), t.toUpper()})
                if (!patterns.contains(v)) patterns << v;
        }
        // "CSV Files (*.CSV)" already carries a pattern in brackets: Qt reads
        // the last bracket pair, so the description loses its own.
        const int br = desc.indexOf('(');
        if (br > 0) desc = desc.left(br).trimmed();
        out << desc + " (" + patterns.join(' ') + ")";
    }
    if (out.isEmpty() && !filter.empty()) out << QString::fromStdString(filter);
    return out.join(";;");
}

QtDialogs::~QtDialogs() {
    if (m_wait) delete m_wait;
}

Button QtDialogs::message(MsgKind kind, const std::string& text, Buttons buttons, int helpContext) {
    QMessageBox box(m_parent);
    box.setWindowTitle(kind == MsgKind::Error          ? "Vardelon - Error"
                       : kind == MsgKind::Warning      ? "Vardelon - Warning"
                       : kind == MsgKind::Confirmation ? "Vardelon - Confirm"
                                                       : "Vardelon");
    box.setIcon(kind == MsgKind::Error          ? QMessageBox::Critical
                : kind == MsgKind::Warning      ? QMessageBox::Warning
                : kind == MsgKind::Confirmation ? QMessageBox::Question
                                                : QMessageBox::Information);
    box.setText(displayText(text));
    struct Map {
        Button ours;
        QMessageBox::StandardButton qt;
    };
    static const Map map[] = {
        {BtnOk, QMessageBox::Ok},
        {BtnCancel, QMessageBox::Cancel},
        {BtnYes, QMessageBox::Yes},
        {BtnNo, QMessageBox::No},
        {BtnAbort, QMessageBox::Abort},
        {BtnRetry, QMessageBox::Retry},
        {BtnIgnore, QMessageBox::Ignore},
        {BtnAll, QMessageBox::YesToAll},
        {BtnYesToAll, QMessageBox::YesToAll},
        {BtnNoToAll, QMessageBox::NoToAll},
        {BtnHelp, QMessageBox::Help},
    };
    QMessageBox::StandardButtons set;
    for (const Map& m : map)
        if (buttons & m.ours) set |= m.qt;
    if (!(buttons & ~static_cast<unsigned>(BtnHelp))) set |= QMessageBox::Ok;
    box.setStandardButtons(set);
    if (buttons & BtnYes) box.setDefaultButton(QMessageBox::Yes);
    // Help opens the page and leaves the question on the screen.
    for (;;) {
        box.exec();
        QAbstractButton* clicked = box.clickedButton();
        const QMessageBox::StandardButton sb = clicked ? box.standardButton(clicked) : QMessageBox::NoButton;
        if (sb == QMessageBox::Help) {
            if (m_help) m_help(helpContext, text);
            continue;
        }
        for (const Map& m : map)
            if (m.qt == sb && (buttons & m.ours)) return m.ours;
        if (sb == QMessageBox::Ok) return BtnOk;
        // Escape or the window's close button: the "no" answer offered.
        if (buttons & BtnCancel) return BtnCancel;
        if (buttons & BtnNo) return BtnNo;
        return BtnOk;
    }
}

QString programFilter(const std::string& filter, bool save) {
    QString f = convertFilter(filter);
    // Programs of this system seldom end in ".exe": a chooser of programs
    // also offers every file, or a spreadsheet program could not be picked.
    const QString raw = QString::fromStdString(filter);
    if (!save && raw.contains("*.exe", Qt::CaseInsensitive) && !raw.contains("*.*")) f += ";;All Files (*)";
    return f;
}

std::optional<std::string> QtDialogs::chooseFile(const FileRequest& r) {
    QFileDialog dlg(m_parent, QString::fromStdString(r.title), QString::fromStdString(r.initialDir),
                    programFilter(r.filter, r.save));
    dlg.setAcceptMode(r.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dlg.setFileMode(r.save ? QFileDialog::AnyFile
                           : (r.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile));
    // The program confirms overwriting itself.
    dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (!r.defaultName.empty()) dlg.selectFile(QString::fromStdString(r.defaultName));
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return std::nullopt;
    return dlg.selectedFiles().front().toStdString();
}

std::optional<std::string> QtDialogs::chooseFolder(const std::string& title, const std::string& initialDir) {
    const QString d = QFileDialog::getExistingDirectory(m_parent, QString::fromStdString(title),
                                                        QString::fromStdString(initialDir));
    if (d.isEmpty()) return std::nullopt;
    return d.toStdString();
}

std::optional<std::string> QtDialogs::inputText(const std::string& title, const std::string& prompt,
                                                const std::string& initial) {
    bool ok = false;
    const QString s = QInputDialog::getText(m_parent, QString::fromStdString(title), displayText(prompt),
                                            QLineEdit::Normal, QString::fromStdString(initial), &ok);
    if (!ok) return std::nullopt;
    return s.toStdString();
}

std::optional<int> QtDialogs::chooseOption(const std::string& title, const std::string& text,
                                           const std::vector<std::string>& options, int defaultIndex) {
    QDialog dlg(m_parent);
    dlg.setWindowTitle(QString::fromStdString(title));
    auto* lay = new QVBoxLayout(&dlg);
    if (!text.empty()) {
        auto* l = new QLabel(displayText(text));
        l->setWordWrap(true);
        lay->addWidget(l);
    }
    QButtonGroup group(&dlg);
    for (size_t i = 0; i < options.size(); ++i) {
        auto* rb = new QRadioButton(QString::fromStdString(options[i]));
        group.addButton(rb, static_cast<int>(i));
        lay->addWidget(rb);
        if (static_cast<int>(i) == defaultIndex) rb->setChecked(true);
    }
    auto* bb = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(bb, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    QObject::connect(bb, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    lay->addWidget(bb);
    if (dlg.exec() != QDialog::Accepted || group.checkedId() < 0) return std::nullopt;
    return group.checkedId();
}

void QtDialogs::pump() {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

void QtDialogs::waitBegin(const std::string& title) {
    ++m_waitDepth;
    m_cancel = false;
    if (!m_wait) {
        m_wait = new QDialog(m_parent, Qt::Dialog);
        m_wait->setObjectName("waitWindow");
        m_wait->setModal(true);
        auto* lay = new QVBoxLayout(m_wait);
        m_waitStage = new QLabel;
        m_waitStage->setObjectName("waitStage");
        m_waitStage->setMinimumWidth(360);
        m_waitStage->setWordWrap(true);
        auto* bar = new QProgressBar;
        bar->setRange(0, 0);  // busy: the operations report stages, not fractions
        m_waitCancel = new QPushButton("&Cancel");
        m_waitCancel->setObjectName("waitCancel");
        m_waitCancel->hide();
        QObject::connect(m_waitCancel, &QPushButton::clicked, [this] { m_cancel = true; });
        lay->addWidget(m_waitStage);
        lay->addWidget(bar);
        lay->addWidget(m_waitCancel, 0, Qt::AlignRight);
    }
    m_wait->setWindowTitle(QString::fromStdString(title));
    m_waitStage->setText(QString::fromStdString(title));
    m_wait->show();
    pump();
}

void QtDialogs::waitStage(const std::string& stage) {
    if (!m_wait) return;
    m_waitStage->setText(displayText(stage));
    pump();
}

void QtDialogs::waitEnd() {
    if (m_waitDepth > 0) --m_waitDepth;
    if (m_waitDepth == 0 && m_wait) {
        m_wait->hide();
        m_waitCancel->hide();
    }
}

bool QtDialogs::cancelRequested() {
    if (m_wait && m_wait->isVisible() && m_waitCancel->isHidden()) m_waitCancel->show();
    pump();
    return m_cancel;
}

YearsAnswer QtYearsDialog::ask(const YearsDialogRequest& r) {
    QDialog dlg(m_parent);
    dlg.setWindowTitle(QString::fromStdString(r.title));
    auto* lay = new QVBoxLayout(&dlg);
    auto* form = new QFormLayout;
    auto* first = new QComboBox;
    auto* last = new QComboBox;
    for (size_t k = 0; k < r.calendarYears.size(); ++k) {
        first->addItem(QString::number(r.calendarYears[k]), r.earliest + static_cast<int>(k));
        last->addItem(QString::number(r.calendarYears[k]), r.earliest + static_cast<int>(k));
    }
    last->setCurrentIndex(last->count() - 1);
    form->addRow("First year", first);
    if (r.askLastYear) form->addRow("Last year", last);
    lay->addLayout(form);
    auto* ss = new QCheckBox("Also do the spreadsheet jobs for these years");
    ss->setChecked(true);
    lay->addWidget(ss);
    QCheckBox* none = nullptr;
    if (!r.noneText.empty()) {
        none = new QCheckBox(QString::fromStdString(r.noneText));
        lay->addWidget(none);
    }
    auto* bb = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(bb, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    QObject::connect(bb, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    lay->addWidget(bb);
    if (dlg.exec() != QDialog::Accepted) return YearsAnswer::cancel();
    if (none && none->isChecked()) return YearsAnswer::none();
    const int f = first->currentData().toInt();
    const int l = r.askLastYear ? last->currentData().toInt() : r.latest;
    return YearsAnswer::chosen(f, std::max(f, l), ss->isChecked());
}

}  // namespace vdln::gui
