#include "archive/commands/ProgressHandler.h"

#include <cstdio>
#include <filesystem>

#include "archive/commands/FilterPatterns.h"
#include "archive/commands/Texts.h"
#include "archive/core/ArchiveSession.h"
#include "archive/core/PathText.h"
#include "formatlib/FormatLibrary.h"

namespace fs = std::filesystem;

namespace quarva::archive {

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
    v.value6 = static_cast<std::int32_t>(r.crc);
    v.modified = text0(r.modified);
    v.ratio = static_cast<std::int16_t>(r.ratio);
    v.value9 = static_cast<std::int16_t>(r.attributes);
    v.value4 = static_cast<std::int16_t>(r.method);
    v.value12 = text0(r.methodName);
    v.value8 = 100;
    v.value11 = 100;
    v.value10 = 1;
    return v;
}

EntryValues fromCompletionRecord(const formatlib::CompletionRecord& r) {
    EntryValues v;
    v.name = r.namePlace ? narrow(*r.namePlace) : std::string();
    v.value12 = text0(r.methodName);
    v.modified = text0(r.modified);
    v.value4 = static_cast<std::int16_t>(r.method);
    v.size = r.size;
    v.done = r.size;
    v.packedSize = 0xFFFFFFFFu;
    v.value6 = -1;
    v.ratio = -1;
    v.value8 = v.value9 = v.value10 = v.value11 = -1;
    return v;
}

bool isWithin(const fs::path& path, const fs::path& folder) {
    if (folder.empty()) return false;
    auto rel = path.lexically_normal().lexically_relative(folder.lexically_normal());
    return !rel.empty() && *rel.begin() != ".." && rel != ".";
}

bool sameFolder(const fs::path& a, const fs::path& b) {
    if (a.empty() || b.empty()) return false;
    auto strip = [](fs::path p) {
        std::string s = p.lexically_normal().string();
        while (s.size() > 1 && s.back() == '/') s.pop_back();
        return s;
    };
    return strip(a) == strip(b);
}

std::string formatNumber(const char* format, int number) {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, format, number);
    return buffer;
}

}  // namespace

CProgressHandler::CProgressHandler(CArchiveSession& session) : session_(session) {}

void CProgressHandler::setBusyText(const std::string& text) {
    if (state.busy) state.busy->setText(text);
}

void CProgressHandler::appendLog(const std::string& text) { session_.activityLog() += text; }

void CProgressHandler::setEngineAbort() {
    if (IEngineControl* engine = session_.doc.wrapper().engine()) engine->setProperty(dispid::kAbort, true);
}

void CProgressHandler::abort() {
    state.touchedNames.clear();
    if (session_.archiveKind() == kind::kZip) setEngineAbort();
    else session_.doc.wrapper().library().abort();
}

// --- engine events ---

void CProgressHandler::onEngineEntry(int eventId, const EntryValues& values) {
    switch (eventId) {
    case dispid::kEventListed: listedEntry(values); break;
    case dispid::kEventProcessed: fileProcessed(values); break;
    case dispid::kEventTested: fileTested(values.name); break;
    default: break;  // 1, 3, 13: progress only
    }
}

void CProgressHandler::onEngineDeleted(const std::string& name) { entryDeleted(name); }

void CProgressHandler::onEngineSkipped(const std::string& name, std::int16_t reason) { fileSkipped(name, reason); }

void CProgressHandler::onEngineDiskRequest(std::int16_t disk) {
    auto& prompts = session_.prompts;
    if (state.kind != OperationKind::Add) {
        std::string message = disk == 0 ? std::string(text::kInsertLastDisk) : formatNumber(text::kInsertDisk, disk);
        if (prompts.message(message, text::kCaption, platform::Buttons::OkCancel, platform::Icon::None) ==
            platform::Answer::Cancel)
            setEngineAbort();
        return;
    }

    if (state.lastDisk && *state.lastDisk == disk) return;
    state.lastDisk = disk;
    std::optional<bool> erase;
    IMainFrameActions& frame = session_.frame();
    if (frame.hasNewDiskDialog()) {
        erase = frame.askNewDisk(disk);
    } else if (prompts.message(formatNumber(text::kInsertNewDisk, disk), text::kNewDiskCaption,
                               platform::Buttons::OkCancel, platform::Icon::None) == platform::Answer::Ok) {
        erase = false;
    }
    if (!erase) {
        setEngineAbort();
        return;
    }
    // The disk in the drive must not already hold this archive.
    const std::string& path = session_.doc.archivePath;
    std::error_code ec;
    while (!path.empty() && fs::exists(path, ec)) {
        if (prompts.message("File " + path + text::kFileExistsInDrive, text::kCaption, platform::Buttons::OkCancel,
                            platform::Icon::None) == platform::Answer::Cancel) {
            setEngineAbort();
            return;
        }
    }
    if (IEngineControl* engine = session_.doc.wrapper().engine()) engine->setProperty(dispid::kWipeDisk, *erase);
}

void CProgressHandler::onEnginePassword(const std::string&, std::string& password, std::int16_t& action) {
    std::string current;
    if (IEngineControl* engine = session_.doc.wrapper().engine()) current = engine->stringProperty(dispid::kPassword);
    platform::TextRequest request{text::kPasswordNote, text::kPasswordCaption, current, false};
    if (auto entered = session_.prompts.askText(request)) {
        password = *entered;
        action = 2;
    }
}

// --- the handlers ---

