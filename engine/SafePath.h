#pragma once
// The one place that turns an archive-side name into components under the
// destination folder (platform::SafeDestination then reaches them without
// following links). Every extraction goes through it.

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

// Links an archive may create: resolved from the link's own folder, the target
// stays inside the destination.
using platform::linkTargetInside;

}  // namespace quarva::engine
