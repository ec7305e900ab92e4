#pragma once
// The registry store: the three hives the suite uses, kept as REGEDIT4 text files
// ("HKEY_CURRENT_USER.reg", ...) in one folder ($QUARVA_REGISTRY_DIR, by default
// $XDG_CONFIG_HOME/quarva/registry).
//
// Key paths are relative to a hive and use "\" between key names
// ("Software\\Quarva Software\\Quarva.Zip\\Settings"). Key and value names compare
// without regard to case; the spelling first written is kept. The empty value
// name is the key's default value. As on the platform itself, keys nest at most
// 512 levels below their hive, key names have at most 255 characters and value
// names at most 16383; writes and imports beyond that are refused (lastError()).
//
// Reads behave as the platform's own registry calls do: a caller passes a buffer
// size, and a value that does not fit is an error (kErrorMoreData) rather than a
// truncated value. Strings are stored with their terminating zero, so a string of
// n characters needs a buffer of n + 1 bytes.
//
// Every write is a read-modify-write of one hive file under an exclusive lock
// (flock on "<hive>.lock") and replaces the file atomically (AtomicFile.h):
// concurrent writers in several processes lose nothing, and a crash in
// the middle of a write leaves the previous hive. A hive file that cannot be
// parsed is moved aside ("<hive>.reg.corrupt-<time>") with a note on stderr
// before it is replaced, never overwritten silently.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarva::platform {

enum class Hive { CurrentUser, ClassesRoot, LocalMachine };

// Value types, numbered as the platform numbers them (and as REGEDIT4 writes hex(N)).
constexpr std::uint32_t kRegNone = 0;
constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegExpandSz = 2;
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;
constexpr std::uint32_t kRegMultiSz = 7;

// Result codes, numbered as the platform's system error codes.
constexpr long kErrorSuccess = 0;
constexpr long kErrorFileNotFound = 2;  // key or value missing
constexpr long kErrorAccessDenied = 5;  // hive folder or file not writable
constexpr long kErrorInvalidData = 13;  // bad arguments or unreadable hive
constexpr long kErrorMoreData = 234;    // the value does not fit the caller's buffer

struct RegistryValue {
    std::string name;
    std::uint32_t type = kRegNone;
    std::vector<std::uint8_t> data;
};

class Registry {
public:
    // A store over the hive files in `folder` (created on the first write). A hive
    // whose file does not exist yet reads as the same hive in `defaultsFolder`
    // (owned by root or the user and writable by no one else), and its first write
    // starts from a copy of that: a machine-wide default the user's own store overrides.
    explicit Registry(std::filesystem::path folder, std::filesystem::path defaultsFolder = {});

    // $QUARVA_REGISTRY_DIR, else $XDG_CONFIG_HOME/quarva/registry, else ~/.config/quarva/registry.
    static std::filesystem::path defaultFolder();
    // $QUARVA_REGISTRY_DEFAULTS_DIR; else none when $QUARVA_REGISTRY_DIR names the
    // store; else /etc/quarva/registry (written by the suite's package).
    static std::filesystem::path machineDefaultsFolder();
    // A store over defaultFolder() with machineDefaultsFolder(), read afresh from the
    // environment on every call.
    static Registry fromEnvironment();

    const std::filesystem::path& folder() const { return folder_; }
    std::filesystem::path hiveFile(Hive hive) const;

    // The platform's query: with data == nullptr only the size is returned in *size.
    // Otherwise *size is the buffer size on entry and the stored size on return;
    // kErrorMoreData when the buffer is too small (nothing copied).
    long queryValue(Hive hive, std::string_view key, std::string_view name, std::uint32_t* type, void* data,
                    std::uint32_t* size) const;
    long setValue(Hive hive, std::string_view key, std::string_view name, std::uint32_t type, const void* data,
                  std::uint32_t size);
    long createKey(Hive hive, std::string_view key);
    long deleteValue(Hive hive, std::string_view key, std::string_view name);
    // Deletes the key with all its subkeys.
    long deleteKey(Hive hive, std::string_view key);

    bool keyExists(Hive hive, std::string_view key) const;
    std::vector<std::string> subkeys(Hive hive, std::string_view key) const;
    std::vector<RegistryValue> values(Hive hive, std::string_view key) const;

    // Typed helpers over queryValue. bufferSize 0 means "any size".
    // A string read fails (nullopt) when the value is missing, not a string type, or
    // needs more than bufferSize bytes with its terminating zero. Stored data without
    // a terminating zero is returned as it stands.
    std::optional<std::string> readString(Hive hive, std::string_view key, std::string_view name,
                                          std::uint32_t bufferSize = 0) const;
    // Fails when the value is missing or its data is longer than bufferSize (4 by default).
    // Data shorter than 4 bytes is zero-extended.
    std::optional<std::uint32_t> readDword(Hive hive, std::string_view key, std::string_view name,
                                           std::uint32_t bufferSize = 4) const;
    std::optional<std::vector<std::uint8_t>> readBinary(Hive hive, std::string_view key, std::string_view name) const;

    long writeString(Hive hive, std::string_view key, std::string_view name, std::string_view text);
    long writeDword(Hive hive, std::string_view key, std::string_view name, std::uint32_t number);
    long writeBinary(Hive hive, std::string_view key, std::string_view name, const std::vector<std::uint8_t>& bytes);

    // REGEDIT4 text as the platform's editor writes it. A full key path starts with the
    // hive name ("HKEY_CURRENT_USER\\Software\\..."; HKCU, HKCR, HKLM are accepted too).
    long importFile(const std::filesystem::path& regFile);
    long exportKey(std::string_view fullKey, const std::filesystem::path& regFile) const;
    // What went wrong in the last failed importFile or exportKey (file, line, reason),
    // or why the last write refused its key or value name.
    const std::string& lastError() const { return lastError_; }

    // How many times this process has parsed a hive file (readers reuse a parsed
    // hive while its file is unchanged); for tests.
    static std::uint64_t hiveParses();

private:
    bool writablePath(std::string_view key, std::vector<std::string>* path) const;
    std::filesystem::path defaultsFile(Hive hive) const;

    std::filesystem::path folder_;
    std::filesystem::path defaults_;
    mutable std::string lastError_;
};

// "HKEY_CLASSES_ROOT\\x\\y" → {ClassesRoot, "x\\y"}; nullopt for an unknown hive name.
std::optional<std::pair<Hive, std::string>> splitFullKey(std::string_view fullKey);
const char* hiveName(Hive hive);

}  // namespace quarva::platform
