// The registry store: value types and their REGEDIT4 forms, the buffer rules the
// suite's readers rely on, import and export, damaged hives, and several processes
// writing one hive at once.

#include "platform/Registry.h"
#include "platform/testing/TestSupport.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace quarva::platform;
using quarva::testing::readFile;
using quarva::testing::writeFile;

namespace {

const char kSettings[] = "Software\\Quarva Software\\Quarva.Zip\\Settings";

std::vector<std::uint8_t> bytesOf(std::string_view s) { return {s.begin(), s.end()}; }

class RegistryTest : public quarva::testing::FolderTest {
protected:
    Registry reg() const { return Registry(registryDir()); }
    std::string hiveText(Hive hive = Hive::CurrentUser) const { return readFile(reg().hiveFile(hive)); }
    std::vector<fs::path> filesNamed(const std::string& prefix) const {
        std::vector<fs::path> found;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(registryDir(), ec))
            if (e.path().filename().string().starts_with(prefix)) found.push_back(e.path());
        return found;
    }
    void set(Hive hive, const char* key, const char* name, std::uint32_t type, const std::vector<std::uint8_t>& data) {
        Registry r = reg();
        ASSERT_EQ(r.setValue(hive, key, name, type, data.data(), static_cast<std::uint32_t>(data.size())),
                  kErrorSuccess);
    }
    // The stored type and bytes, read with a buffer of exactly the stored size.
    std::pair<std::uint32_t, std::vector<std::uint8_t>> get(Hive hive, const char* key, const char* name) {
        Registry r = reg();
        std::uint32_t type = 99, size = 0;
        EXPECT_EQ(r.queryValue(hive, key, name, &type, nullptr, &size), kErrorSuccess);
        std::vector<std::uint8_t> data(size);
        std::uint32_t got = size;
        EXPECT_EQ(r.queryValue(hive, key, name, &type, data.data(), &got), kErrorSuccess);
        EXPECT_EQ(got, size);
        return {type, data};
    }
};

TEST_F(RegistryTest, FreshStoreHasNothingAndCreatesNoFiles) {
    Registry r = reg();
    EXPECT_FALSE(r.readString(Hive::CurrentUser, kSettings, "Installed Path"));
    EXPECT_FALSE(r.keyExists(Hive::CurrentUser, "Software"));
    EXPECT_TRUE(r.subkeys(Hive::CurrentUser, "").empty());
    EXPECT_FALSE(fs::exists(registryDir()));
}

TEST_F(RegistryTest, DefaultFolderFollowsTheEnvironment) {
    EXPECT_EQ(Registry::defaultFolder(), registryDir());
    EXPECT_EQ(Registry::fromEnvironment().folder(), registryDir());
    EXPECT_EQ(Registry::fromEnvironment().hiveFile(Hive::ClassesRoot), registryDir() / "HKEY_CLASSES_ROOT.reg");
}

TEST_F(RegistryTest, EveryTypeRoundTripsThroughTheHiveFile) {
    struct Case {
        const char* name;
        std::uint32_t type;
        std::vector<std::uint8_t> data;
    };
    std::vector<Case> cases = {
        {"Text", kRegSz, bytesOf(std::string_view("C:\\Program Files\\Quarva \"Zip\"\0", 30))},
        {"Empty", kRegSz, {0}},
        {"Accented", kRegSz, {'c', 0xE9, 'l', 0}},
        {"Lines", kRegSz, bytesOf(std::string_view("one\r\ntwo\0", 9))},
        {"Expand", kRegExpandSz, bytesOf(std::string_view("%TEMP%\\x\0", 9))},
        {"Multi", kRegMultiSz, bytesOf(std::string_view("a\0bc\0\0", 6))},
        {"Number", kRegDword, {0x2f, 0x19, 0, 0}},
        {"Binary", kRegBinary, {0x00, 0xff, 0x10}},
        {"NoData", kRegBinary, {}},
        {"None", kRegNone, {1, 2}},
        {"Quad", 11, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"Short dword", kRegDword, {7, 0}},
        {"Odd \"name\" \\ here", kRegSz, {'x', 0}},
        {"", kRegSz, {'d', 'e', 'f', 0}},
    };
    for (const auto& c : cases) set(Hive::CurrentUser, kSettings, c.name, c.type, c.data);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto [type, data] = get(Hive::CurrentUser, kSettings, c.name);
        EXPECT_EQ(type, c.type);
        EXPECT_EQ(data, c.data);
    }
    std::string text = hiveText();
    EXPECT_TRUE(text.starts_with("REGEDIT4\r\n\r\n")) << text;
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Quarva Software\\Quarva.Zip\\Settings]\r\n"), std::string::npos);
    EXPECT_NE(text.find("\"Text\"=\"C:\\\\Program Files\\\\Quarva \\\"Zip\\\"\"\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"Number\"=dword:0000192f\r\n"), std::string::npos);
    EXPECT_NE(text.find("\"Binary\"=hex:00,ff,10\r\n"), std::string::npos);
    EXPECT_NE(text.find("\"Expand\"=hex(2):25,"), std::string::npos);
    EXPECT_NE(text.find("\"Quad\"=hex(b):01,02,"), std::string::npos);
    EXPECT_NE(text.find("\"Short dword\"=hex(4):07,00\r\n"), std::string::npos);
    EXPECT_NE(text.find("\"Lines\"=hex(1):"), std::string::npos);
    EXPECT_NE(text.find("@=\"def\"\r\n"), std::string::npos);
    EXPECT_NE(text.find("\"Odd \\\"name\\\" \\\\ here\"=\"x\""), std::string::npos);
}

