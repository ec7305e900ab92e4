// The engine's methods, properties, events and status codes, on real files.

#include "engine/ZipCrypto.h"
#include "engine/ZipEngine.h"
#include "engine/ZipReader.h"
#include "EngineTestUtil.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <thread>

using namespace quarva::engine;
using namespace quarva::engine::testutil;
using namespace quarva::testing;

namespace {

class Engine : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        src = dir() / "src";
        fs::create_directories(src / "sub");
        writeFile(src / "a.txt", "hello world\n");
        std::string text;
        for (int i = 0; i < 20000; ++i) text += "line " + std::to_string(i) + "\n";
        writeFile(src / "sub" / "text.txt", text);
        writeFile(src / "sub" / "rand.bin", randomBytes(70000, 7));
        writeFile(src / ".hidden", "secret");
    }

    // Adds src (recursively, file names relative through a folder line).
    std::int16_t addSource(std::int16_t action = 0) {
        engine.setRecurse(true);
        engine.setSavePathInfo(true);
        return addFiles({src}, action);
    }

    std::string stored(const std::string& rel) const {
        std::string s = (src / rel).string();
        return s.substr(1);  // the full path without its root
    }

    std::int16_t lastSkip() const { return rec.lastSkip(); }

    // Extracts the entries matching `names` into dir()/o without their folders; returns that folder.
    fs::path extractFlat(const std::string& names, std::int16_t action = 0) {
        const fs::path out = dir() / "o";
        engine.setExtractFolder(out.string());
        engine.setSavePathInfo(false);
        engine.setNames(names);
        EXPECT_EQ(engine.extract(action), 0);
        return out;
    }

    fs::path src;
};

std::string backslashed(std::string s) {
    for (char& c : s)
        if (c == '/') c = '\\';
    return s;
}

}  // namespace

TEST_F(Engine, AddListTestExtractRoundTrip) {
    ASSERT_EQ(addSource(), 0);
    // Event 11 for every file and folder, in order, with "\" separators.
    auto added = rec.names(11);
    EXPECT_NE(std::find(added.begin(), added.end(), backslashed(stored("a.txt"))), added.end());
    EXPECT_EQ(std::find(added.begin(), added.end(), backslashed(stored(".hidden"))), added.end());
    auto listed = listNames();
    EXPECT_EQ(listed.size(), 5u);  // src\, a.txt, sub\, rand.bin, text.txt

    rec.events.clear();
    EXPECT_EQ(engine.test(), 0);
    EXPECT_EQ(rec.count(12), listed.size());

    rec.events.clear();
    engine.setExtractFolder((dir() / "out").string());
    EXPECT_EQ(engine.extract(0), 0);
    fs::path outSrc = dir() / "out" / stored("");
    EXPECT_TRUE(readFile(outSrc / "a.txt") == readFile(src / "a.txt"));
    EXPECT_TRUE(readFile(outSrc / "sub" / "text.txt") == readFile(src / "sub" / "text.txt"));
    EXPECT_TRUE(readFile(outSrc / "sub" / "rand.bin") == readFile(src / "sub" / "rand.bin"));
    // Event 11 records are complete: value 1 == value 3, percent 100.
    for (auto& e : rec.events)
        if (e.id == 11) {
            ASSERT_EQ(e.args.size(), 13u);
            EXPECT_EQ(std::get<std::int32_t>(e.args[1]), std::get<std::int32_t>(e.args[3]));
            EXPECT_EQ(std::get<std::int16_t>(e.args[8]), 100);
        }
}

TEST_F(Engine, EntryRecordValues) {
    ASSERT_EQ(addSource(), 0);
    auto records = listRecords(archive, "*text.txt\r\n");
    ASSERT_EQ(records.size(), 1u);
    auto& a = records[0].args;
    ASSERT_EQ(a.size(), 13u);
    std::string content = readFile(src / "sub" / "text.txt");
    EXPECT_EQ(std::get<std::int32_t>(a[1]), std::int32_t(content.size()));
    EXPECT_LT(std::get<std::int32_t>(a[2]), std::get<std::int32_t>(a[1]));
    EXPECT_EQ(std::get<std::int16_t>(a[4]) & 0x10, 0);
    EXPECT_EQ(std::get<std::string>(a[5]).size(), 14u);  // dd-mm-yy hh:mm
    EXPECT_EQ(std::uint32_t(std::get<std::int32_t>(a[6])), crcOf(content));
    EXPECT_GT(std::get<std::int16_t>(a[7]), 50);  // ratio
    EXPECT_EQ(std::get<std::int16_t>(a[9]), 8);   // deflate
    EXPECT_EQ(std::get<std::int16_t>(a[10]), 1);  // first disk
    EXPECT_EQ(std::get<std::int16_t>(a[11]), 0);  // not encrypted
}

