#include "platform/Registry.h"

#include "platform/AtomicFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <pwd.h>
#include <set>
#include <unordered_map>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace quarva::platform {

namespace {

constexpr long kErrorDiskFull = 112;
// A change that found the hive already as asked: success, and nothing to write.
constexpr long kUnchanged = -1;

// ---------------------------------------------------------------- names and keys

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && sameName(text.substr(0, prefix.size()), prefix);
}

// Characters that would break the line structure of the hive file.
bool hasLineBreakOrZero(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

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

std::string folded(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = lowerAscii(c);
    return out;
}

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
bool splitKeyPath(std::string_view path, KeyPath* parts, std::string* why = nullptr) {
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

std::string_view trimLeft(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    return s;
}

std::string_view trimRight(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

std::string_view trim(std::string_view s) { return trimLeft(trimRight(s)); }

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A quoted text starting at s[0] == '"'; \\ and \" are escapes, any other
// backslash stands for itself. Returns the characters consumed, 0 when unterminated.
std::size_t parseQuoted(std::string_view s, std::string* out) {
    out->clear();
    for (std::size_t i = 1; i < s.size(); ++i) {
        char c = s[i];
        if (c == '"') return i + 1;
        if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
            out->push_back(s[++i]);
            continue;
        }
        out->push_back(c);
    }
    return 0;
}

// "01,ff, 2a" → bytes; false on anything else. An empty list is no bytes.
bool parseHexList(std::string_view s, std::vector<std::uint8_t>* out) {
    out->clear();
    s = trim(s);
    if (s.empty()) return true;
    std::size_t pos = 0;
    while (true) {
        std::size_t comma = s.find(',', pos);
        std::string_view item =
            trim(s.substr(pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos));
        if (item.empty()) {
            // a trailing comma is tolerated
            if (comma == std::string_view::npos && pos > 0) return true;
            return false;
        }
        if (item.size() > 2) return false;
        int v = 0;
        for (char c : item) {
            int d = hexDigit(c);
            if (d < 0) return false;
            v = v * 16 + d;
        }
        out->push_back(static_cast<std::uint8_t>(v));
        if (comma == std::string_view::npos) return true;
        pos = comma + 1;
    }
}

Parsed parseRegText(std::string_view text) {
    Parsed result;
    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        start = end + 1;
    }
    auto fail = [&](std::size_t lineNo, const std::string& what) {
        result.ops.clear();
        result.error = "line " + std::to_string(lineNo + 1) + ": " + what;
        return result;
    };

    std::size_t i = 0;
    while (i < lines.size() && trim(lines[i]).empty()) ++i;
    if (i == lines.size()) return fail(0, "missing the first line \"REGEDIT4\"");
    std::string_view header = trim(lines[i]);
    if (header.starts_with("\xEF\xBB\xBF")) header.remove_prefix(3);
    if (header != "REGEDIT4") return fail(i, "the first line is not \"REGEDIT4\"");
    ++i;

    bool inKey = false, inDeletedKey = false;
    Hive hive = Hive::CurrentUser;
    KeyPath path;
    for (; i < lines.size(); ++i) {
        std::string_view line = trimLeft(trimRight(lines[i]));
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            std::size_t close = line.rfind(']');
            if (close == std::string_view::npos || close != line.size() - 1)
                return fail(i, "a key line must end with \"]\"");
            std::string_view name = line.substr(1, close - 1);
            bool deletion = !name.empty() && name.front() == '-';
            if (deletion) name.remove_prefix(1);
            auto split = splitFullKey(name);
            if (!split) return fail(i, "unknown hive in \"" + std::string(name) + "\"");
            std::string why;
            if (!splitKeyPath(split->second, &path, &why)) return fail(i, why);
            hive = split->first;
            if (deletion && path.empty()) return fail(i, "a whole hive cannot be deleted");
            inKey = !deletion;
            inDeletedKey = deletion;
            result.ops.push_back(Op{deletion ? Op::DeleteKey : Op::CreateKey, hive, path, {}});
            continue;
        }
        if (!inKey) return fail(i, inDeletedKey ? "a value under a deleted key" : "a value before the first key");

        RegistryValue value;
        std::size_t pos = 0;
        if (line.front() == '@') {
            pos = 1;
        } else if (line.front() == '"') {
            pos = parseQuoted(line, &value.name);
            if (pos == 0) return fail(i, "unterminated value name");
        } else {
            return fail(i, "expected a key in [ ] or a value \"name\"=...");
        }
        if (std::string why; !checkValueName(value.name, &why)) return fail(i, why);
        std::string_view rest = trimLeft(line.substr(pos));
        if (rest.empty() || rest.front() != '=') return fail(i, "expected \"=\" after the value name");
        rest = trimLeft(rest.substr(1));

        // Long hex data continues on the next lines after a trailing backslash.
        std::string joined;
        if (startsWithNoCase(rest, "hex")) {
            joined = std::string(rest);
            while (!joined.empty() && joined.back() == '\\') {
                joined.pop_back();
                if (i + 1 >= lines.size()) return fail(i, "the hex data continues past the end of the file");
                joined += trim(lines[++i]);
            }
            rest = joined;
        }

        if (rest == "-") {
            result.ops.push_back(Op{Op::DeleteValue, hive, path, std::move(value)});
            continue;
        }
        if (!rest.empty() && rest.front() == '"') {
            std::string textValue;
            std::size_t used = parseQuoted(rest, &textValue);
            if (used == 0) return fail(i, "unterminated string");
            if (!trim(rest.substr(used)).empty()) return fail(i, "text after the closing quote");
            value.type = kRegSz;
            value.data.assign(textValue.begin(), textValue.end());
            value.data.push_back(0);
        } else if (startsWithNoCase(rest, "dword:")) {
            std::string_view digits = trim(rest.substr(6));
            if (digits.empty() || digits.size() > 8) return fail(i, "a dword needs 1 to 8 hex digits");
            std::uint32_t n = 0;
            for (char c : digits) {
                int d = hexDigit(c);
                if (d < 0) return fail(i, "a dword needs 1 to 8 hex digits");
                n = n * 16 + static_cast<std::uint32_t>(d);
            }
            value.type = kRegDword;
            for (int b = 0; b < 4; ++b) value.data.push_back(static_cast<std::uint8_t>(n >> (8 * b)));
        } else if (startsWithNoCase(rest, "hex:")) {
            value.type = kRegBinary;
            if (!parseHexList(rest.substr(4), &value.data)) return fail(i, "bad hex data");
        } else if (startsWithNoCase(rest, "hex(")) {
            std::size_t close = rest.find("):");
            if (close == std::string_view::npos || close <= 4 || close > 12) return fail(i, "bad hex(type) prefix");
            std::uint64_t type = 0;
            for (char c : rest.substr(4, close - 4)) {
                int d = hexDigit(c);
                if (d < 0) return fail(i, "bad hex(type) prefix");
                type = type * 16 + static_cast<std::uint64_t>(d);
            }
            if (type > 0xFFFFFFFFu) return fail(i, "bad hex(type) prefix");
            value.type = static_cast<std::uint32_t>(type);
            if (!parseHexList(rest.substr(close + 2), &value.data)) return fail(i, "bad hex data");
        } else {
            return fail(i, "unknown value form (expected \"text\", dword:, hex: or hex(n):)");
        }
        result.ops.push_back(Op{Op::SetValue, hive, path, std::move(value)});
    }
    return result;
}

