#include "ui/file_table/row_commands.h"

#include "app_model/visible_text.h"

#include <QByteArray>
#include <QString>

namespace vellumark::file_table {

QUrl fileUrl(std::string_view path) {
    const QByteArray bytes(path.data(), static_cast<qsizetype>(path.size()));
    return QUrl::fromEncoded("file://" + bytes.toPercentEncoding("/"), QUrl::StrictMode);
}

std::unique_ptr<QMimeData> pathsMimeData(const std::vector<const FileItem*>& items) {
    QString text;
    QByteArray uris;
    for (const FileItem* item : items) {
        if (!text.isEmpty()) {
            text += QLatin1Char('\n');
        }
        text += QString::fromStdString(visibleText(item->path()));
        uris += fileUrl(item->path()).toEncoded() + "\r\n";
    }
    auto data = std::make_unique<QMimeData>();
    data->setText(text);
    data->setData(QStringLiteral("text/uri-list"), uris);
    return data;
}

}  // namespace vellumark::file_table
