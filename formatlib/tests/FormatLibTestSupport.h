#pragma once
// Test host for the format library: loads the built libqzip32.so, calls its entry
// points, and keeps a copy of every record it receives (records live only during
// the SendMessage call, so they are copied inside the handler).

#include <filesystem>
#include <string>
#include <vector>

#include "formatlib/FormatLibrary.h"
#include "formatlib/host/FormatLibraryHost.h"
#include "platform/testing/ArchiveBytes.h"
#include "platform/testing/RecordingWindow.h"
#include "platform/testing/TestSupport.h"

namespace quarva::formatlib::testing {

namespace fs = std::filesystem;
using quarva::testing::haveTool;
using quarva::testing::q;
using quarva::testing::randomBytes;
using quarva::testing::readFile;
using quarva::testing::runCommand;
using quarva::testing::ScopedEnv;
using quarva::testing::SmallVolume;
using quarva::testing::TarBuilder;
using quarva::testing::writeFile;
using quarva::testing::zipArchive;

// A file of formatlib/tests/data, the small archives kept in the tree.
inline fs::path data(const std::string& name) {
    return quarva::testing::sourceDir() / "formatlib" / "tests" / "data" / name;
}

struct CopiedEntry {
    unsigned message = 0;
    std::string name, modified, methodName;
    std::uint32_t crc = 0, packedSize = 0, size = 0;
    std::uint16_t ratio = 0, attributes = 0, method = 0;
};

struct CopiedError {
    std::string entryName, fileName, cause, details;
    bool reservedNull = true;
};

class HostWindow : public platform::testing::RecordingWindow {
public:
    HostWindow();
    std::vector<CopiedEntry> listed, processed;
    std::vector<std::string> deleted;
    std::vector<std::pair<std::string, bool>> tested;
    std::vector<unsigned> kinds;
    std::vector<CopiedError> errors;
    struct Match {
        std::string entry;
        unsigned line;
        std::string text;
    };
    std::vector<Match> matches;
    std::vector<ProgressRecord> progress;
    void clear();
    std::vector<std::string> listedNames() const;  // files only, "\" separators as received
    std::string errorText() const;                 // all errors, for assertion messages
    int outcome() const;                           // the last kMsgFinished value, -1 when none
};

std::string quoteList(const std::vector<std::string>& names);
std::filesystem::path libraryFile();
std::filesystem::path stubFolder();

// A fixture with a fresh folder, the library loaded and a host window.
class FormatLibTest : public quarva::testing::FolderTest {
protected:
    void SetUp() override;
    void TearDown() override;

    void list(const std::filesystem::path& archive, const std::string& filters = "*.*");
    void extract(const std::filesystem::path& archive, const std::filesystem::path& dest,
                 const std::string& files = "*.*", bool overwrite = true, bool paths = true);
    void compress(const std::filesystem::path& archive, const std::vector<std::string>& files, bool subfolders = true,
                  bool savePaths = false, const std::string& password = {}, bool hidden = false,
                  bool deleteAfter = false);
    void remove(const std::filesystem::path& archive, const std::vector<std::string>& names);
    void test(const std::filesystem::path& archive, const std::string& files = "*.*");
    void convert(const std::filesystem::path& source, const std::filesystem::path& target, int code);
    void sfx(const std::filesystem::path& source, const std::filesystem::path& target,
             const std::filesystem::path& stubs);
    void encode(const std::filesystem::path& source, const std::filesystem::path& target, int method, bool table);
    int count(const std::filesystem::path& archive);

    // A small tree: a.txt, docs/b.txt, docs/deep/c.bin (random), empty.txt.
    std::filesystem::path makeTree(const std::string& name = "src");
    // Every regular file below `root`, relative, with its content.
    static std::vector<std::pair<std::string, std::string>> tree(const std::filesystem::path& root);

    std::unique_ptr<LoadedLibrary> lib_;
    HostWindow host_;
};

}  // namespace quarva::formatlib::testing
