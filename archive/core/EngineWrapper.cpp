#include "archive/core/EngineWrapper.h"

#include "archive/commands/Texts.h"
#include "archive/core/ArchiveSession.h"
#include "archive/core/PathText.h"

namespace quarva::archive {

bool IEngineControl::boolProperty(int id) {
    EngineValue v = getProperty(id);
    if (auto b = std::get_if<bool>(&v)) return *b;
    if (auto s = std::get_if<std::int16_t>(&v)) return *s != 0;
    if (auto l = std::get_if<std::int32_t>(&v)) return *l != 0;
    return false;
}

std::string IEngineControl::stringProperty(int id) {
    EngineValue v = getProperty(id);
    if (auto s = std::get_if<std::string>(&v)) return *s;
    return {};
}

std::string engineNameList(const std::vector<std::string>& names) {
    std::string list;
    for (const auto& n : names) list += n + "\r\n";
    return list;
}

std::string libraryNameList(const std::vector<std::string>& names) {
    std::string list;
    for (const auto& n : names) {
        if (!list.empty()) list += '|';
        list += '"' + n + '"';
    }
    return list;
}

std::vector<std::string> withWildcard(const std::vector<std::string>& folders, const std::string& wildcard,
                                      char separator) {
    std::vector<std::string> out;
    out.reserve(folders.size());
    for (const auto& f : folders) {
        if (!f.empty() && (f.back() == separator || f.back() == '\\' || f.back() == '/')) out.push_back(f + wildcard);
        else out.push_back(f + separator + wildcard);
    }
    return out;
}

namespace {
const char* yesNo(bool on) { return on ? text::kLogYes : text::kLogNo; }
// Host paths use "/"; names inside an archive use "\".
constexpr char kHostSeparator = '/';
constexpr char kArchiveSeparator = '\\';
}  // namespace

CEngineWrapper::CEngineWrapper(CArchiveSession& session, std::unique_ptr<IEngineControl> engine,
                               std::unique_ptr<IFormatLibrary> library)
    : session_(session), engine_(std::move(engine)), library_(std::move(library)) {
    if (engine_) engine_->setEventSink(&session_.progress);
}

CEngineWrapper::~CEngineWrapper() {
    if (engine_) engine_->setEventSink(nullptr);
}

void CEngineWrapper::setArchiveName(const std::string& path) {
    archiveName_ = path;
    if (engine_) engine_->setProperty(dispid::kArchiveName, path);
}

bool CEngineWrapper::usesEngine() const { return session_.archiveKind() == kind::kZip; }

void CEngineWrapper::setEngineCommon() { engine_->setProperty(dispid::kArchiveName, archiveName_); }

std::uint16_t CEngineWrapper::listArchive(const std::string& path, const std::vector<std::string>& filters) {
    auto& state = session_.progress.state;
    state.kind = OperationKind::List;
    state.errorSeen = false;
    archiveName_ = path;

    // "*.*" is the filter box's entry for every file.
    std::vector<std::string> patterns;
    for (const auto& f : filters)
        if (f != "*.*") patterns.push_back(f);

    if (usesEngine()) {
        if (!engine_) return kLibraryNotLoaded;
        std::string names;
        if (patterns.empty() || patterns.size() != filters.size()) {
            names = "*\r\n";  // every entry at every depth
        } else {
            for (const auto& f : patterns) names += f + "\r\n" + "*\\" + f + "\r\n";
        }
        engine_->setProperty(dispid::kArchiveName, path);
        engine_->setProperty(dispid::kNames, names);
        engine_->setProperty(dispid::kSpanning, session_.flags.removable);
        return static_cast<std::uint16_t>(engine_->invoke(dispid::kList));
    }

    std::string joined;
    for (const auto& f : patterns) joined += (joined.empty() ? "" : "|") + f;
    if (joined.empty() || patterns.size() != filters.size()) joined = "*.*";
    int status = library_->listArchive(path, joined, session_.progress.window());
    if (status != kLibraryOk) return static_cast<std::uint16_t>(status);
    if (state.errorSeen) {
        session_.outcome.offerLog(text::kErrorWhileListing);
        return 1100;
    }
    return 0;
}

std::uint16_t CEngineWrapper::addFiles(const AddOptions& options, const std::vector<std::string>& files) {
    return add(options, files);
}

std::uint16_t CEngineWrapper::addFolders(const AddOptions& options, const std::vector<std::string>& folders,
                                         const std::string& wildcard) {
    return add(options, withWildcard(folders, wildcard, kHostSeparator));
}

std::uint16_t CEngineWrapper::add(const AddOptions& options, const std::vector<std::string>& list) {
    // Nothing to add is not an error: the second pass of an add often has no folders.
    if (list.empty()) return 0;
    auto& state = session_.progress.state;
    state.errorSeen = false;
    state.addKeepsPaths = options.savePathInfo;
    std::uint16_t status = 0;
    bool engineRan = false;
    {
        auto busy = session_.busy();
        state.kind = OperationKind::Add;
        if (usesEngine()) {
            if (!engine_) return kLibraryNotLoaded;
            setEngineCommon();
            engine_->setProperty(dispid::kLevel, options.level);
            engine_->setProperty(dispid::kIncludeHidden, options.includeHidden);
            engine_->setProperty(dispid::kDeleteAfterAdding, options.deleteAfterZipping);
            engine_->setProperty(dispid::kSpanning, options.spanning);
            engine_->setProperty(dispid::kWipeDisk, options.wipeDisk);
            engine_->setProperty(dispid::kRecurse, options.includeSubfolders);
            engine_->setProperty(dispid::kSavePathInfo, options.savePathInfo);
            engine_->setProperty(dispid::kNames, engineNameList(list));
            session_.activityLog() = std::string(text::kLogAddHeader) + text::kLogIncludeHidden +
                                     yesNo(options.includeHidden) + text::kLogIncludeSubfolders +
                                     yesNo(options.includeSubfolders) + text::kLogSavePathInfo +
                                     yesNo(options.savePathInfo);
            status = static_cast<std::uint16_t>(engine_->invoke(dispid::kAdd, options.action));
            engineRan = true;
        } else {
            std::string password = engine_ ? engine_->stringProperty(dispid::kPassword) : std::string();
            status = static_cast<std::uint16_t>(library_->compressFile(
                archiveName_, libraryNameList(list), password, options.includeHidden, options.deleteAfterZipping,
                options.savePathInfo, options.includeSubfolders, session_.progress.window()));
        }
    }
    finish(status, engineRan, text::kErrorWhileAdding);
    return status;
}

std::uint16_t CEngineWrapper::extractFiles(const ExtractOptions& options, const std::vector<std::string>& entries) {
    return extract(options, entries, nullptr);
}

std::uint16_t CEngineWrapper::extractByWildcard(const ExtractOptions& options, const std::vector<std::string>& folders,
                                                const std::string& wildcard) {
    return extract(options, withWildcard(folders, wildcard, kArchiveSeparator), &wildcard);
}

std::uint16_t CEngineWrapper::extract(const ExtractOptions& options, const std::vector<std::string>& list,
                                      const std::string* wildcard) {
    if (list.empty()) return 0;
    auto& state = session_.progress.state;
    state.errorSeen = false;
    state.touchedNames.clear();
    state.extractDestination = options.destination;
    state.extractUsesPaths = options.useStoredPaths;
    std::uint16_t status = 0;
    bool engineRan = false;
    {
        auto busy = session_.busy();
        state.kind = options.kind;
        if (usesEngine()) {
            if (!engine_) return kLibraryNotLoaded;
            setEngineCommon();
            engine_->setProperty(dispid::kExtractFolder, options.destination);
            engine_->setProperty(dispid::kOverwrite, options.overwrite);
            engine_->setProperty(dispid::kSavePathInfo, options.useStoredPaths);
            engine_->setProperty(dispid::kNames, engineNameList(list));
            engine_->setProperty(dispid::kSpanning, session_.flags.removable);
            std::string log = text::kLogExtractHeader;
            if (wildcard)
                log += text::kLogWildcard + *wildcard + text::kLineEnd + text::kLogExtractDirectory +
                       options.destination + text::kLineEnd;
            log += text::kLogOverwrite + std::string(yesNo(options.overwrite != 0)) + text::kLogSavePathInfo +
                   yesNo(options.useStoredPaths);
            session_.activityLog() = log;
            status = static_cast<std::uint16_t>(engine_->invoke(dispid::kExtract, options.mode));
            engineRan = true;
        } else {
            std::string names = extensionOf(archiveName_) == "gz" ? std::string("*.*") : libraryNameList(list);
            status = static_cast<std::uint16_t>(library_->extractFile(archiveName_, names, options.destination,
                                                                      options.overwrite != 0, options.useStoredPaths,
                                                                      session_.progress.window()));
        }
    }
    finish(status, engineRan, text::kErrorWhileExtracting);
    return status;
}

std::uint16_t CEngineWrapper::deleteFiles(const std::vector<std::string>& entries) { return remove(entries); }

std::uint16_t CEngineWrapper::deleteByWildcard(const std::vector<std::string>& folders, const std::string& wildcard) {
    return remove(withWildcard(folders, wildcard, kArchiveSeparator));
}

std::uint16_t CEngineWrapper::remove(const std::vector<std::string>& list) {
    // An empty list would select every entry: deleting nothing is never "delete all".
    if (list.empty()) return 0;
    auto& state = session_.progress.state;
    state.errorSeen = false;
    std::uint16_t status = 0;
    bool engineRan = false;
    {
        auto busy = session_.busy();
        state.kind = OperationKind::Delete;
        if (usesEngine()) {
            if (!engine_) return kLibraryNotLoaded;
            setEngineCommon();
            engine_->setProperty(dispid::kSpanning, session_.flags.removable);
            engine_->setProperty(dispid::kNames, engineNameList(list));
            session_.activityLog() = text::kLogDeleteHeader;
            status = static_cast<std::uint16_t>(engine_->invoke(dispid::kDelete));
            engineRan = true;
        } else {
            status = static_cast<std::uint16_t>(
                library_->deleteFile(archiveName_, libraryNameList(list), session_.progress.window()));
        }
    }
    finish(status, engineRan, text::kErrorWhileDeleting);
    return status;
}

std::uint16_t CEngineWrapper::testFiles(const std::vector<std::string>& entries) { return test(entries, nullptr); }

std::uint16_t CEngineWrapper::testByWildcard(const std::vector<std::string>& folders, const std::string& wildcard) {
    return test(withWildcard(folders, wildcard, kArchiveSeparator), &wildcard);
}

std::uint16_t CEngineWrapper::test(const std::vector<std::string>& list, const std::string* wildcard) {
    if (list.empty()) return 0;
    auto& state = session_.progress.state;
    state.errorSeen = false;
    std::uint16_t status = 0;
    auto busy = session_.busy();
    state.kind = OperationKind::Test;
    if (usesEngine()) {
        if (!engine_) return kLibraryNotLoaded;
        state.touchedNames.clear();
        setEngineCommon();
        engine_->setProperty(dispid::kSpanning, session_.flags.removable);
        engine_->setProperty(dispid::kNames, engineNameList(list));
        if (wildcard) engine_->setProperty(dispid::kRecurse, true);
        std::string log = text::kLogTestHeader;
        if (wildcard) log += text::kLogWildcard + *wildcard + text::kLineEnd;
        session_.activityLog() = log;
        status = static_cast<std::uint16_t>(engine_->invoke(dispid::kTest));
    } else {
        status = static_cast<std::uint16_t>(
            library_->testArchive(archiveName_, libraryNameList(list), session_.progress.window()));
    }
    return status;
}

void CEngineWrapper::finish(std::uint16_t status, bool engineRan, const char* question) {
    if (engineRan && status != 0) {
        session_.outcome.reportOutcome(status, true);
        return;
    }
    if (session_.progress.state.errorSeen) session_.outcome.offerLog(question);
}

}  // namespace quarva::archive
