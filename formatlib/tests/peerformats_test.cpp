// Formats bsdtar reads that are no archives of files in the usual sense: rpm
// packages, web archives (warc) and mtree lists; rar sets of volumes, read whole
// from any of their pieces; and xar archives, read by a reader of our own.

#include <zlib.h>

#include <sys/resource.h>

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

// xar: what bsdtar writes, in every encoding it offers, reads back as bsdtar reads it;
// damaged reference archives and hostile tables of contents end with a clear
// message, never a hang.
class XarTest : public PeerFormatsTest {
protected:
    bool says(const std::string& text) const { return host_.errorText().find(text) != std::string::npos; }

    // A xar whose table of contents (without a checksum of its own) holds `files`
    // after `prolog`, with `heap` after it.
    static std::string handmade(const std::string& files, const std::string& heap = {},
                                const std::string& prolog = {}) {
        const std::string toc = "<?xml version=\"1.0\"?>\n" + prolog + "<xar><toc>" + files + "</toc></xar>";
        uLongf n = compressBound(toc.size());
        std::string packed(n, '\0');
        EXPECT_EQ(::compress(reinterpret_cast<Bytef*>(packed.data()), &n, reinterpret_cast<const Bytef*>(toc.data()),
                             toc.size()),
                  Z_OK);
        packed.resize(n);
        std::string h = "xar!";
        auto put = [&h](std::uint64_t v, int bytes) {
            for (int i = bytes - 1; i >= 0; --i) h += static_cast<char>((v >> (8 * i)) & 0xff);
        };
        put(28, 2);
        put(1, 2);
        put(packed.size(), 8);
        put(toc.size(), 8);
        put(0, 4);
        return h + packed + heap;
    }
    static std::string file(const std::string& id, const std::string& name, const std::string& inner) {
        return "<file id=\"" + id + "\"><name>" + name + "</name>" + inner + "</file>";
    }
    static std::string stored(std::uint64_t offset, std::uint64_t length, std::uint64_t size) {
        return "<type>file</type><data><offset>" + std::to_string(offset) + "</offset><length>" +
               std::to_string(length) + "</length><size>" + std::to_string(size) +
               "</size><encoding style=\"application/octet-stream\"/></data>";
    }
};

