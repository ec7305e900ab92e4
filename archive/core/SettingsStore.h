#pragma once
// The four store functions every part of the archive manager uses for its
// settings under the current user's hive. Values are read through a 100-byte
// buffer, as they always have been: a string that is missing, unreadable or longer
// than 99 characters reads as "", a number that is missing, unreadable or longer
// than 4 bytes reads as 0.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Registry.h"

namespace quarva::archive {

inline constexpr char kSuiteKey[] = "Software\\Quarva Software\\Quarva.Zip";
inline constexpr char kRecentFileListKey[] = "Software\\Quarva Software\\Quarva.Zip Suite\\Recent File List";
inline constexpr std::uint32_t kSettingsBufferSize = 100;

// kSuiteKey + "\\" + section.
std::string suiteKey(std::string_view section);

class SettingsStore {
public:
    explicit SettingsStore(platform::Registry registry) : registry_(std::move(registry)) {}
    // A store over the registry named by the environment.
    static SettingsStore fromEnvironment() { return SettingsStore(platform::Registry::fromEnvironment()); }

    // `key` is a full key path under the current user's hive.
    std::string readString(std::string_view key, std::string_view value) const;
    std::uint32_t readNumber(std::string_view key, std::string_view value) const;
    bool writeString(std::string_view key, std::string_view value, std::string_view text);
    bool writeNumber(std::string_view key, std::string_view value, std::uint32_t number);
    bool deleteValue(std::string_view key, std::string_view value);
    bool keyExists(std::string_view key) const;

    platform::Registry& registry() { return registry_; }
    const platform::Registry& registry() const { return registry_; }

private:
    platform::Registry registry_;
};

}  // namespace quarva::archive