TEST_F(Engine, DispatchSurface) {
    EXPECT_TRUE(engine.setProperty(2, std::int16_t(9)));
    EXPECT_EQ(std::get<std::int16_t>(engine.getProperty(2)), 9);
    EXPECT_TRUE(engine.setProperty(16, false));
    EXPECT_FALSE(std::get<bool>(engine.getProperty(16)));
    EXPECT_TRUE(engine.setProperty(12, std::string("pw")));
    EXPECT_EQ(std::get<std::string>(engine.getProperty(12)), "pw");
    EXPECT_FALSE(engine.setProperty(19, std::int16_t(1)));  // read only
    EXPECT_FALSE(engine.setProperty(18, std::int16_t(1)));  // wrong type
    EXPECT_FALSE(engine.setProperty(99, true));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(engine.getProperty(99)));
    EXPECT_EQ(engine.invoke(27), kStatusConfiguration);
    for (int id : {1, 2, 3, 4, 6, 9, 10, 11, 12, 13, 16, 18, 19, 20, 21})
        EXPECT_FALSE(std::holds_alternative<std::monostate>(engine.getProperty(id))) << id;
    // Methods by number.
    engine.setProperty(2, std::int16_t(6));
    engine.setProperty(16, true);
    engine.setProperty(13, true);
    engine.setProperty(21, src.string() + "\r\n");
    EXPECT_EQ(engine.invoke(24, 0), 0);
    engine.setProperty(21, std::string(""));
    EXPECT_EQ(engine.invoke(26), 0);
    EXPECT_EQ(engine.invoke(22), 0);
    engine.setProperty(4, (dir() / "x").string());
    EXPECT_EQ(engine.invoke(25, 0), 0);
    engine.setProperty(21, std::string("*.bin\r\n"));
    EXPECT_EQ(engine.invoke(28), 0);
    EXPECT_EQ(rec.count(2), 1u);
    engine.setProperty(20, std::string("a comment"));
    EXPECT_EQ(std::get<std::string>(engine.getProperty(20)), "a comment");
    EXPECT_EQ(std::get<std::int16_t>(engine.getProperty(19)), 0);
    engine.setProperty(21, std::string(""));
    EXPECT_EQ(engine.invoke(23, 0), 0);  // repair of an intact archive keeps it whole
    EXPECT_EQ(listNames().size(), 4u);
}

TEST_F(Engine, FileNamesAloneAndDuplicates) {
    engine.setNames((src / "a.txt").string() + "\r\n" + (src / "sub" / "text.txt").string() + "\r\n");
    engine.setSavePathInfo(false);
    ASSERT_EQ(engine.add(0), 0);
    EXPECT_EQ(listNames(), (std::vector<std::string>{"a.txt", "text.txt"}));
    // Two files called a.txt without paths: 370, archive unchanged.
    fs::create_directories(dir() / "other");
    writeFile(dir() / "other" / "a.txt", "other");
    std::string before = readFile(archive);
    engine.setNames((src / "a.txt").string() + "\r\n" + (dir() / "other" / "a.txt").string() + "\r\n");
    EXPECT_EQ(engine.add(0), kStatusDuplicateNames);
    EXPECT_EQ(readFile(archive), before);
}

TEST_F(Engine, WildcardsAndFiltersOnAdd) {
    engine.setNames(src.string() + "\r\n>*.txt\r\n");
    engine.setRecurse(true);
    engine.setSavePathInfo(false);
    ASSERT_EQ(engine.add(0), 0);
    EXPECT_EQ(listNames(), (std::vector<std::string>{"a.txt", "text.txt"}));
    fs::remove(archive);
    engine.setNames((src / "sub" / "*.bin").string() + "\r\n");
    ASSERT_EQ(engine.add(0), 0);
    EXPECT_EQ(listNames(), (std::vector<std::string>{"rand.bin"}));
}

