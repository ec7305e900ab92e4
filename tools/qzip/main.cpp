// qzip: a scriptable front end over the zip engine.
//
//   qzip l [--json] ARCHIVE [PATTERN...]
//   qzip a|u|f ARCHIVE [-r] [-p] [-0..-9] [--password PW] [--aes] [--hidden] PATH...
//   qzip x ARCHIVE [-d DEST] [-o] [-j] [--password PW] [PATTERN...]
//   qzip t ARCHIVE [--password PW] [PATTERN...]
//   qzip d ARCHIVE PATTERN...
//   qzip r ARCHIVE [--aggressive]
//   qzip c ARCHIVE [--set TEXT]
// Exit status: 0 all went well, 1 some entries were skipped, 2 failure.

#include "engine/ZipEngine.h"
#include "engine/ZipReader.h"
#include "platform/FileSystem.h"
#include "tools/qzip/ArchiveKind.h"

#include "platform/Interrupt.h"

#include "formatlib/cli/FormatCli.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

using namespace quarva::engine;

namespace {

void usage() {
    std::fprintf(stderr,
                 "usage:\n"
                 "  qzip l [--json] ARCHIVE [PATTERN...]\n"
                 "  qzip a|u|f ARCHIVE [-r] [-p] [-0..-9] [--password PW] [--aes] [--hidden] PATH...\n"
                 "  qzip x ARCHIVE [-d DEST] [-o] [-j] [--password PW] [PATTERN...]\n"
                 "  qzip t ARCHIVE [--password PW] [PATTERN...]\n"
                 "  qzip d ARCHIVE PATTERN...\n"
                 "  qzip r ARCHIVE [--aggressive]\n"
                 "  qzip c ARCHIVE [--set TEXT]\n"
                 "  qzip convert SOURCE TARGET [cab|lzh|zip|tar|gz|jar|bh]\n"
                 "  qzip sfx ARCHIVE PROGRAM [STUBFOLDER]\n"
                 "  qzip encode ARCHIVE TARGET [uu|xx] [--table]\n"
                 "-r recurse into folders, -p keep each path as given (an absolute one without its root),\n"
                 "-0 store .. -9 strongest, -o overwrite, -j no stored folders, --aes AES-256,\n"
                 "--hidden include hidden files; --quiet (anywhere) silences the per-file lines.\n"
                 "Exit status: 0 all well, 1 some entries skipped, 2 failure.\n");
}

std::string jsonEscape(const std::string& s) {
    std::string o;
    for (unsigned char c : s) {
        switch (c) {
        case '"': o += "\\\""; break;
        case '\\': o += "\\\\"; break;
        case '\n': o += "\\n"; break;
        case '\r': o += "\\r"; break;
        case '\t': o += "\\t"; break;
        default:
            if (c < 0x20) {
                char b[8];
                std::snprintf(b, sizeof b, "\\u%04x", c);
                o += b;
            } else {
                o.push_back(char(c));
            }
        }
    }
    return o;
}

const char* methodName(int m) {
    switch (m) {
    case 0: return "stored";
    case 8: return "deflate";
    case 9: return "deflate64";
    case 12: return "bzip2";
    case 14: return "lzma";
    case 93: return "zstd";
    case 95: return "xz";
    case 98: return "ppmd";
    default: return "other";
    }
}

const char* encryptionName(int e) {
    switch (e) {
    case 0: return "none";
    case 1: return "zipcrypto";
    case 2: return "aes128";
    case 3: return "aes192";
    case 4: return "aes256";
    default: return "other";
    }
}

class Printer : public ZipEngineEvents {
public:
    char command = 'l';
    bool quiet = false;
    bool json = false;
    std::size_t skipped = 0, listed = 0;
    std::string givenPassword;

