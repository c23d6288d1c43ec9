#pragma once

#include "date.h"
#include "uuid.h"

#include <filesystem>
#include <functional>
#include <optional>

namespace vellumark {

// One listed file or folder. Its identity is its id, made afresh for every record: two records of the
// same path are different items, and equality and hashing look at the id alone.
class FileItem {
public:
    explicit FileItem(std::filesystem::path url, std::optional<Date> creation = std::nullopt,
                      std::optional<Date> modification = std::nullopt, bool directory = false)
        : creationDate(creation),
          modificationDate(modification),
          isDirectory(directory),
          id_(Uuid::random()),
          url_(std::move(url)) {}

    const Uuid& id() const { return id_; }
    const std::filesystem::path& url() const { return url_; }

    std::optional<Date> creationDate;
    std::optional<Date> modificationDate;
    bool isDirectory = false;

    friend bool operator==(const FileItem& a, const FileItem& b) { return a.id_ == b.id_; }

private:
    Uuid id_;
    std::filesystem::path url_;
};

}  // namespace vellumark

template <>
struct std::hash<vellumark::FileItem> {
    std::size_t operator()(const vellumark::FileItem& item) const noexcept {
        return std::hash<vellumark::Uuid>{}(item.id());
    }
};
