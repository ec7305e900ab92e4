#pragma once
// The edit-in-place watcher: the copies of archive entries that a program of the
// desktop has open are watched on a worker thread, folder by folder, and a copy
// whose last-write time moves on is reported. CFileChangeEvent does the watching;
// CFileModified hands each change to the main window as a message of its own.
//
// Threads: the worker reads the watched set, moves stored times on and drops files
// that are gone, all under the watcher's lock; the window thread changes the set
// under the same lock. addFile, removeFile, start and stop belong to one thread
// (the window's). stop() waits for the worker to end, so a restart never has two
// workers at once.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quarva::platform {
class ChangeNotifier;
}

namespace quarva::archive {

// One watched file.
struct CFileInfo {
    std::string path;    // the copy, absolute
    std::string folder;  // the folder holding it, with a trailing '/'
    // Last-write time (nanoseconds since the epoch) taken when watching began; 0 when
    // the file could not be read then, so its first save counts as a change.
    std::int64_t time = 0;
};

class CFileChangeEvent {
public:
    // What notify() reports.
    enum Code : int {
        kModified = 0,  // the last-write time moved past the stored one
        kGone = 1,      // the file can no longer be found; it is no longer watched
    };

    CFileChangeEvent();
    // Stops the worker and waits for it. A derived class whose notify() uses its own
    // members calls stop() in its own destructor.
    virtual ~CFileChangeEvent();
    CFileChangeEvent(const CFileChangeEvent&) = delete;
    CFileChangeEvent& operator=(const CFileChangeEvent&) = delete;

    // Watches `path` from its current last-write time on; nothing when it is watched
    // already. A folder not watched before makes a running worker start again, so
    // that it waits on that folder too.
    void addFile(const std::string& path);
    void removeFile(const std::string& path);
    // Starts the worker (nothing when it runs). It waits on the watched folders, and
    // on nothing but stop() while none is watched.
    void start();
    void stop();

    bool running() const;
    // False when the system refused to watch one of the folders when the worker last
    // started (its limit of watches reached, a folder gone, no notifications at all):
    // saves there go unnoticed.
    bool watchingAll() const;
    bool watching(const std::string& path) const;
    // The number of watched files in `folder` (with its trailing '/'); 0 when the
    // folder is not watched.
    int folderCount(const std::string& folder) const;

protected:
    // Called on the worker thread with the watched set locked: an override must not
    // call back into the watcher.
    virtual void notify(int code, const std::string& path);

private:
    struct WatchedFolder {
        std::string folder;
        int count = 0;
    };
    void removeLocked(const std::string& path);
    // Looks at every watched file of `folder`, in path order.
    void checkFolder(const std::string& folder);
    void work(platform::ChangeNotifier& notifier);

    mutable std::mutex mutex_;
    std::map<std::string, CFileInfo> files_;
    std::vector<WatchedFolder> folders_;  // in the order they were first watched
    bool running_ = false;
    bool watchingAll_ = true;
    std::unique_ptr<platform::ChangeNotifier> notifier_;
    std::thread worker_;
};

// Reports each modification (code kModified) to the window: the poster queues a
// message carrying that modification's own path, so a later change never
// overwrites the path of a message still waiting. Codes kGone are not reported.
class CFileModified : public CFileChangeEvent {
public:
    using Poster = std::function<void(const std::string& path)>;
    ~CFileModified() override;
    // The window's poster (none: changes are only recorded). It runs on the worker
    // thread and must only queue.
    void setNotifyWindow(Poster poster);
    std::string lastModified() const;

protected:
    void notify(int code, const std::string& path) override;

private:
    Poster poster_;
    mutable std::mutex lastMutex_;
    std::string last_;
};

}  // namespace quarva::archive
