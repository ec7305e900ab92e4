#pragma once
// Starting programs. A program is started with an argument vector: the first word
// is the program (looked up on PATH when it holds no '/'), every other word reaches
// it exactly as given. Nothing is ever joined into a command string and split again,
// so a quote or a blank in a path cannot add or change arguments.

#include <string>
#include <string_view>
#include <vector>

namespace quarva::platform {

// Splits a command line written with the suite's quoting: words are separated by
// blanks, double quotes group words (and are removed). For lines people type, such
// as a configured program; never for lines built from paths.
std::vector<std::string> splitCommandLine(std::string_view commandLine);

// The words in the suite's quoting, for records and messages that people read: a
// word is put in double quotes when it is empty or holds a blank or a tab. A word
// that holds a double quote has no faithful form in this quoting; the rendering is
// never split again.
std::string renderCommandLine(const std::vector<std::string>& argv);

class Launcher {
public:
    virtual ~Launcher() = default;
    // Starts the program and returns at once; true when it was started.
    // `shown` is false for starts the desktop would hide (no window of their own).
    virtual bool launch(const std::vector<std::string>& argv, bool shown) = 0;
};

// posix_spawn; the child is detached (reaped by a helper thread), its output is kept.
class ProcessLauncher : public Launcher {
public:
    bool launch(const std::vector<std::string>& argv, bool shown) override;
};

// Runs a program and waits; returns the exit status, or -1 when it could not start
// or did not end normally.
int runAndWait(const std::vector<std::string>& argv);

}  // namespace quarva::platform
