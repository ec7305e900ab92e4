#pragma once
// Starting programs by command line. Command lines are written with the suite's
// quoting: words are separated by blanks, double quotes group words (and are
// removed), and the first word is the program.

#include <string>
#include <string_view>
#include <vector>

namespace quarva::platform {

std::vector<std::string> splitCommandLine(std::string_view commandLine);

class Launcher {
public:
    virtual ~Launcher() = default;
    // Starts the program and returns at once; true when it was started.
    // `shown` is false for starts the desktop would hide (no window of their own).
    virtual bool launch(const std::string& commandLine, bool shown) = 0;
};

// posix_spawn; the child is detached (reaped by a helper thread), its output is kept.
class ProcessLauncher : public Launcher {
public:
    bool launch(const std::string& commandLine, bool shown) override;
};

// Runs a command line and waits; returns the exit status, or -1 when it could not start.
int runAndWait(const std::string& commandLine);

}  // namespace quarva::platform