TEST_F(RegistryTest, TypedHelpersWriteTheUsualForms) {
    Registry r = reg();
    ASSERT_EQ(r.writeString(Hive::CurrentUser, kSettings, "Installed Path", "/opt/quarva"), kErrorSuccess);
    ASSERT_EQ(r.writeDword(Hive::CurrentUser, kSettings, "Config View Settings", 6447), kErrorSuccess);
    ASSERT_EQ(r.writeBinary(Hive::CurrentUser, kSettings, "Blob", {1, 2, 3}), kErrorSuccess);
    EXPECT_EQ(get(Hive::CurrentUser, kSettings, "Installed Path").second,
              bytesOf(std::string_view("/opt/quarva\0", 12)));
    EXPECT_EQ(get(Hive::CurrentUser, kSettings, "Config View Settings").first, kRegDword);
    EXPECT_EQ(r.readDword(Hive::CurrentUser, kSettings, "Config View Settings"), 6447u);
    EXPECT_EQ(r.readString(Hive::CurrentUser, kSettings, "Installed Path"), "/opt/quarva");
    EXPECT_EQ(r.readBinary(Hive::CurrentUser, kSettings, "Blob"), (std::vector<std::uint8_t>{1, 2, 3}));
    // A number is not a string.
    EXPECT_FALSE(r.readString(Hive::CurrentUser, kSettings, "Config View Settings"));
    // Overwriting changes type and data in place.
    ASSERT_EQ(r.writeString(Hive::CurrentUser, kSettings, "Blob", "now text"), kErrorSuccess);
    EXPECT_EQ(r.readString(Hive::CurrentUser, kSettings, "Blob"), "now text");
    EXPECT_EQ(r.values(Hive::CurrentUser, kSettings).size(), 3u);
}

TEST_F(RegistryTest, NamesCompareWithoutCaseAndKeepTheirFirstSpelling) {
    Registry r = reg();
    ASSERT_EQ(r.writeString(Hive::CurrentUser, "Software\\Quarva Software\\Quarva.Zip Suite\\Recent File List", "File1",
                            "a.zip"),
              kErrorSuccess);
    ASSERT_EQ(r.writeString(Hive::CurrentUser, "SOFTWARE\\quarva software\\QUARVA.ZIP SUITE\\recent file list", "file1",
                            "b.zip"),
              kErrorSuccess);
    EXPECT_EQ(r.readString(Hive::CurrentUser, "software\\Quarva Software\\Quarva.Zip Suite\\Recent File List", "FILE1"),
              "b.zip");
    auto values = r.values(Hive::CurrentUser, "Software\\Quarva Software\\Quarva.Zip Suite\\Recent File List");
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].name, "File1");
    EXPECT_EQ(r.subkeys(Hive::CurrentUser, "software"), std::vector<std::string>{"Quarva Software"});
    EXPECT_EQ(r.subkeys(Hive::CurrentUser, ""), std::vector<std::string>{"Software"});
    EXPECT_NE(hiveText().find("[HKEY_CURRENT_USER\\Software\\Quarva Software\\Quarva.Zip Suite\\Recent File List]"),
              std::string::npos);
    EXPECT_EQ(hiveText().find("SOFTWARE"), std::string::npos);
}

TEST_F(RegistryTest, QueryFollowsTheBufferRules) {
    Registry r = reg();
    std::string fits(99, 'a'), tooLong(100, 'b');
    ASSERT_EQ(r.writeString(Hive::CurrentUser, kSettings, "Fits", fits), kErrorSuccess);
    ASSERT_EQ(r.writeString(Hive::CurrentUser, kSettings, "Too Long", tooLong), kErrorSuccess);

    char buffer[100];
    std::uint32_t type = 0, size = sizeof buffer;
    EXPECT_EQ(r.queryValue(Hive::CurrentUser, kSettings, "Fits", &type, buffer, &size), kErrorSuccess);
    EXPECT_EQ(size, 100u);
    EXPECT_EQ(type, kRegSz);
    EXPECT_EQ(std::string(buffer), fits);

    std::memset(buffer, 'x', sizeof buffer);
    size = sizeof buffer;
    EXPECT_EQ(r.queryValue(Hive::CurrentUser, kSettings, "Too Long", &type, buffer, &size), kErrorMoreData);
    EXPECT_EQ(size, 101u);
    EXPECT_EQ(buffer[0], 'x') << "nothing is copied when the value does not fit";

    size = 0;
    EXPECT_EQ(r.queryValue(Hive::CurrentUser, kSettings, "Too Long", nullptr, nullptr, &size), kErrorSuccess);
    EXPECT_EQ(size, 101u);

    EXPECT_EQ(r.readString(Hive::CurrentUser, kSettings, "Fits", 100), fits);
    EXPECT_FALSE(r.readString(Hive::CurrentUser, kSettings, "Too Long", 100));
    EXPECT_EQ(r.readString(Hive::CurrentUser, kSettings, "Too Long"), tooLong);

    size = sizeof buffer;
    EXPECT_EQ(r.queryValue(Hive::CurrentUser, kSettings, "Missing", &type, buffer, &size), kErrorFileNotFound);
    EXPECT_EQ(r.queryValue(Hive::CurrentUser, "No\\Such\\Key", "Fits", &type, buffer, &size), kErrorFileNotFound);
}

