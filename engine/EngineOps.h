#pragma once
// Internal helpers shared by the engine's operations.

#include "engine/ZipEngine.h"
#include "engine/ZipFormat.h"

#include <sys/stat.h>

#include <string>

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

}  // namespace quarva::engine
