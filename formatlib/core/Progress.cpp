#include "formatlib/core/Progress.h"

namespace quarva::formatlib {

namespace {
thread_local ProgressListener* current = nullptr;
}

ProgressScope::ProgressScope(ProgressListener* listener) : previous_(current) { current = listener; }

ProgressScope::~ProgressScope() { current = previous_; }

void reportProgress(std::uint64_t done, std::uint64_t total) {
    if (current) current->onProgress(done, total);
}

}  // namespace quarva::formatlib
