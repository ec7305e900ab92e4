#pragma once
// Where the archive manager's update check asks, from the profile section "Update":
// "Server" (the update server's address, ours when unset) and "TimeOut" (the
// longest wait for an answer in milliseconds, 15 s when unset).

#include <chrono>
#include <string>

#include "archive/core/SettingsStore.h"

namespace quarva::archive {

inline constexpr char kUpdateSectionKey[] = "Software\\Quarva Software\\Quarva.Zip Suite\\Update";
inline constexpr char kDefaultUpdateServer[] = "https://update.quarva.software";
inline constexpr char kCurrentVersion[] = "1.0.0.0";

struct UpdateAddresses {
    std::string versionUrl;  // the version file: its first line is the latest version
    std::string pageUrl;     // what "&Get Latest" opens
    std::chrono::milliseconds timeout{15000};
};

UpdateAddresses updateAddresses(const SettingsStore& store);

}  // namespace quarva::archive
