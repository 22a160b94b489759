#pragma once
/// The recently used simulation-details files, kept in section "MRUFiles"
/// of the settings file (keys "File1", "File2", ...; the most recent first).
/// The section survives the settings writer, which keeps sections it does
/// not own.

#include <string>
#include <vector>

#include "base/result.h"

namespace vdln {

inline constexpr const char* kRecentFilesSection = "MRUFiles";
inline constexpr int kMaxRecentFiles = 8;

/// The list read from a settings file: empty values and repeats are dropped,
/// at most `kMaxRecentFiles` names; a missing file gives an empty list.
std::vector<std::string> readRecentFiles(const std::string& settingsFile);
/// Puts `file` at the head of `list` (removing an earlier entry of it) and
/// cuts the list to `kMaxRecentFiles`.
void addRecentFile(std::vector<std::string>& list, const std::string& file);
/// Replaces the section in the settings file (created when missing); the
/// rest of the file is kept as it stands.
Status writeRecentFiles(const std::string& settingsFile, const std::vector<std::string>& list);

}  // namespace vdln
