// The desktop integration as the desktop's own tools see it: menu entries, the
// file-type package, icons, man pages, help books, the Nautilus extension and the
// Debian package.
#include "platform/testing/TestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

namespace fs = std::filesystem;
using namespace quarva::testing;

namespace {

fs::path desktopSource() { return sourceDir() / "desktop"; }
fs::path desktopBuild() { return buildDir() / "desktop"; }

class DesktopTest : public FolderTest {};

TEST_F(DesktopTest, MenuEntriesAndFileTypesPassTheDesktopTools) {
    if (!haveTool("desktop-file-validate") || !haveTool("xmllint") || !haveTool("update-mime-database"))
        GTEST_SKIP() << "desktop-file-utils, libxml2-utils or shared-mime-info is missing";
    std::string out;
    for (const char* entry : {"com.quarva.QuarvaZip.desktop", "com.quarva.QuarvaSplit.desktop"}) {
        EXPECT_EQ(runCommand("desktop-file-validate " + q(desktopSource() / "applications" / entry), &out), 0) << out;
        EXPECT_EQ(out, "") << entry;
    }
    EXPECT_EQ(runCommand("xmllint --noout " + q(desktopSource() / "mime" / "quarva.xml"), &out), 0) << out;

    // A database made of the shared types and ours knows every type the menu entries name.
    const fs::path db = dir() / "mime";
    fs::create_directories(db / "packages");
    fs::copy_file(desktopSource() / "mime" / "quarva.xml", db / "packages" / "quarva.xml");
    if (fs::exists("/usr/share/mime/packages/freedesktop.org.xml"))
        fs::copy_file("/usr/share/mime/packages/freedesktop.org.xml", db / "packages" / "freedesktop.org.xml");
    ASSERT_EQ(runCommand("update-mime-database " + q(db) + " 2>/dev/null", &out), 0) << out;
    const std::string globs = readFile(db / "globs2");
    EXPECT_NE(globs.find("application/x-quarva-split-info:*.sio"), std::string::npos) << globs;
    EXPECT_NE(globs.find("60:application/x-quarva-split-chunk:*.[0-9]*.spl"), std::string::npos);
    EXPECT_NE(globs.find("application/x-quarva-xxencoded:*.xxe"), std::string::npos);
    std::string types = readFile(db / "types") + readFile(db / "aliases");  // aliases: "alias type" lines
    std::replace(types.begin(), types.end(), ' ', '\n');
    for (const char* entry : {"com.quarva.QuarvaZip.desktop", "com.quarva.QuarvaSplit.desktop"}) {
        std::string text = readFile(desktopSource() / "applications" / entry);
        const std::size_t at = text.find("\nMimeType=");
        ASSERT_NE(at, std::string::npos) << entry;
        std::stringstream list(text.substr(at + 10, text.find('\n', at + 1) - at - 10));
        for (std::string type; std::getline(list, type, ';');)
            if (!type.empty()) {
                EXPECT_NE(types.find(type + "\n"), std::string::npos) << type << " in " << entry;
            }
    }
}

// The PNG sizes are rendered from the SVG drawings at their own sizes.
TEST_F(DesktopTest, IconsAtEverySize) {
    if (!fs::exists(desktopBuild() / "icons")) GTEST_SKIP() << "rsvg-convert is missing: no icons were rendered";
    for (const char* icon : {"quarvazip", "quarvasplit"})
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
            const std::string dim = std::to_string(size) + "x" + std::to_string(size);
            const fs::path png = desktopBuild() / "icons" / "hicolor" / dim / "apps" / (std::string(icon) + ".png");
            std::string bytes = readFile(png);
            ASSERT_GE(bytes.size(), 24u) << png;
            auto be32 = [&](std::size_t at) {
                return (std::uint32_t(std::uint8_t(bytes[at])) << 24) |
                       (std::uint32_t(std::uint8_t(bytes[at + 1])) << 16) |
                       (std::uint32_t(std::uint8_t(bytes[at + 2])) << 8) | std::uint8_t(bytes[at + 3]);
            };
            EXPECT_EQ(bytes.substr(1, 3), "PNG");
            EXPECT_EQ(be32(16), std::uint32_t(size));
            EXPECT_EQ(be32(20), std::uint32_t(size));
        }
}

