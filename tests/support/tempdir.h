#pragma once
// A fixture that gives each test its own empty temporary folder, removed
// afterwards, plus small helpers to write and read files in it.
#include <gtest/gtest.h>

#include <string>

namespace vdln::testing {

/// Creates a fresh folder under the system temporary folder.
std::string makeTempDir(const std::string& prefix = "vdlntest");
/// Removes a folder and everything in it (ignores errors).
void removeTree(const std::string& path);
/// Writes bytes to a file (creating folders on the way); fails the test on error.
void writeFile(const std::string& path, const std::string& bytes);
/// Reads a whole file; fails the test on error.
std::string readFile(const std::string& path);

class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override { m_dir = makeTempDir(); }
    void TearDown() override { removeTree(m_dir); }
    /// The test's folder.
    const std::string& dir() const { return m_dir; }
    /// A path inside the test's folder.
    std::string path(const std::string& name) const { return m_dir + "/" + name; }

private:
    std::string m_dir;
};

}  // namespace vdln::testing
