#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace vellumark {

// Threads that make passes over a range of indices for the thread that asks for them, for as long as this
// object lives, while that thread goes on with other work. A pass calls `each(i, thread)` once for every i
// in [0, count), `thread` numbering the thread that makes the call, from 0. The range is cut into one
// share per thread; each thread takes the indices of its own share one at a time, in increasing order, then
// helps with the shares after it. So the calls under way at any moment are at most one per thread, and
// seldom on neighbouring indices: neighbouring files often share a block of the disk's records, which two
// writers then take turns to lock. `each` must not throw.
//
// The threads run in the background (runInBackground), each calling `begin`, where given, before its first
// pass; `begin` must not throw. With no threads a pass is a plain loop, run by start() on the calling thread
// as thread 0.
class ParallelPass {
public:
    using Each = std::function<void(std::size_t index, unsigned thread)>;

    explicit ParallelPass(unsigned threads, const std::function<void()>& begin = {});
    // Waits for the pass under way, then lets the threads go.
    ~ParallelPass();
    ParallelPass(const ParallelPass&) = delete;
    ParallelPass& operator=(const ParallelPass&) = delete;

    // Begins a pass; `each` must live until wait() returns. Called from one thread at a time, with no pass
    // under way.
    void start(std::size_t count, Each each);
    // Returns when every call of the pass has returned (at once when none was started).
    void wait();
    // As wait(), but gives up after `time`; true when the pass is done.
    bool waitFor(std::chrono::steady_clock::duration time);

private:
    void serve(const std::stop_token& stop, unsigned thread, const std::function<void()>& begin);

    // The indices [next, end) of a pass not yet taken from one thread's share; a line of the cache each.
    struct alignas(64) Share {
        std::atomic<std::size_t> next = 0;
        std::size_t end = 0;
    };

    std::mutex mutex_;
    std::condition_variable_any started_;
    std::condition_variable finished_;
    // Guarded by mutex_; the shares' ends and `each_` are read without it by the threads of the pass
    // that `pass_` announces.
    std::uint64_t pass_ = 0;
    unsigned working_ = 0;
    Each each_;
    const unsigned shareCount_;  // one per thread
    std::unique_ptr<Share[]> shares_;
    std::vector<std::jthread> threads_;  // last, so that they stop before anything they read goes
};

// Below this many elements, a loop that spends tens of nanoseconds on each is done before a second thread
// would have started: worth splitting only from here on.
inline constexpr std::size_t kSideBySideFrom = std::size_t{1} << 15;

// Runs `first` on this thread and `second` on a thread of its own at the same time, or both here, one after
// the other, when `together` is false or no thread can be had. Returns when both have; what `second` threw
// is thrown again here, after `first` has returned.
void runSideBySide(bool together, const std::function<void()>& first, const std::function<void()>& second);

// Calls `part(half, from, to)` for the two halves of [0, count), half 0 then half 1, side by side from
// kSideBySideFrom elements on.
void runInHalves(std::size_t count,
                 const std::function<void(int half, std::size_t from, std::size_t to)>& part);

}  // namespace vellumark
