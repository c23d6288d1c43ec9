#include "app_model/change_publisher.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vellumark {
namespace {

TEST(ChangePublisherTest, CallsEveryObserverOncePerSendInSubscriptionOrder) {
    ChangePublisher publisher;
    std::string calls;
    auto first = publisher.subscribe([&] { calls += "1"; });
    auto second = publisher.subscribe([&] { calls += "2"; });
    publisher.send();
    publisher.send();
    EXPECT_EQ(calls, "1212");
}

TEST(ChangePublisherTest, EndsTheSubscriptionWhenCancelledDestroyedOrReplaced) {
    ChangePublisher publisher;
    int calls = 0;
    auto cancelled = publisher.subscribe([&] { ++calls; });
    cancelled.cancel();
    {
        auto scoped = publisher.subscribe([&] { ++calls; });
    }
    auto replaced = publisher.subscribe([&] { calls += 100; });
    replaced = publisher.subscribe([&] { calls += 10; });
    publisher.send();
    EXPECT_EQ(calls, 10);
}

TEST(ChangePublisherTest, MovedSubscriptionStaysActive) {
    ChangePublisher publisher;
    int calls = 0;
    ChangePublisher::Subscription moved;
    {
        auto original = publisher.subscribe([&] { ++calls; });
        moved = std::move(original);
    }
    publisher.send();
    EXPECT_EQ(calls, 1);
}

TEST(ChangePublisherTest, ObserverMayCancelItselfAndOthersWhileBeingCalled) {
    ChangePublisher publisher;
    std::string calls;
    ChangePublisher::Subscription self;
    ChangePublisher::Subscription later;
    self = publisher.subscribe([&] {
        calls += "s";
        self.cancel();
        later.cancel();
    });
    later = publisher.subscribe([&] { calls += "l"; });
    auto last = publisher.subscribe([&] { calls += "x"; });
    publisher.send();
    publisher.send();
    EXPECT_EQ(calls, "sxx");
}

TEST(ChangePublisherTest, ObserverSubscribedDuringSendIsCalledFromTheNextSend) {
    ChangePublisher publisher;
    std::string calls;
    std::vector<ChangePublisher::Subscription> added;
    auto adder = publisher.subscribe([&] {
        calls += "a";
        if (added.empty()) {
            added.push_back(publisher.subscribe([&] { calls += "n"; }));
        }
    });
    publisher.send();
    publisher.send();
    EXPECT_EQ(calls, "aan");
}

}  // namespace
}  // namespace vellumark
