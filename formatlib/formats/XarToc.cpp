// Reading a xar table of contents with libxml2. Entities are never expanded: the
// text of an element is only its own text and CDATA children, and a table that
// declares a document type is refused.

#include "formatlib/formats/XarToc.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <set>

namespace quarva::formatlib::xar {
namespace {

// Deeper folders than this are refused (libxml2 stops well before on its own).
constexpr int kMaxDepth = 1000;

bool named(const xmlNode* n, const char* name) {
    return n->type == XML_ELEMENT_NODE && xmlStrcmp(n->name, reinterpret_cast<const xmlChar*>(name)) == 0;
}

const xmlNode* child(const xmlNode* parent, const char* name) {
    for (const xmlNode* c = parent ? parent->children : nullptr; c; c = c->next)
        if (named(c, name)) return c;
    return nullptr;
}

std::string text(const xmlNode* n) {
    std::string s;
    for (const xmlNode* c = n ? n->children : nullptr; c; c = c->next)
        if ((c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE) && c->content)
            s += reinterpret_cast<const char*>(c->content);
    return s;
}

std::string attribute(const xmlNode* n, const char* name) {
    for (const xmlAttr* a = n ? n->properties : nullptr; a; a = a->next)
        if (xmlStrcmp(a->name, reinterpret_cast<const xmlChar*>(name)) == 0 && a->children)
            return text(reinterpret_cast<const xmlNode*>(a));
    return {};
}

std::string trimmed(const std::string& s) {
    const auto from = s.find_first_not_of(" \t\r\n");
    if (from == std::string::npos) return {};
    return s.substr(from, s.find_last_not_of(" \t\r\n") - from + 1);
}

// Decimal digits only; nullopt when there are none or the value does not fit.
std::optional<std::uint64_t> number(const std::string& s) {
    const std::string t = trimmed(s);
    if (t.empty()) return std::nullopt;
    std::uint64_t v = 0;
    for (char c : t) {
        const unsigned d = static_cast<unsigned>(c - '0');
        if (c < '0' || c > '9' || v > (UINT64_MAX - d) / 10) return std::nullopt;
        v = v * 10 + d;
    }
    return v;
}

// "0644"; only the permission bits count (the file type comes from <type>).
std::uint32_t octalMode(const std::string& s, std::uint32_t fallback) {
    const std::string t = trimmed(s);
    if (t.empty()) return fallback;
    std::uint64_t v = 0;
    for (char c : t) {
        if (c < '0' || c > '7') return fallback;
        v = (v << 3) | static_cast<unsigned>(c - '0');  // only the low bits are kept
    }
    return static_cast<std::uint32_t>(v & 07777);
}

// "2024-04-23T07:03:27Z" (UTC); 0 when the text is no such time.
std::time_t isoTime(const std::string& s) {
    const std::string t = trimmed(s);
    const char* layout = "dddd-dd-ddTdd:dd:dd";
    if (t.size() < std::strlen(layout)) return 0;
    for (std::size_t i = 0; layout[i]; ++i)
        if (layout[i] == 'd' ? (t[i] < '0' || t[i] > '9') : t[i] != layout[i]) return 0;
    auto at = [&](std::size_t p, std::size_t n) { return std::stoi(t.substr(p, n)); };
    std::tm tm{};
    tm.tm_year = at(0, 4) - 1900;
    tm.tm_mon = at(5, 2) - 1;
    tm.tm_mday = at(8, 2);
    tm.tm_hour = at(11, 2);
    tm.tm_min = at(14, 2);
    tm.tm_sec = at(17, 2);
    return timegm(&tm);
}

// Standard base64; white space is skipped, an incomplete last group dropped.
std::optional<std::string> base64(const std::string& s) {
    std::string out;
    unsigned bits = 0;
    int have = 0;
    for (unsigned char c : s) {
        int v;
        if (c >= 'A' && c <= 'Z') v = c - 'A';
        else if (c >= 'a' && c <= 'z') v = c - 'a' + 26;
        else if (c >= '0' && c <= '9') v = c - '0' + 52;
        else if (c == '+') v = 62;
        else if (c == '/') v = 63;
        else if (c == '=') break;
        else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
        else return std::nullopt;
        bits = (bits << 6) | static_cast<unsigned>(v);
        if ((have += 6) >= 8) {
            have -= 8;
            out += static_cast<char>((bits >> have) & 0xff);
        }
    }
    return out;
}

Checksum checksum(const xmlNode* n) {
    if (!n) return {};
    Checksum c{attribute(n, "style"), trimmed(text(n))};
    for (auto& ch : c.hex) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (c.style == "none" || c.hex.empty()) return {};
    return c;
}

void readData(const xmlNode* data, Item& it) {
    const auto length = number(text(child(data, "length")));
    const auto offset = number(text(child(data, "offset")));
    const auto size = number(text(child(data, "size")));
    if (!length || !offset) {
        it.dataProblem = "the table of contents gives no place for the entry's data";
        return;
    }
    it.hasData = true;
    it.length = *length;
    it.offset = *offset;
    it.info.packedSize = *length;
    it.info.sizeKnown = size.has_value();
    it.info.size = size.value_or(0);
    const std::string style = attribute(child(data, "encoding"), "style");
    if (style.empty() || style == "application/octet-stream") {
        it.encoding = Encoding::None;
        it.info.method = "stored";
    } else if (style == "application/x-gzip") {
        it.encoding = Encoding::Zlib;
        it.info.method = "gzip";
    } else if (style == "application/x-bzip2") {
        it.encoding = Encoding::Bzip2;
        it.info.method = "bzip2";
    } else if (style == "application/x-xz" || style == "application/x-lzma") {
        it.encoding = Encoding::Xz;
        it.info.method = style == "application/x-xz" ? "xz" : "lzma";
    } else {
        it.info.method = style;
        it.dataProblem = "unsupported method: the entry's data is encoded as " + style;
    }
    it.archived = checksum(child(data, "archived-checksum"));
    it.extracted = checksum(child(data, "extracted-checksum"));
}

class Walk {
public:
    explicit Walk(Toc& toc) : toc_(toc) {}

