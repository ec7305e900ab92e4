#include "archive/core/Associations.h"

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

}  // namespace quarva::archive
