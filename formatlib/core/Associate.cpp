#include <exception>

#include "formatlib/core/Operations.h"
#include "platform/Registry.h"

namespace quarva::formatlib {

namespace {
// The archive types the suite opens.
const char* const kExtensions[] = {"zip", "cab", "lzh", "lha", "tar", "gz",  "tgz", "jar", "rar", "7z",
                                   "arj", "ace", "arc", "zoo", "bh",  "uue", "xxe", "bz2", "xz"};
}  // namespace

void associate(const std::string& installedFolder, Reporter& rep) {
    using platform::Hive;
    auto reg = platform::Registry::fromEnvironment();
    const std::string program = installedFolder + "/QuarvaZip";
    const std::string command = "\"" + program + "\" \"%1\"";
    const std::string icon = program + ",0";
    long rc = reg.writeString(Hive::ClassesRoot, "QuarvaZip\\shell\\open\\command", "", command);
    if (rc == platform::kErrorSuccess) rc = reg.writeString(Hive::ClassesRoot, "QuarvaZip\\DefaultIcon", "", icon);
    for (const char* ext : kExtensions) {
        if (rc != platform::kErrorSuccess) break;
        rc = reg.writeString(Hive::ClassesRoot, std::string(".") + ext, "", "QuarvaZip");
    }
    if (rc != platform::kErrorSuccess)
        rep.error("", "", "Error in Associating Archives",
                  "the registry store could not be written (error " + std::to_string(rc) + ")");
}

}  // namespace quarva::formatlib