    void folder(const xmlNode* parent, const std::string& path, bool badParent, int depth) {
        for (const xmlNode* c = parent->children; c; c = c->next)
            if (named(c, "file")) entry(c, path, badParent, depth);
    }

    // Hard links name their file by its id: each one is resolved to a file's name,
    // and put right after that file when the file comes later.
    void resolveLinks() {
        std::map<std::string, std::size_t> byId;
        for (std::size_t i = 0; i < toc_.items.size(); ++i) byId.emplace(ids_[i], i);
        std::vector<std::size_t> targetOf(toc_.items.size(), SIZE_MAX);
        for (std::size_t i = 0; i < toc_.items.size(); ++i) {
            Item& it = toc_.items[i];
            if (!it.info.isHardlink() || !it.problem.empty()) continue;
            std::set<std::size_t> seen{i};
            std::string id = links_[i];
            for (;;) {
                const auto found = byId.find(id);
                if (found == byId.end() || !seen.insert(found->second).second) {
                    it.problem = found == byId.end() ? "the hard link names no entry of the archive (id " + id + ")"
                                                     : "hard links of the archive point at each other";
                    break;
                }
                const Item& target = toc_.items[found->second];
                if (target.info.isHardlink()) {
                    id = links_[found->second];
                    continue;
                }
                if (!target.info.isFile() || !target.problem.empty())
                    it.problem = "the hard link points at an entry that is no file: " + target.info.name;
                else {
                    it.info.linkTarget = target.info.name;
                    targetOf[i] = found->second;
                }
                break;
            }
        }
        std::vector<std::vector<std::size_t>> after(toc_.items.size());
        std::vector<std::size_t> order;
        for (std::size_t i = 0; i < toc_.items.size(); ++i)
            if (targetOf[i] != SIZE_MAX && targetOf[i] > i) after[targetOf[i]].push_back(i);
        for (std::size_t i = 0; i < toc_.items.size(); ++i) {
            if (targetOf[i] != SIZE_MAX && targetOf[i] > i) continue;
            order.push_back(i);
            order.insert(order.end(), after[i].begin(), after[i].end());
        }
        std::vector<Item> sorted;
        sorted.reserve(order.size());
        for (std::size_t i : order) sorted.push_back(std::move(toc_.items[i]));
        toc_.items = std::move(sorted);
    }

private:
    void entry(const xmlNode* file, const std::string& parent, bool badParent, int depth) {
        Item it;
        std::string name;
        bool badName = false;
        // Every <name> of the entry counts, one after the other.
        for (const xmlNode* c = file->children; c; c = c->next) {
            if (!named(c, "name")) continue;
            if (attribute(c, "enctype") == "base64") {
                const auto decoded = base64(text(c));
                badName |= !decoded;
                name += decoded.value_or("");
            } else {
                name += text(c);
            }
        }
        if (badParent) it.problem = "the entry's folder has no usable name";
        else if (badName) it.problem = "the entry's name is not valid base64";
        else if (name.empty()) it.problem = "an entry of the archive has no name";
        else if (depth > kMaxDepth) it.problem = "the entry lies in too many folders";
        it.info.name = parent.empty() ? name : parent + "/" + name;
        if (it.info.name.empty()) it.info.name = "(no name)";

        const xmlNode* type = child(file, "type");
        const std::string kind = trimmed(text(type)), link = trimmed(attribute(type, "link"));
        std::string linkId;
        if (kind == "directory") it.info.kind = EntryKind::Folder;
        else if (kind == "symlink") it.info.kind = EntryKind::Symlink;
        else if (kind == "hardlink" && link != "original") {
            it.info.kind = EntryKind::Hardlink;
            linkId = link;
        } else if (kind == "fifo" || kind == "character special" || kind == "block special" || kind == "socket") {
            it.info.kind = EntryKind::Special;
            it.info.method = "special";
        }
        it.info.mode = octalMode(text(child(file, "mode")), it.info.isDir() ? 0755 : 0644);
        it.info.mtime = isoTime(text(child(file, "mtime")));
        if (it.info.isSymlink()) {
            it.info.linkTarget = text(child(file, "link"));
            if (it.info.linkTarget.empty() && it.problem.empty()) it.problem = "the symbolic link has no target";
        }
        if (it.info.isFile()) {
            if (const xmlNode* data = child(file, "data")) readData(data, it);
        }
        const bool bad = !it.problem.empty();
        const std::string path = it.info.name;
        toc_.items.push_back(std::move(it));
        ids_.push_back(attribute(file, "id"));
        links_.push_back(linkId);
        if (depth <= kMaxDepth) folder(file, path, bad, depth + 1);
    }