TEST_F(RegistryTest, NumbersLongerThanFourBytesDoNotRead) {
    Registry r = reg();
    ASSERT_EQ(r.writeBinary(Hive::CurrentUser, kSettings, "Eight", {1, 0, 0, 0, 0, 0, 0, 0}), kErrorSuccess);
    ASSERT_EQ(r.writeBinary(Hive::CurrentUser, kSettings, "Two", {0x34, 0x12}), kErrorSuccess);
    ASSERT_EQ(r.writeBinary(Hive::CurrentUser, kSettings, "Four", {0x78, 0x56, 0x34, 0x12}), kErrorSuccess);
    EXPECT_FALSE(r.readDword(Hive::CurrentUser, kSettings, "Eight"));
    EXPECT_FALSE(r.readDword(Hive::CurrentUser, kSettings, "Missing"));
    EXPECT_EQ(r.readDword(Hive::CurrentUser, kSettings, "Two"), 0x1234u);
    EXPECT_EQ(r.readDword(Hive::CurrentUser, kSettings, "Four"), 0x12345678u);

    std::uint32_t number = 0, size = 4;
    EXPECT_EQ(r.queryValue(Hive::CurrentUser, kSettings, "Eight", nullptr, &number, &size), kErrorMoreData);
    EXPECT_EQ(size, 8u);
}

TEST_F(RegistryTest, OddFormsKeepTheirExactBytes) {
    // A one-digit string stored as one byte without terminator.
    set(Hive::CurrentUser, kSettings, "Folder Options", kRegSz, {'1'});
    // A folder stored as a fixed 260-byte block: the text, then zero bytes.
    std::vector<std::uint8_t> block(260, 0);
    std::memcpy(block.data(), "/home/u/Working", 15);
    set(Hive::CurrentUser, kSettings, "Working Folder", kRegSz, block);
    set(Hive::CurrentUser, kSettings, "One", kRegBinary, {0x5a});
    set(Hive::CurrentUser, kSettings, "Unterminated", kRegSz, bytesOf("abc"));

    EXPECT_EQ(get(Hive::CurrentUser, kSettings, "Folder Options"),
              std::make_pair(kRegSz, std::vector<std::uint8_t>{'1'}));
    EXPECT_EQ(get(Hive::CurrentUser, kSettings, "Working Folder"), std::make_pair(kRegSz, block));
    EXPECT_EQ(get(Hive::CurrentUser, kSettings, "One"), std::make_pair(kRegBinary, std::vector<std::uint8_t>{0x5a}));
    EXPECT_EQ(get(Hive::CurrentUser, kSettings, "Unterminated"), std::make_pair(kRegSz, bytesOf("abc")));

    std::string text = hiveText();
    EXPECT_NE(text.find("\"Folder Options\"=hex(1):31\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"One\"=hex:5a\r\n"), std::string::npos);
    // Long data is wrapped with a trailing backslash.
    EXPECT_NE(text.find(",\\\r\n  00,"), std::string::npos);

    Registry r = reg();
    EXPECT_EQ(r.readString(Hive::CurrentUser, kSettings, "Folder Options", 100), "1");
    EXPECT_EQ(r.readString(Hive::CurrentUser, kSettings, "Working Folder", 260), "/home/u/Working");
    EXPECT_FALSE(r.readString(Hive::CurrentUser, kSettings, "Working Folder", 100));
    // Without its terminator the text needs one byte more than it stores.
    EXPECT_EQ(r.readString(Hive::CurrentUser, kSettings, "Unterminated", 4), "abc");
    EXPECT_FALSE(r.readString(Hive::CurrentUser, kSettings, "Unterminated", 3));
}

TEST_F(RegistryTest, EnumeratesKeysAndValuesInTheOrderWritten) {
    Registry r = reg();
    const char* key = "CLSID\\{11111111-2222-3333-4444-555555555555}";
    ASSERT_EQ(r.writeString(Hive::ClassesRoot, key, "", "Zip Context Menu"), kErrorSuccess);
    ASSERT_EQ(r.writeString(Hive::ClassesRoot, std::string(key) + "\\InprocServer32", "", "/opt/q/libQZipShell32.so"),
              kErrorSuccess);
    ASSERT_EQ(r.writeString(Hive::ClassesRoot, std::string(key) + "\\InprocServer32", "ThreadingModel", "Apartment"),
              kErrorSuccess);
    ASSERT_EQ(r.createKey(Hive::ClassesRoot, std::string(key) + "\\Programmable"), kErrorSuccess);
    ASSERT_EQ(
        r.writeString(Hive::ClassesRoot, std::string(key) + "\\TypeLib", "", "{AAAAAAAA-0000-0000-0000-000000000001}"),
        kErrorSuccess);
    ASSERT_EQ(
        r.writeString(Hive::ClassesRoot, "TypeLib\\{AAAAAAAA-0000-0000-0000-000000000001}\\1.0\\0\\win32", "", "x.tlb"),
        kErrorSuccess);

    EXPECT_EQ(r.subkeys(Hive::ClassesRoot, key),
              (std::vector<std::string>{"InprocServer32", "Programmable", "TypeLib"}));
    EXPECT_EQ(r.subkeys(Hive::ClassesRoot, ""), (std::vector<std::string>{"CLSID", "TypeLib"}));
    EXPECT_TRUE(r.keyExists(Hive::ClassesRoot, std::string(key) + "\\programmable"));
    EXPECT_TRUE(r.values(Hive::ClassesRoot, std::string(key) + "\\Programmable").empty());
    auto values = r.values(Hive::ClassesRoot, std::string(key) + "\\InprocServer32");
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0].name, "");
    EXPECT_EQ(values[1].name, "ThreadingModel");
    EXPECT_EQ(r.readString(Hive::ClassesRoot, "TypeLib\\{aaaaaaaa-0000-0000-0000-000000000001}\\1.0\\0\\WIN32", ""),
              "x.tlb");
    // Other hives are untouched.
    EXPECT_FALSE(fs::exists(r.hiveFile(Hive::CurrentUser)));
    EXPECT_TRUE(r.subkeys(Hive::LocalMachine, "").empty());
    // An empty key survives in the file.
    EXPECT_NE(hiveText(Hive::ClassesRoot).find("\\Programmable]\r\n\r\n"), std::string::npos);
}

