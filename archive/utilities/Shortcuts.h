#pragma once
// Links to an archive for the desktop: "Create S&hortcut on Desktop" writes a
// freedesktop link file (Type=Link) into the user's desktop folder, and "Add to
// Explorer Fa&vorites" adds the archive's folder to the file manager's bookmarks
// (the GTK bookmarks file) under a title the user confirms. Files are replaced
// whole or not at all; an existing link file is never overwritten.

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/Prompts.h"

namespace quarva::archive {

namespace shortcuttext {
inline constexpr char kSetPathFailed[] = "SetPath failed!";
inline constexpr char kCreated[] = "Shortcut created successfully";
inline constexpr char kCreateFailed[] = "Create Shortcut failed!";
inline constexpr char kFavouriteTitleText[] = "Name:";
}  // namespace shortcuttext

// The shortcut's name for archive `path`: its name after the last "/", with every
// occurrence of "." + its extension (the text after the last "." of the path) taken
// out. "/data/a.b.zip" gives "a.b"; a name without an extension stays whole.
std::string shortcutName(std::string_view path);
// `name` as the stem of a file name in a folder of the user's: no "/" and no control
// characters (made "_"), no leading "-" or "." (made "_"), at most 242 bytes (cut at
// a character boundary) so that ".desktop" and a " (n)" still fit in 255.
std::string linkFileStem(std::string_view name);
// "file://" and the absolute path with every byte but letters, digits, "-._~" and "/"
// percent-encoded.
std::string fileUri(std::string_view absolutePath);

// Writes a link to `target` named `name`, described by `description`, as
// "<stem>.desktop" in `folder` (created when missing), or as "<stem> (2).desktop"
// and so on when the name is taken. Shows "SetPath failed!" for a target that is
// not an absolute path, then "Shortcut created successfully" or "Create Shortcut
// failed!". The file written; empty when none was.
std::filesystem::path createShellLink(const std::string& target, const std::filesystem::path& folder,
                                      const std::string& name, const std::string& description,
                                      platform::Prompts& prompts);
// The File menu's shortcut: a link to the archive on the user's desktop, described
// as "Shortcut to " + the archive's path.
std::filesystem::path createDesktopShortcut(const std::string& archivePath, platform::Prompts& prompts);

// The GTK bookmarks file: gtk-3.0/bookmarks in the user's configuration folder.
std::filesystem::path gtkBookmarksFile();
// Puts "URI title" for `folder` at the end of `bookmarks` (created when missing),
// replacing an earlier line for the same folder. Line ends and other control
// characters in the title become blanks.
bool addBookmark(const std::filesystem::path& bookmarks, const std::string& folder, const std::string& title,
                 std::error_code& ec);
// The favourites command: asks for the title (the archive's file name proposed);
// after "OK" bookmarks the archive's folder and says whether that worked. A
// cancelled question does nothing and says nothing.
bool addToFavourites(const std::string& archivePath, platform::Prompts& prompts);

}  // namespace quarva::archive
