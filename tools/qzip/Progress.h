#pragma once
// One updating line on standard error for work that runs longer than about a second:
// percent of bytes, rate and time left. Nothing at all when standard error is not a
// terminal or the user asked for quiet.

#include <chrono>
#include <cstdint>
#include <string>

namespace quarva::qzip {

class ProgressLine {
public:
    // totalBytes 0: the total is unknown (bytes and rate only).
    ProgressLine(bool wanted, std::uint64_t totalBytes);
    ~ProgressLine() { finish(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void setTotal(std::uint64_t totalBytes) { total_ = totalBytes; }
    // Bytes done so far (a running count, never going back).
    void update(std::uint64_t doneBytes);
    // Takes the line away so that a line of normal output can be written.
    void clear();
    // Takes the line away for good.
    void finish();

private:
    bool enabled_;
    bool shown_ = false;
    std::uint64_t total_;
    std::uint64_t done_ = 0;
    std::uint64_t drawnDone_ = 0;  // done_ when the line was drawn last
    std::chrono::steady_clock::time_point start_, lastDraw_;
    std::chrono::milliseconds showAfter_;
};

// "1.5 GiB", "320 KiB", "17 B".
std::string byteText(double bytes);

}  // namespace quarva::qzip
