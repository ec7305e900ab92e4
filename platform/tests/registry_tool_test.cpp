// quarva-reg, run as a program against the store in $QUARVA_REGISTRY_DIR.

#include "platform/Registry.h"
#include "platform/testing/TestSupport.h"

#include <sys/wait.h>

using namespace quarva::platform;
using namespace quarva::testing;

namespace {

class RegToolTest : public BuiltProgramTest {
protected:
    RegToolTest() : BuiltProgramTest("platform/tools/quarva-reg") {}
    static std::string quote(const std::string& s) {
        std::string out = "'";
        for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return out + "'";
    }
    // Runs the tool; `out` gets stdout only, `err` stdout and stderr.
    int run(const std::vector<std::string>& args, std::string* out = nullptr, std::string* err = nullptr) {
        std::string cmd = quote(program().string());
        for (const auto& a : args) cmd += " " + quote(a);
        if (err) runCommand(cmd, err);
        return runCommand("(" + cmd + " 2>/dev/null)", out);
    }
    Registry reg() const { return Registry(registryDir()); }
};

TEST_F(RegToolTest, AddsAndQueriesEveryType) {
    ASSERT_EQ(run({"add", "HKCU\\Software\\Q", "Name", "sz", "C:\\a \"b\""}), 0);
    ASSERT_EQ(run({"add", "HKCU\\Software\\Q", "Hex", "dword", "0x1F"}), 0);
    ASSERT_EQ(run({"add", "HKCU\\Software\\Q", "Dec", "dword", "4294967295"}), 0);
    ASSERT_EQ(run({"add", "HKCU\\Software\\Q", "Bin", "binary", "01,ff"}), 0);
    ASSERT_EQ(run({"add", "HKCU\\Software\\Q", "Bin2", "binary", "0aFF10"}), 0);
    ASSERT_EQ(run({"add", "HKEY_CURRENT_USER\\Software\\Q", "@", "sz", "default"}), 0);
    ASSERT_EQ(run({"add", "HKCR\\.zip", "", "sz", "QuarvaZip"}), 0);
    ASSERT_EQ(run({"add", "HKCU\\Software\\Q\\Sub", "x", "dword", "7"}), 0);

    Registry r = reg();
    EXPECT_EQ(r.readString(Hive::CurrentUser, "Software\\Q", "Name"), "C:\\a \"b\"");
    EXPECT_EQ(r.readDword(Hive::CurrentUser, "Software\\Q", "Hex"), 31u);
    EXPECT_EQ(r.readDword(Hive::CurrentUser, "Software\\Q", "Dec"), 0xFFFFFFFFu);
    EXPECT_EQ(r.readBinary(Hive::CurrentUser, "Software\\Q", "Bin"), (std::vector<std::uint8_t>{1, 0xff}));
    EXPECT_EQ(r.readBinary(Hive::CurrentUser, "Software\\Q", "Bin2"), (std::vector<std::uint8_t>{0x0a, 0xff, 0x10}));
    EXPECT_EQ(r.readString(Hive::CurrentUser, "Software\\Q", ""), "default");
    EXPECT_EQ(r.readString(Hive::ClassesRoot, ".zip", ""), "QuarvaZip");

    std::string out;
    ASSERT_EQ(run({"query", "hkcu\\software\\q"}, &out), 0);
    EXPECT_EQ(out,
              "HKEY_CURRENT_USER\\software\\q\n"
              "    Name    REG_SZ    C:\\a \"b\"\n"
              "    Hex    REG_DWORD    0x1f\n"
              "    Dec    REG_DWORD    0xffffffff\n"
              "    Bin    REG_BINARY    01FF\n"
              "    Bin2    REG_BINARY    0AFF10\n"
              "    (Default)    REG_SZ    default\n"
              "\n"
              "HKEY_CURRENT_USER\\software\\q\\Sub\n");
    ASSERT_EQ(run({"query", "HKCU\\Software\\Q", "HEX"}, &out), 0);
    EXPECT_EQ(out, "HKEY_CURRENT_USER\\Software\\Q\n    Hex    REG_DWORD    0x1f\n");
    ASSERT_EQ(run({"query", "HKCU\\Software\\Q", "@"}, &out), 0);
    EXPECT_NE(out.find("(Default)    REG_SZ    default"), std::string::npos);
}

TEST_F(RegToolTest, MissingKeysAndValuesExitWithOne) {
    ASSERT_EQ(run({"add", "HKCU\\Software\\Q", "a", "sz", "1"}), 0);
    std::string err;
    EXPECT_EQ(run({"query", "HKCU\\Software\\Nope"}, nullptr, &err), 1);
    EXPECT_NE(err.find("no such key"), std::string::npos) << err;
    EXPECT_EQ(run({"query", "HKCU\\Software\\Q", "b"}, nullptr, &err), 1);
    EXPECT_NE(err.find("no value \"b\""), std::string::npos) << err;
    EXPECT_EQ(run({"delete", "HKCU\\Software\\Q", "b"}), 1);
    EXPECT_EQ(run({"delete", "HKCU\\Software\\Nope"}), 1);
    EXPECT_EQ(run({"export", "HKCU\\Software\\Nope", (dir() / "x.reg").string()}), 1);
    EXPECT_FALSE(fs::exists(dir() / "x.reg"));
}

TEST_F(RegToolTest, BadUsageIsExplainedAndChangesNothing) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "no command"},
        {{"frobnicate"}, "unknown command"},
        {{"add", "HKCU\\x", "v", "dword", "12ab"}, "a dword is"},
        {{"add", "HKCU\\x", "v", "dword", "4294967296"}, "a dword is"},
        {{"add", "HKCU\\x", "v", "dword", "-1"}, "a dword is"},
        {{"add", "HKCU\\x", "v", "binary", "0,1"}, "binary data"},
        {{"add", "HKCU\\x", "v", "binary", "abc"}, "binary data"},
        {{"add", "HKCU\\x", "v", "qword", "1"}, "unknown type"},
        {{"add", "HKEY_USERS\\x", "v", "sz", "1"}, "unknown hive"},
        {{"add", "HKCU\\x", "v", "sz"}, "add takes"},
        {{"query"}, "query takes"},
        {{"delete", "HKCU"}, "whole hive"},
        {{"import"}, "import takes"},
    };
    for (const auto& [args, message] : cases) {
        SCOPED_TRACE(message);
        std::string err;
        EXPECT_EQ(run(args, nullptr, &err), 2);
        EXPECT_NE(err.find(message), std::string::npos) << err;
    }
    EXPECT_FALSE(fs::exists(registryDir() / "HKEY_CURRENT_USER.reg"));
    std::string out;
    EXPECT_EQ(run({"--help"}, &out), 0);
    EXPECT_NE(out.find("quarva-reg import FILE.reg"), std::string::npos);
}

