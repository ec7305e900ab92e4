#include "formatlib/formats/LibarchiveWriter.h"

#include <archive_entry.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "formatlib/core/Abort.h"
#include "formatlib/formats/TarStream.h"

namespace quarva::formatlib {

LibarchiveWriter::LibarchiveWriter(const std::filesystem::path& path, const Setup& setup, bool needsSize)
    : needsSize_(needsSize) {
    Utf8Locale::Scope utf8(utf8_);
    a_ = archive_write_new();
    if (!a_) {
        error_ = "Not enough memory";
        return;
    }
    if (!setup(a_)) {
        takeError("cannot set up the writer");
        return;
    }
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    // A regular file: the last block is not padded out.
    if (fd_ < 0 || archive_write_set_bytes_in_last_block(a_, 1) != ARCHIVE_OK ||
        archive_write_open2(a_, this, nullptr, writeOut, nullptr, nullptr) != ARCHIVE_OK) {
        if (fd_ < 0) error_ = std::string("cannot create the file: ") + std::strerror(errno);
        else takeError("cannot create the file");
        return;
    }
    open_ = true;
}

la_ssize_t LibarchiveWriter::writeOut(struct archive* a, void* self, const void* buffer, std::size_t size) {
    auto* w = static_cast<LibarchiveWriter*>(self);
    if (w->broken_) return -1;
    if (w->sink_) return w->sink_->write(buffer, size) ? static_cast<la_ssize_t>(size) : -1;
    for (;;) {
        const ssize_t n = ::write(w->fd_, buffer, size);
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        archive_set_error(a, errno, "%s", std::strerror(errno));
        return -1;
    }
}

LibarchiveWriter::LibarchiveWriter(TarSink& sink, const Setup& setup, bool needsSize)
    : needsSize_(needsSize), sink_(&sink) {
    Utf8Locale::Scope utf8(utf8_);
    a_ = archive_write_new();
    if (!a_) {
        error_ = "Not enough memory";
        return;
    }
    if (!setup(a_) || archive_write_set_bytes_per_block(a_, 0) != ARCHIVE_OK) {
        takeError("cannot set up the writer");
        return;
    }
    if (archive_write_open2(a_, this, nullptr, writeOut, nullptr, nullptr) != ARCHIVE_OK) {
        takeError("cannot create the file");
        return;
    }
    open_ = true;
}

LibarchiveWriter::~LibarchiveWriter() {
    Utf8Locale::Scope utf8(utf8_);
    if (a_) archive_write_free(a_);
    if (fd_ >= 0) ::close(fd_);
}

void LibarchiveWriter::takeError(const char* fallback) {
    if (sink_ && !sink_->error().empty()) {
        error_ = sink_->error();
        return;
    }
    const char* e = a_ ? archive_error_string(a_) : nullptr;
    error_ = e ? e : fallback;
}

bool LibarchiveWriter::add(const EntryInfo& info, DataSource* data) {
    if (!ok()) return false;
    Utf8Locale::Scope utf8(utf8_);
    struct archive_entry* e = archive_entry_new();
    std::string name = info.name;
    if (info.isDir() && !name.empty() && name.back() != '/') name.push_back('/');
    archive_entry_set_pathname_utf8(e, name.c_str());
    archive_entry_set_mtime(e, info.mtime, 0);
    archive_entry_set_perm(e, info.mode & 0777);
    if (info.isDir()) {
        archive_entry_set_filetype(e, AE_IFDIR);
        archive_entry_set_size(e, 0);
    } else if (info.isSymlink()) {
        archive_entry_set_filetype(e, AE_IFLNK);
        archive_entry_set_symlink_utf8(e, info.linkTarget.c_str());
        archive_entry_set_size(e, 0);
    } else if (info.isHardlink()) {
        // A name for a file written before it: no data of its own.
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_hardlink_utf8(e, info.linkTarget.c_str());
        archive_entry_set_size(e, 0);
    } else {
        archive_entry_set_filetype(e, AE_IFREG);
        if (info.sizeKnown) archive_entry_set_size(e, static_cast<la_int64_t>(info.size));
    }
    // A name or link that is no valid UTF-8 is lost on the way in (the zip writer
    // would then crash on the missing name).
    if (!archive_entry_pathname(e) || (info.isSymlink() && !archive_entry_symlink(e)) ||
        (info.isHardlink() && !archive_entry_hardlink(e))) {
        archive_entry_free(e);
        error_ = "the name is no valid UTF-8, which this archive cannot hold";
        return false;
    }
    std::uint64_t written = 0;
    auto broken = [this] {
        // A zip entry is closed as it is, not padded (and its compressor is freed only
        // when the close can write).
        broken_ = (archive_format(a_) & ARCHIVE_FORMAT_BASE_MASK) != ARCHIVE_FORMAT_ZIP;
        return false;
    };
    bool good = archive_write_header(a_, e) >= ARCHIVE_WARN;
    archive_entry_free(e);
    if (!good) {
        takeError("cannot write the entry header");
        return false;
    }
    if (data && !info.isDir() && !info.isSymlink()) {
        std::vector<char> buf(64 * 1024);
        for (;;) {
            const long n = readUnlessAborted(*data, buf.data(), buf.size(), error_);
            if (n < 0) return broken();
            if (n == 0) break;
            if (info.sizeKnown && written + static_cast<std::uint64_t>(n) > info.size) {
                error_ = "the data is longer than its recorded size";
                return broken();
            }
            if (archive_write_data(a_, buf.data(), static_cast<std::size_t>(n)) < 0) {
                takeError("cannot write the data");
                return false;
            }
            written += static_cast<std::uint64_t>(n);
        }
        if (info.sizeKnown && written != info.size) {
            error_ = "the data is shorter than its recorded size";
            return broken();
        }
    }
    if (archive_write_finish_entry(a_) < ARCHIVE_WARN) {
        takeError("cannot complete the entry");
        return false;
    }
    return true;
}

bool LibarchiveWriter::finish() {
    if (!ok()) return false;
    Utf8Locale::Scope utf8(utf8_);
    open_ = false;
    if (archive_write_close(a_) != ARCHIVE_OK) {
        takeError("cannot complete the archive");
        return false;
    }
    return true;
}

}  // namespace quarva::formatlib
