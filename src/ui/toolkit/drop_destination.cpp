#include "ui/toolkit/drop_destination.h"

#include <QDragEnterEvent>
#include <QDropEvent>

#include <optional>
#include <string>

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

// Percent escapes to bytes; a '%' not followed by two hex digits stays as it is.
std::string percentDecoded(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
            hexValue(text[i + 2]) >= 0) {
            bytes.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
            i += 2;
        } else {
            bytes.push_back(text[i]);
        }
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

// "file:///p", "file://localhost/p" and "file:/p" name the local "/p"; a query or fragment is not part
// of the path (a '#' or '?' in a name arrives escaped).
std::optional<std::filesystem::path> localPath(std::string_view uri) {
    if (!startsWithCaseless(uri, "file:")) {
        return std::nullopt;
    }
    std::string_view rest = uri.substr(5);
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
    rest = rest.substr(0, rest.find_first_of("?#"));
    if (!rest.starts_with('/')) {
        return std::nullopt;
    }
    return std::filesystem::path(percentDecoded(rest));
}

}  // namespace

std::vector<std::filesystem::path> fileURLsFromUriList(const QByteArray& uriList) {
    std::vector<std::filesystem::path> paths;
    const std::string_view text(uriList.constData(), static_cast<std::size_t>(uriList.size()));
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
            line.remove_suffix(1);
        }
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
    return fileURLsFromUriList(data.data(kUriListType));
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
