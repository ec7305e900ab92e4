// qzip: a scriptable front end over the zip engine and the format library.
//
//   qzip l [--json] ARCHIVE [PATTERN...]
//   qzip check [--json] ARCHIVE
//   qzip a|u|f ARCHIVE [-r] [-p] [-0..-9] [--password PW] [--aes] [--hidden] PATH...
//   qzip x ARCHIVE [-d DEST] [-o] [-j] [--password PW] [PATTERN...]
//   qzip t ARCHIVE [--password PW] [PATTERN...]
//   qzip d ARCHIVE PATTERN...
//   qzip r ARCHIVE [--aggressive]
//   qzip c ARCHIVE [--set TEXT]
// -O CHARSET / --names-charset=CHARSET (anywhere): zip names stored without UTF-8
// are read in that character set.
// Exit status: 0 all went well, 1 some entries were skipped, 2 failure; for check
// 0 clean, 1 warnings, 2 dangerous or damaged.

#include "engine/LegacyNames.h"
#include "engine/NameList.h"
#include "engine/ZipEngine.h"
#include "engine/ZipMethods.h"
#include "engine/ZipReader.h"
#include "formatlib/cli/FormatCli.h"
#include "formatlib/formats/Format.h"
#include "platform/FileSystem.h"
#include "platform/Interrupt.h"
#include "tools/qzip/ArchiveKind.h"
#include "tools/qzip/Output.h"
#include "tools/qzip/Progress.h"
#include "tools/qzip/SafetyCheck.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

using namespace quarva::engine;
using namespace quarva::qzip;

namespace {

const char* const kUsage =
    "usage:\n"
    "  qzip l [--json] ARCHIVE [PATTERN...]\n"
    "  qzip check [--json] ARCHIVE\n"
    "  qzip a|u|f ARCHIVE [-r] [-p] [-0..-9] [--password PW] [--aes] [--hidden] PATH...\n"
    "  qzip x ARCHIVE [-d DEST] [-o] [-j] [--password PW] [PATTERN...]\n"
    "  qzip t ARCHIVE [--password PW] [PATTERN...]\n"
    "  qzip d ARCHIVE PATTERN...\n"
    "  qzip r ARCHIVE [--aggressive]\n"
    "  qzip c ARCHIVE [--set TEXT]\n"
    "  qzip convert SOURCE TARGET [cab|lzh|zip|tar|gz|jar|bh]\n"
    "  qzip sfx ARCHIVE PROGRAM [STUBFOLDER]\n"
    "  qzip encode ARCHIVE TARGET [uu|xx] [--table]\n"
    "  qzip --help | --version\n"
    "l list (the same columns for every format; --json: an array with ISO 8601 and Unix times),\n"
    "check report what extraction would refuse or what deserves a look (links outside, climbing\n"
    "names, bombs, ...), a add, u update, f freshen, x extract, t test, d delete, r repair,\n"
    "c show or set the comment.\n"
    "-r recurse into folders, -p keep each path as given (an absolute one without its root),\n"
    "-0 store .. -9 strongest, -o overwrite, -j no stored folders, --aes AES-256,\n"
    "--hidden include hidden files; --quiet (anywhere) silences the per-file lines and the\n"
    "progress line (shown on a terminal for work that takes longer than a second).\n"
    "-O CHARSET, --names-charset=CHARSET (anywhere): read zip names stored without UTF-8 in this\n"
    "character set (CP866, CP1251, CP850, GBK, BIG5, EUC-KR, CP932, ISO-8859-7, any name\n"
    "'iconv -l' knows); a name not valid in it is read as without the option.\n"
    "Exit status: 0 all well, 1 some entries skipped, 2 failure;\n"
    "for check: 0 clean, 1 warnings, 2 dangerous or damaged.\n";

void usage() { std::fputs(kUsage, stderr); }

const char* const kNoDirectory = "no central directory found (the zip is damaged, or was cut off before its end)";

ListedEntry listedFromRecord(const EntryRecord& r) {
    ListedEntry e;
    e.name = withSlashes(r.name);
    e.isDir = !e.name.empty() && e.name.back() == '/';
    e.size = r.size64;
    e.packed = r.packedSize64;
    e.mtime = r.mtime;
    e.crc = std::uint32_t(r.crc);
    e.method = methodName(r.method);
    e.encrypted = r.encryption != 0;
    if (r.encryption) e.encryption = encryptionName(r.encryption);
    return e;
}

class Printer : public ZipEngineEvents {
public:
    Printer(char command, bool quiet, Listing* listing, ProgressLine& progress)
        : command_(command), quiet_(quiet), listing_(listing), progress_(progress) {}
    std::size_t skipped = 0;
    std::string unsupported;  // methods and encryptions met that cannot be decoded
    std::size_t unsupportedCount = 0;

