// Interoperability with the peer tools: what we write they accept, what they write
// we read byte for byte.

#include "engine/ZipEngine.h"
#include "EngineTestUtil.h"

#include <chrono>

using namespace quarva::engine;
using namespace quarva::engine::testutil;
using namespace quarva::testing;

namespace {

class Interop : public quarva::testing::FolderTest {
protected:
    void SetUp() override {
        FolderTest::SetUp();
        src = dir() / "src";
        fs::create_directories(src / "sub" / "deeper");
        writeFile(src / "a.txt", "alpha\n");
        writeFile(src / "empty.txt", "");
        std::string text;
        for (int i = 0; i < 30000; ++i) text += "record " + std::to_string(i % 977) + ";value\n";
        writeFile(src / "sub" / "text.csv", text);
        writeFile(src / "sub" / "deeper" / "noise.bin", randomBytes(150000, 11));
        writeFile(src / "sub" /
                      "gr\xc3\xbc\xc3\x9f"
                      "e.txt",
                  "utf-8 name\n");
        writeFile(src / "run.sh", "#!/bin/sh\necho hi\n");
        fs::permissions(src / "run.sh", fs::perms(0750));
        // Whole seconds, even: zip's own time field keeps two-second steps.
        auto t = fs::file_time_type::clock::now();
        t = std::chrono::time_point_cast<std::chrono::seconds>(t - std::chrono::hours(50));
        fs::last_write_time(src / "sub" / "text.csv", t);
    }

    // Our archive of src, with names relative to dir() (through a folder line we
    // enter from dir(): the engine keeps the full path, so archive the relative one).
    fs::path ourArchive(const std::string& password = {}, bool aes = false, int level = 6) {
        fs::path z = dir() / "ours.zip";
        ZipEngine e;
        e.setArchiveName(z.string());
        e.setNames(src.string() + "\r\n");
        e.setRecurse(true);
        e.setSavePathInfo(true);
        e.setPassword(password);
        e.setAes256(aes);
        e.setLevel(std::int16_t(level));
        EXPECT_EQ(e.add(0), 0);
        return z;
    }

    std::int16_t extractWith(const fs::path& archive, const fs::path& dest, const std::string& password = {}) {
        ZipEngine e;
        e.setArchiveName(archive.string());
        e.setExtractFolder(dest.string());
        e.setPassword(password);
        e.setOverwrite(1);
        std::int16_t st = e.test();
        if (st) return st;
        return e.extract(0);
    }

    void expectSameTree(const fs::path& a, const fs::path& b) {
        std::string out;
        EXPECT_EQ(runCommand("diff -r " + q(a) + " " + q(b), &out), 0) << out;
    }

    fs::path src;
};

}  // namespace

TEST_F(Interop, OurArchivesPassUnzip) {
    if (!haveTool("unzip")) GTEST_SKIP() << "unzip missing";
    for (int level : {0, 6, 9}) {
        fs::path z = ourArchive({}, false, level);
        std::string out;
        EXPECT_EQ(runCommand("unzip -t " + q(z), &out), 0) << out;
        fs::path o = dir() / ("u" + std::to_string(level));
        EXPECT_EQ(runCommand("unzip -q " + q(z) + " -d " + q(o), &out), 0) << out;
        expectSameTree(src, o / src.relative_path());
        fs::remove(z);
    }
    // Our own round trip keeps times and modes too.
    fs::path z = ourArchive();
    ASSERT_EQ(extractWith(z, dir() / "own"), 0);
    fs::path back = dir() / "own" / src.relative_path();
    EXPECT_EQ(fs::last_write_time(back / "sub" / "text.csv"), fs::last_write_time(src / "sub" / "text.csv"));
    EXPECT_EQ(fs::status(back / "run.sh").permissions(), fs::perms(0750));
}

TEST_F(Interop, OurArchivesPass7z) {
    if (!haveTool("7z")) GTEST_SKIP() << "7z missing";
    fs::path z = ourArchive();
    std::string out;
    EXPECT_EQ(runCommand("7z t " + q(z), &out), 0) << out;
    fs::remove(z);
    z = ourArchive("pw", true);
    EXPECT_EQ(runCommand("7z t -ppw " + q(z), &out), 0) << out;
    EXPECT_EQ(runCommand("7z x -y -ppw -o" + q(dir() / "s") + " " + q(z), &out), 0) << out;
    expectSameTree(src, dir() / "s" / src.relative_path());
    fs::remove(z);
    z = ourArchive("pw");
    EXPECT_EQ(runCommand("7z t -ppw " + q(z), &out), 0) << out;
}