// Every man page formats without a warning and names its program.
TEST_F(DesktopTest, ManPagesFormatCleanly) {
    if (!haveTool("groff")) GTEST_SKIP() << "groff is missing";
    for (const char* program : {"QuarvaZip", "QuarvaSplit", "qzip", "qzipshell", "quarva-reg"}) {
        const fs::path page = desktopSource() / "man" / (std::string(program) + ".1");
        std::string out;
        EXPECT_EQ(runCommand("groff -man -Tutf8 -ww -z " + q(page), &out), 0) << out;
        EXPECT_EQ(out, "") << page;
        EXPECT_EQ(runCommand("LANG=C groff -man -Tascii " + q(page) + " | col -b", &out), 0);
        EXPECT_NE(out.find("NAME"), std::string::npos);
        EXPECT_NE(out.find(std::string(program) + " - "), std::string::npos) << out.substr(0, 400);
    }
}

// Each help book is a zip with its project, contents and index, and every page the
// contents or index names is in the book.
TEST_F(DesktopTest, HelpBooksHoldEveryPageTheyName) {
    if (!haveTool("unzip")) GTEST_SKIP() << "unzip is missing";
    for (const char* book : {"veldsuite", "Quarva Split"}) {
        const fs::path htb = desktopBuild() / "help" / (std::string(book) + ".htb");
        const fs::path out = dir() / book;
        std::string log;
        ASSERT_EQ(runCommand("unzip -q -d " + q(out) + " " + q(htb), &log), 0) << log;
        std::set<std::string> named;
        for (const auto& e : fs::directory_iterator(out)) {
            const std::string ext = e.path().extension().string();
            if (ext != ".hhc" && ext != ".hhk" && ext != ".hhp") continue;
            std::string text = readFile(e.path());
            // Contents and index: value="page.htm"; project: one page per line under [FILES].
            for (std::size_t at = text.find("value=\""); at != std::string::npos; at = text.find("value=\"", at + 1)) {
                std::string value = text.substr(at + 7, text.find('"', at + 7) - at - 7);
                if (value.ends_with(".htm")) named.insert(value);
            }
            if (ext == ".hhp") {
                std::stringstream lines(text.substr(text.find("[FILES]")));
                for (std::string line; std::getline(lines, line);)
                    if (line.ends_with(".htm")) named.insert(line);
            }
        }
        EXPECT_GE(named.size(), 3u) << book;
        for (const auto& page : named) EXPECT_TRUE(fs::exists(out / page)) << page << " in " << book;
        EXPECT_TRUE(fs::exists(out / (std::string(book) + ".hhp")) || fs::exists(out / "book.hhp")) << book;
    }
}

