#pragma once
// The error of one HTTP exchange: raised inside CZorvHttpCommand::Run and caught
// there; it never leaves Run. The code is libcurl's (0 when none applies).

#include <string>

namespace quarva::update {

class CZorvException {
public:
    explicit CZorvException(int code = 0, std::string message = {}) : code_(code), message_(std::move(message)) {}
    int code() const { return code_; }
    const std::string& message() const { return message_; }

private:
    int code_;
    std::string message_;
};

}  // namespace quarva::update
