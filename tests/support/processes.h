#pragma once
// What the tests see of other processes through /proc: whether a program
// they started (or one its children started) is still running.
#include <string>

namespace vdln::testing {

/// A file that may be missing (a process's /proc entry); "" then.
std::string quietRead(const std::string& path);
/// Whether process `pid` is gone; a zombie waiting for its parent counts
/// as gone, since it runs no code.
bool processGone(long pid);
/// Waits up to `ms` milliseconds for process `pid` to be gone.
bool processGoneWithin(long pid, int ms);

}  // namespace vdln::testing
