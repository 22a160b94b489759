// vdlnhar: list, dump and copy header array files (see formats/hartool.h).
#include <iostream>
#include <string>
#include <vector>

#include "formats/hartool.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return vdln::runHarTool(args, std::cout, std::cerr);
}
