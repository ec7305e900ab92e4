// The host-side loader: 0 when called, 1000 when the library does not load,
// 1010 when the entry point is missing.

#include "FormatLibTestSupport.h"

namespace quarva::formatlib::testing {
namespace {

using quarva::testing::writeFile;

class LoaderTest : public quarva::testing::FolderTest {};

TEST_F(LoaderTest, MissingLibraryGives1000)
{
    platform::testing::RecordingWindow w;
    const int status = callEntry<QzListArchiveFn>(dir() / "nothere" / "libqzip32.so", "ListArchive", "x.tar", "*.*",
                                                  static_cast<platform::WindowHandle>(&w));
    EXPECT_EQ(status, kStatusNotLoaded);
    EXPECT_TRUE(w.messages.empty());
}

TEST_F(LoaderTest, FileThatIsNoLibraryGives1000)
{
    writeFile(dir() / "libqzip32.so", std::string("not a shared object"));
    LoadedLibrary lib(libraryPath(dir()));
    EXPECT_FALSE(lib.loaded());
    EXPECT_FALSE(lib.loadError().empty());
    int n = 42;
    EXPECT_EQ(callFileCount(libraryPath(dir()), "a.tar", &n), kStatusNotLoaded);
    EXPECT_EQ(n, 42);
}

TEST_F(LoaderTest, MissingEntryPointGives1010)
{
    EXPECT_EQ(callEntry<QzAbortFn>(libraryFile(), "NoSuchEntryPoint"), kStatusNoEntryPoint);
}

TEST_F(LoaderTest, EveryEntryPointIsExported)
{
    LoadedLibrary lib(libraryFile());
    ASSERT_TRUE(lib.loaded()) << lib.loadError();
    for (const char* name : {"ListArchive", "CompressFile", "ExtractFile", "DeleteFile", "TestArchive", "ArcToSFX",
                             "ArcToArc", "Encode", "FileCount", "TurboFind", "Associate", "Abort", "TurboFindText",
                             "ExtractFileWithPassword"})
        EXPECT_NE(lib.symbol(name), nullptr) << name;
    // Only the entry points: the library's inner code stays private.
    EXPECT_EQ(lib.symbol("_ZN6quarva9formatlib11listArchiveERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEES8_RNS0_8ReporterE"), nullptr);
}

TEST_F(LoaderTest, CallsThroughTheLoaderReachTheLibrary)
{
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

TEST_F(LoaderTest, LibraryPathIsTheInstalledFolderPlusTheFileName)
{
    EXPECT_EQ(libraryPath("/opt/quarva"), std::filesystem::path("/opt/quarva/libqzip32.so"));
}

}  // namespace
}  // namespace quarva::formatlib::testing
