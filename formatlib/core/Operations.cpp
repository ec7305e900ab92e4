// The operations that write archives: add, delete, convert and encode. Each new
// file is written through a temporary one and replaces the old only when complete.

#include "formatlib/core/Operations.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <set>

#include "formatlib/core/Abort.h"
#include "formatlib/core/Gathering.h"
#include "formatlib/core/Names.h"
#include "formatlib/core/OperationSupport.h"
#include "formatlib/formats/LibarchiveWriter.h"
#include "formatlib/formats/TarStream.h"
#include "formatlib/formats/UuCodec.h"

namespace quarva::formatlib {
namespace fs = std::filesystem;

namespace {

// Copies `src` to a temporary file so that a writer that needs sizes gets one.
class SpooledSource : public DataSource {
public:
    SpooledSource(DataSource& src, const fs::path& folder) {
        std::string tmpl = (folder / ".qzspool-XXXXXX").string();
        const int fd = mkstemp(tmpl.data());
        if (fd < 0) {
            error_ = "cannot create a temporary file";
            return;
        }
        ::close(fd);
        path_ = tmpl;
        std::ofstream out(path_, std::ios::binary);
        std::vector<char> buf(64 * 1024);
        for (;;) {
            if (abortRequested()) {
                error_ = kAborted;
                return;
            }
            long n = src.read(buf.data(), buf.size());
            if (n < 0) {
                error_ = src.error();
                return;
            }
            if (n == 0) break;
            out.write(buf.data(), n);
            size_ += static_cast<std::uint64_t>(n);
        }
        out.close();
        if (!out) {
            error_ = "cannot write a temporary file (disk full?)";
            return;
        }
        in_.open(path_, std::ios::binary);
        ok_ = static_cast<bool>(in_);
    }
    ~SpooledSource() override {
        if (!path_.empty()) unlink(path_.c_str());
    }
    bool ok() const { return ok_; }
    std::uint64_t size() const { return size_; }
    long read(void* buffer, std::size_t size) override {
        in_.read(static_cast<char*>(buffer), static_cast<std::streamsize>(size));
        if (in_.bad()) return -1;
        return static_cast<long>(in_.gcount());
    }
    std::string error() const override { return error_; }

private:
    std::string path_;
    std::ifstream in_;
    std::uint64_t size_ = 0;
    bool ok_ = false;
    std::string error_;
};

// Adds one entry to a writer, spooling data of unknown size when the writer needs sizes.
bool addEntry(ArchiveWriter& w, const EntryInfo& e, DataSource* data, const fs::path& spoolFolder, std::string* why) {
    if (data && !e.isDir() && !e.isSymlink() && !e.isHardlink() && !e.sizeKnown && w.needsSize()) {
        SpooledSource spool(*data, spoolFolder);
        if (!spool.ok()) {
            *why = spool.error();
            return false;
        }
        EntryInfo sized = e;
        sized.sizeKnown = true;
        sized.size = spool.size();
        if (!w.add(sized, &spool)) {
            *why = w.error();
            return false;
        }
        return true;
    }
    if (!w.add(e, (e.isDir() || e.isSymlink() || e.isHardlink()) ? nullptr : data)) {
        *why = w.error();
        return false;
    }
    return true;
}

// The name an entry of an existing archive is matched by: its safe form when it
// has one ("./a/" is "a"), else as stored.
std::string matchName(const std::string& stored) {
    std::string n = stored;
    while (n.size() > 1 && n.back() == '/') n.pop_back();
    const auto safe = safeRelativePath(n);
    return safe ? *safe : n;
}

// How copyEntries copies.
struct CopyPlan {
    std::function<bool(const std::string&)> drop;  // entries left out on purpose
    std::vector<std::string>* dropped = nullptr;   // gets their names
    bool reportEach = false;                       // a processed record for every file copied
    // A rewrite of an archive keeps every entry it does not change, names as stored;
    // one it cannot keep fails the operation. A conversion leaves out, with an error
    // record, unsafe names and entries the target cannot hold.
    bool carryAll = false;
};

// Copies the entries of `r` into `w` as `plan` says; a failed write ends the copy
// (the target is then discarded by the caller).
bool copyEntries(ArchiveReader& r, ArchiveWriter& w, const FormatHandler& target, const std::string& source,
                 const fs::path& spoolFolder, const CopyPlan& plan, Reporter& rep) {
    EntryLoop how;
    how.rep = &rep;
    how.asFailure = true;
    how.goOnAfterDamage = false;
    std::set<std::string> copiedFiles;  // what a hard link of a conversion may name
    const LoopEnd end = forEachEntry(r, source, how, [&](EntryInfo& e) {
        std::string why;
        std::string name;
        if (plan.carryAll) {
            name = matchName(e.name);
        } else {
            const auto safe = safeRelativePath(e.name, &why);
            if (!safe) {
                rep.error(e.name, e.name, "Unsafe name left out", why);
                return true;
            }
            name = *safe;
            e.name = name;
        }
        if (plan.drop && plan.drop(name)) {
            if (plan.dropped) plan.dropped->push_back(name);
            return true;
        }
        const char* leftOut = nullptr;
        std::string reason;
        if (e.isSpecial()) {
            leftOut = "Special file left out";
            reason = "devices, pipes and sockets are not copied";
        } else if ((e.isSymlink() && !writerHoldsLinks(target)) ||
                   (e.isHardlink() && std::string(target.name()).rfind("tar", 0) != 0)) {
            leftOut = "Link left out";
            reason = std::string(target.name()) + " archives cannot hold this link";
        } else if (!plan.carryAll && e.isSymlink() && !platform::linkTargetInside(name, e.linkTarget)) {
            leftOut = "Unsafe link left out";
            reason = "the link points outside the archive's folder: " + e.linkTarget;
        } else if (!plan.carryAll && e.isHardlink()) {
            const auto linked = safeRelativePath(e.linkTarget);
            if (!linked || !copiedFiles.count(*linked)) {
                leftOut = "Unsafe link left out";
                reason = "the hard link's target is not in the new archive: " + e.linkTarget;
            } else {
                e.linkTarget = *linked;
            }
        }
        if (leftOut && plan.carryAll) {
            rep.failure(name, source, "Cannot keep the entry", reason);
            return false;
        }
        if (leftOut) {
            rep.error(e.name, e.name, leftOut, reason);
            return true;
        }
        if (!addEntry(w, e, &r, spoolFolder, &why)) {
            rep.failure(name, name, plan.carryAll ? "Cannot keep the entry" : "Cannot copy the entry", why);
            return false;
        }
        if (e.isFile()) copiedFiles.insert(name);
        if (plan.reportEach && !e.isDir()) rep.processed(e);
        return true;
    });
    return end == LoopEnd::Done;
}

const FormatHandler* handlerForCode(int formatCode) {
    switch (formatCode) {
    case kFormatBlakHole: return &blakHoleHandler();
    case kFormatCab: return &cabHandler();
    case kFormatLha: return &lhaHandler();
    case kFormatZip: return &zipHandler();
    case kFormatTar: return &tarHandler();
    case kFormatTarGz: return &tarGzHandler();
    case kFormatJar: return &jarHandler();
    default: return nullptr;
    }
}

// Adds the prepared files to `w`, their bytes counted as progress after `oldBytes`
// (the old archive's, copied before). A file that can no longer be read fails the
// operation: the archive it would have changed stays as it was.
bool addPrepared(ArchiveWriter& w, const std::vector<Prepared>& items, const std::string& archive,
                 std::uint64_t oldBytes, std::vector<EntryInfo>& added, Reporter& rep) {
    rep.onProgress(oldBytes, 0);
    for (const auto& p : items) {
        if (abortRequested()) {
            rep.failure("", archive, kAborted);
            return false;
        }
        EntryInfo e = p.info;
        std::unique_ptr<FileSource> src;
        if (!e.isDir() && !e.isSymlink()) {
            src = std::make_unique<FileSource>(p.item.host, false);
            if (!src->ok()) {
                rep.failure(e.name, p.item.host.string(), "Cannot open the file",
                            src->error() + "; the archive was left as it was");
                return false;
            }
            e.size = e.packedSize = src->size();
            e.mtime = src->mtime();
        }
        std::optional<CountedSource> counted;
        if (src) counted.emplace(*src, rep);
        std::string why;
        if (!addEntry(w, e, counted ? &*counted : nullptr, folderOf(archive), &why)) {
            rep.failure(e.name, p.item.host.string(), "Cannot add the file", why);
            return false;
        }
        added.push_back(e);
    }
    return true;
}

bool isTarWriter(const FormatHandler* h) { return h == &tarHandler() || h == &tarGzHandler(); }
bool isTarFamily(const FormatHandler* h) { return h && h->tarFilter() >= 0; }
// The compression a tar handler reads through.
int tarFilter(const FormatHandler* h) { return isTarFamily(h) ? h->tarFilter() : ARCHIVE_FILTER_NONE; }

// Copies the stored entries of a tar to `sink` block for block, leaving out those
// `drop` selects. A kept hard link whose entry was left out fails the copy: the
// link would have no data to point at.
bool copyTarEntries(RawTarReader& r, TarSink& sink, const std::string& source,
                    const std::function<bool(const std::string&)>& drop, std::vector<std::string>* dropped,
                    std::vector<EntryInfo>* copied, Reporter& rep) {
    std::set<std::string> left;
    RawTarEntry e;
    for (;;) {
        if (abortRequested()) {
            rep.failure("", source, kAborted);
            return false;
        }
        const int n = r.next(e);
        if (n == 0) return true;
        if (n < 0) {
            rep.failure("", source, "Damaged archive", r.error());
            return false;
        }
        const std::string name = matchName(e.name);
        if (!e.standalone && drop && drop(name)) {
            left.insert(name);
            if (dropped) dropped->push_back(name);
            continue;
        }
        if (e.isHardlink() && left.count(matchName(e.linkTarget))) {
            rep.failure(matchName(e.linkTarget), source, "Cannot leave out an entry that holds a hard link's data",
                        "the hard link " + name + " points at it; include the link too");
            return false;
        }
        if (!sink.write(e.headers.data(), e.headers.size()) || !r.copyData(&sink)) {
            rep.failure(name, source, "Cannot keep the entry", sink.error().empty() ? r.error() : sink.error());
            return false;
        }
        if (copied && !e.standalone) {
            EntryInfo info;
            info.name = e.name;
            if (e.isDir()) info.kind = EntryKind::Folder;
            info.size = info.packedSize = e.size;
            info.mtime = static_cast<std::time_t>(e.mtime);
            info.mode = e.mode;
            info.method = "tar";
            copied->push_back(info);
        }
    }
}

// Writes a tar (gzip-compressed when asked) at `temp`: first what `copyOld` copies,
// then what `addNew` adds through libarchive, then the end mark.
bool writeTar(const fs::path& temp, bool gzip, const std::string& archive, const std::function<bool(TarSink&)>& copyOld,
              const std::function<bool(ArchiveWriter&)>& addNew, Reporter& rep) {
    const int fd = ::open(temp.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) {
        rep.failure("", archive, "Cannot create the archive", std::strerror(errno));
        return false;
    }
    bool good = true;
    {
        TarSink sink(fd, gzip);
        if (!sink.error().empty()) {
            rep.failure("", archive, "Cannot create the archive", sink.error());
            good = false;
        }
        if (good && copyOld) good = copyOld(sink);
        bool endWritten = false;
        if (good && addNew) {
            LibarchiveWriter w(
                sink, [](struct archive* a) { return archive_write_set_format_pax_restricted(a) == ARCHIVE_OK; }, true);
            if (!w.ok()) {
                rep.failure("", archive, "Cannot create the archive", w.error());
                good = false;
            }
            good = good && addNew(w);
            if (good && !w.finish()) {
                rep.failure("", archive, "Cannot complete the archive", w.error());
                good = false;
            }
            endWritten = true;
        }
        if (good && !sink.finish(!endWritten)) {
            rep.failure("", archive, "Cannot complete the archive", sink.error());
            good = false;
        }
    }
    if (::close(fd) != 0 && good) {
        rep.failure("", archive, "Cannot complete the archive", std::strerror(errno));
        good = false;
    }
    return good;
}

// Copies the entries of the tar `archive` (read through `h`'s compression) as
// stored, leaving out those `drop` selects.
bool keepTarEntries(const std::string& archive, const FormatHandler* h, TarSink& sink,
                    const std::function<bool(const std::string&)>& drop, std::vector<std::string>* dropped,
                    Reporter& rep) {
    RawTarReader r(archive, tarFilter(h));
    if (!r.isTar()) {
        rep.failure("", archive, "Cannot open the archive", r.error());
        return false;
    }
    return copyTarEntries(r, sink, archive, drop, dropped, nullptr, rep);
}

// Writes an archive of `h` at `temp`: `fill` adds the entries, then the writer completes it.
bool writeArchive(const FormatHandler& h, const fs::path& temp, const WriteOptions& options, const std::string& target,
                  Reporter& rep, const std::function<bool(ArchiveWriter&)>& fill) {
    std::string why;
    auto w = h.openWriter(temp, options, &why);
    if (!w) {
        rep.failure("", target, "Cannot create the archive", why);
        return false;
    }
    if (!fill(*w)) return false;
    if (!w->finish()) {
        rep.failure("", target, "Cannot complete the archive", w->error());
        return false;
    }
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------------

void compressFiles(const std::string& archive, const std::string& files, const AddOptions& options, Reporter& rep) {
    if (archive.empty()) {
        rep.failure("", archive, "No archive name given");
        return;
    }
    const std::vector<NewItem> unique = gatherNewItems(archive, files, options, rep);
    if (unique.empty()) {
        rep.failure("", archive, "No files to add");
        return;
    }

    const bool exists = fileExists(archive) && fs::file_size(archive) > 0;
    const FormatHandler* h = exists ? handlerForFile(archive) : handlerForName(archive);
    if (!h) {
        rep.failure("", archive, "Creation of archive of this type not supported", "unknown extension");
        return;
    }
    if (!exists && h == &gzHandler()) {
        // A plain gz holds one file; several files or a folder make a tar.gz.
        std::size_t filesCount = 0;
        bool anyDir = false;
        for (auto& it : unique) {
            filesCount += !it.isDir;
            anyDir |= it.isDir;
        }
        if (filesCount != 1 || anyDir) h = &tarGzHandler();
    }
    const unsigned need = exists ? kCanAdd : kCanCreate;
    if (!(h->capabilities() & need)) {
        std::string why = h->unsupportedReason();
        if (why.empty())
            why = exists ? std::string("files cannot be added to ") + h->name() + " archives"
                         : std::string(h->name()) + " archives cannot be created";
        rep.failure("", archive, "Cannot add to this archive", why);
        return;
    }
    // Encryption asked for and not possible: refused, never written in the clear.
    if (!options.password.empty() && !(h->capabilities() & kCanEncrypt)) {
        rep.failure("", archive, "Cannot encrypt this archive",
                    std::string(h->name()) + " archives cannot hold encrypted files; nothing was added");
        return;
    }
    WriteOptions writing;
    writing.password = options.password;

    const std::vector<Prepared> prepared = prepareItems(unique, *h, rep);
    if (prepared.empty()) return;  // every file was skipped, each with its error record
    // Progress: the old archive read through, then the new files.
    // (A size that cannot be read only leaves the figure short; it fails nothing.)
    std::error_code sizeEc;
    std::uint64_t oldBytes = exists ? fs::file_size(archive, sizeEc) : 0;
    if (sizeEc) oldBytes = 0;
    std::uint64_t work = oldBytes;
    for (const auto& p : prepared) work += p.info.size;
    rep.setProgressTotal(work);
    // Old entries of these names give way; those of skipped files stay.
    std::set<std::string> replacing;
    for (const auto& p : prepared) replacing.insert(p.item.entry);
    const auto replaced = [&replacing](const std::string& n) { return replacing.count(n) > 0; };

    std::vector<EntryInfo> added;
    bool committed = false;
    if (isTarWriter(h)) {
        // A tar keeps its entries as stored; the new ones follow them.
        committed = writeThroughTemp(
            archive,
            [&](const fs::path& temp) {
                std::function<bool(TarSink&)> copyOld;
                if (exists)
                    copyOld = [&](TarSink& sink) { return keepTarEntries(archive, h, sink, replaced, nullptr, rep); };
                return writeTar(
                    temp, h == &tarGzHandler(), archive, copyOld,
                    [&](ArchiveWriter& w) { return addPrepared(w, prepared, archive, oldBytes, added, rep); }, rep);
            },
            rep);
    } else {
        committed = writeThroughTemp(
            archive,
            [&](const fs::path& temp) {
                return writeArchive(*h, temp, writing, archive, rep, [&](ArchiveWriter& w) {
                    if (exists) {
                        auto r = openArchive(archive, options.password, rep);
                        if (!r ||
                            !copyEntries(*r, w, *h, archive, folderOf(archive), {replaced, nullptr, false, true}, rep))
                            return false;
                    }
                    return addPrepared(w, prepared, archive, oldBytes, added, rep);
                });
            },
            rep);
    }
    if (!committed) return;
    for (const auto& e : added)
        if (!e.isDir()) rep.processed(e);
    if (options.deleteAfter) {
        for (auto it = prepared.rbegin(); it != prepared.rend(); ++it) {
            std::error_code ec;
            fs::remove(it->item.host, ec);  // a folder only when empty now
        }
    }
}

void deleteFiles(const std::string& archive, const std::string& files, Reporter& rep) {
    const FormatHandler* h = nullptr;
    {
        auto probe = openArchive(archive, {}, rep, &h);
        if (!probe) return;
    }
    if (!(h->capabilities() & kCanDelete)) {
        std::string why = h->unsupportedReason();
        rep.failure("", archive, "Cannot delete from this archive",
                    why.empty() ? std::string("entries cannot be deleted from ") + h->name() + " archives" : why);
        return;
    }
    const auto patterns = splitFileList(files);
    if (patterns.empty()) {
        rep.failure("", archive, "No files to delete");
        return;
    }
    const auto drop = [&patterns](const std::string& n) { return selected(patterns, n); };
    std::vector<std::string> removed;
    const auto noneFound = [&]() {
        if (!removed.empty()) return false;
        rep.failure("", archive, "No matches Found.");
        return true;
    };
    bool committed = false;
    if (isTarWriter(h)) {
        committed = writeThroughTemp(
            archive,
            [&](const fs::path& temp) {
                return writeTar(
                    temp, h == &tarGzHandler(), archive,
                    [&](TarSink& sink) {
                        return keepTarEntries(archive, h, sink, drop, &removed, rep) && !noneFound();
                    },
                    nullptr, rep);
            },
            rep);
    } else {
        committed = writeThroughTemp(
            archive,
            [&](const fs::path& temp) {
                auto r = openArchive(archive, {}, rep);
                if (!r) return false;
                return writeArchive(*h, temp, {}, archive, rep, [&](ArchiveWriter& w) {
                    return copyEntries(*r, w, *h, archive, folderOf(archive), {drop, &removed, false, true}, rep) &&
                           !noneFound();
                });
            },
            rep);
    }
    if (!committed) return;
    for (const auto& n : removed) rep.deleted(n);
}

void convertArchive(const std::string& source, const std::string& target, int formatCode, Reporter& rep) {
    const FormatHandler* h = handlerForCode(formatCode);
    if (!h) {
        rep.failure("", target, "Unknown target format", "format code " + std::to_string(formatCode));
        return;
    }
    if (h == &tarHandler() || h == &tarGzHandler()) {
        // A tar whose target is named as a compressed tar this library writes
        // (".tar.xz", ".tar.zst") is compressed so.
        const FormatHandler* named = handlerForName(target);
        if (named && named->tarFilter() > 0 && (named->capabilities() & kCanCreate)) h = named;
    }
    if (!(h->capabilities() & kCanCreate)) {
        rep.failure("", target, "Cannot create this kind of archive", h->unsupportedReason());
        return;
    }
    if (fs::absolute(source).lexically_normal() == fs::absolute(target).lexically_normal()) {
        rep.failure("", target, "The target is the source", "choose another file name");
        return;
    }
    const FormatHandler* from = nullptr;
    auto r = openArchive(source, {}, rep, &from);
    if (!r || !holdsContent(*r, source, rep)) return;
    const auto tarToTar = [&] {
        RawTarReader probe(source, tarFilter(from));
        return probe.isTar() && !probe.emptyTar();
    };
    if (isTarWriter(h) && isTarFamily(from) && tarToTar()) {
        // Tar to tar: every entry as stored.
        r.reset();
        std::vector<EntryInfo> copied;
        const bool made = writeThroughTemp(
            target,
            [&](const fs::path& temp) {
                return writeTar(
                    temp, h == &tarGzHandler(), target,
                    [&](TarSink& sink) {
                        RawTarReader raw(source, tarFilter(from));
                        return copyTarEntries(raw, sink, source, nullptr, nullptr, &copied, rep);
                    },
                    nullptr, rep);
            },
            rep);
        if (made)
            for (const auto& e : copied)
                if (!e.isDir()) rep.processed(e);
        return;
    }
    writeThroughTemp(
        target,
        [&](const fs::path& temp) {
            return writeArchive(*h, temp, {}, target, rep, [&](ArchiveWriter& w) {
                return copyEntries(*r, w, *h, source, folderOf(target), {nullptr, nullptr, true, false}, rep);
            });
        },
        rep);
}

void encodeArchive(const std::string& source, const std::string& target, int method, bool writeTable, Reporter& rep) {
    if (method != kEncodeUU && method != kEncodeXX) {
        rep.error("", target, "Unknown encoding", "method " + std::to_string(method));
        return;
    }
    FileSource in(source);
    if (!in.ok() || !fs::is_regular_file(source)) {
        rep.error("", source, "Archive Not Found", source);
        return;
    }
    const std::string name = filePart(source);
    writeThroughTemp(
        target,
        [&](const fs::path& temp) {
            std::ofstream out(temp, std::ios::binary | std::ios::trunc);
            std::string why;
            if (!encodeText(method == kEncodeUU ? TextCode::UU : TextCode::XX, writeTable, name, 0644, in, out, &why)) {
                rep.error(name, source, "Cannot encode the archive", why);
                return false;
            }
            out.close();
            if (!out) {
                rep.error(name, target, "Cannot write the encoded file", "disk full?");
                return false;
            }
            return true;
        },
        rep);
}

}  // namespace quarva::formatlib