std::string regQuoted(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

// A string that reads back exactly from "text": one terminating zero, no other
// zero, no line breaks.
bool writableAsText(const RegistryValue& v) {
    if (v.type != kRegSz || v.data.empty() || v.data.back() != 0) return false;
    std::string_view body(reinterpret_cast<const char*>(v.data.data()), v.data.size() - 1);
    return !hasLineBreakOrZero(body);
}

void appendValue(std::string& out, const RegistryValue& v) {
    static const char digits[] = "0123456789abcdef";
    std::string line = v.name.empty() ? std::string("@") : regQuoted(v.name);
    line += '=';
    if (writableAsText(v)) {
        line += regQuoted(std::string_view(reinterpret_cast<const char*>(v.data.data()), v.data.size() - 1));
        out += line + "\r\n";
        return;
    }
    if (v.type == kRegDword && v.data.size() == 4) {
        std::uint32_t n =
            v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) | (static_cast<std::uint32_t>(v.data[3]) << 24);
        char buf[16];
        std::snprintf(buf, sizeof buf, "%08x", n);
        out += line + "dword:" + buf + "\r\n";
        return;
    }
    if (v.type == kRegBinary) {
        line += "hex:";
    } else {
        char buf[24];
        std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
        line += buf;
    }
    // Wrap long data as the platform's editor does: ",\" and a two-blank indent.
    for (std::size_t i = 0; i < v.data.size(); ++i) {
        std::string item{digits[v.data[i] >> 4], digits[v.data[i] & 15]};
        if (i + 1 < v.data.size()) item += ',';
        if (i > 0 && line.size() + item.size() > 76) {
            out += line + "\\\r\n";
            line = "  ";
        }
        line += item;
    }
    out += line + "\r\n";
}

