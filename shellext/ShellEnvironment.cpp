#include "shellext/ShellEnvironment.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include "formatlib/host/FormatLibraryHost.h"
#include "platform/FileSystem.h"
#include "platform/Launcher.h"
#include "platform/Prompts.h"
#include "platform/Registry.h"
#include "shellext/ShellTexts.h"

namespace quarva::shellext {

using platform::Hive;
using platform::Registry;

std::uint32_t readSystemSettings() {
    auto value =
        Registry::fromEnvironment().readDword(Hive::CurrentUser, texts::kSettingsKey, texts::kSystemSettingsValue);
    return value && *value != 0 ? *value : kDefaultSystemSettings;
}

std::string readInstalledPath() {
    auto value =
        Registry::fromEnvironment().readString(Hive::CurrentUser, texts::kSettingsKey, texts::kInstalledPathValue, 260);
    return value ? *value : std::string();
}

std::string programPath(const std::string& installedPath) { return installedPath + "/" + texts::kProgramName; }

int formatLibraryFileCount(const std::string& installedPath, const std::string& archive) {
    // Without an installed folder there is no library to trust: a relative path
    // would load whatever the current folder holds into the caller's process.
    if (installedPath.empty() || installedPath.front() != '/') return 0;
    int count = 0;
    if (formatlib::callFileCount(formatlib::libraryPath(installedPath), archive, &count) != formatlib::kStatusOk)
        return 0;
    return count;
}

int formatLibraryArchiveType(const std::string& installedPath, const std::string& archive) {
    if (installedPath.empty() || installedPath.front() != '/') return -1;
    int kind = -1;
    std::string found;
    if (formatlib::callArchiveType(formatlib::libraryPath(installedPath), archive, &kind, &found) !=
        formatlib::kStatusOk)
        return -1;
    return kind < 0 ? -1 : kind;
}

bool fitsInListFile(const std::string& name) { return name.find_first_of("\r\n") == std::string::npos; }

namespace {

// Letters and digits from the kernel's random source, for names nobody can guess.
bool randomPart(std::string& out, std::size_t length) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char bytes[32];
    if (length > sizeof bytes || getrandom(bytes, length, 0) != static_cast<ssize_t>(length)) return false;
    out.clear();
    for (std::size_t i = 0; i < length; ++i) out += kAlphabet[bytes[i] % (sizeof kAlphabet - 1)];
    return true;
}

}  // namespace

ListFile::~ListFile() {
    if (file_) std::fclose(file_);
}

bool ListFile::create() {
    const std::filesystem::path folder = platform::tempFolder();
    if (folder.empty()) {
        problem_ = platform::tempFolderProblem();
        return false;
    }
    int err = EEXIST;
    for (int attempt = 0; attempt < 100 && err == EEXIST; ++attempt) {
        std::string unique;
        if (!randomPart(unique, 12)) {
            err = errno;
            break;
        }
        std::filesystem::path candidate =
            folder / (std::string(texts::kListFilePrefix) + unique + texts::kListFileSuffix);
        int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            err = errno;
            continue;
        }
        file_ = fdopen(fd, "wb");
        if (!file_) {
            err = errno;
            ::close(fd);
            ::unlink(candidate.c_str());
            break;
        }
        path_ = std::move(candidate);
        return true;
    }
    problem_ = std::string(texts::kListFileNotMade) + folder.string() + ": " + std::strerror(err) + ".";
    return false;
}

bool ListFile::write(const std::string& text) {
    if (!file_) return false;
    if (!text.empty() && std::fwrite(text.data(), 1, text.size(), file_) != text.size()) failed_ = true;
    return !failed_;
}

bool ListFile::close() {
    if (!file_) return false;
    bool ok = std::fclose(file_) == 0 && !failed_;
    file_ = nullptr;
    return ok;
}

void ListFile::discard() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    if (!path_.empty()) ::unlink(path_.c_str());
    path_.clear();
}

namespace {

std::string escapedWord(const std::string& word) {
    std::string out;
    for (char c : word) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

// Records starts into a file instead of running them (see startProgram).
class FileRecordingLauncher : public platform::Launcher {
public:
    explicit FileRecordingLauncher(std::string file) : file_(std::move(file)) {}
    bool launch(const std::vector<std::string>& argv, bool shown) override {
        std::FILE* f = std::fopen(file_.c_str(), "ab");
        if (!f) return false;
        std::string line = shown ? "shown" : "hidden";
        for (const auto& word : argv) line += "\t" + escapedWord(word);
        line += "\n";
        bool ok = std::fwrite(line.data(), 1, line.size(), f) == line.size();
        return std::fclose(f) == 0 && ok;
    }

private:
    std::string file_;
};

}  // namespace

bool startProgram(const std::vector<std::string>& argv, bool shown) {
    const char* record = std::getenv("QUARVA_SHELLEXT_LAUNCH_LOG");
    if (record && *record) return FileRecordingLauncher(record).launch(argv, shown);
    platform::ProcessLauncher launcher;
    return launcher.launch(argv, shown);
}

std::vector<std::string> archiveManagerCommand(const std::string& installedPath, const std::string& switchName,
                                               const std::string& argument) {
    std::vector<std::string> argv{programPath(installedPath), "/" + switchName};
    if (!argument.empty()) argv.push_back(argument);
    return argv;
}

com::HRESULT handOverList(const std::vector<std::string>& lines, bool endLastLine, const char* switchName, bool shown) {
    for (const auto& line : lines) {
        if (fitsInListFile(line)) continue;
        std::string shownName;
        for (char c : line)
            shownName += c == '\n' ? std::string("\\n") : c == '\r' ? std::string("\\r") : std::string(1, c);
        showRefusal(texts::kLineBreakInName + shownName + texts::kLineBreakInNameEnd);
        return com::HRESULT_FROM_WIN32(123);  // the name is not valid here
    }
    ListFile file;
    if (!file.create()) {
        showRefusal(file.problem());
        return com::HRESULT_FROM_WIN32(5);
    }
    std::string content;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        content += lines[i];
        if (endLastLine || i + 1 < lines.size()) content += "\r\n";
    }
    file.write(content);
    if (!file.close()) {
        file.discard();
        return com::HRESULT_FROM_WIN32(29);
    }
    // Nobody will read a list whose reader did not start.
    if (!startProgram(archiveManagerCommand(readInstalledPath(), switchName, file.path().string()), shown))
        file.discard();
    return com::S_OK;
}

void showRefusal(const std::string& text) {
    const char* record = std::getenv("QUARVA_SHELLEXT_MESSAGE_LOG");
    if (record && *record) {
        if (std::FILE* f = std::fopen(record, "ab")) {
            std::fwrite(text.data(), 1, text.size(), f);
            std::fputc('\0', f);
            std::fclose(f);
        }
        return;
    }
    platform::ConsolePrompts prompts(/*interactive=*/false);
    prompts.message(text, texts::kCaption, platform::Buttons::Ok, platform::Icon::Stop);
}

}  // namespace quarva::shellext
