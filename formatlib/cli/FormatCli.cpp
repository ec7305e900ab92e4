#include "formatlib/cli/FormatCli.h"

#include <chrono>
#include <cstdlib>
#include <iostream>

#include "formatlib/core/Names.h"
#include "formatlib/host/FormatLibraryHost.h"
#include "platform/Interrupt.h"

namespace quarva::formatlib::cli {
namespace fs = std::filesystem;

namespace {

// Prints what the library reports.
class ConsoleWindow : public platform::MessageWindow {
public:
    ConsoleWindow(std::ostream& out, std::ostream& err, bool verbose, bool quiet, ProgressView* progress,
                  const NameText& nameText)
        : out_(out), err_(err), verbose_(verbose && !quiet), quiet_(quiet), progress_(progress), nameText_(nameText) {}
    int errors = 0;
    int tests = 0, testFailures = 0;
    int outcome = -1;  // as the library reported it (kMsgFinished), -1 when it did not

    std::intptr_t onMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
        switch (message) {
        case kMsgListed: {
            const auto* r = reinterpret_cast<const ListingRecord*>(wParam);
            std::string name = r->name;
            if (!name.empty() && name.back() == '\\') break;
            out() << r->size << "\t" << r->modified << "\t" << shown(name) << "\n";
            break;
        }
        case kMsgProcessed:
            if (verbose_) out() << shown(reinterpret_cast<const ListingRecord*>(wParam)->name) << "\n";
            break;
        case kMsgDeleted:
            if (!quiet_) out() << "deleted " << shown(reinterpret_cast<const char*>(wParam)) << "\n";
            break;
        case kMsgTested:
            ++tests;
            if (lParam) {
                if (!quiet_) out() << "OK      " << shown(reinterpret_cast<const char*>(wParam)) << "\n";
            } else {
                ++testFailures;
                out() << "SKIPPED " << shown(reinterpret_cast<const char*>(wParam)) << "\n";
            }
            break;
        case kMsgError: {
            ++errors;
            const auto* r = reinterpret_cast<const ErrorRecord*>(wParam);
            err() << "error: " << text(r->fileName && *r->fileName ? r->fileName : r->entryName) << ": " << r->cause;
            if (r->details && *r->details) err() << " (" << r->details << ")";
            err() << "\n";
            break;
        }
        case kMsgFinished: outcome = static_cast<int>(wParam); break;
        case kMsgProgress:
            if (progress_ && wParam) {
                const auto* p = reinterpret_cast<const ProgressRecord*>(wParam);
                progress_->update(p->done, p->total);
            }
            break;
        case kMsgSearchMatch: {
            const auto* m = reinterpret_cast<const SearchMatch*>(wParam);
            out() << shown(m->entryName) << ":" << m->lineNumber << ": " << m->lineText << "\n";
            break;
        }
        default: break;
        }
        return 0;
    }

private:
    // Names as printed: a host's file name as it is, an entry's with '/' separators.
    std::string text(const std::string& s) const { return nameText_ ? nameText_(s) : s; }
    std::string shown(const std::string& name) const { return text(toSlashes(name)); }
    // The streams, the progress view taken away first.
    std::ostream& out() {
        if (progress_) progress_->clear();
        return out_;
    }
    std::ostream& err() {
        if (progress_) progress_->clear();
        return err_;
    }
    std::ostream& out_;
    std::ostream& err_;
    bool verbose_;
    bool quiet_;
    ProgressView* progress_;
    const NameText& nameText_;
};

std::string quoteList(const std::vector<std::string>& names) {
    std::string s;
    for (const auto& n : names) {
        if (!s.empty()) s += "|";
        s += "\"" + n + "\"";
    }
    return s;
}

// Calls one entry point like callEntry; an interrupt (Ctrl-C, SIGTERM, SIGHUP)
// meanwhile calls the library's Abort, so the operation stops at its next entry or
// data block and removes its temporary file.
template <class Fn, class... Args>
int callCancellable(const fs::path& library, const char* name, Args&&... args) {
    LoadedLibrary lib(library);
    if (!lib.loaded()) return kStatusNotLoaded;
    Fn fn = lib.entry<Fn>(name);
    if (!fn) return kStatusNoEntryPoint;
    const auto abortFn = lib.entry<QzAbortFn>("Abort");
    {
        InterruptWatcher watcher([abortFn] {
            if (abortFn) abortFn();
        });
        fn(std::forward<Args>(args)...);
    }
    return kStatusOk;
}

int loadStatus(int status, std::ostream& err, const fs::path& library) {
    if (status == kStatusNotLoaded) {
        err << "Dll Not loaded: " << library.string() << "\n";
        return 3;
    }
    if (status == kStatusNoEntryPoint) {
        err << "Proc not found in " << library.string() << "\n";
        return 3;
    }
    return -1;
}

int formatCodeFor(const std::string& word) {
    const std::string w = toLower(word);
    if (w == "bh") return kFormatBlakHole;
    if (w == "cab") return kFormatCab;
    if (w == "lzh" || w == "lha") return kFormatLha;
    if (w == "zip") return kFormatZip;
    // A tar named .tar.xz or .tar.zst is compressed so by the library.
    if (w == "tar" || w == "xz" || w == "txz" || w == "zst" || w == "tzst") return kFormatTar;
    if (w == "gz" || w == "tgz" || w == "tar.gz") return kFormatTarGz;
    if (w == "jar") return kFormatJar;
    return -1;
}

}  // namespace

