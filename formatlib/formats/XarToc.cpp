// Reading a xar table of contents with libxml2's streaming reader: memory grows with
// the entries, not with the text of the table. Entities are never expanded: the text
// of an element is only its own text and CDATA, and a table that declares a document
// type is refused.

#include "formatlib/formats/XarToc.h"

#include <libxml/xmlreader.h>

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
// Longer names cannot be made on this system; an entry with a longer one keeps only
// its own part, so that deep folders of long names cannot make every entry below
// them take that much memory over and over.
constexpr std::size_t kMaxName = 4096;

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

// What the table says of one <file>, as read; turned into an Item at the end.
struct Record {
    std::size_t parent = SIZE_MAX;  // the enclosing <file>'s record
    int depth = 0;
    std::string id, name, kind, linkId, mode, mtime, link;
    bool badName = false, typed = false;
    int datas = 0;  // <data> elements seen: only the first counts
    bool hasLength = false, hasOffset = false;
    std::string length, offset, size, encoding;
    Checksum archived, extracted;
};

// One open element: its name, its own text so far and the one attribute that
// matters for it.
struct Open {
    std::string name, text, attribute;
};

Checksum checksum(const std::string& style, const std::string& hex) {
    Checksum c{style, trimmed(hex)};
    for (auto& ch : c.hex) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (c.style == "none" || c.hex.empty()) return {};
    return c;
}

// The data of a file: its place in the heap, its encoding and checksums.
void placeData(const Record& r, Item& it) {
    const auto length = number(r.length), offset = number(r.offset), size = number(r.size);
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
    const std::string& style = r.encoding;
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
    it.archived = r.archived;
    it.extracted = r.extracted;
}

class Reader {
public:
    explicit Reader(Toc& toc) : toc_(toc) {}

    // Elements in document order; false with *error when the text is no table.
    bool read(xmlTextReaderPtr reader, std::string* error) {
        int r;
        while ((r = xmlTextReaderRead(reader)) == 1) {
            const int type = xmlTextReaderNodeType(reader);
            if (type == XML_READER_TYPE_DOCUMENT_TYPE) {
                *error = "the table of contents declares a document type, which no xar archive does";
                return false;
            }
            if (type == XML_READER_TYPE_ELEMENT) {
                start(reader);
                if (xmlTextReaderIsEmptyElement(reader)) end();
            } else if (type == XML_READER_TYPE_END_ELEMENT) {
                end();
            } else if ((type == XML_READER_TYPE_TEXT || type == XML_READER_TYPE_CDATA ||
                        type == XML_READER_TYPE_WHITESPACE || type == XML_READER_TYPE_SIGNIFICANT_WHITESPACE) &&
                       !open_.empty()) {
                const xmlChar* v = xmlTextReaderConstValue(reader);
                if (v) open_.back().text += reinterpret_cast<const char*>(v);
            }
        }
        if (r < 0) return false;  // the reader's own message says why
        if (!sawToc_) {
            *error = "the table of contents holds no <toc> element";
            return false;
        }
        return true;
    }

    // Names, kinds and problems of the entries, hard links resolved.
    void finish() {
        for (std::size_t i = 0; i < records_.size(); ++i) toc_.items.push_back(item(i));
        resolveLinks();
    }

private:
    const std::string& at(std::size_t fromTop) const {
        static const std::string none;
        return open_.size() > fromTop ? open_[open_.size() - 1 - fromTop].name : none;
    }

    void start(xmlTextReaderPtr reader) {
        const auto* n = xmlTextReaderConstLocalName(reader);
        open_.push_back({n ? reinterpret_cast<const char*>(n) : "", {}, {}});
        auto attribute = [reader](const char* name) {
            xmlChar* v = xmlTextReaderGetAttribute(reader, reinterpret_cast<const xmlChar*>(name));
            std::string s = v ? reinterpret_cast<const char*>(v) : "";
            xmlFree(v);
            return s;
        };
        const std::string& name = at(0);
        const std::string& parent = at(1);
        if (name == "toc" && open_.size() == 2 && parent == "xar") sawToc_ = true;
        if (name == "file" && (parent == "file" || (parent == "toc" && open_.size() == 3 && at(2) == "xar"))) {
            Record r;
            r.id = attribute("id");
            if (!files_.empty()) {
                r.parent = files_.back();
                r.depth = records_[files_.back()].depth + 1;
            }
            records_.push_back(std::move(r));
            files_.push_back(records_.size() - 1);
            open_.back().attribute = "\n";  // marks an element that opened a record
        } else if (name == "name") {
            open_.back().attribute = attribute("enctype");
        } else if (name == "type") {
            open_.back().attribute = attribute("link");
        } else if (name == "data" && parent == "file" && !files_.empty()) {
            ++records_[files_.back()].datas;
        } else if (name == "encoding" || name == "archived-checksum" || name == "extracted-checksum" ||
                   (name == "checksum" && parent == "toc")) {
            open_.back().attribute = attribute("style");
            if (name == "checksum") toc_.checksumStyle = open_.back().attribute;
        }
    }

