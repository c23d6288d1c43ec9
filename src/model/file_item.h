#pragma once

#include "date.h"
#include "item_identity.h"
#include "uuid.h"
#include "volume_capabilities.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>

namespace vellumark {

// One listed file or folder, known by its id, made afresh for every record: two records of the same path
// are different items, and equality and hashing look at the id alone.
//
// The URL is kept as its raw path bytes: a std::filesystem::path also keeps a parsed copy of every
// component, which would cost a few hundred bytes per item in a list of a million.
class FileItem {
public:
    explicit FileItem(const std::filesystem::path& url, std::optional<Date> creation = std::nullopt,
                      std::optional<Date> modification = std::nullopt, bool directory = false)
        : FileItem(std::string(url.native()), creation, modification, directory, Bytes{}) {}

    // The same, from the path's bytes, without building a path object.
    static FileItem withPath(std::string path, std::optional<Date> creation = std::nullopt,
                             std::optional<Date> modification = std::nullopt, bool directory = false) {
        return FileItem(std::move(path), creation, modification, directory, Bytes{});
    }

    const Uuid& id() const { return id_; }
    std::filesystem::path url() const { return std::filesystem::path(path_); }
    // The bytes of url(), cheap to read.
    const std::string& path() const { return path_; }

    std::optional<Date> creationDate;
    std::optional<Date> modificationDate;
    bool isDirectory = false;
    // What the item's volume can do, as learnt when its dates were read.
    VolumeRef volume;
    // The file the path named when the item was listed; nullopt when nothing could be read of it.
    std::optional<ItemIdentity> identity;

    friend bool operator==(const FileItem& a, const FileItem& b) { return a.id_ == b.id_; }

private:
    struct Bytes {};
    FileItem(std::string path, std::optional<Date> creation, std::optional<Date> modification, bool directory,
             Bytes)
        : creationDate(creation),
          modificationDate(modification),
          isDirectory(directory),
          id_(Uuid::random()),
          path_(std::move(path)) {}

    Uuid id_;
    std::string path_;
};

}  // namespace vellumark

template <>
struct std::hash<vellumark::FileItem> {
    std::size_t operator()(const vellumark::FileItem& item) const noexcept {
        return std::hash<vellumark::Uuid>{}(item.id());
    }
};
