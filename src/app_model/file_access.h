#pragma once

#include "model/date.h"
#include "model/item_identity.h"
#include "model/volume_capabilities.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace vellumark {

struct Existence {
    bool exists = false;
    bool isDirectory = false;
};

// The creation and modification dates of one item: read from it, or to be written to it (an absent
// date is left alone when writing).
struct DateAttributes {
    std::optional<Date> creationDate;
    std::optional<Date> modificationDate;

    friend bool operator==(const DateAttributes&, const DateAttributes&) = default;
};

// Existence and dates of one item, as one answer, with what the item's volume can do and which file it is.
struct ItemInfo {
    Existence existence;
    std::optional<DateAttributes> dates;  // nullopt when missing or unreadable
    VolumeRef volume;                     // unrestricted when not known
    std::optional<ItemIdentity>
        identity;  // of the item itself (a final link not followed); nullopt when not known
};

// What writing an item's dates left on the disk: the failure, if any, and the item as read afterwards.
struct WrittenItem {
    std::optional<std::string> failure;
    ItemInfo after;
};

inline constexpr const char* kReplacedText = "the item was replaced since it was added";

// The narrow door to the file system. Paths are raw bytes from end to end.
class FileAccess {
public:
    virtual ~FileAccess() = default;

    // Whether something exists at `path` and whether it is a folder, following symbolic links.
    virtual Existence fileExists(const std::filesystem::path& path) const = 0;

    // The item's own dates (a final symbolic link is not followed); nullopt when they cannot be read.
    // A date the file system does not keep is absent.
    virtual std::optional<DateAttributes> attributes(const std::filesystem::path& path) const = 0;

    // Both answers above at once, and what the item's volume can do with dates. Implementations override
    // it where one system call can give both (a plain file or folder needs no second look; only a
    // symbolic link does) and where they know their volumes.
    virtual ItemInfo inspect(const std::filesystem::path& path) const {
        ItemInfo info{fileExists(path), std::nullopt, {}, std::nullopt};
        if (info.existence.exists) {
            info.dates = attributes(path);
        }
        return info;
    }

    // Calls `visit` with the path of every descendant of `folder`, depth first, each folder before its
    // contents. Hidden items (names beginning with ".") are not visited and hidden folders not entered;
    // symbolic links are visited but never followed; unreadable subfolders are skipped.
    // Returns false, visiting nothing, when `folder` itself cannot be enumerated.
    virtual bool enumerateDescendants(
        const std::filesystem::path& folder,
        const std::function<void(const std::filesystem::path&)>& visit) const = 0;

    // enumerateDescendants, with what inspect() would give for each descendant. Implementations override it
    // to read each item as the walk meets it, relative to its open folder, rather than by its whole path.
    using InspectedVisit = std::function<void(const std::string& path, const ItemInfo& info)>;
    virtual bool inspectDescendants(const std::filesystem::path& folder, const InspectedVisit& visit) const {
        return enumerateDescendants(
            folder, [&](const std::filesystem::path& path) { visit(path.native(), inspect(path)); });
    }

    // Writes the present dates of `dates` in one step: either all of them are kept or, as far as the
    // file system allows, none. Returns nullopt on success, else a plain description of the cause.
    // `listed` is the identity inspect() gave when the item was listed: where it is known, only that very
    // file may be written, and anything else found at `path` fails with kReplacedText, untouched.
    virtual std::optional<std::string> setAttributes(const std::filesystem::path& path,
                                                     const std::optional<ItemIdentity>& listed,
                                                     const DateAttributes& dates) = 0;

    // What the writes of one thread may keep from one item to the next as a run goes through the list in
    // order, such as the open folder of the items before; its life is one run's. Made by writeSession(),
    // used by one thread at a time.
    class WriteSession {
    public:
        virtual ~WriteSession() = default;
    };
    // nullptr where writes keep nothing.
    virtual std::unique_ptr<WriteSession> writeSession() const { return nullptr; }

    // Called first on each thread that a run starts for its writes and that ends with the run, before the
    // thread writes. What the thread opens from then on may be its own alone, and what the process had
    // open before out of its reach: such a thread uses no descriptor it did not open, and takes no lock on
    // a file, which would not be the process's.
    virtual void enterWriterThread() const {}

    // Whether every member may run on several threads at once. A run then writes more than one item at a
    // time, and on a volume that answers slowly (a share across the network) keeps several requests under
    // way.
    virtual bool takesConcurrentCalls() const { return false; }

    // setAttributes, then the item as inspect() would give it. Implementations override it so that the
    // read that verifies the write is the one returned: a written item is read once. Safe to call from a
    // thread other than the one that listed the item, as every member here is.
    virtual WrittenItem writeAndInspect(const std::filesystem::path& path,
                                        const std::optional<ItemIdentity>& listed,
                                        const DateAttributes& dates) {
        WrittenItem written{setAttributes(path, listed, dates), {}};
        written.after = inspect(path);
        return written;
    }

    // writeAndInspect within `session` (one of writeSession(), or nullptr): the same outcome, where
    // implementations may save looking up again what items of one folder share.
    virtual WrittenItem writeInSession(WriteSession* session, const std::filesystem::path& path,
                                       const std::optional<ItemIdentity>& listed,
                                       const DateAttributes& dates) {
        (void)session;
        return writeAndInspect(path, listed, dates);
    }
};

}  // namespace vellumark
