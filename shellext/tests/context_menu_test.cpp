// The context-menu handler, driven as the shell drives it.

#include <gtest/gtest.h>

#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "shellext/tests/ShellExtFixture.h"

using namespace quarva::com;

namespace quarva::shellext::testing {

class ContextMenuTest : public ShellExtTest {
protected:
    std::string program() const { return installDir().string() + "/QuarvaZip"; }
};

TEST_F(ContextMenuTest, OneFileOffersAddItemsAndAddsUnattended) {
    const std::string doc = makeFile("Data/report.doc");
    const std::string zip = (dir() / "Data/report.zip").string();
    Queried q;
    query(q, CLSID_ZipContext, {doc});
    ASSERT_EQ(q.initResult, S_OK);
    EXPECT_EQ(q.queryResult, MAKE_HRESULT(0, 0, 3));
    // Default settings: submenu, icons and mail on.
    auto r = rows(q.menu);
    ASSERT_EQ(r.size(), 4u);
    EXPECT_EQ(r[0].text, "Quarva.Zip Suite");
    EXPECT_EQ(r[0].bitmap, 203);
    EXPECT_EQ(texts(q.menu),
              (std::vector<std::string>{"Add To &Zip", "&Add to report.zip", "Zip and E-Ma&il report.zip"}));
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(r[i].id, kFirstId + i - 1);
        EXPECT_EQ(r[i].bitmap, 203);
    }
    EXPECT_EQ(help(q.handler, 0), "Add the selected item to an archive");
    EXPECT_EQ(help(q.handler, 1), "Add the selected item to the archive " + zip);
    EXPECT_EQ(help(q.handler, 2), "Zip the selected item to an  archive report.zip and e-mail it");
    EXPECT_EQ(helpWide(q.handler, 1), "Add the selected item to the archive " + zip);
    HRESULT hr = S_OK;
    help(q.handler, 3, &hr);
    EXPECT_EQ(hr, E_INVALIDARG);

    ASSERT_EQ(invoke(q.handler, 1), S_OK);
    EXPECT_EQ(listFile(), zip + "\r\n" + doc);
    EXPECT_EQ(launches(), (std::vector<Launch>{{false, {program(), "/noadddialog", kList}}}));
}

TEST_F(ContextMenuTest, OneFileAddWithDialogAndZipAndMail) {
    const std::string doc = makeFile("Data/report.doc");
    Queried q;
    query(q, CLSID_ZipContext, {doc});
    ASSERT_EQ(invoke(q.handler, 0), S_OK);
    EXPECT_EQ(listFile(), doc);
    ASSERT_EQ(invoke(q.handler, 2), S_OK);
    EXPECT_EQ(listFile(), (dir() / "Data/report.zip").string() + "\r\n" + doc);
    EXPECT_EQ(launches(),
              (std::vector<Launch>{{true, {program(), "/add", kList}}, {false, {program(), "/zipandmail", kList}}}));
}

TEST_F(ContextMenuTest, DotsInNamesStayInTheArchiveName) {
    // A folder keeps its dots; a dot in a folder name does not cut a file without extension.
    const std::string folder = makeFolder("my.dir"), file = makeFile("v1.2/README");
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {folder, {"Add To &Zip", "&Add to my.dir.zip", "Zip and E-Ma&il my.dir.zip"}},
        {file, {"Add To &Zip", "&Add to README.zip", "Zip and E-Ma&il README.zip"}}};
    for (const auto& [path, items] : cases) {
        Queried q;
        query(q, CLSID_ZipContext, {path});
        EXPECT_EQ(texts(q.menu), items);
        ASSERT_EQ(invoke(q.handler, 1), S_OK);
        EXPECT_EQ(listFile(), path + ".zip\r\n" + path);
    }
}

TEST_F(ContextMenuTest, HiddenFileKeepsItsLeadingDot) {
    const std::string file = makeFile("home/.profile");
    Queried q;
    query(q, CLSID_ZipContext, {file});
    EXPECT_EQ(texts(q.menu)[1], "&Add to .profile.zip");
}

