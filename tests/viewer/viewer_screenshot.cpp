// Renders the header array viewer on a file without a display and saves it
// as a PNG, for the documentation:
//   vardelon_viewer_screenshot FILE OUT.png [HEADER [ROWDIM COLDIM]]
#include <QApplication>
#include <QPixmap>
#include <cstdio>

#include "viewer/harmodels.h"
#include "viewer/harviewer.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: vardelon_viewer_screenshot FILE OUT.png [HEADER [ROWDIM COLDIM]]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    vdln::gui::HarViewer v;
    v.resize(1200, 700);
    v.openFile(QString::fromLocal8Bit(argv[1]));
    if (argc >= 4) {
        for (int r = 0; r < v.headerListModel()->rowCount(); ++r)
            if (v.headerListModel()->data(v.headerListModel()->index(r, 0)).toString() ==
                QString::fromLocal8Bit(argv[3]))
                v.showHeader(r);
    }
    if (argc >= 6) {
        vdln::HarSliceChoice choice = v.sliceChoice();
        choice.rowDim = std::atoi(argv[4]);
        choice.colDim = std::atoi(argv[5]);
        v.showSlice(choice);
    }
    v.show();
    QApplication::processEvents();
    if (!v.grab().save(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "cannot save %s\n", argv[2]);
        return 1;
    }
    return 0;
}
