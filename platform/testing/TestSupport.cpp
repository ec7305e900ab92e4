#include "platform/testing/TestSupport.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace quarva::testing {

TempFolder::TempFolder() {
    const char* base = std::getenv("QUARVA_TEST_TMP");
    fs::path root = base && *base ? fs::path(base) : fs::temp_directory_path();
    std::string pattern = (root / "quarva-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temp folder under " + root.string());
    path_ = pattern;
}

TempFolder::~TempFolder() {
    if (std::getenv("QUARVA_KEEP_TEST_DIRS")) return;
    std::error_code ec;
    // Tests may leave read-only files and folders behind.
    for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

ScopedEnv::ScopedEnv(std::string name, const char* value) : name_(std::move(name)) {
    if (const char* v = std::getenv(name_.c_str())) old_ = v;
    if (value) setenv(name_.c_str(), value, 1);
    else unsetenv(name_.c_str());
}

ScopedEnv::~ScopedEnv() {
    if (old_) setenv(name_.c_str(), old_->c_str(), 1);
    else unsetenv(name_.c_str());
}

SmallVolume::SmallVolume(const fs::path& path, const std::string& size) : path_(path) {
    fs::create_directories(path);
    if (::geteuid() != 0) problem_ = "mounting a small volume needs root";
    else if (::mount("tmpfs", path.c_str(), "tmpfs", 0, ("size=" + size).c_str()) != 0)
        problem_ = "mounting a small tmpfs was refused";
}

SmallVolume::~SmallVolume() {
    if (mounted()) ::umount2(path_.c_str(), MNT_DETACH);
}

void FolderTest::SetUp() {
    temp_ = std::make_unique<TempFolder>();
    fs::create_directories(tmpDir());
    fs::permissions(tmpDir().parent_path(), fs::perms::owner_all, fs::perm_options::replace);
    fs::permissions(tmpDir(), fs::perms::owner_all, fs::perm_options::replace);
    env_.push_back(std::make_unique<ScopedEnv>("QUARVA_REGISTRY_DIR", registryDir().string()));
    env_.push_back(std::make_unique<ScopedEnv>("XDG_RUNTIME_DIR", tmpDir().parent_path().string()));
    env_.push_back(std::make_unique<ScopedEnv>("TMPDIR", tmpDir().string()));
}

void FolderTest::TearDown() {
    while (!env_.empty()) env_.pop_back();
    temp_.reset();
}

void BuiltProgramTest::SetUp() {
    FolderTest::SetUp();
    program_ = buildDir() / relative_;
    if (!fs::exists(program_)) GTEST_SKIP() << relative_.filename().string() << " is not built at " << program_;
}

int BuiltProgramTest::run(const std::string& args, std::string* output) const {
    return runCommand("cd " + q(dir()) + " && " + q(program_) + " " + args, output);
}

void writeFile(const fs::path& path, const std::string& content) {
    if (path.has_parent_path()) fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

void writeFile(const fs::path& path, const std::vector<std::uint8_t>& content) {
    writeFile(path, std::string(content.begin(), content.end()));
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::uint8_t> randomBytes(std::size_t size, std::uint32_t seed) {
    std::mt19937 gen(seed);
    std::vector<std::uint8_t> out(size);
    for (auto& b : out) b = static_cast<std::uint8_t>(gen());
    return out;
}

fs::path sourceDir() {
    const char* v = std::getenv("QUARVA_SOURCE_DIR");
    return v ? fs::path(v) : fs::current_path();
}

fs::path buildDir() {
    const char* v = std::getenv("QUARVA_BUILD_DIR");
    return v ? fs::path(v) : fs::current_path();
}

bool haveTool(const std::string& tool) { return runCommand("command -v '" + tool + "' >/dev/null 2>&1") == 0; }

void expectEvery(const std::function<bool(const std::string&)>& check, bool expected,
                 std::initializer_list<std::string> cases) {
    for (const auto& c : cases) EXPECT_EQ(check(c), expected) << '"' << c << '"';
}

void expectEvery(const std::function<bool(const std::string&, const std::string&)>& check, bool expected,
                 std::initializer_list<std::pair<std::string, std::string>> cases) {
    for (const auto& [a, b] : cases) EXPECT_EQ(check(a, b), expected) << '"' << a << "\", \"" << b << '"';
}

std::string q(const fs::path& path) { return "'" + path.string() + "'"; }

int runCommand(const std::string& command, std::string* output) {
    std::string full = command + " 2>&1";
    FILE* pipe = popen(full.c_str(), "r");
    if (!pipe) return -1;
    std::array<char, 4096> buf{};
    std::string out;
    std::size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0) out.append(buf.data(), n);
    int status = pclose(pipe);
    if (output) *output = out;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace quarva::testing