TEST_F(ContextMenuTest, DriveRootOffersOnlyAddToZip) {
    const std::string volume = makeFolder("volume");
    markRemovable(volume);
    makeFile("volume/a.txt");
    Queried q;
    query(q, CLSID_ZipContext, {volume + "/"});
    EXPECT_EQ(q.queryResult, MAKE_HRESULT(0, 0, 1));
    EXPECT_EQ(texts(q.menu), (std::vector<std::string>{"Add To &Zip"}));
    ASSERT_EQ(invoke(q.handler, 0), S_OK);
    EXPECT_EQ(listFile(), volume);
    EXPECT_EQ(launches(), (std::vector<Launch>{{true, {program(), "/add", kList}}}));
}

TEST_F(ContextMenuTest, TheSystemRootStaysAPath) {
    Queried q;
    query(q, CLSID_ZipContext, {"/"});
    EXPECT_EQ(texts(q.menu), (std::vector<std::string>{"Add To &Zip"}));
    ASSERT_EQ(invoke(q.handler, 0), S_OK);
    EXPECT_EQ(listFile(), "/");
}

TEST_F(ContextMenuTest, TwoItemsInADriveRootNameTheArchiveAfterTheDrive) {
    const std::string volume = makeFolder("C");
    markRemovable(volume);
    const std::string a = makeFile("C/a.txt"), b = makeFile("C/b.txt");
    Queried q;
    query(q, CLSID_ZipContext, {a, b});
    EXPECT_EQ(texts(q.menu), (std::vector<std::string>{"Add To &Zip", "Zip and E-Ma&il C_zip.zip"}));
    EXPECT_EQ(help(q.handler, 0), "Add the selected items to an archive");
    EXPECT_EQ(help(q.handler, 1), "Zip the selected items to an archive C_zip.zip and e-mail it");
    ASSERT_EQ(invoke(q.handler, 1), S_OK);
    EXPECT_EQ(listFile(), volume + "/C_zip.zip\r\n" + a + "\r\n" + b + "\r\n");
    ASSERT_EQ(invoke(q.handler, 0), S_OK);
    EXPECT_EQ(listFile(), a + "\r\n" + b + "\r\n");
    EXPECT_EQ(launches(),
              (std::vector<Launch>{{false, {program(), "/zipandmail", kList}}, {true, {program(), "/add", kList}}}));
}

TEST_F(ContextMenuTest, TwoItemsInTheSystemRootMakeRootZip) {
    Queried q;
    query(q, CLSID_ZipContext, {"/etc", "/usr"});
    EXPECT_EQ(texts(q.menu), (std::vector<std::string>{"Add To &Zip", "Zip and E-Ma&il root_zip.zip"}));
}

TEST_F(ContextMenuTest, TwoItemsInAFolderNameTheArchiveAfterTheFolder) {
    const std::string a = makeFile("Data/a.txt"), b = makeFile("Data/b.txt");
    Queried q;
    query(q, CLSID_ZipContext, {a, b});
    EXPECT_EQ(texts(q.menu)[1], "Zip and E-Ma&il Data.zip");
    ASSERT_EQ(invoke(q.handler, 1), S_OK);
    EXPECT_EQ(listFile().substr(0, (dir() / "Data/Data.zip\r\n").string().size()),
              (dir() / "Data/Data.zip\r\n").string());
    HRESULT hr = S_OK;
    help(q.handler, 2, &hr);
    EXPECT_EQ(hr, E_INVALIDARG);
    // Offset 2 of several items is no command: nothing starts.
    EXPECT_EQ(invoke(q.handler, 2), S_OK);
    EXPECT_EQ(launches().size(), 1u);
}

