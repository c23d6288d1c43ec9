#include "app_model/background_work.h"

#include <utility>

namespace vellumark {

BackgroundWork::BackgroundWork(HandBack handBack) : handBack_(std::move(handBack)) {}

BackgroundWork::~BackgroundWork() {
    requestStop();
    wait();
}

void BackgroundWork::start(Work work) {
    wait();
    if (isSynchronous()) {
        inlineStop_ = {};
        const HandBack now = [](std::function<void()> function) { function(); };
        work(inlineStop_.get_token(), now);
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
    thread_ = std::jthread([work = std::move(work), guarded = std::move(guarded)](std::stop_token stop) {
        work(std::move(stop), guarded);
    });
}

void BackgroundWork::requestStop() {
    if (isSynchronous()) {
        inlineStop_.request_stop();
    } else {
        thread_.request_stop();
    }
}

void BackgroundWork::wait() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

}  // namespace vellumark
