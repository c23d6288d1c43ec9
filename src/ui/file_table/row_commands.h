#pragma once

#include "model/file_item.h"

#include <QMimeData>
#include <QUrl>

#include <memory>
#include <string_view>
#include <vector>

namespace vellumark::file_table {

// The file URL of a path's bytes, every byte kept: bytes that are not UTF-8 are percent-encoded as they are.
QUrl fileUrl(std::string_view path);

// Paths as Copy Path puts them on the clipboard: as text, one a line as the rows show them (visibleText),
// and as a text/uri-list of their exact file URLs, one a line ending in CRLF.
std::unique_ptr<QMimeData> pathsMimeData(const std::vector<const FileItem*>& items);

}  // namespace vellumark::file_table
