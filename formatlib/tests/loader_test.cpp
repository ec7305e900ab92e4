// The host-side loader: 0 when called, 1000 when the library does not load,
// 1010 when the entry point is missing.

#include "FormatLibTestSupport.h"

namespace quarva::formatlib::testing {
namespace {

using quarva::testing::writeFile;

class LoaderTest : public quarva::testing::FolderTest {};

TEST_F(LoaderTest, MissingLibraryGives1000) {
    platform::testing::RecordingWindow w;
    const int status = callEntry<QzListArchiveFn>(dir() / "nothere" / "libqzip32.so", "ListArchive", "x.tar", "*.*",
                                                  static_cast<platform::WindowHandle>(&w));
    EXPECT_EQ(status, kStatusNotLoaded);
    EXPECT_TRUE(w.messages.empty());
}

TEST_F(LoaderTest, FileThatIsNoLibraryGives1000) {
    writeFile(dir() / "libqzip32.so", std::string("not a shared object"));
    LoadedLibrary lib(libraryPath(dir()));
    EXPECT_FALSE(lib.loaded());
    EXPECT_FALSE(lib.loadError().empty());
    int n = 42;
    EXPECT_EQ(callFileCount(libraryPath(dir()), "a.tar", &n), kStatusNotLoaded);
    EXPECT_EQ(n, 42);
}

TEST_F(LoaderTest, MissingEntryPointGives1010) {
    EXPECT_EQ(callEntry<QzAbortFn>(libraryFile(), "NoSuchEntryPoint"), kStatusNoEntryPoint);
}

TEST_F(LoaderTest, EveryEntryPointIsExported) {
    LoadedLibrary lib(libraryFile());
    ASSERT_TRUE(lib.loaded()) << lib.loadError();
    for (const char* name :
         {"ListArchive", "CompressFile", "ExtractFile", "DeleteFile", "TestArchive", "ArcToSFX", "ArcToArc", "Encode",
          "FileCount", "TurboFind", "Associate", "Abort", "TurboFindText", "ExtractFileWithPassword"})
        EXPECT_NE(lib.symbol(name), nullptr) << name;
    // Only the entry points: the library's inner code stays private.
    EXPECT_EQ(lib.symbol("_ZN6quarva9formatlib11listArchiveERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEES8_"
                         "RNS0_8ReporterE"),
              nullptr);
}

TEST_F(LoaderTest, CallsThroughTheLoaderReachTheLibrary) {
    platform::testing::RecordingWindow w;
    const auto missing = (dir() / "missing.tar").string();
    EXPECT_EQ(callEntry<QzListArchiveFn>(libraryFile(), "ListArchive", missing.c_str(), "*.*",
                                         static_cast<platform::WindowHandle>(&w)),
              kStatusOk);
    EXPECT_EQ(w.count(kMsgError), 1u);
    int n = 7;
    EXPECT_EQ(callFileCount(libraryFile(), missing, &n), kStatusOk);
    EXPECT_LT(n, 1);
}

TEST_F(LoaderTest, LibraryPathIsTheInstalledFolderPlusTheFileName) {
    EXPECT_EQ(libraryPath("/opt/quarva"), std::filesystem::path("/opt/quarva/libqzip32.so"));
}

}  // namespace
}  // namespace quarva::formatlib::testing

namespace quarva::formatlib::testing {
namespace {

// The record header compiled as a 32-bit program: its static assertions pin every
// offset of the tables; this test makes sure they are really compiled.
TEST_F(LoaderTest, RecordLayoutHoldsOnA32BitBuild) {
    writeFile(dir() / "probe.cpp", std::string("int main() { return 0; }\n"));
    const std::string cxx = QZ_CXX;
    if (runCommand(cxx + " -m32 -fsyntax-only '" + (dir() / "probe.cpp").string() + "'") != 0)
        GTEST_SKIP() << "no 32-bit compiler support (g++-multilib)";
    writeFile(dir() / "layout32.cpp", std::string("#include \"formatlib/FormatLibrary.h\"\n"
                                                  "static_assert(sizeof(void*) == 4);\n"
                                                  "static_assert(sizeof(quarva::formatlib::ListingRecord) == 44);\n"
                                                  "int main() { return 0; }\n"));
    std::string out;
    EXPECT_EQ(runCommand(cxx + " -m32 -std=c++20 -fsyntax-only -I'" + std::string(QZ_SOURCE_ROOT) + "' '" +
                             (dir() / "layout32.cpp").string() + "'",
                         &out),
              0)
        << out;
}

}  // namespace
}  // namespace quarva::formatlib::testing
