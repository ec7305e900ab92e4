// The operations that read an archive entry by entry: listing, extracting,
// testing and counting.

#include <sys/stat.h>

#include <set>

#include "formatlib/core/Abort.h"
#include "formatlib/core/Names.h"
#include "formatlib/core/OperationSupport.h"
#include "formatlib/core/Operations.h"
#include "formatlib/core/SafeExtract.h"

namespace quarva::formatlib {
namespace fs = std::filesystem;

void listArchive(const std::string& archive, const std::string& filters, Reporter& rep) {
    auto r = openArchive(archive, {}, rep);
    if (!r) return;
    const auto patterns = splitFileList(filters);
    EntryLoop how;
    how.rep = &rep;
    how.onFirstRead = [&] { rep.kind(r->kind()); };
    forEachEntry(*r, archive, how, [&](EntryInfo& e) {
        if (selected(patterns, e.name)) rep.listed(e);
        return true;
    });
}

void extractFiles(const std::string& archive, const std::string& files, const std::string& destination,
                  const ExtractOptions& options, Reporter& rep) {
    std::error_code ec;
    if (destination.empty()) {
        rep.error("", archive, "No destination folder given");
        return;
    }
    fs::create_directories(destination, ec);
    if (!fs::is_directory(destination, ec)) {
        rep.error("", destination, "Cannot create the destination folder", ec.message());
        return;
    }
    auto r = openArchive(archive, options.password, rep);
    if (!r || !holdsContent(*r, archive, rep)) return;
    const auto patterns = splitFileList(files);
    SafeExtractor out(fs::canonical(destination, ec), options.overwrite, unknownSizeCap(archive));
    EntryLoop how;
    how.rep = &rep;
    forEachEntry(*r, archive, how, [&](EntryInfo& e) {
        if (!selected(patterns, e.name)) return true;
        if (!r->warning().empty()) rep.error(e.name, e.name, "Warning", r->warning());
        std::string why;
        auto safe = safeRelativePath(e.name, &why);
        if (!safe) {
            rep.error(e.name, e.name, "Unsafe name refused", why);
            return true;
        }
        std::string rel = *safe;
        if (!options.useStoredPaths) {
            if (e.isDir()) return true;
            rel = filePart(rel);
            if (e.isHardlink()) {
                rep.error(e.name, e.name, "Hard link not extracted", "stored paths are off");
                return true;
            }
        }
        switch (out.extract(e, rel, &*r)) {
        case SafeExtractor::Result::Written:
            if (!e.isDir()) rep.processed(e);
            return true;
        case SafeExtractor::Result::Skipped: rep.tested(e.name, false); return true;
        case SafeExtractor::Result::Aborted:
            rep.error(e.name, e.name, "Cannot extract the file", out.cause());
            return false;
        case SafeExtractor::Result::Failed: break;
        }
        std::string cause = out.cause();
        if (e.encrypted && options.password.empty()) cause = "the entry is encrypted: a password is needed";
        rep.error(e.name, e.name, "Cannot extract the file", cause);
        // A fatal error in the archive ends it: it is not read again.
        if (!r->canGoOn()) {
            if (r->error() != cause) rep.error("", archive, "Damaged archive", r->error());
            return false;
        }
        return true;
    });
}

void testArchive(const std::string& archive, const std::string& files, Reporter& rep, const std::string& password) {
    auto r = openArchive(archive, password, rep);
    if (!r) return;
    const auto patterns = splitFileList(files);
    std::vector<char> buf(64 * 1024);
    const std::uint64_t cap = unknownSizeCap(archive);
    std::set<std::string> goodFiles;  // files read whole so far: what a hard link can stand for
    EntryLoop how;
    how.rep = &rep;
    forEachEntry(*r, archive, how, [&](EntryInfo& e) {
        const bool chosen = !e.isDir() && selected(patterns, e.name);
        if (chosen && !r->warning().empty()) rep.error(e.name, e.name, "Warning", r->warning());
        if (!chosen && e.isFile()) {
            goodFiles.insert(e.name);  // not tested now: a link to it stands for a file that is there
            return true;
        }
        if (!chosen) return true;
        if (!r->holdsContent()) {
            rep.tested(e.name, true);  // a described entry: nothing to decode
            return true;
        }
        if (e.isHardlink()) {
            // A hard link holds no data of its own: it is good when what it names is.
            if (goodFiles.count(e.linkTarget)) {
                rep.tested(e.name, true);
            } else {
                rep.error(e.name, e.name, "Testing Failed",
                          "the hard link's target is not a good file before it in the archive: " + e.linkTarget);
                rep.tested(e.name, false);
            }
            return true;
        }
        std::uint64_t total = 0;
        std::string cause;
        for (;;) {
            if (abortRequested()) {
                rep.error("", archive, kAborted);
                return false;
            }
            const long got = r->read(buf.data(), buf.size());
            if (got < 0) {
                cause = r->error();
                break;
            }
            if (got == 0) break;
            total += static_cast<std::uint64_t>(got);
            if (total > (e.sizeKnown ? e.size : cap)) {
                cause = "the data is longer than the archive declares";
                break;
            }
        }
        if (cause.empty() && e.sizeKnown && !e.isSymlink() && total != e.size)
            cause = "the data is shorter than the archive declares";
        if (!cause.empty()) {
            if (e.encrypted && password.empty()) cause = "the entry is encrypted: a password is needed";
            rep.error(e.name, e.name, "Testing Failed", cause);
            rep.tested(e.name, false);
            return r->canGoOn();  // the archive is not read again after a fatal error
        }
        if (e.isFile()) goodFiles.insert(e.name);
        rep.tested(e.name, true);
        return true;
    });
}

int fileCount(const std::string& archive) {
    struct stat st {};
    if (stat(archive.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    const FormatHandler* h = handlerForFile(archive);
    if (!h) return -1;
    // Only content decides: a file no format bids for is no archive, whatever its name.
    const auto head = readHead(archive);
    if (h->bid(head.data(), head.size(), archive) <= 0) return -1;
    // Formats read by an outside program are counted from its list, never unpacked.
    if (const auto quick = h->quickCount(archive)) return *quick;
    std::string why;
    auto r = h->openReader(archive, {}, &why);
    if (!r) return -1;
    int count = 0;
    EntryLoop how;
    how.watchAbort = false;
    how.goOnAfterDamage = false;
    const LoopEnd end = forEachEntry(*r, archive, how, [&](EntryInfo& e) {
        if (!e.isDir()) ++count;
        return true;
    });
    return end == LoopEnd::Damaged && count == 0 ? -1 : count;
}

}  // namespace quarva::formatlib
