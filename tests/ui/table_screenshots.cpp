// Pictures of the sorted and filtered list, its rows' menu and the open panel, for a person to look at:
//   xvfb-run -a -s "-screen 0 1280x800x24" build/testing/tests/ui/table_screenshots screenshots [dark]
#include "dark_palette.h"
#include "screenshot_support.h"
#include "support/fake_file_access.h"
#include "support/scripted_open_panel.h"
#include "ui/app_shell/vellumark_app.h"
#include "ui/bindings/qt_open_panel.h"
#include "ui/file_table/file_table_model.h"
#include "ui/file_table/file_table_view.h"
#include "ui/main_window/content_view.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <iostream>

namespace vellumark::testing {
namespace {

void shootTable(const QString& folder) {
    const Date now = Date::now();
    FakeFileAccess files;
    ScriptedOpenPanel panel;
    std::vector<std::filesystem::path> urls;
    const char* const paths[] = {"/home/ada/Pictures/Trip to the coast, summer 2023/IMG_0413.jpg",
                                 "/home/ada/Pictures/Trip to the coast, summer 2023/IMG_0412.jpg",
                                 "/home/ada/Documents/notes from the trip.txt",
                                 "/home/ada/Pictures/Trip to the coast, summer 2023/IMG_10.HEIC",
                                 "/media/usb/DCIM/100CANON/IMG_0002.JPG",
                                 "/home/ada/Documents/budget 2024.ods",
                                 "/home/ada/Pictures/Trip to the coast, summer 2023/IMG_0420.HEIC",
                                 "/media/usb/DCIM/100CANON/IMG_0001.JPG",
                                 "/home/ada/map.pdf"};
    std::int64_t offset = 80 * 86400;
    for (const char* path : paths) {
        files.addFile(path,
                      DateAttributes{now.addingSeconds(-offset), now.addingSeconds(-offset + 5 * 3600)});
        urls.emplace_back(path);
        offset -= 7 * 86400 + 3 * 3600;
    }
    VellumarkApp app(files, panel);
    ContentView& window = app.openWindow();
    window.move(40, 30);
    window.resize(1100, 560);
    window.show();
    QApplication::setActiveWindow(&window);
    AppModel& model = app.model();
    model.addURLs(urls);
    model.editConfig([](ActionConfig& config) {
        config.kind = DateActionKind::shift;
        config.shiftDirection = ShiftDirection::subtract;
        config.shiftHours = 2;
    });
    settleForPicture();
    auto* list = window.findChild<file_table::FileTableView*>();
    QHeaderView& header = *list->table().horizontalHeader();
    QTest::mouseClick(
        header.viewport(), Qt::LeftButton, Qt::NoModifier,
        QPoint(header.sectionViewportPosition(file_table::nameColumn) + 10, header.height() / 2));
    shoot(folder, "table-1-sorted-by-name");

    QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
    QTest::keyClicks(&list->filterField(), "img");
    settleForPicture();
    model.setSelection({model.items()[0].id(), model.items()[1].id()});
    shoot(folder, "table-2-sorted-filtered");

    QTableView& table = list->table();
    const QPoint at = table.visualRect(table.model()->index(1, file_table::nameColumn)).center();
    QContextMenuEvent request(QContextMenuEvent::Mouse, at, table.viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(table.viewport(), &request);
    shoot(folder, "table-3-row-menu");
    if (auto* menu = QApplication::activePopupWidget()) {
        menu->close();
    }
    window.close();
}

void shootOpenPanel(const QString& folder) {
    QTemporaryDir home;
    QDir(home.path()).mkpath(".config/gtk-3.0");
    for (const char* name : {"Desktop", "Documents", "Downloads", "Pictures", "Trip 2024"}) {
        QDir(home.path()).mkpath(name);
    }
    for (const char* name : {"notes.txt", "budget 2024.ods", "IMG_0412.jpg"}) {
        QFile(home.filePath(QStringLiteral("Trip 2024/") + QLatin1String(name))).open(QIODevice::WriteOnly);
    }
    QFile bookmarks(home.filePath(".config/gtk-3.0/bookmarks"));
    bookmarks.open(QIODevice::WriteOnly);
    bookmarks.write(QUrl::fromLocalFile(home.filePath("Trip 2024")).toEncoded() + " Holiday pictures\n");
    bookmarks.close();
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(".config")));

    OpenPanelOptions options;
    options.allowsMultipleSelection = true;
    options.message = "Choose files or folders whose dates you want to change.";
    bindings::OpenPanelDialog panel(options, {home.filePath("Documents")});
    panel.move(80, 60);
    panel.fileDialog().setDirectory(home.filePath("Trip 2024"));
    panel.show();
    QApplication::setActiveWindow(&panel);
    if (!QTest::qWaitForWindowActive(&panel)) {
        std::cerr << "the panel did not become active\n";
    }
    shoot(folder, "panel-1-open-panel");
    auto* name = panel.fileDialog().findChild<QLineEdit*>("fileNameEdit");
    name->setFocus();
    name->setText(R"("notes.txt" "budgte 2024.ods")");
    QTest::keyClick(name, Qt::Key_Return);
    shoot(folder, "panel-2-name-not-found");
}

}  // namespace
}  // namespace vellumark::testing

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QString folder = vellumark::testing::pictureFolder(argc, argv);
    vellumark::testing::shootTable(folder);
    vellumark::testing::shootOpenPanel(folder);
    return 0;
}