TEST_F(XarTest, WhatBsdtarWritesReadsAsBsdtarReadsIt) {
    if (!haveTool("bsdtar")) GTEST_SKIP() << "bsdtar is not installed";
    const fs::path src = makeTree();
    ASSERT_EQ(runCommand("cd " + q(src) + " && ln a.txt docs/hard && ln -s ../a.txt docs/link"), 0);
    writeFile(src / "docs" / "-lead \"quoted\" &amp.txt", std::string(3000, 'x'));
    const char* checksums[] = {"sha1", "md5", "none"};
    int i = 0;
    for (const char* method : {"none", "gzip", "bzip2", "lzma", "xz"}) {
        const std::string sum = checksums[i++ % 3];
        const fs::path archive = dir() / (std::string("made-") + method);  // no extension: chosen by content
        ASSERT_EQ(runCommand("cd " + q(dir()) + " && bsdtar --format xar --options xar:compression=" + method +
                             ",xar:checksum=" + sum + ",xar:toc-checksum=" + sum + " -cf " + q(archive) + " src"),
                  0);
        EXPECT_EQ(type(archive), "xar") << method;
        const fs::path ours = dir() / (std::string("ours-") + method), peer = dir() / (std::string("peer-") + method);
        fs::create_directories(peer);
        ASSERT_EQ(runCommand("bsdtar -xf " + q(archive) + " -C " + q(peer)), 0);
        host_.clear();
        test(archive);
        EXPECT_EQ(host_.outcome(), static_cast<int>(kOutcomeOk)) << method << host_.errorText();
        extract(archive, ours);
        EXPECT_EQ(host_.outcome(), static_cast<int>(kOutcomeOk)) << method << host_.errorText();
        EXPECT_EQ(tree(ours), tree(peer)) << method;
        EXPECT_EQ(tree(ours / "src"), tree(src)) << method;
        EXPECT_EQ(fs::read_symlink(ours / "src" / "docs" / "link"), "../a.txt") << method;
        EXPECT_TRUE(fs::equivalent(ours / "src" / "docs" / "hard", ours / "src" / "a.txt")) << method;
    }
    // Converted to a tar, links and all.
    host_.clear();
    convert(dir() / "made-xz", dir() / "converted.tar", kFormatTar);
    EXPECT_EQ(host_.outcome(), static_cast<int>(kOutcomeOk)) << host_.errorText();
    fs::create_directories(dir() / "from-tar");
    ASSERT_EQ(runCommand("bsdtar -xf " + q(dir() / "converted.tar") + " -C " + q(dir() / "from-tar")), 0);
    EXPECT_EQ(tree(dir() / "from-tar"), tree(dir() / "peer-xz"));
    EXPECT_TRUE(fs::equivalent(dir() / "from-tar" / "src" / "docs" / "hard", dir() / "from-tar" / "src" / "a.txt"));
    // Damage: a changed byte of stored data, then of the table's own checksum.
    std::string bytes = readFile(dir() / "made-none");
    const std::size_t at = bytes.rfind(std::string(3000, 'x'));
    ASSERT_NE(at, std::string::npos);
    bytes[at + 100] = 'y';
    writeFile(dir() / "bad-data.xar", bytes);
    host_.clear();
    test(dir() / "bad-data.xar");
    EXPECT_TRUE(says("the entry's stored data is damaged (its checksum does not match)")) << host_.errorText();
    EXPECT_EQ(std::count_if(host_.tested.begin(), host_.tested.end(), [](const auto& t) { return !t.second; }), 1)
        << "the other entries are still tested";
    bytes = readFile(dir() / "made-gzip");  // sha1: the table's checksum starts the heap
    const std::size_t heap = 28 + static_cast<unsigned char>(bytes[15]) + 256 * static_cast<unsigned char>(bytes[14]);
    bytes[heap] = static_cast<char>(bytes[heap] ^ 1);
    writeFile(dir() / "bad-toc.xar", bytes);
    host_.clear();
    list(dir() / "bad-toc.xar");
    EXPECT_TRUE(says("the table of contents is damaged (its checksum does not match)")) << host_.errorText();
}

TEST_F(XarTest, ReferenceArchivesReadAndTheLinkLoopEnds) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"xar-atou64-overread.xar", {"num"}},
        {"xar-base64-oob.xar", {"abc"}},
        {"xar-doublelink.xar", {"file1", "file2"}},  // libarchive 3.6 never ends on it
        {"xar-duplicate-filename-node.xar", {"FileFile"}},
        {"xar-large-mode.xar", {"empty"}},
        {"xar-parse-time-overread.xar", {"num"}},
    };
    for (const auto& [name, names] : cases) {
        host_.clear();
        list(data(name));
        EXPECT_EQ(host_.listedNames(), names) << name << host_.errorText();
        host_.clear();
        test(data(name));
        EXPECT_EQ(host_.outcome(), static_cast<int>(kOutcomeOk)) << name << host_.errorText();
    }
    extract(data("xar-duplicate-filename-node.xar"), dir() / "dup");
    EXPECT_EQ(readFile(dir() / "dup" / "FileFile"), "\r\n");
    extract(data("xar-doublelink.xar"), dir() / "double");
    EXPECT_TRUE(fs::equivalent(dir() / "double" / "file1", dir() / "double" / "file2"));
}

