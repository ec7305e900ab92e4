#pragma once
// The one place that turns an archive-side name into a place under the
// destination folder. Every extraction goes through it.

#include <filesystem>
#include <string>
#include <vector>

#include "platform/SafePath.h"

namespace quarva::engine {

// Splits an archive-side name ("/" or "\" separators) into safe components.
// Refused (false): an absolute name ("/x", "\x", "//server"), a drive letter
// ("C:..."), any ".." component, NUL or other control characters, and names that
// leave nothing. "." and empty components are dropped. With `usePaths` false only
// the last component is kept.
bool safeComponents(const std::string& name, bool usePaths, std::vector<std::string>& out);

// Outcome of preparing a destination path.
enum class PlaceResult { Ok, Unsafe, ThroughLink, CannotCreate };

// Creates the folders of `components` (all but the last) under `root`, refusing to
// pass through any existing symbolic link below `root`; `out` receives the full
// path of the last component. The last component itself is not created.
PlaceResult preparePlace(const std::filesystem::path& root, const std::vector<std::string>& components,
                         std::filesystem::path& out);

// Links an archive may create: relative, no drive, no "..".
using platform::linkTargetInside;

}  // namespace quarva::engine
