#pragma once
/// Names that become part of a path (simulation names, closure and shock
/// file names, start files) are checked where they enter the program: when
/// a details file is loaded, an archive restored or a name edited.  Such a
/// name must not reach outside the folder it is joined to.

#include <string>

#include "base/result.h"

namespace vdln {

/// Fails when `name` holds a folder separator ("/" or "\"), is or contains
/// "..", or holds a control character (below 32, or 127).  The message
/// names what the name is: "<what> \"<name>\" cannot be used as part of a
/// file name: it contains a folder separator." (or "..", or "a control
/// character").  An empty name passes (the caller decides whether it may be
/// empty).
Status checkPathComponent(const std::string& name, const std::string& what);

/// Whether `path`, made lexically normal, lies inside `folder` (or is it).
bool pathIsUnder(const std::string& path, const std::string& folder);

}  // namespace vdln