TEST_F(XarTest, HostileTablesEndWithAClearMessage) {
    // Each case: a table, its heap, the first step that must fail (0 listing, 1 testing,
    // 2 extracting) and what it says from there on.
    struct Case {
        std::string files, heap;
        int from;
        std::string says;
    };
    std::string deep = "<type>file</type>";
    for (int i = 0; i < 300; ++i) deep = "<file id=\"d" + std::to_string(i) + "\"><name>d</name>" + deep + "</file>";
    const Case cases[] = {
        {file("1", "a", "<type link=\"2\">hardlink</type>") + file("2", "b", "<type link=\"1\">hardlink</type>"), "", 0,
         "hard links of the archive point at each other"},
        {file("1", "a", "<type link=\"9\">hardlink</type>"), "", 0, "the hard link names no entry of the archive"},
        {file("1", "far", stored(1000000, 5, 5)), "hello", 1, "the entry's data lies past the end of the archive"},
        {file("1", "x", stored(18446744073709551615u, 2, 2)), "hello", 1, "lies past the end"},
        {file("1", "more", stored(0, 5, 3)), "hello", 1, "the entry's data is longer than the table of contents says"},
        {file("1", "less", stored(0, 5, 9)), "hello", 1, "the entry's data is shorter than the table of contents says"},
        {file("1", "x", "<data><offset>99999999999999999999</offset><length>1</length></data>"), "hello", 1,
         "the table of contents gives no place for the entry's data"},
        {file("1", "..", "<type>directory</type>" + file("2", "escape", stored(0, 5, 5))), "hello", 2,
         "Unsafe name refused"},
        {file("1", "/etc/abs", stored(0, 5, 5)), "hello", 2, "Unsafe name refused"},
        {file("1", "", stored(0, 5, 5)), "hello", 0, "an entry of the archive has no name"},
        {file("1", "x",
              "<type>file</type><data><offset>0</offset><length>5</length><size>5</size>"
              "<encoding style=\"application/x-unknown\"/></data>"),
         "hello", 1, "unsupported method"},
        {deep, "", 0, "the table of contents is damaged (its folders lie too deep within each other)"},
        {"<!DOCTYPE xar [<!ENTITY a \"aaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]>", "", 0,
         "the table of contents declares a document type"},
    };
    for (const auto& c : cases) {
        const fs::path archive = dir() / "hostile.xar";
        writeFile(archive, c.files.rfind("<!", 0) == 0 ? handmade("", "", c.files) : handmade(c.files, c.heap));
        const fs::path out = dir() / "out";
        fs::remove_all(out);
        for (int step = c.from; step < 3; ++step) {
            host_.clear();
            if (step == 0) list(archive);
            else if (step == 1) test(archive);
            else extract(archive, out);
            EXPECT_TRUE(says(c.says)) << c.files << " step " << step << ": " << host_.errorText();
        }
        EXPECT_FALSE(fs::exists(dir() / "escape"));
        EXPECT_FALSE(fs::exists("/etc/abs"));
    }
    // Sizes of the table in the header that lie, one way and the other.
    const std::string good = handmade(file("1", "a", stored(0, 5, 5)), "hello");
    for (const auto& [plain, message] : {std::pair<std::uint64_t, const char*>{200u << 20, "do not fit together"},
                                         {20, "larger than the header says"}}) {
        std::string bytes = good;
        for (int i = 0; i < 8; ++i) bytes[16 + i] = static_cast<char>((plain >> (8 * (7 - i))) & 0xff);
        writeFile(dir() / "lie.xar", bytes);
        host_.clear();
        list(dir() / "lie.xar");
        EXPECT_TRUE(says(message)) << host_.errorText();
    }
    // A '/' inside a name is a folder of the name: the file lands inside the destination.
    writeFile(dir() / "slash.xar",
              handmade(file("1", "top", "<type>directory</type>" + file("2", "in/side", stored(0, 5, 5))), "hello"));
    extract(dir() / "slash.xar", dir() / "slash");
    EXPECT_EQ(readFile(dir() / "slash" / "top" / "in" / "side"), "hello") << host_.errorText();
}

