// Round trips through peer tools, and peer-made archives read byte-exactly.

#include <fcntl.h>
#include <sys/stat.h>

#include "FormatLibTestSupport.h"

namespace quarva::formatlib::testing {
namespace {

class FormatsTest : public FormatLibTest {
protected:
    // True (and said) when the peer tool for `file` is not installed.
    static bool missing(const std::string& tool, const std::string& file) {
        if (haveTool(tool)) return false;
        std::cout << "skipping " << file << ": " << tool << " not installed\n";
        return true;
    }
    // Extracts through the library and compares with the source tree.
    void expectExtractsTo(const fs::path& archive, const fs::path& expectedRoot, const std::string& prefix = "") {
        host_.clear();
        const fs::path out = dir() / ("out-" + archive.filename().string());
        extract(archive, out);
        ASSERT_TRUE(host_.errors.empty()) << archive << host_.errorText();
        EXPECT_EQ(tree(prefix.empty() ? out : out / prefix), tree(expectedRoot)) << archive;
    }
};

TEST_F(FormatsTest, OurArchivesReadBackByPeers) {
    const auto src = makeTree();
    struct Case {
        const char* file;
        const char* tool;
        const char* check;  // shell command; %A archive, %O out folder
    } cases[] = {
        {"r.tar", "bsdtar", "bsdtar -xf %A -C %O"},
        {"r.tar.gz", "bsdtar", "bsdtar -xzf %A -C %O"},
        {"r.tgz", "bsdtar", "bsdtar -xzf %A -C %O"},
        {"r.zip", "unzip", "unzip -q %A -d %O"},
        {"r.jar", "bsdtar", "bsdtar -xf %A -C %O"},
        {"r.cab", "cabextract", "cabextract -q -t %A && cabextract -q -d %O %A"},
        {"r.lzh", "lha", "lha tq %A && cd %O && lha xq %A"},
    };
    for (const auto& c : cases) {
        if (missing(c.tool, c.file)) continue;
        host_.clear();
        const fs::path archive = dir() / c.file;
        compress(archive, {src.string()});
        ASSERT_TRUE(host_.errors.empty()) << c.file << host_.errorText();
        const fs::path out = dir() / ("peer-" + std::string(c.file));
        fs::create_directories(out);
        std::string cmd = c.check;
        for (std::size_t p; (p = cmd.find("%A")) != std::string::npos;) cmd.replace(p, 2, q(archive));
        for (std::size_t p; (p = cmd.find("%O")) != std::string::npos;) cmd.replace(p, 2, q(out));
        std::string output;
        ASSERT_EQ(runCommand(cmd, &output), 0) << c.file << ": " << output;
        EXPECT_EQ(tree(out / "src"), tree(src)) << c.file;
        expectExtractsTo(archive, src, "src");
    }
}

TEST_F(FormatsTest, OneFileGzKeepsNameAndBytes) {
    if (!haveTool("gzip")) GTEST_SKIP() << "gzip not installed";
    const auto src = makeTree();
    compress(dir() / "b.txt.gz", {(src / "docs" / "b.txt").string()});
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    std::string out;
    ASSERT_EQ(runCommand("gzip -t " + q(dir() / "b.txt.gz")), 0);
    ASSERT_EQ(runCommand("gzip -l -N " + q(dir() / "b.txt.gz") + " | tail -1", &out), 0);
    EXPECT_NE(out.find("b.txt"), std::string::npos) << out;
    host_.clear();
    list(dir() / "b.txt.gz");
    EXPECT_EQ(host_.listedNames(), std::vector<std::string>{"b.txt"});
    // The file's time is kept in the gzip header, not taken from the .gz itself.
    struct timespec old[2] = {{1500000000, 0}, {1500000000, 0}};
    utimensat(AT_FDCWD, (src / "a.txt").c_str(), old, 0);
    compress(dir() / "a.txt.gz", {(src / "a.txt").string()});
    host_.clear();
    list(dir() / "a.txt.gz");
    ASSERT_EQ(host_.listed.size(), 1u);
    const std::time_t t = 1500000000;
    struct tm tmv {};
    localtime_r(&t, &tmv);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%d-%m-%y %H:%M", &tmv);
    EXPECT_EQ(host_.listed[0].modified, stamp);
    host_.clear();
    extract(dir() / "b.txt.gz", dir() / "gzout");
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    EXPECT_EQ(readFile(dir() / "gzout" / "b.txt"), readFile(src / "docs" / "b.txt"));
}

TEST_F(FormatsTest, SeveralFilesIntoANewGzMakeATarGz) {
    const auto src = makeTree();
    compress(dir() / "many.gz", {src.string()});
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    host_.clear();
    list(dir() / "many.gz");
    EXPECT_EQ(host_.listedNames().size(), 4u);
    // A plain gz takes no second file, and stays as it was.
    compress(dir() / "one.gz", {(src / "a.txt").string()});
    const std::string before = readFile(dir() / "one.gz");
    host_.clear();
    compress(dir() / "one.gz", {(src / "empty.txt").string()});
    ASSERT_EQ(host_.errors.size(), 1u);
    EXPECT_EQ(readFile(dir() / "one.gz"), before);
}

TEST_F(FormatsTest, PeerMadeArchivesListAndExtractByteExactly) {
    const auto src = makeTree();
    const std::string in = "cd " + q(dir()) + " && ";
    // Each archive by the command that makes it (the tool is its first word).
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"p.tar", "bsdtar cf p.tar src"},
        {"p.pax.tar", "bsdtar --format pax -cf p.pax.tar src"},
        {"p.gnu.tar", "tar --format=gnu -cf p.gnu.tar src"},
        {"p.tar.gz", "bsdtar czf p.tar.gz src"},
        {"p.tar.bz2", "bsdtar cjf p.tar.bz2 src"},
        {"p.tar.xz", "bsdtar cJf p.tar.xz src"},
        {"p.zip", "zip -qr p.zip src"},
        {"p.7z", "7z a -bd -y p.7z src > /dev/null"},
        {"p.bsd.zip", "bsdtar --format zip -cf p.bsd.zip src"}};
    for (const auto& [file, make] : cases) {
        if (missing(make.substr(0, make.find(' ')), file)) continue;
        std::string out;
        ASSERT_EQ(runCommand(in + make, &out), 0) << out;
        host_.clear();
        list(dir() / file);
        ASSERT_TRUE(host_.errors.empty()) << file << host_.errorText();
        EXPECT_EQ(host_.listedNames(), (std::vector<std::string>{"src\\a.txt", "src\\docs\\b.txt",
                                                                 "src\\docs\\deep\\c.bin", "src\\empty.txt"}))
            << file;
        expectExtractsTo(dir() / file, src, "src");
        host_.clear();
        test(dir() / file);
        EXPECT_EQ(host_.tested.size(), 4u) << file;
        for (const auto& t : host_.tested) EXPECT_TRUE(t.second) << file << " " << t.first;
        EXPECT_EQ(count(dir() / file), 4) << file;
        host_.clear();
        lib_->entry<QzTurboFindTextFn>("TurboFindText")((dir() / file).c_str(), "needle", 1, &host_);
        ASSERT_EQ(host_.matches.size(), 1u) << file << host_.errorText();
        EXPECT_EQ(host_.matches[0].entry, "src\\a.txt");
        // Through a conversion too.
        const fs::path converted = dir() / (file + ".lzh");
        host_.clear();
        convert(dir() / file, converted, kFormatLha);
        ASSERT_TRUE(host_.errors.empty()) << file << host_.errorText();
        expectExtractsTo(converted, src, "src");
    }
}

