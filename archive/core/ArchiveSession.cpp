#include "archive/core/ArchiveSession.h"

#include "archive/commands/Texts.h"
#include "archive/core/PathText.h"
#include "platform/FileSystem.h"

namespace quarva::archive {

namespace {
std::unique_ptr<IFormatLibrary> libraryOrDefault(std::unique_ptr<IFormatLibrary> library, CQuarvaZipApp& app)
{
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
      outcome(prompts, [this] { refresh(); }, [this] { frame().showActivityLog(); }),
      doc(*this, std::move(engine), libraryOrDefault(std::move(library), application))
{
    progress.state.tempFolder = platform::tempFolder().lexically_normal().string();
}

std::unique_ptr<CBusyScope> CArchiveSession::busy(const std::string& phase)
{
    return std::make_unique<CBusyScope>(busyFactory, progress.state, [this] { progress.abort(); }, phase);
}

void CArchiveSession::refresh()
{
    if (doc.archivePath.empty()) return;
    std::string path = doc.archivePath;
    std::string name = doc.archiveFileName;
    auto scope = busy(text::kRefreshing);
    doc.openArchive(path, name);
}

bool CArchiveSession::openWithBusyDialog(const std::string& fullPath)
{
    if (doc.open && doc.archivePath == fullPath) return true;
    auto scope = busy(text::kOpening);
    return doc.openArchive(fullPath, fileNamePart(fullPath));
}

}  // namespace quarva::archive
