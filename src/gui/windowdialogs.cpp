#include "windowdialogs.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "base/dialogs.h"
#include "base/paths.h"
#include "env/suite.h"
#include "env/tools.h"
#include "model/settings.h"
#include "qtdialogs.h"
#include "windowsession.h"

namespace vdln::gui {

std::optional<std::pair<TSolutionMethod, TAutoAccuracy>> editSolutionMethod(QWidget* parent,
                                                                            const TSolutionMethod& method,
                                                                            const TAutoAccuracy& accuracy,
                                                                            Dialogs& dialogs) {
    MethodEditor ed(method, accuracy);
    QDialog dlg(parent);
    dlg.setWindowTitle("Choose Solution Method");
    auto* lay = new QVBoxLayout(&dlg);
    auto* form = new QFormLayout;
    auto* kind = new QComboBox;
    for (int m = kJohansen; m <= kMidpoint; ++m) kind->addItem(QString::fromStdString(methodName(m)), m);
    auto* nsol = new QSpinBox;
    nsol->setRange(1, 3);
    QSpinBox* steps[3];
    for (auto*& st : steps) {
        st = new QSpinBox;
        st->setRange(1, 999);
    }
    auto* autoAcc = new QCheckBox("Automatic accuracy");
    auto* subint = new QSpinBox;
    form->addRow("Method", kind);
    form->addRow("Number of solutions", nsol);
    form->addRow("Steps, solution 1", steps[0]);
    form->addRow("Steps, solution 2", steps[1]);
    form->addRow("Steps, solution 3", steps[2]);
    form->addRow(autoAcc);
    form->addRow("Subintervals", subint);
    lay->addLayout(form);
    auto* warning = new QLabel;
    warning->setWordWrap(true);
    lay->addWidget(warning);
    bool updating = false;
    auto show = [&] {
        updating = true;
        const TSolutionMethod& m = ed.method();
        kind->setCurrentIndex(kind->findData(m.Method));
        nsol->setValue(m.NSol);
        nsol->setEnabled(ed.nsolEnabled());
        for (int k = 0; k < 3; ++k) steps[k]->setValue(m.Steps[static_cast<size_t>(k)]);
        steps[0]->setEnabled(ed.firstStepEnabled());
        steps[1]->setVisible(ed.secondStepVisible());
        steps[2]->setVisible(ed.thirdStepVisible());
        autoAcc->setChecked(m.AutoAccuracy);
        autoAcc->setEnabled(ed.autoAccuracyEnabled());
        subint->setRange(1, ed.subintervalsMax());
        subint->setValue(ed.subintervalsValue());
        subint->setVisible(ed.subintervalsVisible());
        warning->setText(QString::fromStdString(ed.warningText()));
        warning->setVisible(!ed.warningText().empty());
        updating = false;
    };
    QObject::connect(kind, &QComboBox::currentIndexChanged, &dlg, [&](int) {
        if (!updating) ed.chooseMethod(kind->currentData().toInt()), show();
    });
    QObject::connect(nsol, &QSpinBox::valueChanged, &dlg, [&](int v) {
        if (!updating) ed.setNSol(v), show();
    });
    for (int k = 0; k < 3; ++k)
        QObject::connect(steps[k], &QSpinBox::valueChanged, &dlg, [&, k](int v) {
            if (!updating) ed.setStep(k + 1, v), show();
        });
    QObject::connect(autoAcc, &QCheckBox::toggled, &dlg, [&](bool on) {
        if (!updating) ed.setAutoAccuracy(on), show();
    });
    QObject::connect(subint, &QSpinBox::valueChanged, &dlg, [&](int v) {
        if (!updating) ed.setSubintervals(v), show();
    });
    auto* bb = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(bb, &QDialogButtonBox::accepted, &dlg, [&] {
        const auto out = ed.ok();
        if (!out.error.empty()) {
            dialogs.error(out.error);
            return;
        }
        dlg.accept();
    });
    QObject::connect(bb, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    lay->addWidget(bb);
    show();
    if (dlg.exec() != QDialog::Accepted) return std::nullopt;
    return std::make_pair(ed.method(), ed.accuracy());
}

std::string diagnosticsText(WindowSession& s) {
    std::vector<std::string> out;
    auto line = [&](const std::string& t) { out.push_back(t); };
    line("Vardelon " VARDELON_VERSION);
    line("");
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
    line("Computer: " + std::string(host[0] ? host : "(unknown)"));
    struct utsname u {};
    if (::uname(&u) == 0)
        line("Operating system: " + std::string(u.sysname) + " " + u.release + " (" + u.machine + ")");
    line("Qt: " + std::string(qVersion()) + ", platform " + QApplication::platformName().toStdString());
    line("");
    line("Environment variables the program reads:");
    for (const char* v : {"SVKEEP", "SVTEMP", "SVDIR", "SVUSESPARSE", "TEMP", "TMP", "HOME",
                          "XDG_CONFIG_HOME", "PATH", "SHELL", "DISPLAY", "WAYLAND_DISPLAY"}) {
        auto raw = s.env().rawVariable(v);
        line(std::string("  ") + v + " = " + (raw ? *raw : "(not set)"));
    }
    line("");
    line("Program directory: " + s.env().programDirectory());
    line("Suite programs:");
    const ToolLocations tools = s.tools();
    for (const char* name : {"sectra", "tellur", "aggrex", "divero", "mergix", "pryxo"}) {
        const std::string exe = JoinPath(s.env().programDirectory(), suiteProgramFile(name));
        line(std::string("  ") + name + ": " +
             (access(exe.c_str(), X_OK) == 0 ? exe : "not found (" + exe + ")"));
    }
    for (const char* name : {kCalvexName, kOutlensName, kGridlensName}) {
        const std::string at = locateProgram(s.env(), tools, name);
        line(std::string("  ") + name + ": " + (at.empty() ? "not found" : at));
    }
    line("");
    line("Temporary Directory: " + s.dirs().tempDir);
    for (const auto& l : s.dirs().tempLog) line("  " + l);
    line("Keep Directory: " + s.dirs().keepDir);
    for (const auto& l : s.dirs().keepLog) line("  " + l);
    line("");
    line("Settings file: " + s.settingsFile());
    for (const auto& l : SettingsTextLines(s.settings(), s.rec(), s.settingsContext())) line("  " + l);
    std::string text;
    for (const auto& l : out) text += l + "\n";
    return text;
}

void showAbout(QWidget* parent, WindowSession& s) {
    QDialog dlg(parent);
    dlg.setObjectName("aboutBox");
    dlg.setWindowTitle("About Vardelon");
    auto* lay = new QVBoxLayout(&dlg);
    auto* title = new QLabel("<h2>Vardelon " VARDELON_VERSION
                             "</h2><p>Year-by-year simulations of "
                             "recursive-dynamic models.</p>");
    lay->addWidget(title);
    auto* text = new QPlainTextEdit(QString::fromStdString(diagnosticsText(s)));
    text->setObjectName("diagnostics");
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    lay->addWidget(text, 1);
    auto* bb = new QDialogButtonBox(QDialogButtonBox::Close);
    auto* copy = bb->addButton("&Copy", QDialogButtonBox::ActionRole);
    copy->setObjectName("copyDiagnostics");
    QObject::connect(copy, &QPushButton::clicked, &dlg,
                     [text] { QApplication::clipboard()->setText(text->toPlainText()); });
    QObject::connect(bb, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    lay->addWidget(bb);
    dlg.resize(640, 480);
    dlg.exec();
}

std::optional<ResultsSelection> askResultsSelection(QWidget* parent, const TSimRecord& rec, bool noRerun) {
    QDialog dlg(parent);
    dlg.setObjectName("resultsSelection");
    dlg.setWindowTitle("Zip up Selected Results");
    auto* lay = new QVBoxLayout(&dlg);
    auto* which = new QGroupBox(" Which Years and Runs to Save ");
    auto* wl = new QVBoxLayout(which);
    auto* runs = new QHBoxLayout;
    QCheckBox* run[4] = {};
    for (int r = 1; r <= 3; ++r) {
        run[r] = new QCheckBox(QString::fromStdString(runName(r)));
        run[r]->setObjectName(QString("saveRun%1").arg(r));
        run[r]->setChecked(!(r == kRunRerun && noRerun));
        run[r]->setEnabled(!(r == kRunRerun && noRerun));
        runs->addWidget(run[r]);
    }
    wl->addLayout(runs);
    auto* years = new QFormLayout;
    auto* first = new QComboBox;
    first->setObjectName("saveFirstYear");
    auto* last = new QComboBox;
    last->setObjectName("saveLastYear");
    for (int i = 1; i <= rec.NumYears; ++i) {
        first->addItem(QString::number(rec.Years[i]), i);
        last->addItem(QString::number(rec.Years[i]), i);
    }
    last->setCurrentIndex(last->count() - 1);
    years->addRow("From year", first);
    years->addRow("To year", last);
    wl->addLayout(years);
    lay->addWidget(which);
    auto* kinds = new QGroupBox("Which Results to Save");
    auto* kl = new QVBoxLayout(kinds);
    QCheckBox* kind[kResultKinds] = {};
    for (int k = 0; k < kResultKinds; ++k) {
        kind[k] = new QCheckBox(QString::fromStdString(resultKindLabel(k)));
        kind[k]->setObjectName(QString("saveKind%1").arg(k));
        kind[k]->setChecked(true);
        kl->addWidget(kind[k]);
    }
    lay->addWidget(kinds);
    auto* bb = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(bb, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    QObject::connect(bb, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    lay->addWidget(bb);
    if (dlg.exec() != QDialog::Accepted) return std::nullopt;
    ResultsSelection sel;
    for (int r = 1; r <= 3; ++r)
        sel.runs[static_cast<size_t>(r)] = run[r]->isChecked() && run[r]->isEnabled();
    sel.firstYear = first->currentData().toInt();
    sel.lastYear = last->currentData().toInt();
    if (sel.lastYear < sel.firstYear) std::swap(sel.firstYear, sel.lastYear);
    for (int k = 0; k < kResultKinds; ++k) sel.kinds[static_cast<size_t>(k)] = kind[k]->isChecked();
    return sel;
}

}  // namespace vdln::gui
