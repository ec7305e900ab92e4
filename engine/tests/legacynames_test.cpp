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

namespace {
// "Привет/мир.txt" in CP866, "中文.txt" and "乗.txt" (0x81 0x5C: a backslash trail) in GBK.
const std::string kPrivet = "\x8f\xe0\xa8\xa2\xa5\xe2/\xac\xa8\xe0.txt", kZhongwen = "\xd6\xd0\xce\xc4.txt",
                  kCheng = "\x81\x5c.txt";

std::vector<std::string> listedIn(const fs::path& z, const std::string& charset) {
    Recorder r;
    ZipEngine e;
    r.attach(e);
    e.setArchiveName(z.string());
    EXPECT_TRUE(e.setNamesCharset(charset));
    EXPECT_EQ(e.list(), 0);
    return r.names(6);
}
}  // namespace

TEST_F(LegacyNames, ChosenCharsetNamesWhatIsValidInIt) {
    fs::path z = dir() / "legacy.zip";
    // "\x81." and "\xe0." are no GBK characters: those names keep their reading under GBK.
    ASSERT_TRUE(makeZip(z, {{kPrivet, "ru"}, {kZhongwen, "zh"}, {kCheng, "cheng"}, {"\x81.txt", "u"}}));
    // Without a choice the backslash trail makes the archive CP932 where its names allow.
    const std::string dosPrivet = "Åα¿óÑΓ\\¼¿α.txt";
    EXPECT_EQ(listedIn(z, ""), (std::vector<std::string>{dosPrivet, "ﾖﾐﾎﾄ.txt", "―.txt", "ü.txt"}));
    EXPECT_EQ(listedIn(z, "CP866")[0], "Привет\\мир.txt");
    EXPECT_EQ(listedIn(z, "GBK"), (std::vector<std::string>{dosPrivet, "中文.txt", "乗.txt", "ü.txt"}));

    Recorder r;
    ZipEngine e;
    r.attach(e);
    e.setArchiveName(z.string());
    EXPECT_FALSE(e.setNamesCharset("NO-SUCH-SET"));
    EXPECT_TRUE(e.setProperty(int(Property::NamesCharset), std::string("GBK")));
    EXPECT_FALSE(e.setProperty(int(Property::NamesCharset), std::string("NO-SUCH-SET")));
    EXPECT_EQ(e.namesCharset(), "GBK");
    e.setExtractFolder((dir() / "out").string());
    e.setNames("中文.txt\r\n乗.txt\r\n");
    EXPECT_EQ(e.extract(0), 0);
    EXPECT_EQ(readFile(dir() / "out" / "中文.txt"), "zh");
    EXPECT_EQ(readFile(dir() / "out" / "乗.txt"), "cheng");
    EXPECT_FALSE(fs::exists(dir() / "out" / "ü"));

    // Deleting by the chosen name removes that entry; the others keep their bytes.
    e.setNames("中文.txt\r\n");
    EXPECT_EQ(e.deleteEntries(), 0);
    InputFile f;
    ZipDirectory d;
    ASSERT_EQ(f.open(z.string()), 0);
    ASSERT_EQ(readDirectory(f, d), 0);
    ASSERT_EQ(d.entries.size(), 3u);
    EXPECT_EQ(d.entries[0].rawName, kPrivet);
    EXPECT_EQ(d.entries[1].rawName, kCheng);
    EXPECT_EQ(d.entries[2].rawName, "\x81.txt");
}

TEST_F(LegacyNames, ChosenCharsetNeverGivesANameAPath) {
    // Sets that read ASCII otherwise are refused: in EBCDIC 'a' is '/', 'K' is '.' and
    // '%' a line feed; in UTF-7 "+AC/8QQ-etc/passwd" is "/\uFC41etc/passwd", with as
    // many slashes. iconv's "//" suffixes change nothing when reading ("/": the locale's set).
    ZipEngine e;
    for (const char* set : {"IBM037", "UTF-16LE", "UTF-7", "CP866//IGNORE", "CP866//TRANSLIT", "/"})
        EXPECT_FALSE(e.setNamesCharset(set)) << set;
    EXPECT_TRUE(e.setNamesCharset("SHIFT_JIS"));  // its 0x5C and 0x7E are the yen and overline signs
    const auto readIn = [](const char* set, const std::vector<std::string>& raws) {
        std::vector<ZipEntry> entries(raws.size());
        std::vector<std::size_t> all;
        for (std::size_t i = 0; i < raws.size(); ++i) entries[i].rawName = raws[i], all.push_back(i);
        readLegacyNames(entries, all, set);
        std::vector<std::string> names;
        for (const auto& en : entries) names.push_back(en.name);
        return names;
    };
    const std::vector<std::string> ebcdic = {"\x81\x61", "KK", "%x", "\xc1\xc2"};
    EXPECT_EQ(readIn("IBM037", ebcdic), (std::vector<std::string>{"üa", "KK", "%x", "┴┬"}));
    EXPECT_EQ(readIn("UTF-16LE", ebcdic), readIn("", ebcdic));
    EXPECT_EQ(readIn("UTF-7", {"+AC/8QQ-etc/passwd"}), std::vector<std::string>{"+AC/8QQ-etc/passwd"});
    // ISO 8859 reads 0x9B as the terminal's command introducer: that name keeps code page 437.
    EXPECT_EQ(readIn("ISO-8859-7", {"\x9b\xe1.txt", "\xe1.txt"}), (std::vector<std::string>{"¢ß.txt", "α.txt"}));
}