TEST_F(RegistryTest, DeletesValuesAndKeysWithTheirSubkeys) {
    Registry r = reg();
    ASSERT_EQ(r.writeDword(Hive::CurrentUser, "A\\B\\C", "n", 1), kErrorSuccess);
    ASSERT_EQ(r.writeDword(Hive::CurrentUser, "A\\B", "m", 2), kErrorSuccess);
    ASSERT_EQ(r.writeDword(Hive::CurrentUser, "A\\Other", "k", 3), kErrorSuccess);

    EXPECT_EQ(r.deleteValue(Hive::CurrentUser, "a\\b", "M"), kErrorSuccess);
    EXPECT_FALSE(r.readDword(Hive::CurrentUser, "A\\B", "m"));
    EXPECT_EQ(r.deleteValue(Hive::CurrentUser, "A\\B", "m"), kErrorFileNotFound);
    EXPECT_EQ(r.deleteValue(Hive::CurrentUser, "A\\Nope", "m"), kErrorFileNotFound);

    EXPECT_EQ(r.deleteKey(Hive::CurrentUser, "a\\B"), kErrorSuccess);
    EXPECT_FALSE(r.keyExists(Hive::CurrentUser, "A\\B"));
    EXPECT_FALSE(r.keyExists(Hive::CurrentUser, "A\\B\\C"));
    EXPECT_EQ(r.readDword(Hive::CurrentUser, "A\\Other", "k"), 3u);
    EXPECT_EQ(r.deleteKey(Hive::CurrentUser, "A\\B"), kErrorFileNotFound);
    EXPECT_EQ(r.deleteKey(Hive::CurrentUser, ""), kErrorInvalidData);
    EXPECT_EQ(hiveText().find("\\B"), std::string::npos);
}

TEST_F(RegistryTest, WritingTheSameValueAgainLeavesTheFileAlone) {
    Registry r = reg();
    ASSERT_EQ(r.writeString(Hive::ClassesRoot, ".zip", "", "QuarvaZip"), kErrorSuccess);
    auto inode = [&] {
        struct stat st {};
        ::stat(r.hiveFile(Hive::ClassesRoot).c_str(), &st);
        return st.st_ino;
    };
    auto before = inode();
    ASSERT_EQ(r.writeString(Hive::ClassesRoot, ".ZIP", "", "QuarvaZip"), kErrorSuccess);
    ASSERT_EQ(r.createKey(Hive::ClassesRoot, ".zip"), kErrorSuccess);
    EXPECT_EQ(inode(), before);
    ASSERT_EQ(r.writeString(Hive::ClassesRoot, ".zip", "", "Other"), kErrorSuccess);
    EXPECT_EQ(r.readString(Hive::ClassesRoot, ".zip", ""), "Other");
}

