// The command-line front that qzip calls for non-zip formats.

#include <sstream>

#include "FormatLibTestSupport.h"
#include "formatlib/cli/FormatCli.h"

namespace quarva::formatlib::testing {
namespace {

namespace fs = std::filesystem;
using quarva::testing::readFile;

class CliTest : public FormatLibTest {
protected:
    int run(std::vector<std::string> args, const fs::path& library = libraryFile())
    {
        out_.str("");
        err_.str("");
        return cli::run(args, out_, err_, library);
    }
    std::ostringstream out_, err_;
};

TEST_F(CliTest, AddListTestExtractDeleteConvertEncode)
{
    const auto src = makeTree();
    const std::string a = (dir() / "c.lzh").string();
    ASSERT_EQ(run({"a", a, "-r", src.string()}), 0) << err_.str();
    ASSERT_EQ(run({"l", a}), 0) << err_.str();
    EXPECT_NE(out_.str().find("src/docs/deep/c.bin"), std::string::npos) << out_.str();
    ASSERT_EQ(run({"t", a}), 0) << err_.str();
    EXPECT_NE(out_.str().find("4 file(s) tested"), std::string::npos) << out_.str();
    ASSERT_EQ(run({"x", a, "-d", (dir() / "o").string()}), 0) << err_.str();
    EXPECT_EQ(tree(dir() / "o" / "src"), tree(src));
    ASSERT_EQ(run({"d", a, "src/a.txt"}), 0) << err_.str();
    ASSERT_EQ(run({"count", a}), 0);
    EXPECT_EQ(out_.str(), "3\n");
    ASSERT_EQ(run({"convert", a, (dir() / "c.cab").string()}), 0) << err_.str();
    ASSERT_EQ(run({"encode", (dir() / "c.cab").string(), (dir() / "c.xxe").string()}), 0) << err_.str();
    EXPECT_NE(readFile(dir() / "c.xxe").find("begin 644 c.cab"), std::string::npos);
    ASSERT_EQ(run({"find", a, "needle"}), 0);  // a.txt was deleted: nothing found
    EXPECT_EQ(out_.str(), "");
    ASSERT_EQ(run({"find", a, "DOCS LINE 1999", "-i"}), 0) << err_.str();
    EXPECT_EQ(out_.str(), "src/docs/b.txt:2000: docs line 1999 repeated text repeated text\n");
}

TEST_F(CliTest, ErrorsAndLoaderFailures)
{
    EXPECT_EQ(run({"l", (dir() / "missing.tar").string()}), 2);
    EXPECT_NE(err_.str().find("Archive Not Found"), std::string::npos);
    EXPECT_EQ(run({"l", "x.tar"}, dir() / "nope.so"), 3);
    EXPECT_NE(err_.str().find("Dll Not loaded"), std::string::npos);
    EXPECT_EQ(run({"bogus", "x"}), 2);
    EXPECT_EQ(run({"convert", "a.tar", "b.rar"}), 2);
}

}  // namespace
}  // namespace quarva::formatlib::testing
