#pragma once
// The parts behind platform/Registry.h, shared by its source files and by nothing else:
// the key tree (RegistryTree.cpp), its REGEDIT4 text form (RegistryText.cpp) and the
// hive files with their locks, cache and atomic replacement (RegistryHive.cpp).
// Registry.cpp is the front that puts them together.

#include "platform/Registry.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <unordered_map>
#include <vector>

namespace quarva::platform::registry_store {

constexpr long kErrorDiskFull = 112;
// A change that found the hive already as asked: success, and nothing to write.
constexpr long kUnchanged = -1;

// ---------------------------------------------------------------- names and keys

// Key and value names compare without regard to ASCII case.
bool sameName(std::string_view a, std::string_view b);
bool startsWithNoCase(std::string_view text, std::string_view prefix);
// Characters that would break the line structure of the hive file.
bool hasLineBreakOrZero(std::string_view s);
std::string folded(std::string_view s);

// Children and values are kept in the order first written (for listing and for
// the file) and indexed by their case-folded names, so that a key with many
// siblings is found without looking at them one by one.
struct Key {
    std::string name;
    std::list<RegistryValue> values;
    std::unordered_map<std::string, std::list<RegistryValue>::iterator> valueIndex;
    std::list<Key> subkeys;
    std::unordered_map<std::string, std::list<Key>::iterator> childIndex;

    Key() = default;
    explicit Key(std::string n) : name(std::move(n)) {}
    Key(Key&&) = default;
    Key& operator=(Key&&) = default;

    const Key* child(std::string_view n) const {
        auto it = childIndex.find(folded(n));
        return it == childIndex.end() ? nullptr : &*it->second;
    }
    Key* child(std::string_view n) {
        auto it = childIndex.find(folded(n));
        return it == childIndex.end() ? nullptr : &*it->second;
    }
    const RegistryValue* value(std::string_view n) const {
        auto it = valueIndex.find(folded(n));
        return it == valueIndex.end() ? nullptr : &*it->second;
    }
};

using KeyPath = std::vector<std::string>;

// "a\\b\\c" → {a, b, c}; empty parts (doubled or outer backslashes) are skipped.
// False, with the reason in *why, for names that could not be stored.
bool splitKeyPath(std::string_view path, KeyPath* parts, std::string* why = nullptr);
bool checkValueName(std::string_view name, std::string* why);

const Key* findKey(const Key& root, const KeyPath& path);
Key* findKey(Key& root, const KeyPath& path);
Key& makeKey(Key& root, const KeyPath& path);
bool removeKey(Key& root, const KeyPath& path);
void setValueIn(Key& key, RegistryValue value);
bool removeValue(Key& key, std::string_view name);

// ---------------------------------------------------------------- REGEDIT4 text

struct Op {
    enum Kind { CreateKey, DeleteKey, SetValue, DeleteValue } kind;
    Hive hive;
    KeyPath path;
    RegistryValue value;  // SetValue; only the name for DeleteValue
};

struct Parsed {
    std::vector<Op> ops;
    std::string error;  // empty when the text parsed
};

Parsed parseRegText(std::string_view text);
// The text of `key` and everything below it, headed "REGEDIT4"; `fullName` is the
// key's path with its hive. `withEmptySelf` writes the key's own section even when
// it has no values.
std::string regText(const Key& key, const std::string& fullName, bool withEmptySelf);
void applyOp(Key& root, const Op& op);

// ---------------------------------------------------------------- hive files

long errorFromErrno(int err);
// Reads a whole file; false with errno set on failure.
bool readWhole(const std::filesystem::path& path, std::string* out);
// Replaces `target` with `content` so that readers see either the old file or the
// new one, never a part (a link as the target is written through, and stays).
long replaceFile(const std::filesystem::path& target, std::string_view content, mode_t mode);

// The hive for reading: from the cache while the file is unchanged, else read under
// a shared lock. Damaged or unreadable hives read as empty.
std::shared_ptr<const Key> readHive(const std::filesystem::path& folder, const std::filesystem::path& file, Hive hive,
                                    const std::filesystem::path& defaults);

// Read-modify-write of one hive under its exclusive lock. The hive is always read
// afresh here (never from the cache), so no other process's change can be lost.
// `change` returns kErrorSuccess to have the hive written back, kUnchanged when
// there is nothing to write, or an error that leaves the hive as it was.
long modifyHive(const std::filesystem::path& folder, const std::filesystem::path& file, Hive hive,
                const std::filesystem::path& defaults, const std::function<long(Key&)>& change);

std::optional<RegistryValue> lookup(const std::filesystem::path& folder, const std::filesystem::path& file, Hive hive,
                                    const std::filesystem::path& defaults, std::string_view key, std::string_view name);

// A result code in words, for lastError().
std::string describe(long rc);

// How many times this process has parsed a hive file.
std::uint64_t hiveParseCount();

}  // namespace quarva::platform::registry_store
