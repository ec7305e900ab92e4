#include "formatlib/core/Abort.h"

#include "formatlib/formats/Format.h"

namespace quarva::formatlib {

std::atomic<bool>& abortFlag() {
    static std::atomic<bool> flag{false};
    return flag;
}

long readUnlessAborted(DataSource& data, void* buffer, std::size_t size, std::string& error, const char* unreadable) {
    if (abortRequested()) {
        error = "Operation aborted";
        return -1;
    }
    const long n = data.read(buffer, size);
    if (n < 0) error = data.error().empty() ? unreadable : data.error();
    return n;
}

}  // namespace quarva::formatlib
