#include "app_model/listed_paths.h"

#include "app_model/utf8.h"

#include <unicode/bytestream.h>
#include <unicode/normalizer2.h>

#include <bit>
#include <climits>
#include <stdexcept>

namespace vellumark {

namespace {

const icu::Normalizer2* nfc() {
    static const icu::Normalizer2* const instance = [] {
        UErrorCode status = U_ZERO_ERROR;
        const icu::Normalizer2* normalizer = icu::Normalizer2::getNFCInstance(status);
        return U_SUCCESS(status) ? normalizer : nullptr;
    }();
    return instance;
}

bool isAscii(std::string_view text) {
    unsigned char bits = 0;
    for (const char c : text) {
        bits |= static_cast<unsigned char>(c);
    }
    return bits < 0x80;
}

// The form in which paths are compared and hashed: the NFC form of valid UTF-8 that is not NFC already,
// otherwise the bytes themselves (a view of `path`, no copy). `buffer` holds a normalized form.
std::string_view comparisonForm(std::string_view path, std::string& buffer) {
    if (isAscii(path) || path.size() > static_cast<std::size_t>(INT32_MAX) || !isValidUtf8(path)) {
        return path;
    }
    const icu::Normalizer2* normalizer = nfc();
    if (normalizer == nullptr) {
        return path;
    }
    const icu::StringPiece piece(path.data(), static_cast<std::int32_t>(path.size()));
    UErrorCode status = U_ZERO_ERROR;
    if (normalizer->isNormalizedUTF8(piece, status) || U_FAILURE(status)) {
        return path;
    }
    buffer.clear();
    icu::StringByteSink<std::string> sink(&buffer);
    normalizer->normalizeUTF8(0, piece, sink, nullptr, status);
    return U_SUCCESS(status) ? std::string_view(buffer) : path;
}

std::uint32_t foldedHash(std::string_view form) {
    const std::uint64_t hash = std::hash<std::string_view>{}(form);
    return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

}  // namespace

bool equivalentPaths(std::string_view a, std::string_view b) {
    if (a == b) {
        return true;
    }
    std::string bufferA;
    std::string bufferB;
    return comparisonForm(a, bufferA) == comparisonForm(b, bufferB);
}

std::uint64_t equivalentPathHash(std::string_view path) {
    std::string buffer;
    return std::hash<std::string_view>{}(comparisonForm(path, buffer));
}

ListedPaths::ListedPaths(PathAt pathAt) : pathAt_(std::move(pathAt)) {}

void ListedPaths::assign(std::size_t count) {
    if (count >= kEmpty) {
        throw std::length_error("too many listed items");
    }
    slots_.clear();
    size_ = 0;
    reserve(count);
    for (std::size_t position = 0; position < count; ++position) {
        const std::uint32_t hash = foldedHash(comparisonForm(pathAt_(position), candidateForm_));
        place(Slot{static_cast<std::uint32_t>(position), hash});
    }
}

bool ListedPaths::insert(std::string_view path, std::size_t position) {
    const std::string_view form = comparisonForm(path, candidateForm_);
    const std::uint32_t hash = foldedHash(form);
    reserve(size_ + 1);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask; slots_[i].position != kEmpty; i = (i + 1) & mask) {
        if (slots_[i].hash != hash) {
            continue;
        }
        const std::string_view listed = pathAt_(slots_[i].position);
        if (listed == path || comparisonForm(listed, listedForm_) == form) {
            return false;
        }
    }
    if (position >= kEmpty) {
        throw std::length_error("too many listed items");
    }
    place(Slot{static_cast<std::uint32_t>(position), hash});
    return true;
}

void ListedPaths::reserve(std::size_t count) {
    // At most three quarters full, so that probing for a new path stays short.
    if (count * 4 <= slots_.size() * 3) {
        return;
    }
    const std::size_t capacity = std::bit_ceil(std::max<std::size_t>(16, count + count / 3 + 1));
    std::vector<Slot> old(capacity, Slot{kEmpty, 0});
    old.swap(slots_);
    size_ = 0;
    for (const Slot slot : old) {
        if (slot.position != kEmpty) {
            place(slot);
        }
    }
}

void ListedPaths::place(Slot slot) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = slot.hash & mask;
    while (slots_[i].position != kEmpty) {
        i = (i + 1) & mask;
    }
    slots_[i] = slot;
    ++size_;
}

}  // namespace vellumark
