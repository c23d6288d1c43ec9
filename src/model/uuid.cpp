#include "uuid.h"

#include <cstring>
#include <random>

namespace vellumark {

Uuid Uuid::random() {
    // Seeded once per thread from the system's entropy source; ids need to be unique, not secret.
    thread_local std::mt19937_64 generator{[] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device(), device(), device(), device(), device()};
        return std::mt19937_64(seed);
    }()};
    const std::uint64_t high = generator();
    const std::uint64_t low = generator();
    Uuid uuid;
    std::memcpy(uuid.bytes_.data(), &high, 8);
    std::memcpy(uuid.bytes_.data() + 8, &low, 8);
    uuid.bytes_[6] = static_cast<std::uint8_t>((uuid.bytes_[6] & 0x0F) | 0x40);  // version 4
    uuid.bytes_[8] = static_cast<std::uint8_t>((uuid.bytes_[8] & 0x3F) | 0x80);  // RFC 4122 variant
    return uuid;
}

std::string Uuid::toString() const {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(36);
    for (std::size_t i = 0; i < bytes_.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            text.push_back('-');
        }
        text.push_back(kDigits[bytes_[i] >> 4]);
        text.push_back(kDigits[bytes_[i] & 0x0F]);
    }
    return text;
}

}  // namespace vellumark

std::size_t std::hash<vellumark::Uuid>::operator()(const vellumark::Uuid& uuid) const noexcept {
    // The bytes are random already: folding the two halves is a good hash.
    std::uint64_t high = 0;
    std::uint64_t low = 0;
    std::memcpy(&high, uuid.bytes().data(), 8);
    std::memcpy(&low, uuid.bytes().data() + 8, 8);
    return static_cast<std::size_t>(high ^ (low * 0x9E3779B97F4A7C15ULL));
}