TEST_F(FormatsTest, PeerGzipAndUuencode) {
    const auto src = makeTree();
    if (haveTool("gzip")) {
        ASSERT_EQ(runCommand("gzip -c " + q(src / "docs" / "b.txt") + " > " + q(dir() / "b.txt.gz")), 0);
        host_.clear();
        extract(dir() / "b.txt.gz", dir() / "g");
        ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
        EXPECT_EQ(readFile(dir() / "g" / "b.txt"), readFile(src / "docs" / "b.txt"));
    }
    if (haveTool("uuencode")) {
        ASSERT_EQ(runCommand("uuencode " + q(src / "docs" / "deep" / "c.bin") + " c.bin > " + q(dir() / "c.uue")), 0);
        host_.clear();
        list(dir() / "c.uue");
        ASSERT_EQ(host_.listed.size(), 1u) << host_.errorText();
        EXPECT_EQ(host_.listed[0].name, "c.bin");
        EXPECT_EQ(host_.listed[0].size, 70000u);
        extract(dir() / "c.uue", dir() / "u");
        ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
        EXPECT_EQ(readFile(dir() / "u" / "c.bin"), readFile(src / "docs" / "deep" / "c.bin"));
    }
}

TEST_F(FormatsTest, EncodedTextRoundTripsThroughUudecodeAndOurDecoder) {
    const auto src = makeTree();
    compress(dir() / "e.zip", {src.string()});
    for (int method : {kEncodeUU, kEncodeXX}) {
        for (bool table : {false, true}) {
            const fs::path target = dir() / (std::string("e") + (table ? "t" : "") + (method ? ".xxe" : ".uue"));
            host_.clear();
            encode(dir() / "e.zip", target, method, table);
            ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
            const std::string text = readFile(target);
            EXPECT_EQ(text.rfind("table\n", 0) == 0, table);
            if (method == kEncodeUU && !table && haveTool("uudecode")) {
                ASSERT_EQ(runCommand("uudecode -o " + q(dir() / "peer.zip") + " " + q(target)), 0);
                EXPECT_EQ(readFile(dir() / "peer.zip"), readFile(dir() / "e.zip"));
            }
            host_.clear();
            list(target);
            ASSERT_EQ(host_.listedNames(), std::vector<std::string>{"e.zip"}) << target << host_.errorText();
            const fs::path out = dir() / ("dec-" + target.filename().string());
            extract(target, out);
            ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
            EXPECT_EQ(readFile(out / "e.zip"), readFile(dir() / "e.zip")) << target;
        }
    }
}

