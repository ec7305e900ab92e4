#include "archive/utilities/Shortcuts.h"

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "archive/core/Configuration.h"
#include "archive/core/CoreTexts.h"
#include "archive/core/PathText.h"
#include "engine/ZipFormat.h"
#include "platform/AtomicFile.h"

namespace fs = std::filesystem;

namespace quarva::archive {

namespace {

constexpr char kLinkExtension[] = ".desktop";
constexpr std::size_t kMaxStem = 255 - 8 - 5;  // ".desktop" and " (99)"
constexpr int kMaxNumbered = 99;

bool isControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

// Text for a UTF-8 file format: bytes that do not form UTF-8 become "?".
std::string asUtf8(std::string text) {
    if (engine::isValidUtf8(text)) return text;
    for (char& c : text)
        if (static_cast<unsigned char>(c) >= 0x80) c = '?';
    return text;
}

// A value of a desktop entry: the escapes the format knows for backslash, line
// ends, tabs and a leading blank.
std::string entryValue(const std::string& text) {
    std::string out;
    for (char c : asUtf8(text)) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: out += isControl(static_cast<unsigned char>(c)) ? '?' : c;
        }
    }
    if (!out.empty() && out[0] == ' ') out.replace(0, 1, "\\s");
    return out;
}

bool replaceWith(const fs::path& target, const std::string& content, std::error_code& ec) {
    platform::AtomicFile file;
    return file.open(target, ec) && file.write(content.data(), content.size(), ec) && file.commit(ec);
}

// Creates an empty "<stem>.desktop" (or "<stem> (n).desktop") that did not exist, so
// that no file of the user's is ever overwritten; the name taken, or empty.
fs::path reserveLinkFile(const fs::path& folder, const std::string& stem, std::error_code& ec) {
    for (int n = 1; n <= kMaxNumbered; ++n) {
        std::string name = stem + (n == 1 ? std::string() : " (" + std::to_string(n) + ")") + kLinkExtension;
        fs::path path = folder / name;
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST) break;
    }
    ec = std::error_code(errno, std::generic_category());
    return {};
}

// The name after the last "/" (a "\\" belongs to a name on this system).
std::string nameAfterSlash(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace

std::string shortcutName(std::string_view path) {
    std::string name = nameAfterSlash(path);
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos) return name;
    const std::string extension = "." + std::string(path.substr(dot + 1));
    for (std::size_t at; (at = name.find(extension)) != std::string::npos;) name.erase(at, extension.size());
    return name;
}

std::string linkFileStem(std::string_view name) {
    std::string stem;
    for (char c : name) stem += (c == '/' || isControl(static_cast<unsigned char>(c))) ? '_' : c;
    if (!stem.empty() && (stem[0] == '-' || stem[0] == '.')) stem[0] = '_';
    if (stem.size() > kMaxStem) {
        std::size_t cut = kMaxStem;
        while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80) --cut;
        stem.resize(cut);
    }
    return stem;
}

std::string fileUri(std::string_view absolutePath) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (char ch : absolutePath) {
        unsigned char c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '~' || c == '/') {
            uri += ch;
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 0xF];
        }
    }
    return uri;
}

fs::path createShellLink(const std::string& target, const fs::path& folder, const std::string& name,
                         const std::string& description, platform::Prompts& prompts) {
    if (target.empty() || target[0] != '/') {
        prompts.message(shortcuttext::kSetPathFailed, text::kTitle);
        return {};
    }
    std::string stem = linkFileStem(name.empty() ? nameAfterSlash(target) : name);
    if (stem.empty()) stem = "_";
    std::ostringstream entry;
    entry << "[Desktop Entry]\nVersion=1.0\nType=Link\nName=" << entryValue(name.empty() ? stem : name)
          << "\nComment=" << entryValue(description) << "\nURL=" << fileUri(target) << "\n";

    std::error_code ec;
    fs::create_directories(folder, ec);
    fs::path link = reserveLinkFile(folder, stem, ec);
    if (link.empty() || !replaceWith(link, entry.str(), ec)) {
        if (!link.empty()) fs::remove(link, ec);
        prompts.message(shortcuttext::kCreateFailed, text::kTitle);
        return {};
    }
    prompts.message(shortcuttext::kCreated, text::kTitle);
    return link;
}

fs::path createDesktopShortcut(const std::string& archivePath, platform::Prompts& prompts) {
    return createShellLink(archivePath, desktopFolder(), shortcutName(archivePath), text::kShortcutTo + archivePath,
                           prompts);
}

fs::path gtkBookmarksFile() { return userConfigFolder() / "gtk-3.0" / "bookmarks"; }

bool addBookmark(const fs::path& bookmarks, const std::string& folder, const std::string& title, std::error_code& ec) {
    const std::string uri = fileUri(folder);
    std::string line = uri;
    std::string cleanTitle;
    for (char c : asUtf8(title)) cleanTitle += isControl(static_cast<unsigned char>(c)) ? ' ' : c;
    cleanTitle = trim(cleanTitle);
    if (!cleanTitle.empty()) line += " " + cleanTitle;

    std::string content, existing;
    std::ifstream in(bookmarks, std::ios::binary);
    while (std::getline(in, existing)) {
        if (existing.empty() || existing.substr(0, existing.find(' ')) == uri) continue;
        content += existing + "\n";
    }
    content += line + "\n";
    fs::create_directories(bookmarks.parent_path(), ec);
    return !ec && replaceWith(bookmarks, content, ec);
}

bool addToFavourites(const std::string& archivePath, platform::Prompts& prompts) {
    if (archivePath.empty()) return false;
    platform::TextRequest question{shortcuttext::kFavouriteTitleText, text::kAddToFavoritesTitle,
                                   nameAfterSlash(archivePath), false};
    auto title = prompts.askText(question);
    if (!title) return false;
    std::error_code ec;
    fs::path folder = fs::absolute(archivePath, ec).parent_path();
    if (ec || !addBookmark(gtkBookmarksFile(), folder.string(), *title, ec)) {
        prompts.message(shortcuttext::kCreateFailed, text::kTitle);
        return false;
    }
    prompts.message(shortcuttext::kCreated, text::kTitle);
    return true;
}

}  // namespace quarva::archive
