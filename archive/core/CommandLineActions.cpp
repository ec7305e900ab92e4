#include "archive/core/CommandLineActions.h"

#include <cstdio>
#include <filesystem>
#include <optional>

#include "archive/commands/Texts.h"
#include "archive/core/CoreTexts.h"
#include "archive/core/ListFile.h"
#include "archive/core/PathText.h"
#include "archive/core/WorkingFolder.h"

namespace fs = std::filesystem;

namespace quarva::archive {

namespace {

// The list file, or a clear message and nothing when it cannot be read or does not
// have the shape the switch expects. A list the shell extension handed over is
// removed once read: it has served its one purpose.
std::optional<std::vector<std::string>> listFileLines(CArchiveSession& session, const std::string& listFile,
                                                      ListShape shape) {
    auto lines = readListFile(listFile);
    removeHandedOverList(listFile);
    if (!lines) {
        session.prompts.message(text::kListFileUnreadable + listFile + text::kListFileUnreadableEnd, text::kCaption,
                                platform::Buttons::Ok, platform::Icon::Stop);
        return std::nullopt;
    }
    // The writer ends the last line or not; an empty last line is no line.
    if (!lines->empty() && lines->back().empty()) lines->pop_back();
    const std::string problem = listShapeProblem(*lines, shape);
    if (!problem.empty()) {
        session.prompts.message(text::kListFileMisshapen + listFile + text::kListFileMisshapenMiddle + problem + "." +
                                    text::kListFileUnreadableEnd,
                                text::kCaption, platform::Buttons::Ok, platform::Icon::Stop);
        return std::nullopt;
    }
    return lines;
}

// The wrapper reports the engine's codes itself; a format library that is missing
// or lacks its entry point is reported here.
void reportLibraryFailure(CArchiveSession& session, std::uint16_t status) {
    if (engineUnreachable(status)) session.outcome.reportOutcome(status, false);
}

// `path` lexically normal, without a trailing separator ("/a/My Folder/" names "My Folder").
fs::path normalItem(const std::string& path) {
    fs::path normal = fs::path(path).lexically_normal();
    return normal.has_filename() || !normal.has_relative_path() ? normal : normal.parent_path();
}

// The deepest folder that holds every one of `items`; empty when they are not full paths.
fs::path folderHoldingAll(const std::vector<std::string>& items) {
    std::optional<fs::path> common;
    for (const auto& item : items) {
        const fs::path parent = normalItem(item).parent_path();
        if (!common) {
            common = parent;
            continue;
        }
        fs::path shared;
        auto a = common->begin(), b = parent.begin();
        for (; a != common->end() && b != parent.end() && *a == *b; ++a, ++b) shared /= *a;
        common = shared;
    }
    return common && common->is_absolute() ? *common : fs::path();
}

// `paths` relative to `base` ("My Folder", "a.txt"); false when one of them is not
// below it (then nothing is changed).
bool makeRelative(std::vector<std::string>& paths, const fs::path& base) {
    std::vector<std::string> relative;
    for (const auto& p : paths) {
        fs::path r = normalItem(p).lexically_relative(base);
        if (r.empty() || *r.begin() == "." || *r.begin() == "..") return false;
        relative.push_back(r.string());
    }
    paths = std::move(relative);
    return true;
}

}  // namespace

namespace actions {

bool unattendedAdd(CArchiveSession& session, const std::string& listFile) {
    auto lines = listFileLines(session, listFile, ListShape::ArchiveAndItems);
    if (!lines) return false;
    const std::string& archive = (*lines)[0];
    session.archiveKind() = kindForCommandLine(extensionOf(archive));
    session.flags.removable = false;
    session.doc.takePath(archive);
    SplitPaths paths = splitFoldersAndFiles(*lines, 1);

    // The stored names start at the folder that holds the selected items ("My
    // Folder/a.txt"), so that an archive made from the file manager tells nobody the
    // user's login name or the layout of the disk: the items are handed to the
    // engines relative to that folder, which is the working folder while they add.
    const fs::path base = folderHoldingAll(std::vector<std::string>(lines->begin() + 1, lines->end()));
    std::optional<WorkingFolder> working;
    if (!base.empty()) {
        SplitPaths relative = paths;
        if (makeRelative(relative.files, base) && makeRelative(relative.folders, base)) {
            working.emplace(base);
            if (working->entered()) paths = std::move(relative);
        }
    }

    AddOptions options;
    options.action = 0;
    options.level = 5;
    options.includeHidden = false;
    options.includeSubfolders = true;
    options.savePathInfo = true;
    options.spanning = false;
    options.wipeDisk = false;
    options.deleteAfterZipping = false;

    auto& wrapper = session.doc.wrapper();
    std::uint16_t status = wrapper.addFiles(options, paths.files);
    reportLibraryFailure(session, status);
    if (status == OutcomeCode::UserAborted || engineUnreachable(status)) return false;
    std::uint16_t folderStatus = wrapper.addFolders(options, paths.folders, "*");
    reportLibraryFailure(session, folderStatus);
    return folderStatus != OutcomeCode::UserAborted && !engineUnreachable(folderStatus);
}

bool unattendedExtract(CArchiveSession& session, const std::string& listFile) {
    auto lines = listFileLines(session, listFile, ListShape::Pairs);
    if (!lines) return false;
    bool allDone = true;
    std::string destination;
    for (std::size_t i = 0; i < lines->size(); i += 2) {
        const std::string& archive = (*lines)[i];
        if (i + 1 < lines->size()) destination = (*lines)[i + 1];
        if (destination.empty()) {
            // No pair has named a destination yet: nothing is written anywhere.
            session.prompts.message(text::kNoDestination + archive + text::kListFileUnreadableEnd, text::kCaption,
                                    platform::Buttons::Ok, platform::Icon::Stop);
            return false;
        }
        session.archiveKind() = kindForCommandLine(extensionOf(archive));
        int byContent = -1;  // the content decides where the format library can tell it
        std::string found;
        if (session.doc.wrapper().library().archiveType(archive, byContent, found) == OutcomeCode::Ok && byContent >= 0)
            session.archiveKind() =
                byContent == static_cast<int>(ArchiveKind::Zip) ? ArchiveKind::Zip : ArchiveKind::Library;
        session.doc.takePath(archive);
        session.flags.removable = true;
        std::error_code ec;
        fs::create_directories(destination, ec);

        ExtractOptions options;
        options.destination = destination;
        options.overwrite = 1;
        options.useStoredPaths = true;
        std::uint16_t status = session.doc.wrapper().extractFiles(options, {"*"});
        reportLibraryFailure(session, status);
        if (status != 0) allDone = false;
        if (status == OutcomeCode::UserAborted) break;
    }
    return allDone;
}

bool makeSelfExtractor(CArchiveSession& session, const std::string& archive, platform::Icon questionIcon) {
    std::string output = replaceExtension(archive, "exe");
    auto answer = session.prompts.message(text::kSfxSaveAs + output + text::kSfxChange, text::kCaption,
                                          platform::Buttons::YesNoCancel, questionIcon, 1);
    if (answer == platform::Answer::Cancel) return false;
    if (answer == platform::Answer::Yes) {
        platform::FileRequest request;
        request.kind = platform::FileRequest::Kind::Save;
        request.title = text::kSfxSaveTitle;
        request.initialFolder = fs::path(output).parent_path();
        request.initialName = fileNamePart(output);
        request.filter = text::kSfxFilter;
        auto chosen = session.prompts.chooseFile(request);
        if (!chosen) return false;
        output = chosen->string();
        if (fs::path(output).extension().empty()) output += ".exe";  // the default extension
    }

    int status = 0;
    {
        auto busy = session.busy(text::kConverting);
        if (IBusyDialog* dialog = busy->dialog()) dialog->hideCancel();
        // The stubs live beside the programs in the installed folder.
        CLibraryMessages window(session.progress);
        status = session.doc.wrapper().library().arcToSfx(archive, output, session.app.installedPath.string(),
                                                          window.window());
    }
    if (status == OutcomeCode::LibraryNotLoaded) session.prompts.message(text::kDllNotLoaded, text::kCaption);
    else if (status == OutcomeCode::LibraryNoEntryPoint) session.prompts.message(text::kProcNotFound, text::kCaption);
    return status == 0;
}

bool openRecent(CArchiveSession& session, const std::string& path) {
    session.frame().showWindow(ShowState::Show);
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        char buffer[4096];
        std::snprintf(buffer, sizeof buffer, text::kCannotOpenMoved, path.c_str());
        session.prompts.message(buffer, text::kCaption, platform::Buttons::Ok, platform::Icon::Stop);
        session.frame().removeFromRecentMenu(path);
        std::erase(session.app.recentPaths, path);
        return false;
    }
    if (session.doc.open && session.doc.archivePath == path) return true;
    return session.openWithBusyDialog(path);
}

}  // namespace actions

