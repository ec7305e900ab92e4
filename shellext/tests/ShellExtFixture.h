#pragma once
// The shell's part in the tests: the library is loaded by file and driven only
// through its four exports and the interfaces it hands out.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "platform/Registry.h"
#include "platform/testing/TestSupport.h"
#include "shellext/com/ComTypes.h"
#include "shellext/com/Guids.h"
#include "shellext/com/Menu.h"
#include "shellext/host/ShellHost.h"

namespace quarva::shellext::testing {

namespace fs = std::filesystem;
using platform::Hive;
using platform::Registry;

// The library under test, loaded once for the test program.
const shellhost::ServerLibrary& server();

// One recorded start: its argument vector, with the path of a hand-over list file
// replaced by kList (the name is random; launches() checks its shape).
struct Launch {
    bool shown;
    std::vector<std::string> argv;
    bool operator==(const Launch&) const = default;
};
inline constexpr const char* kList = "<list>";
void PrintTo(const Launch& launch, std::ostream* os);

// A menu as the tests read it: one row per item, submenus flattened after their item.
struct MenuRow {
    int depth;
    std::string text;
    com::UINT id;  // 0xFFFFFFFF for a submenu
    int bitmap;    // 0 when none
};

class ShellExtTest : public quarva::testing::FolderTest {
protected:
    void SetUp() override;
    void TearDown() override;

    std::filesystem::path installDir() const { return dir() / "install"; }
    // "Config System Settings"
    void setSettings(std::uint32_t bits);
    void removeSettings();
    void setInstalledPath(const std::string& path);
    // Puts the stand-in format library into the installed folder.
    void installFormatLibrary();

    // A file whose FileCount is `count`.
    std::string makeArchive(const std::string& relative, int count);
    std::string makeFile(const std::string& relative, const std::string& content = "text\n");
    std::string makeFolder(const std::string& relative);
    // Declares `folder` a removable drive root.
    void markRemovable(const std::string& folder);

    std::vector<Launch> launches() const;
    // The content of the list file handed over by the last start.
    std::string listFile() const;
    // The hand-over list files now in the temporary folder.
    std::vector<std::filesystem::path> listFiles() const;
    bool listFileExists() const { return !listFiles().empty(); }
    // The refusals shown to the user, in order.
    std::vector<std::string> refusals() const;
    std::vector<std::string> fileCountCalls() const;

    // Creates a handler of `clsid` through its factory and asks for `iid`.
    template <class I>
    I* create(com::REFCLSID clsid, com::REFIID iid) {
        void* p = nullptr;
        com::HRESULT hr = shellhost::createObject(server(), clsid, iid, &p);
        EXPECT_EQ(hr, com::S_OK);
        return static_cast<I*>(p);
    }

    // Initialize with the selection; the result of Initialize in *hr.
    com::IContextMenu* initialised(com::REFCLSID clsid, const std::vector<std::string>& paths, com::HRESULT* hr,
                                   const char* folder = nullptr);
    // Only the result of Initialize.
    com::HRESULT initResult(com::REFCLSID clsid, const std::vector<std::string>& paths, const char* folder = nullptr);
    // Initialize + QueryContextMenu into a fresh shell menu (index 0, first id 100).
    struct Queried {
        com::IContextMenu* handler = nullptr;
        com::IMenu* menu = nullptr;
        com::HRESULT initResult = com::E_FAIL;
        com::HRESULT queryResult = com::E_FAIL;
        ~Queried();
    };
    void query(Queried& q, com::REFCLSID clsid, const std::vector<std::string>& paths,
               com::UINT flags = com::CMF_NORMAL, const char* folder = nullptr);
    static std::vector<MenuRow> rows(com::IMenu* menu);
    static std::vector<std::string> texts(com::IMenu* menu);  // the item texts, submenus flattened
    static com::HRESULT invoke(com::IContextMenu* handler, unsigned offset);
    static std::string help(com::IContextMenu* handler, unsigned offset, com::HRESULT* hr = nullptr);
    static std::string helpWide(com::IContextMenu* handler, unsigned offset, com::HRESULT* hr = nullptr);

    static constexpr com::UINT kFirstId = 100;

private:
    std::vector<std::unique_ptr<quarva::testing::ScopedEnv>> env_;
    std::string removable_;
};

}  // namespace quarva::shellext::testing