TEST_F(Engine, HiddenFiles) {
    engine.setIncludeHidden(true);
    ASSERT_EQ(addSource(), 0);
    auto names = listNames();
    EXPECT_NE(std::find(names.begin(), names.end(), backslashed(stored(".hidden"))), names.end());
}

TEST_F(Engine, FreshenAndUpdate) {
    ASSERT_EQ(addSource(), 0);
    writeFile(src / "new.txt", "new");
    // Freshen: nothing newer, the new file is not added.
    ASSERT_EQ(addSource(1), 0);
    EXPECT_EQ(listNames().size(), 5u);
    // Update: the new file comes in.
    ASSERT_EQ(addSource(2), 0);
    EXPECT_EQ(listNames().size(), 6u);
    // A newer a.txt replaces the stored one with freshen.
    writeFile(src / "a.txt", "changed");
    struct timespec ts[2] = {{2000000000, 0}, {2000000000, 0}};
    ::utimensat(AT_FDCWD, (src / "a.txt").c_str(), ts, 0);
    rec.events.clear();
    ASSERT_EQ(addSource(1), 0);
    EXPECT_EQ(rec.names(11), (std::vector<std::string>{backslashed(stored("a.txt"))}));
    EXPECT_EQ(readFile(extractFlat("*a.txt\r\n") / "a.txt"), "changed");
}

TEST_F(Engine, DeleteAfterAdding) {
    engine.setDeleteAfterAdding(true);
    engine.setNames((src / "a.txt").string() + "\r\n");
    engine.setSavePathInfo(false);
    ASSERT_EQ(engine.add(0), 0);
    EXPECT_FALSE(fs::exists(src / "a.txt"));
    EXPECT_EQ(listNames(), (std::vector<std::string>{"a.txt"}));
}

TEST_F(Engine, LevelsZeroToNine) {
    for (int level = 0; level <= 9; ++level) {
        fs::remove(archive);
        engine.setLevel(std::int16_t(level));
        ASSERT_EQ(addSource(), 0) << level;
        rec.events.clear();
        EXPECT_EQ(engine.test(), 0) << level;
        EXPECT_EQ(listRecords(archive, "*text.txt\r\n").at(0).int16At(9), level == 0 ? 0 : 8);
    }
    engine.setLevel(10);
    EXPECT_EQ(addSource(), kStatusConfiguration);
}

TEST_F(Engine, OverwriteModes) {
    ASSERT_EQ(addSource(), 0);
    fs::path out = extractFlat("*a.txt\r\n");
    writeFile(out / "a.txt", "local");
    rec.events.clear();
    engine.setOverwrite(0);
    EXPECT_EQ(engine.extract(0), 0);
    ASSERT_EQ(rec.count(10), 1u);
    EXPECT_EQ(lastSkip(), std::int16_t(SkipReason::Exists));
    EXPECT_EQ(readFile(out / "a.txt"), "local");
    // 1 replaces writable files but not read-only ones; 2 replaces those too.
    ::chmod((out / "a.txt").c_str(), 0444);
    engine.setOverwrite(1);
    rec.events.clear();
    EXPECT_EQ(engine.extract(0), 0);
    if (::geteuid() != 0) {  // root can write anything
        EXPECT_EQ(rec.count(10), 1u);
        EXPECT_EQ(readFile(out / "a.txt"), "local");
    }
    engine.setOverwrite(2);
    EXPECT_EQ(engine.extract(0), 0);
    EXPECT_EQ(readFile(out / "a.txt"), "hello world\n");
    engine.setOverwrite(3);
    EXPECT_EQ(engine.extract(0), kStatusConfiguration);
    EXPECT_EQ(engine.extract(5), kStatusConfiguration);
}

