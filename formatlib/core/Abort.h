#pragma once
// The library-wide abort flag: Abort() sets it from any thread; every running
// operation checks it per entry and per data block and stops there.

#include <atomic>

namespace quarva::formatlib {

std::atomic<bool>& abortFlag();
inline bool abortRequested() { return abortFlag().load(std::memory_order_relaxed); }

}  // namespace quarva::formatlib