TEST_F(XarTest, SharedStoredDataAndUnwritableNamesStayBounded) {
    // Forty entries of 8 MiB each, all made of the same few stored kilobytes.
    std::string zeros(8u << 20, '\0');
    uLongf n = compressBound(zeros.size());
    std::string packed(n, '\0');
    ASSERT_EQ(::compress2(reinterpret_cast<Bytef*>(packed.data()), &n, reinterpret_cast<const Bytef*>(zeros.data()),
                          zeros.size(), 9),
              Z_OK);
    packed.resize(n);
    std::string files;
    for (int i = 0; i < 40; ++i)
        files += file(std::to_string(i), "f" + std::to_string(i),
                      "<type>file</type><data><offset>0</offset><length>" + std::to_string(n) + "</length><size>" +
                          std::to_string(zeros.size()) + "</size><encoding style=\"application/x-gzip\"/></data>");
    writeFile(dir() / "shared.xar", handmade(files, packed));
    extract(dir() / "shared.xar", dir() / "out");
    EXPECT_TRUE(says("compression bomb")) << host_.errorText();
    std::uint64_t total = 0;
    for (const auto& [name, content] : tree(dir() / "out")) total += content.size();
    EXPECT_LE(total, 64u << 20);
    // A long chain of hard links, each naming the one before, is resolved in one walk.
    files = file("0", "f0", stored(0, 5, 5));
    for (int i = 1; i < 20000; ++i)
        files += file(std::to_string(i), "h" + std::to_string(i),
                      "<type link=\"" + std::to_string(i - 1) + "\">hardlink</type>");
    writeFile(dir() / "chain.xar", handmade(files, "hello"));
    host_.clear();
    list(dir() / "chain.xar");
    EXPECT_EQ(host_.listedNames().size(), 20000u) << host_.errorText();
    // Names longer than a path may be are refused, and do not grow further below.
    files = file("x", "x", "<type>file</type>");
    for (int i = 0; i < 20; ++i)
        files = file("d" + std::to_string(i), std::string(255, 'n'), "<type>directory</type>" + files);
    writeFile(dir() / "long.xar", handmade(files));
    host_.clear();
    list(dir() / "long.xar");
    EXPECT_TRUE(says("the entry's name is longer than a path may be")) << host_.errorText();
    // Data whose checksum is of an unknown kind is read, with a warning that it is unchecked.
    writeFile(dir() / "sum.xar",
              handmade(file("1", "a",
                            "<type>file</type><data><offset>0</offset><length>5</length><size>5</size>"
                            "<extracted-checksum style=\"whirl\">00</extracted-checksum></data>"),
                       "hello"));
    host_.clear();
    test(dir() / "sum.xar");
    EXPECT_TRUE(says("does not know (whirl): its data cannot be checked")) << host_.errorText();
    // A name that is no valid UTF-8 cannot go into a zip: the conversion says so.
    writeFile(
        dir() / "latin.xar",
        handmade("<file id=\"1\"><name enctype=\"base64\">YeliYg==</name>" + stored(0, 5, 5) + "</file>", "hello"));
    host_.clear();
    convert(dir() / "latin.xar", dir() / "latin.zip", kFormatZip);
    EXPECT_TRUE(says("no valid UTF-8")) << host_.errorText();
    // Links that lead out, or to an entry left out, stay out of a converted archive.
    writeFile(dir() / "links.xar",
              handmade(file("1", "../up", stored(0, 5, 5)) + file("2", "h", "<type link=\"1\">hardlink</type>") +
                           file("3", "abs", "<type>symlink</type><link>/etc/passwd</link>") +
                           file("4", "climb", "<type>symlink</type><link>../../x</link>") +
                           file("5", "ok", "<type>symlink</type><link>sub/y</link>"),
                       "hello"));
    host_.clear();
    convert(dir() / "links.xar", dir() / "links.tar", kFormatTar);
    EXPECT_TRUE(says("the hard link's target is not in the new archive: ../up")) << host_.errorText();
    host_.clear();
    list(dir() / "links.tar");
    EXPECT_EQ(host_.listedNames(), std::vector<std::string>{"ok"}) << host_.errorText();
    // Five bytes declared as 2^63: the conversion fails without padding the entry out
    // to that size (past the file size limit set here, the process would end).
    writeFile(dir() / "huge.xar", handmade(file("1", "a", stored(0, 5, 1ull << 63)), "hello"));
    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit limited = old;
    limited.rlim_cur = 64u << 20;
    setrlimit(RLIMIT_FSIZE, &limited);
    host_.clear();
    convert(dir() / "huge.xar", dir() / "huge.tar", kFormatTar);
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_TRUE(says("shorter than the table of contents says")) << host_.errorText();
    EXPECT_FALSE(fs::exists(dir() / "huge.tar"));
}

}  // namespace
}  // namespace quarva::formatlib::testing
