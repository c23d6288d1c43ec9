#pragma once

#include <QString>

#include <filesystem>

namespace vellumark::toolkit {

// Paths are raw bytes; these turn them into text only to show them, as visibleText() does: bytes that are
// not valid UTF-8 show as replacement characters and a line break as "\n", so that a name stays on its
// row. The path itself is never altered.
QString displayPath(const std::filesystem::path& path);

// The last path component ("/home/ada/notes.txt" -> "notes.txt"); the whole path when it has none ("/").
QString displayName(const std::filesystem::path& path);

// A path as Qt's file dialogs give it, back to bytes.
std::filesystem::path pathFromLocalFile(const QString& localFile);

}  // namespace vellumark::toolkit
