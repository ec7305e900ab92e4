#pragma once
// The command-line front of the format library, for qzip's non-zip formats.
//
//   l ARCHIVE [FILTER...]                      list
//   t ARCHIVE [NAME...]                        test
//   x ARCHIVE [-d FOLDER] [-o] [-j] [-p PASSWORD] [NAME...]
//                                              extract (-o overwrite, -j without stored paths)
//   a ARCHIVE [-p PASSWORD] [-r] [-P] [-H] [-m] FILE...
//                                              add (-r subfolders, -P full paths, -H hidden files,
//                                              -m delete the files after adding); a password
//                                              for a format that cannot encrypt is refused
//   d ARCHIVE NAME...                          delete entries
//   convert SOURCE TARGET [FORMAT]             FORMAT: cab lzh zip tar gz jar bh (default: by TARGET's extension)
//   sfx SOURCE OUTPUT [STUBFOLDER]             self-extracting program
//   encode SOURCE TARGET [uu|xx] [--table]     UU/XX text (default by TARGET's extension)
//   count ARCHIVE                              number of entries (below 1: no archive, status 2)
//   find ARCHIVE TEXT [-i]                     lines holding TEXT
//
//   -q or --quiet (anywhere) leaves out the per-file lines; errors are still shown.
//
// Byte progress the library reports goes to a ProgressView when one is given (qzip's
// progress line); it is taken away before every line printed. Names are printed as
// `nameText` makes them (qzip escapes control characters), else as they are.
//
// The library is loaded from $QUARVA_FORMATLIB, else from beside the running program.
// Result: 0 all went well, 1 done but some entries were skipped (each reported),
// 2 failed (nothing was changed) or a usage error, 3 the library could not be loaded
// or lacks the entry point.

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace quarva::formatlib::cli {

// Shows how far the work got.
class ProgressView {
public:
    virtual ~ProgressView() = default;
    // `done` of `total` bytes (total 0: not known).
    virtual void update(std::uint64_t done, std::uint64_t total) = 0;
    // Takes the view away so that a line can be printed.
    virtual void clear() = 0;
};

// The program's front: installs the interrupt handlers (Ctrl-C cancels the running
// operation cooperatively) and prints to stdout and stderr.
using NameText = std::function<std::string(const std::string&)>;
int run(const std::vector<std::string>& args, ProgressView* progress = nullptr, const NameText& nameText = {});
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        const std::filesystem::path& library, ProgressView* progress = nullptr, const NameText& nameText = {});

// Where run() loads the library from.
std::filesystem::path defaultLibraryPath();

// While it lives, calls `onInterrupt` every 20 ms once an interrupt has arrived
// (again and again: an operation may clear its abort flag as it starts). Ending it
// does not wait out the pause.
class InterruptWatcher {
public:
    explicit InterruptWatcher(std::function<void()> onInterrupt);
    ~InterruptWatcher();
    InterruptWatcher(const InterruptWatcher&) = delete;
    InterruptWatcher& operator=(const InterruptWatcher&) = delete;

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    std::thread thread_;
};

}  // namespace quarva::formatlib::cli
