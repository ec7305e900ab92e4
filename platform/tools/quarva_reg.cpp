// quarva-reg: the registry store from the command line.
//
//   quarva-reg import FILE.reg
//   quarva-reg export KEY FILE.reg
//   quarva-reg query KEY [VALUE]
//   quarva-reg add KEY VALUE sz|dword|binary DATA
//   quarva-reg delete KEY [VALUE]
//
// KEY is a full key path starting with the hive name (HKEY_CURRENT_USER, HKCU,
// HKEY_CLASSES_ROOT, HKCR, HKEY_LOCAL_MACHINE, HKLM). VALUE "" or "@" is the key's
// default value. The store is $QUARVA_REGISTRY_DIR (else the user's config folder).
// Exit status: 0 done, 1 key or value missing or the store failed, 2 bad usage.

#include "platform/Registry.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <strings.h>
#include <vector>

using namespace quarva::platform;

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "usage:\n"
    "  quarva-reg import FILE.reg\n"
    "  quarva-reg export KEY FILE.reg\n"
    "  quarva-reg query KEY [VALUE]\n"
    "  quarva-reg add KEY VALUE sz|dword|binary DATA\n"
    "  quarva-reg delete KEY [VALUE]\n"
    "KEY is a full key path with its hive: HKEY_CURRENT_USER (HKCU), HKEY_CLASSES_ROOT (HKCR)\n"
    "or HKEY_LOCAL_MACHINE (HKLM), e.g. \"HKCU\\Software\\Quarva Software\".\n"
    "VALUE \"\" or \"@\" is the key's default value. A dword is decimal or 0x hex;\n"
    "binary data is hex bytes, \"01,ff\" or \"01ff\".\n"
    "The store is $QUARVA_REGISTRY_DIR, else $XDG_CONFIG_HOME/quarva/registry.\n";

int usage(const std::string& problem) {
    std::fprintf(stderr, "quarva-reg: %s\n%s", problem.c_str(), kUsage);
    return kExitUsage;
}

// Bad data in an otherwise well-formed command: the message alone.
int badArgument(const std::string& problem) {
    std::fprintf(stderr, "quarva-reg: %s\n", problem.c_str());
    return kExitUsage;
}

std::string valueName(std::string_view arg) { return arg == "@" ? std::string() : std::string(arg); }

std::string shownName(const std::string& name) { return name.empty() ? "(Default)" : name; }

std::string typeName(std::uint32_t type) {
    switch (type) {
    case kRegNone: return "REG_NONE";
    case kRegSz: return "REG_SZ";
    case kRegExpandSz: return "REG_EXPAND_SZ";
    case kRegBinary: return "REG_BINARY";
    case kRegDword: return "REG_DWORD";
    case 5: return "REG_DWORD_BIG_ENDIAN";
    case 6: return "REG_LINK";
    case kRegMultiSz: return "REG_MULTI_SZ";
    case 11: return "REG_QWORD";
    default: {
        char buf[32];
        std::snprintf(buf, sizeof buf, "REG_0x%X", type);
        return buf;
    }
    }
}

std::string hexBytes(const std::vector<std::uint8_t>& data) {
    std::string out;
    char buf[4];
    for (auto b : data) {
        std::snprintf(buf, sizeof buf, "%02X", b);
        out += buf;
    }
    return out;
}

// The data as a reader would want to see it.
std::string shownData(const RegistryValue& v) {
    const auto& d = v.data;
    if ((v.type == kRegSz || v.type == kRegExpandSz) && !d.empty() && d.back() == 0 &&
        std::memchr(d.data(), 0, d.size() - 1) == nullptr)
        return std::string(d.begin(), d.end() - 1);
    if (v.type == kRegMultiSz && !d.empty() && d.back() == 0) {
        std::string text(d.begin(), d.end());
        while (!text.empty() && text.back() == '\0') text.pop_back();
        std::string out;
        for (char c : text) out += c == '\0' ? std::string("\\0") : std::string(1, c);
        return out;
    }
    if (v.type == kRegDword && d.size() == 4) {
        std::uint32_t n = d[0] | (d[1] << 8) | (d[2] << 16) | (static_cast<std::uint32_t>(d[3]) << 24);
        char buf[16];
        std::snprintf(buf, sizeof buf, "0x%x", n);
        return buf;
    }
    return hexBytes(d);
}