    void onListed(const EntryRecord& r) override {
        if (listing_) listing_->add(listedFromRecord(r));
    }
    void onProgress(const EntryRecord& r) override { progress_.update(done_ + std::uint64_t(std::max(r.done, 0))); }
    void onProcessed(const EntryRecord& r) override { finished(r, "File : %s : OK\n"); }
    void onTested(const EntryRecord& r) override { finished(r, "Testing  : %s : OK\n"); }
    void onDeleted(const std::string& name) override { line("Deleted : %s\n", name); }
    void onStarting(const EntryRecord& r) override { starting_ = r; }
    void onSkipped(const std::string& name, std::int16_t reason) override {
        ++skipped;
        std::string why = std::string(" (") + skipReasonText(reason);
        // An entry the engine cannot decode: name what it would need.
        if (name == starting_.name) {
            std::string what;
            if (reason == std::int16_t(SkipReason::UnsupportedMethod))
                what = methodTitle(std::uint16_t(starting_.method));
            else if (reason == std::int16_t(SkipReason::UnsupportedEncryption))
                what = starting_.encryption == 5 ? "strong encryption" : encryptionName(starting_.encryption);
            if (!what.empty()) {
                why += ": " + what;
                if (unsupported.find(what) == std::string::npos)
                    unsupported += (unsupported.empty() ? "" : ", ") + what;
                ++unsupportedCount;
            }
        }
        why += ")\n";
        switch (command_) {
        case 't': say("Testing : %s : Error" + why, name); break;
        case 'a':
        case 'u':
        case 'f': say("Skiping File : %s" + why, name); break;
        default: say("File : %s : Skipped" + why, name); break;
        }
    }
    void onPasswordRequest(const std::string&, std::string&, std::int16_t&) override {
        // No prompt in scripts: the entry is skipped with its reason.
    }

private:
    void finished(const EntryRecord& r, const char* format) {
        done_ += r.size64;
        line(format, r.name);
        progress_.update(done_);
    }
    void line(const char* format, const std::string& name) {
        if (!quiet_) say(format, name);
    }
    void say(const std::string& format, const std::string& name) {
        progress_.clear();
        std::printf(format.c_str(), printableName(withSlashes(name)).c_str());
        std::fflush(stdout);
    }

