#include "tools/qzip/SafetyCheck.h"

#include "engine/ZipEngine.h"
#include "engine/ZipReader.h"
#include "formatlib/formats/Format.h"
#include "platform/SafePath.h"
#include "tools/qzip/Output.h"
#include "tools/qzip/Progress.h"

#include <sys/stat.h>

#include <atomic>
#include <cstdio>
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <set>

namespace quarva::qzip {

namespace {

constexpr std::uint64_t kMiB = 1024 * 1024;
// An entry that unpacks to this much from 1/1000 of it or less is a bomb, as is one
// that declares more than a tebibyte; the whole archive is judged the same way.
constexpr std::uint64_t kBombRatio = 1000;
constexpr std::uint64_t kBombFloor = 64 * kMiB;
constexpr std::uint64_t kAbsurdSize = 1024 * 1024 * kMiB;
constexpr std::uint64_t kArchiveBombFloor = 1024 * kMiB;
// Bytes read from a zip entry that is a link: targets are short.
constexpr std::size_t kLinkTargetMost = 4096;

using Level = Finding::Level;

std::vector<std::string> components(const std::string& name) {
    std::vector<std::string> parts(1);
    for (char c : name) {
        if (c == '/' || c == '\\') parts.emplace_back();
        else parts.back().push_back(c);
    }
    return parts;
}

bool isAbsolute(const std::string& name) {
    return (!name.empty() && (name[0] == '/' || name[0] == '\\')) ||
           (name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0])));
}

bool climbs(const std::string& name) {
    for (const auto& p : components(name))
        if (p == "..") return true;
    return false;
}

// A part of the name longer than a file name may be on disk (a legacy name read in
// a multi-byte set grows: each Cyrillic letter takes two bytes in UTF-8).
bool tooLong(const std::string& name) {
    constexpr std::size_t kNameMost = 255;
    for (const auto& p : components(name))
        if (p.size() > kNameMost) return true;
    return false;
}

bool hasControl(const std::string& name) {
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7F) return true;
    return false;
}

std::string lowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

std::string ratioText(std::uint64_t size, std::uint64_t packed) {
    return packed ? std::to_string(size / packed) + ":1" : "from nothing";
}

class Judge {
public:
    explicit Judge(SafetyReport& report) : report_(report) {}

    void add(Level level, const char* kind, const std::string& name, std::string detail) {
        report_.findings.push_back({level, kind, name, std::move(detail)});
    }

    void entry(const CheckedEntry& e) {
        std::string reason;
        const auto safe = platform::safeRelativePath(e.name, &reason);
        if (isAbsolute(e.name)) add(Level::Dangerous, "absolute", e.name, "absolute name: would be written outside");
        else if (climbs(e.name)) add(Level::Dangerous, "climbs-out", e.name, "climbs out of the destination folder");
        else if (hasControl(e.name))
            add(Level::Warning, "control-characters", e.name, "name holds control characters: not extracted");
        else if (!safe) add(Level::Warning, "refused-name", e.name, reason + ": not extracted");
        else if (tooLong(e.name))
            add(Level::Warning, "name-too-long", e.name, "a part of the name is longer than 255 bytes: not extracted");
        if (!isValidUtf8(e.name)) add(Level::Warning, "invalid-utf8", e.name, "name is not valid UTF-8");
        switch (e.kind) {
        case CheckedEntry::Kind::Symlink:
            if (!e.linkProblem.empty()) add(Level::Warning, "link-unread", e.name, "link target " + e.linkProblem);
            else if (safe && !platform::linkTargetInside(*safe, e.linkTarget))
                add(Level::Dangerous, "link-outside", e.name, "link points outside: " + e.linkTarget);
            break;
        case CheckedEntry::Kind::Hardlink:
            if (!platform::safeRelativePath(e.linkTarget))
                add(Level::Dangerous, "hardlink-outside", e.name, "hard link to a place outside: " + e.linkTarget);
            break;
        case CheckedEntry::Kind::Special:
            add(Level::Warning, "special", e.name, "device, pipe or socket: not extracted");
            break;
        default: break;
        }
        if (e.encrypted)
            add(Level::Warning, "encrypted", e.name,
                e.encryption.empty() ? "encrypted" : "encrypted (" + e.encryption + ")");
        if (e.sharesData)
            add(Level::Dangerous, "overlap", e.name, "its data lies over another entry's (a way to build bombs)");
        if (e.size && e.kind == CheckedEntry::Kind::File) {
            total_ += *e.size;
            if (*e.size > kAbsurdSize) {
                add(Level::Dangerous, "bomb", e.name, "declares " + byteText(double(*e.size)));
                bombs_ = true;
            } else if (e.packed && *e.size >= kBombFloor && *e.size / kBombRatio >= *e.packed) {
                add(Level::Dangerous, "bomb", e.name,
                    "unpacks to " + byteText(double(*e.size)) + " from " + byteText(double(*e.packed)) + " (" +
                        ratioText(*e.size, *e.packed) + ")");
                bombs_ = true;
            }
        }
        // Duplicates and case twins, by the place extraction would write.
        std::string place = safe ? *safe : e.name;
        while (!place.empty() && place.back() == '/') place.pop_back();
        if (++seen_[place] == 2)
            add(Level::Warning, "duplicate", e.name, "stands more than once: a later entry replaces an earlier one");
        auto [it, fresh] = folded_.emplace(lowerAscii(place), place);
        if (!fresh && it->second != place && twins_.insert(place).second)
            add(Level::Warning, "case", e.name, "differs only in case from " + it->second);
    }

