#include "shellext/tests/ShellExtFixture.h"

#include <cstdlib>
#include <sstream>
#include <sys/stat.h>

#include "platform/Registry.h"
#include "shellext/com/WideText.h"

using namespace quarva::com;

namespace quarva::shellext::testing {

namespace {
constexpr const char* kSettingsKey = "Software\\Quarva Software\\Quarva.Zip\\Settings";
}

const shellhost::ServerLibrary& server() {
    static shellhost::ServerLibrary lib = [] {
        shellhost::ServerLibrary l;
        std::string error;
        if (!l.load(QZIPSHELL_LIBRARY, &error)) ADD_FAILURE() << error;
        return l;
    }();
    return lib;
}

void ShellExtTest::SetUp() {
    FolderTest::SetUp();
    auto set = [this](const char* name, const fs::path& value) {
        env_.push_back(std::make_unique<quarva::testing::ScopedEnv>(name, value.string()));
    };
    env_.push_back(std::make_unique<quarva::testing::ScopedEnv>("QUARVA_REMOVABLE_ROOTS", nullptr));
    set("QUARVA_SHELLEXT_LAUNCH_LOG", dir() / "launches.log");
    set("QUARVA_TEST_FILECOUNT_LOG", dir() / "filecount.log");
    set("QUARVA_SHELLEXT_MESSAGE_LOG", dir() / "messages.log");
    fs::create_directories(installDir());
    setInstalledPath(installDir().string());
    installFormatLibrary();
    setSettings(0x3FF);
    ASSERT_NE(server().getClassObject, nullptr);
}

void ShellExtTest::TearDown() {
    while (!env_.empty()) env_.pop_back();
    FolderTest::TearDown();
}

void ShellExtTest::setSettings(std::uint32_t bits) {
    ASSERT_EQ(Registry(registryDir()).writeDword(Hive::CurrentUser, kSettingsKey, "Config System Settings", bits), 0);
}

void ShellExtTest::removeSettings() {
    Registry(registryDir()).deleteValue(Hive::CurrentUser, kSettingsKey, "Config System Settings");
}

void ShellExtTest::setInstalledPath(const std::string& path) {
    ASSERT_EQ(Registry(registryDir()).writeString(Hive::CurrentUser, kSettingsKey, "Installed Path", path), 0);
}

void ShellExtTest::installFormatLibrary() {
    std::error_code ec;
    fs::copy_file(FAKE_QZIP32_LIBRARY, installDir() / "libqzip32.so", fs::copy_options::overwrite_existing, ec);
    ASSERT_FALSE(ec) << ec.message();
}

std::string ShellExtTest::makeArchive(const std::string& relative, int count) {
    fs::path p = dir() / relative;
    quarva::testing::writeFile(p, "QZIPTEST-COUNT " + std::to_string(count) + "\n");
    return p.string();
}

std::string ShellExtTest::makeFile(const std::string& relative, const std::string& content) {
    fs::path p = dir() / relative;
    quarva::testing::writeFile(p, content);
    return p.string();
}

std::string ShellExtTest::makeFolder(const std::string& relative) {
    fs::path p = dir() / relative;
    fs::create_directories(p);
    return p.string();
}

void ShellExtTest::markRemovable(const std::string& folder) {
    removable_ = removable_.empty() ? folder : removable_ + ":" + folder;
    setenv("QUARVA_REMOVABLE_ROOTS", removable_.c_str(), 1);
}

void PrintTo(const Launch& launch, std::ostream* os) {
    *os << (launch.shown ? "shown:" : "hidden:");
    for (const auto& word : launch.argv) *os << " [" << word << "]";
}

namespace {

std::string unescaped(const std::string& word) {
    std::string out;
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (word[i] != '\\' || i + 1 == word.size()) {
            out += word[i];
            continue;
        }
        char c = word[++i];
        out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    return out;
}

// The launch log: "shown" or "hidden", then each word after a tab.
std::vector<Launch> recordedLaunches(const fs::path& log) {
    std::vector<Launch> result;
    std::istringstream in(quarva::testing::readFile(log));
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::size_t start = 0;
        for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
            fields.push_back(line.substr(start, tab - start));
        fields.push_back(line.substr(start));
        Launch launch{fields.front() == "shown", {}};
        for (std::size_t i = 1; i < fields.size(); ++i) launch.argv.push_back(unescaped(fields[i]));
        result.push_back(std::move(launch));
    }
    return result;
}

// A hand-over list: "~QuarvaZip", 12 letters or digits, ".tmp", in the private folder.
bool isListFileName(const fs::path& path, const fs::path& folder) {
    const std::string name = path.filename().string();
    return path.parent_path() == folder && name.size() == 10 + 12 + 4 && name.starts_with("~QuarvaZip") &&
           name.ends_with(".tmp") &&
           name.substr(10, 12).find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789") ==
               std::string::npos;
}

}  // namespace

