#include "ui/toolkit/drop_destination.h"

#include <QByteArray>
#include <QDragEnterEvent>
#include <QDropEvent>

#include <optional>
#include <string>
#include <string_view>

namespace vellumark::toolkit {

namespace {

const QString kUriListType = QStringLiteral("text/uri-list");

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Percent escapes to bytes; a '%' not followed by two hex digits stays as it is. Nothing when the bytes
// hold a NUL or an escaped '/': no file name holds either, and the path would name another item.
std::optional<std::string> percentDecoded(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
            hexValue(text[i + 2]) >= 0) {
            const char byte = static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            if (byte == '/') {
                return std::nullopt;
            }
            bytes.push_back(byte);
            i += 2;
        } else {
            bytes.push_back(text[i]);
        }
    }
    if (bytes.find('\0') != std::string::npos) {
        return std::nullopt;
    }
    return bytes;
}

bool startsWithCaseless(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const char c = text[i];
        const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != prefix[i]) {
            return false;
        }
    }
    return true;
}

// "file:///p", "file://localhost/p" and "file:/p" name the local "/p". A URL with a query or fragment
// is refused whole: a raw '?' or '#' is then either one or a sender's unescaped name, and cutting there
// could name another existing file.
std::optional<std::filesystem::path> localPath(std::string_view uri) {
    if (!startsWithCaseless(uri, "file:")) {
        return std::nullopt;
    }
    std::string_view rest = uri.substr(5);
    if (rest.find_first_of("?#") != std::string_view::npos) {
        return std::nullopt;
    }
    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        const std::size_t slash = rest.find('/');
        const std::string_view host = rest.substr(0, slash);
        const bool local = host.empty() || (host.size() == 9 && startsWithCaseless(host, "localhost"));
        if (!local || slash == std::string_view::npos) {
            return std::nullopt;
        }
        rest.remove_prefix(slash);
    }
    if (!rest.starts_with('/')) {
        return std::nullopt;
    }
    std::optional<std::string> bytes = percentDecoded(rest);
    if (!bytes) {
        return std::nullopt;
    }
    return std::filesystem::path(std::move(*bytes));
}

}  // namespace

std::vector<std::filesystem::path> fileURLsFromUriList(std::string_view uriList) {
    std::vector<std::filesystem::path> paths;
    std::size_t start = 0;
    while (start < uriList.size()) {
        // CRLF is what the format asks for; senders also end lines with a bare LF or CR. The empty lines
        // the other pairings leave are skipped.
        std::size_t end = uriList.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            end = uriList.size();
        }
        std::string_view line = uriList.substr(start, end - start);
        start = end + 1;
        // Only space before the URL goes: after it, a raw space or tab is part of a name.
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
            line.remove_prefix(1);
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }
        if (std::optional<std::filesystem::path> path = localPath(line)) {
            paths.push_back(std::move(*path));
        }
    }
    return paths;
}

std::vector<std::filesystem::path> fileURLsFromMimeData(const QMimeData& data) {
    const QByteArray bytes = data.data(kUriListType);
    return fileURLsFromUriList(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

DropDestination::DropDestination(QWidget& target, std::function<void(bool)> targeted,
                                 std::function<void(std::vector<std::filesystem::path>)> dropped)
    : QObject(&target), target_(target), onTargeted_(std::move(targeted)), onDropped_(std::move(dropped)) {
    target_.setAcceptDrops(true);
    target_.installEventFilter(this);
}

namespace {

// The items are only listed, never moved: a source told that its items were moved may delete them.
bool acceptWithoutMoving(QDropEvent& event) {
    for (const Qt::DropAction action : {Qt::CopyAction, Qt::LinkAction}) {
        if (event.possibleActions().testFlag(action)) {
            event.setDropAction(action);
            event.accept();
            return true;
        }
    }
    event.ignore();
    return false;
}

}  // namespace

bool DropDestination::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &target_) {
        return false;
    }
    switch (event->type()) {
        case QEvent::DragEnter: {
            auto* drag = static_cast<QDragEnterEvent*>(event);
            if (!drag->mimeData()->hasFormat(kUriListType)) {
                drag->ignore();
                return true;
            }
            if (!acceptWithoutMoving(*drag)) {
                return true;
            }
            setTargeted(true);
            return true;
        }
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (drag->mimeData()->hasFormat(kUriListType)) {
                acceptWithoutMoving(*drag);
            }
            return true;
        }
        case QEvent::DragLeave:
            setTargeted(false);
            return true;
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            setTargeted(false);
            if (!acceptWithoutMoving(*drop)) {
                return true;
            }
            onDropped_(fileURLsFromMimeData(*drop->mimeData()));
            return true;
        }
        default:
            return false;
    }
}

void DropDestination::setTargeted(bool targeted) {
    if (targeted == targeted_) {
        return;
    }
    targeted_ = targeted;
    onTargeted_(targeted);
}

}  // namespace vellumark::toolkit