void CProgressHandler::listedEntry(const EntryValues& values) {
    if (!values.name.empty() && values.name.back() == '\\') return;
    std::string file = toLower(fileNamePart(values.name));
    if (file == "setup.exe" || file == "install.exe") {
        session_.doc.installer = 1;
        state.installProgramPath = values.name;
    }
    // A path listed twice keeps one entry, and is counted once.
    if (const CZipFileInfo* old = session_.doc.entries().find(values.name)) {
        state.totalSize -= std::min(state.totalSize, old->size);
        if (state.entryCount > 0) --state.entryCount;
    }
    state.totalSize += values.size;
    ++state.entryCount;
    session_.doc.addEntry(values);
}

std::string CProgressHandler::writtenPath(const std::string& name) const {
    if (!name.empty() && name.front() == '/') return name;  // already a host path
    std::string relative = state.extractUsesPaths ? entryKey(name) : fileNamePart(name);
    for (auto& c : relative)
        if (c == '\\') c = '/';
    return (fs::path(state.extractDestination) / relative).lexically_normal().string();
}

void CProgressHandler::fileProcessed(const EntryValues& values) {
    if (values.done != values.size) return;  // not complete yet
    switch (state.kind) {
    case OperationKind::Extract: {
        appendLog(text::kLogFile + values.name + text::kLogOk);
        setBusyText(text::kExtractingFile + values.name);
        std::string written = writtenPath(values.name);
        // Only the manager's own extractions into the temporary folder are removed at
        // exit. A destination the user chose keeps its files, also when it lies
        // beneath the temporary folder (as /tmp/... often does on Linux).
        if (sameFolder(state.extractDestination, state.tempFolder) && isWithin(written, state.tempFolder))
            session_.recordTemporaryFile(written);
        break;
    }
    case OperationKind::Add: {
        appendLog(text::kLogFile + values.name + text::kLogOk);
        setBusyText(text::kAddingFile + values.name);
        std::string key = state.addKeepsPaths ? entryKey(values.name) : fileNamePart(entryKey(values.name));
        const CZipFileInfo* old = session_.doc.entries().find(key);
        if (old) {
            // Replacing an entry the archive already had: the totals change by the difference.
            state.totalSize -= std::min(state.totalSize, old->size);
        } else {
            ++state.entryCount;
        }
        state.totalSize += values.size;
        state.filterPatterns = splitFilterPatterns(state.filterBoxText);
        if (!state.filterPatterns.empty() && !matchesFilter(state.filterPatterns, values.name)) return;
        std::string shortened = entryKey(values.name);
        if (!shortened.empty() && shortened.back() == '\\') return;
        EntryValues entry = values;
        if (state.addKeepsPaths) {
            state.touchedNames.push_back(shortened);
        } else {
            entry.name = fileNamePart(shortened);
            state.touchedNames.push_back(entry.name);
        }
        if (session_.doc.addEntry(entry)) std::erase(state.touchedNames, entryKey(entry.name));
        break;
    }
    default: break;
    }
}

void CProgressHandler::fileSkipped(const std::string& name, std::int16_t) {
    switch (state.kind) {
    case OperationKind::Test:
        appendLog(text::kLogTestingFailed + name + text::kLogError);
        setBusyText(text::kTestingFile + name);
        break;
    case OperationKind::Add:
        appendLog(text::kLogSkipingFile + name + text::kLineEnd);
        setBusyText(text::kAddingFile + name);
        break;
    case OperationKind::Extract:
        appendLog(text::kLogFile + name + text::kLogSkipped);
        setBusyText(text::kExtractingFile + name);
        break;
    default: break;
    }
}

void CProgressHandler::fileTested(const std::string& name) {
    appendLog(text::kLogTestingPassed + name + text::kLogOk);
    setBusyText(text::kTestingFile + name);
}

void CProgressHandler::entryDeleted(const std::string& name) {
    if (state.entryCount > 0) --state.entryCount;
    if (const CZipFileInfo* info = session_.doc.entries().find(name))
        state.totalSize -= std::min(state.totalSize, info->size);
    state.touchedNames.push_back(name);
}

void CProgressHandler::fileError(const FileErrorReport& report) {
    appendLog(fileErrorText(state.kind, report));
    state.errorSeen = true;
}

// --- format library messages ---

std::intptr_t CProgressHandler::onMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    switch (message) {
    case formatlib::kMsgListed:
        if (wParam) listedEntry(fromListingRecord(*reinterpret_cast<const formatlib::ListingRecord*>(wParam)));
        break;
    case formatlib::kMsgProcessed:
        if (wParam) fileProcessed(fromListingRecord(*reinterpret_cast<const formatlib::ListingRecord*>(wParam)));
        break;
    case formatlib::kMsgDeleted: entryDeleted(text0(reinterpret_cast<const char*>(wParam))); break;
    case formatlib::kMsgError:
        if (wParam) {
            const auto& r = *reinterpret_cast<const formatlib::ErrorRecord*>(wParam);
            fileError({text0(r.entryName), text0(r.fileName), text0(r.cause), text0(r.details)});
        }
        break;
    case formatlib::kMsgArchiveKind:
        if (extensionOf(session_.doc.archiveFileName.empty() ? session_.doc.archivePath
                                                             : session_.doc.archiveFileName) != "cab")
            session_.archiveKind() = static_cast<int>(wParam);
        break;
    case formatlib::kMsgTested: {
        std::string name = text0(reinterpret_cast<const char*>(wParam));
        if (lParam) fileTested(name);
        else fileSkipped(name, 0);
        break;
    }
    case formatlib::kMsgCompletion:
        if (wParam) fileProcessed(fromCompletionRecord(*reinterpret_cast<const formatlib::CompletionRecord*>(wParam)));
        break;
    default: break;  // 10001, 10006 and anything else
    }
    return 0;
}

}  // namespace quarva::archive