TEST_F(Engine, DeleteAndNoMatches) {
    ASSERT_EQ(addSource(), 0);
    engine.setNames("*.bin\r\n");
    ASSERT_EQ(engine.deleteEntries(), 0);
    EXPECT_EQ(rec.names(2), (std::vector<std::string>{backslashed(stored("sub/rand.bin"))}));
    EXPECT_EQ(listNames().size(), 4u);
    std::string before = readFile(archive);
    engine.setNames("*.nothing\r\n");
    EXPECT_EQ(engine.deleteEntries(), kStatusNoMatches);
    EXPECT_EQ(engine.list(), kStatusNoMatches);
    EXPECT_EQ(engine.test(), kStatusNoMatches);
    engine.setExtractFolder((dir() / "o").string());
    EXPECT_EQ(engine.extract(0), kStatusNoMatches);
    engine.setNames("");
    EXPECT_EQ(engine.deleteEntries(), kStatusNoMatches);  // never everything by accident
    EXPECT_EQ(readFile(archive), before);
    // Deleting every entry leaves a valid empty archive.
    engine.setNames("*\r\n");
    ASSERT_EQ(engine.deleteEntries(), 0);
    EXPECT_TRUE(listNames().empty());
}

TEST_F(Engine, ArchiveStatusCodes) {
    engine.setArchiveName((dir() / "missing.zip").string());
    EXPECT_EQ(engine.list(), kStatusArchiveNotFound);
    EXPECT_EQ(engine.test(), kStatusArchiveNotFound);
    writeFile(dir() / "empty.zip", "");
    engine.setArchiveName((dir() / "empty.zip").string());
    EXPECT_EQ(engine.list(), kStatusZeroLength);
    writeFile(dir() / "text.zip", std::string(5000, 'x'));
    engine.setArchiveName((dir() / "text.zip").string());
    EXPECT_EQ(engine.list(), kStatusZeroLength);
    engine.setArchiveName(dir().string());
    EXPECT_EQ(engine.list(), kStatusAccess);
    // A directory whose count runs past its records: corrupt.
    ASSERT_TRUE(makeZip(dir() / "c.zip", {{"a.txt", "aaaa"}, {"b.txt", "bbbb"}}));
    patchFile(dir() / "c.zip", [](std::string& z) { z[z.size() - 22 + 10] = z[z.size() - 22 + 8] = 9; });  // entries
    engine.setArchiveName((dir() / "c.zip").string());
    EXPECT_EQ(engine.list(), kStatusCorrupt);
    // An end record saying the directory lies on a later disk: spanned.
    ASSERT_TRUE(makeZip(dir() / "s.zip", {{"a.txt", "aaaa"}}));
    patchFile(dir() / "s.zip", [](std::string& z) { z[z.size() - 22 + 4] = z[z.size() - 22 + 6] = 2; });
    engine.setArchiveName((dir() / "s.zip").string());
    EXPECT_EQ(engine.list(), 0);  // the directory is on this (last) disk
    EXPECT_EQ(engine.test(), kStatusSpanned);
    EXPECT_EQ(std::get<std::int16_t>(engine.getProperty(19)), 3);
    engine.setNames((src / "a.txt").string() + "\r\n");
    EXPECT_EQ(engine.add(0), kStatusSpanned);
    // No file to add: 140.
    engine.setArchiveName(archive.string());
    engine.setNames((dir() / "nothing-here").string() + "\r\n");
    EXPECT_EQ(engine.add(0), kStatusNoMatches);
    EXPECT_EQ(rec.count(10), 1u);
    EXPECT_FALSE(fs::exists(archive));
}

TEST_F(Engine, UnwritablePlaceGives400) {
    // A folder that does not exist, or a file where a folder should be.
    engine.setArchiveName((dir() / "no-such-folder" / "x.zip").string());
    EXPECT_EQ(addSource(), kStatusAccess);
    writeFile(dir() / "plainfile", "x");
    engine.setArchiveName((dir() / "plainfile" / "x.zip").string());
    EXPECT_EQ(addSource(), kStatusAccess);
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    fs::create_directories(dir() / "ro");
    ::chmod((dir() / "ro").c_str(), 0555);
    engine.setArchiveName((dir() / "ro" / "x.zip").string());
    EXPECT_EQ(addSource(), kStatusAccess);
    ::chmod((dir() / "ro").c_str(), 0755);
}

