#include "shellext/ShellEnvironment.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "formatlib/host/FormatLibraryHost.h"
#include "platform/FileSystem.h"
#include "platform/Launcher.h"
#include "platform/Registry.h"
#include "shellext/ShellTexts.h"

namespace quarva::shellext {

using platform::Hive;
using platform::Registry;

std::uint32_t readSystemSettings()
{
    auto value = Registry::fromEnvironment().readDword(Hive::CurrentUser, texts::kSettingsKey,
                                                        texts::kSystemSettingsValue);
    return value && *value != 0 ? *value : kDefaultSystemSettings;
}

std::string readInstalledPath()
{
    auto value = Registry::fromEnvironment().readString(Hive::CurrentUser, texts::kSettingsKey,
                                                         texts::kInstalledPathValue, 260);
    return value ? *value : std::string();
}

std::string programPath(const std::string& installedPath)
{
    return installedPath + "/" + texts::kProgramName;
}

std::string unquotedProgram(const std::string& installedPath)
{
    std::string program = programPath(installedPath);
    if (program.find(' ') != std::string::npos || program.find('\t') != std::string::npos)
        return "\"" + program + "\"";
    return program;
}

int formatLibraryFileCount(const std::string& installedPath, const std::string& archive)
{
    // Without an installed folder there is no library to trust: a relative path
    // would load whatever the current folder holds into the caller's process.
    if (installedPath.empty() || installedPath.front() != '/') return 0;
    int count = 0;
    if (formatlib::callFileCount(formatlib::libraryPath(installedPath), archive, &count) != formatlib::kStatusOk)
        return 0;
    return count;
}

std::filesystem::path listFilePath() { return platform::tempFolder() / texts::kListFileName; }

ListFile::~ListFile()
{
    if (file_) std::fclose(file_);
}

bool ListFile::create()
{
    int fd = ::open(listFilePath().c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid() || ftruncate(fd, 0) != 0) {
        ::close(fd);
        return false;
    }
    file_ = fdopen(fd, "wb");
    if (!file_) {
        ::close(fd);
        return false;
    }
    return true;
}

bool ListFile::write(const std::string& text)
{
    if (!file_) return false;
    if (!text.empty() && std::fwrite(text.data(), 1, text.size(), file_) != text.size()) failed_ = true;
    return !failed_;
}

bool ListFile::close()
{
    if (!file_) return false;
    bool ok = std::fclose(file_) == 0 && !failed_;
    file_ = nullptr;
    return ok;
}

namespace {

// Records starts into a file instead of running them (see startProgram).
class FileRecordingLauncher : public platform::Launcher {
public:
    explicit FileRecordingLauncher(std::string file) : file_(std::move(file)) {}
    bool launch(const std::string& commandLine, bool shown) override
    {
        std::FILE* f = std::fopen(file_.c_str(), "ab");
        if (!f) return false;
        std::string line = std::string(shown ? "shown" : "hidden") + "\t" + commandLine + "\n";
        bool ok = std::fwrite(line.data(), 1, line.size(), f) == line.size();
        return std::fclose(f) == 0 && ok;
    }

private:
    std::string file_;
};

}  // namespace

bool startProgram(const std::string& commandLine, bool shown)
{
    const char* record = std::getenv("QUARVA_SHELLEXT_LAUNCH_LOG");
    if (record && *record) return FileRecordingLauncher(record).launch(commandLine, shown);
    platform::ProcessLauncher launcher;
    return launcher.launch(commandLine, shown);
}

}  // namespace quarva::shellext
