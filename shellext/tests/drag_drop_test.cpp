// The right-drag menu handler and the drop handler of zip archives.

#include <gtest/gtest.h>

#include "shellext/com/WideText.h"
#include "shellext/tests/ShellExtFixture.h"

using namespace quarva::com;

namespace quarva::shellext::testing {

class DragDropTest : public ShellExtTest {
protected:
    std::string program() const { return installDir().string() + "/QuarvaZip"; }

    // The drop handler with `archive` loaded, as the shell holds it when files are dragged over.
    IDropTarget* loadedTarget(const std::string& archive) {
        IPersistFile* persist = create<IPersistFile>(CLSID_ZipDrop, IID_IPersistFile);
        std::u16string wide = toWide(archive);
        EXPECT_EQ(persist->Load(wide.c_str(), STGM_READ), S_OK);
        IDropTarget* target = nullptr;
        EXPECT_EQ(persist->QueryInterface(IID_IDropTarget, reinterpret_cast<void**>(&target)), S_OK);
        persist->Release();
        return target;
    }
    // Load + DragEnter (+ Drop when `drop`), as the shell does.
    HRESULT dropOn(const std::string& archive, const std::vector<std::string>& files, HRESULT* enter, DWORD* effect,
                   bool drop = true) {
        IDropTarget* target = loadedTarget(archive);
        shellhost::CDropData* data = shellhost::CDropData::create(files);
        *effect = 0xFF;
        *enter = target->DragEnter(data, MK_LBUTTON, POINTL{0, 0}, effect);
        DWORD over = DROPEFFECT_COPY;
        EXPECT_EQ(target->DragOver(MK_LBUTTON, POINTL{1, 1}, &over), E_NOTIMPL);
        EXPECT_EQ(over, DROPEFFECT_COPY);
        HRESULT hr = S_OK;
        if (drop) {
            DWORD dropEffect = DROPEFFECT_NONE;
            hr = target->Drop(data, 0, POINTL{0, 0}, &dropEffect);
            if (SUCCEEDED(hr)) {
                EXPECT_EQ(dropEffect, DROPEFFECT_COPY);
            }
        } else {
            hr = target->DragLeave();
        }
        data->Release();
        target->Release();
        return hr;
    }
};

TEST_F(DragDropTest, OneArchiveOffersTheTargetAndASubFolder) {
    const std::string zip = makeFile("in/b.zip", "PK");
    const std::string out = makeFolder("out");
    Queried q;
    query(q, CLSID_ZipDrag, {zip}, CMF_NORMAL, out.c_str());
    ASSERT_EQ(q.initResult, S_OK);
    ASSERT_EQ(q.queryResult, MAKE_HRESULT(0, 0, 2));
    auto t = texts(q.menu);
    ASSERT_EQ(t.size(), 2u);
    if (out.size() + 2 <= 34) {
        EXPECT_EQ(t[0], "E&xtract to folder " + out);
        EXPECT_EQ(t[1], "E&xtract to folder " + out + "/b");
    } else {
        EXPECT_LE(t[0].size(), std::string("E&xtract to folder ").size() + 34);
        EXPECT_TRUE(t[1].ends_with("/b")) << t[1];
    }
    char buf[32];
    EXPECT_EQ(q.handler->GetCommandString(0, GCS_HELPTEXTA, nullptr, buf, sizeof buf), E_NOTIMPL);
    ASSERT_EQ(invoke(q.handler, 1), S_OK);
    EXPECT_EQ(listFile(), zip + "\r\n" + out + "/b");
    EXPECT_EQ(launches(), (std::vector<Launch>{{false, {program(), "/noextractdialog", kList}}}));
}

TEST_F(DragDropTest, TwoArchivesOntoADriveRootOfferOneItem) {
    const std::string a = makeFile("in/a.zip", "PK"), b = makeArchive("in/b.exe", 3);
    const std::string drive = makeFolder("D");
    markRemovable(drive);
    Queried q;
    query(q, CLSID_ZipDrag, {a, b}, CMF_NORMAL, drive.c_str());
    ASSERT_EQ(q.queryResult, MAKE_HRESULT(0, 0, 1));
    ASSERT_EQ(invoke(q.handler, 0), S_OK);
    EXPECT_EQ(listFile(), a + "\r\n" + drive + "\r\n" + b + "\r\n" + drive + "\r\n");
    // The sub-folder item exists only for a single archive: nothing is written or started.
    ASSERT_EQ(invoke(q.handler, 1), S_OK);
    EXPECT_EQ(listFiles().size(), 1u);
    EXPECT_EQ(launches().size(), 1u);
}

TEST_F(DragDropTest, OnlyTheArchivesOfTheDropCount) {
    const std::string zip = makeFile("in/b.tar", "x"), text = makeFile("in/notes.txt");
    const std::string out = makeFolder("o");
    Queried q;
    query(q, CLSID_ZipDrag, {text, zip}, CMF_NORMAL, out.c_str());
    ASSERT_EQ(q.queryResult, MAKE_HRESULT(0, 0, 2));
    ASSERT_EQ(invoke(q.handler, 0), S_OK);
    // The target kept the separator it gained for the sub-folder item.
    EXPECT_EQ(listFile(), zip + "\r\n" + out + "/\r\n");
}

TEST_F(DragDropTest, OrdinaryProgramSpoilsTheWholeDrop) {
    const std::string zip = makeFile("in/b.zip", "PK"), tool = makeFile("in/tool.exe", "MZ");
    const std::string out = makeFolder("o");
    EXPECT_EQ(initResult(CLSID_ZipDrag, {zip, tool}, out.c_str()), E_INVALIDARG);
}

TEST_F(DragDropTest, NothingButTextFilesOffersNothing) {
    const std::string text = makeFile("in/notes.txt");
    const std::string out = makeFolder("o");
    EXPECT_EQ(initResult(CLSID_ZipDrag, {text}, out.c_str()), E_INVALIDARG);
}

TEST_F(DragDropTest, DragMenuHonoursTheSwitches) {
    const std::string zip = makeFile("in/b.zip", "PK");
    const std::string out = makeFolder("o");
    setSettings(0x3FF & ~0x10u);
    EXPECT_EQ(initResult(CLSID_ZipDrag, {zip}, out.c_str()), E_INVALIDARG);

    setSettings(0x3FF);
    Queried q;
    query(q, CLSID_ZipDrag, {zip}, CMF_DEFAULTONLY, out.c_str());
    EXPECT_EQ(q.queryResult, MAKE_HRESULT(0, 0, 0));
    EXPECT_EQ(q.menu->GetMenuItemCount(), 0);
}

TEST_F(DragDropTest, DragSubmenusAreNotMerged) {
    const std::string zip = makeFile("in/b.zip", "PK");
    const std::string out = makeFolder("o");
    IMenu* shellMenu = CMenu::create();
    for (int round = 0; round < 2; ++round) {
        HRESULT hr = E_FAIL;
        IContextMenu* h = initialised(CLSID_ZipDrag, {zip}, &hr, out.c_str());
        ASSERT_EQ(hr, S_OK);
        EXPECT_EQ(h->QueryContextMenu(shellMenu, 0, kFirstId, kFirstId + 50, CMF_NORMAL), MAKE_HRESULT(0, 0, 2));
        h->Release();
    }
    EXPECT_EQ(shellMenu->GetMenuItemCount(), 2);
    shellMenu->Release();
}

TEST_F(DragDropTest, TwoFilesDroppedOnAZipAreAdded) {
    const std::string zip = makeFile("a.zip", "PK");
    const std::string x = makeFile("x.txt"), y = makeFile("y.txt");
    HRESULT enter = E_FAIL;
    DWORD effect = 0;
    EXPECT_EQ(dropOn(zip, {x, y}, &enter, &effect), S_OK);
    EXPECT_EQ(enter, S_OK);
    EXPECT_EQ(effect, DROPEFFECT_COPY);
    EXPECT_EQ(listFile(), zip + "\r\n" + x + "\r\n" + y + "\r\n");
    // The program path goes unquoted.
    EXPECT_EQ(launches(),
              (std::vector<Launch>{{false, {installDir().string() + "/QuarvaZip", "/noadddialog", kList}}}));
}

TEST_F(DragDropTest, DropIsRefusedWhenShellExtensionsAreOff) {
    setSettings(0x3FF & ~0x10u);
    const std::string zip = makeFile("a.zip", "PK");
    const std::string x = makeFile("x.txt");
    HRESULT enter = S_OK;
    DWORD effect = 0;
    EXPECT_EQ(dropOn(zip, {x}, &enter, &effect), E_INVALIDARG);
    EXPECT_EQ(enter, E_INVALIDARG);
    EXPECT_EQ(effect, 0xFFu);  // left alone
    EXPECT_FALSE(listFileExists());
    EXPECT_TRUE(launches().empty());
}

TEST_F(DragDropTest, EmptyDropSetsNoEffect) {
    const std::string zip = makeFile("a.zip", "PK");
    HRESULT enter = S_OK;
    DWORD effect = 0;
    EXPECT_EQ(dropOn(zip, {}, &enter, &effect, false), S_OK);
    EXPECT_EQ(enter, E_INVALIDARG);
    EXPECT_EQ(effect, DROPEFFECT_NONE);
}

TEST_F(DragDropTest, EnteringTwiceDoesNotAddFilesTwice) {
    const std::string zip = makeFile("a.zip", "PK");
    const std::string x = makeFile("x.txt");
    IDropTarget* target = loadedTarget(zip);
    ASSERT_NE(target, nullptr);
    shellhost::CDropData* data = shellhost::CDropData::create({x});
    DWORD effect = 0;
    ASSERT_EQ(target->DragEnter(data, MK_LBUTTON, POINTL{0, 0}, &effect), S_OK);
    ASSERT_EQ(target->DragLeave(), S_OK);
    ASSERT_EQ(target->DragEnter(data, MK_LBUTTON, POINTL{0, 0}, &effect), S_OK);
    ASSERT_EQ(target->Drop(data, 0, POINTL{0, 0}, &effect), S_OK);
    EXPECT_EQ(listFile(), zip + "\r\n" + x + "\r\n");
    data->Release();
    target->Release();
}

TEST_F(DragDropTest, DropWithoutEnterAddsNothing) {
    IDropTarget* target = create<IDropTarget>(CLSID_ZipDrop, IID_IDropTarget);
    shellhost::CDropData* data = shellhost::CDropData::create({makeFile("x.txt")});
    DWORD effect = 0;
    EXPECT_EQ(target->Drop(data, 0, POINTL{0, 0}, &effect), E_INVALIDARG);
    EXPECT_TRUE(launches().empty());
    data->Release();
    target->Release();
}

TEST_F(DragDropTest, PersistFileOffersOnlyLoad) {
    IPersistFile* persist = create<IPersistFile>(CLSID_ZipDrop, IID_IPersistFile);
    CLSID clsid{};
    EXPECT_EQ(persist->GetClassID(&clsid), E_NOTIMPL);
    EXPECT_EQ(persist->IsDirty(), E_NOTIMPL);
    EXPECT_EQ(persist->Save(u"x", 0), E_NOTIMPL);
    EXPECT_EQ(persist->SaveCompleted(u"x"), E_NOTIMPL);
    LPOLESTR name = nullptr;
    EXPECT_EQ(persist->GetCurFile(&name), E_NOTIMPL);
    persist->Release();
}

TEST_F(DragDropTest, ProgramPathWithABlankStaysOneWord) {
    const std::filesystem::path spaced = dir() / "Quarva Zip";
    std::filesystem::create_directories(spaced);
    setInstalledPath(spaced.string());
    const std::string zip = makeFile("a.zip", "PK");
    HRESULT enter = E_FAIL;
    DWORD effect = 0;
    EXPECT_EQ(dropOn(zip, {makeFile("x.txt")}, &enter, &effect), S_OK);
    EXPECT_EQ(launches(), (std::vector<Launch>{{false, {spaced.string() + "/QuarvaZip", "/noadddialog", kList}}}));
}

// A line break in a dropped name, an archive's name or the target folder would add
// lines to the list: the command is refused with a message and nothing starts.
TEST_F(DragDropTest, NamesWithALineBreakAreRefused) {
    const std::string zip = makeFile("a.zip", "PK");
    const std::string bad = makeFile("evil\n" + dir().string() + "/victim/.bashrc");
    HRESULT enter = E_FAIL;
    DWORD effect = 0;
    EXPECT_EQ(dropOn(zip, {bad}, &enter, &effect), HRESULT_FROM_WIN32(123));

    const std::string archive = makeFile("in\r/b.zip", "PK");
    const std::string folder = makeFolder("out");
    Queried q;
    query(q, CLSID_ZipDrag, {archive}, CMF_NORMAL, folder.c_str());
    EXPECT_EQ(invoke(q.handler, 0), HRESULT_FROM_WIN32(123));
    EXPECT_EQ(invoke(q.handler, 1), HRESULT_FROM_WIN32(123));
    EXPECT_TRUE(launches().empty());
    EXPECT_FALSE(listFileExists());
    EXPECT_EQ(refusals().size(), 3u);
}

}  // namespace quarva::shellext::testing
