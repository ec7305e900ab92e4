// Auto-reset and manual-reset events.

#include "platform/Event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace quarva::platform;
using namespace std::chrono_literals;

namespace {

TEST(Event, AutoResetIsConsumedByOneWait) {
    Event e;  // auto-reset, not signalled
    EXPECT_FALSE(e.isSet());
    EXPECT_FALSE(e.waitFor(1ms));
    e.set();
    EXPECT_TRUE(e.isSet());
    EXPECT_TRUE(e.waitFor(0ms));
    EXPECT_FALSE(e.isSet());
    EXPECT_FALSE(e.waitFor(5ms));
    e.set();
    e.set();  // signals do not add up
    e.wait();
    EXPECT_FALSE(e.waitFor(1ms));
}

TEST(Event, ManualResetStaysSignalledUntilReset) {
    Event e(Event::Reset::Manual);
    EXPECT_FALSE(e.waitFor(1ms));
    e.set();
    EXPECT_TRUE(e.waitFor(0ms));
    EXPECT_TRUE(e.waitFor(0ms));
    e.wait();
    EXPECT_TRUE(e.isSet());
    e.reset();
    EXPECT_FALSE(e.isSet());
    EXPECT_FALSE(e.waitFor(2ms));
}

TEST(Event, StartsSignalledWhenAsked) {
    Event manual(Event::Reset::Manual, true);
    EXPECT_TRUE(manual.isSet());
    Event automatic(Event::Reset::Auto, true);
    EXPECT_TRUE(automatic.waitFor(0ms));
    EXPECT_FALSE(automatic.isSet());
}

TEST(Event, SetFromAnotherThreadWakesTheWaiter) {
    Event done;
    std::atomic<int> result{0};
    std::thread worker([&] {
        result = 42;
        done.set();
    });
    done.wait();
    EXPECT_EQ(result.load(), 42);
    worker.join();
}

// Three threads that each wait for `e` once and count their wake.
std::vector<std::thread> startWaiters(Event& e, std::atomic<int>& woken) {
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i)
        waiters.emplace_back([&] {
            e.wait();
            ++woken;
        });
    return waiters;
}

TEST(Event, AutoResetWakesOneWaiterPerSet) {
    Event e;
    std::atomic<int> woken{0};
    auto waiters = startWaiters(e, woken);
    for (int round = 1; round <= 3; ++round) {
        e.set();
        while (woken.load() < round) std::this_thread::yield();
        // Every wake consumed the signal it was woken by.
        EXPECT_EQ(woken.load(), round);
    }
    for (auto& t : waiters) t.join();
    EXPECT_FALSE(e.isSet());
}

TEST(Event, ManualResetWakesEveryWaiter) {
    Event e(Event::Reset::Manual);
    std::atomic<int> woken{0};
    auto waiters = startWaiters(e, woken);
    e.set();
    for (auto& t : waiters) t.join();
    EXPECT_EQ(woken.load(), 3);
    EXPECT_TRUE(e.isSet());
}

}  // namespace
