#include "engine/ZipEngine.h"

#include "engine/EngineOps.h"
#include "engine/LegacyNames.h"
#include "engine/ZipMethods.h"

#include <climits>

namespace quarva::engine {

const char* statusText(std::int16_t status) {
    switch (status) {
    case kStatusOk: return "OK";
    case kStatusArchiveNotFound: return "Archive not found";
    case kStatusZeroLength: return "Archive is empty (zero bytes) or not a zip archive";
    case kStatusNoMemory: return "Not enough memory";
    case kStatusConfiguration: return "Configuration error";
    case kStatusNoMatches: return "No matches found";
    case kStatusDiskFull: return "Disk out of space";
    case kStatusUnexpectedEof: return "Unexpected end of file";
    case kStatusUserAborted: return "User aborted";
    case kStatusCrcFailed: return "Testing failed: CRC check failed";
    case kStatusCouldNotTest: return "Could not test any files";
    case kStatusUnexpected: return "Unexpected error";
    case kStatusDuplicateNames: return "Two or more files with the same name (save path info is off)";
    case kStatusEmptyArchive: return "Archive is empty";
    case kStatusAccess: return "Cannot access the file; it may be read only";
    case kStatusCorrupt: return "Archive is corrupt";
    case kStatusWrongDisk: return "Wrong disk was inserted repeatedly";
    case kStatusSpanned: return "The archive is spanned";
    default: return "Unknown status";
    }
}

const char* skipReasonText(std::int16_t reason) {
    switch (SkipReason(reason)) {
    case SkipReason::Exists: return "exists, not overwritten";
    case SkipReason::UnsafeName: return "unsafe name (absolute, leaves the folder or holds control characters)";
    case SkipReason::UnsupportedMethod: return "unsupported compression method";
    case SkipReason::Password: return "password missing or wrong";
    case SkipReason::Crc: return "CRC error";
    case SkipReason::Damaged: return "data damaged";
    case SkipReason::CannotWrite: return "cannot write the output file";
    case SkipReason::CannotRead: return "cannot read the file";
    case SkipReason::LinkOutside: return "link leads outside the folder";
    case SkipReason::UnsupportedEncryption: return "unsupported encryption";
    case SkipReason::Overlap: return "overlaps another entry";
    case SkipReason::NotRegular: return "not a regular file";
    }
    return "skipped";
}

std::string skipReasonText(std::int16_t reason, std::int16_t method, std::int16_t encryption) {
    std::string text = skipReasonText(reason);
    if (SkipReason(reason) == SkipReason::UnsupportedMethod) {
        text += ": " + methodTitle(std::uint16_t(method));
    } else if (SkipReason(reason) == SkipReason::UnsupportedEncryption) {
        static const char* const names[] = {"none", "ZipCrypto", "AES-128", "AES-192", "AES-256"};
        text += ": ";
        text += encryption >= 1 && encryption <= 4 ? names[encryption] : "strong encryption";
    }
    return text;
}

std::vector<DispatchValue> toDispatchArgs(const EntryRecord& r) {
    return {r.name,  r.size,    r.packedSize, r.done, r.attributes, r.modified, r.crc,
            r.ratio, r.percent, r.method,     r.disk, r.encryption, r.comment};
}

ZipEngine::ZipEngine() = default;
ZipEngine::~ZipEngine() = default;

namespace {
bool asBool(const DispatchValue& v, bool& out) {
    if (auto* b = std::get_if<bool>(&v)) out = *b;
    else if (auto* s = std::get_if<std::int16_t>(&v)) out = *s != 0;
    else if (auto* i = std::get_if<std::int32_t>(&v)) out = *i != 0;
    else return false;
    return true;
}
bool asInt(const DispatchValue& v, std::int16_t& out) {
    if (auto* b = std::get_if<bool>(&v)) out = *b ? 1 : 0;
    else if (auto* s = std::get_if<std::int16_t>(&v)) out = *s;
    else if (auto* i = std::get_if<std::int32_t>(&v)) out = std::int16_t(*i);
    else return false;
    return true;
}
bool asString(const DispatchValue& v, std::string& out) {
    if (auto* s = std::get_if<std::string>(&v)) {
        out = *s;
        return true;
    }
    return false;
}
}  // namespace

bool ZipEngine::setProperty(int id, const DispatchValue& v) {
    bool b = false;
    std::int16_t i = 0;
    std::string s;
    switch (Property(id)) {
    case Property::Abort:
        if (!asBool(v, b)) return false;
        setAbort(b);
        return true;
    case Property::Level:
        if (!asInt(v, i)) return false;
        setLevel(i);
        return true;
    case Property::WipeDisk:
        if (!asBool(v, b)) return false;
        setWipeDisk(b);
        return true;
    case Property::ExtractFolder:
        if (!asString(v, s)) return false;
        setExtractFolder(s);
        return true;
    case Property::IncludeHidden:
        if (!asBool(v, b)) return false;
        setIncludeHidden(b);
        return true;
    case Property::DeleteAfterAdding:
        if (!asBool(v, b)) return false;
        setDeleteAfterAdding(b);
        return true;
    case Property::Spanning:
        if (!asBool(v, b)) return false;
        setSpanning(b);
        return true;
    case Property::Overwrite:
        if (!asInt(v, i)) return false;
        setOverwrite(i);
        return true;
    case Property::Password:
        if (!asString(v, s)) return false;
        setPassword(s);
        return true;
    case Property::Recurse:
        if (!asBool(v, b)) return false;
        setRecurse(b);
        return true;
    case Property::SavePathInfo:
        if (!asBool(v, b)) return false;
        setSavePathInfo(b);
        return true;
    case Property::ArchiveName:
        if (!asString(v, s)) return false;
        setArchiveName(s);
        return true;
    case Property::DiskCount: return false;
    case Property::Comment:
        if (!asString(v, s)) return false;
        return setComment(s) == kStatusOk;
    case Property::Names:
        if (!asString(v, s)) return false;
        setNames(s);
        return true;
    case Property::Aes256:
        if (!asBool(v, b)) return false;
        setAes256(b);
        return true;
    case Property::Threads:
        if (!asInt(v, i)) return false;
        setThreads(i);
        return true;
    case Property::NamesCharset: return asString(v, s) && setNamesCharset(s);
    }
    return false;
}

bool ZipEngine::setNamesCharset(const std::string& charset) {
    if (!charset.empty() && !knownCharset(charset)) return false;
    namesCharset_ = charset;
    return true;
}

DispatchValue ZipEngine::getProperty(int id) {
    switch (Property(id)) {
    case Property::Abort: return abortRequested();
    case Property::Level: return level();
    case Property::WipeDisk: return wipeDisk();
    case Property::ExtractFolder: return extractFolder();
    case Property::IncludeHidden: return includeHidden();
    case Property::DeleteAfterAdding: return deleteAfterAdding();
    case Property::Spanning: return spanning();
    case Property::Overwrite: return overwrite();
    case Property::Password: return password();
    case Property::Recurse: return recurse();
    case Property::SavePathInfo: return savePathInfo();
    case Property::ArchiveName: return archiveName();
    case Property::DiskCount: return diskCount();
    case Property::Comment: return comment();
    case Property::Names: return names();
    case Property::Aes256: return aes256();
    case Property::Threads: return threads();
    case Property::NamesCharset: return namesCharset();
    }
    return std::monostate{};
}

std::int16_t ZipEngine::invoke(int id, std::int16_t argument) {
    switch (Method(id)) {
    case Method::Test: return test();
    case Method::Repair: return repair(argument);
    case Method::Add: return add(argument);
    case Method::Extract: return extract(argument);
    case Method::List: return list();
    case Method::Delete: return deleteEntries();
    }
    return kStatusConfiguration;
}

// ---- events ----

void ZipEngine::Raiser::record(EventId id, const EntryRecord& r) {
    if (auto* s = engine_.sink_) {
        switch (id) {
        case EventId::Starting: s->onStarting(r); break;
        case EventId::Progress: s->onProgress(r); break;
        case EventId::Listed: s->onListed(r); break;
        case EventId::Processed: s->onProcessed(r); break;
        case EventId::Tested: s->onTested(r); break;
        case EventId::Finished: s->onFinished(r); break;
        default: break;
        }
    }
    if (engine_.handler_) {
        auto args = toDispatchArgs(r);
        engine_.handler_(int(id), args);
    }
}

void ZipEngine::Raiser::deleted(const std::string& name) {
    if (engine_.sink_) engine_.sink_->onDeleted(name);
    if (engine_.handler_) {
        std::vector<DispatchValue> args{name};
        engine_.handler_(int(EventId::Deleted), args);
    }
}

void ZipEngine::Raiser::skipped(const std::string& name, std::int16_t reason) {
    if (engine_.sink_) engine_.sink_->onSkipped(name, reason);
    if (engine_.handler_) {
        std::vector<DispatchValue> args{name, reason};
        engine_.handler_(int(EventId::Skipped), args);
    }
}

void ZipEngine::Raiser::finished(std::uint64_t bytes) {
    EntryRecord r;
    r.size = r.done = bytes > std::uint64_t(INT32_MAX) ? INT32_MAX : std::int32_t(bytes);
    r.size64 = bytes;
    r.percent = 100;
    record(EventId::Finished, r);
}

void ZipEngine::Raiser::diskRequest(std::int16_t disk) {
    if (engine_.sink_) engine_.sink_->onDiskRequest(disk);
    if (engine_.handler_) {
        std::vector<DispatchValue> args{disk};
        engine_.handler_(int(EventId::DiskRequest), args);
    }
}

bool ZipEngine::Raiser::passwordRequest(std::string& password) {
    std::int16_t action = 0;
    std::string pw = engine_.password_;
    if (engine_.sink_) engine_.sink_->onPasswordRequest(engine_.archiveName_, pw, action);
    if (engine_.handler_) {
        std::vector<DispatchValue> args{engine_.archiveName_, pw, action};
        engine_.handler_(int(EventId::PasswordRequest), args);
        if (auto* s = std::get_if<std::string>(&args[1])) pw = *s;
        std::int16_t a = 0;
        if (asInt(args[2], a) && a == 2) action = 2;
    }
    if (action != 2) return false;
    password = pw;
    engine_.password_ = pw;
    return true;
}

}  // namespace quarva::engine
