// The vardelon executable.  Batch mode (when given parameters) and the main
// window come later; for now it reports its name and version.
#include <cstdio>

int main(int /*argc*/, char** /*argv*/) {
    std::printf("Vardelon %s\n", VARDELON_VERSION);
    return 0;
}
