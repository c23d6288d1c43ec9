#pragma once

#include "app_model/background_work.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace vellumark {

// The owner's side of a worker thread for a program without an event loop (the command line, tests,
// benchmarks): what the worker hands back waits here until the owner's thread runs it.
class HandBackQueue {
public:
    HandBack handBack() {
        return [this](std::function<void()> function) {
            const std::lock_guard lock(mutex_);
            queue_.push_back(std::move(function));
            arrived_.notify_all();
        };
    }

    // Runs what was handed back, as it comes, until `done` holds, asking it at least every 5 ms; false
    // when it did not hold by `deadline`.
    bool runUntil(const std::function<bool()>& done, std::chrono::steady_clock::time_point deadline =
                                                         std::chrono::steady_clock::time_point::max()) {
        while (!done()) {
            std::unique_lock lock(mutex_);
            // Looks at `done` again now and then: the worker may bring it about without handing anything
            // back.
            if (!arrived_.wait_for(lock, std::chrono::milliseconds(5), [this] { return !queue_.empty(); })) {
                if (std::chrono::steady_clock::now() > deadline) {
                    return false;
                }
                continue;
            }
            std::function<void()> next = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            next();
        }
        return true;
    }

    // Runs whatever is waiting now.
    void runPending() {
        std::unique_lock lock(mutex_);
        while (!queue_.empty()) {
            std::function<void()> next = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            next();
            lock.lock();
        }
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<std::function<void()>> queue_;
};

}  // namespace vellumark