TEST_F(RegToolTest, KeysBeyondTheLimitsAreRefusedWithTheReason) {
    std::string deep = "HKCU";
    for (int i = 0; i < 600; ++i) deep += "\\d";
    writeFile(dir() / "deep.reg", "REGEDIT4\n\n[" + deep + "]\n");
    std::string err;
    EXPECT_EQ(run({"import", (dir() / "deep.reg").string()}, nullptr, &err), 1);
    EXPECT_NE(err.find("deeper than 512 levels"), std::string::npos) << err;
    EXPECT_EQ(run({"add", deep, "v", "sz", "x"}, nullptr, &err), 1);
    EXPECT_NE(err.find("deeper than 512 levels"), std::string::npos) << err;
    EXPECT_EQ(run({"add", "HKCU\\" + std::string(300, 'k'), "v", "sz", "x"}, nullptr, &err), 1);
    EXPECT_NE(err.find("longer than 255 characters"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(registryDir() / "HKEY_CURRENT_USER.reg"));
}

TEST_F(RegToolTest, ExportImportAndDelete) {
    ASSERT_EQ(run({"add", "HKCU\\Software\\Q\\A", "n", "dword", "1"}), 0);
    ASSERT_EQ(run({"add", "HKCU\\Software\\Q\\B", "s", "sz", "two"}), 0);
    fs::path file = dir() / "q.reg";
    ASSERT_EQ(run({"export", "HKCU\\Software\\Q", file.string()}), 0);
    EXPECT_EQ(readFile(file),
              "REGEDIT4\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software\\Q]\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software\\Q\\A]\r\n\"n\"=dword:00000001\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software\\Q\\B]\r\n\"s\"=\"two\"\r\n\r\n");

    ASSERT_EQ(run({"delete", "HKCU\\Software\\Q\\A", "n"}), 0);
    EXPECT_FALSE(reg().readDword(Hive::CurrentUser, "Software\\Q\\A", "n"));
    EXPECT_TRUE(reg().keyExists(Hive::CurrentUser, "Software\\Q\\A"));
    ASSERT_EQ(run({"delete", "HKCU\\Software\\Q"}), 0);
    EXPECT_FALSE(reg().keyExists(Hive::CurrentUser, "Software\\Q"));

    ASSERT_EQ(run({"import", file.string()}), 0);
    EXPECT_EQ(reg().readDword(Hive::CurrentUser, "Software\\Q\\A", "n"), 1u);
    EXPECT_EQ(reg().readString(Hive::CurrentUser, "Software\\Q\\B", "s"), "two");

    writeFile(dir() / "bad.reg", "REGEDIT4\n\n[HKCU\\x]\n\"a\"=what\n");
    std::string err;
    EXPECT_EQ(run({"import", (dir() / "bad.reg").string()}, nullptr, &err), 1);
    EXPECT_NE(err.find("line 4"), std::string::npos) << err;
}

TEST_F(RegToolTest, TwoToolsWritingAtOnceLoseNothing) {
    // Two shells, each running the tool 40 times into the same hive.
    std::string loop;
    for (int p = 0; p < 2; ++p) {
        loop += "( for i in $(seq 1 40); do " + quote(program().string()) + " add 'HKCU\\Software\\Race' p" +
                std::to_string(p) + "-$i dword $i || exit 1; done ) & p" + std::to_string(p) + "=$!; ";
    }
    loop += "wait $p0 && wait $p1";
    std::string out;
    ASSERT_EQ(runCommand("bash -c " + quote(loop), &out), 0) << out;
    Registry r = reg();
    EXPECT_EQ(r.values(Hive::CurrentUser, "Software\\Race").size(), 80u);
    for (int i = 1; i <= 40; ++i) {
        EXPECT_EQ(r.readDword(Hive::CurrentUser, "Software\\Race", "p0-" + std::to_string(i)),
                  static_cast<std::uint32_t>(i));
        EXPECT_EQ(r.readDword(Hive::CurrentUser, "Software\\Race", "p1-" + std::to_string(i)),
                  static_cast<std::uint32_t>(i));
    }
}

}  // namespace
