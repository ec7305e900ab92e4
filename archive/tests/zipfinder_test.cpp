// Find in zip without a window: a tree of 200 archives searched by a pool of
// workers, results in the order of the walk, hostile corners of the tree, and Stop.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "archive/utilities/ZipFinder.h"
#include "platform/testing/ArchiveBytes.h"
#include "platform/testing/TestSupport.h"

namespace quarva::archive {
namespace {

namespace fs = std::filesystem;
using quarva::testing::writeFile;
using quarva::testing::zipArchive;
using quarva::testing::ZipMember;

// Every report as one line; the lines after a stop are counted apart.
class Recorder : public IFindReceiver {
public:
    std::vector<std::string> lines;
    int finished = 0;
    bool stopped = false;
    std::function<void()> onFirstFound;

    void onScanning(const std::string& folder) override { lines.push_back("scan " + folder); }
    void onFound(const FoundFile& f) override {
        lines.push_back(f.archive + " | " + f.info.folder + " | " + f.info.name + " | " + std::to_string(f.info.size));
        if (onFirstFound) std::exchange(onFirstFound, nullptr)();
    }
    void onFinished(bool wasStopped) override {
        ++finished;
        stopped = wasStopped;
    }
    std::vector<std::string> found() const {
        std::vector<std::string> out;
        for (const auto& l : lines)
            if (!l.starts_with("scan ")) out.push_back(l);
        return out;
    }
};

class ZipFinderTest : public quarva::testing::FolderTest {
protected:
    // 200 archives in 20 folders (some nested), the needle in three of them; beside
    // them a damaged archive holding the needle, a fifo and a folder named like an
    // archive, a link loop, and an archive whose name holds a line break.
    void makeTree() {
        root = (dir() / "tree").string();
        for (int i = 0; i < 200; ++i) {
            std::string folder = "d" + std::to_string(i / 10) + (i % 20 >= 10 ? "/deeper" : "");
            std::vector<ZipMember> members{{"readme.txt", "r"}, {"src/main.c", "int main;"}};
            if (i == 7) members.push_back({"needle.dat", "12345"});
            if (i == 55) members.push_back({"deep/in/needle.dat", "1"}), members.push_back({"NEEDLE.DAT", "22"});
            if (i == 190) members.push_back({"x/needle.dat", "333"});
            writeFile(fs::path(root) / folder / ("a" + std::to_string(1000 + i) + ".zip"), zipArchive(members));
        }
        std::string broken = zipArchive({{"needle.dat", "lost"}});
        writeFile(fs::path(root) / "d3" / "broken.zip", broken.substr(0, broken.size() - 30));
        writeFile(fs::path(root) / "d3" / "junk.ZIP", "not an archive at all");
        ASSERT_EQ(::mkfifo((fs::path(root) / "d4" / "fifo.zip").c_str(), 0600), 0);
        fs::create_directories(fs::path(root) / "d5" / "x.zip");
        writeFile(fs::path(root) / "d5" / "x.zip" / "inner.zip", zipArchive({{"needle.dat", "4444"}}));
        fs::create_symlink(root, fs::path(root) / "d6" / "loop");
        fs::create_symlink(fs::path(root) / "d0" / "a1000.zip", fs::path(root) / "d6" / "linked.zip");
        writeFile(fs::path(root) / "d8" / "line\nbreak.zip", zipArchive({{"needle.dat\r\n", "55555"}}));
        fs::create_directories(fs::path(root) / "d9" / "closed");
        writeFile(fs::path(root) / "d9" / "closed" / "hidden.zip", zipArchive({{"needle.dat", "666666"}}));
        fs::permissions(fs::path(root) / "d9" / "closed", fs::perms::none);
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir() / "tree" / "d9" / "closed", fs::perms::owner_all, ec);
        FolderTest::TearDown();
    }
    Recorder search(const FindRequest& request, unsigned workers) {
        CZipFinder finder(createZipEngineControl, workers);
        Recorder recorder;
        EXPECT_TRUE(finder.start(request, recorder));
        finder.wait();
        EXPECT_EQ(recorder.finished, 1);
        return recorder;
    }
    std::string root;
};

TEST_F(ZipFinderTest, FindsTheMatchesOfTheTreeInWalkOrderWhateverThePool) {
    makeTree();
    FindRequest request{root, "needle.dat", true};
    Recorder one = search(request, 1);
    Recorder many = search(request, 8);
    EXPECT_EQ(one.lines, many.lines);  // folders and matches in the same order
    EXPECT_FALSE(many.stopped);
    // Name order: d0, d1, d10 ... d19, d2 ...; one archive's matches by entry path.
    std::vector<std::string> expected{
        root + "/d0/a1007.zip |  | needle.dat | 5",
        root + "/d19/deeper/a1190.zip | x | needle.dat | 3",
        root + "/d5/deeper/a1055.zip |  | NEEDLE.DAT | 2",  // names compare without case
        root + "/d5/deeper/a1055.zip | deep\\in | needle.dat | 1",
        root + "/d5/x.zip/inner.zip |  | needle.dat | 4",
    };
    if (::geteuid() == 0)  // root reads the closed folder too
        expected.push_back(root + "/d9/closed/hidden.zip |  | needle.dat | 6");
    EXPECT_EQ(many.found(), expected);
    // The damaged archive, the fifo and the link loop added nothing and held nothing up;
    // the folder named x.zip was searched as a folder, the loop was not followed.
    auto scanned = [&](const std::string& folder) {
        return std::count(many.lines.begin(), many.lines.end(), "scan " + root + folder);
    };
    EXPECT_EQ(scanned(""), 1);
    EXPECT_EQ(scanned("/d5/x.zip"), 1);
    EXPECT_EQ(scanned("/d6/loop"), 0);
    EXPECT_EQ(scanned("/d1/deeper"), 1);
    // The names with a line break are reported as they are; showing them is the window's business.
    Recorder odd = search({root + "/d8/", "needle.dat*", false}, 3);
    EXPECT_EQ(odd.lines,
              (std::vector<std::string>{"scan " + root + "/d8", root + "/d8/line\nbreak.zip |  | needle.dat\r\n | 5"}));
    // Without subfolders only the look-in folder; an empty pattern lists every file.
    Recorder flat = search({root + "/d0", "", false}, 4);
    EXPECT_EQ(flat.found().size(), 10u * 2 + 1);
    EXPECT_EQ(std::count_if(flat.lines.begin(), flat.lines.end(), [](auto& l) { return l.starts_with("scan "); }), 1);
    // No look-in folder searches nothing (not the current folder).
    EXPECT_TRUE(search({"", "", true}, 2).lines.empty());
}

TEST_F(ZipFinderTest, FilterAndExtensionRules) {
    EXPECT_EQ(findNameFilter("*.txt"), "*.txt\r\n*\\*.txt\r\n");
    EXPECT_EQ(findNameFilter(""), "");
    EXPECT_EQ(findNameFilter("a\r\n*"), "a*\r\n*\\a*\r\n");
    EXPECT_TRUE(isZipName("a.zip"));
    EXPECT_TRUE(isZipName("A.ZiP"));
    EXPECT_TRUE(isZipName(".zip"));
    EXPECT_FALSE(isZipName("a.zip.txt"));
    EXPECT_FALSE(isZipName("zip"));
    EXPECT_FALSE(isZipName("a.zipx"));
    EXPECT_EQ(displayName("line\r\nbreak.zip"), "line\uFFFD\uFFFDbreak.zip");
    EXPECT_EQ(displayName("caf\xE9 \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"), "caf\uFFFD \u00E9 \u20AC \U0001F600");
    EXPECT_EQ(displayName("\xC0\xAF \xED\xA0\x80 \xF4\x90\x80\x80 \xE2\x82"),
              "\uFFFD\uFFFD \uFFFD\uFFFD\uFFFD \uFFFD\uFFFD\uFFFD\uFFFD \uFFFD\uFFFD");
}

// An engine that lists forever until it is told to abort, and that (like the real
// one) clears the abort flag when a listing starts.
class EndlessEngine : public IEngineControl {
public:
    static inline std::atomic<int> listings{0};
    bool setProperty(int id, const EngineValue&) override {
        if (id == dispid::kAbort) {
            std::lock_guard lock(m_);
            abort_ = true;
            cv_.notify_all();
        }
        return true;
    }
    EngineValue getProperty(int) override { return {}; }
    std::int16_t invoke(int, std::int16_t) override {
        std::unique_lock lock(m_);
        abort_ = false;
        ++listings;
        cv_.wait(lock, [&] { return abort_; });
        return 190;
    }
    void setEventSink(IEngineEventSink*) override {}

private:
    std::mutex m_;
    std::condition_variable cv_;
    bool abort_ = false;
};

TEST_F(ZipFinderTest, StopEndsARunningSearchAtOnce) {
    makeTree();
    // Workers stuck inside listings: stop() must reach every one of them.
    {
        CZipFinder finder([] { return std::make_unique<EndlessEngine>(); }, 4);
        Recorder recorder;
        ASSERT_TRUE(finder.start({root, "", true}, recorder));
        while (EndlessEngine::listings < 4) std::this_thread::yield();
        EXPECT_FALSE(finder.start({root, "", true}, recorder));  // one search at a time
        finder.stop();
        const std::size_t reported = recorder.lines.size();
        finder.wait();
        EXPECT_EQ(recorder.lines.size(), reported);  // nothing after stop() returned
        EXPECT_EQ(recorder.finished, 1);
        EXPECT_TRUE(recorder.stopped);
        EXPECT_TRUE(recorder.found().empty());
    }
    // With the real engine: stopped at the first match, the rows so far are the
    // beginning of the full result, and the finder can search again.
    CZipFinder finder(createZipEngineControl, 4);
    Recorder first;
    first.onFirstFound = [&] { finder.stop(); };  // a receiver may stop the search itself
    ASSERT_TRUE(finder.start({root, "*", true}, first));
    finder.wait();
    EXPECT_TRUE(first.stopped);
    EXPECT_EQ(first.found().size(), 1u);
    Recorder full;
    ASSERT_TRUE(finder.start({root, "*", true}, full));
    finder.wait();
    EXPECT_FALSE(full.stopped);
    ASSERT_LT(first.lines.size(), full.lines.size());
    EXPECT_TRUE(std::equal(first.lines.begin(), first.lines.end(), full.lines.begin()));
    // The finder goes away in the middle of a search: it stops and waits by itself.
    Recorder dropped;
    auto again = std::make_unique<CZipFinder>(createZipEngineControl, 4);
    ASSERT_TRUE(again->start({root, "*", true}, dropped));
    again.reset();
    EXPECT_EQ(dropped.finished, 1);
}

}  // namespace
}  // namespace quarva::archive