TEST_F(Interop, OurArchivesPassBsdtar) {
    if (!haveTool("bsdtar")) GTEST_SKIP() << "bsdtar missing";
    fs::path z = ourArchive();
    std::string out;
    ASSERT_EQ(runCommand("mkdir -p " + q(dir() / "b") + " && bsdtar -xf " + q(z) + " -C " + q(dir() / "b"), &out), 0)
        << out;
    expectSameTree(src, dir() / "b" / src.relative_path());
    // The traditional cipher as libarchive reads it.
    fs::remove(z);
    z = ourArchive("secret");
    ASSERT_EQ(runCommand(
                  "mkdir -p " + q(dir() / "e") + " && bsdtar --passphrase secret -xf " + q(z) + " -C " + q(dir() / "e"),
                  &out),
              0)
        << out;
    expectSameTree(src, dir() / "e" / src.relative_path());
}

TEST_F(Interop, InfoZipArchives) {
    if (!haveTool("zip")) GTEST_SKIP() << "zip missing";
    std::string out;
    ASSERT_EQ(runCommand("cd " + q(src) + " && zip -qr " + q(dir() / "plain.zip") + " .", &out), 0) << out;
    EXPECT_EQ(extractWith(dir() / "plain.zip", dir() / "p"), 0);
    expectSameTree(src, dir() / "p");
    // Times (extended timestamp) and Unix modes come back as they were.
    EXPECT_EQ(fs::last_write_time(dir() / "p" / "sub" / "text.csv"), fs::last_write_time(src / "sub" / "text.csv"));
    EXPECT_EQ(fs::status(dir() / "p" / "run.sh").permissions(), fs::status(src / "run.sh").permissions());
    ASSERT_EQ(runCommand("cd " + q(src) + " && zip -qr -P s3cr3t " + q(dir() / "enc.zip") + " .", &out), 0) << out;
    EXPECT_EQ(extractWith(dir() / "enc.zip", dir() / "e", "s3cr3t"), 0);
    expectSameTree(src, dir() / "e");
    // Streamed from standard input: data descriptors, no sizes in the local header.
    ASSERT_EQ(runCommand("zip -q - - < " + q(src / "sub" / "text.csv") + " > " + q(dir() / "stdin.zip"), &out), 0);
    EXPECT_EQ(extractWith(dir() / "stdin.zip", dir() / "s"), 0);
    EXPECT_TRUE(readFile(dir() / "s" / "-") == readFile(src / "sub" / "text.csv"));
    // With a self-extractor style prefix and trailing junk.
    std::string z = readFile(dir() / "plain.zip");
    writeFile(dir() / "prefixed.zip", std::string(4096, '\x7f') + z + std::string(100, '\0'));
    EXPECT_EQ(extractWith(dir() / "prefixed.zip", dir() / "x"), 0);
    expectSameTree(src, dir() / "x");
}

TEST_F(Interop, SevenZipAesArchives) {
    if (!haveTool("7z")) GTEST_SKIP() << "7z missing";
    std::string out;
    for (const char* method : {"AES128", "AES192", "AES256"}) {
        fs::path z = dir() / (std::string(method) + ".zip");
        ASSERT_EQ(
            runCommand("cd " + q(src) + " && 7z a -tzip -pPW -mem=" + method + " " + q(z) + " . >/dev/null", &out), 0);
        fs::path o = dir() / method;
        EXPECT_EQ(extractWith(z, o, "PW"), 0) << method;
        expectSameTree(src, o);
        ZipEngine e;
        Recorder r;
        r.attach(e);
        e.setArchiveName(z.string());
        e.setNames("a.txt\r\n");
        ASSERT_EQ(e.list(), 0);
        std::string m = method;
        EXPECT_EQ(r.events.at(0).int16At(11), m == "AES128" ? 2 : m == "AES192" ? 3 : 4);
    }
}

TEST_F(Interop, StreamedZip64AndBsdtar) {
    // Sizes in zip64 data descriptors after deflated data, zip64 fields in both
    // headers and the zip64 end records, as a streaming writer leaves them.
    const std::string text = readFile(src / "sub" / "text.csv");
    ZipMember big("big.txt", text);
    big.method = 8;
    big.packed = deflateRaw(text);
    writeFile(dir() / "p64.zip", zipArchive({big, {"n/x.txt", "x"}}, true));
    EXPECT_EQ(extractWith(dir() / "p64.zip", dir() / "p"), 0);
    EXPECT_TRUE(readFile(dir() / "p" / "big.txt") == text);
    EXPECT_EQ(readFile(dir() / "p" / "n" / "x.txt"), "x");
    std::string out;
    if (haveTool("bsdtar")) {
        ASSERT_EQ(runCommand("cd " + q(src) + " && bsdtar -a -cf " + q(dir() / "bt.zip") + " .", &out), 0) << out;
        EXPECT_EQ(extractWith(dir() / "bt.zip", dir() / "b"), 0);
        expectSameTree(src, dir() / "b");
    }
}

