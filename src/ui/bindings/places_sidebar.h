#pragma once

#include <QList>
#include <QListWidget>
#include <QString>
#include <QStringList>

namespace vellumark::bindings {

// A folder the sidebar offers, under the name it shows.
struct Place {
    QString label;
    QString path;

    friend bool operator==(const Place&, const Place&) = default;
};

// The user's folders that exist: Home, then Desktop, Documents, Downloads, Music, Pictures and Videos
// under their own (possibly translated) folder names, then the file system's root.
QList<Place> userPlaces();

// The folders a GTK bookmarks file lists, one "file://" URI a line with an optional label after a space
// ("file:///home/ada/Trip%202024 Trip"); other schemes, and folders that do not exist, are left out.
QList<Place> bookmarkedPlaces(const QString& bookmarksFile);

// The desktop's bookmarks file: gtk-3.0/bookmarks in the user's configuration folder.
QString gtkBookmarksFile();

// The places beside a file dialog: the user's folders, the desktop's bookmarks and the folders of this
// session, each group under a heading. Choosing one says which folder to show.
class PlacesSidebar : public QListWidget {
    Q_OBJECT

public:
    PlacesSidebar(const QList<Place>& bookmarks, const QStringList& recentFolders, QWidget* parent = nullptr);

    // Marks the place that is `folder`, if one is.
    void showCurrent(const QString& folder);

signals:
    void placeChosen(const QString& path);

private:
    void addGroup(const QString& heading, const QList<Place>& places, const QString& iconName);
};

}  // namespace vellumark::bindings
