#pragma once
// The process's working folder changed for a while: names relative to it (an add
// that keeps paths) are read from there. Only for the window's or the command
// line's own thread, while nothing else resolves relative names.

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

namespace quarva::archive {

// While it lives, the working folder is `folder`; the previous one comes back at the end.
class WorkingFolder {
public:
    explicit WorkingFolder(const std::filesystem::path& folder)
        : previous_(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        entered_ = previous_ >= 0 && ::chdir(folder.c_str()) == 0;
    }
    ~WorkingFolder() {
        if (entered_ && fchdir(previous_) != 0) {
            // The old folder went away; the run goes on where it is.
        }
        if (previous_ >= 0) ::close(previous_);
    }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;
    bool entered() const { return entered_; }

private:
    int previous_;
    bool entered_ = false;
};

}  // namespace quarva::archive