TEST_F(Interop, Cp437NamesBecomeUtf8) {
    // A name stored without the UTF-8 flag by a DOS host: 0x81 is u-umlaut in code page 437.
    ASSERT_TRUE(makeZip(dir() / "dos.zip", {{"\x81"
                                             "ber.txt",
                                             "x"}}));
    std::string z = readFile(dir() / "dos.zip");
    auto cd = z.rfind(std::string("PK\x01\x02", 4));
    z[cd + 5] = 0;  // made by: DOS
    writeFile(dir() / "dos.zip", z);
    ZipEngine e;
    Recorder r;
    r.attach(e);
    e.setArchiveName((dir() / "dos.zip").string());
    ASSERT_EQ(e.list(), 0);
    EXPECT_EQ(r.names(6), (std::vector<std::string>{"\xc3\xbc"
                                                    "ber.txt"}));
}

TEST_F(Interop, CommentsAreSharedWithUnzip) {
    if (!haveTool("unzip")) GTEST_SKIP() << "unzip missing";
    fs::path z = ourArchive();
    ZipEngine e;
    e.setArchiveName(z.string());
    ASSERT_EQ(e.setComment("shared comment"), 0);
    std::string out;
    ASSERT_EQ(runCommand("unzip -z " + q(z), &out), 0);
    EXPECT_NE(out.find("shared comment"), std::string::npos) << out;
    EXPECT_EQ(runCommand("unzip -tq " + q(z), &out), 0) << out;
}

TEST_F(Interop, LargeFilesInJoinedChunksPassPeers) {
    // Over the whole-file limit: compressed as chunks joined into one stream, at
    // several levels, with text and incompressible parts mixed.
    std::string big;
    for (int i = 0; i < 400000; ++i) big += "log line " + std::to_string(i * 31 % 100003) + " status=ok\n";
    auto noise = randomBytes(3 << 20, 5);
    big.append(noise.begin(), noise.end());
    for (int i = 0; i < 200000; ++i) big += "tail " + std::to_string(i) + "\n";
    writeFile(dir() / "big.dat", big);
    for (int level : {1, 6, 9}) {
        fs::path z = dir() / ("big" + std::to_string(level) + ".zip");
        ZipEngine e;
        e.setArchiveName(z.string());
        e.setNames((dir() / "big.dat").string() + "\r\n");
        e.setSavePathInfo(false);
        e.setLevel(std::int16_t(level));
        ASSERT_EQ(e.add(0), 0);
        std::string out;
        if (haveTool("unzip")) {
            EXPECT_EQ(runCommand("unzip -tq " + q(z), &out), 0) << out;
        }
        if (haveTool("7z")) {
            EXPECT_EQ(runCommand("7z t " + q(z), &out), 0) << out;
        }
        if (haveTool("bsdtar")) {
            EXPECT_EQ(runCommand("bsdtar -xOf " + q(z) + " > /dev/null", &out), 0) << out;
        }
    }
    // Encrypted: the traditional cipher (check byte from the time, with a
    // descriptor) and AES, over the joined chunks.
    for (bool aes : {false, true}) {
        fs::path z = dir() / (aes ? "bigaes.zip" : "bigzc.zip");
        ZipEngine e;
        e.setArchiveName(z.string());
        e.setNames((dir() / "big.dat").string() + "\r\n");
        e.setSavePathInfo(false);
        e.setPassword("pw");
        e.setAes256(aes);
        ASSERT_EQ(e.add(0), 0);
        e.setNames("");
        EXPECT_EQ(e.test(), 0);
        std::string out;
        if (haveTool("7z")) {
            EXPECT_EQ(runCommand("7z t -ppw " + q(z), &out), 0) << out;
        }
        if (!aes && haveTool("unzip")) {
            EXPECT_EQ(runCommand("unzip -tq -P pw " + q(z), &out), 0) << out;
        }
    }
}

TEST_F(Interop, SixtyFiveThousandEntriesUseTheZip64End) {
    std::vector<RawEntry> entries;
    for (int i = 0; i < 66000; ++i) entries.push_back({"d" + std::to_string(i % 50) + "/f" + std::to_string(i), "x"});
    ASSERT_TRUE(makeZip(dir() / "many.zip", entries));
    ZipEngine e;
    Recorder r;
    r.attach(e);
    e.setArchiveName((dir() / "many.zip").string());
    ASSERT_EQ(e.list(), 0);
    EXPECT_EQ(r.count(6), 66000u);
    e.setNames("d7\\f65507\r\n");
    r.events.clear();
    ASSERT_EQ(e.test(), 0);
    EXPECT_EQ(r.count(12), 1u);
    std::string out;
    if (haveTool("bsdtar")) {
        EXPECT_EQ(runCommand("bsdtar -tf " + q(dir() / "many.zip") + " | wc -l", &out), 0) << out;
        EXPECT_EQ(out, "66000\n");
    }
    // Adding to it keeps the zip64 end and every entry.
    e.setNames((src / "a.txt").string() + "\r\n");
    e.setSavePathInfo(false);
    ASSERT_EQ(e.add(0), 0);
    e.setNames("");
    r.events.clear();
    ASSERT_EQ(e.list(), 0);
    EXPECT_EQ(r.count(6), 66001u);
}
