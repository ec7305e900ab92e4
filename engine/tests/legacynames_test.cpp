// Names in legacy code pages: a CP932 name whose second byte is a backslash stays
// one component; code page 437 names and real separators are read as before.

#include "engine/LegacyNames.h"
#include "engine/ZipEngine.h"
#include "EngineTestUtil.h"

using namespace quarva::engine;
using namespace quarva::engine::testutil;
using quarva::testing::readFile;
namespace fs = std::filesystem;

namespace {

class LegacyNames : public quarva::testing::FolderTest {
protected:
    // Lists and extracts; returns the names listed.
    std::vector<std::string> listAndExtract(const fs::path& z, const fs::path& out) {
        Recorder r;
        ZipEngine e;
        r.attach(e);
        e.setArchiveName(z.string());
        EXPECT_EQ(e.list(), 0);
        e.setExtractFolder(out.string());
        EXPECT_EQ(e.extract(0), 0);
        EXPECT_EQ(r.count(10), 0u);
        return r.names(6);
    }
};

// "表示" and "ソフト" in CP932: 表 is 0x95 0x5C and ソ is 0x83 0x5C.
const std::string kHyouji = "\x95\x5c\x8e\xa6", kSofuto = "\x83\x5c\x83\x74\x83\x67";

}  // namespace

TEST_F(LegacyNames, Cp932BackslashTrailIsNoSeparator) {
    fs::path z = dir() / "sjis.zip";
    ASSERT_TRUE(makeZip(z, {{kHyouji + "/" + kSofuto + ".txt", "one"},
                            {kSofuto + ".txt", "two"},
                            {"\x83\x74\x83\x67.txt", "three"},  // フト: no backslash byte, read with the rest
                            {kHyouji + "\\real.txt", "four"},   // a backslash of its own still separates
                            {"ascii\\dos.txt", "five"}}));
    auto names = listAndExtract(z, dir() / "out");
    EXPECT_EQ(names, (std::vector<std::string>{"表示\\ソフト.txt", "ソフト.txt", "フト.txt", "表示\\real.txt",
                                               "ascii\\dos.txt"}));
    EXPECT_EQ(readFile(dir() / "out" / "表示" / "ソフト.txt"), "one");
    EXPECT_EQ(readFile(dir() / "out" / "ソフト.txt"), "two");
    EXPECT_EQ(readFile(dir() / "out" / "フト.txt"), "three");
    EXPECT_EQ(readFile(dir() / "out" / "表示" / "real.txt"), "four");
    EXPECT_EQ(readFile(dir() / "out" / "ascii" / "dos.txt"), "five");
    EXPECT_FALSE(fs::exists(dir() / "out" / "\xe2\x80\x95"));  // no folder from a split character
}

TEST_F(LegacyNames, Cp437NamesStayAsTheyWere) {
    fs::path z = dir() / "dos.zip";
    // Without a backslash trail nothing shows CP932: code page 437 ("Müller/café").
    ASSERT_TRUE(makeZip(z, {{"M\x81ller/caf\x82.txt", "x"}, {"\x83\x74\x83\x67.txt", "y"}}));
    auto names = listAndExtract(z, dir() / "out");
    EXPECT_EQ(names, (std::vector<std::string>{"Müller\\café.txt", "âtâg.txt"}));
    EXPECT_EQ(readFile(dir() / "out" / "Müller" / "café.txt"), "x");
    // Bytes in lead/trail range that name no character are not CP932.
    EXPECT_FALSE(showsCp932("\x85\x5c"));
    EXPECT_EQ(legacyNameToUtf8("\x85\x5c"), "à\\");
    EXPECT_EQ(legacyNameToUtf8(kSofuto), "ソフト");
    EXPECT_FALSE(showsCp932("\x95"));  // a lead byte at the end
}
