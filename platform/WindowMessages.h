#pragma once
// Window messages between the format library and its host. A window handle is an
// object of the host that receives messages synchronously, on the caller's thread,
// as the platform's SendMessage delivers them. The format library is loaded with
// dlopen, so this header holds all there is: no shared state crosses the library
// boundary, only the handle.

#include <cstdint>

namespace quarva::platform {

class MessageWindow {
public:
    virtual ~MessageWindow() = default;
    virtual std::intptr_t onMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
};

using WindowHandle = MessageWindow*;

inline std::intptr_t SendMessage(WindowHandle window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    return window ? window->onMessage(message, wParam, lParam) : 0;
}

}  // namespace quarva::platform
