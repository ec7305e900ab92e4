#include "tools/qzip/Progress.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace quarva::qzip {

namespace {
using Clock = std::chrono::steady_clock;

std::string durationText(double seconds) {
    // Beyond 99 hours the figure says nothing more (and a huge one would not fit).
    const long s = seconds < 0 ? 0 : seconds > 99 * 3600.0 ? 99 * 3600 : long(seconds + 0.5);
    char b[32];
    if (s >= 3600) std::snprintf(b, sizeof b, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else std::snprintf(b, sizeof b, "%ld:%02ld", s / 60, s % 60);
    return b;
}
}  // namespace

std::string byteText(double bytes) {
    static const char* const units[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    int u = 0;
    while (bytes >= 1024 && u < 4) bytes /= 1024, ++u;
    char b[32];
    std::snprintf(b, sizeof b, u == 0 ? "%.0f %s" : "%.1f %s", bytes, units[u]);
    return b;
}

ProgressLine::ProgressLine(bool wanted, std::uint64_t totalBytes)
    : enabled_(wanted && isatty(STDERR_FILENO)), total_(totalBytes), start_(Clock::now()), lastDraw_(start_) {
    // The tests shorten the wait so that a short job shows its line.
    const char* after = std::getenv("QZIP_PROGRESS_AFTER_MS");
    showAfter_ = std::chrono::milliseconds(after && *after ? std::atol(after) : 1000);
}

void ProgressLine::update(std::uint64_t doneBytes) {
    if (!enabled_) return;
    done_ = doneBytes;
    const auto now = Clock::now();
    if (now - start_ < showAfter_) return;
    // The end is always shown, however soon after the last drawing it comes.
    const bool complete = total_ > 0 && done_ >= total_ && drawnDone_ != done_;
    if (!complete && lastDraw_ != start_ && now - lastDraw_ < std::chrono::milliseconds(200)) return;
    lastDraw_ = now;
    drawnDone_ = done_;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const double rate = seconds > 0 ? double(done_) / seconds : 0;
    std::string line;
    if (total_ > 0) {
        const std::uint64_t done = done_ > total_ ? total_ : done_;
        line = std::to_string(unsigned(double(done) * 100 / double(total_))) + "%  " + byteText(double(done)) + " of " +
               byteText(double(total_)) + "  " + byteText(rate) + "/s";
        if (rate > 0) line += "  " + durationText(double(total_ - done) / rate) + " left";
    } else {
        line = byteText(double(done_)) + "  " + byteText(rate) + "/s";
    }
    std::fprintf(stderr, "\r%s\033[K", line.c_str());
    std::fflush(stderr);
    shown_ = true;
}

void ProgressLine::clear() {
    if (!shown_) return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    shown_ = false;
}

void ProgressLine::finish() {
    clear();
    enabled_ = false;
}

}  // namespace quarva::qzip
