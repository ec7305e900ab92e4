// A format is claimed on its mark and the header after it, never on two letters:
// text that happens to start like a short mark is text.

#include <sys/stat.h>

#include "FormatLibTestSupport.h"

namespace quarva::formatlib::testing {
namespace {

namespace fs = std::filesystem;
using quarva::testing::writeFile;

using BidTest = FormatLibTest;

// ArchiveType's answer: the kind and the format's name, or -1 and what the file holds.
std::pair<int, std::string> typeOf(LoadedLibrary& lib, const fs::path& file) {
    char found[256] = "?";
    return {lib.entry<QzArchiveTypeFn>("ArchiveType")(file.c_str(), found, sizeof found), found};
}

TEST_F(BidTest, TextBeginningWithHaIsNoArchive) {
    // "HAVE " even passes the first header's type byte (a space reads as version 2,
    // method 0); only the zero-ended names after it tell an archive from text.
    const std::vector<std::string> texts = {
        "HAVE A NICE DAY\nand a second line that is long enough for a header\n",
        "HA\n",
        "HA HA HA, said the letter, and went on for more than twenty-four bytes.\r\n",
    };
    int n = 0;
    for (const auto& text : texts) {
        for (const std::string suffix : {".ha", ".txt", ""}) {
            const fs::path file = dir() / ("letter" + std::to_string(n++) + suffix);
            writeFile(file, text);
            EXPECT_EQ(typeOf(*lib_, file), std::make_pair(-1, std::string("plain text"))) << file;
            EXPECT_EQ(count(file), -1) << file;
            list(file);
            EXPECT_TRUE(host_.listed.empty()) << file;
            EXPECT_EQ(host_.outcome(), static_cast<int>(kOutcomeFailed)) << file;
            host_.clear();
        }
    }
}

TEST_F(BidTest, APipeIsNeverReadToBeRecognised) {
    // Nobody writes into it: reading would wait for ever.
    const fs::path fifo = dir() / "archive.tar";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_LT(typeOf(*lib_, fifo).first, 0);
    list(fifo);
    EXPECT_EQ(host_.outcome(), static_cast<int>(kOutcomeFailed));
}

TEST_F(BidTest, HaHeaderIsStillRecognised) {
    // "HA", one file, then a header: type 0x20 (version 2, stored), four sizes and
    // times, the path and the name each ended by a zero.
    std::string ha = std::string("HA\x01\x00", 4) + '\x20' + std::string(16, '\x01');
    ha += std::string("docs\0note.txt\0", 14) + "stored data";
    writeFile(dir() / "real.ha", ha);
    writeFile(dir() / "noname", ha);
    EXPECT_EQ(typeOf(*lib_, dir() / "real.ha"), std::make_pair(static_cast<int>(kKindOther), std::string("ha")));
    EXPECT_EQ(typeOf(*lib_, dir() / "noname"), std::make_pair(static_cast<int>(kKindOther), std::string("ha")));
    // A control byte in the name is no header.
    ha[21 + 1] = '\x03';
    writeFile(dir() / "broken.ha", ha);
    EXPECT_EQ(typeOf(*lib_, dir() / "broken.ha").first, -1);
}

}  // namespace
}  // namespace quarva::formatlib::testing
