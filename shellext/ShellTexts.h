#pragma once
// Every text the shell extension shows or sends, in one place.

namespace quarva::shellext::texts {

// Menu items (the "&" marks the access key).
inline constexpr const char* kAddToZip = "Add To &Zip";
inline constexpr const char* kAddTo = "&Add to ";
inline constexpr const char* kZipAndMail = "Zip and E-Ma&il ";
inline constexpr const char* kExtractTo = "&Extract to...";
inline constexpr const char* kExtractToFolder = "E&xtract to folder ";
inline constexpr const char* kMail = "E-Ma&il ";
inline constexpr const char* kMakeSelfExtractor = "Make s&elf extractor ";
inline constexpr const char* kSubmenu = "Quarva.Zip Suite";

// Help texts of the context menu.
inline constexpr const char* kHelpAddItem = "Add the selected item to an archive";
inline constexpr const char* kHelpAddItems = "Add the selected items to an archive";
inline constexpr const char* kHelpExtractAll = "Extract all files in the archive";
inline constexpr const char* kHelpAddItemTo = "Add the selected item to the archive ";
inline constexpr const char* kHelpZipItemsTo = "Zip the selected items to an archive ";
inline constexpr const char* kHelpAndMail = " and e-mail it";
inline constexpr const char* kHelpExtractAllTo = "Extract all files in the archive to the folder ";
inline constexpr const char* kHelpZipItemTo = "Zip the selected item to an  archive ";  // two blanks, as shipped
inline constexpr const char* kHelpMailItem = "E-Mail the selected item ";
inline constexpr const char* kHelpConvert = "Convert the selected item ";
inline constexpr const char* kHelpToSelfExtractor = " to self extracting executable";

// Info tips.
inline constexpr const char* kTipCount = "Quarva.Zip Suite info\nFiles/Folders in Archive: %d";
inline constexpr const char* kTipPlain = "Quarva.Zip Suite File";

// Command-line switches of the archive manager (each is sent as a word of its own).
inline constexpr const char* kSwitchAdd = "add";
inline constexpr const char* kSwitchExtract = "extract";
inline constexpr const char* kSwitchNoAddDialog = "noadddialog";
inline constexpr const char* kSwitchZipAndMail = "zipandmail";
inline constexpr const char* kSwitchNoExtractDialog = "noextractdialog";
inline constexpr const char* kSwitchMail = "mail";
inline constexpr const char* kSwitchSfx = "SFX";
inline constexpr const char* kSwitchFindInZip = "findinzip";

// Refusals.
inline constexpr const char* kCaption = "Quarva.Zip Suite";
inline constexpr const char* kLineBreakInName =
    "Quarva.Zip Suite cannot hand this name to the archive manager, because it holds a line break:\n";
inline constexpr const char* kLineBreakInNameEnd = "\nRename it and try again.";
inline constexpr const char* kListFileNotMade = "The list of files for the archive manager cannot be written in ";

// Registry names read by the handlers.
inline constexpr const char* kSettingsKey = "Software\\Quarva Software\\Quarva.Zip\\Settings";
inline constexpr const char* kSystemSettingsValue = "Config System Settings";
inline constexpr const char* kInstalledPathValue = "Installed Path";

// Files.
// A list file of its own per hand-over: prefix, a random part, suffix.
inline constexpr const char* kListFilePrefix = "~QuarvaZip";
inline constexpr const char* kListFileSuffix = ".tmp";
inline constexpr const char* kProgramName = "QuarvaZip";

}  // namespace quarva::shellext::texts
