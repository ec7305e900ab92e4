// The records as the host receives them, field by field, and the archive kind.

#include <sys/stat.h>

#include <zlib.h>

#include <ctime>

#include "FormatLibTestSupport.h"
#include "platform/Registry.h"

namespace quarva::formatlib::testing {
namespace {

std::string localStamp(std::time_t t) {
    struct tm tmv {};
    localtime_r(&t, &tmv);
    char buf[32];
    std::strftime(buf, sizeof buf, "%d-%m-%y %H:%M", &tmv);
    return buf;
}

class RecordsTest : public FormatLibTest {};

TEST_F(RecordsTest, ListingRecordsOfAPeerTar) {
    if (!haveTool("bsdtar")) GTEST_SKIP() << "bsdtar not installed";
    fs::create_directories(dir() / "in" / "docs");
    writeFile(dir() / "in" / "docs" / "b.txt", std::string(1234, 'b'));
    writeFile(dir() / "in" / "ro.txt", std::string("read only"));
    chmod((dir() / "in" / "ro.txt").c_str(), 0444);
    const std::time_t when = 1700000000;
    ASSERT_EQ(runCommand("cd '" + (dir() / "in").string() +
                         "' && touch -d @1700000000 docs/b.txt ro.txt docs && "
                         "bsdtar cf ../peer.tar docs ro.txt"),
              0);
    list(dir() / "peer.tar");
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    ASSERT_EQ(host_.kinds, std::vector<unsigned>{kKindOther});
    // The kind comes before any entry.
    ASSERT_EQ(host_.messages.front().message, kMsgArchiveKind);
    ASSERT_EQ(host_.listed.size(), 3u);
    const auto& folder = host_.listed[0];
    EXPECT_EQ(folder.name, "docs\\");
    EXPECT_EQ(folder.attributes & 0x10, 0x10);
    const auto& b = host_.listed[1];
    EXPECT_EQ(b.name, "docs\\b.txt");
    EXPECT_EQ(b.size, 1234u);
    EXPECT_EQ(b.packedSize, 1234u);
    EXPECT_EQ(b.ratio, 0);
    EXPECT_EQ(b.modified, localStamp(when));
    EXPECT_EQ(b.attributes, 0x20);
    EXPECT_EQ(b.methodName, "tar");
    const auto& ro = host_.listed[2];
    EXPECT_EQ(ro.name, "ro.txt");
    EXPECT_EQ(ro.attributes, 0x21);  // archive + read-only
    EXPECT_EQ(ro.size, 9u);
}

TEST_F(RecordsTest, ZipListingCarriesPackedSizeRatioAndCrc) {
    if (!haveTool("zip")) GTEST_SKIP() << "zip not installed";
    const auto src = makeTree();
    ASSERT_EQ(runCommand("cd '" + dir().string() + "' && zip -qr z.zip src"), 0);
    list(dir() / "z.zip");
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    bool sawText = false;
    for (const auto& e : host_.listed) {
        if (e.name != "src\\docs\\b.txt") continue;
        sawText = true;
        const std::string content = readFile(src / "docs" / "b.txt");
        EXPECT_EQ(e.size, content.size());
        EXPECT_LT(e.packedSize, e.size / 4);
        EXPECT_EQ(e.ratio, (e.size - e.packedSize) * 100 / e.size);
        EXPECT_EQ(e.crc, crc32(0, reinterpret_cast<const Bytef*>(content.data()), static_cast<uInt>(content.size())));
        EXPECT_EQ(e.methodName, "deflate");
        EXPECT_EQ(e.method, 8);
    }
    EXPECT_TRUE(sawText);
}

TEST_F(RecordsTest, LhaListingCarriesPackedSizeRatioAndCrc) {
    const auto src = makeTree();
    compress(dir() / "l.lzh", {src.string()});
    host_.clear();
    list(dir() / "l.lzh");
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    int seen = 0;
    for (const auto& e : host_.listed) {
        if (e.name == "src\\docs\\b.txt") {
            ++seen;
            const std::string content = readFile(src / "docs" / "b.txt");
            unsigned crc = 0;
            for (unsigned char c : content) {
                crc ^= c;
                for (int k = 0; k < 8; ++k) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
            }
            EXPECT_EQ(e.crc, crc);
            EXPECT_LT(e.packedSize, e.size / 4);
            EXPECT_GT(e.ratio, 75);
            EXPECT_EQ(e.methodName, "lh5");
        }
        if (e.name == "src\\docs\\deep\\c.bin") {
            ++seen;
            EXPECT_EQ(e.packedSize, e.size);  // random data is stored
            EXPECT_EQ(e.methodName, "lh0");
        }
    }
    EXPECT_EQ(seen, 2);
}

TEST_F(RecordsTest, FiltersSelectByPatternAtAnyDepth) {
    const auto src = makeTree();
    compress(dir() / "t.tar", {src.string()});
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    host_.clear();
    list(dir() / "t.tar", "\"*.txt\"");
    EXPECT_EQ(host_.listedNames(), (std::vector<std::string>{"src\\a.txt", "src\\docs\\b.txt", "src\\empty.txt"}));
}

TEST_F(RecordsTest, ErrorRecordForAMissingArchive) {
    const auto missing = (dir() / "gone.cab").string();
    list(missing);
    ASSERT_EQ(host_.errors.size(), 1u);
    EXPECT_EQ(host_.errors[0].entryName, "");
    EXPECT_EQ(host_.errors[0].fileName, missing);
    EXPECT_EQ(host_.errors[0].cause, "Archive Not Found");
    EXPECT_EQ(host_.errors[0].details, missing);
    EXPECT_TRUE(host_.errors[0].reservedNull);
    EXPECT_TRUE(host_.listed.empty());
}

TEST_F(RecordsTest, ErrorRecordForAFileOfNoKnownFormat) {
    writeFile(dir() / "notes.txt", std::string("just some text\n"));
    list(dir() / "notes.txt");
    ASSERT_EQ(host_.errors.size(), 1u);
    EXPECT_FALSE(host_.errors[0].cause.empty());
    EXPECT_TRUE(host_.listed.empty());
}

TEST_F(RecordsTest, ProcessedDeletedAndTestedMessages) {
    const auto src = makeTree();
    compress(dir() / "t.zip", {src.string()});
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    // One 10002 per added file, named as in the archive.
    std::vector<std::string> added;
    for (const auto& p : host_.processed) added.push_back(p.name);
    std::sort(added.begin(), added.end());
    EXPECT_EQ(added,
              (std::vector<std::string>{"src\\a.txt", "src\\docs\\b.txt", "src\\docs\\deep\\c.bin", "src\\empty.txt"}));
    for (const auto& p : host_.processed) EXPECT_EQ(p.message, kMsgProcessed);

    host_.clear();
    remove(dir() / "t.zip", {"src\\docs\\b.txt"});
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    EXPECT_EQ(host_.deleted, std::vector<std::string>{"src\\docs\\b.txt"});

    host_.clear();
    test(dir() / "t.zip");
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    ASSERT_EQ(host_.tested.size(), 3u);
    for (const auto& t : host_.tested) EXPECT_TRUE(t.second) << t.first;
    // The name is the first parameter, the result the second.
    for (const auto& m : host_.messages) {
        if (m.message != kMsgTested) continue;
        EXPECT_NE(m.wParam, 0u);
        EXPECT_EQ(m.lParam, 1);
    }
    // Records and names travel in the first parameter; the second stays 0.
    host_.clear();
    list(dir() / "t.zip");
    remove(dir() / "t.zip", {"nothing"});
    for (const auto& m : host_.messages) {
        if (m.message == kMsgListed || m.message == kMsgError) {
            EXPECT_NE(m.wParam, 0u);
            EXPECT_EQ(m.lParam, 0);
        }
    }
    EXPECT_EQ(host_.count(kMsgError), 1u);
}

TEST_F(RecordsTest, ExtractingOverAnExistingFileWithoutOverwriteReportsItSkipped) {
    const auto src = makeTree();
    compress(dir() / "t.tar", {(src / "a.txt").string()});
    writeFile(dir() / "out" / "a.txt", std::string("mine"));
    host_.clear();
    extract(dir() / "t.tar", dir() / "out", "*.*", false, true);
    ASSERT_EQ(host_.tested.size(), 1u);
    EXPECT_EQ(host_.tested[0], (std::pair<std::string, bool>{"a.txt", false}));
    EXPECT_EQ(readFile(dir() / "out" / "a.txt"), "mine");
    EXPECT_TRUE(host_.processed.empty());
}

TEST_F(RecordsTest, KindIsReportedPerFormat) {
    const auto src = makeTree();
    struct Case {
        const char* file;
        unsigned kind;
    } cases[] = {{"k.zip", kKindZip},   {"k.jar", kKindZip},   {"k.cab", kKindCab},
                 {"k.lzh", kKindOther}, {"k.tar", kKindOther}, {"k.tgz", kKindOther}};
    for (const auto& c : cases) {
        host_.clear();
        compress(dir() / c.file, {src.string()});
        ASSERT_TRUE(host_.errors.empty()) << c.file << host_.errorText();
        host_.clear();
        list(dir() / c.file);
        EXPECT_EQ(host_.kinds, std::vector<unsigned>{c.kind}) << c.file;
        EXPECT_EQ(host_.listedNames().size(), 4u) << c.file;
    }
    // A zip behind a program stub is still zip data.
    host_.clear();
    sfx(dir() / "k.zip", dir() / "k.exe", stubFolder());
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    host_.clear();
    list(dir() / "k.exe");
    EXPECT_EQ(host_.kinds, std::vector<unsigned>{kKindZip});
    EXPECT_EQ(host_.listedNames().size(), 4u);
}

TEST_F(RecordsTest, FileCountIsBelowOneForWhatIsNoArchive) {
    const auto src = makeTree();
    compress(dir() / "c.tar", {src.string()});
    EXPECT_EQ(count(dir() / "c.tar"), 4);
    EXPECT_LT(count(dir() / "missing.zip"), 1);
    writeFile(dir() / "plain.zip", std::string("not really a zip"));
    EXPECT_LT(count(dir() / "plain.zip"), 1);
    // An ordinary program (the stub alone carries no payload).
    EXPECT_LT(count(stubFolder() / "qzipsfx"), 1);
    EXPECT_LT(count(dir()), 1);  // a folder
}

TEST_F(RecordsTest, TextSearchReportsEntryLineAndText) {
    const auto src = makeTree();
    compress(dir() / "s.lzh", {src.string()});
    host_.clear();
    lib_->entry<QzTurboFindTextFn>("TurboFindText")((dir() / "s.lzh").c_str(), "NEEDLE", 0, &host_);
    ASSERT_EQ(host_.matches.size(), 1u) << host_.errorText();
    EXPECT_EQ(host_.matches[0].entry, "src\\a.txt");
    EXPECT_EQ(host_.matches[0].line, 2u);
    EXPECT_EQ(host_.matches[0].text, "second line with needle");
    host_.clear();
    lib_->entry<QzTurboFindTextFn>("TurboFindText")((dir() / "s.lzh").c_str(), "NEEDLE", 1, &host_);
    EXPECT_TRUE(host_.matches.empty());
}

TEST_F(RecordsTest, AssociateWritesTheClassesIntoTheRegistryStore) {
    lib_->entry<QzAssociateFn>("Associate")(&host_);
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    platform::Registry reg(registryDir());
    EXPECT_EQ(reg.readString(platform::Hive::ClassesRoot, ".lzh", ""), std::optional<std::string>("QuarvaZip"));
    EXPECT_EQ(reg.readString(platform::Hive::ClassesRoot, ".cab", ""), std::optional<std::string>("QuarvaZip"));
    const auto cmd = reg.readString(platform::Hive::ClassesRoot, "QuarvaZip\\shell\\open\\command", "");
    ASSERT_TRUE(cmd.has_value());
    const std::string expected = "\"" + libraryFile().parent_path().string() + "/QuarvaZip\" \"%1\"";
    EXPECT_EQ(*cmd, expected);
    EXPECT_TRUE(reg.readString(platform::Hive::ClassesRoot, "QuarvaZip\\DefaultIcon", "").has_value());
    // Nothing outside the store: the hive folder is the only thing the call created.
    EXPECT_TRUE(fs::exists(registryDir()));
}

// Byte progress: towards the archive's size when reading, the files' bytes (after
// the old archive's) when adding, an outside program's listed bytes when it unpacks;
// sent about once a MiB, never past its total, the last one at the total.
TEST_F(RecordsTest, ProgressCountsTowardsItsTotal) {
    const auto bytes = randomBytes(3 << 20, 11);
    writeFile(dir() / "src" / "big.bin", std::string(bytes.begin(), bytes.end()));
    writeFile(dir() / "src" / "small.txt", "small");
    writeFile(dir() / "more.txt", std::string(5000, 'm'));
    const std::uint64_t files = (3 << 20) + 5;
    const auto check = [&](const char* what, std::uint64_t total) {
        ASSERT_FALSE(host_.progress.empty()) << what << host_.errorText();
        EXPECT_LE(host_.progress.size(), total / (1 << 20) + 4) << what;
        for (const auto& p : host_.progress) EXPECT_TRUE(p.total == total && p.done <= total) << what << p.done;
        EXPECT_EQ(host_.progress.back().done, total) << what;
        host_.clear();
    };
    compress(dir() / "t.tar.gz", {(dir() / "src").string()});
    check("create", files);
    const std::uint64_t old = fs::file_size(dir() / "t.tar.gz");
    compress(dir() / "t.tar.gz", {(dir() / "more.txt").string()}, false);
    check("add", old + 5000);
    extract(dir() / "t.tar.gz", dir() / "out");
    check("extract", fs::file_size(dir() / "t.tar.gz"));
    test(dir() / "t.tar.gz");
    check("test", fs::file_size(dir() / "t.tar.gz"));
    encode(dir() / "t.tar.gz", dir() / "t.uue", kEncodeUU, false);
    host_.clear();
    extract(dir() / "t.uue", dir() / "uu-out");
    check("encoded text", fs::file_size(dir() / "t.uue"));
    if (haveTool("7z")) {
        ASSERT_EQ(runCommand("cd " + q(dir()) + " && 7z a -bd -mx=0 -v1m set.7z src >/dev/null"), 0);
        extract(dir() / "set.7z.001", dir() / "set-out");
        check("outside program", files);
        EXPECT_EQ(readFile(dir() / "set-out" / "src" / "big.bin"), readFile(dir() / "src" / "big.bin"));
    }
}

}  // namespace
}  // namespace quarva::formatlib::testing
