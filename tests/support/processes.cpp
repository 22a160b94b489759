#include "support/processes.h"

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

namespace vdln::testing {

std::string quietRead(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    if (f) ss << f.rdbuf();
    return ss.str();
}

bool processGone(long pid) {
    const std::string stat = quietRead("/proc/" + std::to_string(pid) + "/stat");
    if (stat.empty()) return true;
    // The state follows the command name, which may itself hold ')'.
    const size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z';
}

bool processGoneWithin(long pid, int ms) {
    constexpr int kStepMs = 10;
    for (int waited = 0; waited < ms; waited += kStepMs) {
        if (processGone(pid)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(kStepMs));
    }
    return processGone(pid);
}

}  // namespace vdln::testing
