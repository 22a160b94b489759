// The vardelon executable: batch mode when given parameters; without them it
// opens the main window (or, in a build without the window, reports its
// name and version).  The parameters are looked at before any window
// library is started, so batch mode never needs a display.
#include <cstdio>
#include <string>
#include <vector>

#include "app/batch.h"
#ifdef VARDELON_WITH_VIEWER
#include "viewer/harviewer.h"
#endif
#ifdef VARDELON_HAVE_WINDOW
#include "mainwindow.h"
#endif

int main(int argc, char** argv) {
#ifdef VARDELON_WITH_VIEWER
    // The viewer is the only use of the window toolkit here: batch mode
    // below never creates an application object.
    if (argc > 1 && std::string(argv[1]) == "--view") {
        if (argc != 3) {
            std::fprintf(stderr, "usage: vardelon --view FILE\n");
            return 2;
        }
        const std::string file = argv[2];
        return vdln::gui::runHarViewerApp(argc, argv, file);
    }
#endif
    if (argc > 1) {
        std::vector<std::string> params(argv + 1, argv + argc);
        if (params[0] == "--version") {
            std::printf("Vardelon %s\n", VARDELON_VERSION);
            return 0;
        }
        return vdln::runBatch(params);
    }
#ifdef VARDELON_HAVE_WINDOW
    return vdln::gui::runWindow(argc, argv);
#else
    std::printf("Vardelon %s\n", VARDELON_VERSION);
    std::printf(
        "Batch mode: vardelon <base|rerun|policy|all|base+rerun|rerun+policy> [all|ss|Y1-Y2] "
        "[details.ds1]\n");
#ifdef VARDELON_WITH_VIEWER
    std::printf("Header array viewer: vardelon --view FILE\n");
#endif
    return 0;
#endif
}
