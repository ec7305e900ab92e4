// Registration and unregistration against a registry store in a temp folder.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/Registry.h"
#include "shellext/tests/ShellExtFixture.h"

using namespace quarva::com;

namespace quarva::shellext::testing {

namespace {
constexpr const char* kApproved = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

struct Expected {
    const CLSID* clsid;
    const char* viProgId;
    const char* progId;
    const char* description;
    std::vector<const char*> handlers;
    const char* approval;
};

const std::vector<Expected>& expectedClasses() {
    static const std::vector<Expected> e = {
        {&CLSID_ZipContext,
         "Zip.ZipContext",
         "Zip.ZipContext.1",
         "ZipContext Class",
         {"*\\shellex\\contextmenuhandlers\\QuarvaZip", "Directory\\shellex\\contextmenuhandlers\\Quarvazip",
          "Folder\\shellex\\contextmenuhandlers\\Quarvazip"},
         "Quarva.Zip ContextMenuHandler"},
        {&CLSID_ZipDrag,
         "Zip.ZipDrag",
         "Zip.ZipDrag.1",
         "ZipDrag Class",
         {"Directory\\Shellex\\DragDropHandlers\\QuarvaZip", "Drive\\Shellex\\DragDropHandlers\\QuarvaZip",
          "Folder\\Shellex\\DragDropHandlers\\QuarvaZip"},
         "Quarva.Zip DragHandler"},
        {&CLSID_ZipDrop,
         "Zip.ZipDrop",
         "Zip.ZipDrop.1",
         "ZipDrop Class",
         {"QuarvaZip\\Shellex\\DropHandler"},
         "Quarva.Zip DropHandler"},
        {&CLSID_ZipSearch, "Zip.ZipSearch", "Zip.ZipSearch.1", "ZipSearch Class", {}, "Quarva.Zip Search"},
        {&CLSID_ZipInfo,
         "Zip.ZipInfo",
         "Zip.ZipInfo.1",
         "ZipInfo Class",
         {"QuarvaZip\\Shellex\\{00021500-0000-0000-c000-000000000046}"},
         "Quarva.Zip InfoHandler"},
    };
    return e;
}
}  // namespace

std::string shellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

class RegistrationTest : public ShellExtTest {
protected:
    Registry reg() const { return Registry(registryDir()); }
    std::string str(Hive hive, const std::string& key, const std::string& name = "") const {
        return reg().readString(hive, key, name).value_or("<missing>");
    }
    // The library copied to `folder`, loaded from there, registered with its own path.
    std::string registerCopyAt(const fs::path& folder) {
        fs::create_directories(folder);
        fs::path copy = folder / "libQZipShell32.so";
        fs::copy_file(QZIPSHELL_LIBRARY, copy, fs::copy_options::overwrite_existing);
        std::string out;
        int rc =
            quarva::testing::runCommand(shellQuote(QZIPSHELL_HOST) + " register " + shellQuote(folder.string()), &out);
        EXPECT_EQ(rc, 0) << out;
        return copy.string();
    }
    void checkRegistered(const std::string& modulePath) {
        const std::string libid = guidToString(LIBID_ZIPLib);
        for (const auto& e : expectedClasses()) {
            const std::string clsid = guidToString(*e.clsid);
            const std::string key = "CLSID\\" + clsid;
            EXPECT_EQ(str(Hive::ClassesRoot, e.progId), e.description);
            EXPECT_EQ(str(Hive::ClassesRoot, std::string(e.progId) + "\\CLSID"), clsid);
            EXPECT_EQ(str(Hive::ClassesRoot, e.viProgId), e.description);
            EXPECT_EQ(str(Hive::ClassesRoot, std::string(e.viProgId) + "\\CLSID"), clsid);
            EXPECT_EQ(str(Hive::ClassesRoot, std::string(e.viProgId) + "\\CurVer"), e.progId);
            EXPECT_EQ(str(Hive::ClassesRoot, key), e.description);
            EXPECT_EQ(str(Hive::ClassesRoot, key + "\\ProgID"), e.progId);
            EXPECT_EQ(str(Hive::ClassesRoot, key + "\\VersionIndependentProgID"), e.viProgId);
            EXPECT_TRUE(reg().keyExists(Hive::ClassesRoot, key + "\\Programmable"));
            EXPECT_TRUE(reg().values(Hive::ClassesRoot, key + "\\Programmable").empty());
            EXPECT_EQ(str(Hive::ClassesRoot, key + "\\InprocServer32"), modulePath);
            EXPECT_EQ(str(Hive::ClassesRoot, key + "\\InprocServer32", "ThreadingModel"), "Apartment");
            EXPECT_EQ(str(Hive::ClassesRoot, key + "\\TypeLib"), libid);
            for (const char* h : e.handlers) EXPECT_EQ(str(Hive::ClassesRoot, h), clsid) << h;
            EXPECT_EQ(str(Hive::LocalMachine, kApproved, clsid), e.approval);
        }
        EXPECT_EQ(str(Hive::ClassesRoot, ".zip"), "QuarvaZip");
        EXPECT_FALSE(reg().keyExists(Hive::ClassesRoot, "CLSID\\" + guidToString(CLSID_ZipProp)));
        const std::string lib = "TypeLib\\" + libid + "\\1.0";
        EXPECT_EQ(str(Hive::ClassesRoot, lib), "Zip 1.0 Type Library");
        EXPECT_EQ(str(Hive::ClassesRoot, lib + "\\0\\linux"), modulePath);
        EXPECT_EQ(str(Hive::ClassesRoot, lib + "\\FLAGS"), "0");
        EXPECT_EQ(str(Hive::ClassesRoot, lib + "\\HELPDIR"), fs::path(modulePath).parent_path().string());
        const std::string iface = "Interface\\" + guidToString(IID_IZipContext);
        EXPECT_EQ(str(Hive::ClassesRoot, iface), "IZipContext");
        EXPECT_EQ(str(Hive::ClassesRoot, iface + "\\TypeLib"), libid);
        EXPECT_EQ(str(Hive::ClassesRoot, iface + "\\TypeLib", "Version"), "1.0");
        EXPECT_EQ(str(Hive::ClassesRoot, "Interface\\" + guidToString(IID_IZipProp)), "IZipProp");
    }
};

TEST_F(RegistrationTest, WritesEveryEntryWithTheModulePath) {
    ASSERT_EQ(server().registerServer(), S_OK);
    checkRegistered(fs::path(QZIPSHELL_LIBRARY).lexically_normal().string());
}

TEST_F(RegistrationTest, PathWithBlanksAndQuotesIsWrittenAsItIs) {
    const std::string path = registerCopyAt(dir() / "Program Files" / "it's here");
    checkRegistered(path);
}

TEST_F(RegistrationTest, RegisteringTwiceLeavesOneSet) {
    ASSERT_EQ(server().registerServer(), S_OK);
    // A stale entry in the class key disappears: the key is rewritten.
    const std::string key = "CLSID\\" + guidToString(CLSID_ZipContext);
    ASSERT_EQ(reg().writeString(Hive::ClassesRoot, key + "\\Stale", "", "x"), 0);
    const std::string first = quarva::testing::readFile(reg().hiveFile(Hive::ClassesRoot));
    ASSERT_EQ(server().registerServer(), S_OK);
    EXPECT_FALSE(reg().keyExists(Hive::ClassesRoot, key + "\\Stale"));
    ASSERT_EQ(reg().deleteKey(Hive::ClassesRoot, key + "\\Stale"), platform::kErrorFileNotFound);
    ASSERT_EQ(reg().writeString(Hive::ClassesRoot, key + "\\Stale", "", "x"), 0);
    EXPECT_EQ(quarva::testing::readFile(reg().hiveFile(Hive::ClassesRoot)), first);
    EXPECT_EQ(reg().values(Hive::LocalMachine, kApproved).size(), 5u);
    EXPECT_EQ(reg().subkeys(Hive::ClassesRoot, "*\\shellex\\contextmenuhandlers").size(), 1u);
}

TEST_F(RegistrationTest, UnregisteringRemovesOnlyWhatItCreated) {
    // Another extension's handler and approval, and a file type that is not ours.
    ASSERT_EQ(reg().writeString(Hive::ClassesRoot, "*\\shellex\\contextmenuhandlers\\Other", "",
                                "{11111111-2222-3333-4444-555555555555}"),
              0);
    ASSERT_EQ(reg().writeString(Hive::LocalMachine, kApproved, "{11111111-2222-3333-4444-555555555555}", "Other"), 0);
    ASSERT_EQ(reg().writeString(Hive::ClassesRoot, "Directory\\shellex\\PropertySheetHandlers\\Other", "", "x"), 0);
    ASSERT_EQ(server().registerServer(), S_OK);
    ASSERT_EQ(server().unregisterServer(), S_OK);

    for (const auto& e : expectedClasses()) {
        const std::string clsid = guidToString(*e.clsid);
        EXPECT_FALSE(reg().keyExists(Hive::ClassesRoot, "CLSID\\" + clsid));
        EXPECT_FALSE(reg().keyExists(Hive::ClassesRoot, e.progId));
        EXPECT_FALSE(reg().keyExists(Hive::ClassesRoot, e.viProgId));
        for (const char* h : e.handlers) EXPECT_FALSE(reg().keyExists(Hive::ClassesRoot, h)) << h;
        EXPECT_FALSE(reg().readString(Hive::LocalMachine, kApproved, clsid).has_value());
    }
    EXPECT_TRUE(reg().keyExists(Hive::ClassesRoot, "*\\shellex\\contextmenuhandlers\\Other"));
    EXPECT_EQ(str(Hive::LocalMachine, kApproved, "{11111111-2222-3333-4444-555555555555}"), "Other");
    EXPECT_TRUE(reg().keyExists(Hive::ClassesRoot, "Directory\\shellex"));
    EXPECT_TRUE(reg().keyExists(Hive::ClassesRoot, "Directory\\shellex\\PropertySheetHandlers\\Other"));
    EXPECT_TRUE(reg().keyExists(Hive::ClassesRoot, "Drive\\Shellex"));
    EXPECT_TRUE(reg().keyExists(Hive::ClassesRoot, "Folder\\shellex"));
    EXPECT_TRUE(reg().keyExists(Hive::ClassesRoot, "*\\shellex"));
    EXPECT_TRUE(reg().keyExists(Hive::ClassesRoot, ".zip"));
    EXPECT_TRUE(reg().keyExists(Hive::ClassesRoot, "CLSID"));
    EXPECT_TRUE(reg().keyExists(Hive::LocalMachine, kApproved));
    EXPECT_FALSE(reg().keyExists(Hive::ClassesRoot, "TypeLib\\" + guidToString(LIBID_ZIPLib)));
    EXPECT_FALSE(reg().keyExists(Hive::ClassesRoot, "Interface\\" + guidToString(IID_IZipInfo)));
    // Unregistering again finds nothing to remove and is no failure.
    EXPECT_EQ(server().unregisterServer(), S_OK);
}

TEST_F(RegistrationTest, UnregisteringKeepsTheFileTypeTheArchiveManagerWrote) {
    ASSERT_EQ(server().registerServer(), S_OK);
    ASSERT_EQ(reg().writeString(Hive::ClassesRoot, "QuarvaZip", "", "Zip archive"), 0);
    ASSERT_EQ(server().unregisterServer(), S_OK);
    EXPECT_EQ(str(Hive::ClassesRoot, "QuarvaZip"), "Zip archive");
    EXPECT_FALSE(reg().keyExists(Hive::ClassesRoot, "QuarvaZip\\Shellex\\DropHandler"));
}

TEST_F(RegistrationTest, StoreThatCannotBeWrittenFailsRegistration) {
    // The store's folder is taken by a plain file: nothing can be written there.
    fs::remove_all(registryDir());
    quarva::testing::writeFile(registryDir(), "not a folder");
    EXPECT_TRUE(FAILED(server().registerServer()));
    EXPECT_EQ(quarva::testing::readFile(registryDir()), "not a folder");
}

}  // namespace quarva::shellext::testing
