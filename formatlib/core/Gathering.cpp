#include "formatlib/core/Gathering.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <set>

#include "formatlib/core/Names.h"
#include "formatlib/core/OperationSupport.h"
#include "platform/FileGatherer.h"

namespace quarva::formatlib {
namespace fs = std::filesystem;

namespace {

// Entry name for a host path: the full path without its leading "/" (save path
// info for an absolute path), else the path from `base` on.
std::string entryNameFor(const fs::path& host, const fs::path& base, bool fullPath) {
    std::string s;
    if (fullPath) {
        s = fs::absolute(host).lexically_normal().generic_string();
        while (!s.empty() && s[0] == '/') s.erase(0, 1);
    } else {
        s = host.lexically_normal().lexically_relative(base.lexically_normal()).generic_string();
    }
    return s;
}

// What `folder` holds: links as they are, folders with what they hold (with
// subfolders), regular files when `pattern` (if any) matches their name.
void collectFolder(const fs::path& folder, const fs::path& base, const AddOptions& options, bool fullPath,
                   const std::string& pattern, std::vector<NewItem>& out, Reporter& rep) {
    platform::gatherFolder(
        folder.string(), {options.hiddenFiles, options.subfolders},
        [&](const platform::FoundItem& found) {
            const fs::path p(found.path);
            if (found.isLink() || found.isFolder() ||
                (found.isFile() && (pattern.empty() || wildcardMatch(pattern, found.name))))
                out.push_back({p, entryNameFor(p, base, fullPath), found.isFolder()});
            return true;
        },
        [&](const std::string& unread, const std::error_code& ec) {
            rep.error("", unread, "Cannot read the folder", ec.message());
        });
}

EntryInfo infoForHost(const NewItem& item) {
    EntryInfo e;
    e.name = item.entry;
    struct stat st {};
    if (lstat(item.host.c_str(), &st) == 0) {
        e.mtime = st.st_mtime;
        e.mode = st.st_mode & 07777;
        e.kind = S_ISREG(st.st_mode)   ? EntryKind::File
                 : S_ISDIR(st.st_mode) ? EntryKind::Folder
                 : S_ISLNK(st.st_mode) ? EntryKind::Symlink
                                       : EntryKind::Special;
        e.size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
        e.packedSize = e.size;
    }
    if (e.isSymlink()) {
        std::error_code ec;
        e.linkTarget = fs::read_symlink(item.host, ec).string();
    }
    e.sizeKnown = true;
    return e;
}

}  // namespace

std::vector<NewItem> gatherNewItems(const std::string& archive, const std::string& files, const AddOptions& options,
                                    Reporter& rep) {
    std::vector<NewItem> items;
    for (const auto& f : splitFileList(files)) {
        fs::path p(f);
        const std::string file = p.filename().string();
        std::error_code ec;
        // With path info, a path given relative is stored as given (from the current
        // folder on), as zip tools do; only an absolute one keeps its whole path. A
        // path that climbs ("../x") is stored from its own folder on.
        const std::string normal = p.lexically_normal().generic_string();
        const bool climbs = normal == ".." || normal.rfind("../", 0) == 0;
        const bool asGiven = options.savePathInfo && p.is_relative() && !climbs;
        const bool fullPath = options.savePathInfo && p.is_absolute();
        if (file.find_first_of("*?") != std::string::npos) {
            const fs::path folder = p.parent_path().empty() ? fs::path(".") : p.parent_path();
            collectFolder(folder, asGiven ? fs::path(".") : folder, options, fullPath,
                          file == "*" || file == "*.*" ? "" : file, items, rep);
            continue;
        }
        if (!fs::exists(fs::symlink_status(p, ec))) {
            rep.error("", f, "File not found", f);
            continue;
        }
        const fs::path host = asGiven ? p.lexically_normal() : fs::absolute(p).lexically_normal();
        const fs::path base = asGiven ? fs::path(".") : host.parent_path();
        if (fs::is_directory(fs::symlink_status(p, ec))) {
            items.push_back({p, entryNameFor(host, base, fullPath), true});
            collectFolder(host, base, options, fullPath, "", items, rep);
        } else {
            items.push_back({p, entryNameFor(host, base, fullPath), false});
        }
    }
    // Never add the archive to itself; one entry per name.
    const fs::path self = fs::absolute(archive).lexically_normal();
    std::set<std::string> names;
    std::vector<NewItem> unique;
    for (auto& it : items) {
        if (fs::absolute(it.host).lexically_normal() == self) continue;
        if (it.entry.empty()) continue;
        if (!names.insert(it.entry).second) {
            if (!it.isDir)
                rep.error(it.entry, it.host.string(), "Two or more files with the same name",
                          "check 'save full path info'");
            continue;
        }
        unique.push_back(it);
    }
    return unique;
}

std::vector<Prepared> prepareItems(const std::vector<NewItem>& items, const FormatHandler& h, Reporter& rep) {
    std::vector<Prepared> out;
    for (const auto& it : items) {
        struct stat st {};
        if (lstat(it.host.c_str(), &st) != 0) {
            rep.error(it.entry, it.host.string(), "File not found", std::strerror(errno));
            continue;
        }
        EntryInfo e = infoForHost(it);
        if (e.isSpecial()) {
            rep.error(e.name, it.host.string(), "Special file left out", "devices, pipes and sockets are not added");
            continue;
        }
        if (e.isSymlink() && !writerHoldsLinks(h)) {
            rep.error(e.name, it.host.string(), "Link left out", std::string(h.name()) + " archives cannot hold links");
            continue;
        }
        if (e.isFile()) {
            FileSource probe(it.host, false);
            if (!probe.ok()) {
                rep.error(e.name, it.host.string(), "Cannot open the file", probe.error());
                continue;
            }
        }
        const std::string refused = h.refuses(e);
        if (!refused.empty()) {
            rep.error(e.name, it.host.string(), "Cannot add the file", refused);
            continue;
        }
        out.push_back({it, e});
    }
    return out;
}

}  // namespace quarva::formatlib