    void end() {
        if (open_.empty()) return;
        const Open e = std::move(open_.back());
        open_.pop_back();
        const std::string& parent = at(0);
        if (e.name == "file" && e.attribute == "\n") {
            files_.pop_back();
            return;
        }
        if (parent == "checksum" && at(1) == "toc") {
            const auto v = number(e.text);
            if (v && e.name == "offset") {
                toc_.checksumOffset = *v;
                checksumParts_ |= 1;
            } else if (v && e.name == "size") {
                toc_.checksumSize = *v;
                checksumParts_ |= 2;
            }
            toc_.hasChecksum = checksumParts_ == 3;
            return;
        }
        if (files_.empty()) return;
        Record& r = records_[files_.back()];
        auto first = [](std::string& field, const std::string& value) {
            if (field.empty()) field = value;
        };
        if (parent == "file") {
            if (e.name == "name") {
                // Every <name> of the entry counts, one after the other.
                if (e.attribute == "base64") {
                    const auto decoded = base64(e.text);
                    r.badName |= !decoded;
                    r.name += decoded.value_or("");
                } else {
                    r.name += e.text;
                }
            } else if (e.name == "type" && !r.typed) {
                r.typed = true;
                r.kind = trimmed(e.text);
                r.linkId = trimmed(e.attribute);
            } else if (e.name == "mode") {
                first(r.mode, e.text);
            } else if (e.name == "mtime") {
                first(r.mtime, e.text);
            } else if (e.name == "link") {
                first(r.link, e.text);
            }
        } else if (parent == "data" && at(1) == "file" && r.datas == 1) {
            if (e.name == "length") first(r.length, e.text);
            else if (e.name == "offset") first(r.offset, e.text);
            else if (e.name == "size") first(r.size, e.text);
            else if (e.name == "encoding") first(r.encoding, e.attribute);
            else if (e.name == "archived-checksum" && r.archived.style.empty())
                r.archived = checksum(e.attribute, e.text);
            else if (e.name == "extracted-checksum" && r.extracted.style.empty())
                r.extracted = checksum(e.attribute, e.text);
        }
    }

    Item item(std::size_t i) {
        const Record& r = records_[i];
        Item it;
        const bool badParent = r.parent != SIZE_MAX && !toc_.items[r.parent].problem.empty();
        if (badParent) it.problem = "the entry's folder cannot be read";
        else if (r.badName) it.problem = "the entry's name is not valid base64";
        else if (r.name.empty()) it.problem = "an entry of the archive has no name";
        else if (r.depth > kMaxDepth) it.problem = "the entry lies in too many folders";
        const std::string& parent = r.parent == SIZE_MAX ? std::string() : toc_.items[r.parent].info.name;
        if (parent.size() + 1 + r.name.size() > kMaxName) {
            if (it.problem.empty()) it.problem = "the entry's name is longer than a path may be";
            it.info.name = r.name;
        } else {
            it.info.name = parent.empty() ? r.name : parent + "/" + r.name;
        }
        if (it.info.name.empty()) it.info.name = "(no name)";
        if (r.kind == "directory") it.info.kind = EntryKind::Folder;
        else if (r.kind == "symlink") it.info.kind = EntryKind::Symlink;
        else if (r.kind == "hardlink" && r.linkId != "original") it.info.kind = EntryKind::Hardlink;
        else if (r.kind == "fifo" || r.kind == "character special" || r.kind == "block special" || r.kind == "socket") {
            it.info.kind = EntryKind::Special;
            it.info.method = "special";
        }
        it.info.mode = octalMode(r.mode, it.info.isDir() ? 0755 : 0644);
        it.info.mtime = isoTime(r.mtime);
        if (it.info.isSymlink()) {
            it.info.linkTarget = r.link;
            if (r.link.empty() && it.problem.empty()) it.problem = "the symbolic link has no target";
        }
        if (it.info.isFile() && r.datas > 0) placeData(r, it);
        return it;
    }

