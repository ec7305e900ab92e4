#include "platform/Registry.h"

#include "platform/linux/RegistryStore.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace quarva::platform {

using namespace registry_store;

// ---------------------------------------------------------------- Registry

Registry::Registry(fs::path folder, fs::path defaultsFolder)
    : folder_(std::move(folder)), defaults_(std::move(defaultsFolder)) {}

fs::path Registry::machineDefaultsFolder() {
    if (const char* d = std::getenv("QUARVA_REGISTRY_DEFAULTS_DIR")) return d;
    // A store named by $QUARVA_REGISTRY_DIR stands alone.
    if (const char* d = std::getenv("QUARVA_REGISTRY_DIR"); d && *d) return {};
    return "/etc/quarva/registry";
}

fs::path Registry::defaultsFile(Hive hive) const {
    return defaults_.empty() ? fs::path() : defaults_ / (std::string(hiveName(hive)) + ".reg");
}

fs::path Registry::defaultFolder() {
    if (const char* d = std::getenv("QUARVA_REGISTRY_DIR"); d && *d) return d;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x) return fs::path(x) / "quarva" / "registry";
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        if (const passwd* pw = ::getpwuid(::getuid())) home = pw->pw_dir;
    }
    return fs::path(home && *home ? home : "/tmp") / ".config" / "quarva" / "registry";
}

Registry Registry::fromEnvironment() { return Registry(defaultFolder(), machineDefaultsFolder()); }

fs::path Registry::hiveFile(Hive hive) const { return folder_ / (std::string(hiveName(hive)) + ".reg"); }

const char* hiveName(Hive hive) {
    switch (hive) {
    case Hive::CurrentUser: return "HKEY_CURRENT_USER";
    case Hive::ClassesRoot: return "HKEY_CLASSES_ROOT";
    case Hive::LocalMachine: return "HKEY_LOCAL_MACHINE";
    }
    return "HKEY_CURRENT_USER";
}

std::optional<std::pair<Hive, std::string>> splitFullKey(std::string_view fullKey) {
    static const struct {
        const char* name;
        Hive hive;
    } names[] = {
        {"HKEY_CURRENT_USER", Hive::CurrentUser},   {"HKCU", Hive::CurrentUser},
        {"HKEY_CLASSES_ROOT", Hive::ClassesRoot},   {"HKCR", Hive::ClassesRoot},
        {"HKEY_LOCAL_MACHINE", Hive::LocalMachine}, {"HKLM", Hive::LocalMachine},
    };
    std::size_t slash = fullKey.find('\\');
    std::string_view first = fullKey.substr(0, slash);
    for (const auto& n : names) {
        if (!sameName(first, n.name)) continue;
        std::string rest = slash == std::string_view::npos ? std::string() : std::string(fullKey.substr(slash + 1));
        while (!rest.empty() && rest.back() == '\\') rest.pop_back();
        return std::make_pair(n.hive, rest);
    }
    return std::nullopt;
}

long Registry::queryValue(Hive hive, std::string_view key, std::string_view name, std::uint32_t* type, void* data,
                          std::uint32_t* size) const {
    if (data && !size) return kErrorInvalidData;
    KeyPath path;
    if (!splitKeyPath(key, &path)) return kErrorFileNotFound;
    auto root = readHive(folder_, hiveFile(hive), hive, defaultsFile(hive));
    const Key* k = findKey(*root, path);
    if (!k) return kErrorFileNotFound;
    const RegistryValue* v = k->value(name);
    if (!v) return kErrorFileNotFound;
    if (type) *type = v->type;
    auto stored = static_cast<std::uint32_t>(v->data.size());
    if (!data) {
        if (size) *size = stored;
        return kErrorSuccess;
    }
    if (*size < stored) {
        *size = stored;
        return kErrorMoreData;
    }
    if (stored) std::memcpy(data, v->data.data(), stored);
    *size = stored;
    return kErrorSuccess;
}

bool Registry::writablePath(std::string_view key, std::vector<std::string>* path) const {
    lastError_.clear();
    std::string why;
    if (splitKeyPath(key, path, &why)) return true;
    lastError_ = "refused: " + why;
    return false;
}

