// uue and xxe: an encoded text holding one (or more) files. Read and written by
// our own codec (formats/UuCodec.cpp); libarchive has no XX decoder.

#include <fstream>

#include "formatlib/FormatLibrary.h"
#include "formatlib/formats/HandlerBase.h"
#include "formatlib/formats/UuCodec.h"

namespace quarva::formatlib {
namespace {

// Writes every file it is given as one begin/end block.
class TextCodeWriter : public ArchiveWriter {
public:
    TextCodeWriter(const std::filesystem::path& path, TextCode code) : out_(path, std::ios::binary), code_(code) {}
    bool ok() const { return static_cast<bool>(out_); }
    bool needsSize() const override { return false; }
    bool add(const EntryInfo& entry, DataSource* data) override {
        if (entry.isDir()) return true;
        if (!data) {
            error_ = "encoded text holds files only: " + entry.name;
            return false;
        }
        std::string name = entry.name;
        const auto slash = name.rfind('/');
        if (slash != std::string::npos) name = name.substr(slash + 1);
        return encodeText(code_, false, name, entry.mode, *data, out_, &error_);
    }
    bool finish() override {
        out_.close();
        if (!out_) error_ = "cannot write the file (disk full?)";
        return static_cast<bool>(out_);
    }
    std::string error() const override { return error_; }

private:
    std::ofstream out_;
    TextCode code_;
    std::string error_;
};

class TextCodeHandler : public HandlerBase {
public:
    TextCodeHandler(const char* name, std::vector<std::string> ext, TextCode code)
        : HandlerBase(name, std::move(ext), kCanRead | kCanCreate), code_(code) {}
    int bid(const std::uint8_t* head, std::size_t size, const std::filesystem::path&) const override {
        const auto found = sniffText(head, size);
        return found && *found == code_ ? bids::kEncodedText : bids::kNone;
    }
    std::unique_ptr<ArchiveReader> openReader(const std::filesystem::path& path, const std::string&,
                                              std::string* error) const override {
        auto r = std::make_unique<TextCodeReader>(path, code_);
        if (!r->opened()) {
            *error = r->error();
            return nullptr;
        }
        return r;
    }
    std::unique_ptr<ArchiveWriter> openWriter(const std::filesystem::path& path, const WriteOptions&,
                                              std::string* error) const override {
        auto w = std::make_unique<TextCodeWriter>(path, code_);
        if (!w->ok()) {
            *error = "cannot create the file";
            return nullptr;
        }
        return w;
    }

private:
    TextCode code_;
};

}  // namespace

const FormatHandler& uuHandler() {
    static TextCodeHandler h("uue", {"uue", "uu"}, TextCode::UU);
    return h;
}
const FormatHandler& xxHandler() {
    static TextCodeHandler h("xxe", {"xxe", "xx"}, TextCode::XX);
    return h;
}

}  // namespace quarva::formatlib