    Toc& toc_;
    std::vector<std::string> ids_, links_;  // per item: its id, and the id a hard link names
};

}  // namespace

bool parseToc(const char* bytes, std::size_t size, Toc& toc, std::string* error) {
    xmlInitParser();
    std::unique_ptr<xmlParserCtxt, void (*)(xmlParserCtxtPtr)> ctxt(xmlNewParserCtxt(), xmlFreeParserCtxt);
    if (!ctxt || size > static_cast<std::size_t>(INT32_MAX)) {
        *error = "the table of contents cannot be read";
        return false;
    }
    std::unique_ptr<xmlDoc, void (*)(xmlDocPtr)> doc(
        xmlCtxtReadMemory(ctxt.get(), bytes, static_cast<int>(size), "toc.xml", nullptr,
                          XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
        xmlFreeDoc);
    if (!doc) {
        const xmlError* e = xmlCtxtGetLastError(ctxt.get());
        std::string why = trimmed(e && e->message ? e->message : std::string("no well-formed XML"));
        if (why.find("Excessive depth") != std::string::npos) why = "its folders lie too deep within each other";
        *error = "the table of contents is damaged (" + why + ")";
        return false;
    }
    if (doc->intSubset || doc->extSubset) {
        *error = "the table of contents declares a document type, which no xar archive does";
        return false;
    }
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    const xmlNode* tocNode = root && named(root, "xar") ? child(root, "toc") : nullptr;
    if (!tocNode) {
        *error = "the table of contents holds no <toc> element";
        return false;
    }
    if (const xmlNode* sum = child(tocNode, "checksum")) {
        const auto offset = number(text(child(sum, "offset")));
        const auto bytesOf = number(text(child(sum, "size")));
        toc.hasChecksum = offset && bytesOf;
        toc.checksumStyle = attribute(sum, "style");
        toc.checksumOffset = offset.value_or(0);
        toc.checksumSize = bytesOf.value_or(0);
    }
    Walk walk(toc);
    walk.folder(tocNode, {}, false, 0);
    walk.resolveLinks();
    return true;
}

}  // namespace quarva::formatlib::xar
