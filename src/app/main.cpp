// The vardelon executable: batch mode when given parameters; without them it
// reports its name and version (the window is not part of this build).
#include <cstdio>
#include <string>
#include <vector>

#include "app/batch.h"

int main(int argc, char** argv) {
    if (argc > 1) {
        std::vector<std::string> params(argv + 1, argv + argc);
        if (params[0] == "--version") {
            std::printf("Vardelon %s\n", VARDELON_VERSION);
            return 0;
        }
        return vdln::runBatch(params);
    }
    std::printf("Vardelon %s\n", VARDELON_VERSION);
    std::printf("Batch mode: vardelon <base|rerun|policy|all|base+rerun|rerun+policy> [all|ss|Y1-Y2] [details.ds1]\n");
    return 0;
}
