#include "archive/core/ArchiveSession.h"

#include <algorithm>

#include "archive/commands/FilterPatterns.h"
#include "archive/commands/Texts.h"
#include "archive/core/PathText.h"
#include "platform/FileSystem.h"

namespace quarva::archive {

namespace {
std::unique_ptr<IFormatLibrary> libraryOrDefault(std::unique_ptr<IFormatLibrary> library, CQuarvaZipApp& app) {
    if (library) return library;
    return createFormatLibrary([&app] { return app.libraryPath; });
}
}  // namespace

CArchiveSession::CArchiveSession(CQuarvaZipApp& application, platform::Launcher& launcherToUse,
                                 std::unique_ptr<IEngineControl> engine, std::unique_ptr<IFormatLibrary> library)
    : app(application),
      prompts(application.prompts()),
      launcher(launcherToUse),
      progress(*this),
      outcome(
          prompts, [this] { refresh(); }, [this] { frame().showActivityLog(); }),
      doc(*this, std::move(engine), libraryOrDefault(std::move(library), application)) {
    progress.state.tempFolder = platform::tempFolder().lexically_normal().string();
}

std::unique_ptr<CBusyScope> CArchiveSession::busy(const std::string& phase) {
    return std::make_unique<CBusyScope>(
        busyFactory, progress.state, [this] { progress.abort(); }, phase);
}

void CArchiveSession::refresh() {
    if (doc.archivePath.empty()) return;
    std::string path = doc.archivePath;
    std::string name = doc.archiveFileName;
    auto scope = busy(text::kRefreshing);
    doc.openArchive(path, name);
}

bool CArchiveSession::openWithBusyDialog(const std::string& fullPath) {
    if (doc.open && doc.archivePath == fullPath) return true;
    auto scope = busy(text::kOpening);
    return doc.openArchive(fullPath, fileNamePart(fullPath));
}

bool CArchiveSession::applyFilter(const std::string& filterText) {
    auto& state = progress.state;
    IMainFrameActions& window = frame();
    state.filterBoxText = filterText;
    doc.entries().deleteAll();
    window.clearViews();
    state.entryCount = 0;
    state.totalSize = 0;
    state.filterPatterns = splitFilterPatterns(filterText);

    window.setStatusText(text::kListing);
    std::uint16_t status = doc.wrapper().listArchive(doc.archivePath, state.filterPatterns);
    if (status != 0) {
        window.setStatusText(text::kErrorInListingFilter);
        doc.entries().buildTree();
        window.showArchiveTree();
        outcome.reportOutcome(status, false);
        return false;
    }
    window.setStatusText(text::kPopulatingList);
    doc.entries().buildTree();
    window.showArchiveTree();
    state.filterText = filterText;
    if (std::find(state.filterEntries.begin(), state.filterEntries.end(), filterText) == state.filterEntries.end()) {
        state.filterEntries.push_back(filterText);
        window.addFilterEntry(filterText);
    }
    window.setStatusText(text::kCompleted);
    return true;
}

}  // namespace quarva::archive
