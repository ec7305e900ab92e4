// Formats read through an outside program when one is installed: ace, arc, arj,
// zoo, ha, pak, enc (unar/lsar from The Unarchiver package, or arj). The archive
// is unpacked into a private folder beside the archive's temp space and served
// from there; without a tool every call gets a clear error.

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "formatlib/FormatLibrary.h"
#include "formatlib/formats/HandlerBase.h"
#include "platform/FileSystem.h"

extern char** environ;

namespace quarva::formatlib {
namespace {
namespace fs = std::filesystem;

std::string findTool(const char* name)
{
    const char* path = std::getenv("PATH");
    std::string p = path ? path : "/usr/bin:/bin";
    std::size_t i = 0;
    while (i <= p.size()) {
        std::size_t j = p.find(':', i);
        if (j == std::string::npos) j = p.size();
        std::string dir = p.substr(i, j - i);
        if (!dir.empty()) {
            std::string full = dir + "/" + name;
            if (access(full.c_str(), X_OK) == 0) return full;
        }
        i = j + 1;
    }
    return {};
}

// Runs a program with its standard streams on /dev/null, in `folder`.
int runQuiet(const std::vector<std::string>& args, const std::string& folder)
{
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addchdir_np(&fa, folder.c_str());
    pid_t pid = 0;
    int rc = posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) < 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Serves the files below a folder (removed afterwards) as archive entries.
class UnpackedReader : public ArchiveReader {
public:
    UnpackedReader(std::filesystem::path folder, std::string format) : folder_(std::move(folder)), format_(std::move(format))
    {
        std::error_code ec;
        for (auto it = std::filesystem::recursive_directory_iterator(folder_, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            if (it->is_symlink(ec) || (!it->is_regular_file(ec) && !it->is_directory(ec))) continue;
            files_.push_back(it->path());
        }
        std::sort(files_.begin(), files_.end());
    }
    ~UnpackedReader() override
    {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
    int next(EntryInfo& entry) override
    {
        in_.close();
        if (index_ >= files_.size()) return 0;
        const auto& p = files_[index_++];
        std::error_code ec;
        entry = EntryInfo{};
        entry.name = std::filesystem::relative(p, folder_, ec).generic_string();
        entry.isDir = std::filesystem::is_directory(p, ec);
        entry.size = entry.isDir ? 0 : std::filesystem::file_size(p, ec);
        entry.packedSize = entry.size;
        auto ft = std::filesystem::last_write_time(p, ec);
        entry.mtime = std::chrono::system_clock::to_time_t(std::chrono::file_clock::to_sys(ft));
        entry.method = format_;
        if (!entry.isDir) in_.open(p, std::ios::binary);
        return 1;
    }
    long read(void* buffer, std::size_t size) override
    {
        if (!in_.is_open()) return 0;
        in_.read(static_cast<char*>(buffer), static_cast<std::streamsize>(size));
        if (in_.bad()) return -1;
        return static_cast<long>(in_.gcount());
    }
    unsigned kind() const override { return kKindOther; }
    std::string formatName() const override { return format_; }

private:
    std::filesystem::path folder_;
    std::string format_;
    std::vector<std::filesystem::path> files_;
    std::size_t index_ = 0;
    std::ifstream in_;
};

class ExternalHandler : public HandlerBase {
public:
    using Bid = int (*)(const std::uint8_t*, std::size_t);
    ExternalHandler(const char* name, std::vector<std::string> ext, Bid bid, bool arjToo)
        : HandlerBase(name, std::move(ext), kCanRead), bid_(bid), arjToo_(arjToo) {}
    int bid(const std::uint8_t* head, std::size_t size, const std::filesystem::path&) const override
    {
        return bid_ ? bid_(head, size) : 0;
    }
    std::string unsupportedReason() const override
    {
        return std::string("format not supported on this system: install unar") + (arjToo_ ? " or arj" : "");
    }
    std::unique_ptr<ArchiveReader> openReader(const std::filesystem::path& path, const std::string&,
                                              std::string* error) const override
    {
        std::string tmpl = (platform::tempFolder() / "qzunpack-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) {
            *error = "cannot create a work folder";
            return nullptr;
        }
        const std::string unar = findTool("unar");
        const std::string arj = arjToo_ ? findTool("arj") : std::string();
        int rc = -1;
        if (!unar.empty()) {
            rc = runQuiet({unar, "-q", "-f", "-D", "-o", tmpl, fs::absolute(path).string()}, tmpl);
        } else if (!arj.empty()) {
            rc = runQuiet({arj, "x", "-y", fs::absolute(path).string(), tmpl + "/"}, tmpl);
        } else {
            std::filesystem::remove_all(tmpl);
            *error = unsupportedReason();
            return nullptr;
        }
        if (rc != 0) {
            std::filesystem::remove_all(tmpl);
            *error = "the outside program could not read this archive";
            return nullptr;
        }
        return std::make_unique<UnpackedReader>(tmpl, name());
    }

private:
    Bid bid_;
    bool arjToo_;
};

int bidAce(const std::uint8_t* h, std::size_t n) { return n > 14 && std::memcmp(h + 7, "**ACE**", 7) == 0 ? 80 : 0; }
int bidArj(const std::uint8_t* h, std::size_t n) { return n > 2 && h[0] == 0x60 && h[1] == 0xEA ? 80 : 0; }
int bidZoo(const std::uint8_t* h, std::size_t n)
{
    return n > 24 && std::memcmp(h, "ZOO ", 4) == 0 && h[20] == 0xDC && h[21] == 0xA7 && h[22] == 0xC4 && h[23] == 0xFD
               ? 80
               : 0;
}
int bidHa(const std::uint8_t* h, std::size_t n) { return n > 4 && h[0] == 'H' && h[1] == 'A' ? 10 : 0; }
int bidArc(const std::uint8_t* h, std::size_t n) { return n > 2 && h[0] == 0x1A && h[1] >= 1 && h[1] <= 11 ? 10 : 0; }

}  // namespace

std::vector<const FormatHandler*> externalHandlers()
{
    static ExternalHandler ace("ace", {"ace"}, bidAce, false);
    static ExternalHandler arc("arc", {"arc"}, bidArc, false);
    static ExternalHandler arj("arj", {"arj"}, bidArj, true);
    static ExternalHandler zoo("zoo", {"zoo"}, bidZoo, false);
    static ExternalHandler ha("ha", {"ha"}, bidHa, false);
    static ExternalHandler pak("pak", {"pak"}, nullptr, false);
    static ExternalHandler enc("enc", {"enc"}, nullptr, false);
    return {&ace, &arc, &arj, &zoo, &ha, &pak, &enc};
}

}  // namespace quarva::formatlib