TEST_F(ContextMenuTest, ArchiveWithUpperCaseExtensionOffersFourItems) {
    const std::string zip = makeFile("a/B.ZIP", "PK");
    const std::string folder = (dir() / "a/B").string();
    setSettings(0x3FF & ~0x20u);  // items straight into the shell's menu
    Queried q;
    query(q, CLSID_ZipContext, {zip});
    ASSERT_EQ(q.queryResult, MAKE_HRESULT(0, 0, 4));
    // The folder is short enough not to be compacted only when the temp path is short.
    auto t = texts(q.menu);
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t[0], "&Extract to...");
    EXPECT_EQ(t[2], "E-Ma&il B.ZIP");
    if (folder.size() <= 44) {
        EXPECT_EQ(t[1], "E&xtract to folder " + folder);
        EXPECT_EQ(t[3], "Make s&elf extractor " + folder + ".exe");
    }
    auto r = rows(q.menu);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(r[i].id, kFirstId + i);
        EXPECT_EQ(r[i].depth, 0);
    }
    EXPECT_EQ(help(q.handler, 0), "Extract all files in the archive");
    EXPECT_EQ(help(q.handler, 1), "Extract all files in the archive to the folder " + folder);
    EXPECT_EQ(help(q.handler, 2), "E-Mail the selected item B.ZIP");
    EXPECT_EQ(help(q.handler, 3), "Convert the selected item B.ZIP to self extracting executable");

    ASSERT_EQ(invoke(q.handler, 0), S_OK);
    EXPECT_FALSE(listFileExists());  // the archive is the argument itself
    ASSERT_EQ(invoke(q.handler, 1), S_OK);
    EXPECT_EQ(listFile(), zip + "\r\n" + folder);
    ASSERT_EQ(invoke(q.handler, 2), S_OK);
    ASSERT_EQ(invoke(q.handler, 3), S_OK);
    EXPECT_EQ(launches(), (std::vector<Launch>{{true, {program(), "/extract", zip}},
                                               {false, {program(), "/noextractdialog", kList}},
                                               {false, {program(), "/mail", zip}},
                                               {false, {program(), "/SFX", zip}}}));
    EXPECT_EQ(invoke(q.handler, 4), E_INVALIDARG);
}

TEST_F(ContextMenuTest, CabinetHasNoSelfExtractorItem) {
    const std::string cab = makeFile("a/b.cab", "MSCF");
    Queried q;
    query(q, CLSID_ZipContext, {cab});
    auto t = texts(q.menu);
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[2], "E-Ma&il b.cab");
}

TEST_F(ContextMenuTest, SelfExtractingProgramOffersTheExtractItemsOnly) {
    const std::string setup = makeArchive("a/setup.exe", 12);
    Queried q;
    query(q, CLSID_ZipContext, {setup});
    setSettings(0x3FF & ~0x80u);
    Queried q2;
    query(q2, CLSID_ZipContext, {setup});
    EXPECT_EQ(texts(q2.menu).size(), 2u);
    EXPECT_EQ(texts(q2.menu)[0], "&Extract to...");
    EXPECT_EQ(fileCountCalls(), (std::vector<std::string>{setup, setup}));
}

TEST_F(ContextMenuTest, OrdinaryProgramIsAnOrdinaryFile) {
    const std::string tool = makeFile("a/tool.exe", "MZ");
    Queried q;
    query(q, CLSID_ZipContext, {tool});
    EXPECT_EQ(texts(q.menu)[1], "&Add to tool.zip");
}

TEST_F(ContextMenuTest, MissingFormatLibraryCountsZero) {
    std::filesystem::remove(installDir() / "libqzip32.so");
    const std::string setup = makeArchive("a/setup.exe", 12);
    Queried q;
    query(q, CLSID_ZipContext, {setup});
    EXPECT_EQ(texts(q.menu)[0], "Add To &Zip");
}

TEST_F(ContextMenuTest, LongFolderIsCompactedInTheItemsButWrittenWhole) {
    const std::string zip = makeFile("a-rather-long-folder-name/and-another-long-one/archive.zip", "PK");
    const std::string folder = zip.substr(0, zip.size() - 4);
    ASSERT_GT(folder.size(), 44u);
    Queried q;
    query(q, CLSID_ZipContext, {zip});
    auto t = texts(q.menu);
    ASSERT_EQ(t.size(), 4u);
    const std::string shown = t[1].substr(std::string("E&xtract to folder ").size());
    EXPECT_EQ(shown.size(), 44u);
    EXPECT_NE(shown.find("..."), std::string::npos);
    EXPECT_TRUE(shown.ends_with("/archive")) << shown;
    EXPECT_EQ(shown.substr(0, 10), folder.substr(0, 10));
    EXPECT_EQ(t[3], "Make s&elf extractor " + shown + ".exe");
    EXPECT_EQ(help(q.handler, 1), "Extract all files in the archive to the folder " + folder);
    ASSERT_EQ(invoke(q.handler, 1), S_OK);
    EXPECT_EQ(listFile(), zip + "\r\n" + folder);
}

