#include "archive/commands/ProgressHandler.h"

#include <cstdio>
#include <filesystem>

#include "archive/commands/FilterPatterns.h"
#include "archive/commands/Texts.h"
#include "archive/core/ArchiveSession.h"
#include "archive/core/EngineControl.h"
#include "archive/core/PathText.h"

namespace fs = std::filesystem;

namespace quarva::archive {

namespace {

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

void CProgressHandler::abort() {
    state.touchedNames.clear();
    session_.doc.wrapper().abort();
}

// --- requests ---

CProgressHandler::DiskAnswer CProgressHandler::diskRequested(std::int16_t disk) {
    auto& prompts = session_.prompts;
    if (state.kind != OperationKind::Add) {
        std::string message = disk == 0 ? std::string(text::kInsertLastDisk) : formatNumber(text::kInsertDisk, disk);
        if (prompts.message(message, text::kCaption, platform::Buttons::OkCancel, platform::Icon::None) ==
            platform::Answer::Cancel)
            return DiskAnswer::Abort;
        return DiskAnswer::Continue;
    }

    if (state.lastDisk && *state.lastDisk == disk) return DiskAnswer::Continue;
    state.lastDisk = disk;
    std::optional<bool> erase;
    IMainFrameActions& frame = session_.frame();
    if (frame.hasNewDiskDialog()) {
        erase = frame.askNewDisk(disk);
    } else if (prompts.message(formatNumber(text::kInsertNewDisk, disk), text::kNewDiskCaption,
                               platform::Buttons::OkCancel, platform::Icon::None) == platform::Answer::Ok) {
        erase = false;
    }
    if (!erase) return DiskAnswer::Abort;
    // The disk in the drive must not already hold this archive.
    const std::string& path = session_.doc.archivePath;
    std::error_code ec;
    while (!path.empty() && fs::exists(path, ec)) {
        if (prompts.message("File " + path + text::kFileExistsInDrive, text::kCaption, platform::Buttons::OkCancel,
                            platform::Icon::None) == platform::Answer::Cancel)
            return DiskAnswer::Abort;
    }
    return *erase ? DiskAnswer::ContinueErasing : DiskAnswer::ContinueKeeping;
}

std::optional<std::string> CProgressHandler::passwordRequested(const std::string&, const std::string& current) {
    platform::TextRequest request{text::kPasswordNote, text::kPasswordCaption, current, false};
    return session_.prompts.askText(request);
}

void CProgressHandler::archiveKindReported(ArchiveKind kind) {
    // A cabinet keeps its own kind whatever its content shows.
    if (extensionOf(session_.doc.archiveFileName.empty() ? session_.doc.archivePath : session_.doc.archiveFileName) !=
        "cab")
        session_.archiveKind() = kind;
}

// --- the handlers ---

void CProgressHandler::listedEntry(const EntryValues& values) {
    if (!values.name.empty() && values.name.back() == '\\') return;
    std::string file = toLower(fileNamePart(values.name));
    if (file == "setup.exe" || file == "install.exe") {
        session_.doc.installer = true;
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

void CProgressHandler::fileSkipped(const std::string& name, std::int16_t reason, const std::string& why) {
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
        // The reason follows, but not for a file kept as it was (overwriting is off).
        if (why.empty() || reason == dispid::kSkippedExisting) appendLog(text::kLogFile + name + text::kLogSkipped);
        else appendLog(text::kLogFile + name + text::kLogSkippedBecause + why + ")" + text::kLineEnd);
        setBusyText(text::kExtractingFile + name);
        // A file that could not be written (an unsafe name, a damaged record...) must
        // not end as a plain success: the log is offered at the end.
        if (reason != dispid::kSkippedExisting) state.errorSeen = true;
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

}  // namespace quarva::archive