    // Hard links name their file by its id: each one is resolved to a file's name,
    // and put right after that file when the file comes later. A chain of links is
    // walked once: every link on it learns the end of it.
    void resolveLinks() {
        std::map<std::string, std::size_t> byId;
        for (std::size_t i = 0; i < records_.size(); ++i) byId.emplace(records_[i].id, i);
        const std::size_t n = toc_.items.size();
        std::vector<std::size_t> targetOf(n, SIZE_MAX);
        std::vector<char> done(n, 0), onPath(n, 0);
        for (std::size_t i = 0; i < n; ++i) {
            if (!toc_.items[i].info.isHardlink() || !toc_.items[i].problem.empty() || done[i]) continue;
            std::vector<std::size_t> path{i};
            onPath[i] = 1;
            std::string problem, id = records_[i].linkId;
            std::size_t target = SIZE_MAX;
            for (;;) {
                const auto found = byId.find(id);
                if (found == byId.end() || onPath[found->second]) {
                    problem = found == byId.end() ? "the hard link names no entry of the archive (id " + id + ")"
                                                  : "hard links of the archive point at each other";
                    break;
                }
                const std::size_t j = found->second;
                const Item& t = toc_.items[j];
                if (t.info.isHardlink() && done[j]) {
                    target = targetOf[j];
                    problem = t.problem;
                } else if (t.info.isHardlink() && t.problem.empty()) {
                    path.push_back(j);
                    onPath[j] = 1;
                    id = records_[j].linkId;
                    continue;
                } else if (!t.info.isFile() || !t.problem.empty()) {
                    problem = "the hard link points at an entry that is no file: " + t.info.name;
                } else {
                    target = j;
                }
                break;
            }
            for (std::size_t k : path) {
                onPath[k] = 0;
                done[k] = 1;
                Item& link = toc_.items[k];
                if (target == SIZE_MAX) {
                    link.problem = problem.empty() ? "the hard link points at an entry that is no file" : problem;
                } else {
                    link.info.linkTarget = toc_.items[target].info.name;
                    targetOf[k] = target;
                }
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

    Toc& toc_;
    std::vector<Record> records_;
    std::vector<std::size_t> files_;  // the open <file> elements' records
    std::vector<Open> open_;
    bool sawToc_ = false;
    int checksumParts_ = 0;
};

// libxml2 reports a few problems (a bad character encoding) on its generic channel,
// which prints on the standard error: silent while a table is read (the setting is
// the thread's own).
class QuietGenericErrors {
public:
    QuietGenericErrors() : old_(xmlGenericError), oldContext_(xmlGenericErrorContext) {
        xmlSetGenericErrorFunc(nullptr, ignore);
    }
    ~QuietGenericErrors() { xmlSetGenericErrorFunc(oldContext_, old_); }
    QuietGenericErrors(const QuietGenericErrors&) = delete;
    QuietGenericErrors& operator=(const QuietGenericErrors&) = delete;

private:
    static void ignore(void*, const char*, ...) {}
    xmlGenericErrorFunc old_;
    void* oldContext_;
};

// The reader's first error, in its own words.
void keepFirstError(void* arg, const char* msg, xmlParserSeverities severity, xmlTextReaderLocatorPtr) {
    auto* kept = static_cast<std::string*>(arg);
    if (!kept->empty() || !msg ||
        (severity != XML_PARSER_SEVERITY_ERROR && severity != XML_PARSER_SEVERITY_VALIDITY_ERROR))
        return;
    *kept = trimmed(msg);
}

}  // namespace

bool parseToc(const char* bytes, std::size_t size, Toc& toc, std::string* error) {
    xmlInitParser();
    QuietGenericErrors quiet;
    if (size > static_cast<std::size_t>(INT32_MAX)) {
        *error = "the table of contents cannot be read";
        return false;
    }
    std::unique_ptr<xmlTextReader, void (*)(xmlTextReaderPtr)> reader(
        xmlReaderForMemory(bytes, static_cast<int>(size), "toc.xml", nullptr,
                           XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
        xmlFreeTextReader);
    if (!reader) {
        *error = "the table of contents cannot be read";
        return false;
    }
    std::string why;
    xmlTextReaderSetErrorHandler(reader.get(), keepFirstError, &why);
    Reader walk(toc);
    std::string refused;
    if (!walk.read(reader.get(), &refused)) {
        if (!refused.empty()) {
            *error = refused;
            return false;
        }
        const xmlError* last = xmlGetLastError();
        if (why.empty() && last && last->message) why = trimmed(last->message);
        if (why.empty()) why = "no well-formed XML";
        for (auto& c : why)
            if (c == '\n') c = ' ';
        if (why.find("Excessive depth") != std::string::npos) why = "its folders lie too deep within each other";
        *error = "the table of contents is damaged (" + why + ")";
        return false;
    }
    walk.finish();
    return true;
}

}  // namespace quarva::formatlib::xar
