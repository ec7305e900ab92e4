#pragma once
// Test double for a message window: keeps every message it receives. The handler,
// when set, sees each message first (to copy records that live only during the call).

#include <functional>
#include <vector>

#include "platform/WindowMessages.h"

namespace quarva::platform::testing {

class RecordingWindow : public MessageWindow {
public:
    struct Message {
        unsigned message;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };
    std::function<std::intptr_t(const Message&)> handler;
    std::vector<Message> messages;

    std::intptr_t onMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
        messages.push_back({message, wParam, lParam});
        return handler ? handler(messages.back()) : 0;
    }
    std::size_t count(unsigned message) const {
        std::size_t n = 0;
        for (const auto& m : messages) n += m.message == message;
        return n;
    }
};

}  // namespace quarva::platform::testing