// The key and everything below it, as sections, each headed by its full path.
// A key without values that has subkeys needs no section of its own (reading its
// subkeys' sections creates it), so a deep chain of empty keys costs one header,
// not one per level. `withEmptySelf` writes the key's own section even so.
void appendKey(std::string& out, const Key& key, std::string& fullName, bool withEmptySelf) {
    if (withEmptySelf || !key.values.empty() || key.subkeys.empty()) {
        out += "[" + fullName + "]\r\n";
        for (const auto& v : key.values) appendValue(out, v);
        out += "\r\n";
    }
    for (const auto& sub : key.subkeys) {
        std::size_t length = fullName.size();
        fullName += '\\';
        fullName += sub.name;
        appendKey(out, sub, fullName, false);
        fullName.resize(length);
    }
}

std::string regText(const Key& key, const std::string& fullName, bool withEmptySelf) {
    std::string out = "REGEDIT4\r\n\r\n";
    std::string path = fullName;
    if (withEmptySelf || !key.values.empty() || !key.subkeys.empty()) appendKey(out, key, path, withEmptySelf);
    return out;
}

void applyOp(Key& root, const Op& op) {
    switch (op.kind) {
    case Op::CreateKey: makeKey(root, op.path); break;
    case Op::DeleteKey: removeKey(root, op.path); break;
    case Op::SetValue: setValueIn(makeKey(root, op.path), op.value); break;
    case Op::DeleteValue:
        if (Key* k = findKey(root, op.path)) removeValue(*k, op.value.name);
        break;
    }
}

// ---------------------------------------------------------------- files

long errorFromErrno(int err) {
    switch (err) {
    case ENOENT:
    case ENOTDIR: return kErrorFileNotFound;
    case ENOSPC:
    case EDQUOT: return kErrorDiskFull;
    default: return kErrorAccessDenied;
    }
}

struct FileDescriptor {
    int fd = -1;
    FileDescriptor() = default;
    explicit FileDescriptor(int f) : fd(f) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd >= 0) ::close(fd);
    }
};

// Reads all of an open file; false with errno set on failure.
bool readAll(int fd, std::string* out) {
    out->clear();
    char buf[65536];
    while (true) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return true;
        out->append(buf, static_cast<std::size_t>(n));
    }
}

// Reads a whole file; false with errno set on failure.
bool readWhole(const fs::path& path, std::string* out) {
    FileDescriptor f(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    return f.fd >= 0 && readAll(f.fd, out);
}

// Replaces `target` with `content` so that readers see either the old file or the
// new one, never a part (a link as the target is written through, and stays).
long replaceFile(const fs::path& target, std::string_view content, mode_t mode) {
    AtomicFile file;
    std::error_code ec;
    if (!file.open(target, ec, mode) || !file.write(content.data(), content.size(), ec) || !file.commit(ec))
        return errorFromErrno(ec.value());
    return kErrorSuccess;
}

// Holds flock on "<hive>.lock" for as long as it lives.
class HiveLock {
public:
    // Exclusive locks create the folder and the lock file; a shared lock that
    // cannot be had (folder missing or read-only) is skipped, since writers
    // replace the hive atomically anyway.
    HiveLock(const fs::path& lockFile, bool exclusive) {
        if (exclusive) {
            std::error_code ec;
            fs::create_directories(lockFile.parent_path(), ec);
            if (ec) {
                error_ = errorFromErrno(ec.value());
                return;
            }
        }
        fd_.fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_.fd < 0 && !exclusive) fd_.fd = ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_.fd < 0) {
            if (exclusive) error_ = errorFromErrno(errno);
            return;
        }
        while (::flock(fd_.fd, exclusive ? LOCK_EX : LOCK_SH) != 0) {
            if (errno == EINTR) continue;
            if (exclusive) error_ = errorFromErrno(errno);
            return;
        }
    }
    long error() const { return error_; }

private:
    FileDescriptor fd_;
    long error_ = kErrorSuccess;
};

fs::path lockFileFor(const fs::path& folder, Hive hive) { return folder / (std::string(hiveName(hive)) + ".lock"); }

enum class Load { Ok, Corrupt, Failed };

std::atomic<std::uint64_t> g_hiveParses{0};

// Parses a hive file's text into `root`. Blank text is an empty hive.
Load parseHive(std::string_view text, Hive hive, Key& root, std::string* error) {
    root = Key(hiveName(hive));
    if (text.find_first_not_of(" \t\r\n") == std::string::npos) return Load::Ok;
    ++g_hiveParses;
    Parsed parsed = parseRegText(text);
    if (!parsed.error.empty()) {
        *error = parsed.error;
        return Load::Corrupt;
    }
    for (const auto& op : parsed.ops) {
        if (op.hive != hive) {
            *error = "holds keys of another hive";
            return Load::Corrupt;
        }
        applyOp(root, op);
    }
    return Load::Ok;
}

