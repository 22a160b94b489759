#include "support/tempdir.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace vdln::testing {

std::string makeTempDir(const std::string& prefix) {
    std::string base = std::filesystem::temp_directory_path().string() + "/" + prefix + "-XXXXXX";
    std::string buf = base;
    char* made = ::mkdtemp(buf.data());
    if (!made) throw std::runtime_error("mkdtemp failed");
    return std::string(made);
}

void removeTree(const std::string& path) {
    std::error_code ec;
    // Make everything writable again first so chmod-based tests clean up.
    for (auto it = std::filesystem::recursive_directory_iterator(path, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(path, ec);
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::filesystem::path p(path);
    if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
    std::ofstream f(path, std::ios::binary);
    ASSERT_TRUE(f.good()) << "cannot write " << path;
    f << bytes;
}

std::string readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    EXPECT_TRUE(f.good()) << "cannot read " << path;
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

}  // namespace vdln::testing
