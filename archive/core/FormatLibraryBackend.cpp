#include "archive/core/FormatLibraryBackend.h"

#include <algorithm>
#include <functional>

#include "archive/core/PathText.h"
#include "formatlib/FormatLibrary.h"

namespace quarva::archive {

std::string libraryNameList(const std::vector<std::string>& names) {
    std::string list;
    for (const auto& n : names) {
        if (!list.empty()) list += '|';
        list += '"' + n + '"';
    }
    return list;
}

namespace {

std::string text0(const char* p) { return p ? std::string(p) : std::string(); }

// A wide (UTF-32 on this platform) name as UTF-8.
std::string narrow(const wchar_t* w) {
    std::string out;
    if (!w) return out;
    for (; *w; ++w) {
        auto c = static_cast<std::uint32_t>(*w);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

EntryValues fromListingRecord(const formatlib::ListingRecord& r) {
    EntryValues v;
    v.name = text0(r.name);
    v.size = r.size;
    v.done = r.size;
    v.packedSize = r.packedSize;
    v.attributes = static_cast<std::int16_t>(r.attributes);
    v.modified = text0(r.modified);
    v.crc = r.crc;
    v.ratio = static_cast<std::int16_t>(r.ratio);
    v.percent = 100;  // a record always describes a whole entry
    v.method = static_cast<std::int16_t>(r.method);
    v.methodName = text0(r.methodName);
    v.disk = 1;
    return v;
}

// The completion record knows the name, size, date and method; every other value
// is marked unknown (-1).
EntryValues fromCompletionRecord(const formatlib::CompletionRecord& r) {
    EntryValues v;
    v.name = r.namePlace ? narrow(*r.namePlace) : std::string();
    v.size = r.size;
    v.done = r.size;
    v.packedSize = 0xFFFFFFFFu;
    v.attributes = -1;
    v.modified = text0(r.modified);
    v.crc = 0xFFFFFFFFu;
    v.ratio = -1;
    v.percent = -1;
    v.method = static_cast<std::int16_t>(r.method);
    v.methodName = text0(r.methodName);
    v.disk = -1;
    v.encryption = -1;
    return v;
}

}  // namespace

std::intptr_t CLibraryMessages::onMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    switch (message) {
    case formatlib::kMsgListed:
        if (wParam) sink_.listedEntry(fromListingRecord(*reinterpret_cast<const formatlib::ListingRecord*>(wParam)));
        break;
    case formatlib::kMsgProcessed:
        if (wParam) sink_.fileProcessed(fromListingRecord(*reinterpret_cast<const formatlib::ListingRecord*>(wParam)));
        break;
    case formatlib::kMsgDeleted: sink_.entryDeleted(text0(reinterpret_cast<const char*>(wParam))); break;
    case formatlib::kMsgError:
        if (wParam) {
            const auto& r = *reinterpret_cast<const formatlib::ErrorRecord*>(wParam);
            sink_.fileError({text0(r.entryName), text0(r.fileName), text0(r.cause), text0(r.details)});
        }
        break;
    case formatlib::kMsgArchiveKind: sink_.archiveKindReported(kindByContent(static_cast<int>(wParam))); break;
    case formatlib::kMsgTested: {
        std::string name = text0(reinterpret_cast<const char*>(wParam));
        if (lParam) sink_.fileTested(name);
        else sink_.fileSkipped(name, 0, {});
        break;
    }
    case formatlib::kMsgCompletion:
        if (wParam)
            sink_.fileProcessed(fromCompletionRecord(*reinterpret_cast<const formatlib::CompletionRecord*>(wParam)));
        break;
    default: break;  // 10001, 10006 and anything else
    }
    return 0;
}

std::uint16_t CFormatLibraryBackend::list(const std::string& archive, const ListOptions& options,
                                          IArchiveEventSink& sink) {
    std::string filters;
    for (const auto& p : options.patterns) filters += (filters.empty() ? "" : "|") + p;
    if (filters.empty()) filters = "*.*";
    CLibraryMessages window(sink);
    return static_cast<std::uint16_t>(library_->listArchive(archive, filters, window.window()));
}

std::uint16_t CFormatLibraryBackend::add(const std::string& archive, const std::vector<std::string>& files,
                                         const AddOptions& options, IArchiveEventSink& sink) {
    CLibraryMessages window(sink);
    return static_cast<std::uint16_t>(library_->compressFile(
        archive, libraryNameList(files), options.password, options.includeHidden, options.deleteAfterZipping,
        options.savePathInfo, options.includeSubfolders, window.window()));
}

namespace {

// Passes a run's events on, but holds back those of entries refused for want of
// the right password: the run is repeated for them once the user gives one.
class PasswordWatch : public IArchiveEventSink {
public:
    explicit PasswordWatch(IArchiveEventSink& sink) : sink_(sink) {}
    std::vector<std::string> refused;  // entries that need (another) password
    bool whole = false;                // the archive as a whole does