TEST_F(Engine, CrcFailureAndDamage) {
    std::string payload(3000, 'q');
    ASSERT_TRUE(makeZip(archive, {{"good.txt", "fine"}, {"bad.txt", payload}, {"z.txt", "zz", 0100644, true}}));
    std::string z = readFile(archive);
    auto pos = z.find(std::string(100, 'q'));
    ASSERT_NE(pos, std::string::npos);
    z[pos + 50] = 'X';  // stored data changed: CRC mismatch
    writeFile(archive, z);
    EXPECT_EQ(engine.test(), kStatusCrcFailed);
    EXPECT_EQ(rec.names(12), (std::vector<std::string>{"good.txt", "z.txt"}));
    EXPECT_EQ(rec.skipReasons(), std::vector<std::int16_t>{std::int16_t(SkipReason::Crc)});
    engine.setExtractFolder((dir() / "o").string());
    EXPECT_EQ(engine.extract(0), kStatusCrcFailed);
    EXPECT_FALSE(fs::exists(dir() / "o" / "bad.txt"));  // no partial output left behind
    EXPECT_TRUE(fs::exists(dir() / "o" / "good.txt"));
    for (auto& f : fs::directory_iterator(dir() / "o")) EXPECT_NE(f.path().filename().string()[0], '.');
}

TEST_F(Engine, DeclaredSizesAreNotTrusted) {
    // A deflated entry whose directory claims 10 bytes but inflates to 100,000.
    ASSERT_TRUE(makeZip(archive, {{"bomb.txt", std::string(100000, 'a'), 0100644, true}}));
    std::string z = readFile(archive);
    auto cd = z.rfind(std::string("PK\x01\x02", 4));
    ASSERT_NE(cd, std::string::npos);
    z[cd + 24] = 10;
    z[cd + 25] = z[cd + 26] = z[cd + 27] = 0;
    writeFile(archive, z);
    EXPECT_EQ(engine.test(), kStatusCrcFailed);
    EXPECT_EQ(lastSkip(), std::int16_t(SkipReason::Damaged));
    engine.setExtractFolder((dir() / "o").string());
    EXPECT_EQ(engine.extract(0), kStatusCrcFailed);
    EXPECT_FALSE(fs::exists(dir() / "o" / "bomb.txt"));
}

TEST_F(Engine, OverlappingEntriesAreRefused) {
    ASSERT_TRUE(makeZip(archive, {{"a.txt", std::string(500, 'a')}, {"b.txt", "bbbb"}}));
    // Point the second directory record at the first local header.
    std::string z = readFile(archive);
    auto first = z.find(std::string("PK\x01\x02", 4));
    auto second = z.find(std::string("PK\x01\x02", 4), first + 4);
    ASSERT_NE(second, std::string::npos);
    for (int k = 0; k < 4; ++k) z[second + 42 + k] = 0;
    writeFile(archive, z);
    EXPECT_EQ(engine.test(), kStatusCrcFailed);
    for (auto reason : rec.skipReasons()) EXPECT_EQ(reason, std::int16_t(SkipReason::Overlap));
}

TEST_F(Engine, UnsupportedMethodIsSkipped) {
    ASSERT_TRUE(makeZip(archive, {{"m.bin", "xxxx"}}));
    std::string z = readFile(archive);
    auto cd = z.rfind(std::string("PK\x01\x02", 4));
    z[cd + 10] = 98;  // PPMd
    z[8] = 98;
    writeFile(archive, z);
    EXPECT_EQ(engine.test(), kStatusCouldNotTest);
    EXPECT_EQ(lastSkip(), std::int16_t(SkipReason::UnsupportedMethod));
    EXPECT_EQ(listRecords(archive).at(0).int16At(9), 98);
}

