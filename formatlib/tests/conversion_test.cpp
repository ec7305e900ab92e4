// ArcToArc: every readable source to every writable target, names, times and
// contents kept; BlakHole refused with a clear error.

#include <fcntl.h>
#include <sys/stat.h>

#include <map>

#include "FormatLibTestSupport.h"

namespace quarva::formatlib::testing {
namespace {

class ConversionTest : public FormatLibTest {};

TEST_F(ConversionTest, EverySourceToEveryTarget) {
    const auto src = makeTree();
    // Stable times, two seconds apart (zip and cab keep even seconds).
    std::time_t t = 1600000000;
    for (auto& e : fs::recursive_directory_iterator(src)) {
        struct timespec ts[2] = {{t, 0}, {t, 0}};
        utimensat(AT_FDCWD, e.path().c_str(), ts, 0);
        t += 2;
    }
    std::vector<std::string> sources = {"s.tar", "s.tgz", "s.zip", "s.cab", "s.lzh", "s.jar"};
    for (const auto& s : sources) {
        host_.clear();
        compress(dir() / s, {src.string()});
        ASSERT_TRUE(host_.errors.empty()) << s << host_.errorText();
    }
    if (haveTool("7z")) {
        ASSERT_EQ(runCommand("cd '" + dir().string() + "' && 7z a -bd -y s.7z src > /dev/null"), 0);
        sources.push_back("s.7z");
    }
    const std::pair<int, const char*> targets[] = {{kFormatCab, "cab"}, {kFormatLha, "lzh"},  {kFormatZip, "zip"},
                                                   {kFormatTar, "tar"}, {kFormatTarGz, "gz"}, {kFormatJar, "jar"}};
    for (const auto& s : sources) {
        host_.clear();
        list(dir() / s);
        std::map<std::string, std::string> stamps;
        for (const auto& e : host_.listed) stamps[e.name] = e.modified;
        for (const auto& [code, ext] : targets) {
            const fs::path target = dir() / (s + "-to." + ext);
            host_.clear();
            convert(dir() / s, target, code);
            ASSERT_TRUE(host_.errors.empty()) << s << " -> " << ext << host_.errorText();
            EXPECT_EQ(host_.processed.size(), 4u) << s << " -> " << ext;
            host_.clear();
            list(target);
            EXPECT_EQ(host_.listedNames(), (std::vector<std::string>{"src\\a.txt", "src\\docs\\b.txt",
                                                                     "src\\docs\\deep\\c.bin", "src\\empty.txt"}))
                << s << " -> " << ext;
            for (const auto& e : host_.listed)
                if (e.name.back() != '\\') {
                    EXPECT_EQ(e.modified, stamps[e.name]) << s << " -> " << ext << " " << e.name;
                }
            const fs::path out = dir() / ("o-" + target.filename().string());
            host_.clear();
            extract(target, out);
            ASSERT_TRUE(host_.errors.empty()) << host_.errorText();
            EXPECT_EQ(tree(out / "src"), tree(src)) << s << " -> " << ext;
        }
    }
}

TEST_F(ConversionTest, BlakHoleIsRefusedAndNothingIsWritten) {
    const auto src = makeTree();
    compress(dir() / "s.tar", {src.string()});
    host_.clear();
    convert(dir() / "s.tar", dir() / "s.bh", kFormatBlakHole);
    ASSERT_EQ(host_.errors.size(), 1u);
    EXPECT_NE(host_.errors[0].details.find("BlakHole"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir() / "s.bh"));
    host_.clear();
    convert(dir() / "s.tar", dir() / "s.x", 99);
    EXPECT_EQ(host_.errors.size(), 1u);
}

TEST_F(ConversionTest, AFailedConversionLeavesAnExistingTargetAlone) {
    writeFile(dir() / "broken.tar", std::string(1024, 'x'));
    writeFile(dir() / "keep.zip", std::string("previous"));
    convert(dir() / "broken.tar", dir() / "keep.zip", kFormatZip);
    EXPECT_FALSE(host_.errors.empty());
    EXPECT_EQ(readFile(dir() / "keep.zip"), "previous");
}

}  // namespace
}  // namespace quarva::formatlib::testing
