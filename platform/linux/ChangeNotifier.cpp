#include "platform/ChangeNotifier.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace quarva::platform {

namespace {
// A file written in place is reported when it is closed, not at every write, so a
// large save is looked at once it is complete (a change of the last-write time
// alone, without a write, is not looked at). Saves by rename arrive as a name moved
// in; removals and attribute changes (touch, chmod) count as well.
constexpr std::uint32_t kMask = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE | IN_ATTRIB |
                                IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_DONT_FOLLOW;
}  // namespace

ChangeNotifier::ChangeNotifier()
    : notify_(inotify_init1(IN_CLOEXEC | IN_NONBLOCK)), wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

ChangeNotifier::~ChangeNotifier() {
    if (notify_ >= 0) ::close(notify_);
    if (wake_ >= 0) ::close(wake_);
}

bool ChangeNotifier::watch(const std::string& folder) {
    if (!ok()) return false;
    int wd = inotify_add_watch(notify_, folder.c_str(), kMask);
    if (wd < 0) return false;
    // The same folder under two spellings gives the same descriptor: kept once.
    if (std::none_of(folders_.begin(), folders_.end(), [wd](const auto& f) { return f.first == wd; }))
        folders_.emplace_back(wd, folder);
    return true;
}

ChangeNotifier::Result ChangeNotifier::wait(std::vector<std::string>& changed) {
    changed.clear();
    if (!ok()) return Result::Failed;
    for (;;) {
        pollfd fds[2] = {{wake_, POLLIN, 0}, {notify_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return Result::Failed;
        }
        if (fds[0].revents & POLLIN) {
            std::uint64_t count = 0;
            if (::read(wake_, &count, sizeof count) < 0 && errno != EAGAIN) return Result::Failed;
            return Result::Woken;
        }
        if (!(fds[1].revents & POLLIN)) continue;
        std::vector<bool> hit(folders_.size(), false);
        alignas(inotify_event) char buffer[16 * 1024];
        for (;;) {
            ssize_t got = ::read(notify_, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                for (std::size_t i = 0; i < folders_.size(); ++i)
                    if ((event->mask & IN_Q_OVERFLOW) || folders_[i].first == event->wd) hit[i] = true;
            }
        }
        for (std::size_t i = 0; i < folders_.size(); ++i)
            if (hit[i]) changed.push_back(folders_[i].second);
        if (!changed.empty()) return Result::Changed;
    }
}

void ChangeNotifier::wake() {
    std::uint64_t one = 1;
    if (wake_ >= 0 && ::write(wake_, &one, sizeof one) < 0) {
        // The counter is full: a wake-up is pending already.
    }
}

}  // namespace quarva::platform
