#include "tools/qzip/ArchiveKind.h"

#include "engine/ZipFormat.h"
#include "engine/ZipReader.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace quarva::qzip {

ArchiveKind archiveKind(const std::string& path) {
    engine::InputFile f;
    if (f.open(path) == 0 && f.size() > 0) {
        engine::ZipDirectory dir;
        auto st = engine::readDirectory(f, dir);
        if (st == 0 || st == 430) return ArchiveKind::Zip;
        unsigned char head[4];
        if (f.read(0, head, 4) && head[0] == 'P' && head[1] == 'K') return ArchiveKind::Zip;
    }
    auto dot = path.find_last_of('.');
    auto slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return ArchiveKind::Zip;
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    static const std::set<std::string> other = {"tar", "gz",  "tgz", "taz", "z",   "cab", "lzh", "lha", "rar", "arj",
                                                "arc", "ace", "bh",  "uue", "uu",  "xxe", "bz2", "7z",  "xz",  "cpio"};
    return other.count(ext) ? ArchiveKind::Other : ArchiveKind::Zip;
}

}  // namespace quarva::qzip