void printValue(const RegistryValue& v) {
    std::printf("    %s    %s    %s\n", shownName(v.name).c_str(), typeName(v.type).c_str(), shownData(v).c_str());
}

// The key part of a full path, with the usage message when the hive is unknown.
bool parseKey(const std::string& fullKey, Hive* hive, std::string* key) {
    auto split = splitFullKey(fullKey);
    if (!split) return false;
    *hive = split->first;
    *key = split->second;
    return true;
}

std::string fullName(Hive hive, const std::string& key) {
    return key.empty() ? std::string(hiveName(hive)) : std::string(hiveName(hive)) + "\\" + key;
}

bool parseDword(const std::string& text, std::uint32_t* out) {
    if (text.empty()) return false;
    std::uint64_t n = 0;
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    std::string_view digits = hex ? std::string_view(text).substr(2) : std::string_view(text);
    for (char c : digits) {
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else return false;
        n = n * (hex ? 16 : 10) + static_cast<std::uint64_t>(d);
        if (n > 0xFFFFFFFFull) return false;
    }
    *out = static_cast<std::uint32_t>(n);
    return true;
}

bool parseBinary(const std::string& text, std::vector<std::uint8_t>* out) {
    std::string digits;
    for (char c : text) {
        if (c == ',' || c == ' ') continue;
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
        digits += c;
    }
    if (digits.size() % 2) return false;
    for (std::size_t i = 0; i < digits.size(); i += 2)
        out->push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    // "01,2" is ambiguous: each comma-separated item must be two digits
    if (text.find(',') != std::string::npos) {
        std::size_t start = 0;
        while (start <= text.size()) {
            std::size_t comma = text.find(',', start);
            std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
            std::string trimmed;
            for (char c : item)
                if (c != ' ') trimmed += c;
            if (trimmed.size() != 2) return false;
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
    }
    return true;
}

int doImport(Registry& reg, const std::vector<std::string>& args) {
    if (args.size() != 1) return usage("import takes one file");
    long rc = reg.importFile(args[0]);
    if (rc != kErrorSuccess) {
        std::fprintf(stderr, "quarva-reg: import failed: %s\n", reg.lastError().c_str());
        return kExitFailed;
    }
    return 0;
}

int doExport(Registry& reg, const std::vector<std::string>& args) {
    if (args.size() != 2) return usage("export takes a key and a file");
    if (!splitFullKey(args[0])) return badArgument("unknown hive in \"" + args[0] + "\"");
    long rc = reg.exportKey(args[0], args[1]);
    if (rc != kErrorSuccess) {
        std::fprintf(stderr, "quarva-reg: export failed: %s\n", reg.lastError().c_str());
        return kExitFailed;
    }
    return 0;
}

int doQuery(Registry& reg, const std::vector<std::string>& args) {
    if (args.empty() || args.size() > 2) return usage("query takes a key and optionally a value name");
    Hive hive;
    std::string key;
    if (!parseKey(args[0], &hive, &key)) return badArgument("unknown hive in \"" + args[0] + "\"");
    if (!reg.keyExists(hive, key)) {
        std::fprintf(stderr, "quarva-reg: no such key: %s\n", args[0].c_str());
        return kExitFailed;
    }
    auto values = reg.values(hive, key);
    if (args.size() == 2) {
        std::string name = valueName(args[1]);
        for (const auto& v : values) {
            if (strcasecmp(v.name.c_str(), name.c_str()) != 0) continue;
            std::printf("%s\n", fullName(hive, key).c_str());
            printValue(v);
            return 0;
        }
        std::fprintf(stderr, "quarva-reg: no value \"%s\" in %s\n", shownName(name).c_str(), args[0].c_str());
        return kExitFailed;
    }
    std::printf("%s\n", fullName(hive, key).c_str());
    for (const auto& v : values) printValue(v);
    auto subkeys = reg.subkeys(hive, key);
    if (!subkeys.empty()) {
        std::printf("\n");
        for (const auto& s : subkeys) std::printf("%s\\%s\n", fullName(hive, key).c_str(), s.c_str());
    }
    return 0;
}

int writeFailed(const Registry& reg, Hive hive, long rc) {
    if (!reg.lastError().empty())
        std::fprintf(stderr, "quarva-reg: cannot write to %s: %s\n", reg.hiveFile(hive).c_str(),
                     reg.lastError().c_str());
    else std::fprintf(stderr, "quarva-reg: cannot write to %s (error %ld)\n", reg.hiveFile(hive).c_str(), rc);
    return kExitFailed;
}

int doAdd(Registry& reg, const std::vector<std::string>& args) {
    if (args.size() != 4) return usage("add takes a key, a value name, a type and the data");
    Hive hive;
    std::string key;
    if (!parseKey(args[0], &hive, &key)) return badArgument("unknown hive in \"" + args[0] + "\"");
    std::string name = valueName(args[1]);
    const std::string& type = args[2];
    const std::string& data = args[3];
    long rc;
    if (type == "sz") {
        rc = reg.writeString(hive, key, name, data);
    } else if (type == "dword") {
        std::uint32_t n;
        if (!parseDword(data, &n))
            return badArgument("a dword is a decimal number or 0x followed by hex digits, at most 32 bits: \"" + data +
                               "\"");
        rc = reg.writeDword(hive, key, name, n);
    } else if (type == "binary") {
        std::vector<std::uint8_t> bytes;
        if (!parseBinary(data, &bytes))
            return badArgument("binary data is hex bytes such as \"01,ff\" or \"01ff\": \"" + data + "\"");
        rc = reg.writeBinary(hive, key, name, bytes);
    } else {
        return usage("unknown type \"" + type + "\" (sz, dword or binary)");
    }
    if (rc != kErrorSuccess) return writeFailed(reg, hive, rc);
    return 0;
}

int doDelete(Registry& reg, const std::vector<std::string>& args) {
    if (args.empty() || args.size() > 2) return usage("delete takes a key and optionally a value name");
    Hive hive;
    std::string key;
    if (!parseKey(args[0], &hive, &key)) return badArgument("unknown hive in \"" + args[0] + "\"");
    long rc;
    if (args.size() == 2) {
        rc = reg.deleteValue(hive, key, valueName(args[1]));
        if (rc == kErrorFileNotFound) {
            std::fprintf(stderr, "quarva-reg: no value \"%s\" in %s\n", shownName(valueName(args[1])).c_str(),
                         args[0].c_str());
            return kExitFailed;
        }
    } else {
        if (key.find_first_not_of('\\') == std::string::npos) return usage("a whole hive cannot be deleted");
        rc = reg.deleteKey(hive, key);
        if (rc == kErrorFileNotFound) {
            std::fprintf(stderr, "quarva-reg: no such key: %s\n", args[0].c_str());
            return kExitFailed;
        }
    }
    if (rc != kErrorSuccess) return writeFailed(reg, hive, rc);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage("no command given");
    std::string command = argv[1];
    if (command == "-h" || command == "--help" || command == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    Registry reg = Registry::fromEnvironment();
    if (command == "import") return doImport(reg, args);
    if (command == "export") return doExport(reg, args);
    if (command == "query") return doQuery(reg, args);
    if (command == "add") return doAdd(reg, args);
    if (command == "delete") return doDelete(reg, args);
    return usage("unknown command \"" + command + "\"");
}
