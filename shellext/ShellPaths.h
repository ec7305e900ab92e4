#pragma once
// Path rules of the handlers: extensions, names, path compaction, and the one
// place where the handlers' notion of drives is mapped onto Linux.

#include <cstddef>
#include <string>
#include <string_view>

namespace quarva::shellext {

inline constexpr char kSeparator = '/';

// Extension of the last component: the text from its last dot, lower-cased,
// dot included; empty when the last component has none.
std::string extensionOf(std::string_view path);
// The text after the last separator.
std::string fileNamePart(std::string_view path);
// The path up to (not including) the last dot of its last component, when that
// dot is not the component's first character; otherwise the path itself
// (".profile" has no extension to take away when naming a new archive).
std::string withoutExtension(std::string_view path);
// The path without extensionOf(path): what an archive is extracted into.
std::string cutExtension(std::string_view path);

bool isArchiveExtension(std::string_view ext);
bool offersSelfExtractor(std::string_view ext);
bool isDirectory(const std::string& path);

// The shell's path compaction into a buffer of `bufferSize` characters (so at
// most bufferSize - 1 are shown): a path that fits stays as it is; otherwise the
// head of the path is cut and "..." put before the last component; a last
// component that does not fit by itself is cut at its end and ends in "...".
std::string compactPath(std::string_view path, std::size_t bufferSize);

// ---- drives -------------------------------------------------------------
// What the handlers call a drive root is "/" and the root of every mounted
// volume (including folders listed in $QUARVA_REMOVABLE_ROOTS).
bool isDriveRoot(const std::string& path);
// A drive root written without its trailing separators ("D:\" → "D:"); "/" stays
// "/", since nothing would be left of it.
std::string driveRootWithoutSeparator(const std::string& root);
// The name a drive lends to an archive of items in its root ("C:\" → "C"): the
// last component of the mount point, or "root" for "/".
std::string driveName(const std::string& root);

// How the info tip treats the drive of a path: what were floppies (A:, B:) are
// removable volumes; what had no drive letter (network paths) are network
// mounts and paths written as "//host/share/..."; everything else counts as a
// local drive (C: or later).
enum class TipDrive { Floppy, Network, Local };
TipDrive tipDriveOf(const std::string& path);

}  // namespace quarva::shellext
