#include "archive/utilities/UpdateSettings.h"

namespace quarva::archive {

UpdateAddresses updateAddresses(const SettingsStore& store) {
    std::string server = store.readString(kUpdateSectionKey, "Server");
    if (server.empty()) server = kDefaultUpdateServer;
    while (!server.empty() && server.back() == '/') server.pop_back();
    UpdateAddresses addresses;
    addresses.versionUrl = server + "/quarvazip/version.txt";
    addresses.pageUrl = server + "/quarvazip/";
    if (std::uint32_t timeout = store.readNumber(kUpdateSectionKey, "TimeOut"))
        addresses.timeout = std::chrono::milliseconds(timeout);
    return addresses;
}

}  // namespace quarva::archive
