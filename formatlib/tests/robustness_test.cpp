// Damaged input of every format: every entry point answers with error records
// (or nothing), never a crash, never a write outside the folder given.

#include "FormatLibTestSupport.h"

namespace quarva::formatlib::testing {
namespace {

class RobustnessTest : public FormatLibTest {};

TEST_F(RobustnessTest, GarbageBehindEveryMagicNumber) {
    const std::pair<const char*, std::string> magics[] = {
        {"g.zip", std::string("PK\x03\x04", 4)},
        {"g.zip", std::string("PK\x05\x06", 4)},
        {"g.cab", std::string("MSCF\0\0\0\0", 8)},
        {"g.lzh", std::string("\x20\x00-lh5-", 7)},
        {"g.gz", std::string("\x1f\x8b\x08\x00", 4)},
        {"g.bz2", "BZh9"},
        {"g.xz", std::string("\xfd"
                             "7zXZ\0",
                             6)},
        {"g.7z", std::string("7z\xbc\xaf\x27\x1c", 6)},
        {"g.rar", std::string("Rar!\x1a\x07\x00", 7)},
        {"g.uue", "begin 644 x\n"},
        {"g.xxe", "begin 644 x\nh"},
        {"g.tar", std::string(257, 'a') + "ustar"},
        {"g.exe",
         "\x7f"
         "ELF"},
    };
    std::uint32_t seed = 1;
    for (const auto& [name, magic] : magics) {
        for (std::size_t size : {std::size_t(0), std::size_t(40), std::size_t(3000)}) {
            auto bytes = randomBytes(size, seed++);
            std::string content = magic + std::string(bytes.begin(), bytes.end());
            writeFile(dir() / name, content);
            host_.clear();
            list(dir() / name);
            test(dir() / name);
            extract(dir() / name, dir() / "box" / "out");
            convert(dir() / name, dir() / "converted.zip", kFormatZip);
            (void)count(dir() / name);
            // Whatever came out stays inside the box.
            for (auto& e : fs::directory_iterator(dir()))
                EXPECT_TRUE(e.path().filename() == "box" || e.path().filename() == name ||
                            e.path().filename() == "converted.zip" || e.path().filename() == "tmp" ||
                            e.path().filename() == "runtime" || e.path().filename() == "registry")
                    << e.path();
            fs::remove_all(dir() / "box");
            fs::remove(dir() / "converted.zip");
            fs::remove(dir() / name);
        }
    }
}

TEST_F(RobustnessTest, NullAndEmptyArgumentsAreErrorsNotCrashes) {
    auto listFn = lib_->entry<QzListArchiveFn>("ListArchive");
    listFn(nullptr, nullptr, &host_);
    listFn("", "", nullptr);  // no window: nothing to report to, still no crash
    lib_->entry<QzExtractFileFn>("ExtractFile")(nullptr, nullptr, nullptr, 0, 0, &host_);
    lib_->entry<QzCompressFileFn>("CompressFile")(nullptr, nullptr, nullptr, 0, 0, 0, 0, &host_);
    lib_->entry<QzDeleteFileFn>("DeleteFile")(nullptr, nullptr, &host_);
    lib_->entry<QzTestArchiveFn>("TestArchive")(nullptr, nullptr, &host_);
    lib_->entry<QzArcToArcFn>("ArcToArc")(nullptr, nullptr, 3, 0, &host_);
    lib_->entry<QzArcToSFXFn>("ArcToSFX")(nullptr, nullptr, nullptr, &host_);
    lib_->entry<QzEncodeFn>("Encode")(nullptr, nullptr, 0, 0, &host_);
    lib_->entry<QzTurboFindFn>("TurboFind")(nullptr);
    EXPECT_LT(lib_->entry<QzFileCountFn>("FileCount")(nullptr), 1);
    EXPECT_EQ(host_.errors.size(), 8u) << host_.errorText();
}

}  // namespace
}  // namespace quarva::formatlib::testing