    char command_;
    bool quiet_;
    Listing* listing_;
    ProgressLine& progress_;
    std::uint64_t done_ = 0;
    EntryRecord starting_;  // the entry being handled
};

std::string patternLines(const std::vector<std::string>& patterns) {
    std::string s;
    for (const auto& p : patterns) s += p + "\r\n";
    return s;
}

int interrupted(const std::string& archive) {
    std::fprintf(stderr, "qzip: interrupted; %s was left as it was\n", archive.c_str());
    return 128 + quarva::platform::interruptSignal();
}

// The format library's byte progress on the progress line.
class LibraryProgress : public quarva::formatlib::cli::ProgressView {
public:
    explicit LibraryProgress(ProgressLine& line) : line_(line) {}
    void update(std::uint64_t done, std::uint64_t total) override {
        line_.setTotal(total);
        line_.update(done);
    }
    void clear() override { line_.clear(); }

private:
    ProgressLine& line_;
};

// Runs the format library's command-line front; 0, 1 or 2 as qzip's own commands.
int runFormatLibrary(const std::vector<std::string>& args, const std::string& archive, bool quiet) {
    ProgressLine line(!quiet, 0);
    LibraryProgress view(line);
    const int rc = quarva::formatlib::cli::run(args, &view, printableName);
    line.finish();
    if (quarva::platform::interruptRequested()) return interrupted(archive);
    return rc == 0 ? 0 : rc == 1 ? 1 : 2;
}

// Lists an archive of any other format through the format library's readers, in
// the same columns as a zip.
int listOther(const std::string& archive, const std::vector<std::string>& patterns, const std::string& password,
              bool json) {
    namespace fl = quarva::formatlib;
    std::error_code ec;
    if (!std::filesystem::exists(archive, ec)) {
        std::fprintf(stderr, "qzip: error 100: Archive not found: %s\n", archive.c_str());
        return 2;
    }
    const fl::FormatHandler* handler = fl::handlerForFile(archive);
    if (!handler) {
        std::fprintf(stderr, "qzip: %s: not an archive; found: %s\n", archive.c_str(),
                     fl::describeContent(archive).c_str());
        return 2;
    }
    std::string error;
    auto reader = handler->openReader(archive, password, &error);
    if (!reader) {
        std::fprintf(stderr, "qzip: %s: %s\n", archive.c_str(), error.c_str());
        return 2;
    }
    const NameList names(patternLines(patterns));
    Listing listing(stdout, json);
    int status = 0;
    for (;;) {
        fl::EntryInfo info;
        const int r = reader->next(info);
        if (r == 0) break;
        if (r < 0) {
            std::fprintf(stderr, "qzip: %s: %s\n", archive.c_str(), reader->error().c_str());
            status = 2;
            if (!reader->canGoOn()) break;
            continue;
        }
        if (!names.matches(info.name)) continue;
        ListedEntry e;
        e.name = info.name;
        e.isDir = info.isDir();
        if (info.sizeKnown) e.size = info.size;
        // Readers that cannot tell the packed size give the size itself.
        if (info.sizeKnown && info.packedSize != info.size) e.packed = info.packedSize;
        if (info.mtime) e.mtime = info.mtime;
        e.method = info.method;
        e.encrypted = info.encrypted;
        listing.add(e);
    }
    listing.finish();
    if (quarva::platform::interruptRequested()) return interrupted(archive);
    return status;
}

// Bytes a test or an extraction will write: the selected entries' sizes.
std::uint64_t bytesToRead(const std::string& archive, const std::vector<std::string>& patterns,
                          const std::string& namesCharset) {
    InputFile f;
    ZipDirectory dir;
    if (f.open(archive) != 0 || readDirectory(f, dir, true, namesCharset) != 0) return 0;
    const NameList names(patternLines(patterns));
    std::uint64_t total = 0;
    for (const auto& e : dir.entries)
        if (names.matches(e.name)) total += e.size;
    return total;
}

// Bytes an add will read: the files named, and with `recurse` those below the folders.
std::uint64_t bytesToAdd(const std::vector<std::string>& paths, bool recurse) {
    namespace fs = std::filesystem;
    std::uint64_t total = 0;
    std::error_code ec;
    for (const auto& p : paths) {
        if (fs::is_regular_file(p, ec)) total += fs::file_size(p, ec);
        else if (recurse && fs::is_directory(p, ec))
            for (auto it = fs::recursive_directory_iterator(p, fs::directory_options::skip_permission_denied, ec);
                 !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
                if (it->is_regular_file(ec)) total += it->file_size(ec);
    }
    return total;
}

// True (and said) when `path` is there but no regular file: a pipe or a device
// would be waited on for ever, or read only once.
bool notAFile(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec) || std::filesystem::is_regular_file(path, ec)) return false;
    std::fprintf(stderr, "qzip: %s: not a regular file\n", path.c_str());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // Ctrl-C, SIGTERM and SIGHUP stop the running command between two blocks; its
    // temporary files go with it (a second signal ends at once, still removing them).
    quarva::platform::installInterruptHandlers();
    std::vector<std::string> args(argv + 1, argv + argc);
    bool quiet = false, charsetGiven = false;
    std::string namesCharset;
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--quiet" || a == "-q") {
            quiet = true;
        } else if (a == "-O" || a == "--names-charset") {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "qzip: %s needs a value\n", a.c_str());
                return 2;
            }
            namesCharset = args[++i];
            charsetGiven = true;
        } else if (a.starts_with("--names-charset=")) {
            namesCharset = a.substr(a.find('=') + 1);
            charsetGiven = true;
        } else {
            rest.push_back(a);
        }
    }
    if (charsetGiven && (namesCharset.empty() || !knownCharset(namesCharset))) {
        std::fprintf(stderr,
                     "qzip: unknown character set for names: '%s' ('iconv -l' lists the known ones; "
                     "sets that do not read ASCII as ASCII cannot name files)\n",
                     namesCharset.c_str());
        return 2;
    }
    if (rest.size() == 1 && (rest[0] == "--help" || rest[0] == "-h")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (rest.size() == 1 && rest[0] == "--version") {
        std::printf("qzip (Quarva.Zip Suite) %s\n", QZIP_VERSION);
        return 0;
    }
    // Spanned sets are built and other programs' archives unpacked in the suite's
    // private temporary folder: without one that can be used, nothing is done.
    if (!rest.empty() && quarva::platform::tempFolder().empty()) {
        std::fprintf(stderr, "qzip: %s\n", quarva::platform::tempFolderProblem().c_str());
        return 2;
    }
    if (!rest.empty() && (rest[0] == "convert" || rest[0] == "sfx" || rest[0] == "encode")) {
        // Conversions, self-extractors and encodings are the format library's work.
        if (rest.size() > 1 && notAFile(rest[1])) return 2;
        if (quiet) rest.push_back("--quiet");
        return runFormatLibrary(rest, rest.size() > 2 ? rest[2] : "", quiet);
    }
    if (!rest.empty() && rest[0] == "check") {
        bool json = false;
        std::string archive;
        for (std::size_t i = 1; i < rest.size(); ++i) {
            if (rest[i] == "--json") json = true;
            else if (archive.empty()) archive = rest[i];
            else archive.clear(), i = rest.size();
        }
        if (archive.empty()) {
            usage();
            return 2;
        }
        std::error_code ec;
        if (!std::filesystem::is_regular_file(archive, ec)) {
            std::fprintf(stderr, "qzip: error 100: Archive not found: %s\n", archive.c_str());
            return 2;
        }
        // The reader that extraction would use (the format library's readers are built in).
        const bool zip = archiveKind(archive) == ArchiveKind::Zip;
        const ZipReading reading = zip ? zipReading(archive) : ZipReading::Engine;
        SafetyReport report = checkArchive(archive, zip && reading == ZipReading::Engine, namesCharset);
        if (reading == ZipReading::LocalHeaders)
            report.findings.push_back({Finding::Level::Dangerous, "damaged", "",
                                       std::string(kNoDirectory) + "; its entries were read by their local headers"});
        printReport(report, archive, json);
        return report.verdict();
    }
    if (rest.size() < 2 || rest[0].size() != 1 || std::strchr("lauf xtdrc", rest[0][0]) == nullptr || rest[0] == " ") {
        usage();
        return 2;
    }
    char cmd = rest[0][0];
    std::string archive;
    std::vector<std::string> operands;
    bool json = false, recurse = false, paths = false, aes = false, hidden = false, overwrite = false, junk = false,
         aggressive = false, setComment = false;
    int level = 6;
    std::string password, dest = ".", commentText;
    for (std::size_t i = 1; i < rest.size(); ++i) {
        const std::string& a = rest[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= rest.size()) {
                std::fprintf(stderr, "qzip: %s needs a value\n", a.c_str());
                std::exit(2);
            }
            out = rest[++i];
        };
        if (a == "--json" && cmd == 'l') json = true;
        else if (a == "-r") recurse = true;
        else if (a == "-p") paths = true;
        else if (a.size() == 2 && a[0] == '-' && a[1] >= '0' && a[1] <= '9') level = a[1] - '0';
        else if (a == "--password") value(password);
        else if (a == "--aes") aes = true;
        else if (a == "--hidden") hidden = true;
        else if (a == "-d" && cmd == 'x') value(dest);
        else if (a == "-o") overwrite = true;
        else if (a == "-j") junk = true;
        else if (a == "--aggressive") aggressive = true;
        else if (a == "--set") {
            value(commentText);
            setComment = true;
        } else if (a.size() > 1 && a[0] == '-' && a != "-") {
            std::fprintf(stderr, "qzip: unknown option %s\n", a.c_str());
            usage();
            return 2;
        } else if (archive.empty()) {
            archive = a;  // the first operand, wherever the options are
        } else {
            operands.push_back(a);
        }
    }
    if (archive.empty()) {
        usage();
        return 2;
    }
    if (notAFile(archive)) return 2;
    if (aes && password.empty() && (cmd == 'a' || cmd == 'u' || cmd == 'f')) {
        // Encryption was asked for and cannot be given: nothing is written.
        std::fprintf(stderr, "qzip: --aes needs a password (--password PW); nothing was written\n");
        return 2;
    }

    // A zip the engine cannot read (no directory it finds, or PPMd entries) is read
    // by the format library's zip reader, and changed by the engine where it can.
    const ArchiveKind kind = archiveKind(archive);
    const ZipReading reading = kind == ArchiveKind::Zip ? zipReader(archive) : ZipReading::Engine;
    if (reading == ZipReading::LocalHeaders && (std::strchr("aufd", cmd) || (cmd == 'c' && setComment))) {
        std::fprintf(stderr,
                     "qzip: %s: %s: it can be listed, tested and extracted but not changed; repair it first (qzip r)\n",
                     archive.c_str(), kNoDirectory);
        return 2;
    }
    if (kind != ArchiveKind::Zip || (reading != ZipReading::Engine && std::strchr("ltx", cmd))) {
        // Every other format goes to the format library.
        if (charsetGiven)
            std::fprintf(stderr, "qzip: %s: %s is for zip archives the zip engine reads; names are read as stored\n",
                         archive.c_str(), "-O");
        std::vector<std::string> lib;
        switch (cmd) {
        case 'l': return listOther(archive, operands, password, json);
        case 't':
            lib = {"t", archive};
            if (!password.empty()) lib.insert(lib.end(), {"-p", password});
            break;
        case 'd': lib = {"d", archive}; break;
        case 'x':
            lib = {"x", archive, "-d", dest};
            if (overwrite) lib.push_back("-o");
            if (junk) lib.push_back("-j");
            if (!password.empty()) lib.insert(lib.end(), {"-p", password});
            break;
        case 'a':
            lib = {"a", archive};
            if (!password.empty()) lib.insert(lib.end(), {"-p", password});
            if (recurse) lib.push_back("-r");
            if (paths) lib.push_back("-P");
            if (hidden) lib.push_back("-H");
            if (aes) lib.push_back("--aes");  // refused there: AES is for zip only
            break;
        default: std::fprintf(stderr, "qzip: %s: '%c' works on zip archives only\n", archive.c_str(), cmd); return 2;
        }
        lib.insert(lib.end(), operands.begin(), operands.end());
        if (quiet) lib.push_back("--quiet");
        return runFormatLibrary(lib, archive, quiet);
    }

    ZipEngine engine;
    // The engine polls its abort flag; an interrupt sets it (again after each method
    // start, which clears it).
    quarva::formatlib::cli::InterruptWatcher watcher([&engine] { engine.setAbort(true); });
    // The progress line is worth its cost only where someone watches it.
    const bool watched = !quiet && isatty(STDERR_FILENO);
    ProgressLine progress(watched, 0);
    if (watched && (cmd == 'x' || cmd == 't')) progress.setTotal(bytesToRead(archive, operands, namesCharset));
    if (watched && (cmd == 'a' || cmd == 'u' || cmd == 'f')) progress.setTotal(bytesToAdd(operands, recurse));
    Listing listing(stdout, json);
    Printer printer(cmd, quiet, cmd == 'l' ? &listing : nullptr, progress);
    engine.setEvents(&printer);
    engine.setArchiveName(archive);
    engine.setPassword(password);
    engine.setNamesCharset(namesCharset);
    std::int16_t status = 0;
    switch (cmd) {
    case 'l':
        engine.setNames(patternLines(operands));
        status = engine.list();
        if (status == 0) listing.finish();
        break;
    case 'a':
    case 'u':
    case 'f':
        if (operands.empty()) {
            usage();
            return 2;
        }
        engine.setNames(patternLines(operands));
        engine.setRecurse(recurse);
        engine.setSavePathInfo(paths);
        engine.setLevel(std::int16_t(level));
        engine.setAes256(aes);
        engine.setIncludeHidden(hidden);
        status = engine.add(cmd == 'a' ? 0 : cmd == 'f' ? 1 : 2);
        break;
    case 'x':
        engine.setNames(patternLines(operands));
        engine.setExtractFolder(dest);
        engine.setOverwrite(overwrite ? 1 : 0);
        engine.setSavePathInfo(!junk);
        status = engine.extract(0);
        break;
    case 't':
        engine.setNames(patternLines(operands));
        status = engine.test();
        if (status == kStatusCorrupt) {
            InputFile f;
            ZipDirectory dir;
            if (f.open(archive) == 0 && readDirectory(f, dir, true) == 0 && !dir.endProblem.empty())
                std::fprintf(stderr, "qzip: %s: damaged end records: %s\n", archive.c_str(), dir.endProblem.c_str());
        }
        break;
    case 'd':
        if (operands.empty()) {
            usage();
            return 2;
        }
        engine.setNames(patternLines(operands));
        status = engine.deleteEntries();
        break;
    case 'r': status = engine.repair(aggressive ? 1 : 0); break;
    case 'c':
        if (setComment) {
            status = engine.setComment(commentText);
        } else {
            InputFile f;
            ZipDirectory dir;
            status = f.open(archive);
            if (status == 0) status = readDirectory(f, dir);
            if (status == 0) std::printf("%s\n", dir.comment.c_str());
        }
        break;
    default: usage(); return 2;
    }
    progress.finish();
    std::fflush(stdout);
    if (quarva::platform::interruptRequested()) return interrupted(archive);
    if (status != 0) {
        // A file the engine refuses as no zip: say what it holds instead.
        bool zip = false;
        std::string found = status == 110 ? contentDescription(archive, &zip) : std::string();
        // A test or extraction that failed (also) for entries nothing here can decode
        // says so: their data was not found bad, only not read.
        std::string text = statusText(status);
        InputFile file;
        if ((status == 110 || status == kStatusCorrupt) && file.open(archive) == 0 && startsStronglyEncrypted(file)) {
            text = "unsupported encryption: strong encryption (its directory cannot be read)";
            found.clear();
        } else if (zip) {
            // A zip after all: its directory is what could not be read.
            text = kNoDirectory;
            found.clear();
        }
        if ((status == kStatusCrcFailed || status == kStatusCouldNotTest) && printer.unsupportedCount) {
            std::string cause = std::to_string(printer.unsupportedCount) +
                                (printer.unsupportedCount == 1 ? " entry" : " entries") + " not read (unsupported " +
                                printer.unsupported + ")";
            bool only = printer.unsupportedCount == printer.skipped;
            text = only ? (cmd == 't' ? "Testing failed: " : "Extraction failed: ") + cause : text + "; " + cause;
        }
        std::fprintf(stderr, "qzip: error %d: %s%s%s\n", status, text.c_str(),
                     found.empty() ? "" : "; found: ", found.c_str());
        return 2;
    }
    return printer.skipped ? 1 : 0;
}
