#include <QApplication>
#include <QFontDatabase>

#include "base/clock.h"
#include "env/environment.h"
#include "env/process.h"
#include "mainwindow.h"
#include "qtdialogs.h"

namespace vdln::gui {

int runWindow(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Vardelon");
    QApplication::setApplicationVersion(VARDELON_VERSION);
    QApplication::setWindowIcon(QIcon(":/vardelon/vardelon.svg"));
    SystemEnvironment env;
    SystemClock clock;
    PosixProcessLauncher launcher;
    QtDialogs dialogs;
    QtYearsDialog years;
    auto session = WindowSession::open(SessionSetup{env, dialogs, years, clock, launcher});
    // Without its directories the program cannot run; the reason was shown.
    if (!session) return 2;
    MainWindow window(*session);
    years.setParent(&window);
    window.show();
    return app.exec();
}

}  // namespace vdln::gui
