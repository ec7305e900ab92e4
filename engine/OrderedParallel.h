#pragma once
// Runs tasks on worker threads and hands their results to the calling thread in
// task order, with at most `window` results waiting (bounded memory).

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace quarva::engine {

// `idle`, when given, is called on the calling thread with the index it waits for,
// every 50 ms while that result is not ready (for progress reports of long tasks).
template <class Result>
bool orderedParallel(std::size_t count, unsigned threads, std::size_t window,
                     const std::function<Result(std::size_t)>& work,
                     const std::function<bool(std::size_t, Result&)>& consume,
                     const std::function<void(std::size_t)>& idle = {}) {
    if (count == 0) return true;
    if (count == 1) {
        // One task: no thread to start and hand over to (a one-file change).
        Result r = work(0);
        return consume(0, r);
    }
    threads = std::max(1u, threads);
    window = std::max<std::size_t>(window, threads);
    std::mutex m;
    // Workers wait for room in the window, the calling thread for the next result;
    // each side is woken only when the other has something for it.
    std::condition_variable room, ready;
    std::vector<std::optional<Result>> slots(count);
    std::size_t next = 0, consumed = 0, waiting = 0;
    bool stop = false;
    auto worker = [&] {
        for (;;) {
            std::size_t i;
            {
                std::unique_lock lock(m);
                auto go = [&] { return stop || next >= count || next < consumed + window; };
                if (!go()) {
                    ++waiting;
                    room.wait(lock, go);
                    --waiting;
                }
                if (stop || next >= count) return;
                i = next++;
            }
            Result r = work(i);
            bool wanted;
            {
                std::lock_guard lock(m);
                slots[i].emplace(std::move(r));
                wanted = i == consumed;
            }
            if (wanted) ready.notify_one();
        }
    };
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < threads; ++t) pool.emplace_back(worker);
    bool ok = true;
    for (std::size_t i = 0; i < count && ok; ++i) {
        std::optional<Result> r;
        bool wake;
        {
            std::unique_lock lock(m);
            auto done = [&] { return slots[i].has_value(); };
            if (idle) {
                while (!ready.wait_for(lock, std::chrono::milliseconds(50), done)) {
                    lock.unlock();
                    idle(i);
                    lock.lock();
                }
            }
            ready.wait(lock, done);
            r = std::move(slots[i]);
            slots[i].reset();
            consumed = i + 1;
            wake = waiting > 0;
        }
        if (wake) room.notify_all();
        ok = consume(i, *r);
    }
    {
        std::lock_guard lock(m);
        stop = true;
    }
    room.notify_all();
    for (auto& t : pool) t.join();
    return ok;
}

}  // namespace quarva::engine
