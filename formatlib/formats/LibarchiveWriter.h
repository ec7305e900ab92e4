#pragma once
// A writer over libarchive (tar, tar.gz, zip, jar).

#include <archive.h>

#include <functional>

#include "formatlib/formats/Format.h"
#include "formatlib/formats/Utf8Locale.h"

namespace quarva::formatlib {

class TarSink;

class LibarchiveWriter : public ArchiveWriter {
public:
    using Setup = std::function<bool(struct archive*)>;
    LibarchiveWriter(const std::filesystem::path& path, const Setup& setup, bool needsSize);
    // Writes into `sink` as it goes (no blocking of its own), after what the sink
    // holds already: the new entries of a tar rewrite.
    LibarchiveWriter(TarSink& sink, const Setup& setup, bool needsSize);
    ~LibarchiveWriter() override;
    bool ok() const { return a_ && open_; }
    bool needsSize() const override { return needsSize_; }
    bool add(const EntryInfo& entry, DataSource* data) override;
    bool finish() override;
    std::string error() const override { return error_; }

private:
    void takeError(const char* fallback);
    static la_ssize_t writeOut(struct archive*, void* self, const void* buffer, std::size_t size);
    Utf8Locale utf8_;  // names are handed over as UTF-8
    struct archive* a_ = nullptr;
    int fd_ = -1;  // the file written, when not a sink
    // The source failed inside an entry: nothing more is written, so that closing
    // does not pad that entry out to its declared size (a damaged source can
    // declare exabytes); the failing write ends the close at once.
    bool broken_ = false;
    bool open_ = false;
    bool needsSize_;
    TarSink* sink_ = nullptr;
    std::string error_;
};

}  // namespace quarva::formatlib
