#pragma once
// The library-wide abort flag: Abort() sets it from any thread; every running
// operation checks it per entry and per data block and stops there.

#include <atomic>
#include <cstddef>
#include <string>

namespace quarva::formatlib {

std::atomic<bool>& abortFlag();
inline bool abortRequested() { return abortFlag().load(std::memory_order_relaxed); }

class DataSource;
// One block of entry data: the count, 0 at the end, -1 with `error` set when Abort()
// was called ("Operation aborted") or the data cannot be read (the source's error,
// else `unreadable`).
long readUnlessAborted(DataSource& data, void* buffer, std::size_t size, std::string& error,
                       const char* unreadable = "cannot read the data");

}  // namespace quarva::formatlib
