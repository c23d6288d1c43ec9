#include "app_model/change_publisher.h"

#include <algorithm>
#include <utility>

namespace vellumark {

struct ChangePublisher::Subscription::Registry {
    struct Entry {
        std::uint64_t token;
        // Shared so that an observer cancelled while it runs stays alive until it returns.
        std::shared_ptr<Observer> observer;
    };

    void remove(std::uint64_t token) {
        const auto entry = std::find_if(entries.begin(), entries.end(),
                                        [token](const Entry& e) { return e.token == token; });
        if (entry == entries.end()) {
            return;
        }
        if (sendDepth > 0) {
            // Erasing would shift the entries a running send() is walking by index.
            entry->observer.reset();
            hasCancelledEntries = true;
        } else {
            entries.erase(entry);
        }
    }

    std::vector<Entry> entries;
    std::uint64_t nextToken = 1;
    int sendDepth = 0;
    bool hasCancelledEntries = false;
};

ChangePublisher::Subscription::Subscription(std::weak_ptr<Registry> registry, std::uint64_t token)
    : registry_(std::move(registry)), token_(token) {}

ChangePublisher::Subscription& ChangePublisher::Subscription::operator=(Subscription&& other) noexcept {
    if (this != &other) {
        cancel();
        registry_ = std::move(other.registry_);
        token_ = std::exchange(other.token_, 0);
    }
    return *this;
}

ChangePublisher::Subscription::~Subscription() {
    cancel();
}

void ChangePublisher::Subscription::cancel() {
    if (const auto registry = registry_.lock()) {
        registry->remove(token_);
    }
    registry_.reset();
    token_ = 0;
}

ChangePublisher::ChangePublisher() : registry_(std::make_shared<Subscription::Registry>()) {}

ChangePublisher::~ChangePublisher() = default;

ChangePublisher::Subscription ChangePublisher::subscribe(Observer observer) {
    const std::uint64_t token = registry_->nextToken++;
    registry_->entries.push_back({token, std::make_shared<Observer>(std::move(observer))});
    return Subscription(registry_, token);
}

void ChangePublisher::send() const {
    // Kept alive here in case an observer destroys the publisher's owner.
    const std::shared_ptr<Subscription::Registry> registry = registry_;
    struct Depth {
        Subscription::Registry& registry;
        explicit Depth(Subscription::Registry& r) : registry(r) { ++registry.sendDepth; }
        ~Depth() {
            if (--registry.sendDepth == 0 && registry.hasCancelledEntries) {
                std::erase_if(registry.entries, [](const auto& entry) { return !entry.observer; });
                registry.hasCancelledEntries = false;
            }
        }
    } depth(*registry);

    // Observers subscribed during this send are first called by the next one.
    const std::size_t count = registry->entries.size();
    for (std::size_t i = 0; i < count; ++i) {
        if (const std::shared_ptr<Observer> observer = registry->entries[i].observer) {
            (*observer)();
        }
    }
}

}  // namespace vellumark
