#include "formatlib/core/Abort.h"

namespace quarva::formatlib {

std::atomic<bool>& abortFlag() {
    static std::atomic<bool> flag{false};
    return flag;
}

}  // namespace quarva::formatlib
