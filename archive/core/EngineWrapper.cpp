#include "archive/core/EngineWrapper.h"

#include "archive/commands/Texts.h"
#include "archive/core/ArchiveSession.h"

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
    : session_(session), zip_(std::move(engine)), library_(std::move(library)) {}

void CEngineWrapper::setArchiveName(const std::string& path) {
    if (path != archiveName_ && !namesCharset().empty()) setNamesCharset({});
    archiveName_ = path;
    zipReading_ = engine::zipReading(path);
    if (IEngineControl* control = zip_.control()) control->setProperty(dispid::kArchiveName, path);
}

bool CEngineWrapper::setNamesCharset(const std::string& charset) {
    IEngineControl* control = zip_.control();
    return control && control->setProperty(dispid::kNamesCharset, charset);
}

std::string CEngineWrapper::namesCharset() const {
    IEngineControl* control = zip_.control();
    return control ? control->stringProperty(dispid::kNamesCharset) : std::string();
}

IArchiveBackend& CEngineWrapper::backend() {
    if (running_) return *running_;
    if (session_.archiveKind() == ArchiveKind::Zip && zipReading_ == engine::ZipReading::Engine) return zip_;
    return library_;
}

template <typename Call>
std::uint16_t CEngineWrapper::perform(OperationKind kind, const std::string& header, const char* question, Call call,
                                      bool changes) {
    auto& state = session_.progress.state;
    state.errorSeen = false;
    // Entries, bytes and checks come from one reader per archive; changes to a zip
    // are the engine's (it copies the entries it keeps as they are).
    IArchiveBackend& chosen = changes && session_.archiveKind() == ArchiveKind::Zip ? zip_ : backend();
    std::uint16_t status = 0;
    {
        running_ = &chosen;
        auto busy = session_.busy();
        state.kind = kind;
        if (chosen.startsFreshLog()) session_.activityLog() = header;
        status = call(chosen, session_.progress);
        running_ = nullptr;
    }
    finish(status, question);
    return status;
}

bool CEngineWrapper::refusedWithoutDirectory() {
    if (session_.archiveKind() != ArchiveKind::Zip || zipReading_ != engine::ZipReading::LocalHeaders) return false;
    session_.outcome.reportOutcome(code(OutcomeCode::NoCentralDirectory), false);
    return true;
}

void CEngineWrapper::finish(std::uint16_t status, const char* question) {
    if (!question) return;
    // A backend that could not be reached is reported by the caller.
    if (engineUnreachable(status)) return;
    if (status != 0) {
        session_.outcome.reportOutcome(status, true);
        return;
    }
    if (session_.progress.state.errorSeen) session_.outcome.offerLog(question);
}

std::uint16_t CEngineWrapper::listArchive(const std::string& path, const std::vector<std::string>& filters) {
    auto& state = session_.progress.state;
    state.kind = OperationKind::List;
    state.errorSeen = false;
    archiveName_ = path;

    // "*.*" is the filter box's entry for every file: with it, everything is listed.
    ListOptions options;
    for (const auto& f : filters) {
        if (f == "*.*") {
            options.patterns.clear();
            break;
        }
        options.patterns.push_back(f);
    }
    options.spanning = session_.flags.removable;
    std::uint16_t status = backend().list(path, options, session_.progress);
    if (status != 0) return status;
    if (state.errorSeen) {
        session_.outcome.offerLog(text::kErrorWhileListing);
        return code(OutcomeCode::ListingError);
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
    if (refusedWithoutDirectory()) return code(OutcomeCode::NoCentralDirectory);
    session_.progress.state.addKeepsPaths = options.savePathInfo;
    AddOptions o = options;
    o.password = zip_.password();
    std::string header = std::string(text::kLogAddHeader) + text::kLogIncludeHidden + yesNo(options.includeHidden) +
                         text::kLogIncludeSubfolders + yesNo(options.includeSubfolders) + text::kLogSavePathInfo +
                         yesNo(options.savePathInfo);
    return perform(
        OperationKind::Add, header, text::kErrorWhileAdding,
        [&](IArchiveBackend& b, auto& sink) { return b.add(archiveName_, list, o, sink); }, true);
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
    state.touchedNames.clear();
    state.extractDestination = options.destination;
    state.extractUsesPaths = options.useStoredPaths;
    ExtractOptions o = options;
    o.spanning = session_.flags.removable;
    std::string header = text::kLogExtractHeader;
    if (wildcard)
        header += text::kLogWildcard + *wildcard + text::kLineEnd + text::kLogExtractDirectory + options.destination +
                  text::kLineEnd;
    header += text::kLogOverwrite + std::string(yesNo(options.overwrite != 0)) + text::kLogSavePathInfo +
              yesNo(options.useStoredPaths);
    return perform(options.kind, header, text::kErrorWhileExtracting,
                   [&](IArchiveBackend& b, auto& sink) { return b.extract(archiveName_, list, o, sink); });
}

std::uint16_t CEngineWrapper::deleteFiles(const std::vector<std::string>& entries) { return remove(entries); }

std::uint16_t CEngineWrapper::deleteByWildcard(const std::vector<std::string>& folders, const std::string& wildcard) {
    return remove(withWildcard(folders, wildcard, kArchiveSeparator));
}

std::uint16_t CEngineWrapper::remove(const std::vector<std::string>& list) {
    // An empty list would select every entry: deleting nothing is never "delete all".
    if (list.empty()) return 0;
    if (refusedWithoutDirectory()) return code(OutcomeCode::NoCentralDirectory);
    DeleteOptions o;
    o.spanning = session_.flags.removable;
    return perform(
        OperationKind::Delete, text::kLogDeleteHeader, text::kErrorWhileDeleting,
        [&](IArchiveBackend& b, auto& sink) { return b.remove(archiveName_, list, o, sink); }, true);
}

std::uint16_t CEngineWrapper::testFiles(const std::vector<std::string>& entries) { return test(entries, nullptr); }

std::uint16_t CEngineWrapper::testByWildcard(const std::vector<std::string>& folders, const std::string& wildcard) {
    return test(withWildcard(folders, wildcard, kArchiveSeparator), &wildcard);
}

std::uint16_t CEngineWrapper::test(const std::vector<std::string>& list, const std::string* wildcard) {
    if (list.empty()) return 0;
    session_.progress.state.touchedNames.clear();
    TestOptions o;
    o.recurse = wildcard != nullptr;
    o.spanning = session_.flags.removable;
    std::string header = text::kLogTestHeader;
    if (wildcard) header += text::kLogWildcard + *wildcard + text::kLineEnd;
    // The test results are the caller's to show: no outcome box, no log prompt.
    return perform(OperationKind::Test, header, nullptr,
                   [&](IArchiveBackend& b, auto& sink) { return b.test(archiveName_, list, o, sink); });
}

}  // namespace quarva::archive