std::vector<Launch> ShellExtTest::launches() const {
    std::vector<Launch> result = recordedLaunches(dir() / "launches.log");
    for (auto& launch : result)
        if (!launch.argv.empty() && isListFileName(launch.argv.back(), tmpDir())) launch.argv.back() = kList;
    return result;
}

std::string ShellExtTest::listFile() const {
    std::vector<Launch> all = recordedLaunches(dir() / "launches.log");
    if (all.empty() || all.back().argv.empty()) return {};
    const fs::path list = all.back().argv.back();
    if (!isListFileName(list, tmpDir())) {
        ADD_FAILURE() << "the last start names no list file: " << list;
        return {};
    }
    struct stat st {};
    EXPECT_EQ(lstat(list.c_str(), &st), 0) << list;
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    return quarva::testing::readFile(list);
}

std::vector<fs::path> ShellExtTest::listFiles() const {
    std::vector<fs::path> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(tmpDir(), ec))
        if (entry.path().filename().string().starts_with("~QuarvaZip")) found.push_back(entry.path());
    return found;
}

std::vector<std::string> ShellExtTest::refusals() const {
    std::vector<std::string> texts;
    const std::string all = quarva::testing::readFile(dir() / "messages.log");
    std::size_t start = 0;
    for (std::size_t end; (end = all.find('\0', start)) != std::string::npos; start = end + 1)
        texts.push_back(all.substr(start, end - start));
    return texts;
}

std::vector<std::string> ShellExtTest::fileCountCalls() const {
    std::vector<std::string> calls;
    std::istringstream in(quarva::testing::readFile(dir() / "filecount.log"));
    std::string line;
    while (std::getline(in, line)) calls.push_back(line);
    return calls;
}

IContextMenu* ShellExtTest::initialised(REFCLSID clsid, const std::vector<std::string>& paths, HRESULT* hr,
                                        const char* folder) {
    IShellExtInit* init = create<IShellExtInit>(clsid, IID_IShellExtInit);
    if (!init) return nullptr;
    shellhost::CDropData* data = shellhost::CDropData::create(paths);
    ITEMIDLIST pidl{folder};
    *hr = init->Initialize(folder ? &pidl : nullptr, data, nullptr);
    data->Release();
    IContextMenu* cm = nullptr;
    EXPECT_EQ(init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&cm)), S_OK);
    init->Release();
    return cm;
}

HRESULT ShellExtTest::initResult(REFCLSID clsid, const std::vector<std::string>& paths, const char* folder) {
    HRESULT hr = E_FAIL;
    if (IContextMenu* h = initialised(clsid, paths, &hr, folder)) h->Release();
    return hr;
}

ShellExtTest::Queried::~Queried() {
    if (handler) handler->Release();
    if (menu) menu->Release();
}

void ShellExtTest::query(Queried& q, REFCLSID clsid, const std::vector<std::string>& paths, UINT flags,
                         const char* folder) {
    q.handler = initialised(clsid, paths, &q.initResult, folder);
    q.menu = CMenu::create();
    if (q.handler && SUCCEEDED(q.initResult))
        q.queryResult = q.handler->QueryContextMenu(q.menu, 0, kFirstId, kFirstId + 50, flags);
}

namespace {
void collect(IMenu* menu, int depth, std::vector<MenuRow>& out) {
    for (int i = 0; i < menu->GetMenuItemCount(); ++i) {
        char text[256] = {};
        menu->GetMenuString(static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        HBITMAP bitmap = menu->GetMenuItemBitmap(i);
        out.push_back({depth, text, menu->GetMenuItemID(i), bitmap ? bitmap->id : 0});
        if (IMenu* sub = menu->GetSubMenu(i)) collect(sub, depth + 1, out);
    }
}
}  // namespace

std::vector<MenuRow> ShellExtTest::rows(IMenu* menu) {
    std::vector<MenuRow> out;
    collect(menu, 0, out);
    return out;
}

std::vector<std::string> ShellExtTest::texts(IMenu* menu) {
    std::vector<std::string> out;
    for (const auto& r : rows(menu))
        if (r.id != 0xFFFFFFFFu) out.push_back(r.text);
    return out;
}

HRESULT ShellExtTest::invoke(IContextMenu* handler, unsigned offset) {
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof info;
    info.lpVerb = MAKEINTRESOURCEA(offset);
    info.nShow = SW_SHOWNORMAL;
    return handler->InvokeCommand(&info);
}

std::string ShellExtTest::help(IContextMenu* handler, unsigned offset, HRESULT* hr) {
    char buf[300] = {};
    HRESULT r = handler->GetCommandString(offset, GCS_HELPTEXTA, nullptr, buf, sizeof buf);
    if (hr) *hr = r;
    return buf;
}

std::string ShellExtTest::helpWide(IContextMenu* handler, unsigned offset, HRESULT* hr) {
    OLECHAR buf[300] = {};
    HRESULT r = handler->GetCommandString(offset, GCS_HELPTEXTW, nullptr, reinterpret_cast<char*>(buf), 300);
    if (hr) *hr = r;
    return toUtf8(buf);
}

}  // namespace quarva::shellext::testing
