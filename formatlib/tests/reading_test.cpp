// Reading archives made elsewhere: damaged and hostile input ends with clear
// errors, names stay UTF-8 whatever the locale, every read is bounded, and what
// cannot be produced is never reported as done.

#include <archive.h>
#include <archive_entry.h>
#include <clocale>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "FormatLibTestSupport.h"

namespace quarva::formatlib::testing {
namespace {

// The process's locale for the duration of a scope (the library never sets one).
class ProcessLocale {
public:
    explicit ProcessLocale(const char* name) : old_(std::setlocale(LC_ALL, nullptr)) {
        ok_ = std::setlocale(LC_ALL, name) != nullptr;
    }
    ~ProcessLocale() { std::setlocale(LC_ALL, old_.c_str()); }
    bool ok() const { return ok_; }

private:
    std::string old_;
    bool ok_ = false;
};

struct TarItem {
    std::string name;
    char type;            // 'f' file, 'd' folder, 'l' symbolic link, 'h' hard link
    std::string content;  // data, or the link's target
};

// A pax tar written entry by entry, so that tests can hold what our writers refuse.
void writeTar(const fs::path& path, const std::vector<TarItem>& items) {
    struct archive* a = archive_write_new();
    archive_write_set_format_pax_restricted(a);
    ASSERT_EQ(archive_write_open_filename(a, path.c_str()), ARCHIVE_OK);
    for (const auto& it : items) {
        struct archive_entry* e = archive_entry_new();
        archive_entry_set_pathname_utf8(e, it.name.c_str());
        archive_entry_set_perm(e, it.type == 'd' ? 0755 : 0644);
        archive_entry_set_mtime(e, 1700000000, 0);
        archive_entry_set_filetype(e, it.type == 'd' ? AE_IFDIR : it.type == 'l' ? AE_IFLNK : AE_IFREG);
        if (it.type == 'l') archive_entry_set_symlink_utf8(e, it.content.c_str());
        if (it.type == 'h') archive_entry_set_hardlink_utf8(e, it.content.c_str());
        archive_entry_set_size(e, it.type == 'f' ? static_cast<la_int64_t>(it.content.size()) : 0);
        ASSERT_EQ(archive_write_header(a, e), ARCHIVE_OK) << it.name;
        if (it.type == 'f') archive_write_data(a, it.content.data(), it.content.size());
        archive_entry_free(e);
    }
    archive_write_close(a);
    archive_write_free(a);
}

class ReadingTest : public FormatLibTest {
protected:
    bool anyErrorSays(const std::string& text) const { return host_.errorText().find(text) != std::string::npos; }
    std::size_t passed() const {
        std::size_t n = 0;
        for (const auto& t : host_.tested) n += t.second;
        return n;
    }
};

TEST_F(ReadingTest, FatalStatusesEndTheArchiveWithoutACrash) {
    for (const char* name : {"cab-lzx-out-of-bounds.cab", "cab-malformed-folders.cab"}) {
        SCOPED_TRACE(name);
        host_.clear();
        list(data(name));
        host_.clear();
        test(data(name));
        EXPECT_FALSE(host_.errors.empty());
        host_.clear();
        extract(data(name), dir() / "out");
        EXPECT_FALSE(host_.errors.empty());
        (void)count(data(name));
        convert(data(name), dir() / "c.zip", kFormatZip);
        EXPECT_FALSE(fs::exists(dir() / "c.zip"));
    }
    // The damaged entry of the first is never reported as extracted.
    host_.clear();
    extract(data("cab-lzx-out-of-bounds.cab"), dir() / "out2");
    EXPECT_TRUE(host_.processed.empty());
    EXPECT_TRUE(tree(dir() / "out2").empty());
}

TEST_F(ReadingTest, AnEntryThatFailsDoesNotEndTheArchive) {
    // Random data is stored as it is inside deflate: a byte of it is easy to damage.
    const auto noise = randomBytes(5000, 11);
    const std::string middle(noise.begin(), noise.end());
    writeFile(dir() / "a.txt", std::string("first"));
    writeFile(dir() / "b.bin", middle);
    writeFile(dir() / "c.txt", std::string("last"));
    compress(dir() / "z.zip", {(dir() / "a.txt").string(), (dir() / "b.bin").string(), (dir() / "c.txt").string()});
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    std::string zip = readFile(dir() / "z.zip");
    const auto at = zip.find(middle.substr(1000, 64));
    ASSERT_NE(at, std::string::npos);
    zip[at] ^= 0x20;
    writeFile(dir() / "z.zip", zip);
    host_.clear();
    test(dir() / "z.zip");
    EXPECT_EQ(host_.tested,
              (std::vector<std::pair<std::string, bool>>{{"a.txt", true}, {"b.bin", false}, {"c.txt", true}}));
    host_.clear();
    extract(dir() / "z.zip", dir() / "out");
    ASSERT_EQ(host_.errors.size(), 1u) << host_.errorText();
    EXPECT_EQ(host_.errors[0].entryName, "b.bin");
    EXPECT_EQ(tree(dir() / "out"),
              (std::vector<std::pair<std::string, std::string>>{{"a.txt", "first"}, {"c.txt", "last"}}));
}

// Zip data read straight from the file (not through libarchive) comes from the
// right place: behind a program in front of the zip, and never for a name that two
// entries share (here with data of the same length).
TEST_F(ReadingTest, ZipDataIsReadFromWhereItsEntryLies) {
    struct archive* a = archive_write_new();
    archive_write_set_format_zip(a);
    const fs::path zip = dir() / "z.zip";
    ASSERT_EQ(archive_write_open_filename(a, zip.c_str()), ARCHIVE_OK);
    std::string large;  // streamed rather than decoded in one piece
    for (std::uint64_t i = 0; large.size() < (9u << 20); ++i)
        large += "line " + std::to_string(i * 7919 % 100003) + "\n";
    const std::vector<std::pair<std::string, std::string>> items = {{"same.txt", "the first one"},
                                                                    {"same.txt", "the other one"},
                                                                    {"other.txt", std::string(600, 'o')},
                                                                    {"large.txt", large}};
    for (const auto& [name, content] : items) {
        struct archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, name.c_str());
        archive_entry_set_perm(e, 0644);
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_size(e, static_cast<la_int64_t>(content.size()));
        ASSERT_EQ(archive_write_header(a, e), ARCHIVE_OK);
        archive_write_data(a, content.data(), content.size());
        archive_entry_free(e);
    }
    archive_write_close(a);
    archive_write_free(a);
    extract(zip, dir() / "all");  // the later same.txt replaces the earlier one
    EXPECT_TRUE(host_.errors.empty()) << host_.errorText();
    EXPECT_EQ(readFile(dir() / "all" / "same.txt"), "the other one");
    EXPECT_EQ(readFile(dir() / "all" / "other.txt"), items[2].second);
    EXPECT_TRUE(readFile(dir() / "all" / "large.txt") == large);
    // A byte of the large entry's data damaged: found on the way, no file left.
    std::string bytes = readFile(zip);
    bytes[bytes.size() / 2] ^= 0x55;
    writeFile(dir() / "damaged.zip", bytes);
    host_.clear();
    extract(dir() / "damaged.zip", dir() / "dmg", "large.txt");
    EXPECT_EQ(host_.errors.size(), 1u) << host_.errorText();
    EXPECT_FALSE(fs::exists(dir() / "dmg" / "large.txt"));
    host_.clear();
    // The same behind a program: every offset moves by the program's length.
    writeFile(dir() / "z.exe", "MZ" + std::string(3000, '\x90') + readFile(zip));
    host_.clear();
    extract(dir() / "z.exe", dir() / "out", "other.txt");
    EXPECT_EQ(tree(dir() / "out"), (std::vector<std::pair<std::string, std::string>>{{"other.txt", items[2].second}}))
        << host_.errorText();
}

TEST_F(ReadingTest, GzipTrailersAreCheckedForEveryMember) {
    writeFile(dir() / "a.txt", std::string(100000, 'x') + "end");
    compress(dir() / "a.txt.gz", {(dir() / "a.txt").string()});
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    const std::string good = readFile(dir() / "a.txt.gz");
    const auto flip = [&](std::size_t fromEnd) {
        std::string bad = good;
        bad[bad.size() - fromEnd] ^= 0x55;
        return bad;
    };
    struct Case {
        const char* name;
        std::string bytes;
        const char* says;
    };
    const Case cases[] = {
        {"crc.gz", flip(8), "CRC-32"},
        {"length.gz", flip(1), "length"},
        {"second-member.gz", good + flip(5), "CRC-32"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(dir() / c.name, c.bytes);
        host_.clear();
        test(dir() / c.name);
        EXPECT_EQ(passed(), 0u);
        EXPECT_TRUE(anyErrorSays(c.says)) << host_.errorText();
        host_.clear();
        extract(dir() / c.name, dir() / "out");
        EXPECT_TRUE(anyErrorSays(c.says)) << host_.errorText();
        EXPECT_TRUE(host_.processed.empty());
        EXPECT_FALSE(fs::exists(dir() / "out" / "a.txt"));
    }
    // Two good members read as one file; a good file has no complaint.
    writeFile(dir() / "two.gz", good + good);
    host_.clear();
    test(dir() / "two.gz");
    EXPECT_TRUE(host_.errors.empty()) << host_.errorText();
    EXPECT_EQ(passed(), 1u);
    host_.clear();
    extract(dir() / "two.gz", dir() / "out2");
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    EXPECT_EQ(readFile(dir() / "out2" / "a.txt").size(), 2 * 100003u);

    // A tar.gz whose trailer is wrong fails the test too.
    compress(dir() / "t.tar.gz", {(dir() / "a.txt").string(), (dir() / "a.txt.gz").string()});
    std::string tgz = readFile(dir() / "t.tar.gz");
    tgz[tgz.size() - 6] ^= 0x01;
    writeFile(dir() / "t.tar.gz", tgz);
    host_.clear();
    test(dir() / "t.tar.gz");
    EXPECT_TRUE(anyErrorSays("CRC-32")) << host_.errorText();
    // and a conversion or rewrite that copies its entries as they are stored.
    host_.clear();
    convert(dir() / "t.tar.gz", dir() / "t.tar", kFormatTar);
    EXPECT_TRUE(anyErrorSays("CRC-32")) << host_.errorText();
    EXPECT_FALSE(fs::exists(dir() / "t.tar"));
    host_.clear();
    compress(dir() / "t.tar.gz", {(dir() / "two.gz").string()});
    EXPECT_TRUE(anyErrorSays("CRC-32")) << host_.errorText();
    EXPECT_EQ(readFile(dir() / "t.tar.gz"), tgz);
}

TEST_F(ReadingTest, CompressionInsideItselfIsBounded) {
    const fs::path nested = data("gzip-nested-in-itself.gz");
    host_.clear();
    list(nested);
    test(nested);
    extract(nested, dir() / "out");
    EXPECT_EQ(host_.errors.size(), 3u) << host_.errorText();
    EXPECT_TRUE(anyErrorSays("compressed inside itself")) << host_.errorText();
    EXPECT_LT(count(nested), 1);
    // Two layers are still read.
    if (!haveTool("gzip")) GTEST_SKIP() << "gzip not installed";
    ASSERT_EQ(runCommand("printf hello | gzip | gzip > " + q(dir() / "twice.gz")), 0);
    host_.clear();
    extract(dir() / "twice.gz", dir() / "out2");
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    EXPECT_EQ(readFile(dir() / "out2" / "twice"), "hello");
}

TEST_F(ReadingTest, DataOfUndeclaredSizeIsCappedOnEveryPath) {
    // 113 bytes that expand to 100 MB: beyond 64 MiB every path stops with a clear error.
    const fs::path bomb = data("repeated-100mb.bz2");
    host_.clear();
    test(bomb);
    EXPECT_TRUE(anyErrorSays("compression bomb")) << host_.errorText();
    EXPECT_EQ(passed(), 0u);
    host_.clear();
    extract(bomb, dir() / "out");
    EXPECT_TRUE(anyErrorSays("compression bomb")) << host_.errorText();
    EXPECT_TRUE(tree(dir() / "out").empty());
    // Data left unread is not skipped without bound either.
    fs::create_directories(dir() / "out2" / "repeated-100mb");
    host_.clear();
    extract(bomb, dir() / "out2");
    EXPECT_TRUE(anyErrorSays("a folder of that name exists")) << host_.errorText();
    EXPECT_TRUE(anyErrorSays("compression bomb")) << host_.errorText();
    for (int code : {kFormatZip, kFormatTar}) {
        host_.clear();
        convert(bomb, dir() / "bomb.out", code);
        EXPECT_TRUE(anyErrorSays("compression bomb")) << host_.errorText();
        EXPECT_FALSE(fs::exists(dir() / "bomb.out"));
    }
    for (auto& e : fs::directory_iterator(dir()))
        EXPECT_NE(e.path().filename().string().rfind(".qz", 0), 0u) << e.path();
}

TEST_F(ReadingTest, OutsideProgramsCountFromTheirListAndUnpackWithinBounds) {
    if (!haveTool("arj")) GTEST_SKIP() << "arj not installed";
    // A program of the same name in front of the real one records how it is used.
    const fs::path bin = dir() / "bin";
    const fs::path log = dir() / "arj.log";
    writeFile(bin / "arj", "#!/bin/sh\necho \"$1\" >> " + q(log) + "\nexec /usr/bin/arj \"$@\"\n");
    fs::permissions(bin / "arj", fs::perms::owner_all);
    const char* oldPath = getenv("PATH");
    ScopedEnv path("PATH", bin.string() + ":" + (oldPath ? oldPath : "/usr/bin:/bin"));

    // 1.7 KB holding 100 MB of zeros and two small files.
    const fs::path bomb = data("zeros-100mb.arj");
    writeFile(dir() / "small.arj", readFile(bomb));
    EXPECT_EQ(count(bomb), 3);
    EXPECT_EQ(readFile(log), "l\n");
    host_.clear();
    extract(bomb, dir() / "out");
    EXPECT_TRUE(anyErrorSays("compression bomb")) << host_.errorText();
    EXPECT_TRUE(tree(dir() / "out").empty());
    EXPECT_EQ(readFile(log).find('x'), std::string::npos) << "unpacked although the list was too big";

    // A program that unpacks more than its list said is stopped all the same.
    {
        writeFile(bin / "arj",
                  "#!/bin/sh\nif [ \"$1\" = l ]; then echo '     1 files         10         10 1.000'; exit 0; fi\n"
                  "head -c 100000000 /dev/zero > \"$4/big\"\n");
        host_.clear();
        extract(dir() / "small.arj", dir() / "out3");
        EXPECT_TRUE(anyErrorSays("compression bomb")) << host_.errorText();
        EXPECT_TRUE(tree(dir() / "out3").empty());
        writeFile(bin / "arj", "#!/bin/sh\necho \"$1\" >> " + q(log) + "\nexec /usr/bin/arj \"$@\"\n");
    }

    // A plain one is counted the same way and still unpacks, in the private temporary folder.
    fs::create_directories(dir() / "src");
    writeFile(dir() / "src" / "a.txt", std::string("alpha"));
    writeFile(dir() / "src" / "b.txt", std::string("beta"));
    ASSERT_EQ(runCommand("cd " + q(dir()) + " && /usr/bin/arj a -r p.arj src > /dev/null"), 0);
    EXPECT_EQ(count(dir() / "p.arj"), 2);
    host_.clear();
    extract(dir() / "p.arj", dir() / "out2");
    EXPECT_TRUE(host_.errors.empty()) << host_.errorText();
    EXPECT_EQ(readFile(dir() / "out2" / "src" / "b.txt"), "beta");
    for (auto& e : fs::recursive_directory_iterator(tmpDir().parent_path()))
        EXPECT_EQ(e.path().filename().string().rfind("qzunpack", 0), std::string::npos) << e.path();
}

// A program that never ends is ended by Abort, with what it started, and sees no
// descriptor of ours; a password reaches its prompt exactly as given.
TEST_F(ReadingTest, AbortEndsAnOutsideProgramAndAllItStarted) {
    const fs::path bin = dir() / "bin";
    const int ours = ::open(dir().c_str(), O_RDONLY);  // not closed on exec
    ASSERT_GE(ours, 3);
    writeFile(bin / "lsar", "#!/bin/sh\ncd " + q(dir()) + "\nsleep 300 &\necho $$ $! > pids.part\n[ -e /proc/$$/fd/" +
                                std::to_string(ours) +
                                " ] && echo leaked > leak\n"
                                "if [ \"$1\" = -j ] && [ -t 0 ]; then printf 'Password (will not be shown): ';"
                                " IFS= read -r pw; printf '%s' \"$pw\" > typed; fi\nmv pids.part pids\nwait\n");
    fs::permissions(bin / "lsar", fs::perms::owner_all);
    writeFile(bin / "unar", std::string("#!/bin/sh\nexit 1\n"));
    fs::permissions(bin / "unar", fs::perms::owner_all);
    const char* oldPath = getenv("PATH");
    ScopedEnv path("PATH", bin.string() + ":" + (oldPath ? oldPath : "/usr/bin:/bin"));
    writeFile(dir() / "x.ace", std::string("\0\0\0\0\0\0\0**ACE**", 14) + std::string(64, '\0'));
    auto abortFn = lib_->entry<QzAbortFn>("Abort");
    auto extractWith =
        lib_->entry<void (*)(const char*, const char*, const char*, int, int, const char*, platform::WindowHandle)>(
            "ExtractFileWithPassword");
    const std::string password = "-x \"it's\" \xC3\xA9t\xC3\xA9 " + std::string(190, 'p');
    // Gone, or a zombie no one has reaped yet.
    auto ended = [](pid_t pid) {
        for (int i = 0; i < 500; ++i, usleep(10000)) {
            std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
            std::string line;
            if (!std::getline(stat, line) || line.substr(line.rfind(')') + 2, 1) == "Z") return true;
        }
        return false;
    };
    for (const std::string& pw : {std::string(), password}) {
        fs::remove(dir() / "pids");
        host_.clear();
        std::thread worker(
            [&] { extractWith((dir() / "x.ace").c_str(), "*.*", (dir() / "out").c_str(), 1, 1, pw.c_str(), &host_); });
        for (int i = 0; i < 3000 && !fs::exists(dir() / "pids"); ++i) usleep(10000);
        abortFn();
        worker.join();
        std::istringstream pids(readFile(dir() / "pids"));
        for (pid_t pid; pids >> pid;)
            EXPECT_TRUE(ended(pid)) << "process " << pid << " still runs" << (pw.empty() ? "" : " (password)");
        EXPECT_EQ(host_.errorText().find("ppppp"), std::string::npos);
    }
    EXPECT_EQ(readFile(dir() / "typed"), password);
    EXPECT_FALSE(fs::exists(dir() / "leak"));
    ::close(ours);
    // A program that ends, leaving something running that holds its output, ends the
    // listing all the same, and what it left ends too.
    writeFile(bin / "lsar", "#!/bin/sh\nsleep 300 &\necho $! > " + q(dir() / "left") + "\n");
    fs::permissions(bin / "lsar", fs::perms::owner_all);
    (void)count(dir() / "x.ace");
    EXPECT_TRUE(ended(std::stoi(readFile(dir() / "left"))));
}

TEST_F(ReadingTest, NonAsciiNamesWhateverTheLocale) {
    const std::vector<std::string> rarNames = {"\xF0\x9F\x91\x8B\xF0\x9F\x8C\x8E.txt",
                                               "\xE2\x92\xBD\xE2\x93\x90\xE2\x93\xA1\xE2\x93\x93 "
                                               "\xE2\x93\x81\xE2\x93\x98\xE2\x93\x9D\xE2\x93\x9A.txt"};
    const std::vector<std::string> lhaNames = {
        "\xC3\x9C\xC3\x96\xC3\x84\xC3\xBC\xC3\xB6\xC3\xA4\\"
        "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x84\xC3\x96\xC3\x9C.txt",
        "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88\\"
        "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x84\xC3\x96\xC3\x9C.txt"};
    const std::string name1 =
        "Gr\xC3\xBC\xC3\x9F"
        "e \xE2\x9C\x93.txt";
    const std::string name2 = "\xE6\x97\xA5\xE6\x9C\xAC";  // a folder
    const std::string name3 = "\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82.txt";
    fs::create_directories(dir() / "src" / name2);
    writeFile(dir() / "src" / name1, std::string("one"));
    writeFile(dir() / "src" / name2 / name3, std::string("three"));
    const std::vector<std::pair<std::string, std::string>> expected = {{name1, "one"}, {name2 + "/" + name3, "three"}};
    const std::string utf8 = "cd " + q(dir() / "src") + " && LC_ALL=C.UTF-8 ";
    const bool have7z = haveTool("7z"), haveGcab = haveTool("gcab");
    if (have7z) {
        ASSERT_EQ(runCommand(utf8 + "7z a -t7z ../n.7z . > /dev/null"), 0);
        ASSERT_EQ(runCommand(utf8 + "7z a -tzip ../n.zip . > /dev/null"), 0);
    }
    if (haveGcab) {
        ASSERT_EQ(runCommand(utf8 + "gcab -c ../n.cab '" + name1 + "' '" + name2 + "/" + name3 + "'"), 0);
    }

    for (const char* locale : {"C", "C.UTF-8"}) {
        ProcessLocale scope(locale);
        if (!scope.ok()) continue;
        SCOPED_TRACE(locale);
        host_.clear();
        list(data("rar5-unicode-names-and-links.rar"));
        list(data("lha-utf16-names.lzh"));
        const auto names = host_.listedNames();
        for (const auto& n : rarNames) EXPECT_NE(std::find(names.begin(), names.end(), n), names.end()) << n;
        for (const auto& n : lhaNames) EXPECT_NE(std::find(names.begin(), names.end(), n), names.end()) << n;
        EXPECT_TRUE(host_.errors.empty()) << host_.errorText();

        std::vector<fs::path> made;
        if (have7z) made.insert(made.end(), {dir() / "n.7z", dir() / "n.zip"});
        if (haveGcab) made.push_back(dir() / "n.cab");
        for (const auto& archive : made) {
            SCOPED_TRACE(archive.filename().string());
            host_.clear();
            const fs::path out = dir() / (std::string("out-") + locale + archive.extension().string());
            extract(archive, out);
            EXPECT_TRUE(host_.errors.empty()) << host_.errorText();
            EXPECT_EQ(tree(out), expected);
        }
        if (have7z) {
            // zip to tar keeps them.
            const fs::path tar = dir() / (std::string("n-") + locale + ".tar");
            host_.clear();
            convert(dir() / "n.zip", tar, kFormatTar);
            EXPECT_TRUE(host_.errors.empty()) << host_.errorText();
            host_.clear();
            extract(tar, dir() / (std::string("out-tar-") + locale));
            EXPECT_TRUE(host_.errors.empty()) << host_.errorText();
            EXPECT_EQ(tree(dir() / (std::string("out-tar-") + locale)), expected);
        }
    }
    if (!have7z || !haveGcab) GTEST_SKIP() << "7z or gcab not installed: only the reference archives were read";
}

TEST_F(ReadingTest, HardLinksAreLinksAndNeverEmptyFiles) {
    ProcessLocale scope("C");
    const fs::path rar = data("rar5-unicode-names-and-links.rar");
    const std::string target = "\xF0\x9F\x91\x8B\xF0\x9F\x8C\x8E.txt";
    const std::string link =
        "\xE2\x92\xBD\xE2\x93\x90\xE2\x93\xA1\xE2\x93\x93 "
        "\xE2\x93\x81\xE2\x93\x98\xE2\x93\x9D\xE2\x93\x9A.txt";
    host_.clear();
    extract(rar, dir() / "out");
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    EXPECT_EQ(host_.processed.size(), 3u);
    EXPECT_EQ(readFile(dir() / "out" / link), readFile(dir() / "out" / target));
    EXPECT_EQ(readFile(dir() / "out" / link).size(), 13u);
    EXPECT_EQ(fs::hard_link_count(dir() / "out" / link), 2u);
    host_.clear();
    test(rar);
    EXPECT_EQ(passed(), 3u);

    // A hard link whose target is not in the archive: never reported as done, and
    // never linked to a file of that name that was there before.
    writeTar(dir() / "h.tar", {{"real.txt", 'f', "real"}, {"link.txt", 'h', "gone.txt"}, {"ok.txt", 'h', "real.txt"}});
    writeFile(dir() / "out2" / "gone.txt", std::string("the user's own"));
    host_.clear();
    extract(dir() / "h.tar", dir() / "out2");
    ASSERT_EQ(host_.errors.size(), 1u) << host_.errorText();
    EXPECT_EQ(host_.errors[0].entryName, "link.txt");
    EXPECT_EQ(host_.processed.size(), 2u);
    EXPECT_FALSE(fs::exists(dir() / "out2" / "link.txt"));
    EXPECT_EQ(fs::hard_link_count(dir() / "out2" / "gone.txt"), 1u);
    EXPECT_EQ(readFile(dir() / "out2" / "ok.txt"), "real");
    host_.clear();
    test(dir() / "h.tar");
    EXPECT_EQ(host_.tested,
              (std::vector<std::pair<std::string, bool>>{{"real.txt", true}, {"link.txt", false}, {"ok.txt", true}}));
}

TEST_F(ReadingTest, RelativeLinksThatStayInsideAreMade) {
    host_.clear();
    extract(data("lha-relative-links.lzh"), dir() / "lzh");
    EXPECT_TRUE(host_.errors.empty()) << host_.errorText();
    ASSERT_TRUE(fs::is_symlink(dir() / "lzh" / "dir2" / "symlink1"));
    EXPECT_EQ(fs::read_symlink(dir() / "lzh" / "dir2" / "symlink1"), "../file1");
    EXPECT_EQ(readFile(dir() / "lzh" / "dir2" / "symlink1"), readFile(dir() / "lzh" / "file1"));

    writeTar(dir() / "l.tar", {{"f.txt", 'f', "content"},
                               {"d/", 'd', ""},
                               {"d/up", 'l', "../f.txt"},
                               {"d/sub/deep", 'l', "../../f.txt"},
                               {"d/out", 'l', "../../outside.txt"},
                               {"d/abs", 'l', "/etc/passwd"}});
    host_.clear();
    extract(dir() / "l.tar", dir() / "tar");
    EXPECT_EQ(readFile(dir() / "tar" / "d" / "up"), "content");
    EXPECT_EQ(readFile(dir() / "tar" / "d" / "sub" / "deep"), "content");
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir() / "tar" / "d" / "out")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir() / "tar" / "d" / "abs")));
    ASSERT_EQ(host_.errors.size(), 2u) << host_.errorText();
    EXPECT_TRUE(anyErrorSays("outside the destination"));
}

