#pragma once
// The association step of every start: the format library associates the archive
// types with the archive manager, and the manager adds the info-tip handler of its
// shell extension for archives and for programs.

#include <cstdint>
#include <filesystem>

#include "platform/Launcher.h"
#include "platform/Prompts.h"
#include "platform/Registry.h"
#include "platform/WindowMessages.h"

namespace quarva::archive {

inline constexpr char kAssociationErrorMessage[] = "Error in Associating Archives";
// The shell's info-tip handler slot, and the class of the shell extension's info-tip handler.
inline constexpr char kInfoTipHandlerSlot[] = "{00021500-0000-0000-c000-000000000046}";
inline constexpr char kZipInfoClassId[] = "{E22D9CE2-193B-485B-9B9E-A8BDC5559890}";
inline constexpr char kArchiveTypeName[] = "Quarva.Zip Suite File";

// Loads the format library, calls its Associate with `window`, then writes the
// info-tip entries under HKEY_CLASSES_ROOT. When the library or its entry point is
// missing: "Error in Associating Archives", nothing written, start-up goes on.
// Returns true when the association ran.
bool registerAssociations(const std::filesystem::path& libraryPath, platform::WindowHandle window,
                          platform::Prompts& prompts, platform::Registry& registry);

// The desktop's own association, after the registry's: when the system settings
// ask for it (systembits::kDesktopDefault), starts
// `xdg-mime default com.quarva.QuarvaZip.desktop TYPE...` for the archive types,
// in the user's own environment. Returns true when it was started.
inline constexpr char kDesktopFileName[] = "com.quarva.QuarvaZip.desktop";
bool associateWithDesktop(std::uint32_t systemBits, platform::Launcher& launcher);

}  // namespace quarva::archive
