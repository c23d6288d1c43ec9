#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vellumark {

// Whether two paths name the same listed item: equal bytes, or valid UTF-8 whose NFC forms are equal, so
// a precomposed and a decomposed "é" match while "A" and "a" do not. A path that is not valid UTF-8
// equals only its own bytes.
bool equivalentPaths(std::string_view a, std::string_view b);

// A hash that agrees with equivalentPaths.
std::uint64_t equivalentPathHash(std::string_view path);

// A set of paths under equivalentPaths that keeps no path of its own. It holds the positions of items in a
// list the caller owns and reads their paths back through `pathAt` only when two hashes meet, so the
// caller's list may grow and move while the set is in use. Eight bytes per position plus free slots.
class ListedPaths {
public:
    using PathAt = std::function<std::string_view(std::size_t position)>;

    explicit ListedPaths(PathAt pathAt);

    // Starts over with the positions 0 to count - 1, taken as distinct.
    void assign(std::size_t count);

    // Records `path` as the item at `position` unless an equivalent path is present; returns whether it
    // was recorded. The caller places the item there before the next call.
    bool insert(std::string_view path, std::size_t position);

    std::size_t size() const { return size_; }

private:
    struct Slot {
        std::uint32_t position;
        std::uint32_t hash;
    };
    static constexpr std::uint32_t kEmpty = UINT32_MAX;

    void reserve(std::size_t count);
    void place(Slot slot);

    PathAt pathAt_;
    std::vector<Slot> slots_;
    std::size_t size_ = 0;
    // Reused for the normalized forms of the paths being compared.
    std::string candidateForm_;
    std::string listedForm_;
};

}  // namespace vellumark
