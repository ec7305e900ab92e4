#include "archive/core/Associations.h"

#include "archive/core/Configuration.h"
#include "archive/core/QuarvaZipApp.h"
#include "formatlib/host/FormatLibraryHost.h"

namespace quarva::archive {

using platform::Hive;

bool registerAssociations(const std::filesystem::path& libraryPath, platform::WindowHandle window,
                          platform::Prompts& prompts, platform::Registry& registry) {
    int status = formatlib::callEntry<QzAssociateFn>(libraryPath, "Associate", window);
    if (status != formatlib::kStatusOk) {
        prompts.message(kAssociationErrorMessage, kAppName, platform::Buttons::Ok, platform::Icon::Stop);
        return false;
    }
    const std::string slot = std::string("ShellEx\\") + kInfoTipHandlerSlot;
    registry.writeString(Hive::ClassesRoot, "QuarvaZip\\" + slot, "", kZipInfoClassId);
    registry.writeString(Hive::ClassesRoot, "exefile\\" + slot, "", kZipInfoClassId);
    registry.writeString(Hive::ClassesRoot, "QuarvaZip", "", kArchiveTypeName);
    return true;
}

bool associateWithDesktop(std::uint32_t systemBits, platform::Launcher& launcher) {
    if ((systemBits & systembits::kDesktopDefault) == 0) return false;
    // The archive types of the program's desktop file, without the splitter's.
    static const char* const kArchiveTypes[] = {
        "application/zip",
        "application/x-zip-compressed",
        "application/x-java-archive",
        "application/x-tar",
        "application/x-compressed-tar",
        "application/x-bzip-compressed-tar",
        "application/x-xz-compressed-tar",
        "application/x-zstd-compressed-tar",
        "application/x-lzma-compressed-tar",
        "application/x-tarz",
        "application/gzip",
        "application/vnd.ms-cab-compressed",
        "application/x-lha",
        "application/x-lzh-compressed",
        "application/x-7z-compressed",
        "application/vnd.rar",
        "application/x-rar",
        "application/x-arj",
        "application/x-ace",
        "text/x-uuencode",
        "application/x-quarva-xxencoded",
    };
    std::vector<std::string> argv{"xdg-mime", "default", kDesktopFileName};
    argv.insert(argv.end(), std::begin(kArchiveTypes), std::end(kArchiveTypes));
    return launcher.launch(argv, false);
}

}  // namespace quarva::archive