long Registry::setValue(Hive hive, std::string_view key, std::string_view name, std::uint32_t type, const void* data,
                        std::uint32_t size) {
    KeyPath path;
    if (!writablePath(key, &path)) return kErrorInvalidData;
    if (std::string why; !checkValueName(name, &why)) {
        lastError_ = "refused: " + why;
        return kErrorInvalidData;
    }
    if (size > 0 && !data) return kErrorInvalidData;
    RegistryValue value;
    value.name = std::string(name);
    value.type = type;
    if (size) value.data.assign(static_cast<const std::uint8_t*>(data), static_cast<const std::uint8_t*>(data) + size);
    return modifyHive(folder_, hiveFile(hive), hive, defaultsFile(hive), [&](Key& root) {
        if (const Key* k = findKey(root, path)) {
            const RegistryValue* old = k->value(value.name);
            if (old && old->type == value.type && old->data == value.data) return kUnchanged;
        }
        setValueIn(makeKey(root, path), std::move(value));
        return kErrorSuccess;
    });
}

long Registry::createKey(Hive hive, std::string_view key) {
    KeyPath path;
    if (!writablePath(key, &path)) return kErrorInvalidData;
    if (keyExists(hive, key)) return kErrorSuccess;
    return modifyHive(folder_, hiveFile(hive), hive, defaultsFile(hive), [&](Key& root) {
        makeKey(root, path);
        return kErrorSuccess;
    });
}

long Registry::deleteValue(Hive hive, std::string_view key, std::string_view name) {
    KeyPath path;
    if (!writablePath(key, &path)) return kErrorFileNotFound;
    return modifyHive(folder_, hiveFile(hive), hive, defaultsFile(hive), [&](Key& root) {
        Key* k = findKey(root, path);
        return k && removeValue(*k, name) ? kErrorSuccess : kErrorFileNotFound;
    });
}

long Registry::deleteKey(Hive hive, std::string_view key) {
    KeyPath path;
    if (!writablePath(key, &path)) return kErrorFileNotFound;
    if (path.empty()) return kErrorInvalidData;  // a whole hive is never deleted
    return modifyHive(folder_, hiveFile(hive), hive, defaultsFile(hive),
                      [&](Key& root) { return removeKey(root, path) ? kErrorSuccess : kErrorFileNotFound; });
}

bool Registry::keyExists(Hive hive, std::string_view key) const {
    KeyPath path;
    if (!splitKeyPath(key, &path)) return false;
    if (path.empty()) return true;
    auto root = readHive(folder_, hiveFile(hive), hive, defaultsFile(hive));
    return findKey(*root, path) != nullptr;
}

std::vector<std::string> Registry::subkeys(Hive hive, std::string_view key) const {
    std::vector<std::string> names;
    KeyPath path;
    if (!splitKeyPath(key, &path)) return names;
    auto root = readHive(folder_, hiveFile(hive), hive, defaultsFile(hive));
    if (const Key* k = findKey(*root, path))
        for (const auto& sub : k->subkeys) names.push_back(sub.name);
    return names;
}

std::vector<RegistryValue> Registry::values(Hive hive, std::string_view key) const {
    KeyPath path;
    if (!splitKeyPath(key, &path)) return {};
    auto root = readHive(folder_, hiveFile(hive), hive, defaultsFile(hive));
    const Key* k = findKey(*root, path);
    return k ? std::vector<RegistryValue>(k->values.begin(), k->values.end()) : std::vector<RegistryValue>{};
}

std::uint64_t Registry::hiveParses() { return hiveParseCount(); }

std::optional<std::string> Registry::readString(Hive hive, std::string_view key, std::string_view name,
                                                std::uint32_t bufferSize) const {
    auto v = lookup(folder_, hiveFile(hive), hive, defaultsFile(hive), key, name);
    if (!v || (v->type != kRegSz && v->type != kRegExpandSz)) return std::nullopt;
    bool terminated = !v->data.empty() && v->data.back() == 0;
    std::size_t needed = v->data.size() + (terminated ? 0 : 1);
    if (bufferSize != 0 && needed > bufferSize) return std::nullopt;
    std::string text(v->data.begin(), v->data.end());
    // A reader of the buffer sees the text up to its first zero.
    if (auto zero = text.find('\0'); zero != std::string::npos) text.resize(zero);
    return text;
}