// The extension compiles, and against a stand-in of the Nautilus module offers the
// items qzipshell gives for a folder and for a zip; choosing one starts the archive
// manager (noted in the launch log instead).
TEST_F(DesktopTest, NautilusExtensionOffersTheShellExtensionsItems) {
    const char* distEnv = std::getenv("QUARVA_DIST_DIR");
    const fs::path dist = distEnv ? distEnv : "";
    if (!haveTool("python3")) GTEST_SKIP() << "python3 is missing";
    if (!fs::exists(dist / "qzipshell") || !fs::exists(dist / "libQZipShell32.so"))
        GTEST_SKIP() << "no installed layout in " << dist << " (cmake --install first)";
    std::string out;
    const fs::path ext = desktopSource() / "filemanagers" / "nautilus" / "quarva_menu.py";
    ASSERT_EQ(runCommand("python3 -c 'import ast,sys; ast.parse(open(sys.argv[1]).read())' " + q(ext), &out), 0) << out;

    ASSERT_EQ(runCommand("ASAN_OPTIONS=detect_leaks=0 " + q(sourceDir() / "scripts" / "register.sh") + " " + q(dist) +
                             " >/dev/null",
                         &out),
              0)
        << out;
    fs::create_directories(dir() / "Some Folder");
    writeFile(dir() / "Some Folder" / "a.txt", "a");
    ASSERT_EQ(runCommand("cd " + q(dir()) + " && zip -qr 'Some Archive.zip' 'Some Folder'", &out), 0) << out;
    const std::string env = "ASAN_OPTIONS=detect_leaks=0 QUARVA_QZIPSHELL=" + q(dist / "qzipshell") +
                            " QUARVA_SHELLEXT_LAUNCH_LOG=" + q(dir() / "launch.log") + " ";
    EXPECT_EQ(runCommand(env + "python3 " + q(desktopSource() / "tests" / "nautilus_stub_check.py") + " " + q(ext) +
                             " " + q(dir() / "Some Folder") + " " + q(dir() / "Some Archive.zip"),
                         &out),
              0)
        << out;
    EXPECT_NE(out.find("checked"), std::string::npos) << out;
    EXPECT_NE(readFile(dir() / "launch.log").find("QuarvaZip"), std::string::npos);

    // The fixed items of Nemo, Dolphin and Thunar pick the extension's item by its text.
    fs::remove(dir() / "launch.log");
    const std::string action =
        env + "PATH=/usr/bin:/bin " + q(desktopSource() / "filemanagers" / "quarva-menu-action") + " ";
    EXPECT_EQ(runCommand(action + "'Extract to folder ' " + q(dir() / "Some Archive.zip"), &out), 0) << out;
    EXPECT_NE(readFile(dir() / "launch.log").find("noextractdialog"), std::string::npos);
    EXPECT_EQ(runCommand(action + "'Add To Zip' " + q(dir() / "Some Archive.zip"), &out), 1);
    EXPECT_NE(out.find("\"Add To Zip\" is not offered for this selection"), std::string::npos) << out;
}

// Thunar's actions merge into the user's own uca.xml: the user's actions stay, the
// suite's are there once however often the merge runs, and --remove takes them out.
TEST_F(DesktopTest, ThunarActionsMergeIntoTheUsersFile) {
    if (!haveTool("python3")) GTEST_SKIP() << "python3 is missing";
    const fs::path uca = dir() / "config" / "Thunar" / "uca.xml";
    writeFile(uca,
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n<action><name>Open Terminal Here</name>"
              "<unique-id>1-1</unique-id><command>x-terminal-emulator</command><patterns>*</patterns>"
              "<directories/></action>\n</actions>\n");
    const std::string tool = "XDG_CONFIG_HOME=" + q(dir() / "config") + " " +
                             q(desktopSource() / "filemanagers" / "thunar" / "quarva-thunar-actions") + " --from " +
                             q(desktopSource() / "filemanagers" / "thunar" / "uca-quarva.xml");
    std::string out;
    auto count = [&](const std::string& what) {
        std::string text = readFile(uca);
        std::size_t n = 0;
        for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    };
    ASSERT_EQ(runCommand(tool, &out), 0) << out;
    ASSERT_EQ(runCommand(tool, &out), 0) << out;
    EXPECT_EQ(count("<unique-id>quarva-extract-to</unique-id>"), 1u);
    EXPECT_EQ(count("<unique-id>quarva-"), 4u);
    EXPECT_EQ(count("Open Terminal Here"), 1u);
    if (haveTool("xmllint")) {
        EXPECT_EQ(runCommand("xmllint --noout " + q(uca), &out), 0) << out;
    }
    ASSERT_EQ(runCommand(tool + " --remove", &out), 0) << out;
    EXPECT_EQ(count("<unique-id>quarva-"), 0u);
    EXPECT_EQ(count("Open Terminal Here"), 1u);
    // A file that cannot be read is left as it is.
    writeFile(uca, "<actions><action>");
    EXPECT_EQ(runCommand(tool, &out), 1);
    EXPECT_EQ(readFile(uca), "<actions><action>");
}

