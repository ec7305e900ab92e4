#pragma once
// Events as the platform has them: auto-reset (a wait consumes the signal, one
// waiter wakes) and manual-reset (stays signalled until reset).

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace quarva::platform {

class Event {
public:
    enum class Reset { Auto, Manual };
    explicit Event(Reset reset = Reset::Auto, bool signalled = false) : reset_(reset), signalled_(signalled) {}
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void set();
    void reset();
    void wait();
    // false on timeout.
    bool waitFor(std::chrono::milliseconds timeout);
    bool isSet() const;

private:
    Reset reset_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool signalled_;
};

}  // namespace quarva::platform
