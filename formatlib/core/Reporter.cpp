#include "formatlib/core/Reporter.h"

#include "formatlib/core/Names.h"

namespace quarva::formatlib {

std::string formatModified(std::time_t t) {
    struct tm tmv {};
    localtime_r(&t, &tmv);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d-%02d-%02d %02d:%02d", tmv.tm_mday, tmv.tm_mon + 1, tmv.tm_year % 100,
                  tmv.tm_hour, tmv.tm_min);
    return buf;
}

ListingRecord makeListingRecord(const EntryInfo& entry, const std::string& name, const std::string& modified) {
    auto clamp = [](std::uint64_t v) { return v > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<std::uint32_t>(v); };
    ListingRecord r{};
    r.name = name.c_str();
    r.crc = entry.crc;
    r.modified = modified.c_str();
    r.packedSize = clamp(entry.packedSize);
    r.size = clamp(entry.size);
    r.ratio = 0;
    if (entry.size > 0 && entry.packedSize < entry.size)
        r.ratio = static_cast<std::uint16_t>((entry.size - entry.packedSize) * 100 / entry.size);
    std::uint16_t attr = entry.isDir() ? 0x10 : 0x20;
    if (!(entry.mode & 0200)) attr |= 0x01;
    r.attributes = attr;
    r.method = entry.method == "stored" ? 0 : 8;
    r.methodName = entry.method.c_str();
    return r;
}

void Reporter::sendEntry(unsigned message, const EntryInfo& entry) {
    std::string name = toHostEntryName(entry.name);
    if (entry.isDir() && (name.empty() || name.back() != '\\')) name.push_back('\\');
    const std::string modified = formatModified(entry.mtime);
    ListingRecord r = makeListingRecord(entry, name, modified);
    platform::SendMessage(window_, message, reinterpret_cast<std::uintptr_t>(&r), 0);
}

void Reporter::deleted(const std::string& name) {
    const std::string n = toHostEntryName(name);
    platform::SendMessage(window_, kMsgDeleted, reinterpret_cast<std::uintptr_t>(n.c_str()), 0);
}

void Reporter::tested(const std::string& name, bool passed) {
    if (!passed) ++skipped_;  // a failed test, or a file not extracted
    const std::string n = toHostEntryName(name);
    platform::SendMessage(window_, kMsgTested, reinterpret_cast<std::uintptr_t>(n.c_str()), passed ? 1 : 0);
}

void Reporter::kind(unsigned archiveKind) { platform::SendMessage(window_, kMsgArchiveKind, archiveKind, 0); }

void Reporter::error(const std::string& entryName, const std::string& fileName, const std::string& cause,
                     const std::string& details) {
    ++errors_;
    const std::string e = toHostEntryName(entryName);
    ErrorRecord r{};
    r.entryName = e.c_str();
    r.fileName = fileName.c_str();
    r.reserved = nullptr;
    r.cause = cause.c_str();
    r.details = details.c_str();
    platform::SendMessage(window_, kMsgError, reinterpret_cast<std::uintptr_t>(&r), 0);
}

void Reporter::onProgress(std::uint64_t done, std::uint64_t total) {
    if (fixedTotal_) total = fixedTotal_;
    if (total && done > total) done = total;
    done_ = done;
    total_ = total;
    const bool due = !sent_ || total != sentTotal_ || (done == total && sentDone_ != done) ||
                     (done > sentDone_ ? done - sentDone_ : sentDone_ - done) >= kProgressStep;
    if (!due) return;
    sent_ = true;
    sentDone_ = done;
    sentTotal_ = total;
    ProgressRecord r{done, total};
    platform::SendMessage(window_, kMsgProgress, reinterpret_cast<std::uintptr_t>(&r), 0);
}

void Reporter::finished() { platform::SendMessage(window_, kMsgFinished, outcome(), 0); }

void Reporter::searchMatch(const std::string& entryName, unsigned line, const std::string& text) {
    const std::string e = toHostEntryName(entryName);
    SearchMatch m{e.c_str(), line, text.c_str()};
    platform::SendMessage(window_, kMsgSearchMatch, reinterpret_cast<std::uintptr_t>(&m), 0);
}

}  // namespace quarva::formatlib
