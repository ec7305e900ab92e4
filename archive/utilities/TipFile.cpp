#include "archive/utilities/TipFile.h"

#include <ctime>
#include <sys/stat.h>

#include "engine/ZipFormat.h"

namespace quarva::archive {

namespace {

constexpr int kMaxLine = 1000;

bool isTipLine(const std::string& line) {
    return !line.empty() && line[0] != '\t' && line[0] != '\n' && line[0] != '\r' && line[0] != ' ' && line[0] != ';';
}

std::string modificationText(const std::filesystem::path& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return {};
    char buffer[64] = {};
    ctime_r(&st.st_mtime, buffer);
    std::string text = buffer;
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\r')) text.pop_back();
    return text;
}

// A tips file written in an 8-bit code page reads as Latin-1 rather than as nothing.
std::string displayText(const std::string& line) {
    if (engine::isValidUtf8(line)) return line;
    std::string text;
    for (unsigned char c : line) {
        if (c < 0x80) {
            text += char(c);
        } else {
            text += char(0xC0 | (c >> 6));
            text += char(0x80 | (c & 0x3F));
        }
    }
    return text;
}

}  // namespace

CTipFile::CTipFile(SettingsStore& store, std::filesystem::path tipsFile) : store_(store), path_(std::move(tipsFile)) {}

CTipFile::~CTipFile() {
    if (!file_) return;
    long position = std::ftell(file_);
    if (position >= 0) store_.writeNumber(kTipSectionKey, "FilePos", static_cast<std::uint32_t>(position));
    std::fclose(file_);
}

void CTipFile::open() {
    file_ = std::fopen(path_.c_str(), "r");
    if (!file_) {
        tip_ = kTipsMissingText;
        return;
    }
    std::uint32_t position = store_.readNumber(kTipSectionKey, "FilePos");
    std::string stamp = modificationText(path_);
    if (stamp != store_.readString(kTipSectionKey, "TimeStamp")) {
        // A new or changed file starts from its first tip.
        position = 0;
        store_.writeString(kTipSectionKey, "TimeStamp", stamp);
    }
    if (std::fseek(file_, static_cast<long>(position), SEEK_SET) != 0) {
        tip_ = kTipsTroubleText;
        return;
    }
    next();
}

void CTipFile::next() {
    if (!file_) return;
    if (!readTip()) tip_ = kTipsTroubleText;
}

bool CTipFile::readTip() {
    // At most one pass round the file: a file without a single tip must not loop forever.
    const long start = std::ftell(file_);
    bool wrapped = false;
    char line[kMaxLine + 1];
    for (;;) {
        if (wrapped && std::ftell(file_) >= start) return false;
        if (!std::fgets(line, sizeof line, file_)) {
            if (wrapped || std::fseek(file_, 0, SEEK_SET) != 0) return false;
            wrapped = true;
            continue;
        }
        std::string text = line;
        // The rest of an over-long line is not a tip of its own.
        if (!text.empty() && text.back() != '\n')
            for (int c = std::getc(file_); c != EOF && c != '\n'; c = std::getc(file_)) {}
        if (isTipLine(text)) {
            tip_ = displayText(text);
            return true;
        }
    }
}

bool CTipFile::showAtStartup(const SettingsStore& store) { return store.readNumber(kTipSectionKey, "StartUp") == 0; }

void CTipFile::setShowAtStartup(SettingsStore& store, bool show) {
    store.writeNumber(kTipSectionKey, "StartUp", show ? 0 : 1);
}

}  // namespace quarva::archive
