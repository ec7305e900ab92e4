#pragma once
// Runs tasks on worker threads and hands their results to the calling thread in
// task order, with at most `window` results waiting (bounded memory).

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace quarva::engine {

template <class Result>
bool orderedParallel(std::size_t count, unsigned threads, std::size_t window,
                     const std::function<Result(std::size_t)>& work,
                     const std::function<bool(std::size_t, Result&)>& consume) {
    if (count == 0) return true;
    threads = std::max(1u, threads);
    window = std::max<std::size_t>(window, threads);
    std::mutex m;
    std::condition_variable cv;
    std::vector<std::optional<Result>> slots(count);
    std::size_t next = 0, consumed = 0;
    bool stop = false;
    auto worker = [&] {
        for (;;) {
            std::size_t i;
            {
                std::unique_lock lock(m);
                cv.wait(lock, [&] { return stop || next >= count || next < consumed + window; });
                if (stop || next >= count) return;
                i = next++;
            }
            Result r = work(i);
            {
                std::lock_guard lock(m);
                slots[i].emplace(std::move(r));
            }
            cv.notify_all();
        }
    };
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < threads; ++t) pool.emplace_back(worker);
    bool ok = true;
    for (std::size_t i = 0; i < count && ok; ++i) {
        std::optional<Result> r;
        {
            std::unique_lock lock(m);
            cv.wait(lock, [&] { return slots[i].has_value(); });
            r = std::move(slots[i]);
            slots[i].reset();
            consumed = i + 1;
        }
        cv.notify_all();
        ok = consume(i, *r);
    }
    {
        std::lock_guard lock(m);
        stop = true;
    }
    cv.notify_all();
    for (auto& t : pool) t.join();
    return ok;
}

}  // namespace quarva::engine