    void finish(std::uint64_t archiveBytes) {
        if (!bombs_ && total_ >= kArchiveBombFloor && archiveBytes && total_ / kBombRatio >= archiveBytes)
            add(Level::Dangerous, "bomb", "",
                "entries unpack to " + byteText(double(total_)) + " from an archive of " +
                    byteText(double(archiveBytes)) + " (" + ratioText(total_, archiveBytes) + ")");
    }

private:
    SafetyReport& report_;
    std::map<std::string, int> seen_;
    std::map<std::string, std::string> folded_;
    std::set<std::string> twins_;
    std::uint64_t total_ = 0;
    bool bombs_ = false;
};

void damaged(SafetyReport& r, const std::string& name, const std::string& what) {
    r.findings.push_back({Level::Dangerous, "damaged", name, what});
}

// The zip engine's view: the central directory, each local header, and the targets
// of stored links.
std::vector<CheckedEntry> zipEntries(const std::string& path, const std::string& namesCharset, SafetyReport& report,
                                     std::uint64_t& archiveBytes) {
    std::vector<CheckedEntry> out;
    engine::InputFile file;
    engine::ZipDirectory dir;
    std::int16_t status = file.open(path);
    if (status == 0) status = engine::readDirectory(file, dir, true, namesCharset);
    report.format = "zip";
    if (status != 0) {
        damaged(report, "", std::string("cannot be read: ") + engine::statusText(status));
        return out;
    }
    archiveBytes = file.size();
    if (!dir.endProblem.empty()) damaged(report, "", "damaged end records: " + dir.endProblem);
    const auto limits = engine::dataLimits(dir);
    const std::atomic<bool> noAbort{false};
    for (std::size_t i = 0; i < dir.entries.size(); ++i) {
        const engine::ZipEntry& z = dir.entries[i];
        CheckedEntry e;
        // The name as extraction sees it: stored code pages are already decoded.
        e.name = z.name;
        e.size = z.size;
        e.packed = z.packedSize;
        e.encrypted = z.encryption() != engine::Encryption::None;
        e.encryption = encryptionName(int(z.encryption()));
        const std::uint32_t mode = z.unixMode();
        const std::uint32_t type = mode & S_IFMT;
        if (z.isDirectory()) e.kind = CheckedEntry::Kind::Folder;
        else if (z.isSymlink()) e.kind = CheckedEntry::Kind::Symlink;
        else if (type != 0 && type != S_IFREG) e.kind = CheckedEntry::Kind::Special;
        e.sharesData = limits[i] == 0;
        std::uint64_t start = 0;
        if (!e.sharesData && !engine::localDataStart(file, dir, z, start))
            damaged(report, z.name, "its local header is damaged or lies outside the file");
        else if (e.kind == CheckedEntry::Kind::Symlink) {
            if (e.encrypted) e.linkProblem = "is encrypted and was not read";
            else {
                const auto o = engine::decodeEntry(file, dir, z, limits[i], "", noAbort,
                                                   [&](const unsigned char* d, std::size_t n) {
                                                       if (e.linkTarget.size() + n > kLinkTargetMost) return false;
                                                       e.linkTarget.append(reinterpret_cast<const char*>(d), n);
                                                       return true;
                                                   });
                if (o.result != engine::DecodeResult::Ok) e.linkProblem = "could not be read (damaged or too long)";
            }
        }
        out.push_back(std::move(e));
    }
    return out;
}