TEST_F(RegistryTest, AReadOnlyStoreRefusesWritesAndStillReads) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not stop root";
    Registry r = reg();
    ASSERT_EQ(r.writeString(Hive::CurrentUser, "Software\\Q", "a", "1"), kErrorSuccess);
    fs::permissions(registryDir(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(r.writeString(Hive::CurrentUser, "Software\\Q", "a", "2"), kErrorAccessDenied);
    EXPECT_EQ(r.writeString(Hive::LocalMachine, "Software\\Q", "a", "2"), kErrorAccessDenied);
    EXPECT_EQ(r.readString(Hive::CurrentUser, "Software\\Q", "a"), "1");
    fs::permissions(registryDir(), fs::perms::owner_all);
}

TEST_F(RegistryTest, RejectsNamesThatWouldBreakTheFile) {
    Registry r = reg();
    EXPECT_EQ(r.writeString(Hive::CurrentUser, "A\nB", "x", "y"), kErrorInvalidData);
    EXPECT_EQ(r.writeString(Hive::CurrentUser, "A", "x\ny", "y"), kErrorInvalidData);
    EXPECT_EQ(r.writeString(Hive::CurrentUser, "A", std::string_view("x\0y", 3), "y"), kErrorInvalidData);
    EXPECT_EQ(r.setValue(Hive::CurrentUser, "A", "x", kRegBinary, nullptr, 4), kErrorInvalidData);
    EXPECT_FALSE(r.keyExists(Hive::CurrentUser, "A"));
}

TEST_F(RegistryTest, ExportThenImportIsByteExact) {
    Registry r = reg();
    ASSERT_EQ(r.writeString(Hive::CurrentUser, kSettings, "Installed Path", "C:\\Quarva \"Suite\""), kErrorSuccess);
    ASSERT_EQ(r.writeDword(Hive::CurrentUser, kSettings, "Config System Settings", 1023), kErrorSuccess);
    ASSERT_EQ(r.writeBinary(Hive::CurrentUser, kSettings, "Big", quarva::testing::randomBytes(700, 7)), kErrorSuccess);
    set(Hive::CurrentUser, kSettings, "Folder Options", kRegSz, {'3'});
    ASSERT_EQ(r.createKey(Hive::CurrentUser, "Software\\Quarva Software\\Quarva.Zip\\Empty"), kErrorSuccess);
    ASSERT_EQ(r.writeString(Hive::CurrentUser, "Software\\Quarva Software\\Quarva.Zip\\Folder Settings", "", "dflt"),
              kErrorSuccess);
    ASSERT_EQ(r.writeString(Hive::CurrentUser, "Software\\Elsewhere", "x", "not exported"), kErrorSuccess);

    fs::path first = dir() / "first.reg", second = dir() / "second.reg";
    ASSERT_EQ(r.exportKey("HKCU\\software\\quarva software", first), kErrorSuccess);
    std::string text = readFile(first);
    EXPECT_TRUE(text.starts_with("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Quarva Software]\r\n")) << text;
    EXPECT_EQ(text.find("Elsewhere"), std::string::npos);

    Registry fresh(dir() / "other-store");
    ASSERT_EQ(fresh.importFile(first), kErrorSuccess);
    ASSERT_EQ(fresh.exportKey("HKEY_CURRENT_USER\\Software\\Quarva Software", second), kErrorSuccess);
    EXPECT_EQ(readFile(second), text);
    EXPECT_EQ(fresh.readBinary(Hive::CurrentUser, kSettings, "Big"), quarva::testing::randomBytes(700, 7));
    EXPECT_TRUE(fresh.keyExists(Hive::CurrentUser, "Software\\Quarva Software\\Quarva.Zip\\Empty"));

    EXPECT_EQ(r.exportKey("HKCU\\No\\Such", dir() / "none.reg"), kErrorFileNotFound);
    EXPECT_FALSE(fs::exists(dir() / "none.reg"));
    EXPECT_EQ(r.exportKey("HKEY_NOWHERE\\x", dir() / "none.reg"), kErrorInvalidData);
}

TEST_F(RegistryTest, ImportsHandWrittenFiles) {
    Registry r = reg();
    ASSERT_EQ(r.writeString(Hive::CurrentUser, "Software\\Old", "keep", "me"), kErrorSuccess);
    ASSERT_EQ(r.writeString(Hive::CurrentUser, "Software\\Gone\\Deep", "x", "y"), kErrorSuccess);
    ASSERT_EQ(r.writeString(Hive::CurrentUser, "Software\\Old", "drop", "me"), kErrorSuccess);

    std::string crlf =
        "REGEDIT4\r\n"
        "\r\n"
        "; a comment\r\n"
        "[HKEY_CURRENT_USER\\Software\\Quarva Software\\Quarva.Zip\\Settings]\r\n"
        "\"Installed Path\"=\"C:\\\\Program Files\\\\Quarva\"\r\n"
        "\"Quote\"=\"say \\\"hi\\\"\"\r\n"
        "\"Config View Settings\"=dword:0000192F\r\n"
        "\"Wrapped\"=hex:01,02,03,\\\r\n"
        "  04,05,\\\r\n"
        "  06\r\n"
        "\"Typed\"=hex(2):25,54,25,00\r\n"
        "@=\"the default\"\r\n"
        "\r\n"
        "[HKEY_CLASSES_ROOT\\.zip]\r\n"
        "@=\"QuarvaZip\"\r\n"
        "\r\n"
        "[HKLM\\SOFTWARE\\Approved]\r\n"
        "\"{1}\"=\"Quarva.Zip\"\r\n"
        "\r\n"
        "[-HKEY_CURRENT_USER\\Software\\Gone]\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER\\Software\\Old]\r\n"
        "\"drop\"=-\r\n";
    writeFile(dir() / "hand.reg", crlf);
    ASSERT_EQ(r.importFile(dir() / "hand.reg"), kErrorSuccess) << r.lastError();

    EXPECT_EQ(r.readString(Hive::CurrentUser, kSettings, "Installed Path"), "C:\\Program Files\\Quarva");
    EXPECT_EQ(r.readString(Hive::CurrentUser, kSettings, "Quote"), "say \"hi\"");
    EXPECT_EQ(r.readDword(Hive::CurrentUser, kSettings, "Config View Settings"), 0x192Fu);
    EXPECT_EQ(r.readBinary(Hive::CurrentUser, kSettings, "Wrapped"), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(get(Hive::CurrentUser, kSettings, "Typed"),
              std::make_pair(kRegExpandSz, std::vector<std::uint8_t>{'%', 'T', '%', 0}));
    EXPECT_EQ(r.readString(Hive::CurrentUser, kSettings, ""), "the default");
    EXPECT_EQ(r.readString(Hive::ClassesRoot, ".zip", ""), "QuarvaZip");
    EXPECT_EQ(r.readString(Hive::LocalMachine, "Software\\approved", "{1}"), "Quarva.Zip");
    EXPECT_FALSE(r.keyExists(Hive::CurrentUser, "Software\\Gone"));
    EXPECT_EQ(r.readString(Hive::CurrentUser, "Software\\Old", "keep"), "me");
    EXPECT_FALSE(r.readString(Hive::CurrentUser, "Software\\Old", "drop"));

    // The same with bare line feeds.
    std::string lf;
    for (char c : crlf)
        if (c != '\r') lf += c;
    Registry other(dir() / "lf-store");
    writeFile(dir() / "lf.reg", lf);
    ASSERT_EQ(other.importFile(dir() / "lf.reg"), kErrorSuccess) << other.lastError();
    EXPECT_EQ(other.readBinary(Hive::CurrentUser, kSettings, "Wrapped"), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(other.readString(Hive::CurrentUser, kSettings, "Quote"), "say \"hi\"");
}

TEST_F(RegistryTest, ABadImportFileChangesNothing) {
    Registry r = reg();
    ASSERT_EQ(r.writeString(Hive::CurrentUser, "Software\\Q", "a", "1"), kErrorSuccess);
    std::string before = hiveText();
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"no header", "[HKEY_CURRENT_USER\\Software\\Q]\n\"a\"=\"2\"\n"},
        {"unknown hive", "REGEDIT4\n\n[HKEY_NOWHERE\\x]\n"},
        {"value before key", "REGEDIT4\n\n\"a\"=\"2\"\n"},
        {"bad dword", "REGEDIT4\n\n[HKCU\\Software\\Q]\n\"a\"=\"2\"\n\"b\"=dword:123456789\n"},
        {"bad hex", "REGEDIT4\n\n[HKCU\\Software\\Q]\n\"a\"=hex:0g\n"},
        {"unterminated", "REGEDIT4\n\n[HKCU\\Software\\Q]\n\"a\"=\"2\n"},
        {"open continuation", "REGEDIT4\n\n[HKCU\\Software\\Q]\n\"a\"=hex:01,\\\n"},
    };
    for (const auto& [what, text] : bad) {
        SCOPED_TRACE(what);
        writeFile(dir() / "bad.reg", text);
        EXPECT_EQ(r.importFile(dir() / "bad.reg"), kErrorInvalidData);
        EXPECT_NE(r.lastError().find("line "), std::string::npos) << r.lastError();
        EXPECT_EQ(hiveText(), before);
    }
    EXPECT_EQ(r.importFile(dir() / "missing.reg"), kErrorFileNotFound);
}

TEST_F(RegistryTest, KeysTooDeepAndNamesTooLongAreRefused) {
    Registry r = reg();
    ASSERT_EQ(r.writeString(Hive::CurrentUser, "Software\\Q", "a", "1"), kErrorSuccess);
    std::string before = hiveText();

    std::string deep = "HKEY_CURRENT_USER";
    for (int i = 0; i < 20000; ++i) deep += "\\k";
    writeFile(dir() / "deep.reg", "REGEDIT4\r\n\r\n[" + deep + "]\r\n\"v\"=\"x\"\r\n");
    EXPECT_EQ(r.importFile(dir() / "deep.reg"), kErrorInvalidData);
    EXPECT_NE(r.lastError().find("line 3: keys are nested deeper than 512 levels"), std::string::npos) << r.lastError();
    EXPECT_EQ(hiveText(), before);

    std::string path512, path513;
    for (int i = 0; i < 512; ++i) path512 += (i ? "\\" : "") + std::string("k");
    path513 = path512 + "\\k";
    EXPECT_EQ(r.createKey(Hive::CurrentUser, path513), kErrorInvalidData);
    EXPECT_NE(r.lastError().find("512 levels"), std::string::npos) << r.lastError();
    EXPECT_EQ(r.writeString(Hive::CurrentUser, "A\\" + std::string(256, 'n'), "v", "x"), kErrorInvalidData);
    EXPECT_NE(r.lastError().find("255 characters"), std::string::npos) << r.lastError();
    EXPECT_EQ(r.writeString(Hive::CurrentUser, "A", std::string(16384, 'n'), "x"), kErrorInvalidData);
    EXPECT_NE(r.lastError().find("16383 characters"), std::string::npos) << r.lastError();
    writeFile(dir() / "long.reg", "REGEDIT4\n\n[HKCU\\A]\n\"" + std::string(16384, 'n') + "\"=\"x\"\n");
    EXPECT_EQ(r.importFile(dir() / "long.reg"), kErrorInvalidData);
    EXPECT_EQ(hiveText(), before);

    // At the limits everything works; a deep chain of empty keys costs its one leaf
    // header, not one header per level.
    std::string name255 = "\xc3\xa9" + std::string(254, 'n');  // 255 characters, 256 bytes
    ASSERT_EQ(r.writeString(Hive::CurrentUser, "A\\" + name255, std::string(16383, 'v'), "x"), kErrorSuccess);
    ASSERT_EQ(r.createKey(Hive::CurrentUser, "Deep\\" + path512.substr(2)), kErrorSuccess);
    EXPECT_TRUE(r.keyExists(Hive::CurrentUser, "Deep\\" + path512.substr(2)));
    EXPECT_LT(hiveText().size(), before.size() + 16383 + 256 + 4 * 1024);
    ASSERT_EQ(r.exportKey("HKCU\\Deep", dir() / "deep-out.reg"), kErrorSuccess);
    Registry fresh(dir() / "other-store");
    ASSERT_EQ(fresh.importFile(dir() / "deep-out.reg"), kErrorSuccess) << fresh.lastError();
    EXPECT_TRUE(fresh.keyExists(Hive::CurrentUser, "Deep\\" + path512.substr(2)));
}

// Readers neither look at siblings one by one nor parse the hive again while its
// file is unchanged; a change by another process is seen at the next read.
TEST_F(RegistryTest, ManySiblingsAreReadFromOneParse) {
    constexpr int kKeys = 50000;
    std::string text = "REGEDIT4\r\n\r\n";
    for (int i = 0; i < kKeys; ++i)
        text += "[HKEY_CURRENT_USER\\Software\\Many\\Key" + std::to_string(i) +
                "]\r\n\"n\"=dword:" + std::to_string(i % 10) + "\r\n\r\n";
    writeFile(dir() / "many.reg", text);
    Registry r = reg();
    ASSERT_EQ(r.importFile(dir() / "many.reg"), kErrorSuccess) << r.lastError();

    std::uint64_t parses = Registry::hiveParses();
    for (int i = 0; i < 1000; ++i) {
        int k = (i * 7919) % kKeys;
        ASSERT_EQ(r.readDword(Hive::CurrentUser, "Software\\MANY\\key" + std::to_string(k), "N"),
                  static_cast<std::uint32_t>(k % 10));
    }
    EXPECT_LE(Registry::hiveParses() - parses, 1u);
    EXPECT_EQ(r.subkeys(Hive::CurrentUser, "Software\\Many").size(), static_cast<std::size_t>(kKeys));

    pid_t child = fork();
    if (child == 0)
        _exit(Registry(registryDir()).writeDword(Hive::CurrentUser, "Software\\Many\\Key7", "n", 70) == kErrorSuccess
                  ? 0
                  : 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    parses = Registry::hiveParses();
    EXPECT_EQ(r.readDword(Hive::CurrentUser, "Software\\Many\\Key7", "n"), 70u);
    EXPECT_EQ(r.readDword(Hive::CurrentUser, "Software\\Many\\Key8", "n"), 8u);
    EXPECT_EQ(Registry::hiveParses() - parses, 1u);
}

TEST_F(RegistryTest, ADamagedHiveIsSetAsideNotLost) {
    fs::create_directories(registryDir());
    std::string garbage = "this is not a hive\n[unclosed\n";
    writeFile(registryDir() / "HKEY_CURRENT_USER.reg", garbage);
    Registry r = reg();

    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(r.readString(Hive::CurrentUser, kSettings, "Installed Path"));
    std::string readNote = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(readNote.find("HKEY_CURRENT_USER.reg"), std::string::npos) << readNote;
    EXPECT_EQ(readFile(registryDir() / "HKEY_CURRENT_USER.reg"), garbage) << "a read never changes the hive";

    ::testing::internal::CaptureStderr();
    ASSERT_EQ(r.writeString(Hive::CurrentUser, kSettings, "Installed Path", "/opt/q"), kErrorSuccess);
    std::string note = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(note.find("set aside"), std::string::npos) << note;

    auto aside = filesNamed("HKEY_CURRENT_USER.reg.corrupt-");
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(readFile(aside[0]), garbage);
    EXPECT_NE(note.find(aside[0].filename().string()), std::string::npos) << note;
    EXPECT_EQ(r.readString(Hive::CurrentUser, kSettings, "Installed Path"), "/opt/q");

    // A second damaged hive in the same second gets its own name.
    writeFile(registryDir() / "HKEY_CURRENT_USER.reg", "REGEDIT4\n\n\"orphan\"=\"value\"\n");
    ::testing::internal::CaptureStderr();
    ASSERT_EQ(r.writeDword(Hive::CurrentUser, kSettings, "n", 1), kErrorSuccess);
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(filesNamed("HKEY_CURRENT_USER.reg.corrupt-").size(), 2u);
}

// Runs `body` in a child process; returns its pid.
template <class Body>
pid_t forkChild(Body body) {
    pid_t pid = fork();
    if (pid == 0) {
        int rc = body();
        _exit(rc);
    }
    return pid;
}

int exitCode(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST_F(RegistryTest, TwoProcessesWritingAtOnceLoseNothing) {
    constexpr int kWrites = 200;
    fs::path folder = registryDir();
    std::vector<pid_t> children;
    for (int p = 0; p < 2; ++p) {
        children.push_back(forkChild([&, p] {
            Registry r(folder);
            for (int i = 0; i < kWrites; ++i) {
                std::string name = "p" + std::to_string(p) + "-" + std::to_string(i);
                if (r.writeDword(Hive::CurrentUser, "Software\\Race", name, static_cast<std::uint32_t>(i)) !=
                    kErrorSuccess)
                    return 1;
            }
            return 0;
        }));
    }
    for (pid_t pid : children) EXPECT_EQ(exitCode(pid), 0);

    Registry r = reg();
    auto values = r.values(Hive::CurrentUser, "Software\\Race");
    EXPECT_EQ(values.size(), 2u * kWrites);
    for (int p = 0; p < 2; ++p)
        for (int i = 0; i < kWrites; ++i)
            EXPECT_EQ(
                r.readDword(Hive::CurrentUser, "Software\\Race", "p" + std::to_string(p) + "-" + std::to_string(i)),
                static_cast<std::uint32_t>(i));
    EXPECT_TRUE(filesNamed("HKEY_CURRENT_USER.reg.tmp-").empty());
    EXPECT_TRUE(filesNamed(".qz").empty());
    EXPECT_TRUE(filesNamed("HKEY_CURRENT_USER.reg.corrupt-").empty());
}

TEST_F(RegistryTest, AKilledWriterLeavesAReadableHive) {
    fs::path folder = registryDir();
    Registry r = reg();
    ASSERT_EQ(r.writeString(Hive::CurrentUser, "Software\\Before", "kept", "yes"), kErrorSuccess);

    for (int round = 0; round < 3; ++round) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        pid_t pid = forkChild([&] {
            close(ready[0]);
            Registry w(folder);
            auto big = quarva::testing::randomBytes(200000, 1);
            for (std::uint32_t i = 1;; ++i) {
                big[0] = static_cast<std::uint8_t>(i);
                w.writeBinary(Hive::CurrentUser, "Software\\Loop", "big", big);
                w.writeDword(Hive::CurrentUser, "Software\\Loop", "count", i);
                if (i == 3) {
                    char c = 1;
                    if (write(ready[1], &c, 1) != 1) return 1;
                }
            }
        });
        close(ready[1]);
        char c;
        ASSERT_EQ(read(ready[0], &c, 1), 1);
        close(ready[0]);
        usleep(static_cast<useconds_t>(1000 * (round * 7 + 3)));
        kill(pid, SIGKILL);
        EXPECT_EQ(exitCode(pid), 128 + SIGKILL);

        ::testing::internal::CaptureStderr();
        auto count = r.readDword(Hive::CurrentUser, "Software\\Loop", "count");
        EXPECT_EQ(r.readString(Hive::CurrentUser, "Software\\Before", "kept"), "yes");
        ASSERT_TRUE(count);
        EXPECT_GE(*count, 3u);
        auto big = r.readBinary(Hive::CurrentUser, "Software\\Loop", "big");
        ASSERT_TRUE(big);
        EXPECT_EQ(big->size(), 200000u);
        // The next write neither sets the hive aside nor keeps the dead writer's temp file.
        ASSERT_EQ(r.writeDword(Hive::CurrentUser, "Software\\After", "n", 1), kErrorSuccess);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
        EXPECT_TRUE(filesNamed("HKEY_CURRENT_USER.reg.corrupt-").empty());
        EXPECT_TRUE(filesNamed("HKEY_CURRENT_USER.reg.tmp-").empty());
        EXPECT_TRUE(filesNamed(".qz").empty());
    }
}

TEST_F(RegistryTest, ThreadsOfOneProcessLoseNothingEither) {
    constexpr int kWrites = 50;
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 3; ++t)
        threads.emplace_back([&, t] {
            Registry r(registryDir());
            for (int i = 0; i < kWrites; ++i)
                if (r.writeDword(Hive::CurrentUser, "T", "t" + std::to_string(t) + "-" + std::to_string(i), 1) !=
                    kErrorSuccess)
                    ++failures;
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(reg().values(Hive::CurrentUser, "T").size(), 3u * kWrites);
}

TEST_F(RegistryTest, SplitsFullKeyPaths) {
    EXPECT_EQ(splitFullKey("HKEY_CLASSES_ROOT\\x\\y"),
              std::make_optional(std::make_pair(Hive::ClassesRoot, std::string("x\\y"))));
    EXPECT_EQ(splitFullKey("hkcu\\Software\\"),
              std::make_optional(std::make_pair(Hive::CurrentUser, std::string("Software"))));
    EXPECT_EQ(splitFullKey("HKLM"), std::make_optional(std::make_pair(Hive::LocalMachine, std::string())));
    EXPECT_FALSE(splitFullKey("HKEY_USERS\\x"));
    EXPECT_FALSE(splitFullKey("HKCUx\\y"));
    EXPECT_STREQ(hiveName(Hive::LocalMachine), "HKEY_LOCAL_MACHINE");
}

}  // namespace

namespace {

// The machine-wide default hive: read while the user has no hive of their own, copied
// by the user's first write, overridden from then on; ignored when others may change it.
TEST_F(RegistryTest, MachineDefaultsStandInForAMissingUserHive) {
    const fs::path defaults = dir() / "etc";
    writeFile(defaults / "HKEY_CURRENT_USER.reg",
              "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Quarva Software\\Quarva.Zip\\Settings]\r\n"
              "\"Installed Path\"=\"/opt/quarva\"\r\n");
    fs::permissions(defaults / "HKEY_CURRENT_USER.reg",
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
    Registry user(registryDir(), defaults);
    EXPECT_EQ(user.readString(Hive::CurrentUser, kSettings, "Installed Path"), "/opt/quarva");
    EXPECT_FALSE(user.readString(Hive::ClassesRoot, kSettings, "Installed Path"));
    EXPECT_FALSE(fs::exists(user.hiveFile(Hive::CurrentUser)));
    // Without the defaults folder the same store is empty: the "not properly installed" case.
    EXPECT_FALSE(Registry(registryDir()).readString(Hive::CurrentUser, kSettings, "Installed Path"));

    ASSERT_EQ(user.writeDword(Hive::CurrentUser, kSettings, "Config System Settings", 0x3ff), kErrorSuccess);
    EXPECT_NE(hiveText().find("\"Installed Path\"=\"/opt/quarva\""), std::string::npos) << hiveText();
    ASSERT_EQ(user.writeString(Hive::CurrentUser, kSettings, "Installed Path", "/home/u/quarva"), kErrorSuccess);
    writeFile(defaults / "HKEY_CURRENT_USER.reg", "REGEDIT4\r\n");
    EXPECT_EQ(user.readString(Hive::CurrentUser, kSettings, "Installed Path"), "/home/u/quarva");

    // A default hive that others may write counts for nothing.
    Registry other(dir() / "other", defaults);
    writeFile(defaults / "HKEY_CLASSES_ROOT.reg", "REGEDIT4\r\n\r\n[HKEY_CLASSES_ROOT\\.zip]\r\n@=\"QuarvaZip\"\r\n");
    fs::permissions(defaults / "HKEY_CLASSES_ROOT.reg", fs::perms::others_write, fs::perm_options::add);
    EXPECT_FALSE(other.readString(Hive::ClassesRoot, ".zip", ""));
    fs::permissions(defaults / "HKEY_CLASSES_ROOT.reg", fs::perms::others_write | fs::perms::group_write,
                    fs::perm_options::remove);
    EXPECT_EQ(other.readString(Hive::ClassesRoot, ".zip", ""), "QuarvaZip");
    // ... and so does one in a folder that others may write.
    fs::permissions(defaults, fs::perms::others_write, fs::perm_options::add);
    EXPECT_FALSE(other.readString(Hive::ClassesRoot, ".zip", ""));
    fs::permissions(defaults, fs::perms::others_write, fs::perm_options::remove);

    // The environment: an explicit store stands alone unless defaults are named too.
    EXPECT_TRUE(Registry::machineDefaultsFolder().empty());
    setenv("QUARVA_REGISTRY_DEFAULTS_DIR", defaults.c_str(), 1);
    EXPECT_EQ(Registry::machineDefaultsFolder(), defaults);
    unsetenv("QUARVA_REGISTRY_DEFAULTS_DIR");
}

}  // namespace
