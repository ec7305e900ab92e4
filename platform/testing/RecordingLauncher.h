#pragma once
// Test double for Launcher: records each argument vector instead of running it.

#include <mutex>
#include <string>
#include <vector>

#include "platform/Launcher.h"

namespace quarva::platform::testing {

class RecordingLauncher : public Launcher {
public:
    struct Launch {
        std::vector<std::string> argv;
        bool shown;
        // The words in the suite's quoting, to keep expectations readable.
        std::string commandLine() const { return renderCommandLine(argv); }
    };
    explicit RecordingLauncher(bool succeed = true) : succeed_(succeed) {}
    bool launch(const std::vector<std::string>& argv, bool shown) override {
        std::lock_guard lock(mutex_);
        launches_.push_back({argv, shown});
        return succeed_;
    }
    std::vector<Launch> launches() const {
        std::lock_guard lock(mutex_);
        return launches_;
    }

private:
    bool succeed_;
    mutable std::mutex mutex_;
    std::vector<Launch> launches_;
};

}  // namespace quarva::platform::testing
