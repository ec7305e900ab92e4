// The content of a file decides its format (the name only breaks ties), every
// compression libarchive reads is read around a tar or alone, and what libarchive
// cannot read goes through an outside program with a clear message when it is missing.

#include <cstdlib>
#include <random>

#include "FormatLibTestSupport.h"

namespace quarva::formatlib::testing {
namespace {

class ContentTest : public FormatLibTest {
protected:
    // The library's answer on a file: kind and the format's name (or what it holds).
    std::pair<int, std::string> type(const fs::path& file) {
        char found[256] = "?";
        const int kind = lib_->entry<QzArchiveTypeFn>("ArchiveType")(file.c_str(), found, sizeof found);
        return {kind, found};
    }
    void extractWithPassword(const fs::path& archive, const fs::path& dest, const std::string& password) {
        using Fn = void (*)(const char*, const char*, const char*, int, int, const char*, platform::WindowHandle);
        lib_->entry<Fn>("ExtractFileWithPassword")(archive.c_str(), "*.*", dest.c_str(), 1, 1, password.c_str(),
                                                   &host_);
    }
    std::string randomText(std::size_t n) {
        std::mt19937 gen(7);
        std::string s(n, ' ');
        for (auto& c : s) c = static_cast<char>('a' + gen() % 26);
        return s;
    }
};

TEST_F(ContentTest, EveryCompressionAroundATarIsChosenByContentNotByName) {
    if (!haveTool("tar")) GTEST_SKIP() << "tar is not installed";
    const fs::path src = makeTree();
    ASSERT_EQ(runCommand("cd " + q(dir()) + " && tar -cf plain.tar src"), 0);
    struct Case {
        const char* tool;      // the compressor, reading the tar on stdin
        const char* name;      // a misleading or missing extension
        const char* expected;  // the format the library names
    };
    const Case cases[] = {
        {"bzip2 -c", "a.tbz", "tar.bz2"},        {"xz -c", "a.txz", "tar.xz"},     {"zstd -q -c", "a.zip", "tar.zst"},
        {"lz4 -q -c", "noextension", "tar.lz4"}, {"lzma -c", "a.tlz", "tar.lzma"}, {"lzip -c", "b.tlz", "tar.lz"},
        {"compress -c", "a.tar.Z", "tar.Z"},     {"gzip -c", "a.gz", "tar.gz"},
    };
    for (const auto& c : cases) {
        const std::string program = std::string(c.tool).substr(0, std::string(c.tool).find(' '));
        if (!haveTool(program)) {
            std::printf("skipped %s: %s is not installed\n", c.name, program.c_str());
            continue;
        }
        const fs::path archive = dir() / c.name;
        ASSERT_EQ(runCommand(std::string(c.tool) + " < " + q(dir() / "plain.tar") + " > " + q(archive)), 0) << c.tool;
        const auto [kind, found] = type(archive);
        EXPECT_EQ(kind, static_cast<int>(kKindOther)) << c.name;
        EXPECT_EQ(found, c.expected) << c.name;
        host_.clear();
        const fs::path out = dir() / (std::string("out-") + c.name);
        extract(archive, out);
        EXPECT_EQ(host_.outcome(), static_cast<int>(kOutcomeOk)) << c.name << ": " << host_.errorText();
        EXPECT_EQ(tree(out / "src"), tree(src)) << c.name;
    }
    // The same compressions around one plain file read as that file.
    writeFile(dir() / "note.txt", "just a note\n");
    if (haveTool("zstd")) {
        ASSERT_EQ(runCommand("zstd -q " + q(dir() / "note.txt")), 0);
        EXPECT_EQ(type(dir() / "note.txt.zst").second, "tar.zst");
        host_.clear();
        extract(dir() / "note.txt.zst", dir() / "zst-out");
        EXPECT_EQ(readFile(dir() / "zst-out" / "note.txt"), "just a note\n") << host_.errorText();
    }
}

TEST_F(ContentTest, TwoLettersOrAnEmptyFileAreNoArchive) {
    writeFile(dir() / "letter.ha", "HAllo, this is a letter and no archive at all.\n");
    writeFile(dir() / "arc.arc", std::string("\x1a\x02") + "not really an arc archive, just bytes");
    writeFile(dir() / "empty.zip", "");
    writeFile(dir() / "binary", std::string("\x00\x01\x02\x03\x04", 5));
    EXPECT_EQ(type(dir() / "letter.ha"), std::make_pair(-1, std::string("plain text")));
    EXPECT_EQ(type(dir() / "arc.arc").first, -1);
    EXPECT_EQ(type(dir() / "empty.zip"), std::make_pair(-1, std::string("the file is empty")));
    EXPECT_EQ(type(dir() / "binary"), std::make_pair(-1, std::string("unknown data beginning 00 01 02 03")));
    EXPECT_EQ(type(dir() / "missing").first, -2);
    // Listing one says what it holds.
    list(dir() / "letter.ha");
    EXPECT_EQ(host_.outcome(), static_cast<int>(kOutcomeFailed));
}

TEST_F(ContentTest, RarWithoutExtensionBehindAStubOrSplitInPieces) {
    // A rar named anything.
    fs::copy_file(data("rar5-unicode-names-and-links.rar"), dir() / "download");
    EXPECT_EQ(type(dir() / "download"), std::make_pair(static_cast<int>(kKindOther), std::string("rar")));
    list(dir() / "download");
    EXPECT_FALSE(host_.listedNames().empty()) << host_.errorText();
    // Behind a program stub (a self-extracting program).
    std::string stub = "MZ" + std::string(4094, '\0');
    writeFile(dir() / "setup.exe", stub + readFile(data("rar5-unicode-names-and-links.rar")));
    EXPECT_EQ(type(dir() / "setup.exe").second, "rar");
    host_.clear();
    list(dir() / "setup.exe");
    EXPECT_FALSE(host_.listedNames().empty()) << host_.errorText();
    // The first piece of a rar cut in pieces: its entries are listed.
    fs::copy_file(data("split-rar-first-piece_aa"), dir() / "big_aa");
    EXPECT_EQ(type(dir() / "big_aa").second, "rar");
    host_.clear();
    list(dir() / "big_aa");
    EXPECT_FALSE(host_.listedNames().empty()) << host_.errorText();
}

TEST_F(ContentTest, SevenZipBehindAStubEncryptedNamesAndVolumesThroughTheProgram) {
    if (!haveTool("7z")) GTEST_SKIP() << "7z is not installed (p7zip-full)";
    const fs::path src = makeTree();
    // Encrypted names: listed and extracted with the password only.
    ASSERT_EQ(runCommand("cd " + q(dir()) + " && 7z a -bd -pSecret -mhe=on hidden.7z src >/dev/null"), 0);
    EXPECT_EQ(type(dir() / "hidden.7z").second, "7z");
    list(dir() / "hidden.7z");
    EXPECT_EQ(host_.outcome(), static_cast<int>(kOutcomeFailed));
    EXPECT_NE(host_.errorText().find("a password is needed"), std::string::npos) << host_.errorText();
    host_.clear();
    extractWithPassword(dir() / "hidden.7z", dir() / "hidden-out", "Secret");
    EXPECT_EQ(tree(dir() / "hidden-out" / "src"), tree(src)) << host_.errorText();
    host_.clear();
    extractWithPassword(dir() / "hidden.7z", dir() / "wrong-out", "wrong");
    EXPECT_NE(host_.errorText().find("the password is wrong"), std::string::npos) << host_.errorText();

    // A set of volumes, opened from its first one.
    writeFile(src / "big.txt", randomText(40000));
    ASSERT_EQ(runCommand("cd " + q(dir()) + " && 7z a -bd -mx=0 -v16k set.7z src >/dev/null"), 0);
    ASSERT_TRUE(fs::exists(dir() / "set.7z.002"));
    host_.clear();
    extract(dir() / "set.7z.001", dir() / "set-out");
    EXPECT_EQ(tree(dir() / "set-out" / "src"), tree(src)) << host_.errorText();

    // A filter libarchive does not know (ARM64): read through 7z; without 7z the
    // message names the package.
    host_.clear();
    extract(data("7z-lzma2-arm64.7z"), dir() / "arm-out");
    EXPECT_EQ(host_.outcome(), static_cast<int>(kOutcomeOk)) << host_.errorText();
    EXPECT_TRUE(fs::exists(dir() / "arm-out" / "hw-arm64"));
    {
        ScopedEnv none("PATH", "/nonexistent");  // programs are looked up on each call
        host_.clear();
        test(data("7z-lzma2-arm64.7z"));
        EXPECT_NE(host_.errorText().find("unsupported method"), std::string::npos) << host_.errorText();
        EXPECT_NE(host_.errorText().find("p7zip-full"), std::string::npos) << host_.errorText();
        host_.clear();
        list(dir() / "hidden.7z");
        EXPECT_NE(host_.errorText().find("p7zip-full"), std::string::npos) << host_.errorText();
    }

    // A 7z behind a program stub.
    ASSERT_EQ(runCommand("cd " + q(dir()) + " && 7z a -bd plain.7z src/a.txt >/dev/null"), 0);
    writeFile(dir() / "installer.exe", "MZ" + std::string(8190, '\x90') + readFile(dir() / "plain.7z"));
    EXPECT_EQ(type(dir() / "installer.exe").second, "7z");
    host_.clear();
    extract(dir() / "installer.exe", dir() / "sfx-out");
    EXPECT_EQ(readFile(dir() / "sfx-out" / "src" / "a.txt"), readFile(src / "a.txt")) << host_.errorText();
}

TEST_F(ContentTest, ArcThroughUnarAndItsMessageWhenMissing) {
    std::string text;
    for (int i = 0; i < 300; ++i) text += "line " + std::to_string(i % 17) + " of an old archive\n";
    writeFile(dir() / "a.txt", text);
    if (!haveTool("arc") || !haveTool("unar")) GTEST_SKIP() << "arc or unar is not installed";
    ASSERT_EQ(runCommand("cd " + q(dir()) + " && arc a old.arc a.txt >/dev/null 2>&1"), 0);
    EXPECT_EQ(type(dir() / "old.arc").second, "arc");
    extract(dir() / "old.arc", dir() / "out");
    EXPECT_EQ(readFile(dir() / "out" / "a.txt"), readFile(dir() / "a.txt")) << host_.errorText();
    ScopedEnv none("PATH", "/nonexistent");  // programs are looked up on each call
    host_.clear();
    list(dir() / "old.arc");
    EXPECT_NE(host_.errorText().find("the Debian package unar"), std::string::npos) << host_.errorText();
}

TEST_F(ContentTest, PasswordsReachUnarAtItsPromptNeverOnItsCommandLine) {
    if (!haveTool("arj") || !haveTool("unar") || !haveTool("lsar")) GTEST_SKIP() << "arj or unar is not installed";
    const std::string password = "Secret-PW \"quoted\" -p $HOME";
    writeFile(dir() / "a.txt", randomText(5000));
    ASSERT_EQ(runCommand("cd " + q(dir()) + " && arj a " + q("-g" + password) + " enc.arj a.txt >/dev/null"), 0);
    // Stand-ins for unar and lsar record what every local user could read of them
    // (their command line and environment), then become the real programs. Without
    // arj on the PATH the archive goes to unar.
    const fs::path bin = dir() / "bin", log = dir() / "seen.log";
    for (const char* tool : {"unar", "lsar"}) {
        writeFile(bin / tool, std::string("#!/bin/sh\n/usr/bin/cat /proc/$$/cmdline /proc/$$/environ >> ") + q(log) +
                                  "\nexec /usr/bin/" + tool + " \"$@\"\n");
        fs::permissions(bin / tool, fs::perms::owner_all);
    }
    ScopedEnv path("PATH", bin.string());
    extractWithPassword(dir() / "enc.arj", dir() / "out", password);
    EXPECT_TRUE(readFile(dir() / "out" / "a.txt") == readFile(dir() / "a.txt")) << host_.errorText();
    const std::string seen = readFile(log);
    EXPECT_NE(seen.find("bin/unar"), std::string::npos) << "unar was not run: " << seen;
    EXPECT_EQ(seen.find("Secret-PW"), std::string::npos) << "the password was visible to every user";

    host_.clear();
    extractWithPassword(dir() / "enc.arj", dir() / "out-none", "");
    EXPECT_NE(host_.errorText().find("the entries are encrypted: a password is needed"), std::string::npos)
        << host_.errorText();
    host_.clear();
    extractWithPassword(dir() / "enc.arj", dir() / "out-wrong", "not it");
    EXPECT_NE(host_.errorText().find("the password is wrong"), std::string::npos) << host_.errorText();
    EXPECT_FALSE(fs::exists(dir() / "out-wrong" / "a.txt"));
    // The prompt's words inside a listed name are no prompt.
    writeFile(bin / "unar", "#!/bin/sh\necho 'x Password (will not be shown): y.txt'\nexec /usr/bin/unar \"$@\"\n");
    host_.clear();
    extractWithPassword(dir() / "enc.arj", dir() / "out-named", password);
    EXPECT_TRUE(readFile(dir() / "out-named" / "a.txt") == readFile(dir() / "a.txt")) << host_.errorText();
    host_.clear();
    extractWithPassword(dir() / "enc.arj", dir() / "out-control", "line\nbreak");
    EXPECT_NE(host_.errorText().find("control characters"), std::string::npos) << host_.errorText();
}

TEST_F(ContentTest, CpioArAndIsoImagesAreRead) {
    if (!haveTool("bsdtar")) GTEST_SKIP() << "bsdtar is not installed";
    const fs::path src = makeTree();
    for (const char* format : {"odc", "newc", "iso9660"}) {
        const fs::path archive = dir() / (std::string("made-") + format);
        ASSERT_EQ(runCommand("cd " + q(dir()) + " && bsdtar --format=" + format + " -cf " + q(archive) + " src"), 0);
        EXPECT_EQ(type(archive).second, std::string(format) == "iso9660" ? "iso" : "cpio");
        host_.clear();
        extract(archive, dir() / (std::string("out-") + format));
        EXPECT_EQ(tree(dir() / (std::string("out-") + format) / "src"), tree(src)) << format << host_.errorText();
    }
    if (haveTool("ar")) {
        ASSERT_EQ(runCommand("cd " + q(src) + " && ar rc ../lib.a a.txt empty.txt"), 0);
        EXPECT_EQ(type(dir() / "lib.a").second, "ar");
        host_.clear();
        extract(dir() / "lib.a", dir() / "out-ar");
        EXPECT_EQ(readFile(dir() / "out-ar" / "a.txt"), readFile(src / "a.txt")) << host_.errorText();
    }
}

TEST_F(ContentTest, TarXzAndTarZstAreWrittenWhereTheTargetSaysSo) {
    const fs::path src = makeTree();
    compress(dir() / "start.tar", {src.string()});
    ASSERT_EQ(host_.outcome(), static_cast<int>(kOutcomeOk)) << host_.errorText();
    for (const char* name : {"out.tar.xz", "out.tar.zst", "out.txz"}) {
        host_.clear();
        convert(dir() / "start.tar", dir() / name, kFormatTar);
        ASSERT_EQ(host_.outcome(), static_cast<int>(kOutcomeOk)) << name << ": " << host_.errorText();
        const auto [kind, found] = type(dir() / name);
        EXPECT_EQ(found, std::string(name).find("zst") != std::string::npos ? "tar.zst" : "tar.xz");
        if (haveTool("bsdtar")) {
            std::string listing;
            EXPECT_EQ(runCommand("bsdtar -tf " + q(dir() / name), &listing), 0) << name;
            EXPECT_NE(listing.find("src/docs/b.txt"), std::string::npos) << listing;
        }
    }
    // New archives too, by their name.
    host_.clear();
    compress(dir() / "new.tar.zst", {src.string()});
    EXPECT_EQ(host_.outcome(), static_cast<int>(kOutcomeOk)) << host_.errorText();
    EXPECT_EQ(type(dir() / "new.tar.zst").second, "tar.zst");
}

}  // namespace
}  // namespace quarva::formatlib::testing
