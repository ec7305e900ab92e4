#pragma once
// The one check that every extraction of every engine goes through before a name
// from an archive becomes a place on disk. Archives are untrusted: a name may try
// to climb out of the destination ("..", "/etc/x", "C:\x", "a\..\..\x"), and a
// stored link may point anywhere.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarva::platform {

// Splits an archive-side name ("/" or "\" separators) into its components.
// Refused (nullopt, with the reason in *reason): an empty name, control characters,
// an absolute name ("/x", "\x", "//server\share"), a drive letter at the start or
// in any component ("C:x", "a\C:\x"), and any ".." component. "." and empty
// components are dropped; a name that leaves nothing is refused too.
std::optional<std::vector<std::string>> safePathComponents(std::string_view name, std::string* reason = nullptr);

// The same, joined with "/" ("a/b/c.txt").
std::optional<std::string> safeRelativePath(std::string_view name, std::string* reason = nullptr);

// True when an archive may create a symbolic link with this target: relative, no
// drive letter, and no ".." at all. Links that only point at or below their own
// folder can never lead out of the destination, whatever order they are made in.
bool linkTargetInside(std::string_view target);

// True when a link at `linkPath` (a safe relative name inside the destination, as
// safeRelativePath gives it: "dir2/symlink1") may point at `target`: the target,
// resolved from the link's own folder, stays inside the destination
// ("dir2/symlink1" -> "../file1" is allowed, "a" -> "../x" is not). Refused: absolute
// targets, drive letters, and ".." after a name ("sub/../../x"), since that name
// may itself be a link and the kernel would then climb from wherever it leads.
bool linkTargetInside(std::string_view linkPath, std::string_view target);

}  // namespace quarva::platform
