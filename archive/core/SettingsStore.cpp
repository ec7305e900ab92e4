#include "archive/core/SettingsStore.h"

namespace quarva::archive {

using platform::Hive;

std::string suiteKey(std::string_view section) {
    std::string key = kSuiteKey;
    if (!section.empty()) {
        key += '\\';
        key += section;
    }
    return key;
}

std::string SettingsStore::readString(std::string_view key, std::string_view value) const {
    auto text = registry_.readString(Hive::CurrentUser, key, value, kSettingsBufferSize);
    if (!text) return {};
    // Data stored without its terminating zero still reads up to the first zero.
    if (auto zero = text->find('\0'); zero != std::string::npos) text->resize(zero);
    return *text;
}

std::uint32_t SettingsStore::readNumber(std::string_view key, std::string_view value) const {
    return registry_.readDword(Hive::CurrentUser, key, value, 4).value_or(0);
}

bool SettingsStore::writeString(std::string_view key, std::string_view value, std::string_view text) {
    return registry_.writeString(Hive::CurrentUser, key, value, text) == platform::kErrorSuccess;
}

bool SettingsStore::writeNumber(std::string_view key, std::string_view value, std::uint32_t number) {
    return registry_.writeDword(Hive::CurrentUser, key, value, number) == platform::kErrorSuccess;
}

bool SettingsStore::deleteValue(std::string_view key, std::string_view value) {
    return registry_.deleteValue(Hive::CurrentUser, key, value) == platform::kErrorSuccess;
}

bool SettingsStore::keyExists(std::string_view key) const { return registry_.keyExists(Hive::CurrentUser, key); }

}  // namespace quarva::archive