    void listedEntry(const EntryValues& v) override { sink_.listedEntry(v); }
    void fileProcessed(const EntryValues& v) override { sink_.fileProcessed(v); }
    void fileSkipped(const std::string& name, std::int16_t reason, const std::string& why) override {
        if (!held(name)) sink_.fileSkipped(name, reason, why);
    }
    void fileTested(const std::string& name) override { sink_.fileTested(name); }
    void entryDeleted(const std::string& name) override { sink_.entryDeleted(name); }
    void fileError(const FileErrorReport& r) override {
        if ((r.cause + r.details).find("password") != std::string::npos) {
            // No entry named: the archive itself cannot be opened without it.
            if (r.listedName.empty()) whole = true;
            else refused.push_back(r.listedName);
            errors_.push_back(r);
            return;
        }
        sink_.fileError(r);
    }
    void archiveKindReported(ArchiveKind kind) override { sink_.archiveKindReported(kind); }
    DiskAnswer diskRequested(std::int16_t disk) override { return sink_.diskRequested(disk); }
    std::optional<std::string> passwordRequested(const std::string& archive, const std::string& current) override {
        return sink_.passwordRequested(archive, current);
    }
    // What was held back goes on after all (no password was given).
    void release() {
        for (const auto& r : errors_) sink_.fileError(r);
        for (const auto& name : skipped_) sink_.fileSkipped(name, 0, {});
    }

private:
    bool held(const std::string& name) {
        if (std::find(refused.begin(), refused.end(), name) == refused.end()) return false;
        skipped_.push_back(name);
        return true;
    }
    IArchiveEventSink& sink_;
    std::vector<FileErrorReport> errors_;
    std::vector<std::string> skipped_;
};

// Runs `once` (with no password first), then again for the entries that needed
// one, with each password the user gives, until they all read or the user gives up.
std::uint16_t withPasswords(
    const std::string& archive, const std::string& names, IArchiveEventSink& sink,
    const std::function<int(const std::string&, const std::string&, IArchiveEventSink&)>& once) {
    std::string list = names, password;
    for (int round = 0;; ++round) {
        PasswordWatch watch(sink);
        const int status = once(list, password, watch);
        if ((watch.refused.empty() && !watch.whole) || status != 0) {
            watch.release();
            return static_cast<std::uint16_t>(status);
        }
        const auto given = round < 8 ? sink.passwordRequested(archive, password) : std::nullopt;
        if (!given || given->empty()) {
            watch.release();
            return static_cast<std::uint16_t>(status);
        }
        password = *given;
        if (!watch.whole) list = libraryNameList(watch.refused);
    }
}

}  // namespace

std::uint16_t CFormatLibraryBackend::extract(const std::string& archive, const std::vector<std::string>& names,
                                             const ExtractOptions& options, IArchiveEventSink& sink) {
    // A gzip file holds one member, whatever name was selected.
    std::string list = extensionOf(archive) == "gz" ? std::string("*.*") : libraryNameList(names);
    return withPasswords(
        archive, list, sink, [&](const std::string& files, const std::string& password, IArchiveEventSink& events) {
            CLibraryMessages window(events);
            return password.empty()
                       ? library_->extractFile(archive, files, options.destination, options.overwrite != 0,
                                               options.useStoredPaths, window.window())
                       : library_->extractFileWithPassword(archive, files, options.destination, options.overwrite != 0,
                                                           options.useStoredPaths, password, window.window());
        });
}

std::uint16_t CFormatLibraryBackend::remove(const std::string& archive, const std::vector<std::string>& names,
                                            const DeleteOptions&, IArchiveEventSink& sink) {
    CLibraryMessages window(sink);
    return static_cast<std::uint16_t>(library_->deleteFile(archive, libraryNameList(names), window.window()));
}

std::uint16_t CFormatLibraryBackend::test(const std::string& archive, const std::vector<std::string>& names,
                                          const TestOptions&, IArchiveEventSink& sink) {
    return withPasswords(archive, libraryNameList(names), sink,
                         [&](const std::string& files, const std::string& password, IArchiveEventSink& events) {
                             CLibraryMessages window(events);
                             return password.empty()
                                        ? library_->testArchive(archive, files, window.window())
                                        : library_->testArchiveWithPassword(archive, files, password, window.window());
                         });
}

}  // namespace quarva::archive
