// The info-tip handler and the search handler.

#include <gtest/gtest.h>

#include "platform/Registry.h"
#include "shellext/com/WideText.h"
#include "shellext/tests/ShellExtFixture.h"

using namespace quarva::com;

namespace quarva::shellext::testing {

class InfoSearchTest : public ShellExtTest {
protected:
    // Load + GetInfoTip, as the shell does; the tip in UTF-8.
    std::string tip(const std::string& path, HRESULT* hr = nullptr) {
        IPersistFile* persist = create<IPersistFile>(CLSID_ZipInfo, IID_IPersistFile);
        std::u16string wide = toWide(path);
        HRESULT loaded = persist->Load(wide.c_str(), STGM_READ);
        IQueryInfo* info = nullptr;
        EXPECT_EQ(persist->QueryInterface(IID_IQueryInfo, reinterpret_cast<void**>(&info)), S_OK);
        persist->Release();
        LPOLESTR text = nullptr;
        HRESULT r = info->GetInfoTip(0, &text);
        if (hr) *hr = FAILED(loaded) ? loaded : r;
        std::string result = text ? toUtf8(text) : std::string();
        CoTaskMemFree(text);
        DWORD flags = 7;
        EXPECT_EQ(info->GetInfoFlags(&flags), E_NOTIMPL);
        EXPECT_EQ(flags, 0u);
        info->Release();
        return result;
    }
};

TEST_F(InfoSearchTest, LocalArchiveShowsItsCount) {
    const std::string zip = makeArchive("a.zip", 12);
    EXPECT_EQ(tip(zip), "Quarva.Zip Suite info\nFiles/Folders in Archive: 12");
    EXPECT_EQ(fileCountCalls(), (std::vector<std::string>{zip}));
}

TEST_F(InfoSearchTest, RemovableVolumeShowsThePlainTipWithoutLoadingTheLibrary) {
    const std::string floppy = makeFolder("floppy");
    markRemovable(floppy);
    const std::string zip = makeArchive("floppy/a.zip", 12);
    EXPECT_EQ(tip(zip), "Quarva.Zip Suite File");
    EXPECT_TRUE(fileCountCalls().empty());
}

TEST_F(InfoSearchTest, NetworkPathShowsThePlainTip) {
    EXPECT_EQ(tip("//server/share/a.zip"), "Quarva.Zip Suite File");
    EXPECT_TRUE(fileCountCalls().empty());
}

TEST_F(InfoSearchTest, OrdinaryProgramShowsTheCountTheLibraryGives) {
    EXPECT_EQ(tip(makeFile("tool.exe", "MZ")), "Quarva.Zip Suite info\nFiles/Folders in Archive: 0");
}

TEST_F(InfoSearchTest, MissingLibraryCountsZero) {
    std::filesystem::remove(installDir() / "libqzip32.so");
    EXPECT_EQ(tip(makeArchive("a.zip", 12)), "Quarva.Zip Suite info\nFiles/Folders in Archive: 0");
}

TEST_F(InfoSearchTest, TipWorksWithShellExtensionsOff) {
    setSettings(0x3FF & ~0x10u);
    EXPECT_EQ(tip(makeArchive("a.zip", 3)), "Quarva.Zip Suite info\nFiles/Folders in Archive: 3");
}

TEST_F(InfoSearchTest, NamesBeyondThePathLimitAreRefused) {
    HRESULT hr = S_OK;
    EXPECT_EQ(tip("/" + std::string(300, 'a') + ".zip", &hr), "");
    EXPECT_EQ(hr, E_INVALIDARG);
}

TEST_F(InfoSearchTest, RealZipIsCountedByTheInstalledFormatLibrary) {
    const char* dist = std::getenv("QUARVA_DIST_DIR");
    if (!dist || !std::filesystem::exists(std::filesystem::path(dist) / "libqzip32.so"))
        GTEST_SKIP() << "the format library is not installed in $QUARVA_DIST_DIR yet";
    if (!quarva::testing::haveTool("zip")) GTEST_SKIP() << "Info-ZIP zip is not installed";
    setInstalledPath(dist);
    makeFile("src/one.txt", "1");
    makeFile("src/two.txt", "2");
    const std::string zip = (dir() / "real.zip").string();
    ASSERT_EQ(
        quarva::testing::runCommand("cd '" + (dir() / "src").string() + "' && zip -q '" + zip + "' one.txt two.txt"),
        0);
    EXPECT_EQ(tip(zip), "Quarva.Zip Suite info\nFiles/Folders in Archive: 2");
}

TEST_F(InfoSearchTest, SearchStartsFindInZipForOffsetZeroOnly) {
    setSettings(0x3FF & ~0x10u);  // the search ignores the switches
    IContextMenu* search = create<IContextMenu>(CLSID_ZipSearch, IID_IContextMenu);
    IMenu* menu = CMenu::create();
    EXPECT_EQ(search->QueryContextMenu(menu, 0, 1, 10, CMF_NORMAL), E_NOTIMPL);
    char buf[16];
    EXPECT_EQ(search->GetCommandString(0, GCS_HELPTEXTA, nullptr, buf, sizeof buf), E_NOTIMPL);
    EXPECT_EQ(invoke(search, 1), E_INVALIDARG);
    EXPECT_TRUE(launches().empty());
    CMINVOKECOMMANDINFO info{};
    info.lpVerb = "find";
    EXPECT_EQ(search->InvokeCommand(&info), E_INVALIDARG);
    EXPECT_EQ(invoke(search, 0), S_OK);
    EXPECT_EQ(launches(), (std::vector<Launch>{{false, {installDir().string() + "/QuarvaZip", "/findinzip"}}}));
    menu->Release();
    search->Release();
}

TEST_F(InfoSearchTest, SearchWithoutInstalledPathStillAnswersOk) {
    platform::Registry(registryDir())
        .deleteValue(platform::Hive::CurrentUser, "Software\\Quarva Software\\Quarva.Zip\\Settings", "Installed Path");
    IContextMenu* search = create<IContextMenu>(CLSID_ZipSearch, IID_IContextMenu);
    EXPECT_EQ(invoke(search, 0), S_OK);
    EXPECT_EQ(launches(), (std::vector<Launch>{{false, {"/QuarvaZip", "/findinzip"}}}));
    search->Release();
}

}  // namespace quarva::shellext::testing
