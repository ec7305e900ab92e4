#pragma once
// Find in zip without a window: walks a folder tree, has a pool of workers list
// every zip archive in it through engines of their own, and hands what it finds to
// a receiver in the order of the walk, as if one thread had done it all. The Find
// Files in Zip dialog drives it; so does anything else that wants the same search.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "archive/core/EngineControl.h"
#include "archive/core/ZipFileInfo.h"
#include "platform/Event.h"

namespace quarva::archive {

struct FindRequest {
    std::string folder;   // the look-in folder (host path)
    std::string pattern;  // entry names; empty: every file of every archive
    bool includeSubfolders = true;
};

// One match: the entry and the archive that holds it.
struct FoundFile {
    std::string archive;  // full host path
    CZipFileInfo info;
};

// The engine's name filter for a pattern: the pattern itself (a match at the root
// and, as "*" crosses folders, anywhere) and "*\" + pattern for a match in any
// folder. An empty pattern gives the empty list, which selects every entry.
std::string findNameFilter(const std::string& pattern);
// True for a file name whose extension (from the last "."), lower-cased, is ".zip".
bool isZipName(const std::string& fileName);
// A name as a window shows it: bytes that are not UTF-8 and control characters
// (a line break inside a name) each become U+FFFD, so a row stays one line and a
// name that is not text does not vanish.
std::string displayName(std::string_view text);

// What a search reports. The calls come from the search's own threads, one at a
// time, in the order a single depth-first walk would make them. Once stop() has
// returned nothing but onFinished comes; onFinished comes exactly once and last.
// A receiver may call stop() itself, but must not wait for another thread that
// calls it (post, do not send).
class IFindReceiver {
public:
    virtual ~IFindReceiver() = default;
    // A folder is about to be searched.
    virtual void onScanning(const std::string& folder) = 0;
    // A match; the matches of one archive come together, ordered by entry path.
    virtual void onFound(const FoundFile& found) = 0;
    virtual void onFinished(bool stopped) = 0;
};

class CZipFinder {
public:
    using EngineFactory = std::function<std::unique_ptr<IEngineControl>()>;
    // `workers` 0: one per core, at least two and at most eight.
    explicit CZipFinder(EngineFactory makeEngine = createZipEngineControl, unsigned workers = 0);
    ~CZipFinder();  // stops a running search and waits for it
    CZipFinder(const CZipFinder&) = delete;
    CZipFinder& operator=(const CZipFinder&) = delete;

    // Starts a search on threads of its own and returns; false while one runs.
    bool start(const FindRequest& request, IFindReceiver& receiver);
    // Signals the stop event: the walk ends at the next folder entry, the engines
    // abort what they list, nothing more is reported. Returns at once.
    void stop();
    // Waits until the search has ended (onFinished has returned).
    void wait();
    // The stop event: signalled by stop() and when a search has ended.
    const platform::Event& stopEvent() const { return stopEvent_; }

private:
    // One step of the walk: a folder about to be searched, or an archive with
    // its matches once a worker has listed it.
    struct Item {
        bool archive = false;
        std::string path;
        bool done = false;
        std::vector<FoundFile> found;
    };
    struct Worker;
    void walk(FindRequest request);
    void work(Worker& worker);
    // Adds one item of the walk; false once the search is stopped.
    bool append(bool archive, const std::string& path);
    // Hands the finished items at the front to the receiver, in order.
    void deliver();
    std::vector<FoundFile> listArchive(Worker& worker, const std::string& path, const std::string& filter);
    bool stopped() const { return stopEvent_.isSet(); }

    EngineFactory makeEngine_;
    unsigned workerCount_;
    platform::Event stopEvent_{platform::Event::Reset::Manual, true};
    std::thread search_;
    IFindReceiver* receiver_ = nullptr;
    std::string filter_;

    std::mutex mutex_;
    std::mutex reportMutex_;  // held while the receiver is called
    std::atomic<std::thread::id> reportingThread_;
    std::condition_variable changed_;
    std::deque<Item> items_;          // the walk's steps not yet delivered; the first is firstSeq_
    std::deque<std::size_t> toList_;  // archives no worker has taken yet
    std::size_t firstSeq_ = 0;
    bool walkDone_ = false, delivering_ = false;
    std::vector<std::unique_ptr<Worker>> workers_;
};

}  // namespace quarva::archive
