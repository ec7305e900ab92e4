#pragma once
// Common ground of the handlers: fixed name, extensions and capabilities.

#include <cstring>

#include "formatlib/formats/Format.h"

namespace quarva::formatlib {

class HandlerBase : public FormatHandler {
public:
    HandlerBase(const char* name, std::vector<std::string> extensions, unsigned caps)
        : name_(name), extensions_(std::move(extensions)), caps_(caps) {}
    const char* name() const override { return name_; }
    std::vector<std::string> extensions() const override { return extensions_; }
    unsigned capabilities() const override { return caps_; }

protected:
    static bool startsWith(const std::uint8_t* head, std::size_t size, const char* magic, std::size_t len,
                           std::size_t offset = 0) {
        return size >= offset + len && std::memcmp(head + offset, magic, len) == 0;
    }

private:
    const char* name_;
    std::vector<std::string> extensions_;
    unsigned caps_;
};

// True when `signature` occurs in the file within its first `limit` bytes (an
// archive behind a program stub).
bool signatureWithin(const std::filesystem::path& path, const char* signature, std::size_t len, std::uint64_t limit);
// Reads exactly `n` bytes at `offset` of an open file; false when the file ends first
// or cannot be read.
bool readAt(int fd, std::uint64_t offset, void* buffer, std::size_t n);
// True when the file starts a program (ELF or an MZ executable).
bool looksLikeProgram(const std::uint8_t* head, std::size_t size);
// kSignature when the file starts with `signature`, kBehindStub when a program
// holds it within its first `limit` bytes, else kNone.
int bidSignatureOrStub(const std::uint8_t* head, std::size_t size, const std::filesystem::path& path,
                       const char* signature, std::size_t len, std::uint64_t limit);

// The one object of a handler class, made on first use.
template <class Handler>
const FormatHandler& onlyInstance() {
    static const Handler h;
    return h;
}

// A writer of type `Writer` at `path`; null with `why` in `error` when it could not start.
template <class Writer>
std::unique_ptr<ArchiveWriter> startWriter(const std::filesystem::path& path, const char* why, std::string* error) {
    auto w = std::make_unique<Writer>(path);
    if (w->ok()) return w;
    *error = why;
    return nullptr;
}

// The file name without its last extension ("a.txt.gz" → "a.txt").
std::string stripLastExtension(const std::filesystem::path& path);

}  // namespace quarva::formatlib
