// vardelon-demo FOLDER: writes the "growth" demonstration application into
// FOLDER, ready to load with FOLDER/growth.ds1.

#include <cstdio>
#include <filesystem>
#include <string>

#include "base/paths.h"
#include "demoapp.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: vardelon-demo FOLDER\n");
        return 2;
    }
    std::error_code ec;
    std::string self = std::filesystem::read_symlink("/proc/self/exe", ec).string();
    if (ec || self.empty()) self = argv[0];
    const vdln::Status s = vdln::demo::writeDemoApplication(argv[1], vdln::dirOf(self));
    if (!s) {
        std::fprintf(stderr, "vardelon-demo: %s\n", s.message().c_str());
        return 1;
    }
    std::printf("The growth application is ready in %s (load growth.ds1).\n", argv[1]);
    return 0;
}
