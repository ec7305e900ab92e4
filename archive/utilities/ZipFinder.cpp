#include "archive/utilities/ZipFinder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <set>
#include <utility>

#include "archive/core/PathText.h"

namespace quarva::archive {

namespace {

// Results of at most this many steps of the walk wait for an earlier, slower
// archive: the workers do not run further ahead, so memory stays bounded.
constexpr std::size_t kAheadLimit = 256;

struct DirEntry {
    std::string name;
    bool folder = false;
};

// The entries of a folder worth a look, sorted by name so that every run walks the
// tree in the same order: folders (never through a link, so a link loop cannot
// trap the walk) and regular zip files (also behind a link; a fifo or device
// named .zip would block the engine). An unreadable folder has none.
std::vector<DirEntry> readFolder(const std::string& path, bool withFolders, dev_t* dev, ino_t* ino) {
    std::vector<DirEntry> entries;
    DIR* dir = ::opendir(path.c_str());
    if (!dir) return entries;
    struct stat self {};
    if (::fstat(::dirfd(dir), &self) == 0) *dev = self.st_dev, *ino = self.st_ino;
    while (const dirent* e = ::readdir(dir)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            if (withFolders) entries.push_back({std::move(name), true});
            continue;
        }
        if (!isZipName(name)) continue;
        if (S_ISLNK(st.st_mode) && ::fstatat(::dirfd(dir), e->d_name, &st, 0) != 0) continue;
        if (S_ISREG(st.st_mode)) entries.push_back({std::move(name), false});
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end(), [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
    return entries;
}

std::string joinPath(const std::string& folder, const std::string& name) {
    return folder.ends_with('/') ? folder + name : folder + "/" + name;
}

// Collects the listed entries of one archive, keyed by their path inside it.
class MatchSink : public IEngineEventSink {
public:
    std::map<std::string, CZipFileInfo> matches;

    void onEngineEntry(int eventId, const EntryValues& values) override {
        // Folder records end with "\": the search finds files.
        if (eventId != dispid::kEventListed || values.name.empty() || values.name.ends_with('\\')) return;
        matches[entryKey(values.name)] = CZipFileInfo::fromValues(values);
    }
    void onEngineDeleted(const std::string&) override {}
    void onEngineDiskRequest(std::int16_t) override {}
    void onEnginePassword(const std::string&, std::string&, std::int16_t&) override {}
    void onEngineSkipped(const std::string&, std::int16_t) override {}
};

}  // namespace

std::string findNameFilter(const std::string& pattern) {
    // The pattern is one line: a pasted line break must not add lines of its own.
    std::string line = pattern;
    std::erase_if(line, [](char c) { return c == '\r' || c == '\n'; });
    if (line.empty()) return {};
    return line + "\r\n*\\" + line + "\r\n";
}

bool isZipName(const std::string& fileName) { return extensionOf(fileName) == "zip"; }

std::string displayName(std::string_view text) {
    static constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD
    std::string shown;
    shown.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F) {
            shown += kReplacement;
            ++i;
            continue;
        }
        if (c < 0x80) {
            shown += static_cast<char>(c);
            ++i;
            continue;
        }
        // The length of the sequence and the smallest code point it may carry
        // (shorter forms are overlong); surrogates and values past U+10FFFF are refused.
        std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
        std::uint32_t point = length == 4 ? c & 0x07u : length == 3 ? c & 0x0Fu : c & 0x1Fu;
        bool valid = length != 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            point = (point << 6) | (next & 0x3Fu);
        }
        const std::uint32_t smallest = length == 4 ? 0x10000 : length == 3 ? 0x800 : 0x80;
        valid = valid && point >= smallest && point <= 0x10FFFF && !(point >= 0xD800 && point <= 0xDFFF);
        if (!valid) {
            shown += kReplacement;
            ++i;
            continue;
        }
        shown.append(text.substr(i, length));
        i += length;
    }
    return shown;
}

struct CZipFinder::Worker {
    std::unique_ptr<IEngineControl> engine;
    bool listing = false;  // under the finder's mutex
    std::thread thread;
};

CZipFinder::CZipFinder(EngineFactory makeEngine, unsigned workers)
    : makeEngine_(std::move(makeEngine)),
      // More listings at once than this only make the disk seek.
      workerCount_(workers ? workers : std::clamp(std::thread::hardware_concurrency(), 2u, 8u)) {}

CZipFinder::~CZipFinder() {
    stop();
    wait();
}

bool CZipFinder::start(const FindRequest& request, IFindReceiver& receiver) {
    if (search_.joinable()) {
        if (!stopEvent_.isSet()) return false;
        search_.join();
    }
    receiver_ = &receiver;
    filter_ = findNameFilter(request.pattern);
    items_.clear();
    toList_.clear();
    firstSeq_ = 0;
    walkDone_ = delivering_ = false;
    stopEvent_.reset();
    search_ = std::thread([this, request] { walk(request); });
    return true;
}

void CZipFinder::stop() {
    {
        std::lock_guard lock(mutex_);
        stopEvent_.set();
        for (auto& worker : workers_)
            if (worker->listing && worker->engine) worker->engine->setProperty(dispid::kAbort, true);
        changed_.notify_all();
    }
    // A report under way ends before stop() returns; none begins after it. A
    // receiver that stops the search from inside a report is that report.
    if (reportingThread_.load() == std::this_thread::get_id()) return;
    std::lock_guard reporting(reportMutex_);
}

void CZipFinder::wait() {
    if (search_.joinable()) search_.join();
}