TEST_F(FormatsTest, PasswordZipUsesZipCrypto) {
    if (!haveTool("unzip")) GTEST_SKIP() << "unzip not installed";
    const auto src = makeTree();
    compress(dir() / "secret.zip", {(src / "a.txt").string()}, true, false, "s3cret");
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    std::string out;
    EXPECT_NE(runCommand("unzip -P wrong -o -q " + q(dir() / "secret.zip") + " -d " + q(dir() / "w"), &out), 0);
    ASSERT_EQ(runCommand("unzip -P s3cret -o -q " + q(dir() / "secret.zip") + " -d " + q(dir() / "r"), &out), 0) << out;
    EXPECT_EQ(readFile(dir() / "r" / "a.txt"), readFile(src / "a.txt"));
    // Without the password the library reports it and writes nothing.
    host_.clear();
    extract(dir() / "secret.zip", dir() / "nopw");
    ASSERT_EQ(host_.errors.size(), 1u);
    EXPECT_FALSE(fs::exists(dir() / "nopw" / "a.txt"));
    host_.clear();
    lib_->entry<void (*)(const char*, const char*, const char*, int, int, const char*, platform::WindowHandle)>(
        "ExtractFileWithPassword")((dir() / "secret.zip").c_str(), "*.*", (dir() / "pw").c_str(), 1, 1, "s3cret",
                                   &host_);
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    EXPECT_EQ(readFile(dir() / "pw" / "a.txt"), readFile(src / "a.txt"));
}

