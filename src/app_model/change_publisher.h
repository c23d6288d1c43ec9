#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace vellumark {

// A payload-free "will change" signal. The model sends it once per write of a published property,
// before the value is stored; observers re-read the model later (views on the next event-loop pass).
class ChangePublisher {
public:
    using Observer = std::function<void()>;

    // Ends the subscription when destroyed; safe to outlive the publisher.
    class Subscription {
    public:
        Subscription() = default;
        Subscription(Subscription&&) noexcept = default;
        Subscription& operator=(Subscription&&) noexcept;
        Subscription(const Subscription&) = delete;
        Subscription& operator=(const Subscription&) = delete;
        ~Subscription();

        void cancel();

    private:
        friend class ChangePublisher;
        struct Registry;
        Subscription(std::weak_ptr<Registry> registry, std::uint64_t token);

        std::weak_ptr<Registry> registry_;
        std::uint64_t token_ = 0;
    };

    ChangePublisher();
    ~ChangePublisher();
    ChangePublisher(const ChangePublisher&) = delete;
    ChangePublisher& operator=(const ChangePublisher&) = delete;

    [[nodiscard]] Subscription subscribe(Observer observer);

    // Calls every observer once, in subscription order. Observers may subscribe or cancel meanwhile.
    void send() const;

private:
    std::shared_ptr<Subscription::Registry> registry_;
};

}  // namespace vellumark