bool CZipFinder::append(bool archive, const std::string& path) {
    {
        std::lock_guard lock(mutex_);
        if (stopped()) return false;
        if (archive) toList_.push_back(firstSeq_ + items_.size());
        items_.push_back(Item{archive, path, !archive, {}});
    }
    if (archive) changed_.notify_one();
    else deliver();
    return true;
}

void CZipFinder::walk(FindRequest request) {
    {
        std::lock_guard lock(mutex_);
        workers_.clear();
        for (unsigned i = 0; i < workerCount_; ++i) workers_.push_back(std::make_unique<Worker>());
        for (auto& worker : workers_) {
            worker->engine = makeEngine_();
            worker->thread = std::thread([this, w = worker.get()] { work(*w); });
        }
    }
    // Depth first, each folder's entries in name order; a folder reached twice
    // (through a bind mount, say) is searched once.
    struct Level {
        std::string path;
        std::vector<DirEntry> entries;
        std::size_t next = 0;
    };
    std::set<std::pair<dev_t, ino_t>> seen;
    std::vector<Level> levels;
    auto enter = [&](const std::string& path) {
        if (path.empty()) return;  // no look-in folder: nothing to search
        dev_t dev = 0;
        ino_t ino = 0;
        std::vector<DirEntry> entries = readFolder(path, request.includeSubfolders, &dev, &ino);
        if ((dev || ino) && !seen.insert({dev, ino}).second) return;
        if (append(false, path)) levels.push_back({path, std::move(entries), 0});
    };
    std::string root = request.folder;
    while (root.size() > 1 && root.ends_with('/')) root.pop_back();
    enter(root);
    while (!levels.empty() && !stopped()) {
        Level& level = levels.back();
        if (level.next == level.entries.size()) {
            levels.pop_back();
            continue;
        }
        const DirEntry& entry = level.entries[level.next++];
        std::string path = joinPath(level.path, entry.name);
        if (entry.folder) enter(path);
        else append(true, path);
    }

    std::unique_lock lock(mutex_);
    walkDone_ = true;
    changed_.notify_all();
    // Everything delivered, or stopped. A worker may have begun listing just as the
    // stop came, and the engine clears its abort flag when a listing starts: it is
    // told again until it has let go.
    while (!(items_.empty() && !delivering_)) {
        if (stopped()) {
            bool busy = false;
            for (auto& worker : workers_) {
                if (!worker->listing || !worker->engine) continue;
                worker->engine->setProperty(dispid::kAbort, true);
                busy = true;
            }
            if (!busy) break;
        }
        changed_.wait_for(lock, std::chrono::milliseconds(20));
    }
    const bool wasStopped = stopped();
    stopEvent_.set();  // also what ends the workers
    changed_.notify_all();
    lock.unlock();
    for (auto& worker : workers_) worker->thread.join();
    receiver_->onFinished(wasStopped);
}

void CZipFinder::work(Worker& worker) {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] {
            return stopped() || (!toList_.empty() && toList_.front() < firstSeq_ + kAheadLimit) ||
                   (walkDone_ && toList_.empty());
        });
        if (stopped() || toList_.empty()) return;
        std::size_t seq = toList_.front();
        toList_.pop_front();
        std::string path = items_[seq - firstSeq_].path;
        worker.listing = true;
        lock.unlock();
        std::vector<FoundFile> found = listArchive(worker, path, filter_);
        lock.lock();
        worker.listing = false;
        Item& item = items_[seq - firstSeq_];
        item.found = std::move(found);
        item.done = true;
        changed_.notify_all();
        if (seq != firstSeq_) continue;
        lock.unlock();
        deliver();
        lock.lock();
    }
}

std::vector<FoundFile> CZipFinder::listArchive(Worker& worker, const std::string& path, const std::string& filter) {
    std::vector<FoundFile> found;
    if (stopped() || !worker.engine) return found;  // no engine: nothing can be listed
    MatchSink sink;
    IEngineControl& engine = *worker.engine;
    engine.setEventSink(&sink);
    engine.setProperty(dispid::kArchiveName, path);
    engine.setProperty(dispid::kNames, filter);
    const std::int16_t status = engine.invoke(dispid::kList);
    engine.setEventSink(nullptr);
    // An archive the engine cannot list (damaged, not a zip, unreadable) adds
    // nothing, nor does a listing cut short by a stop.
    if (status != 0) return found;
    found.reserve(sink.matches.size());
    for (auto& [key, info] : sink.matches) found.push_back({path, std::move(info)});
    return found;
}

void CZipFinder::deliver() {
    std::unique_lock lock(mutex_);
    // One thread delivers at a time; the others leave what they finished to it, as
    // it looks at the front again (under the lock) before it lets go.
    if (delivering_) return;
    delivering_ = true;
    while (!items_.empty() && items_.front().done) {
        Item item = std::move(items_.front());
        items_.pop_front();
        ++firstSeq_;
        changed_.notify_all();
        if (stopped()) continue;
        lock.unlock();
        {
            std::lock_guard reporting(reportMutex_);
            reportingThread_ = std::this_thread::get_id();
            if (!item.archive && !stopped()) receiver_->onScanning(item.path);
            for (const FoundFile& found : item.found) {
                if (stopped()) break;
                receiver_->onFound(found);
            }
            reportingThread_ = std::thread::id();
        }
        lock.lock();
    }
    delivering_ = false;
    changed_.notify_all();
}

}  // namespace quarva::archive
