#include "ui/toolkit/path_text.h"

#include "app_model/visible_text.h"

#include <QByteArray>
#include <QFile>

namespace vellumark::toolkit {

QString displayPath(const std::filesystem::path& path) {
    return QString::fromStdString(visibleText(path.native()));
}

QString displayName(const std::filesystem::path& path) {
    std::filesystem::path name = path.filename();
    if (name.empty()) {
        name = path.parent_path().filename();
    }
    return name.empty() ? displayPath(path) : displayPath(name);
}

std::filesystem::path pathFromLocalFile(const QString& localFile) {
    const QByteArray bytes = QFile::encodeName(localFile);
    return std::filesystem::path(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

}  // namespace vellumark::toolkit
