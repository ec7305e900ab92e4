#include "archive/utilities/FileChangeEvent.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

#include "platform/ChangeNotifier.h"

namespace quarva::archive {

namespace fs = std::filesystem;

namespace {

std::optional<std::int64_t> lastWriteTime(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
}

std::string absolutePath(const std::string& path) {
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    return (ec ? fs::path(path) : absolute).lexically_normal().string();
}

std::string folderOf(const std::string& path) {
    std::string folder = fs::path(path).parent_path().string();
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

}  // namespace

CFileChangeEvent::CFileChangeEvent() = default;

CFileChangeEvent::~CFileChangeEvent() { stop(); }

void CFileChangeEvent::addFile(const std::string& path) {
    std::string full = absolutePath(path);
    bool restart = false;
    {
        std::lock_guard lock(mutex_);
        if (files_.contains(full)) return;
        CFileInfo info{full, folderOf(full), lastWriteTime(full).value_or(0)};
        auto known = std::find_if(folders_.begin(), folders_.end(),
                                  [&info](const WatchedFolder& f) { return f.folder == info.folder; });
        if (known != folders_.end()) {
            ++known->count;
        } else {
            folders_.push_back({info.folder, 1});
            restart = running_;
        }
        files_.emplace(full, std::move(info));
    }
    if (restart) {
        stop();
        start();
    }
}

void CFileChangeEvent::removeFile(const std::string& path) {
    std::lock_guard lock(mutex_);
    removeLocked(absolutePath(path));
}

void CFileChangeEvent::removeLocked(const std::string& path) {
    auto it = files_.find(path);
    if (it == files_.end()) return;
    auto folder = std::find_if(folders_.begin(), folders_.end(),
                               [&it](const WatchedFolder& f) { return f.folder == it->second.folder; });
    if (folder != folders_.end() && --folder->count <= 0) folders_.erase(folder);
    files_.erase(it);
}

void CFileChangeEvent::start() {
    std::lock_guard lock(mutex_);
    if (running_) return;
    watchingAll_ = false;
    auto notifier = std::make_unique<platform::ChangeNotifier>();
    if (!notifier->ok()) return;
    // The watches stand before start() returns: a change made after it is seen.
    bool all = true;
    for (const WatchedFolder& f : folders_) all = notifier->watch(f.folder) && all;
    try {
        worker_ = std::thread([this, n = notifier.get()] { work(*n); });
    } catch (const std::system_error&) {
        return;
    }
    watchingAll_ = all;
    notifier_ = std::move(notifier);
    running_ = true;
}

void CFileChangeEvent::stop() {
    std::thread worker;
    {
        std::lock_guard lock(mutex_);
        if (!running_) return;
        running_ = false;
        notifier_->wake();
        worker = std::move(worker_);
    }
    worker.join();
    std::lock_guard lock(mutex_);
    notifier_.reset();
}

bool CFileChangeEvent::running() const {
    std::lock_guard lock(mutex_);
    return running_;
}

bool CFileChangeEvent::watchingAll() const {
    std::lock_guard lock(mutex_);
    return watchingAll_;
}

bool CFileChangeEvent::watching(const std::string& path) const {
    std::lock_guard lock(mutex_);
    return files_.contains(absolutePath(path));
}

int CFileChangeEvent::folderCount(const std::string& folder) const {
    std::lock_guard lock(mutex_);
    for (const WatchedFolder& f : folders_)
        if (f.folder == folder) return f.count;
    return 0;
}

void CFileChangeEvent::notify(int, const std::string&) {}

void CFileChangeEvent::work(platform::ChangeNotifier& notifier) {
    std::vector<std::string> changed;
    while (notifier.wait(changed) == platform::ChangeNotifier::Result::Changed) {
        std::lock_guard lock(mutex_);
        for (const std::string& folder : changed) checkFolder(folder);
    }
}

void CFileChangeEvent::checkFolder(const std::string& folder) {
    std::vector<std::string> paths;
    for (const auto& [path, info] : files_)
        if (info.folder == folder) paths.push_back(path);
    for (const std::string& path : paths) {
        std::optional<std::int64_t> time = lastWriteTime(path);
        if (!time) {
            notify(kGone, path);
            removeLocked(path);
            continue;
        }
        CFileInfo& info = files_.at(path);
        if (info.time < *time) {
            info.time = *time;
            notify(kModified, path);
        }
    }
}

CFileModified::~CFileModified() { stop(); }

void CFileModified::setNotifyWindow(Poster poster) {
    std::lock_guard lock(lastMutex_);
    poster_ = std::move(poster);
}

std::string CFileModified::lastModified() const {
    std::lock_guard lock(lastMutex_);
    return last_;
}

void CFileModified::notify(int code, const std::string& path) {
    if (code != kModified) return;
    std::lock_guard lock(lastMutex_);
    last_ = path;
    if (poster_) poster_(path);
}

}  // namespace quarva::archive
