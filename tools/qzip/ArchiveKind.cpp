#include "tools/qzip/ArchiveKind.h"

#include "engine/ZipFormat.h"
#include "engine/ZipReader.h"

#include "formatlib/FormatLibrary.h"
#include "formatlib/cli/FormatCli.h"
#include "formatlib/host/FormatLibraryHost.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <sys/stat.h>

namespace quarva::qzip {

namespace {

// The format library's answer on the content: its kind (-1 none, -2 unreadable,
// -3 the library cannot be asked) and the format's name or what the file holds.
int libraryKind(const std::string& path, std::string* found) {
    int kind = -3;
    if (formatlib::callArchiveType(formatlib::cli::defaultLibraryPath(), path, &kind, found) != formatlib::kStatusOk)
        return -3;
    return kind;
}

bool engineReadsDirectory(const std::string& path) {
    engine::InputFile f;
    if (f.open(path) != 0 || f.size() == 0) return false;
    engine::ZipDirectory dir;
    auto st = engine::readDirectory(f, dir);
    return st == 0 || st == 430;
}

// A zip's first local header at the very start: no other format begins so, and the
// format library need not be loaded to say it.
bool startsAsZip(const std::string& path) {
    engine::InputFile f;
    unsigned char sig[4];
    return f.open(path) == 0 && f.size() >= 4 && f.read(0, sig, 4) && engine::rd32(sig) == engine::kSigLocal;
}

}  // namespace

ArchiveKind archiveKind(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        if (startsAsZip(path)) return ArchiveKind::Zip;
        std::string found;
        const int kind = libraryKind(path, &found);
        if (kind == formatlib::kKindZip) return ArchiveKind::Zip;
        if (kind >= 0) return ArchiveKind::Other;
        if (engineReadsDirectory(path)) return ArchiveKind::Zip;
    }
    auto dot = path.find_last_of('.');
    auto slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return ArchiveKind::Zip;
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    static const std::set<std::string> other = {
        "tar",  "gz",  "tgz", "taz", "z",   "cab",  "lzh", "lha",  "rar", "arj",  "arc",   "ace", "bh",
        "uue",  "uu",  "xxe", "bz2", "tbz", "tbz2", "7z",  "xz",   "txz", "zst",  "tzst",  "lz4", "lz",
        "lzma", "tlz", "zoo", "ha",  "ar",  "iso",  "pak", "cpio", "rpm", "warc", "mtree", "xar"};
    return other.count(ext) ? ArchiveKind::Other : ArchiveKind::Zip;
}

engine::ZipReading zipReader(const std::string& path) {
    const engine::ZipReading reading = engine::zipReading(path);
    std::string found;
    if (reading != engine::ZipReading::Engine && libraryKind(path, &found) == -3) return engine::ZipReading::Engine;
    return reading;
}

std::string contentDescription(const std::string& path, bool* zip) {
    std::string found;
    const int kind = libraryKind(path, &found);
    if (zip) *zip = kind == formatlib::kKindZip || (kind == -3 && startsAsZip(path));
    if (kind == -1) return found;
    if (kind >= 0) return "a " + found + " archive";
    return {};
}

}  // namespace quarva::qzip
