#pragma once
// How far the running operation got, in bytes. Readers call reportProgress as they
// consume their archive (and the unpacking of an outside program as its folder
// grows); the operation on this thread passes it on to its host. Nothing happens
// when no operation listens, so the readers serve the stub and the tools alike.

#include <cstdint>

namespace quarva::formatlib {

class ProgressListener {
public:
    // `done` of `total` bytes (total 0: not known).
    virtual void onProgress(std::uint64_t done, std::uint64_t total) = 0;

protected:
    ~ProgressListener() = default;
};

// While it lives, reportProgress on this thread goes to `listener` (null: nowhere).
class ProgressScope {
public:
    explicit ProgressScope(ProgressListener* listener);
    ~ProgressScope();
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;

private:
    ProgressListener* previous_;
};

void reportProgress(std::uint64_t done, std::uint64_t total);

}  // namespace quarva::formatlib
