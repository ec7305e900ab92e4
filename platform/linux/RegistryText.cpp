// The REGEDIT4 text form of a hive: parsed into a list of changes, and written
// back as the platform's editor writes it.
#include "platform/linux/RegistryStore.h"

#include <cstdio>

namespace quarva::platform::registry_store {

namespace {

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

}  // namespace

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

}  // namespace quarva::platform::registry_store