TEST_F(ContextMenuTest, DefaultOnlyAddsNothing) {
    const std::string doc = makeFile("report.doc");
    Queried q;
    query(q, CLSID_ZipContext, {doc}, CMF_DEFAULTONLY);
    EXPECT_EQ(q.queryResult, MAKE_HRESULT(0, 0, 0));
    EXPECT_EQ(q.menu->GetMenuItemCount(), 0);
}

TEST_F(ContextMenuTest, WithoutMailTheThirdArchiveItemIsTheSelfExtractor) {
    setSettings(0x3FF & ~0x80u);
    const std::string zip = makeFile("x.zip", "PK");
    Queried q;
    query(q, CLSID_ZipContext, {zip});
    auto t = texts(q.menu);
    ASSERT_EQ(t.size(), 3u);
    EXPECT_TRUE(t[2].starts_with("Make s&elf extractor "));
    EXPECT_EQ(help(q.handler, 2), "Convert the selected item x.zip to self extracting executable");
    ASSERT_EQ(invoke(q.handler, 2), S_OK);
    EXPECT_EQ(launches(), (std::vector<Launch>{{false, {program(), "/SFX", zip}}}));
}

TEST_F(ContextMenuTest, WithoutMailAFileGetsTwoItems) {
    setSettings(0x3FF & ~0x80u);
    const std::string doc = makeFile("report.doc");
    Queried q;
    query(q, CLSID_ZipContext, {doc, doc});
    EXPECT_EQ(texts(q.menu), (std::vector<std::string>{"Add To &Zip"}));
}

TEST_F(ContextMenuTest, SubmenuIsInsertedOnceForTwoRegistrations) {
    const std::string folder = makeFolder("f");
    IMenu* shellMenu = CMenu::create();
    shellMenu->InsertMenu(0, MF_BYPOSITION | MF_STRING, 1, "Open");
    for (int round = 0; round < 2; ++round) {
        HRESULT hr = E_FAIL;
        IContextMenu* h = initialised(CLSID_ZipContext, {folder}, &hr);
        ASSERT_EQ(hr, S_OK);
        EXPECT_EQ(h->QueryContextMenu(shellMenu, 1, kFirstId + 10 * round, kFirstId + 50, CMF_NORMAL),
                  MAKE_HRESULT(0, 0, 3));
        h->Release();
    }
    int submenus = 0;
    for (const auto& r : rows(shellMenu))
        if (r.text == "Quarva.Zip Suite") ++submenus;
    EXPECT_EQ(submenus, 1);
    EXPECT_EQ(shellMenu->GetMenuItemCount(), 2);
    shellMenu->Release();
}

TEST_F(ContextMenuTest, NoIconsWhenBitIsClear) {
    setSettings(0x3FF & ~0x40u);
    const std::string doc = makeFile("report.doc");
    Queried q;
    query(q, CLSID_ZipContext, {doc});
    for (const auto& r : rows(q.menu)) EXPECT_EQ(r.bitmap, 0) << r.text;
}

TEST_F(ContextMenuTest, ShellExtensionsOffRefuseInitialize) {
    setSettings(0x3FF & ~0x10u);
    const std::string doc = makeFile("report.doc");
    EXPECT_EQ(initResult(CLSID_ZipContext, {doc}), E_INVALIDARG);
}

TEST_F(ContextMenuTest, SettingsAreReadAfreshOnEveryCall) {
    const std::string doc = makeFile("report.doc");
    Queried q1;
    query(q1, CLSID_ZipContext, {doc});
    EXPECT_EQ(texts(q1.menu).size(), 3u);
    setSettings(0x3FF & ~0x80u);
    Queried q2;
    query(q2, CLSID_ZipContext, {doc});
    EXPECT_EQ(texts(q2.menu).size(), 2u);
}

TEST_F(ContextMenuTest, MissingSettingsCountAsTheDefault) {
    removeSettings();
    const std::string doc = makeFile("report.doc");
    Queried q;
    query(q, CLSID_ZipContext, {doc});
    EXPECT_EQ(q.initResult, S_OK);
    EXPECT_EQ(texts(q.menu).size(), 3u);
}

