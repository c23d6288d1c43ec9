#pragma once

#include <QMimeData>
#include <QObject>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <string_view>
#include <vector>

namespace vellumark::toolkit {

// The local file paths of a text/uri-list, in the order given, decoded from its raw bytes: percent
// escapes become the bytes they stand for, so a name that is not valid UTF-8 arrives intact (Qt's
// QMimeData::urls() goes through QString and loses it). Lines may end in CRLF, LF or CR. Comment lines,
// other schemes, files on other hosts and file URLs with a query or fragment are skipped, as are paths
// that would decode to a NUL or an escaped '/'.
//   "file:///tmp/caf%E9.txt\r\n" -> {"/tmp/caf\xE9.txt"}
//   "file:///tmp/a%23b.txt\r\n"  -> {"/tmp/a#b.txt"}, but "file:///tmp/a#b.txt\r\n" -> {}
std::vector<std::filesystem::path> fileURLsFromUriList(std::string_view uriList);
std::vector<std::filesystem::path> fileURLsFromMimeData(const QMimeData& data);

// Makes a widget (and everything in it that takes no drops itself) a drop target for file URLs.
// `targeted` is told true while such a drag is over the widget and false when it leaves, is cancelled or
// drops; on a drop every dropped path, in delivery order, goes to `dropped` in one call, and the drop is
// accepted whatever the handler does with it.
class DropDestination : public QObject {
    Q_OBJECT

public:
    DropDestination(QWidget& target, std::function<void(bool)> targeted,
                    std::function<void(std::vector<std::filesystem::path>)> dropped);

    bool isTargeted() const { return targeted_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setTargeted(bool targeted);

    QWidget& target_;
    std::function<void(bool)> onTargeted_;
    std::function<void(std::vector<std::filesystem::path>)> onDropped_;
    bool targeted_ = false;
};

}  // namespace vellumark::toolkit
