#pragma once
// A scratch folder per fuzz process, in a memory-backed folder when there is
// one, removed at exit; and a helper that writes an input into a file.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/fileutil.h"

namespace vdln::fuzz {

// The folder's name lives in plain storage, so it is still there when the
// exit handler runs (a static string may already be destroyed by then).
inline char g_scratchDir[512];

inline void removeScratch() {
    if (!g_scratchDir[0]) return;
    std::error_code ec;
    std::filesystem::remove_all(g_scratchDir, ec);
}

inline std::string scratch(const char* target) {
    if (!g_scratchDir[0]) {
        const std::string root = directoryExists("/dev/shm") ? "/dev/shm" : "/tmp";
        const std::string d = root + "/vdln_" + target + "_" + std::to_string(getpid());
        std::snprintf(g_scratchDir, sizeof g_scratchDir, "%s", d.c_str());
        // A run without its folder finds nothing to read, which is harmless.
        if (Status made = makeDirectories(d); !made) std::fprintf(stderr, "%s\n", made.message().c_str());
        std::atexit(removeScratch);
    }
    return g_scratchDir;
}

inline void put(const std::string& file, const std::string& text) {
    std::FILE* f = std::fopen(file.c_str(), "wb");
    if (!f) return;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

inline void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace vdln::fuzz
