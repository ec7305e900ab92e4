// add: gathering the files of the name list.

#include "engine/AddGather.h"

#include "engine/NameList.h"

#include <filesystem>

namespace quarva::engine {

namespace {

namespace fs = std::filesystem;

bool hiddenName(const std::string& name) { return !name.empty() && name[0] == '.'; }

// With `savePath` the path as given: a relative one stays relative (without "./"
// and leading ".." steps), an absolute one loses its root. Otherwise the name alone.
std::string archiveNameFor(const std::string& hostPath, bool savePath) {
    if (!savePath) {
        std::string abs = lexicalAbsolute(hostPath);
        while (abs.size() > 1 && abs.back() == '/') abs.pop_back();
        auto pos = abs.find_last_of('/');
        return pos == std::string::npos ? abs : abs.substr(pos + 1);
    }
    std::string rel;
    for (const auto& part : fs::path(hostPath).lexically_normal()) {
        std::string c = part.string();
        if (c.empty() || c == "/" || c == "." || (c == ".." && rel.empty())) continue;
        if (!rel.empty()) rel += '/';
        rel += c;
    }
    return rel;
}

bool hasWildcard(const std::string& s) { return s.find_first_of("*?") != std::string::npos; }

Source sourceFor(const platform::FoundItem& item) {
    Source s;
    s.path = item.path;
    s.mode = item.mode;
    s.size = item.size;
    s.mtime = item.mtime;
    s.isDir = item.isFolder();
    s.isLink = item.isLink();
    return s;
}

}  // namespace

std::string lexicalAbsolute(const std::string& p) {
    std::error_code ec;
    fs::path a = fs::absolute(fs::path(p), ec);
    return a.lexically_normal().string();
}

void Gatherer::line(const std::string& text, const std::vector<std::string>& filters) {
    std::string path = text;
    for (char& c : path)
        if (c == '\\') c = '/';
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    auto slash = path.find_last_of('/');
    std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
    std::error_code ec;
    if (hasWildcard(last)) {
        std::string where = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
        std::vector<platform::FoundItem> items;
        if (!platform::listFolder(where, items, ec)) return;
        for (const auto& item : items) {
            if (!wildcardMatch(last, item.name) || (hiddenName(item.name) && !hidden_)) continue;
            if (item.isFolder()) {
                if (recurse_) folder(item, filters, true);
            } else {
                file(item, filters, true);
            }
        }
        return;
    }
    platform::FoundItem item;
    if (!platform::lookAt(path, item, ec)) {
        raise_.skipped(text, std::int16_t(SkipReason::CannotRead));
        return;
    }
    if (item.isFolder()) folder(item, filters, true);
    else file(item, {}, false);
}

void Gatherer::file(const platform::FoundItem& item, const std::vector<std::string>& filters, bool filtered) {
    if (filtered && !filters.empty()) {
        bool hit = false;
        for (auto& f : filters)
            if (wildcardMatch(f, item.name)) hit = true;
        if (!hit) return;
    }
    if (!item.isFile() && !item.isLink()) {
        if (hidden_) raise_.skipped(item.path, std::int16_t(SkipReason::NotRegular));
        return;
    }
    Source s = sourceFor(item);
    s.archiveName = archiveNameFor(item.path, savePath_);
    sources.push_back(std::move(s));
}

// A folder and, with subfolders, all below it. With path info each folder the walk
// goes into has an entry of its own.
void Gatherer::folder(const platform::FoundItem& item, const std::vector<std::string>& filters, bool top) {
    const auto addFolder = [this](const platform::FoundItem& f) {
        const std::string name = archiveNameFor(f.path, true);
        if (name.empty()) return;
        Source s = sourceFor(f);
        s.archiveName = name + "/";
        sources.push_back(std::move(s));
    };
    if (savePath_ && (recurse_ || top)) addFolder(item);
    platform::gatherFolder(
        item.path, {hidden_, recurse_},
        [&](const platform::FoundItem& found) {
            if (found.isFolder()) {
                if (savePath_) addFolder(found);
            } else {
                file(found, filters, true);
            }
            return true;
        },
        [this](const std::string& unread, const std::error_code&) {
            raise_.skipped(unread, std::int16_t(SkipReason::CannotRead));
        });
}

}  // namespace quarva::engine
