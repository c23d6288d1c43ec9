#include "app_model/parallel_pass.h"

#include "app_model/thread_priority.h"

#include <exception>
#include <memory>
#include <optional>
#include <system_error>
#include <utility>

namespace vellumark {

ParallelPass::ParallelPass(unsigned threads, const std::function<void()>& begin)
    : shareCount_(threads), shares_(std::make_unique<Share[]>(threads)) {
    threads_.reserve(threads);
    for (unsigned thread = 0; thread < threads; ++thread) {
        threads_.emplace_back(
            [this, thread, begin](const std::stop_token& stop) { serve(stop, thread, begin); });
    }
}

ParallelPass::~ParallelPass() {
    wait();
    for (std::jthread& thread : threads_) {
        thread.request_stop();
    }
    threads_.clear();
}

void ParallelPass::start(std::size_t count, Each each) {
    if (threads_.empty()) {
        for (std::size_t index = 0; index < count; ++index) {
            each(index, 0);
        }
        return;
    }
    {
        const std::lock_guard lock(mutex_);
        for (unsigned thread = 0; thread < shareCount_; ++thread) {
            shares_[thread].next.store(count * thread / shareCount_, std::memory_order_relaxed);
            shares_[thread].end = count * (thread + 1) / shareCount_;
        }
        each_ = std::move(each);
        working_ = shareCount_;
        ++pass_;
    }
    started_.notify_all();
}

void ParallelPass::wait() {
    std::unique_lock lock(mutex_);
    finished_.wait(lock, [this] { return working_ == 0; });
}

bool ParallelPass::waitFor(std::chrono::steady_clock::duration time) {
    std::unique_lock lock(mutex_);
    return finished_.wait_for(lock, time, [this] { return working_ == 0; });
}

void ParallelPass::serve(const std::stop_token& stop, unsigned thread, const std::function<void()>& begin) {
    runInBackground();
    if (begin) {
        begin();
    }
    std::uint64_t seen = 0;
    std::unique_lock lock(mutex_);
    while (started_.wait(lock, stop, [&] { return pass_ != seen; })) {
        seen = pass_;
        lock.unlock();
        // Indices are taken without the lock, which the thread that waits for the pass takes too: under
        // it, threads writing a few microseconds per item met each other there on every item.
        for (unsigned helped = 0; helped < shareCount_; ++helped) {
            Share& share = shares_[(thread + helped) % shareCount_];
            for (std::size_t index = share.next.fetch_add(1, std::memory_order_relaxed); index < share.end;
                 index = share.next.fetch_add(1, std::memory_order_relaxed)) {
                each_(index, thread);
            }
        }
        lock.lock();
        if (--working_ == 0) {
            finished_.notify_one();
        }
    }
}

void runSideBySide(bool together, const std::function<void()>& first, const std::function<void()>& second) {
    std::exception_ptr secondFailed;
    std::optional<std::jthread> helper;
    if (together) {
        try {
            helper.emplace([&] {
                try {
                    second();
                } catch (...) {
                    secondFailed = std::current_exception();
                }
            });
        } catch (const std::system_error&) {
            // No thread to be had: this one runs both.
        }
    }
    // Should `first` throw, the helper is joined as it goes.
    first();
    if (helper) {
        helper->join();
    } else {
        second();
    }
    if (secondFailed) {
        std::rethrow_exception(secondFailed);
    }
}

void runInHalves(std::size_t count,
                 const std::function<void(int half, std::size_t from, std::size_t to)>& part) {
    const std::size_t middle = count / 2;
    runSideBySide(
        count >= kSideBySideFrom, [&] { part(0, 0, middle); }, [&] { part(1, middle, count); });
}

}  // namespace vellumark
