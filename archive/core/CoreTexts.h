#pragma once
// The user-visible texts of the archive document and the command-line actions.

namespace quarva::archive::text {

inline constexpr char kTitle[] = "Quarva.Zip Suite";
inline constexpr char kTitleOpening[] = "Quarva.Zip Suite ";
inline constexpr char kTitleSuffix[] = " - Quarva.Zip Suite";
inline constexpr char kCreationNotSupported[] = "Creation of archive of this type not supported";
inline constexpr char kSetScanner[] =
    "Set virus scanner options from Options-Configuration menu and selecting Folders page";
inline constexpr char kNoMailClient[] =
    "Couldn't start the mail program (xdg-email) to send the archive.\n"
    "Install a mail client and the xdg-utils package, then try again.";
inline constexpr char kMailMissingArchive[] = "The archive to send does not exist:\n";
inline constexpr char kShortcutTo[] = "Shortcut to ";
inline constexpr char kAddToFavoritesTitle[] = "Add to Favorites";

// Command-line actions.
inline constexpr char kSfxSaveAs[] = "Quarva.Zip Suite will save the file as ";
inline constexpr char kSfxChange[] = "\n Do you want to change it ?";
inline constexpr char kSfxSaveTitle[] = "Save As";
inline constexpr char kSfxFilter[] = "Self Extracting Exe (*.exe)|*.exe|All Files (*.*)|*.*||";
inline constexpr char kDllNotLoaded[] = "Dll Not loaded";
inline constexpr char kProcNotFound[] = "Proc not found";
inline constexpr char kCannotOpenMoved[] = "Cannot Open %s - File has been moved or deleted";
inline constexpr char kListFileUnreadable[] = "Cannot read the list of files ";
inline constexpr char kListFileUnreadableEnd[] = "\nNothing was changed.";
inline constexpr char kListFileMisshapen[] = "The list of files ";
inline constexpr char kListFileMisshapenMiddle[] = " cannot be used: ";
inline constexpr char kTooManyArguments[] =
    "Quarva.Zip Suite takes one switch and one path on its command line, such as\n"
    "QuarvaZip /open \"/home/me/archive.zip\"\nbut it was given: ";
inline constexpr char kNoDestination[] = "No destination folder is named for ";
inline constexpr char kNoFindInZip[] = "Find in zip is not available in this version.";

}  // namespace quarva::archive::text
