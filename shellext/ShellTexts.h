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

// Command-line switches of the archive manager, as sent (blanks included).
inline constexpr const char* kSwitchAdd = " /add ";
inline constexpr const char* kSwitchExtract = " /extract ";
inline constexpr const char* kSwitchNoAddDialog = " /noadddialog ";
inline constexpr const char* kSwitchZipAndMail = " /zipandmail ";
inline constexpr const char* kSwitchNoExtractDialog = " /noextractdialog ";
inline constexpr const char* kSwitchMail = " /mail  ";  // two blanks before the quote
inline constexpr const char* kSwitchSfx = " /SFX  ";    // two blanks before the quote
inline constexpr const char* kSwitchFindInZip = " /findinzip";

// Registry names read by the handlers.
inline constexpr const char* kSettingsKey = "Software\\Quarva Software\\Quarva.Zip\\Settings";
inline constexpr const char* kSystemSettingsValue = "Config System Settings";
inline constexpr const char* kInstalledPathValue = "Installed Path";

// Files.
inline constexpr const char* kListFileName = "~QuarvaZip.tmp";
inline constexpr const char* kProgramName = "QuarvaZip";

}  // namespace quarva::shellext::texts
