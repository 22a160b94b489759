#pragma once
/// The `vdlnhar` command: list, dump and copy header array files with the
/// program's own reader and writer, for users without a header array viewer
/// and for scripted checks.

#include <iosfwd>
#include <string>
#include <vector>

namespace vdln {

/// Runs `vdlnhar` with its arguments (without the program name):
///   list FILE                 the flavour, then one line per header: name,
///                             type, storage, dims text, description
///   dump FILE HEADER          the header's values as CSV
///   copy IN OUT [--lahey|--fujitsu] [--sort]
/// Output goes to `out`, errors (the library's message chain) to `err`.
/// Returns the exit status: 0 success, 1 failure, 2 bad usage.
int runHarTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace vdln
