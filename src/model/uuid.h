#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace vellumark {

// A random (version 4) UUID. Identities of listed items and of apply results.
class Uuid {
public:
    constexpr Uuid() = default;

    static Uuid random();

    const std::array<std::uint8_t, 16>& bytes() const { return bytes_; }
    int version() const { return bytes_[6] >> 4; }

    // Lower-case 8-4-4-4-12 form.
    std::string toString() const;

    friend bool operator==(const Uuid&, const Uuid&) = default;

private:
    std::array<std::uint8_t, 16> bytes_{};
};

}  // namespace vellumark

template <>
struct std::hash<vellumark::Uuid> {
    std::size_t operator()(const vellumark::Uuid& uuid) const noexcept;
};