TEST_F(FormatsTest, AddReplacesAndDeleteRemovesThroughATemporaryFile) {
    const auto src = makeTree();
    for (const char* name : {"m.tar", "m.zip", "m.cab", "m.lzh", "m.tgz"}) {
        host_.clear();
        const fs::path archive = dir() / name;
        compress(archive, {(src / "a.txt").string()});
        writeFile(dir() / "a.txt", std::string("newer content"));
        compress(archive, {(dir() / "a.txt").string(), (src / "empty.txt").string()});
        ASSERT_TRUE(host_.errors.empty()) << name << host_.errorText();
        host_.clear();
        list(archive);
        EXPECT_EQ(host_.listedNames(), (std::vector<std::string>{"a.txt", "empty.txt"})) << name;
        extract(archive, dir() / ("x-" + std::string(name)));
        EXPECT_EQ(readFile(dir() / ("x-" + std::string(name)) / "a.txt"), "newer content") << name;
        // Deleting what is not there changes nothing.
        const std::string before = readFile(archive);
        host_.clear();
        remove(archive, {"nothing.here"});
        EXPECT_EQ(host_.errors.size(), 1u) << name;
        EXPECT_EQ(readFile(archive), before) << name;
        host_.clear();
        remove(archive, {"a.txt"});
        ASSERT_TRUE(host_.errors.empty()) << name << host_.errorText();
        host_.clear();
        list(archive);
        EXPECT_EQ(host_.listedNames(), std::vector<std::string>{"empty.txt"}) << name;
        // No temporary files are left behind.
        for (auto& e : fs::directory_iterator(dir())) EXPECT_NE(e.path().filename().string().rfind(".~", 0), 0u);
    }
}

TEST_F(FormatsTest, DeletingAFolderTakesItsEntriesAndItself) {
    const auto src = makeTree();
    for (const char* name : {"f.tar", "f.zip", "f.lzh"}) {
        host_.clear();
        compress(dir() / name, {src.string()});
        host_.clear();
        remove(dir() / name, {"src\\docs\\"});
        ASSERT_TRUE(host_.errors.empty()) << name << host_.errorText();
        host_.clear();
        list(dir() / name);
        std::vector<std::string> all;
        for (const auto& e : host_.listed) all.push_back(e.name);
        EXPECT_EQ(all, (std::vector<std::string>{"src\\", "src\\a.txt", "src\\empty.txt"})) << name;
    }
}

TEST_F(FormatsTest, LinksInsideTheTreeSurviveTheRoundTrip) {
    const auto src = makeTree();
    fs::create_symlink("docs/b.txt", src / "link");
    for (const char* name : {"k.tar", "k.zip", "k.lzh"}) {
        host_.clear();
        compress(dir() / name, {src.string()});
        ASSERT_TRUE(host_.errors.empty()) << name << host_.errorText();
        const fs::path out = dir() / ("k-" + std::string(name));
        extract(dir() / name, out);
        ASSERT_TRUE(host_.errors.empty()) << name << host_.errorText();
        ASSERT_TRUE(fs::is_symlink(out / "src" / "link")) << name;
        EXPECT_EQ(fs::read_symlink(out / "src" / "link"), fs::path("docs/b.txt")) << name;
    }
    if (haveTool("lha")) {
        fs::create_directories(dir() / "peer");
        std::string out;
        ASSERT_EQ(runCommand("cd '" + (dir() / "peer").string() + "' && lha xq ../k.lzh", &out), 0) << out;
        ASSERT_TRUE(fs::is_symlink(dir() / "peer" / "src" / "link"));
        EXPECT_EQ(fs::read_symlink(dir() / "peer" / "src" / "link"), fs::path("docs/b.txt"));
    }
    // A cabinet cannot hold the link: it is left out with a report, the rest goes in.
    host_.clear();
    compress(dir() / "k.cab", {src.string()});
    ASSERT_EQ(host_.errors.size(), 1u) << host_.errorText();
    host_.clear();
    list(dir() / "k.cab");
    EXPECT_EQ(host_.listedNames().size(), 4u);
}

TEST_F(FormatsTest, ReadOnlyFormatsRefuseChangesClearly) {
    if (!haveTool("7z")) GTEST_SKIP() << "7z not installed";
    const auto src = makeTree();
    ASSERT_EQ(runCommand("cd " + q(dir()) + " && 7z a -bd -y r.7z src > /dev/null"), 0);
    const std::string before = readFile(dir() / "r.7z");
    remove(dir() / "r.7z", {"src\\a.txt"});
    ASSERT_EQ(host_.errors.size(), 1u);
    EXPECT_EQ(readFile(dir() / "r.7z"), before);
}

