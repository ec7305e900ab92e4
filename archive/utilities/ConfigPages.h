#pragma once
// What the "Configuration" property sheet edits and what its "OK" does, without a
// window: the three pages' controls as data (text and bit), the "Defaults" of the
// View page, the enabling rule of the System page, and the steps after "OK" that
// store each value, ask about missing folders and write the settings.

#include <cstdint>
#include <string>

#include "archive/core/Configuration.h"
#include "platform/Prompts.h"

namespace quarva::archive {

class CQuarvaZipApp;

namespace configtext {
inline constexpr char kSheetTitle[] = "Configuration";
inline constexpr char kViewPage[] = "View";
inline constexpr char kFoldersPage[] = "Folders";
inline constexpr char kSystemPage[] = "System";

inline constexpr char kHeadersGroup[] = "Headers";
inline constexpr char kGeneralGroup[] = "General";
inline constexpr char kNameBox[] = "Name";
inline constexpr char kDefaultsButton[] = "Defaults";

inline constexpr char kScannerGroup[] = "Virus Scanner";
inline constexpr char kOthersGroup[] = "Others";
inline constexpr char kScannerLabel[] = "Path";
inline constexpr char kExtractionLabel[] = "&Extraction";
inline constexpr char kArchivesLabel[] = "&Archives ";
inline constexpr char kChooserButton[] = ">>";
inline constexpr char kScannerChooserTitle[] = "Select Virus Scanner executable";
// Programs here carry no ".exe": the second entry, chosen first, shows them all.
inline constexpr char kScannerChooserFilter[] = "Exe files (*.exe)|*.exe|All Files (*)|*";
inline constexpr char kExtractionChooserTitle[] = "Select a folder for extracting archives to";
inline constexpr char kArchivesChooserTitle[] = "Select a folder for opening archives from";

inline constexpr char kShellGroup[] = "Explorer Shell Extensions";
inline constexpr char kDesktopGroup[] = "Desktop";

inline constexpr char kArchivesMissing[] = "Archives folder does not exist.\nCreate?";
inline constexpr char kArchivesNotCreated[] = "Could not create archives folder?\nEnter valid characters";
inline constexpr char kExtractMissing[] = "Extract folder does not exist.\nCreate?";
inline constexpr char kExtractNotCreated[] = "Could not create extract folder?\nEnter valid characters";
}  // namespace configtext

// One check box of a page and the bit it edits.
struct ConfigBitBox {
    const char* text;
    std::uint32_t bit;
};

inline constexpr ConfigBitBox kHeaderBoxes[] = {
    {"&Type", viewbits::kTypeColumn},   {"&Date", viewbits::kDateColumn},     {"&Size", viewbits::kSizeColumn},
    {"&Ratio", viewbits::kRatioColumn}, {"&Packed", viewbits::kPackedColumn}, {"P&ath", viewbits::kPathColumn},
};
inline constexpr ConfigBitBox kGeneralBoxes[] = {
    {"&Full Row Select", viewbits::kFullRowSelect},
    {"&Grid Lines", viewbits::kGridLines},
    {"Flat Scroll &Bar", viewbits::kFlatScrollBars},
};
// The first box switches the shell extension on; the others depend on it.
inline constexpr ConfigBitBox kShellBoxes[] = {
    {"&Use Shell Extensions.", systembits::kShellExtensionActive},
    {"Use &submenus in Context menus.", systembits::kShellSubmenu},
    {"Display &icons with Context menus", systembits::kShellIcons},
    {"Enable &Zip and E-mail in Context menus", systembits::kShellZipAndMail},
};
inline constexpr ConfigBitBox kDesktopBoxes[] = {
    {"Make Quarva.Zip the desktop's &default for archives", systembits::kDesktopDefault},
};

// The values the three pages edit, handed to the pages before the sheet opens and
// back after "OK".
struct ConfigSheetValues {
    std::uint32_t viewBits = CConfiguration::kDefaultViewBits;
    std::string scannerPath;
    std::string extractFolder;
    std::string archivesFolder;
    std::uint32_t systemBits = CConfiguration::kDefaultSystemBits;

    static ConfigSheetValues fromApp(const CQuarvaZipApp& app);
};

inline void setBit(std::uint32_t& value, std::uint32_t bit, bool on) { value = on ? value | bit : value & ~bit; }
// "Defaults" of the View page: Type, Date, Size and Path on, Packed off; every other
// bit as it was.
std::uint32_t viewDefaults(std::uint32_t viewBits);
// The three context-menu boxes of the System page can be changed only while the
// shell extension is on; their bits stay as they are either way.
inline bool shellOptionsEnabled(std::uint32_t systemBits) {
    return (systemBits & systembits::kShellExtensionActive) != 0;
}

// After "OK": stores the View value (true in the result when it changed, so that
// the file list applies it), the scanner path, the archives and extract folders
// (asking to create a missing one; a refused or failed folder keeps its stored
// value) and the System value, then writes the settings of the configuration store.
// The window placement is the caller's to write.
struct ConfigApplied {
    bool viewChanged = false;
};
ConfigApplied applyConfiguration(const ConfigSheetValues& values, CQuarvaZipApp& app, platform::Prompts& prompts);

}  // namespace quarva::archive