bool runCommandLineAction(ActionContext& context) {
    CArchiveSession& session = context.session;
    IMainFrameActions& frame = session.frame();
    const std::string& name = context.switchName;
    const std::string& argument = context.argument;

    if (name == "new") {
        frame.showWindow(context.showState);
        return true;
    }
    if (name == "findinzip") {
        frame.releaseSystemImageLists();
        if (!frame.runFindInZip())
            session.prompts.message(text::kNoFindInZip, text::kCaption, platform::Buttons::Ok, platform::Icon::Stop);
        return false;
    }
    if (name == "open" || name.empty()) {
        frame.showWindow(context.showState);
        if (!argument.empty()) session.openWithBusyDialog(argument);
        return true;
    }
    if (name == "add") {
        frame.showWindow(context.showState);
        if (auto lines = listFileLines(session, argument, ListShape::Items)) {
            SplitPaths paths = splitFoldersAndFiles(*lines);
            frame.startAddCommand(paths.folders, paths.files);
        }
        return true;
    }
    if (name == "addX") {
        frame.showWindow(context.showState);
        auto lines = listFileLines(session, argument, ListShape::ArchiveAndItems);
        if (!lines) return true;
        const std::string& archive = (*lines)[0];
        std::error_code ec;
        bool ready = fs::exists(archive, ec) ? session.openWithBusyDialog(archive)
                                             : session.doc.createArchive(archive, fileNamePart(archive));
        if (ready) {
            SplitPaths paths = splitFoldersAndFiles(*lines, 1);
            frame.startAddCommand(paths.folders, paths.files);
        }
        return true;
    }
    if (name == "noadddialog") {
        actions::unattendedAdd(session, argument);
        return false;
    }
    if (name == "zipandmail") {
        if (actions::unattendedAdd(session, argument)) session.doc.sendByMail();
        return false;
    }
    if (name == "mail") {
        session.doc.takePath(argument);
        session.doc.sendByMail();
        return false;
    }
    if (name == "extract") {
        frame.showWindow(context.showState);
        if (session.openWithBusyDialog(argument)) frame.startExtractCommand();
        return true;
    }
    if (name == "SFX") {
        actions::makeSelfExtractor(session, argument);
        return false;
    }
    if (name == "noextractdialog") {
        actions::unattendedExtract(session, argument);
        return false;
    }
    return true;
}

}  // namespace quarva::archive
