#include "platform/testing/TestSupport.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/wait.h>

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

static void setEnv(const char* name, const std::string& value, std::string* old, bool* had) {
    const char* v = std::getenv(name);
    *had = v != nullptr;
    if (v) *old = v;
    setenv(name, value.c_str(), 1);
}

static void restoreEnv(const char* name, const std::string& old, bool had) {
    if (had) setenv(name, old.c_str(), 1);
    else unsetenv(name);
}

void FolderTest::SetUp() {
    temp_ = std::make_unique<TempFolder>();
    fs::create_directories(tmpDir());
    fs::permissions(tmpDir().parent_path(), fs::perms::owner_all, fs::perm_options::replace);
    fs::permissions(tmpDir(), fs::perms::owner_all, fs::perm_options::replace);
    setEnv("QUARVA_REGISTRY_DIR", registryDir().string(), &oldRegistry_, &hadRegistry_);
    setEnv("XDG_RUNTIME_DIR", tmpDir().parent_path().string(), &oldRuntime_, &hadRuntime_);
    setEnv("TMPDIR", tmpDir().string(), &oldTmp_, &hadTmp_);
}

void FolderTest::TearDown() {
    restoreEnv("QUARVA_REGISTRY_DIR", oldRegistry_, hadRegistry_);
    restoreEnv("TMPDIR", oldTmp_, hadTmp_);
    restoreEnv("XDG_RUNTIME_DIR", oldRuntime_, hadRuntime_);
    temp_.reset();
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
