// xar archives: what bsdtar writes, in every encoding it offers, reads back as bsdtar
// reads it; damaged reference archives and hostile tables of contents end with a
// clear message, never a hang.

#include <zlib.h>

#include "FormatLibTestSupport.h"

namespace quarva::formatlib::testing {
namespace {

class XarTest : public FormatLibTest {
protected:
    std::string type(const fs::path& file) {
        char found[256] = "?";
        lib_->entry<QzArchiveTypeFn>("ArchiveType")(file.c_str(), found, sizeof found);
        return found;
    }
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
        {deep, "", 0, "the table of contents is damaged"},
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

}  // namespace
}  // namespace quarva::formatlib::testing
