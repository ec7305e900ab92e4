#include "archive/core/QuarvaZipDoc.h"

#include "archive/commands/FilterPatterns.h"
#include "archive/commands/Texts.h"
#include "archive/core/ArchiveSession.h"
#include "archive/core/CoreTexts.h"
#include "archive/core/PathText.h"
#include "archive/core/SettingsStore.h"
#include "platform/FileSystem.h"

namespace fs = std::filesystem;

namespace quarva::archive {

namespace {
// The archive as a word for another program: a name that starts with "-" would be
// read as an option, so it gets "./" in front (the same file).
std::string asArgument(const std::string& path) { return path.starts_with('-') ? "./" + path : path; }
}  // namespace

CQuarvaZipDoc::CQuarvaZipDoc(CArchiveSession& session, std::unique_ptr<IEngineControl> engine,
                             std::unique_ptr<IFormatLibrary> library)
    : session_(session), wrapper_(std::make_unique<CEngineWrapper>(session, std::move(engine), std::move(library))) {}

bool CQuarvaZipDoc::addEntry(const EntryValues& values) {
    return entries_.addEntry(values) == CArchiveEntries::AddResult::Replaced;
}

void CQuarvaZipDoc::setRemovableFlag() {
    session_.flags.removable = platform::driveType(archivePath) == platform::DriveType::Removable;
}

bool CQuarvaZipDoc::openArchive(const std::string& fullPath, const std::string& fileName) {
    closeArchive();
    auto& frame = session_.frame();
    frame.addToRecentMenu(fullPath);
    frame.setTitle(text::kTitleOpening);

    archiveFileName = fileName;
    archivePath = fullPath;
    open = true;
    setRemovableFlag();
    wrapper_->setArchiveName(fullPath);

    std::string extension = extensionOf(fileName.empty() ? fullPath : fileName);
    session_.flags.sfxCapable = isSfxCapable(extension);
    session_.flags.modifiable = isModifiable(extension);
    session_.archiveKind() = kindForOpening(extension);
    // The content decides where the format library can tell it; the name is the fallback.
    int byContent = -1;
    std::string found;
    if (wrapper_->library().archiveType(fullPath, byContent, found) == OutcomeCode::Ok && byContent >= 0)
        session_.archiveKind() = kindByContent(byContent);

    return listAndPopulate();
}

bool CQuarvaZipDoc::listAndPopulate() {
    auto& frame = session_.frame();
    auto& state = session_.progress.state;
    std::vector<std::string> patterns = splitFilterPatterns(trim(state.filterBoxText));
    state.filterPatterns = patterns;
    frame.enableFilterBox(true);

    frame.setStatusText(text::kListing);
    std::uint16_t status = wrapper_->listArchive(archivePath, patterns);
    if (status != 0) {
        frame.setStatusText(text::kErrorInListing);
        session_.outcome.reportOutcome(status, false);
        closeArchive();
        return false;
    }

    frame.setStatusText(text::kPopulatingList);
    frame.setTitle(archivePath + text::kTitleSuffix);
    entries_.buildTree();
    frame.showArchiveTree();
    frame.refreshTotals();
    session_.app.addRecentFile(archivePath);
    applyFolderRules();
    frame.setStatusText(text::kCompleted);
    return true;
}

void CQuarvaZipDoc::applyFolderRules() {
    auto& config = session_.app.configuration;
    std::string folder = fs::path(archivePath).parent_path().string();
    if (config.folderBits & folderbits::kRememberStartupFolder) config.startupFolder = folder;
    if (config.folderBits & folderbits::kOpenedFolderIsAddFolder) config.addFolder = folder;
    if (config.folderBits & folderbits::kOpenedFolderIsExtractFolder) config.extractionFolder = folder;
}

bool CQuarvaZipDoc::createArchive(const std::string& fullPath, const std::string& fileName) {
    if (fileName.find('.') != std::string::npos) {
        auto kind = kindForCreating(extensionOf(fileName));
        if (!kind) {
            session_.prompts.message(text::kCreationNotSupported, text::kCaption, platform::Buttons::Ok,
                                     platform::Icon::Stop);
            return false;
        }
        session_.archiveKind() = *kind;
    }
    if (open) closeArchive();
    wrapper_->setArchiveName(fullPath);
    archivePath = fullPath;
    archiveFileName = fileName;
    open = true;
    session_.frame().setTitle(fullPath + text::kTitleSuffix);
    session_.frame().enableFilterBox(true);
    setRemovableFlag();
    return true;
}

bool CQuarvaZipDoc::frameworkOpen(const std::string& path) {
    std::error_code ec;
    if (fs::exists(path, ec)) openArchive(path, fileNamePart(path));
    else std::erase(session_.app.recentPaths, path);
    return true;
}

void CQuarvaZipDoc::closeArchive() {
    auto& frame = session_.frame();
    entries_.deleteAll();
    frame.clearViews();
    frame.enableFilterBox(false);
    archivePath.clear();
    archiveFileName.clear();
    open = false;
    installer = false;
    session_.progress.state.entryCount = 0;
    session_.progress.state.totalSize = 0;
    frame.setTitle(text::kTitle);
    frame.refreshTotals();
}

void CQuarvaZipDoc::takePath(const std::string& fullPath) {
    archivePath = fullPath;
    archiveFileName = fileNamePart(fullPath);
    wrapper_->setArchiveName(fullPath);
    session_.app.addRecentFile(fullPath);
    session_.frame().addToRecentMenu(fullPath);
}

bool CQuarvaZipDoc::openInSplitter() {
    std::string installed = session_.app.store().readString(suiteKey("Settings"), "Installed Path");
    std::string program = (fs::path(installed) / "QuarvaSplit").string();
    return session_.launcher.launch({program, asArgument(archivePath)}, true);
}

bool CQuarvaZipDoc::scanForViruses() {
    std::string scanner = session_.app.store().readString(suiteKey("Settings"), "Scanner Path");
    if (scanner.size() < 4) {
        session_.prompts.message(text::kSetScanner, text::kCaption, platform::Buttons::Ok, platform::Icon::None);
        return false;
    }
    std::error_code ec;
    fs::current_path(fs::path(scanner).parent_path(), ec);
    return session_.launcher.launch({scanner, asArgument(archivePath)}, true);
}

bool CQuarvaZipDoc::sendByMail() {
    std::error_code ec;
    if (archivePath.empty() || !fs::is_regular_file(archivePath, ec)) {
        session_.prompts.message(text::kMailMissingArchive + archivePath, text::kCaption, platform::Buttons::Ok,
                                 platform::Icon::Stop);
        return false;
    }
    if (!session_.launcher.launch({"xdg-email", "--attach", asArgument(archivePath)}, true)) {
        session_.prompts.message(text::kNoMailClient, text::kCaption, platform::Buttons::Ok, platform::Icon::Stop);
        return false;
    }
    return true;
}

}  // namespace quarva::archive