TEST_F(Engine, AbortLeavesArchiveUntouched) {
    ASSERT_EQ(addSource(), 0);
    std::string before = readFile(archive);
    // Abort from the first file event of the next add.
    writeFile(src / "more.bin", randomBytes(300000, 3));
    engine.setEvents(nullptr);
    engine.setEventHandler([&](int id, std::vector<DispatchValue>&) {
        if (id == 11 || id == 1) engine.setProperty(1, true);
    });
    EXPECT_EQ(addSource(), kStatusUserAborted);
    EXPECT_EQ(readFile(archive), before);
    for (auto& f : fs::directory_iterator(dir()))
        EXPECT_EQ(f.path().filename().string().find(".t.zip.qz-"), std::string::npos);
    // Abort during extract, test, list, delete.
    engine.setExtractFolder((dir() / "o").string());
    EXPECT_EQ(engine.extract(0), kStatusUserAborted);
    EXPECT_EQ(engine.test(), kStatusUserAborted);
    engine.setEventHandler([&](int id, std::vector<DispatchValue>&) {
        if (id == 6) engine.setProperty(1, true);
    });
    EXPECT_EQ(engine.list(), kStatusUserAborted);
    EXPECT_EQ(readFile(archive), before);
}

TEST_F(Engine, AbortFromAnotherThreadDuringLargeFile) {
    // A large file goes through the chunked path; abort lands between chunks.
    std::string big;
    for (int i = 0; i < 1200000; ++i) big += "row " + std::to_string(i * 7) + "\n";
    writeFile(src / "big.log", big);
    ASSERT_TRUE(makeZip(archive, {{"keep.txt", "keep"}}));
    std::string before = readFile(archive);
    engine.setEventHandler([&](int id, std::vector<DispatchValue>&) {
        if (id == 1) std::thread([&] { engine.setAbort(true); }).join();
    });
    engine.setNames((src / "big.log").string() + "\r\n");
    EXPECT_EQ(engine.add(0), kStatusUserAborted);
    EXPECT_EQ(readFile(archive), before);
    // Without the abort the large file goes in and comes out whole.
    engine.setEventHandler(nullptr);
    ASSERT_EQ(engine.add(0), 0);
    engine.setNames("");
    engine.setExtractFolder((dir() / "o").string());
    engine.setSavePathInfo(false);
    ASSERT_EQ(engine.extract(0), 0);
    EXPECT_TRUE(readFile(dir() / "o" / "big.log") == big);
    EXPECT_EQ(readFile(dir() / "o" / "keep.txt"), "keep");
}

TEST_F(Engine, CommentAndEmptyArchive) {
    ASSERT_EQ(addSource(), 0);
    EXPECT_EQ(engine.setComment("first\r\nsecond"), 0);
    EXPECT_EQ(engine.comment(), "first\r\nsecond");
    EXPECT_EQ(engine.setComment(""), 0);
    EXPECT_EQ(engine.comment(), "");
    EXPECT_EQ(engine.test(), 0);
    // The comment survives adding and deleting.
    engine.setComment("keep me");
    writeFile(src / "n.txt", "n");
    ASSERT_EQ(addSource(), 0);
    EXPECT_EQ(engine.comment(), "keep me");
}

// A wrong password that fails the traditional cipher's one-byte check on every
// entry of the archive (any other wrong password passes it for 1 entry in 256).
static std::string passwordFailingEveryCheck(const std::filesystem::path& archive) {
    InputFile f;
    ZipDirectory dir;
    if (f.open(archive.string()) != 0 || readDirectory(f, dir) != 0) return "wrong";
    for (int n = 0;; ++n) {
        const std::string candidate = "wrong" + std::to_string(n);
        bool failsAll = true;
        for (const auto& e : dir.entries) {
            std::uint64_t at = 0;
            unsigned char head[12];
            if (!(e.flags & 1) || !localDataStart(f, dir, e, at) || !f.read(at, head, sizeof head)) continue;
            TraditionalCipher cipher(candidate);
            cipher.decrypt(head, sizeof head);
            const auto check = static_cast<unsigned char>((e.flags & 8) ? e.dosTime >> 8 : e.crc >> 24);
            failsAll = failsAll && head[11] != check;
        }
        if (failsAll) return candidate;
    }
}