fs::path defaultLibraryPath() {
    if (const char* env = std::getenv("QUARVA_FORMATLIB"); env && *env) return env;
    std::error_code ec;
    auto self = fs::read_symlink("/proc/self/exe", ec);
    return libraryPath(ec ? fs::path(".") : self.parent_path());
}

int run(const std::vector<std::string>& args, ProgressView* progress, const NameText& nameText) {
    platform::installInterruptHandlers();
    return run(args, std::cout, std::cerr, defaultLibraryPath(), progress, nameText);
}

int run(const std::vector<std::string>& allArgs, std::ostream& out, std::ostream& err, const fs::path& lib,
        ProgressView* progress, const NameText& nameText) {
    std::vector<std::string> args;
    bool quiet = false;
    for (const auto& a : allArgs) {
        if (a == "-q" || a == "--quiet") quiet = true;
        else args.push_back(a);
    }
    if (args.size() < 2) {
        err << "usage: l|t|x|a|d|convert|sfx|encode|count|find ARCHIVE ...\n";
        return 2;
    }
    const std::string cmd = args[0];
    const std::string archive = args[1];
    ConsoleWindow window(out, err, cmd == "x" || cmd == "a" || cmd == "convert", quiet, quiet ? nullptr : progress,
                         nameText);
    int status = 0;
    std::vector<std::string> rest(args.begin() + 2, args.end());

    if (cmd == "l") {
        std::string filters = rest.empty() ? "*.*" : quoteList(rest);
        status = callCancellable<QzListArchiveFn>(lib, "ListArchive", archive.c_str(), filters.c_str(), &window);
    } else if (cmd == "t") {
        std::string password;
        std::vector<std::string> names;
        for (std::size_t i = 0; i < rest.size(); ++i) {
            if (rest[i] == "-p" && i + 1 < rest.size()) password = rest[++i];
            else names.push_back(rest[i]);
        }
        std::string list = names.empty() ? "*.*" : quoteList(names);
        using Fn = void (*)(const char*, const char*, const char*, platform::WindowHandle);
        status = callCancellable<Fn>(lib, "TestArchiveWithPassword", archive.c_str(), list.c_str(), password.c_str(),
                                     static_cast<platform::WindowHandle>(&window));
        if (progress) progress->clear();
        if (status == 0 && window.errors == 0 && !quiet) out << window.tests << " file(s) tested, no errors\n";
    } else if (cmd == "x") {
        std::string dest = ".", password;
        bool overwrite = false, paths = true;
        std::vector<std::string> names;
        for (std::size_t i = 0; i < rest.size(); ++i) {
            if (rest[i] == "-d" && i + 1 < rest.size()) dest = rest[++i];
            else if (rest[i] == "-p" && i + 1 < rest.size()) password = rest[++i];
            else if (rest[i] == "-o") overwrite = true;
            else if (rest[i] == "-j") paths = false;
            else names.push_back(rest[i]);
        }
        std::string list = names.empty() ? "*.*" : quoteList(names);
        using Fn = void (*)(const char*, const char*, const char*, int, int, const char*, platform::WindowHandle);
        status = callCancellable<Fn>(lib, "ExtractFileWithPassword", archive.c_str(), list.c_str(), dest.c_str(),
                                     overwrite ? 1 : 0, paths ? 1 : 0, password.c_str(),
                                     static_cast<platform::WindowHandle>(&window));
    } else if (cmd == "a") {
        std::string password;
        bool subfolders = false, fullPaths = false, hidden = false, move = false;
        std::vector<std::string> files;
        for (std::size_t i = 0; i < rest.size(); ++i) {
            if (rest[i] == "-p" && i + 1 < rest.size()) password = rest[++i];
            else if (rest[i] == "-r") subfolders = true;
            else if (rest[i] == "-P") fullPaths = true;
            else if (rest[i] == "-H") hidden = true;
            else if (rest[i] == "-m") move = true;
            else if (rest[i] == "--aes") {
                err << "error: " << archive << ": AES encryption is for zip archives only; nothing was added\n";
                return 2;
            } else files.push_back(rest[i]);
        }
        if (files.empty()) {
            err << "nothing to add\n";
            return 2;
        }
        std::string list = quoteList(files);
        status = callCancellable<QzCompressFileFn>(lib, "CompressFile", archive.c_str(), list.c_str(), password.c_str(),
                                                   hidden ? 1 : 0, move ? 1 : 0, fullPaths ? 1 : 0, subfolders ? 1 : 0,
                                                   &window);
    } else if (cmd == "d") {
        if (rest.empty()) {
            err << "nothing to delete\n";
            return 2;
        }
        std::string list = quoteList(rest);
        status = callCancellable<QzDeleteFileFn>(lib, "DeleteFile", archive.c_str(), list.c_str(), &window);
    } else if (cmd == "convert") {
        if (rest.empty()) {
            err << "usage: convert SOURCE TARGET [FORMAT]\n";
            return 2;
        }
        const std::string target = rest[0];
        std::string word = rest.size() > 1 ? rest[1] : extensionOf(target);
        const int code = formatCodeFor(word);
        if (code < 0) {
            err << "unknown target format: " << word << "\n";
            return 2;
        }
        status = callCancellable<QzArcToArcFn>(lib, "ArcToArc", archive.c_str(), target.c_str(), code, 0, &window);
    } else if (cmd == "sfx") {
        if (rest.empty()) {
            err << "usage: sfx SOURCE OUTPUT [STUBFOLDER]\n";
            return 2;
        }
        const std::string stubs = rest.size() > 1 ? rest[1] : lib.parent_path().string();
        status =
            callCancellable<QzArcToSFXFn>(lib, "ArcToSFX", archive.c_str(), rest[0].c_str(), stubs.c_str(), &window);
    } else if (cmd == "encode") {
        if (rest.empty()) {
            err << "usage: encode SOURCE TARGET [uu|xx] [--table]\n";
            return 2;
        }
        int method = extensionOf(rest[0]) == "xxe" ? kEncodeXX : kEncodeUU;
        bool table = false;
        for (std::size_t i = 1; i < rest.size(); ++i) {
            if (rest[i] == "xx") method = kEncodeXX;
            else if (rest[i] == "uu") method = kEncodeUU;
            else if (rest[i] == "--table") table = true;
        }
        status = callCancellable<QzEncodeFn>(lib, "Encode", archive.c_str(), rest[0].c_str(), method, table ? 1 : 0,
                                             &window);
    } else if (cmd == "count") {
        int count = 0;
        status = callFileCount(lib, archive, &count);
        if (status == 0) out << count << "\n";
        if (status == 0 && count < 1) return 2;  // below 1: no archive
    } else if (cmd == "find") {
        if (rest.empty()) {
            err << "usage: find ARCHIVE TEXT [-i]\n";
            return 2;
        }
        const bool matchCase = !(rest.size() > 1 && rest[1] == "-i");
        status = callCancellable<QzTurboFindTextFn>(lib, "TurboFindText", archive.c_str(), rest[0].c_str(),
                                                    matchCase ? 1 : 0, &window);
    } else {
        err << "unknown command: " << cmd << "\n";
        return 2;
    }
    if (progress) progress->clear();
    const int failed = loadStatus(status, err, lib);
    if (failed >= 0) return failed;
    if (window.outcome >= 0) return window.outcome == kOutcomeOk ? 0 : window.outcome == kOutcomeSkipped ? 1 : 2;
    return window.errors > 0 ? 1 : 0;
}

InterruptWatcher::InterruptWatcher(std::function<void()> onInterrupt)
    : thread_([this, on = std::move(onInterrupt)] {
          std::unique_lock<std::mutex> lock(mutex_);
          while (!done_) {
              if (platform::interruptRequested()) on();
              wake_.wait_for(lock, std::chrono::milliseconds(20), [this] { return done_; });
          }
      }) {}

InterruptWatcher::~InterruptWatcher() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        done_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

}  // namespace quarva::formatlib::cli
