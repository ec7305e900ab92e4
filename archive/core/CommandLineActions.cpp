#include "archive/core/CommandLineActions.h"

#include <cstdio>
#include <filesystem>

#include "archive/commands/Texts.h"
#include "archive/core/CoreTexts.h"
#include "archive/core/ListFile.h"
#include "archive/core/PathText.h"

namespace fs = std::filesystem;

namespace quarva::archive {

namespace {

// The list file, or a clear message and nothing when it cannot be read.
std::optional<std::vector<std::string>> listFileLines(CArchiveSession& session, const std::string& listFile)
{
    auto lines = readListFile(listFile);
    if (!lines)
        session.prompts.message(text::kListFileUnreadable + listFile + text::kListFileUnreadableEnd, text::kCaption,
                                platform::Buttons::Ok, platform::Icon::Stop);
    return lines;
}

// The wrapper reports the engine's codes itself; a format library that is missing
// or lacks its entry point is reported here.
void reportLibraryFailure(CArchiveSession& session, std::uint16_t status)
{
    if (status == kLibraryNotLoaded || status == kLibraryNoEntryPoint) session.outcome.reportOutcome(status, false);
}

constexpr std::uint16_t kUserAborted = 190;

}  // namespace

namespace actions {

bool unattendedAdd(CArchiveSession& session, const std::string& listFile)
{
    auto lines = listFileLines(session, listFile);
    if (!lines || lines->empty()) return false;
    const std::string& archive = (*lines)[0];
    session.archiveKind() = kindForCommandLine(extensionOf(archive));
    session.flags.removable = false;
    session.doc.takePath(archive);
    SplitPaths paths = splitFoldersAndFiles(*lines, 1);

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
    if (status == kUserAborted || status == kLibraryNotLoaded || status == kLibraryNoEntryPoint) return false;
    std::uint16_t folderStatus = wrapper.addFolders(options, paths.folders, "*");
    reportLibraryFailure(session, folderStatus);
    return folderStatus != kUserAborted && folderStatus != kLibraryNotLoaded && folderStatus != kLibraryNoEntryPoint;
}

bool unattendedExtract(CArchiveSession& session, const std::string& listFile)
{
    auto lines = listFileLines(session, listFile);
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
        if (status == kUserAborted) break;
    }
    return allDone;
}

bool makeSelfExtractor(CArchiveSession& session, const std::string& archive)
{
    std::string output = replaceExtension(archive, "exe");
    auto answer = session.prompts.message(text::kSfxSaveAs + output + text::kSfxChange, text::kCaption,
                                          platform::Buttons::YesNoCancel, platform::Icon::Question, 1);
    if (answer == platform::Answer::Cancel) return false;
    if (answer == platform::Answer::Yes) {
        platform::FileRequest request;
        request.kind = platform::FileRequest::Kind::Save;
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
        status = session.doc.wrapper().library().arcToSfx(archive, output, session.app.installedPath.string(),
                                                           session.progress.window());
    }
    if (status == kLibraryNotLoaded)
        session.prompts.message(text::kDllNotLoaded, text::kCaption);
    else if (status == kLibraryNoEntryPoint)
        session.prompts.message(text::kProcNotFound, text::kCaption);
    return status == 0;
}

bool openRecent(CArchiveSession& session, const std::string& path)
{
    session.frame().showWindow(5);
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

bool runCommandLineAction(ActionContext& context)
{
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
        if (auto lines = listFileLines(session, argument)) {
            SplitPaths paths = splitFoldersAndFiles(*lines);
            frame.startAddCommand(paths.folders, paths.files);
        }
        return true;
    }
    if (name == "addX") {
        frame.showWindow(context.showState);
        auto lines = listFileLines(session, argument);
        if (!lines || lines->empty()) return true;
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