TEST_F(Engine, TraditionalPasswordFlow) {
    engine.setPassword("right");
    ASSERT_EQ(addSource(), 0);
    const std::string wrong = passwordFailingEveryCheck(archive);
    engine.setPassword("");
    // No answer: every file is skipped with reason 4; nothing could be tested.
    rec.events.clear();
    EXPECT_EQ(engine.test(), kStatusCouldNotTest);
    EXPECT_GT(rec.count(8), 0u);
    for (auto reason : rec.skipReasons()) EXPECT_EQ(reason, std::int16_t(SkipReason::Password));
    // A wrong answer, then the right one: event 8 again, then success.
    int asked = 0;
    rec.onPassword = [&](std::vector<DispatchValue>& args) {
        args[1] = std::string(asked++ == 0 ? wrong : "right");
        args[2] = std::int16_t(2);
    };
    rec.events.clear();
    EXPECT_EQ(engine.test(), 0);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(engine.password(), "right");
    // Extraction with the password set.
    engine.setExtractFolder((dir() / "o").string());
    ASSERT_EQ(engine.extract(0), 0);
    EXPECT_TRUE(readFile(dir() / "o" / stored("sub/text.txt")) == readFile(src / "sub" / "text.txt"));
}

TEST_F(Engine, AesPasswordRoundTrip) {
    engine.setPassword("aes pw");
    engine.setAes256(true);
    ASSERT_EQ(addSource(), 0);
    for (auto& ev : listRecords(archive, "*.txt\r\n")) EXPECT_EQ(ev.int16At(11), 4);  // AES-256
    ZipEngine e;
    e.setArchiveName(archive.string());
    e.setPassword("aes pw");
    EXPECT_EQ(e.test(), 0);
    e.setPassword("nope");
    EXPECT_EQ(e.test(), kStatusCouldNotTest);
    // A damaged byte fails the authentication code.
    std::string z = readFile(archive);
    auto pos = z.find(stored("a.txt")) - 30;
    std::size_t nameLen = std::uint8_t(z[pos + 26]) | (std::uint8_t(z[pos + 27]) << 8);
    std::size_t extraLen = std::uint8_t(z[pos + 28]) | (std::uint8_t(z[pos + 29]) << 8);
    z[pos + 30 + nameLen + extraLen + 18 + 3] ^= 1;
    writeFile(archive, z);
    e.setPassword("aes pw");
    e.setNames("");
    EXPECT_EQ(e.test(), kStatusCrcFailed);
}

TEST_F(Engine, EventSinkReceivesTypedEvents) {
    struct Sink : ZipEngineEvents {
        int listed = 0, processed = 0, tested = 0, deleted = 0, skipped = 0, starting = 0;
        void onListed(const EntryRecord& r) override { listed += r.name.empty() ? 0 : 1; }
        void onProcessed(const EntryRecord&) override { ++processed; }
        void onTested(const EntryRecord&) override { ++tested; }
        void onDeleted(const std::string&) override { ++deleted; }
        void onSkipped(const std::string&, std::int16_t) override { ++skipped; }
        void onStarting(const EntryRecord&) override { ++starting; }
    } sink;
    engine.setEvents(&sink);
    ASSERT_EQ(addSource(), 0);
    EXPECT_EQ(sink.processed, 5);
    ASSERT_EQ(engine.list(), 0);
    EXPECT_EQ(sink.listed, 5);
    ASSERT_EQ(engine.test(), 0);
    EXPECT_EQ(sink.tested, 5);
    EXPECT_GT(sink.starting, 0);
    engine.setNames("*a.txt\r\n");
    ASSERT_EQ(engine.deleteEntries(), 0);
    EXPECT_EQ(sink.deleted, 1);
}

TEST_F(Engine, DiskFullGives150AndKeepsArchive) {
    SmallVolume volume(dir() / "vol", "256k");
    if (!volume.mounted()) GTEST_SKIP() << volume.problem();
    const fs::path& vol = volume.path();
    ASSERT_TRUE(makeZip(vol / "x.zip", {{"keep.txt", "keep"}}));
    std::string before = readFile(vol / "x.zip");
    writeFile(src / "noise.bin", randomBytes(400000, 9));
    engine.setArchiveName((vol / "x.zip").string());
    engine.setNames((src / "noise.bin").string() + "\r\n");
    EXPECT_EQ(engine.add(0), kStatusDiskFull);
    EXPECT_EQ(readFile(vol / "x.zip"), before);
    std::size_t files = 0;
    for (auto& f : fs::directory_iterator(vol)) files += f.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 1u);
    // Extraction onto the full volume: 150 as well, nothing half-written left.
    ASSERT_TRUE(makeZip(dir() / "n.zip", {{"noise.bin", std::string(400000, 'n')}}));
    engine.setArchiveName((dir() / "n.zip").string());
    engine.setNames("");
    engine.setExtractFolder((vol / "o").string());
    EXPECT_EQ(engine.extract(0), kStatusDiskFull);
    EXPECT_FALSE(fs::exists(vol / "o" / "noise.bin"));
}

