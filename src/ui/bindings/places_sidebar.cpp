#include "ui/bindings/places_sidebar.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QIcon>
#include <QStandardPaths>
#include <QStyle>
#include <QUrl>

#include <array>
#include <utility>

namespace vellumark::bindings {

namespace {

constexpr int kPathRole = Qt::UserRole + 1;

bool isFolder(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isDir();
}

// The freedesktop icon for each of the user's folders.
const std::array<std::pair<QStandardPaths::StandardLocation, const char*>, 6> kUserFolders{{
    {QStandardPaths::DesktopLocation, "user-desktop"},
    {QStandardPaths::DocumentsLocation, "folder-documents"},
    {QStandardPaths::DownloadLocation, "folder-download"},
    {QStandardPaths::MusicLocation, "folder-music"},
    {QStandardPaths::PicturesLocation, "folder-pictures"},
    {QStandardPaths::MoviesLocation, "folder-videos"},
}};

QString iconNameOf(const QString& path) {
    if (path == QDir::homePath()) {
        return QStringLiteral("user-home");
    }
    if (path == QDir::rootPath()) {
        return QStringLiteral("drive-harddisk");
    }
    for (const auto& [location, icon] : kUserFolders) {
        if (QStandardPaths::writableLocation(location) == path) {
            return QString::fromLatin1(icon);
        }
    }
    return {};
}

}  // namespace

QList<Place> userPlaces() {
    const QString home = QDir::homePath();
    QList<Place> places{{QCoreApplication::translate("PlacesSidebar", "Home"), home}};
    for (const auto& [location, icon] : kUserFolders) {
        const QString path = QStandardPaths::writableLocation(location);
        // Where a folder is not set up, Qt may name the home folder itself.
        if (path != home && isFolder(path)) {
            places.append({QDir(path).dirName(), path});
        }
    }
    places.append({QCoreApplication::translate("PlacesSidebar", "File System"), QDir::rootPath()});
    return places;
}

QString gtkBookmarksFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/gtk-3.0/bookmarks");
}

QList<Place> bookmarkedPlaces(const QString& bookmarksFile) {
    QFile file(bookmarksFile);
    QList<Place> places;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return places;
    }
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        const qsizetype space = line.indexOf(' ');
        const QUrl url = QUrl::fromEncoded(space < 0 ? line : line.left(space));
        if (!url.isLocalFile()) {
            continue;
        }
        const QString path = QDir::cleanPath(url.toLocalFile());
        if (isFolder(path)) {
            const QString label = space < 0 ? QString() : QString::fromUtf8(line.mid(space + 1)).trimmed();
            places.append({label.isEmpty() ? QDir(path).dirName() : label, path});
        }
    }
    return places;
}

PlacesSidebar::PlacesSidebar(const QList<Place>& bookmarks, const QStringList& recentFolders, QWidget* parent)
    : QListWidget(parent) {
    setObjectName(QStringLiteral("placesSidebar"));
    setAccessibleName(tr("Places"));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setTextElideMode(Qt::ElideMiddle);
    addGroup(tr("Places"), userPlaces(), {});
    addGroup(tr("Bookmarks"), bookmarks, QStringLiteral("folder"));
    QList<Place> recent;
    for (const QString& folder : recentFolders) {
        if (isFolder(folder)) {
            recent.append({QDir(folder).dirName().isEmpty() ? folder : QDir(folder).dirName(), folder});
        }
    }
    addGroup(tr("Recent"), recent, QStringLiteral("folder-recent"));
    connect(this, &QListWidget::itemActivated, this,
            [this](const QListWidgetItem* item) { emit placeChosen(item->data(kPathRole).toString()); });
    connect(this, &QListWidget::itemClicked, this,
            [this](const QListWidgetItem* item) { emit placeChosen(item->data(kPathRole).toString()); });
}

void PlacesSidebar::addGroup(const QString& heading, const QList<Place>& places, const QString& iconName) {
    if (places.isEmpty()) {
        return;
    }
    auto* title = new QListWidgetItem(heading, this);
    title->setFlags(Qt::NoItemFlags);
    QFont font = this->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 0.9);
    title->setFont(font);
    const QIcon folder = style()->standardIcon(QStyle::SP_DirIcon);
    for (const Place& place : places) {
        const QString name = iconName.isEmpty() ? iconNameOf(place.path) : iconName;
        auto* item = new QListWidgetItem(QIcon::fromTheme(name, folder), place.label, this);
        item->setData(kPathRole, place.path);
        item->setToolTip(QDir::toNativeSeparators(place.path));
    }
}

void PlacesSidebar::showCurrent(const QString& folder) {
    const QString path = QDir::cleanPath(folder);
    for (int row = 0; row < count(); ++row) {
        if (item(row)->data(kPathRole).toString() == path) {
            setCurrentRow(row);
            return;
        }
    }
    clearSelection();
    setCurrentItem(nullptr);
}

}  // namespace vellumark::bindings