// The .deb from this build holds the installed folder under /opt/quarva, the program
// links, the desktop files and the registry defaults, and installs into an empty root.
TEST_F(DesktopTest, DebianPackageHoldsTheSuite) {
    if (!haveTool("dpkg-deb") || !haveTool("cpack")) GTEST_SKIP() << "dpkg-deb or cpack is missing";
    if (!fs::exists(buildDir() / "CPackConfig.cmake")) GTEST_SKIP() << "no CPack configuration in " << buildDir();
    std::string out;
    ASSERT_EQ(runCommand("cd " + q(buildDir()) + " && ASAN_OPTIONS=detect_leaks=0 cpack -G DEB -B " + q(dir() / "pkg") +
                             " -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip -D CPACK_DEBIAN_PACKAGE_SHLIBDEPS=OFF 2>&1",
                         &out),
              0)
        << out;
    fs::path deb;
    for (const auto& e : fs::directory_iterator(dir() / "pkg"))
        if (e.path().extension() == ".deb") deb = e.path();
    ASSERT_FALSE(deb.empty()) << out;

    ASSERT_EQ(runCommand("dpkg-deb -c " + q(deb), &out), 0) << out;
    for (const char* path :
         {"./opt/quarva/QuarvaZip", "./opt/quarva/QuarvaSplit", "./opt/quarva/libqzip32.so", "./opt/quarva/qzipshell",
          "./opt/quarva/libQZipShell32.so", "./opt/quarva/veldsuite.htb", "./opt/quarva/Quarva Split.htb",
          "./opt/quarva/tips.txt", "./usr/bin/QuarvaZip -> /opt/quarva/QuarvaZip",
          "./usr/bin/quarva-reg -> /opt/quarva/quarva-reg", "./usr/share/applications/com.quarva.QuarvaZip.desktop",
          "./usr/share/mime/packages/quarva.xml", "./usr/share/icons/hicolor/256x256/apps/quarvazip.png",
          "./usr/share/icons/hicolor/scalable/apps/quarvasplit.svg", "./usr/share/man/man1/qzipshell.1.gz",
          "./usr/share/nautilus-python/extensions/quarva_menu.py", "./etc/quarva/registry/HKEY_CURRENT_USER.reg",
          "./etc/quarva/registry/HKEY_CLASSES_ROOT.reg"})
        EXPECT_NE(out.find(path), std::string::npos) << path;
    EXPECT_EQ(out.find("Extraction"), std::string::npos);
    if (out.find("./opt/quarva/share/dbus-1/services/com.quarva.VantorSplit.service") != std::string::npos) {
        EXPECT_NE(out.find("./usr/share/dbus-1/services/com.quarva.VantorSplit.service"), std::string::npos);
    }
    EXPECT_EQ(out.find(buildDir().string()), std::string::npos);
    ASSERT_EQ(runCommand("dpkg-deb -f " + q(deb) + " Package Depends", &out), 0);
    EXPECT_NE(out.find("Package: quarva-zip-suite"), std::string::npos) << out;

    // Installed by dpkg into a throw-away root.
    const fs::path root = dir() / "root";
    fs::create_directories(root / "var" / "lib" / "dpkg" / "info");
    fs::create_directories(root / "var" / "lib" / "dpkg" / "updates");
    writeFile(root / "var" / "lib" / "dpkg" / "status", "");
    ASSERT_EQ(runCommand("dpkg --root=" + q(root) + " --force-depends --force-script-chrootless -i " + q(deb) + " 2>&1",
                         &out),
              0)
        << out;
    EXPECT_TRUE(fs::is_regular_file(root / "opt" / "quarva" / "QuarvaZip"));
    EXPECT_EQ(fs::read_symlink(root / "usr" / "bin" / "qzip"), "/opt/quarva/qzip");
    ASSERT_EQ(runCommand("dpkg --root=" + q(root) + " -s quarva-zip-suite", &out), 0) << out;
    EXPECT_NE(out.find("Status: install ok installed"), std::string::npos) << out;
    EXPECT_NE(out.find("/etc/quarva/registry/HKEY_CURRENT_USER.reg"), std::string::npos) << out;  // a conffile

    // A user without a store of their own reads the installed path from the defaults;
    // the shell extension is registered at the installed path.
    const fs::path defaults = root / "etc" / "quarva" / "registry";
    const std::string user = "QUARVA_REGISTRY_DIR=" + q(dir() / "user") +
                             " QUARVA_REGISTRY_DEFAULTS_DIR=" + q(defaults) + " ASAN_OPTIONS=detect_leaks=0 " +
                             q(root / "opt" / "quarva" / "quarva-reg");
    ASSERT_EQ(
        runCommand(user + " query 'HKCU\\Software\\Quarva Software\\Quarva.Zip\\Settings' 'Installed Path'", &out), 0)
        << out;
    EXPECT_NE(out.find("/opt/quarva"), std::string::npos) << out;
    EXPECT_EQ(out.find(dir().string()), std::string::npos) << out;
    EXPECT_NE(readFile(defaults / "HKEY_CLASSES_ROOT.reg").find("/opt/quarva/libQZipShell32.so"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir() / "user"));

    // The installed folder seen at /opt/quarva, read-only, in a mount namespace of its
    // own: a user with an empty home and no registration step of their own zips and
    // unzips, and the file-manager menu is there.
    if (::geteuid() != 0 || !haveTool("unshare")) GTEST_SKIP() << "needs root and unshare for a private /opt";
    const fs::path home = dir() / "home";
    fs::create_directories(home / "w");
    writeFile(home / "w" / "add.lst", (home / "w" / "a.zip").string() + "\r\n/opt/quarva/samples/Sample Folder\r\n");
    writeFile(home / "w" / "extract.lst",
              (home / "w" / "a.zip").string() + "\r\n" + (home / "w" / "out").string() + "\r\n");
    const std::string inside =
        "env -i HOME=" + q(home) +
        " PATH=/usr/bin:/bin ASAN_OPTIONS=detect_leaks=0 QUARVA_REGISTRY_DEFAULTS_DIR=" + q(defaults) +
        " sh -c '/opt/quarva/QuarvaZip /noadddialog \"$HOME/w/add.lst\" && " +
        "/opt/quarva/QuarvaZip /noextractdialog \"$HOME/w/extract.lst\" && " +
        "/opt/quarva/qzipshell menu \"$HOME/w/a.zip\"'";
    const std::string mounts = "mount -t tmpfs tmpfs /opt && mkdir /opt/quarva && mount --bind " +
                               q(root / "opt" / "quarva") + " /opt/quarva && mount -o remount,bind,ro /opt/quarva";
    if (runCommand("unshare -m --propagation private sh -c 'mount -t tmpfs tmpfs /opt'", &out) != 0)
        GTEST_SKIP() << "no private mounts here: " << out;
    std::string script = mounts + " && " + inside;
    std::string quoted;
    for (char c : script) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    EXPECT_EQ(runCommand("unshare -m --propagation private sh -c '" + quoted + "'", &out), 0) << out;
    EXPECT_TRUE(fs::exists(home / "w" / "out" / "Sample Folder" / "readme.txt")) << out;
    EXPECT_NE(out.find("&Extract to..."), std::string::npos) << out;
    EXPECT_TRUE(fs::is_directory(home / "Documents" / "Quarva" / "Extraction")) << out;
}

}  // namespace
