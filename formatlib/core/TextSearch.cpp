// The text search: every line of every text entry that holds the text asked for.

#include "formatlib/core/Names.h"
#include "formatlib/core/OperationSupport.h"
#include "formatlib/core/Operations.h"

namespace quarva::formatlib {

namespace {

// The longest line kept whole; the rest of a longer line is not searched.
constexpr std::size_t kMaxLine = 64 * 1024;

// Reads one entry line by line and hands each line to `check` with its number.
// An entry with a zero byte is binary: what was found before it stands, the rest
// is not searched.
template <class Check>
void scanLines(ArchiveReader& r, const EntryInfo& e, std::vector<char>& buf, Reporter& rep, Check&& check) {
    std::string line;
    unsigned lineNo = 1;
    for (;;) {
        const long got = r.read(buf.data(), buf.size());
        if (got <= 0) {
            if (got < 0) rep.error(e.name, e.name, "Cannot read the entry", r.error());
            break;
        }
        for (long i = 0; i < got; ++i) {
            const char c = buf[static_cast<std::size_t>(i)];
            if (c == 0) return;
            if (c == '\n') {
                check(line, lineNo);
                line.clear();
                ++lineNo;
            } else if (line.size() < kMaxLine) {
                line.push_back(c);
            }
        }
    }
    if (!line.empty()) check(line, lineNo);
}

}  // namespace

std::vector<TextMatch> findText(const std::string& archive, const std::string& text, bool matchCase, Reporter& rep) {
    std::vector<TextMatch> found;
    if (text.empty()) return found;
    auto r = openArchive(archive, {}, rep);
    if (!r) return found;
    const std::string needle = matchCase ? text : toLower(text);
    std::vector<char> buf(64 * 1024);
    EntryLoop how;
    how.rep = &rep;
    how.reportAbort = false;
    how.goOnAfterDamage = false;
    forEachEntry(*r, archive, how, [&](EntryInfo& e) {
        if (e.isDir() || e.isSymlink() || e.isHardlink()) return true;
        scanLines(*r, e, buf, rep, [&](const std::string& line, unsigned lineNo) {
            const std::string hay = matchCase ? line : toLower(line);
            if (hay.find(needle) == std::string::npos) return;
            std::string shown = line;
            if (!shown.empty() && shown.back() == '\r') shown.pop_back();
            found.push_back({e.name, lineNo, shown});
            rep.searchMatch(e.name, lineNo, shown);
        });
        return true;
    });
    return found;
}

}  // namespace quarva::formatlib