// Reads and parses a hive file into `root`. A missing file is an empty hive.
Load loadHive(const fs::path& file, Hive hive, Key& root, std::string* error, int* err) {
    root = Key(hiveName(hive));
    std::string text;
    if (!readWhole(file, &text)) {
        if (errno == ENOENT) return Load::Ok;
        *err = errno;
        return Load::Failed;
    }
    return parseHive(text, hive, root, error);
}

// Readers only mention a damaged hive once per process; the next write sets it aside.
void noteUnreadable(const fs::path& file, const std::string& why) {
    static std::mutex mutex;
    static std::set<std::string> noted;
    std::lock_guard<std::mutex> lock(mutex);
    if (!noted.insert(file.string()).second) return;
    std::fprintf(
        stderr,
        "quarva: the registry hive %s cannot be read (%s); it counts as empty until the next change sets it aside\n",
        file.c_str(), why.c_str());
}

// Parsed hives, kept while their file stays the same. The cache holds the parsed
// file open, so its inode number cannot be handed to a newer hive file: the same
// device, inode, size and times mean the same contents.
class HiveCache {
public:
    using Root = std::shared_ptr<const Key>;

    Root find(const fs::path& file, const struct stat& now) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = entries_.find(file.string());
        if (it == entries_.end() || !same(it->second.st, now)) return nullptr;
        return it->second.root;
    }

    // `fd` is the open hive file that `root` was parsed from; the cache takes it.
    void store(const fs::path& file, int fd, Root root) {
        struct stat st {};
        if (fstat(fd, &st) != 0) {
            ::close(fd);
            return;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (entries_.size() >= kMaxEntries && !entries_.count(file.string())) {
            ::close(entries_.begin()->second.fd);
            entries_.erase(entries_.begin());
        }
        Entry& e = entries_[file.string()];
        if (e.fd >= 0) ::close(e.fd);
        e = Entry{st, fd, std::move(root)};
    }

private:
    struct Entry {
        struct stat st {};
        int fd = -1;
        Root root;
    };
    static bool same(const struct stat& a, const struct stat& b) {
        return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
               a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
               a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
    }
    static constexpr std::size_t kMaxEntries = 16;
    std::mutex mutex_;
    std::map<std::string, Entry> entries_;
};

HiveCache& hiveCache() {
    static HiveCache* cache = new HiveCache;  // never destroyed: readers may run during exit
    return *cache;
}

// The hive for reading: from the cache while the file is unchanged, else read under
// a shared lock. Damaged or unreadable hives read as empty.
// A machine-wide default hive is used only while it and its folder belong to root
// (or to the user) and no one else may change them.
bool trustedDefaults(const fs::path& defaults, struct stat* st) {
    auto owned = [](const struct stat& s) {
        return (s.st_uid == 0 || s.st_uid == ::geteuid()) && (s.st_mode & 022) == 0;
    };
    struct stat folder {};
    return !defaults.empty() && ::stat(defaults.parent_path().c_str(), &folder) == 0 && owned(folder) &&
           ::stat(defaults.c_str(), st) == 0 && S_ISREG(st->st_mode) && owned(*st);
}

// A user's hive that does not exist yet reads as the machine-wide default hive,
// when there is one; the user's first write starts from a copy of it.
Load loadDefaults(const fs::path& defaults, Hive hive, Key& root) {
    root = Key(hiveName(hive));
    struct stat st {};
    std::string text, error;
    if (!trustedDefaults(defaults, &st) || !readWhole(defaults, &text)) return Load::Ok;
    if (parseHive(text, hive, root, &error) == Load::Ok) return Load::Ok;
    noteUnreadable(defaults, error);
    root = Key(hiveName(hive));
    return Load::Ok;
}

