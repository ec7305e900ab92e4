#pragma once
// The engines run each operation on the window's thread and report through events
// and window messages, which arrive there in order. These wrappers keep the
// window's event loop turning between two reports, so that the window repaints and
// the busy dialog's "Cancel" is heard during every long operation.

#include <chrono>
#include <functional>
#include <memory>

#include "archive/core/EngineControl.h"
#include "archive/core/FormatLibraryCalls.h"

namespace quarva::archive::ui {

// Lets the event loop run at most every `interval`.
class CEventPump {
public:
    explicit CEventPump(std::function<void()> yield, std::chrono::milliseconds interval = std::chrono::milliseconds(40))
        : yield_(std::move(yield)), interval_(interval) {}
    void operator()();

private:
    std::function<void()> yield_;
    std::chrono::milliseconds interval_;
    std::chrono::steady_clock::time_point last_{};
    bool inside_ = false;
};

// The compression engine with its event sink behind the pump.
std::unique_ptr<IEngineControl> pumpingEngine(std::unique_ptr<IEngineControl> engine, CEventPump& pump);
// The format library with its window behind the pump.
std::unique_ptr<IFormatLibrary> pumpingLibrary(std::unique_ptr<IFormatLibrary> library, CEventPump& pump);

}  // namespace quarva::archive::ui
