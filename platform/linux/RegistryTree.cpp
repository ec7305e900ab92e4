// The key tree of one hive: names that compare without regard to case, and the
// platform's limits on depth and name lengths.
#include "platform/linux/RegistryStore.h"

namespace quarva::platform::registry_store {

namespace {

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The platform's own limits: keys nest at most 512 levels below their hive, a key
// name has at most 255 characters and a value name at most 16383.
constexpr std::size_t kMaxKeyDepth = 512;
constexpr std::size_t kMaxKeyName = 255;
constexpr std::size_t kMaxValueName = 16383;

std::size_t characters(std::string_view s) {
    std::size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

}  // namespace

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && sameName(text.substr(0, prefix.size()), prefix);
}

bool hasLineBreakOrZero(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

std::string folded(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = lowerAscii(c);
    return out;
}

bool splitKeyPath(std::string_view path, KeyPath* parts, std::string* why) {
    auto refuse = [&](std::string reason) {
        if (why) *why = std::move(reason);
        return false;
    };
    parts->clear();
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string_view::npos) end = path.size();
        std::string_view part = path.substr(start, end - start);
        if (!part.empty()) {
            if (hasLineBreakOrZero(part)) return refuse("a key name holds a line break or a zero character");
            if (characters(part) > kMaxKeyName)
                return refuse("a key name is longer than " + std::to_string(kMaxKeyName) + " characters");
            if (parts->size() == kMaxKeyDepth)
                return refuse("keys are nested deeper than " + std::to_string(kMaxKeyDepth) + " levels");
            parts->emplace_back(part);
        }
        start = end + 1;
    }
    return true;
}

bool checkValueName(std::string_view name, std::string* why) {
    if (hasLineBreakOrZero(name)) {
        *why = "a value name holds a line break or a zero character";
        return false;
    }
    if (characters(name) > kMaxValueName) {
        *why = "a value name is longer than " + std::to_string(kMaxValueName) + " characters";
        return false;
    }
    return true;
}

const Key* findKey(const Key& root, const KeyPath& path) {
    const Key* k = &root;
    for (const auto& part : path) {
        k = k->child(part);
        if (!k) return nullptr;
    }
    return k;
}

Key* findKey(Key& root, const KeyPath& path) { return const_cast<Key*>(findKey(static_cast<const Key&>(root), path)); }

Key& makeKey(Key& root, const KeyPath& path) {
    Key* k = &root;
    for (const auto& part : path) {
        std::string f = folded(part);
        auto found = k->childIndex.find(f);
        if (found == k->childIndex.end()) {
            auto it = k->subkeys.emplace(k->subkeys.end(), part);
            found = k->childIndex.emplace(std::move(f), it).first;
        }
        k = &*found->second;
    }
    return *k;
}

bool removeKey(Key& root, const KeyPath& path) {
    if (path.empty()) return false;
    KeyPath parentPath(path.begin(), path.end() - 1);
    Key* parent = findKey(root, parentPath);
    if (!parent) return false;
    auto found = parent->childIndex.find(folded(path.back()));
    if (found == parent->childIndex.end()) return false;
    parent->subkeys.erase(found->second);
    parent->childIndex.erase(found);
    return true;
}

void setValueIn(Key& key, RegistryValue value) {
    std::string f = folded(value.name);
    auto found = key.valueIndex.find(f);
    if (found != key.valueIndex.end()) {
        found->second->type = value.type;
        found->second->data = std::move(value.data);
    } else {
        auto it = key.values.insert(key.values.end(), std::move(value));
        key.valueIndex.emplace(std::move(f), it);
    }
}

bool removeValue(Key& key, std::string_view name) {
    auto found = key.valueIndex.find(folded(name));
    if (found == key.valueIndex.end()) return false;
    key.values.erase(found->second);
    key.valueIndex.erase(found);
    return true;
}

}  // namespace quarva::platform::registry_store
