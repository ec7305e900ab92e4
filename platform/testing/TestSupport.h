#pragma once
// Helpers shared by every test: a fresh temp folder per test, a private registry
// store, file helpers, and where the source and build trees are.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quarva::testing {

namespace fs = std::filesystem;

// Base of the helpers that hold something to undo: they are never copied.
struct NoCopy {
    NoCopy() = default;
    NoCopy(const NoCopy&) = delete;
    NoCopy& operator=(const NoCopy&) = delete;
};

// An environment variable set (or, with nullptr, removed) for the life of the object.
class ScopedEnv : NoCopy {
public:
    ScopedEnv(std::string name, const char* value);
    ScopedEnv(std::string name, const std::string& value) : ScopedEnv(std::move(name), value.c_str()) {}
    ~ScopedEnv();

private:
    std::string name_;
    std::optional<std::string> old_;
};

// A small tmpfs of `size` ("1440k") mounted on `path` (created) for the life of the
// object: a full disk on demand. problem() says why not (not root, mount refused);
// tests skip with it.
class SmallVolume : NoCopy {
public:
    SmallVolume(const std::filesystem::path& path, const std::string& size);
    ~SmallVolume();
    bool mounted() const { return problem_.empty(); }
    const std::string& problem() const { return problem_; }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    std::string problem_;
};

// A fresh empty folder, removed when the object goes away
// (kept when $QUARVA_KEEP_TEST_DIRS is set, for a look after a failure).
class TempFolder : NoCopy {
public:
    TempFolder();
    ~TempFolder();
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Base fixture: a temp folder, and $QUARVA_REGISTRY_DIR, $XDG_RUNTIME_DIR and $TMPDIR
// pointed into it for the length of the test (restored afterwards). tmpDir() is then
// the suite's private temporary folder (platform::tempFolder()).
class FolderTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::filesystem::path dir() const { return temp_->path(); }
    std::filesystem::path registryDir() const { return temp_->path() / "registry"; }
    std::filesystem::path tmpDir() const { return temp_->path() / "runtime" / "quarva"; }

private:
    std::unique_ptr<TempFolder> temp_;
    std::vector<std::unique_ptr<ScopedEnv>> env_;
};

// A program of this tree, at `relative` below buildDir(); the test skips when it is not built.
class BuiltProgramTest : public FolderTest {
protected:
    explicit BuiltProgramTest(std::filesystem::path relative) : relative_(std::move(relative)) {}
    void SetUp() override;
    // Runs the program with `args` (shell words) from dir(); `output` gets stdout+stderr.
    int run(const std::string& args, std::string* output = nullptr) const;
    const std::filesystem::path& program() const { return program_; }

private:
    std::filesystem::path relative_, program_;
};

void writeFile(const std::filesystem::path& path, const std::string& content);
void writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& content);
std::string readFile(const std::filesystem::path& path);
// Deterministic pseudo-random bytes.
std::vector<std::uint8_t> randomBytes(std::size_t size, std::uint32_t seed);

std::filesystem::path sourceDir();  // $QUARVA_SOURCE_DIR
std::filesystem::path buildDir();   // $QUARVA_BUILD_DIR
// True when `tool` is on PATH (peer tools are skipped, with a reason, when missing).
bool haveTool(const std::string& tool);
// Runs a shell command; returns its exit status and fills `output` with stdout+stderr.
int runCommand(const std::string& command, std::string* output = nullptr);
// Every case gives `expected` through `check`; a failure names its case.
void expectEvery(const std::function<bool(const std::string&)>& check, bool expected,
                 std::initializer_list<std::string> cases);
void expectEvery(const std::function<bool(const std::string&, const std::string&)>& check, bool expected,
                 std::initializer_list<std::pair<std::string, std::string>> cases);

// True when `text` is one well-formed JSON value (surrounding white space allowed).
bool isJson(const std::string& text);

// A path in single quotes for a shell command line.
std::string q(const std::filesystem::path& path);

}  // namespace quarva::testing