TEST_F(ContextMenuTest, EmptyDropListIsRefused) { EXPECT_EQ(initResult(CLSID_ZipContext, {}), E_INVALIDARG); }

TEST_F(ContextMenuTest, NameTooLongForThePathBufferIsRefused) {
    const std::string longName = "/" + std::string(300, 'x');
    EXPECT_EQ(initResult(CLSID_ZipContext, {longName}), E_INVALIDARG);
}

TEST_F(ContextMenuTest, StringVerbsAndUnknownOffsetsAreRefused) {
    const std::string doc = makeFile("report.doc");
    Queried q;
    query(q, CLSID_ZipContext, {doc});
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof info;
    info.lpVerb = "open";
    EXPECT_EQ(q.handler->InvokeCommand(&info), E_INVALIDARG);
    EXPECT_EQ(invoke(q.handler, 3), E_INVALIDARG);
    EXPECT_EQ(invoke(q.handler, 9), E_INVALIDARG);
    // A refused command leaves no list behind.
    EXPECT_FALSE(listFileExists());
    EXPECT_TRUE(launches().empty());
    char buf[64];
    EXPECT_EQ(q.handler->GetCommandString(0, GCS_VERBA, nullptr, buf, sizeof buf), E_INVALIDARG);
    EXPECT_EQ(q.handler->GetCommandString(0, GCS_VALIDATEA, nullptr, buf, sizeof buf), E_INVALIDARG);
}

TEST_F(ContextMenuTest, HelpTextIsCutToTheBuffer) {
    const std::string doc = makeFile("report.doc");
    Queried q;
    query(q, CLSID_ZipContext, {doc});
    char buf[8];
    ASSERT_EQ(q.handler->GetCommandString(0, GCS_HELPTEXTA, nullptr, buf, sizeof buf), S_OK);
    EXPECT_STREQ(buf, "Add the");
    OLECHAR wide[4];
    ASSERT_EQ(q.handler->GetCommandString(0, GCS_HELPTEXTW, nullptr, reinterpret_cast<char*>(wide), 4), S_OK);
    EXPECT_EQ(std::u16string(wide), u"Add");
}

// Each command writes a list of its own, made anew: a file or a link waiting under
// the old fixed name, or a list of an earlier command, is never written to.
TEST_F(ContextMenuTest, EveryCommandWritesAListOfItsOwn) {
    const std::string victim = makeFile("victim.txt", "keep me");
    std::filesystem::create_symlink(victim, tmpDir() / "~QuarvaZip.tmp");
    const std::string doc = makeFile("report.doc");
    Queried q;
    query(q, CLSID_ZipContext, {doc});
    ASSERT_EQ(invoke(q.handler, 1), S_OK);
    const std::string first = listFile();
    ASSERT_EQ(invoke(q.handler, 0), S_OK);
    EXPECT_EQ(listFile(), doc);
    EXPECT_EQ(quarva::testing::readFile(victim), "keep me");
    EXPECT_EQ(first, (dir() / "report.zip").string() + "\r\n" + doc);
    EXPECT_EQ(listFiles().size(), 3u);  // the two lists beside the old link
    ASSERT_EQ(launches().size(), 2u);
}

// A name with a line break would add lines of its own to the list: a folder
// "fotos<LF>/home/victim" holding a zip named ".zip" would extract over the
// victim's home. It is refused with a message and nothing is written or started.
TEST_F(ContextMenuTest, NameWithALineBreakIsRefused) {
    const std::string zip = makeFile("fotos\n" + dir().string() + "/victim/.zip", "PK");
    const std::string folder = makeFolder("share.zip\r" + dir().string() + "/victim/Documents");
    const std::string other = makeFile("report.doc");
    struct Case {
        std::vector<std::string> selection;
        unsigned offset;
    };
    for (const Case& c : {Case{{zip}, 1}, Case{{folder}, 0}, Case{{folder}, 1}, Case{{folder}, 2},
                          Case{{other, folder}, 0}, Case{{other, folder}, 1}}) {
        Queried q;
        query(q, CLSID_ZipContext, c.selection);
        EXPECT_EQ(invoke(q.handler, c.offset), HRESULT_FROM_WIN32(123)) << c.selection.back() << " " << c.offset;
    }
    EXPECT_TRUE(launches().empty());
    EXPECT_FALSE(listFileExists());
    const auto shown = refusals();
    ASSERT_EQ(shown.size(), 6u);
    EXPECT_NE(shown[0].find("holds a line break"), std::string::npos) << shown[0];
    EXPECT_NE(shown[0].find("fotos\\n"), std::string::npos) << shown[0];
    // The archive itself travels as one argument, not through a list: it may be opened.
    Queried q;
    query(q, CLSID_ZipContext, {zip});
    EXPECT_EQ(invoke(q.handler, 0), S_OK);
    EXPECT_EQ(launches(), (std::vector<Launch>{{true, {program(), "/extract", zip}}}));
}