std::optional<std::uint32_t> Registry::readDword(Hive hive, std::string_view key, std::string_view name,
                                                 std::uint32_t bufferSize) const {
    auto v = lookup(folder_, hiveFile(hive), hive, defaultsFile(hive), key, name);
    if (!v || v->data.size() > bufferSize) return std::nullopt;
    std::uint32_t n = 0;
    for (std::size_t i = 0; i < v->data.size() && i < 4; ++i) n |= static_cast<std::uint32_t>(v->data[i]) << (8 * i);
    return n;
}

std::optional<std::vector<std::uint8_t>> Registry::readBinary(Hive hive, std::string_view key,
                                                              std::string_view name) const {
    auto v = lookup(folder_, hiveFile(hive), hive, defaultsFile(hive), key, name);
    if (!v) return std::nullopt;
    return std::move(v->data);
}

long Registry::writeString(Hive hive, std::string_view key, std::string_view name, std::string_view text) {
    std::vector<std::uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    return setValue(hive, key, name, kRegSz, data.data(), static_cast<std::uint32_t>(data.size()));
}

long Registry::writeDword(Hive hive, std::string_view key, std::string_view name, std::uint32_t number) {
    std::uint8_t data[4];
    for (int i = 0; i < 4; ++i) data[i] = static_cast<std::uint8_t>(number >> (8 * i));
    return setValue(hive, key, name, kRegDword, data, 4);
}

long Registry::writeBinary(Hive hive, std::string_view key, std::string_view name,
                           const std::vector<std::uint8_t>& bytes) {
    return setValue(hive, key, name, kRegBinary, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

long Registry::importFile(const fs::path& regFile) {
    lastError_.clear();
    std::string text;
    if (!readWhole(regFile, &text)) {
        int err = errno;
        lastError_ = regFile.string() + ": " + std::strerror(err);
        return errorFromErrno(err);
    }
    Parsed parsed = parseRegText(text);
    if (!parsed.error.empty()) {
        lastError_ = regFile.string() + ": " + parsed.error;
        return kErrorInvalidData;
    }
    for (Hive hive : {Hive::CurrentUser, Hive::ClassesRoot, Hive::LocalMachine}) {
        bool touched = std::any_of(parsed.ops.begin(), parsed.ops.end(), [&](const Op& op) { return op.hive == hive; });
        if (!touched) continue;
        long rc = modifyHive(folder_, hiveFile(hive), hive, defaultsFile(hive), [&](Key& root) {
            for (const auto& op : parsed.ops)
                if (op.hive == hive) applyOp(root, op);
            return kErrorSuccess;
        });
        if (rc != kErrorSuccess) {
            lastError_ = "cannot write " + hiveFile(hive).string() + ": " + describe(rc);
            return rc;
        }
    }
    return kErrorSuccess;
}

long Registry::exportKey(std::string_view fullKey, const fs::path& regFile) const {
    lastError_.clear();
    auto split = splitFullKey(fullKey);
    KeyPath path;
    if (!split || !splitKeyPath(split->second, &path)) {
        lastError_ = "not a key path with a hive name: " + std::string(fullKey);
        return kErrorInvalidData;
    }
    Hive hive = split->first;
    auto root = readHive(folder_, hiveFile(hive), hive, defaultsFile(hive));
    const Key* k = findKey(*root, path);
    if (!k) {
        lastError_ = "no such key: " + std::string(fullKey);
        return kErrorFileNotFound;
    }
    // The written path uses the spelling stored in the hive.
    std::string fullName = hiveName(hive);
    const Key* walk = root.get();
    for (const auto& part : path) {
        walk = walk->child(part);
        fullName += "\\" + walk->name;
    }
    long rc = replaceFile(regFile, regText(*k, fullName, true), 0644);
    if (rc != kErrorSuccess) lastError_ = "cannot write " + regFile.string() + ": " + describe(rc);
    return rc;
}

}  // namespace quarva::platform