TEST_F(FormatsTest, FormatsNeedingAnOutsideToolSayWhatToInstall) {
    if (haveTool("unar")) GTEST_SKIP() << "unar is installed here";
    writeFile(dir() / "old.ace", std::string("0123456**ACE**more", 18));
    writeFile(dir() / "old.zoo", std::string("ZOO 2.10 Archive.\x1a\0\0\xdc\xa7\xc4\xfd", 24));
    for (const char* f : {"old.ace", "old.zoo"}) {
        host_.clear();
        list(dir() / f);
        ASSERT_EQ(host_.errors.size(), 1u) << f;
        EXPECT_NE(host_.errors[0].details.find("format not supported on this system: install unar"), std::string::npos)
            << host_.errors[0].details;
    }
}

TEST_F(FormatsTest, PeerCabAndArjListAndExtractByteExactly) {
    const auto src = makeTree();
    const std::string in = "cd " + q(dir()) + " && ";
    int done = 0;
    if (haveTool("gcab")) {
        ASSERT_EQ(runCommand(in + "gcab -c -z p.cab src/a.txt src/docs/b.txt src/docs/deep/c.bin src/empty.txt"), 0);
        host_.clear();
        list(dir() / "p.cab");
        EXPECT_EQ(host_.kinds, std::vector<unsigned>{kKindCab});
        EXPECT_EQ(host_.listedNames(), (std::vector<std::string>{"src\\a.txt", "src\\docs\\b.txt",
                                                                 "src\\docs\\deep\\c.bin", "src\\empty.txt"}));
        expectExtractsTo(dir() / "p.cab", src, "src");
        host_.clear();
        test(dir() / "p.cab");
        EXPECT_EQ(host_.tested.size(), 4u);
        host_.clear();
        convert(dir() / "p.cab", dir() / "p.cab.tar", kFormatTar);
        ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
        expectExtractsTo(dir() / "p.cab.tar", src, "src");
        ++done;
    }
    if (haveTool("arj")) {
        ASSERT_EQ(runCommand(in + "arj a -r p.arj src > /dev/null"), 0);
        host_.clear();
        list(dir() / "p.arj");
        ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
        EXPECT_EQ(host_.listedNames(), (std::vector<std::string>{"src\\a.txt", "src\\docs\\b.txt",
                                                                 "src\\docs\\deep\\c.bin", "src\\empty.txt"}));
        expectExtractsTo(dir() / "p.arj", src, "src");
        // Read only: changes are refused, the archive stays.
        const std::string before = readFile(dir() / "p.arj");
        host_.clear();
        remove(dir() / "p.arj", {"src\\a.txt"});
        EXPECT_EQ(host_.errors.size(), 1u);
        EXPECT_EQ(readFile(dir() / "p.arj"), before);
        ++done;
    }
    if (done == 0) GTEST_SKIP() << "neither gcab nor arj installed";
}

TEST_F(FormatsTest, HiddenFilesAndSavedPaths) {
    const auto src = makeTree();
    writeFile(src / ".hidden", std::string("h"));
    compress(dir() / "h.tar", {src.string()});
    host_.clear();
    list(dir() / "h.tar");
    EXPECT_EQ(host_.listedNames().size(), 4u);
    compress(dir() / "h2.tar", {src.string()}, true, false, "", true);
    host_.clear();
    list(dir() / "h2.tar");
    EXPECT_EQ(host_.listedNames().size(), 5u);
    compress(dir() / "full.tar", {(src / "a.txt").string()}, true, true);
    host_.clear();
    list(dir() / "full.tar");
    std::string expected = fs::absolute(src / "a.txt").string().substr(1);
    for (auto& c : expected)
        if (c == '/') c = '\\';
    EXPECT_EQ(host_.listedNames(), std::vector<std::string>{expected});
}

TEST_F(FormatsTest, DeleteAfterAddingRemovesTheSources) {
    const auto src = makeTree();
    compress(dir() / "mv.zip", {(src / "a.txt").string()}, true, false, "", false, true);
    ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
    EXPECT_FALSE(fs::exists(src / "a.txt"));
    host_.clear();
    list(dir() / "mv.zip");
    EXPECT_EQ(host_.listedNames(), std::vector<std::string>{"a.txt"});
}

}  // namespace
}  // namespace quarva::formatlib::testing
