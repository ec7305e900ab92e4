// The edit-in-place watcher on real files: changes seen while the worker runs
// (in place, by rename, in a folder watched later), messages that keep their own
// paths while they wait, and a copy removed while it is watched.
#include "archive/utilities/FileChangeEvent.h"
#include "platform/testing/TestSupport.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <mutex>

namespace fs = std::filesystem;
using quarva::archive::CFileModified;
using quarva::testing::writeFile;

namespace {

// The window's side: the queued messages, handled when the test takes them.
class Window {
public:
    CFileModified::Poster poster() {
        return [this](const std::string& path) {
            std::lock_guard lock(mutex_);
            queue_.push_back(path);
            arrived_.notify_all();
        };
    }
    // Waits (at most long enough that only a lost message runs out) for `n` messages.
    std::deque<std::string> take(std::size_t n) {
        std::unique_lock lock(mutex_);
        arrived_.wait_for(lock, std::chrono::seconds(20), [&] { return queue_.size() >= n; });
        std::deque<std::string> taken;
        taken.swap(queue_);
        return taken;
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<std::string> queue_;
};

class FileChangeTest : public quarva::testing::FolderTest {
protected:
    FileChangeTest() { watcher.setNotifyWindow(window.poster()); }
    std::string folder(const std::string& name) const { return (dir() / name).string() + "/"; }

    // A copy as the extraction leaves it: written a while ago.
    std::string copy(const std::string& relative) {
        fs::path p = dir() / relative;
        fs::create_directories(p.parent_path());
        writeFile(p, "first line\n");
        fs::last_write_time(p, fs::file_time_type::clock::now() - std::chrono::hours(1));
        return p.string();
    }
    // The first save of a copy: one more line, written in place.
    static void append(const std::string& path) { std::ofstream(path, std::ios::app) << "another line\n"; }
    // A later save, as editors do it: a new file renamed over the copy. File times
    // move in clock ticks, and two saves within one tick would carry the same time:
    // each of these is a second later than the one before.
    void saveByRename(const std::string& path) {
        fs::path fresh = fs::path(path).parent_path() / ".save.tmp";
        writeFile(fresh, "saved " + std::to_string(++saves_) + "\n");
        fs::last_write_time(fresh, start_ + std::chrono::seconds(saves_));
        fs::rename(fresh, path);
    }
    fs::file_time_type start_ = fs::file_time_type::clock::now();
    int saves_ = 0;
    Window window;
    CFileModified watcher;  // goes before the window it posts to
};

TEST_F(FileChangeTest, ChangesWhileTheWorkerRunsAreReported) {
    watcher.start();  // waits on nothing but the stop event
    std::string odd = copy("sub dir/-it's \"odd\".txt");
    watcher.addFile(odd);
    EXPECT_TRUE(watcher.running());

    append(odd);
    EXPECT_EQ(window.take(1), std::deque<std::string>{odd});
    // Saved again (a new file under the copy's name) after the prompt was answered,
    // and once more: reported each time.
    saveByRename(odd);
    EXPECT_EQ(window.take(1), std::deque<std::string>{odd});
    saveByRename(odd);
    EXPECT_EQ(window.take(1), std::deque<std::string>{odd});

    // A copy in a folder not watched before: the worker starts again and waits there too.
    std::string other = copy("other/b.txt");
    watcher.addFile(other);
    EXPECT_EQ(watcher.folderCount(folder("other")), 1);
    append(other);
    EXPECT_EQ(window.take(1), std::deque<std::string>{other});
    EXPECT_EQ(watcher.lastModified(), other);
    // The watcher goes away with its worker waiting.
}

TEST_F(FileChangeTest, QueuedMessagesKeepTheirOwnPaths) {
    // The second name has a line break, a byte that is not UTF-8 and 255 bytes.
    std::string a = copy("t/a.txt"), b = copy("t/b\r\n\xff" + std::string(247, 'x') + ".txt");
    watcher.addFile(a);
    watcher.addFile(b);
    watcher.addFile(a);  // watched already
    EXPECT_EQ(watcher.folderCount(folder("t")), 2);
    watcher.start();

    append(a);
    append(b);
    // Neither message was handled before the second change.
    std::deque<std::string> both = window.take(2);
    ASSERT_EQ(both.size(), 2u);
    EXPECT_EQ(both, (std::deque<std::string>{a, b}));
    EXPECT_EQ(watcher.lastModified(), b);
}

TEST_F(FileChangeTest, ARemovedCopyIsDroppedWithoutMessage) {
    std::string gone = copy("t/a.txt"), kept = copy("t/b.txt");
    watcher.addFile(gone);
    watcher.addFile(kept);
    watcher.start();

    fs::remove(gone);
    append(kept);
    // The only message is the change; by then the removed copy is no longer watched
    // and its folder counts one file.
    EXPECT_EQ(window.take(1), std::deque<std::string>{kept});
    EXPECT_FALSE(watcher.watching(gone));
    EXPECT_TRUE(watcher.watching(kept));
    EXPECT_EQ(watcher.folderCount(folder("t")), 1);
    // A file made again under the same name is not watched any more.
    writeFile(gone, "new\n");
    saveByRename(kept);
    EXPECT_EQ(window.take(1), std::deque<std::string>{kept});

    watcher.removeFile(kept);
    EXPECT_EQ(watcher.folderCount(folder("t")), 0);
    watcher.stop();
    EXPECT_FALSE(watcher.running());

    // A folder that cannot be watched is told, so the window can say so.
    EXPECT_TRUE(watcher.watchingAll());
    watcher.addFile((dir() / "no such folder" / "x.txt").string());
    watcher.start();
    EXPECT_FALSE(watcher.watchingAll());
    watcher.stop();
}

}  // namespace
