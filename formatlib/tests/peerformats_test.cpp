// Formats bsdtar reads that are no archives of files in the usual sense: rpm
// packages, web archives (warc) and mtree lists; and rar sets of volumes, read
// whole from any of their pieces.

#include "FormatLibTestSupport.h"

namespace quarva::formatlib::testing {
namespace {

class PeerFormatsTest : public FormatLibTest {
protected:
    std::string type(const fs::path& file) {
        char found[256] = "?";
        lib_->entry<QzArchiveTypeFn>("ArchiveType")(file.c_str(), found, sizeof found);
        return found;
    }
    // What bsdtar unpacks from the archive (empty when it is not installed).
    std::vector<std::pair<std::string, std::string>> peerTree(const fs::path& archive) {
        if (!haveTool("bsdtar")) return {};
        const fs::path out = dir() / ("peer-" + archive.filename().string());
        fs::create_directories(out);
        EXPECT_EQ(runCommand("bsdtar -xf " + q(archive) + " -C " + q(out)), 0);
        return tree(out);
    }
};

TEST_F(PeerFormatsTest, RpmAndWarcReadAsBsdtarReadsThem) {
    // The rpm's payload is a gzip-compressed cpio; chosen by content under any name.
    fs::copy_file(data("rpm-cpio-gzip.rpm"), dir() / "package");
    EXPECT_EQ(type(dir() / "package"), "rpm");
    list(dir() / "package");
    EXPECT_EQ(host_.listedNames(), (std::vector<std::string>{".\\etc\\file1", ".\\etc\\file2", ".\\etc\\file3"}))
        << host_.errorText();
    extract(dir() / "package", dir() / "rpm-out");
    EXPECT_EQ(host_.outcome(), static_cast<int>(kOutcomeOk)) << host_.errorText();
    EXPECT_EQ(readFile(dir() / "rpm-out" / "etc" / "file2"), "hello\n");
    if (haveTool("bsdtar")) {
        EXPECT_EQ(tree(dir() / "rpm-out"), peerTree(dir() / "package"));
    }

    // A warc written by hand: a warcinfo record (no file), two resources, a request
    // (no file); each record's block followed by its CR LF CR LF separator.
    auto record = [](const std::string& type, const std::string& uri, const std::string& block) {
        std::string r = "WARC/1.0\r\nWARC-Type: " + type + "\r\n";
        if (!uri.empty()) r += "WARC-Target-URI: " + uri + "\r\n";
        r += "WARC-Date: 2024-05-01T10:00:00Z\r\nWARC-Record-ID: <urn:uuid:" + type + uri.substr(0, 4) +
             ">\r\nContent-Length: " + std::to_string(block.size()) + "\r\n\r\n" + block + "\r\n\r\n";
        return r;
    };
    const std::string page = "<html>\r\nquotes \" and \x01 bytes\r\n</html>";
    writeFile(dir() / "site.warc", record("warcinfo", "", "software: hand\r\n") +
                                       record("resource", "file://index.html", page) +
                                       record("resource", "file://notes.txt", "one line\n") +
                                       record("request", "http://example.org/", "GET / HTTP/1.1\r\n\r\n"));
    EXPECT_EQ(type(dir() / "site.warc"), "warc");
    host_.clear();
    test(dir() / "site.warc");
    EXPECT_EQ(host_.outcome(), static_cast<int>(kOutcomeOk)) << host_.errorText();
    extract(dir() / "site.warc", dir() / "warc-out");
    EXPECT_EQ(readFile(dir() / "warc-out" / "index.html"), page);  // the separator is no data
    EXPECT_EQ(readFile(dir() / "warc-out" / "notes.txt"), "one line\n");
    if (haveTool("bsdtar")) {
        EXPECT_EQ(tree(dir() / "warc-out"), peerTree(dir() / "site.warc"));
    }
}

TEST_F(PeerFormatsTest, ASparseFileEndingInAHoleReadsWhole) {
    // Its sparse map's last data block ends before the file does: the rest is zeros.
    const fs::path archive = data("sparse-ends-in-hole.tar.Z");
    test(archive);
    EXPECT_EQ(host_.outcome(), static_cast<int>(kOutcomeOk)) << host_.errorText();
    extract(archive, dir() / "out");
    EXPECT_TRUE(readFile(dir() / "out" / "dir" / "GNUSparseFile.0" / "file1") == std::string(1279, '\0'));
    if (haveTool("bsdtar")) {
        EXPECT_EQ(tree(dir() / "out"), peerTree(archive));
    }
}

TEST_F(PeerFormatsTest, ACompressedEmptyFileHoldsNoEntry) {
    // bsdtar reads no entry from it; a wrong trailer still fails.
    for (const char* tool : {"gzip", "xz", "zstd"}) {
        if (!haveTool(tool)) continue;
        const fs::path file = dir() / (std::string("empty.") + tool);
        ASSERT_EQ(runCommand(std::string(tool) + " -c < /dev/null > " + q(file)), 0);
        host_.clear();
        test(file);
        EXPECT_EQ(host_.outcome(), static_cast<int>(kOutcomeOk)) << tool << ": " << host_.errorText();
        EXPECT_TRUE(host_.tested.empty()) << tool;
    }
    if (!haveTool("gzip")) return;
    std::string bytes = readFile(dir() / "empty.gzip");
    bytes.back() = '\x01';  // the length in the trailer
    writeFile(dir() / "bad.gz", bytes);
    host_.clear();
    test(dir() / "bad.gz");
    EXPECT_NE(host_.errorText().find("the length in the gzip trailer does not match"), std::string::npos)
        << host_.errorText();
}

TEST_F(PeerFormatsTest, MtreeIsListedNeverFilledFromThisComputer) {
    // Entries that name host files, by path and by "contents=": listing must not
    // look at them (their size would come from the file), extraction refuses.
    writeFile(dir() / "secret.txt", "12345");
    const std::string secret = (dir() / "secret.txt").string();
    // (A name climbs from wherever the reader runs to the file.)
    writeFile(dir() / "list.mtree",
              "#mtree\n/set type=file mode=0644\n./docs type=dir mode=0755\n"
              "./docs/a\\040b.txt size=3\n./../../../../../../../../../../../../.." +
                  secret + "\n./copy contents=" + secret + "\n./link type=link link=/etc\n");
    EXPECT_EQ(type(dir() / "list.mtree"), "mtree");
    list(dir() / "list.mtree");
    EXPECT_EQ(host_.outcome(), static_cast<int>(kOutcomeOk)) << host_.errorText();
    ASSERT_EQ(host_.listed.size(), 5u);
    for (const auto& e : host_.listed)
        if (e.name.find("a b.txt") == std::string::npos) {
            EXPECT_EQ(e.size, 0u) << e.name;
        }
    host_.clear();
    test(dir() / "list.mtree");
    EXPECT_EQ(host_.outcome(), static_cast<int>(kOutcomeOk)) << host_.errorText();
    host_.clear();
    extract(dir() / "list.mtree", dir() / "out");
    EXPECT_EQ(host_.outcome(), static_cast<int>(kOutcomeFailed));
    EXPECT_NE(host_.errorText().find("holds none of their content"), std::string::npos) << host_.errorText();
    EXPECT_TRUE(fs::is_empty(dir() / "out"));
    host_.clear();
    convert(dir() / "list.mtree", dir() / "list.zip", kFormatZip);
    EXPECT_FALSE(fs::exists(dir() / "list.zip"));

    // Without "#mtree": every line a record of keywords. Plain text is no mtree.
    writeFile(dir() / "bare", "# made by hand\nfile type=file uid=18 mode=0123 size=3\ndir type=dir\n ..\n");
    EXPECT_EQ(type(dir() / "bare"), "mtree");
    writeFile(dir() / "prose.mtree", "size=3 is what the notes say\nand type=dir too\n");
    EXPECT_EQ(type(dir() / "prose.mtree"), "plain text");
}

TEST_F(PeerFormatsTest, RarSetsAreReadWholeFromAnyPiece) {
    // A compressed RAR 5 set (libarchive reads it; the 7z of Debian has no rar decoder).
    for (int i = 1; i <= 4; ++i) {
        const std::string piece = "rar5-solid-set.part0" + std::to_string(i) + ".rar";
        fs::copy_file(data(piece), dir() / ("solid set.part0" + std::to_string(i) + ".rar"));
    }
    list(dir() / "solid set.part01.rar");
    EXPECT_EQ(host_.listedNames().size(), 9u) << host_.errorText();
    host_.clear();
    test(dir() / "solid set.part03.rar");
    EXPECT_EQ(host_.outcome(), static_cast<int>(kOutcomeOk)) << host_.errorText();
    EXPECT_EQ(host_.tested.size(), 9u);
    extract(dir() / "solid set.part01.rar", dir() / "solid-out");
    EXPECT_EQ(fs::file_size(dir() / "solid-out" / "elf-Linux-ARMv7-ls"), 90808u) << host_.errorText();

    // An old-style set of a stored RAR 4: name.rar, name.r00, name.r01.
    const char* old[] = {"OLD.RAR", "OLD.R00", "OLD.R01"};
    for (int i = 0; i < 3; ++i)
        fs::copy_file(data("rar4-stored-set.part" + std::to_string(i + 1) + ".rar"), dir() / old[i]);
    host_.clear();
    extract(dir() / "OLD.RAR", dir() / "old-out");
    EXPECT_EQ(host_.outcome(), static_cast<int>(kOutcomeOk)) << host_.errorText();
    EXPECT_EQ(fs::file_size(dir() / "old-out" / "LibarchiveAddingTest.html"), 20111u);
    if (haveTool("7z")) {  // 7z reads the same set under its own names
        for (int i = 1; i <= 3; ++i) {
            const std::string piece = "rar4-stored-set.part" + std::to_string(i) + ".rar";
            fs::copy_file(data(piece), dir() / piece);
        }
        ASSERT_EQ(runCommand("7z x -bd -y -o" + q(dir() / "peer-old") + " " + q(dir() / "rar4-stored-set.part1.rar") +
                             " >/dev/null"),
                  0);
        EXPECT_EQ(tree(dir() / "old-out"), tree(dir() / "peer-old"));
    }

    // A missing piece is named; a lone piece says what was looked for.
    fs::remove(dir() / "OLD.R01");
    host_.clear();
    test(dir() / "OLD.RAR");
    EXPECT_NE(host_.errorText().find("a piece after that may be missing"), std::string::npos) << host_.errorText();
    fs::remove(dir() / "OLD.RAR");
    host_.clear();
    test(dir() / "OLD.R00");
    EXPECT_NE(host_.errorText().find("other pieces are not beside it"), std::string::npos) << host_.errorText();
}

}  // namespace
}  // namespace quarva::formatlib::testing
