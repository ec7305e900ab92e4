#pragma once
// Folder change notifications: waits until something happened in one of a set of
// folders (not their subfolders) — a name created, removed or renamed, a file
// written and closed, attributes or times changed — or until another thread wakes
// the waiter. On Linux one inotify instance with a wake-up descriptor beside it.

#include <string>
#include <vector>

namespace quarva::platform {

class ChangeNotifier {
public:
    ChangeNotifier();
    ~ChangeNotifier();
    ChangeNotifier(const ChangeNotifier&) = delete;
    ChangeNotifier& operator=(const ChangeNotifier&) = delete;

    // False when the system gave no notifier (too many instances, no inotify).
    bool ok() const { return notify_ >= 0 && wake_ >= 0; }
    // Starts watching `folder`; false when it cannot be watched (missing, not a
    // folder, no watches left). A link to a folder is not followed.
    bool watch(const std::string& folder);

    enum class Result { Changed, Woken, Failed };
    // Blocks until a watched folder changed (`changed` then lists those folders, each
    // once, in the order they were watched) or until wake() was called; a wake-up is
    // consumed by the wait that sees it. When the kernel's queue overflowed every
    // folder counts as changed.
    Result wait(std::vector<std::string>& changed);
    // Wakes the waiter, or the next wait when nobody waits yet. Any thread.
    void wake();

private:
    int notify_ = -1;
    int wake_ = -1;
    std::vector<std::pair<int, std::string>> folders_;  // watch descriptor, folder
};

}  // namespace quarva::platform