    void onListed(const EntryRecord& r) override {
        if (json) {
            std::printf(
                "%s{\"name\":\"%s\",\"size\":%llu,\"packed\":%llu,\"ratio\":%d,\"modified\":\"%s\","
                "\"mtime\":%lld,\"method\":\"%s\",\"encrypted\":%s,\"encryption\":\"%s\",\"crc\":\"%08x\"}",
                listed ? ",\n " : "[", jsonEscape(r.name).c_str(), (unsigned long long)r.size64,
                (unsigned long long)r.packedSize64, r.ratio, r.modified.c_str(), (long long)r.mtime,
                methodName(r.method), r.encryption ? "true" : "false", encryptionName(r.encryption),
                std::uint32_t(r.crc));
        } else {
            if (!listed)
                std::printf("%12s %12s %5s  %-14s  %-8s %-4s  %s\n", "Size", "Packed", "Ratio", "Modified", "Method",
                            "Enc", "Name");
            std::printf("%12llu %12llu %4d%%  %-14s  %-8s %-4s  %s\n", (unsigned long long)r.size64,
                        (unsigned long long)r.packedSize64, r.ratio, r.modified.c_str(), methodName(r.method),
                        r.encryption ? "yes" : "no", r.name.c_str());
        }
        ++listed;
    }
    void onProcessed(const EntryRecord& r) override {
        if (!quiet) std::printf("File : %s : OK\n", r.name.c_str());
    }
    void onTested(const EntryRecord& r) override {
        if (!quiet) std::printf("Testing  : %s : OK\n", r.name.c_str());
    }
    void onDeleted(const std::string& name) override {
        if (!quiet) std::printf("Deleted : %s\n", name.c_str());
    }
    void onSkipped(const std::string& name, std::int16_t reason) override {
        ++skipped;
        const char* why = skipReasonText(reason);
        switch (command) {
        case 't': std::printf("Testing : %s : Error (%s)\n", name.c_str(), why); break;
        case 'a':
        case 'u':
        case 'f': std::printf("Skiping File : %s (%s)\n", name.c_str(), why); break;
        default: std::printf("File : %s : Skipped (%s)\n", name.c_str(), why); break;
        }
    }
    void onPasswordRequest(const std::string&, std::string&, std::int16_t&) override {
        // No prompt in scripts: the entry is skipped with its reason.
    }
};

std::string patternLines(const std::vector<std::string>& patterns) {
    std::string s;
    for (const auto& p : patterns) s += p + "\r\n";
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    // Ctrl-C, SIGTERM and SIGHUP stop the running command between two blocks; its
    // temporary files go with it (a second signal ends at once, still removing them).
    quarva::platform::installInterruptHandlers();
    std::vector<std::string> args(argv + 1, argv + argc);
    bool quiet = false;
    std::vector<std::string> rest;
    for (auto& a : args) {
        if (a == "--quiet" || a == "-q") quiet = true;
        else rest.push_back(a);
    }
    // Spanned sets are built and other programs' archives unpacked in the suite's
    // private temporary folder: without one that can be used, nothing is done.
    if (!rest.empty() && quarva::platform::tempFolder().empty()) {
        std::fprintf(stderr, "qzip: %s\n", quarva::platform::tempFolderProblem().c_str());
        return 2;
    }
    if (!rest.empty() && (rest[0] == "convert" || rest[0] == "sfx" || rest[0] == "encode")) {
        // Conversions, self-extractors and encodings are the format library's work.
        if (quiet) rest.push_back("--quiet");
        int rc = quarva::formatlib::cli::run(rest);
        if (quarva::platform::interruptRequested()) {
            std::fprintf(stderr, "qzip: interrupted; %s was left as it was\n", rest.size() > 2 ? rest[2].c_str() : "");
            return 128 + quarva::platform::interruptSignal();
        }
        return rc == 0 ? 0 : rc == 1 ? 1 : 2;
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
    if (aes && password.empty() && (cmd == 'a' || cmd == 'u' || cmd == 'f')) {
        // Encryption was asked for and cannot be given: nothing is written.
        std::fprintf(stderr, "qzip: --aes needs a password (--password PW); nothing was written\n");
        return 2;
    }

    if (quarva::qzip::archiveKind(archive) != quarva::qzip::ArchiveKind::Zip) {
        // Every other format goes to the format library.
        std::vector<std::string> lib;
        switch (cmd) {
        case 'l':
        case 't':
        case 'd': lib = {std::string(1, cmd), archive}; break;
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
        if (json) std::fprintf(stderr, "qzip: --json lists zip archives only; plain listing follows\n");
        lib.insert(lib.end(), operands.begin(), operands.end());
        if (quiet) lib.push_back("--quiet");
        int rc = quarva::formatlib::cli::run(lib);
        if (quarva::platform::interruptRequested()) {
            std::fprintf(stderr, "qzip: interrupted; %s was left as it was\n", archive.c_str());
            return 128 + quarva::platform::interruptSignal();
        }
        return rc == 0 ? 0 : rc == 1 ? 1 : 2;
    }

    ZipEngine engine;
    // The engine polls its abort flag; an interrupt sets it (again after each method
    // start, which clears it).
    std::atomic<bool> finished{false};
    std::thread watcher([&] {
        while (!finished.load()) {
            if (quarva::platform::interruptRequested()) engine.setAbort(true);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    struct JoinWatcher {
        std::atomic<bool>& finished;
        std::thread& watcher;
        ~JoinWatcher() {
            finished = true;
            watcher.join();
        }
    } joinWatcher{finished, watcher};
    Printer printer;
    printer.command = cmd;
    printer.quiet = quiet;
    printer.json = json;
    engine.setEvents(&printer);
    engine.setArchiveName(archive);
    engine.setPassword(password);
    std::int16_t status = 0;
    switch (cmd) {
    case 'l':
        engine.setNames(patternLines(operands));
        status = engine.list();
        if (json) std::printf(printer.listed ? "]\n" : "[]\n");
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
    std::fflush(stdout);
    if (quarva::platform::interruptRequested()) {
        std::fprintf(stderr, "qzip: interrupted; %s was left as it was\n", archive.c_str());
        return 128 + quarva::platform::interruptSignal();
    }
    if (status != 0) {
        // A file the engine refuses as no zip: say what it holds instead.
        const std::string found = status == 110 ? quarva::qzip::contentDescription(archive) : std::string();
        std::fprintf(stderr, "qzip: error %d: %s%s%s\n", status, statusText(status),
                     found.empty() ? "" : "; found: ", found.c_str());
        return 2;
    }
    return printer.skipped ? 1 : 0;
}
