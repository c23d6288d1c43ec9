#include "app_model/background_work.h"

#include "app_model/thread_priority.h"

#include <utility>

namespace vellumark {

BackgroundWork::BackgroundWork(HandBack handBack) : handBack_(std::move(handBack)) {}

BackgroundWork::~BackgroundWork() {
    requestStop();
    wait();
}

void BackgroundWork::start(Work work) {
    wait();
    stop_ = std::stop_source();
    if (isSynchronous()) {
        const HandBack now = [](const std::function<void()>& function) { function(); };
        work(stop_.get_token(), now);
        return;
    }
    // What the work hands back checks, on the owner's thread, that this object still lives.
    HandBack guarded = [handBack = handBack_,
                        alive = std::weak_ptr<int>(alive_)](std::function<void()> function) {
        handBack([alive, function = std::move(function)] {
            if (alive.lock()) {
                function();
            }
        });
    };
    thread_ = std::thread([work = std::move(work), guarded = std::move(guarded), stop = stop_.get_token()] {
        runInBackground();
        work(stop, guarded);
    });
}

void BackgroundWork::requestStop() {
    stop_.request_stop();
}

void BackgroundWork::wait() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

}  // namespace vellumark