// A temporary folder that others could reach is not used: the command says why and
// starts nothing.
TEST_F(ContextMenuTest, UnusableTemporaryFolderRefusesWithItsReason) {
    std::filesystem::permissions(tmpDir(), std::filesystem::perms::all, std::filesystem::perm_options::add);
    const std::string doc = makeFile("report.doc");
    Queried q;
    query(q, CLSID_ZipContext, {doc});
    EXPECT_TRUE(FAILED(invoke(q.handler, 1)));
    EXPECT_TRUE(launches().empty());
    EXPECT_FALSE(listFileExists());
    EXPECT_EQ(refusals(), (std::vector<std::string>{platform::tempFolderProblem()}));
}

// A quote in a path stays inside its word: the archive manager gets one switch and
// one argument whatever the name holds.
TEST_F(ContextMenuTest, QuotesInAPathStayInsideItsArgument) {
    makeFolder("drop/L");
    const std::string zip = makeFile("drop/q\" -noextractdialog \"" + (dir() / "drop/L/a.zip").string(), "PK");
    Queried q;
    query(q, CLSID_ZipContext, {zip});
    ASSERT_EQ(invoke(q.handler, 0), S_OK);
    EXPECT_EQ(launches(), (std::vector<Launch>{{true, {program(), "/extract", zip}}}));
}

TEST_F(ContextMenuTest, MissingInstalledPathStillStartsWithAnEmptyPath) {
    platform::Registry(registryDir())
        .deleteValue(platform::Hive::CurrentUser, "Software\\Quarva Software\\Quarva.Zip\\Settings", "Installed Path");
    const std::string doc = makeFile("report.doc");
    Queried q;
    query(q, CLSID_ZipContext, {doc});
    ASSERT_EQ(invoke(q.handler, 0), S_OK);
    EXPECT_EQ(launches(), (std::vector<Launch>{{true, {"/QuarvaZip", "/add", kList}}}));
}

TEST_F(ContextMenuTest, LongArchiveNameIsCutAtItsEnd) {
    const std::string name(60, 'n');
    const std::string zip = makeFile(name + ".zip", "PK");
    Queried q;
    query(q, CLSID_ZipContext, {zip});
    const std::string shown = texts(q.menu)[1].substr(std::string("E&xtract to folder ").size());
    EXPECT_EQ(shown, name.substr(0, 41) + "...");
}

TEST_F(ContextMenuTest, HiddenArchiveIsExtractedBesideIt) {
    const std::string zip = makeFile("a/.zip", "PK");
    Queried q;
    query(q, CLSID_ZipContext, {zip});
    ASSERT_EQ(invoke(q.handler, 1), S_OK);
    EXPECT_EQ(listFile(), zip + "\r\n" + (dir() / "a/").string());
}

TEST_F(ContextMenuTest, WithoutInstalledPathNoLibraryIsLoadedFromTheCurrentFolder) {
    platform::Registry(registryDir())
        .deleteValue(platform::Hive::CurrentUser, "Software\\Quarva Software\\Quarva.Zip\\Settings", "Installed Path");
    const std::string setup = makeArchive("a/setup.exe", 12);
    const auto old = std::filesystem::current_path();
    std::filesystem::current_path(installDir());  // holds a libqzip32.so
    Queried q;
    query(q, CLSID_ZipContext, {setup});
    std::filesystem::current_path(old);
    EXPECT_EQ(texts(q.menu)[0], "Add To &Zip");
    EXPECT_TRUE(fileCountCalls().empty());
}

}  // namespace quarva::shellext::testing