std::shared_ptr<const Key> readHive(const fs::path& folder, const fs::path& file, Hive hive, const fs::path& defaults) {
    struct stat now {};
    if (::stat(file.c_str(), &now) != 0) {
        if (errno != ENOENT || !trustedDefaults(defaults, &now)) return std::make_shared<const Key>(hiveName(hive));
        auto root = std::make_shared<Key>(hiveName(hive));
        loadDefaults(defaults, hive, *root);
        return root;
    }
    if (auto cached = hiveCache().find(file, now)) return cached;

    HiveLock lock(lockFileFor(folder, hive), false);
    auto root = std::make_shared<Key>(hiveName(hive));
    FileDescriptor f(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    std::string text;
    if (f.fd < 0 || !readAll(f.fd, &text)) {
        if (errno != ENOENT) noteUnreadable(file, std::strerror(errno));
        return root;
    }
    std::string error;
    if (parseHive(text, hive, *root, &error) == Load::Corrupt) {
        noteUnreadable(file, error);
        *root = Key(hiveName(hive));
    }
    hiveCache().store(file, f.fd, root);
    f.fd = -1;
    return root;
}

// Moves an unparsable hive out of the way, keeping it for the user.
bool setAside(const fs::path& file, const std::string& why) {
    std::string base = file.string() + ".corrupt-" + std::to_string(static_cast<long long>(std::time(nullptr)));
    std::string target = base;
    std::error_code ec;
    for (int n = 1; fs::exists(target, ec); ++n) target = base + "-" + std::to_string(n);
    if (::rename(file.c_str(), target.c_str()) != 0) {
        std::fprintf(stderr, "quarva: the registry hive %s cannot be read (%s) and cannot be set aside: %s\n",
                     file.c_str(), why.c_str(), std::strerror(errno));
        return false;
    }
    std::fprintf(stderr,
                 "quarva: the registry hive %s cannot be read (%s); it was set aside as %s and an empty hive is used\n",
                 file.c_str(), why.c_str(), target.c_str());
    return true;
}

// Removes temp files that writers killed half-way left behind: those of the atomic
// writer (no lock held), and those named after the hive by earlier versions. Only
// called under the exclusive lock, when no other writer can have one open.
void removeStaleTemps(const fs::path& folder, const fs::path& file) {
    FileDescriptor d(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (d.fd >= 0) removeStaleTemporaries(d.fd);
    std::string prefix = file.filename().string() + ".tmp-";
    std::error_code ec;
    for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.starts_with(prefix)) {
            std::error_code rm;
            fs::remove(it->path(), rm);
        }
    }
}

// Read-modify-write of one hive under its exclusive lock. The hive is always read
// afresh here (never from the cache), so no other process's change can be lost.
// `change` returns kErrorSuccess to have the hive written back, kUnchanged when
// there is nothing to write, or an error that leaves the hive as it was.
template <class Change>
long modifyHive(const fs::path& folder, const fs::path& file, Hive hive, const fs::path& defaults, Change&& change) {
    HiveLock lock(lockFileFor(folder, hive), true);
    if (lock.error() != kErrorSuccess) return lock.error();
    auto root = std::make_shared<Key>(hiveName(hive));
    std::string error;
    int err = 0;
    struct stat existing {};
    const bool fresh = ::stat(file.c_str(), &existing) != 0 && errno == ENOENT;
    switch (fresh ? loadDefaults(defaults, hive, *root) : loadHive(file, hive, *root, &error, &err)) {
    case Load::Ok: break;
    case Load::Corrupt:
        if (!setAside(file, error)) return kErrorAccessDenied;
        *root = Key(hiveName(hive));
        break;
    case Load::Failed: return errorFromErrno(err);
    }
    // Under the lock no other writer has a temp file open: whatever is left belongs to
    // a writer that died, also when this write turns out to change nothing.
    removeStaleTemps(folder, file);
    long result = change(*root);
    if (result == kUnchanged) return kErrorSuccess;
    if (result != kErrorSuccess) return result;
    struct stat st {};
    mode_t mode = ::stat(file.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
    long rc = replaceFile(file, regText(*root, hiveName(hive), false), mode);
    // Still under the lock: the file just written is the one to remember.
    if (int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC); rc == kErrorSuccess && fd >= 0)
        hiveCache().store(file, fd, std::move(root));
    else if (fd >= 0) ::close(fd);
    return rc;
}

std::optional<RegistryValue> lookup(const fs::path& folder, const fs::path& file, Hive hive, const fs::path& defaults,
                                    std::string_view key, std::string_view name) {
    KeyPath path;
    if (!splitKeyPath(key, &path)) return std::nullopt;
    auto root = readHive(folder, file, hive, defaults);
    const Key* k = findKey(*root, path);
    if (!k) return std::nullopt;
    const RegistryValue* v = k->value(name);
    if (!v) return std::nullopt;
    return *v;
}

std::string describe(long rc) {
    switch (rc) {
    case kErrorFileNotFound: return "the file or folder does not exist";
    case kErrorDiskFull: return "the disk is full";
    case kErrorAccessDenied: return "access denied";
    default: return "error " + std::to_string(rc);
    }
}

}  // namespace

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

std::uint64_t Registry::hiveParses() { return g_hiveParses.load(); }

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