TEST_F(Engine, ProgressAndFinishedEvents) {
    std::string big;
    for (int i = 0; i < 1000000; ++i) big += "entry " + std::to_string(i % 5000) + "\n";
    writeFile(src / "big.txt", big);
    engine.setNames((src / "big.txt").string() + "\r\n" + (src / "a.txt").string() + "\r\n");
    engine.setSavePathInfo(false);
    ASSERT_EQ(engine.add(0), 0);
    EXPECT_GT(rec.count(3), 0u);
    ASSERT_EQ(rec.count(13), 1u);
    EXPECT_EQ(std::get<std::int32_t>(rec.events.back().args[1]), std::int32_t(big.size() + 12));
    rec.events.clear();
    engine.setNames("");
    engine.setExtractFolder((dir() / "o").string());
    ASSERT_EQ(engine.extract(0), 0);
    EXPECT_GT(rec.count(3), 0u);
    EXPECT_EQ(rec.count(13), 1u);
    EXPECT_EQ(rec.events.back().id, 13);
    rec.events.clear();
    ASSERT_EQ(engine.test(), 0);
    EXPECT_EQ(rec.count(13), 1u);
    EXPECT_EQ(rec.count(1), 2u);  // one "starting" per file
}

TEST_F(Engine, ReadOnlyArchiveIsNeverReplaced) {
    ASSERT_EQ(addSource(), 0);
    ::chmod(archive.c_str(), 0444);
    std::string before = readFile(archive);
    writeFile(src / "n.txt", "n");
    EXPECT_EQ(addSource(), kStatusAccess);
    engine.setNames("*a.txt\r\n");
    EXPECT_EQ(engine.deleteEntries(), kStatusAccess);
    EXPECT_EQ(engine.setComment("x"), kStatusAccess);
    EXPECT_EQ(engine.repair(0), kStatusAccess);
    EXPECT_TRUE(readFile(archive) == before);
    // Reading still works.
    engine.setNames("");
    EXPECT_EQ(engine.test(), 0);
    ::chmod(archive.c_str(), 0644);
    EXPECT_EQ(engine.repair(1), 0);
}

TEST_F(Engine, SpecialFilesAreReportedWithHiddenOn) {
    ASSERT_EQ(::mkfifo((src / "pipe").c_str(), 0644), 0);
    ASSERT_EQ(addSource(), 0);  // passed over silently
    EXPECT_EQ(rec.count(10), 0u);
    engine.setIncludeHidden(true);
    ASSERT_EQ(addSource(), 0);
    EXPECT_EQ(lastSkip(), std::int16_t(SkipReason::NotRegular));
}

TEST_F(Engine, ExtractModeOneTakesOnlyNewerFiles) {
    ASSERT_EQ(addSource(), 0);
    fs::path out = extractFlat("*.txt\r\n");
    writeFile(out / "a.txt", "edited later");  // newer than the archived copy
    struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ::utimensat(AT_FDCWD, (out / "text.txt").c_str(), old, 0);  // older than the archived copy
    writeFile(out / "text.txt", "stale");
    ::utimensat(AT_FDCWD, (out / "text.txt").c_str(), old, 0);
    engine.setOverwrite(1);
    rec.events.clear();
    ASSERT_EQ(engine.extract(1), 0);
    EXPECT_EQ(readFile(out / "a.txt"), "edited later");
    EXPECT_TRUE(readFile(out / "text.txt") == readFile(src / "sub" / "text.txt"));
    EXPECT_EQ(lastSkip(), std::int16_t(SkipReason::Exists));
}
