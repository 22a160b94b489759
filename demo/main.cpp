// vardelon-demo FOLDER [growth|growthre]: writes a demonstration application
// into FOLDER, ready to load with FOLDER/growth.ds1 (the default) or
// FOLDER/growthre.ds1 (the forward-looking model, with rational
// expectations).

#include <cstdio>
#include <filesystem>
#include <string>

#include "base/paths.h"
#include "base/strutil.h"
#include "demoapp.h"

int main(int argc, char** argv) {
    const std::string model = argc == 3 ? vdln::toLower(argv[2]) : "growth";
    if ((argc != 2 && argc != 3) || (model != "growth" && model != "growthre")) {
        std::fprintf(stderr, "Usage: vardelon-demo FOLDER [growth|growthre]\n");
        return 2;
    }
    std::error_code ec;
    std::string self = std::filesystem::read_symlink("/proc/self/exe", ec).string();
    if (ec || self.empty()) self = argv[0];
    const vdln::Status s = model == "growthre"
                               ? vdln::demo::writeDemoReApplication(argv[1], vdln::dirOf(self))
                               : vdln::demo::writeDemoApplication(argv[1], vdln::dirOf(self));
    if (!s) {
        std::fprintf(stderr, "vardelon-demo: %s\n", s.message().c_str());
        return 1;
    }
    std::printf("The %s application is ready in %s (load %s.ds1).\n", model.c_str(), argv[1], model.c_str());
    return 0;
}
