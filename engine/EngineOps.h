#pragma once
// Internal helpers shared by the engine's operations.

#include "engine/ZipEngine.h"
#include "engine/ZipFormat.h"

#include <sys/stat.h>

#include <atomic>
#include <string>
#include <vector>

namespace quarva::engine {

class ZipEngine::Raiser {
public:
    explicit Raiser(ZipEngine& engine) : engine_(engine) {}
    void record(EventId id, const EntryRecord& r);
    void deleted(const std::string& name);
    void skipped(const std::string& name, std::int16_t reason);
    void diskRequest(std::int16_t disk);
    // Event 13 with the bytes handled by the method.
    void finished(std::uint64_t bytes);
    // Event 8: true when the answer asks for a retry with `password`.
    bool passwordRequest(std::string& password);
    const std::atomic<bool>& abortFlag() const { return engine_.abort_; }
    bool wipeRequested() const { return engine_.wipeDisk_; }
    const std::string& namesCharset() const { return engine_.namesCharset_; }

private:
    ZipEngine& engine_;
};

// The archive-side name as reported: "\" separators.
std::string reportedName(const std::string& name);
// The entry record of a zip entry.
EntryRecord makeRecord(const ZipEntry& e, bool complete);
// A read-only archive (no owner write permission) is never replaced.
inline bool isReadOnly(const struct stat& st) { return (st.st_mode & S_IWUSR) == 0; }
// Status for an errno met while writing.
std::int16_t writeStatus(int err);

class InputFile;
class OutputFile;
class ZipWriter;
struct ZipDirectory;
// The part of a rewrite that keeps what is not changed: the bytes in front of the
// first entry (with `withPrefix`), then the entries `which` of `dir` byte for byte,
// as large ranges. Status 0, 190 aborted, a write error's status, or 410 when an
// entry to keep cannot be read (refused rather than lost).
std::int16_t keepEntries(ZipWriter& w, const OutputFile& out, const InputFile& in, const ZipDirectory& dir,
                         const std::vector<std::size_t>& which, bool withPrefix, const std::atomic<bool>& abort);

}  // namespace quarva::engine
