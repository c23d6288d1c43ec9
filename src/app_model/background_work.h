#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <stop_token>
#include <thread>

namespace vellumark {

// Runs a function later on the thread that owns the model, in the order handed over. A desktop shell
// posts it to its event loop; it must never run the function before returning.
using HandBack = std::function<void(std::function<void()>)>;

// One piece of slow work at a time, off the owner's thread and in the background (runInBackground). The
// work gets a stop token and a hand-back through which it returns its results as values; what it hands
// back runs on the owner's thread, and only while this object lives.
//
// Without a HandBack the work runs at once on the calling thread, and whatever it hands back runs at once
// too: the synchronous mode of the command line and of most tests.
class BackgroundWork {
public:
    using Work = std::function<void(std::stop_token, const HandBack&)>;

    explicit BackgroundWork(HandBack handBack = {});
    // Asks the work to stop and waits for it to return; nothing it handed back runs afterwards.
    ~BackgroundWork();
    BackgroundWork(const BackgroundWork&) = delete;
    BackgroundWork& operator=(const BackgroundWork&) = delete;

    bool isSynchronous() const { return !handBack_; }

    // Waits for earlier work to return first. Called on the owner's thread.
    void start(Work work);
    // The work sees its stop token set; it ends at its next look. Safe from the work's own thread too.
    void requestStop();
    // Waits for the work to return (not for what it handed back to run).
    void wait();

private:
    HandBack handBack_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    // Made before the thread that reads it, so that a stop asked for at any moment is seen.
    std::stop_source stop_;
    std::thread thread_;
};

// Frees a large container on a thread of its own, so that the owner's thread never waits for a million
// small frees (a selection or a list of a million items takes around 100 ms to free); a small one is freed
// at once. Either way `container` is left empty, its memory gone.
template <typename Container>
void releaseInBackground(Container& container) {
    constexpr std::size_t kLarge = 1U << 16;
    Container doomed;
    doomed.swap(container);
    if (doomed.size() >= kLarge) {
        std::thread([doomed = std::move(doomed)] {}).detach();
    }
}

}  // namespace vellumark