TEST_F(ReadingTest, AFullDiskLeavesNoPartialFile) {
    const fs::path small = dir() / "small";
    fs::create_directories(small);
    if (runCommand("mount -t tmpfs -o size=1440k tmpfs " + q(small) + " 2>/dev/null") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
    struct Unmount {
        fs::path at;
        ~Unmount() { runCommand("umount " + q(at)); }
    } unmount{small};
    const std::vector<std::uint8_t> big = randomBytes(3000000, 3);
    writeTar(dir() / "full.tar", {{"s.txt", 'f', "small"}, {"big.bin", 'f', std::string(big.begin(), big.end())}});
    host_.clear();
    extract(dir() / "full.tar", small / "out");
    ASSERT_EQ(host_.errors.size(), 1u) << host_.errorText();
    EXPECT_NE(host_.errors[0].details.find("No space left"), std::string::npos) << host_.errorText();
    EXPECT_EQ(host_.processed.size(), 1u);
    EXPECT_EQ(tree(small / "out"), (std::vector<std::pair<std::string, std::string>>{{"s.txt", "small"}}));
    // Nothing else, hidden or not, was left in the folder.
    std::size_t entries = 0;
    for (auto& e : fs::directory_iterator(small / "out")) entries += e.exists();
    EXPECT_EQ(entries, 1u);
}

}  // namespace
}  // namespace quarva::formatlib::testing
