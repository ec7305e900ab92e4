// cab: read through libarchive; written with libgcab (MSZIP). The writer spools each
// entry into a private folder beside the output, then lets libgcab build the cabinet.

#include <archive.h>
#include <libgcab.h>

#include <cstdio>
#include <fstream>

#include "formatlib/FormatLibrary.h"
#include "formatlib/core/Abort.h"
#include "formatlib/formats/External.h"
#include "formatlib/formats/HandlerBase.h"
#include "formatlib/formats/LibarchiveReader.h"

namespace quarva::formatlib {
namespace {

class CabWriter : public ArchiveWriter {
public:
    explicit CabWriter(const std::filesystem::path& path) : out_(path) {
        std::string tmpl = (path.parent_path() / ".qzcab-XXXXXX").string();
        if (mkdtemp(tmpl.data())) spool_ = tmpl;
    }
    ~CabWriter() override {
        std::error_code ec;
        if (!spool_.empty()) std::filesystem::remove_all(spool_, ec);
    }
    bool ok() const { return !spool_.empty(); }
    bool needsSize() const override { return false; }

    bool add(const EntryInfo& entry, DataSource* data) override {
        if (entry.isDir()) return true;  // a cabinet keeps folders only as parts of file names
        if (entry.isSymlink() || entry.isHardlink() || !data) {
            error_ = "a cabinet cannot hold links: " + entry.name;
            return false;
        }
        const auto file = spool_ / std::to_string(files_.size());
        std::ofstream o(file, std::ios::binary);
        std::vector<char> buf(64 * 1024);
        for (;;) {
            const long n = readUnlessAborted(*data, buf.data(), buf.size(), error_);
            if (n < 0) return false;
            if (n == 0) break;
            if (!o.write(buf.data(), n)) {
                error_ = "cannot write the file (disk full?)";
                return false;
            }
        }
        o.close();
        if (!o) {
            error_ = "cannot write the file (disk full?)";
            return false;
        }
        std::string name = entry.name;
        for (auto& c : name)
            if (c == '/') c = '\\';
        files_.push_back({name, file, entry.mtime});
        return true;
    }

    bool finish() override {
        if (!ok()) return false;
        GCabCabinet* cab = gcab_cabinet_new();
        GCabFolder* folder = gcab_folder_new(GCAB_COMPRESSION_MSZIP);
        GError* err = nullptr;
        bool good = true;
        for (const auto& f : files_) {
            GFile* gf = g_file_new_for_path(f.path.c_str());
            GCabFile* cf = gcab_file_new_with_file(f.name.c_str(), gf);
            GDateTime* dt = g_date_time_new_from_unix_local(f.mtime);
            if (dt) {
                gcab_file_set_date_time(cf, dt);
                g_date_time_unref(dt);
            }
            good = gcab_folder_add_file(folder, cf, FALSE, nullptr, &err);
            g_object_unref(cf);
            g_object_unref(gf);
            if (!good) break;
        }
        if (good) good = gcab_cabinet_add_folder(cab, folder, &err);
        if (good && abortRequested()) {
            good = false;
            error_ = "Operation aborted";
        }
        if (good) {
            GFile* of = g_file_new_for_path(out_.c_str());
            GFileOutputStream* os = g_file_replace(of, nullptr, FALSE, G_FILE_CREATE_NONE, nullptr, &err);
            if (os) {
                good = gcab_cabinet_write_simple(cab, G_OUTPUT_STREAM(os), nullptr, nullptr, nullptr, &err);
                if (!g_output_stream_close(G_OUTPUT_STREAM(os), nullptr, good ? &err : nullptr)) good = false;
                g_object_unref(os);
            } else {
                good = false;
            }
            g_object_unref(of);
        }
        if (!good && err) error_ = err->message;
        else if (!good && error_.empty()) error_ = "cannot write the cabinet";
        if (err) g_error_free(err);
        g_object_unref(folder);
        g_object_unref(cab);
        return good;
    }
    std::string error() const override { return error_; }

private:
    struct Spooled {
        std::string name;
        std::filesystem::path path;
        std::time_t mtime;
    };
    std::filesystem::path out_;
    std::filesystem::path spool_;
    std::vector<Spooled> files_;
    std::string error_;
};

class CabHandler : public HandlerBase {
public:
    CabHandler() : HandlerBase("cab", {"cab"}, kCanRead | kCanCreate | kCanAdd | kCanDelete) {}
    int bid(const std::uint8_t* head, std::size_t size, const std::filesystem::path&) const override {
        return startsWith(head, size, "MSCF\0\0\0\0", marks::cab::kSignatureSize) ? bids::kSignature : bids::kNone;
    }
    std::unique_ptr<ArchiveReader> openReader(const std::filesystem::path& path, const std::string&,
                                              std::string* error) const override {
        // One cabinet of a set (flags: a previous or a next cabinet): libarchive reads
        // one cabinet alone, 7z follows the set.
        const auto head = readHead(path, marks::cab::kFlags + 2);
        const bool ofASet = head.size() > marks::cab::kFlags && (head[marks::cab::kFlags] & 0x03) != 0;
        if (ofASet && !sevenZipProgram().empty()) {
            std::string why;
            if (auto r = openThroughSevenZip(path, {}, "cab", &why)) return r;
        }
        return readThroughLibarchive(
            path, [](struct archive* a) { archive_read_support_format_cab(a); }, std::string(), kKindCab, "cab", ofASet,
            error);
    }
    std::unique_ptr<ArchiveWriter> openWriter(const std::filesystem::path& path, const WriteOptions&,
                                              std::string* error) const override {
        return startWriter<CabWriter>(path, "cannot create a work folder beside the cabinet", error);
    }
};

}  // namespace

const FormatHandler& cabHandler() { return onlyInstance<CabHandler>(); }

}  // namespace quarva::formatlib