// Every other format through the format library's readers (headers only).
std::vector<CheckedEntry> otherEntries(const std::string& path, SafetyReport& report, std::uint64_t& archiveBytes) {
    std::vector<CheckedEntry> out;
    std::error_code ec;
    archiveBytes = std::filesystem::file_size(path, ec);
    const auto* handler = formatlib::handlerForFile(path);
    if (!handler) {
        report.format = "unknown";
        damaged(report, "", "not an archive: " + formatlib::describeContent(path));
        return out;
    }
    report.format = handler->name();
    std::string error;
    auto reader = handler->openReader(path, "", &error);
    if (!reader) {
        damaged(report, "", "cannot be read: " + error);
        return out;
    }
    report.format = reader->formatName();
    formatlib::EntryInfo info;
    for (;;) {
        info = formatlib::EntryInfo{};
        const int r = reader->next(info);
        if (r == 0) break;
        if (r < 0) {
            damaged(report, "", "damaged record: " + reader->error());
            if (!reader->canGoOn()) break;
            continue;
        }
        if (const std::string w = reader->warning(); !w.empty())
            report.findings.push_back({Level::Warning, "reader-warning", info.name, w});
        CheckedEntry e;
        e.name = info.name;
        e.kind = info.isDir()        ? CheckedEntry::Kind::Folder
                 : info.isSymlink()  ? CheckedEntry::Kind::Symlink
                 : info.isHardlink() ? CheckedEntry::Kind::Hardlink
                 : info.isSpecial()  ? CheckedEntry::Kind::Special
                                     : CheckedEntry::Kind::File;
        e.linkTarget = info.linkTarget;
        if (info.sizeKnown) e.size = info.size;
        // Readers that do not know the packed size report the size itself.
        if (info.sizeKnown && info.packedSize < info.size) e.packed = info.packedSize;
        e.encrypted = info.encrypted;
        out.push_back(std::move(e));
    }
    return out;
}

const char* levelWord(Level l) { return l == Level::Dangerous ? "dangerous" : "warning"; }

}  // namespace

int SafetyReport::verdict() const {
    int v = 0;
    for (const auto& f : findings) v = std::max(v, f.level == Level::Dangerous ? 2 : 1);
    return v;
}

void judgeEntries(const std::vector<CheckedEntry>& entries, std::uint64_t archiveBytes, SafetyReport& report) {
    Judge judge(report);
    for (const auto& e : entries) judge.entry(e);
    judge.finish(archiveBytes);
    report.entries += entries.size();
}

SafetyReport checkArchive(const std::string& path, bool zip, const std::string& namesCharset) {
    SafetyReport report;
    std::uint64_t bytes = 0;
    const auto entries = zip ? zipEntries(path, namesCharset, report, bytes) : otherEntries(path, report, bytes);
    judgeEntries(entries, bytes, report);
    return report;
}

void printReport(const SafetyReport& report, const std::string& path, bool json) {
    std::size_t dangerous = 0, warnings = 0;
    for (const auto& f : report.findings) (f.level == Level::Dangerous ? dangerous : warnings)++;
    static const char* const verdicts[] = {"clean", "warnings", "dangerous"};
    const char* verdict = verdicts[report.verdict()];
    if (json) {
        std::printf("{\"archive\":%s,\"format\":%s,\"entries\":%zu,\"verdict\":\"%s\",\"findings\":[",
                    jsonString(path).c_str(), jsonString(report.format).c_str(), report.entries, verdict);
        for (std::size_t i = 0; i < report.findings.size(); ++i) {
            const auto& f = report.findings[i];
            std::printf("%s\n {\"level\":\"%s\",\"kind\":\"%s\",\"name\":%s,\"detail\":%s}", i ? "," : "",
                        levelWord(f.level), f.kind.c_str(), jsonString(f.name).c_str(), jsonString(f.detail).c_str());
        }
        std::printf("]}\n");
        return;
    }
    for (const auto& f : report.findings)
        std::printf("%-9s  %s%s%s\n", levelWord(f.level), printableName(f.name).c_str(), f.name.empty() ? "" : ": ",
                    printableName(f.detail).c_str());
    const auto plural = [](std::size_t n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    const std::string counted = plural(report.entries, "entry", "entries");
    if (report.verdict() == 0) std::printf("verdict: clean: %s, nothing to look at\n", counted.c_str());
    else if (report.verdict() == 1)
        std::printf("verdict: warnings: %s in %s\n", plural(warnings, "warning", "warnings").c_str(), counted.c_str());
    else
        std::printf("verdict: dangerous: %s, %s in %s\n",
                    plural(dangerous, "dangerous finding", "dangerous findings").c_str(),
                    plural(warnings, "warning", "warnings").c_str(), counted.c_str());
}

}  // namespace quarva::qzip
