// Pictures of the window in its main states, for a person to look at:
//   xvfb-run -a -s "-screen 0 1280x800x24" build/testing/tests/ui/window_screenshots screenshots [dark]
#include "dark_palette.h"
#include "journal/sqlite_run_journal.h"
#include "screenshot_support.h"
#include "support/fake_file_access.h"
#include "support/scripted_open_panel.h"
#include "support/volumes.h"
#include "ui/app_shell/vellumark_app.h"
#include "ui/bindings/event_loop_hand_back.h"
#include "ui/main_window/content_view.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <QUrl>

#include <atomic>
#include <fstream>
#include <future>
#include <iostream>
#include <memory>

namespace vellumark::testing {
namespace {

QAbstractButton* button(QMessageBox& box, const QString& text) {
    for (QAbstractButton* candidate : box.buttons()) {
        if (candidate->text() == text) {
            return candidate;
        }
    }
    return nullptr;
}

// Shows the tooltip of a table cell as hovering over it would.
void showToolTip(QTableView& table, int row, int column) {
    const QModelIndex index = table.model()->index(row, column);
    const QRect cell = table.visualRect(index);
    QToolTip::showText(table.viewport()->mapToGlobal(cell.center()), index.data(Qt::ToolTipRole).toString(),
                       table.viewport(), cell);
}

// A run held open at its fourth write, with its progress, Cancel and the question before closing.
int shootRunInProgress(const QString& folder, FakeFileAccess& files,
                       const std::vector<std::filesystem::path>& urls) {
    std::promise<void> release;
    std::atomic<int> writes = 0;
    std::atomic<bool> held = false;
    files.duringWrite = [&] {
        if (writes++ == 3) {
            held = true;
            release.get_future().wait();
        }
    };
    ScriptedOpenPanel panel;
    VellumarkApp app(files, panel, systemClock(), bindings::eventLoopHandBack());
    const std::shared_ptr<void> releaseAtEnd(nullptr, [&](void*) { release.set_value(); });
    ContentView& window = app.openWindow();
    window.move(40, 30);
    window.resize(1100, 620);
    window.show();
    QApplication::setActiveWindow(&window);
    AppModel& model = app.model();
    model.addURLs(urls);
    while (model.isBusy()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    model.editConfig([](ActionConfig& config) {
        config.kind = DateActionKind::shift;
        config.shiftHours = 1;
    });
    model.applyChanges();
    while (!held) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    settleForPicture();
    shoot(folder, "7-run-in-progress");
    window.close();
    shoot(folder, "7a-close-question");
    if (auto* question = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        button(*question, "Continue")->click();
    }
    model.cancel();
    return 0;
}

// Undo in the Edit menu and its question, the history, the question after an interrupted run and the one
// when the journal cannot be written.
int shootJournal(const QString& folder, FakeFileAccess& files,
                 const std::vector<std::filesystem::path>& urls) {
    const QTemporaryDir state;
    SqliteRunJournal journal(QDir(state.path()).filePath("journal.sqlite3").toStdString());
    // An earlier run that never completed, as the program finds it at start.
    RunRecord interrupted;
    interrupted.startedAt = Date::now().addingSeconds(-86'400);
    interrupted.action = "Set to a specific date";
    interrupted.settings = "Both dates · 2019-03-15 14:30:00 UTC";
    std::vector<JournalEntry> entries(4, JournalEntry{urls[1].native(), std::nullopt, {}, {}});
    journal.beginRun(interrupted, entries);

    ScriptedOpenPanel panel;
    VellumarkApp app(files, panel, systemClock(), {}, &journal);
    ContentView& window = app.openWindow();
    window.move(40, 30);
    window.resize(1100, 620);
    window.show();
    QApplication::setActiveWindow(&window);
    window.offerRecovery();
    shoot(folder, "8-recovery-question");
    if (auto* question = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        button(*question, "Not Now")->click();
    }
    AppModel& model = app.model();
    model.addURLs(urls);
    model.editConfig([](ActionConfig& config) {
        config.kind = DateActionKind::shift;
        config.shiftHours = 1;
    });
    model.applyChanges();
    settleForPicture();
    if (auto* alert = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        alert->accept();
    }
    auto* edit = window.menuBar()->findChild<QMenu*>("editMenu");
    edit->popup(window.mapToGlobal(QPoint(60, 20)));
    shoot(folder, "8a-edit-menu");
    edit->hide();
    window.findChild<QAction*>("undoAction")->trigger();
    shoot(folder, "8b-undo-question");
    if (auto* question = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        button(*question, "Cancel")->click();
    }
    window.showHistory();
    shoot(folder, "8c-history");
    if (auto* dialog = QApplication::activeModalWidget()) {
        dialog->close();
    }
    std::ofstream(QDir(state.path()).filePath("plain").toStdString()) << "x";
    SqliteRunJournal unwritable(QDir(state.path()).filePath("plain/journal.sqlite3").toStdString());
    model.setJournal(&unwritable);
    model.applyChanges();
    shoot(folder, "8d-journal-failure");
    if (auto* question = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        button(*question, "Cancel")->click();
    }
    model.setJournal(&journal);
    return 0;
}

int run(const QString& folder) {
    const Date now = Date::now();
    FakeFileAccess files;
    ScriptedOpenPanel panel;
    files.mount("/home", ext4Volume());
    files.mount("/media/usb", fatVolume());

    const char* const names[] = {
        "IMG_0412.jpg",    "IMG_0413.jpg", "IMG_0420.HEIC", "notes from the trip.txt",
        "budget 2024.ods", "map.pdf",      "itinerary.odt"};
    std::vector<std::filesystem::path> urls;
    files.addFolder("/home/ada/Trip",
                    DateAttributes{now.addingSeconds(-90 * 86400), now.addingSeconds(-3 * 86400)});
    urls.emplace_back("/home/ada/Trip");
    std::int64_t offset = 80 * 86400;
    for (const char* name : names) {
        const std::string path = std::string("/home/ada/Trip/") + name;
        files.addFile(path,
                      DateAttributes{now.addingSeconds(-offset), now.addingSeconds(-offset + 5 * 3600 + 17)});
        urls.emplace_back(path);
        offset -= 9 * 86400 + 3 * 3600 + 600;
    }
    files.failWriting("/home/ada/Trip/map.pdf", "Permission denied");
    // A camera card whose oldest pictures sit at the start of FAT's range, and that went read-only.
    const Date cardStart = Date::fromParts(315'532'800 + 3'600);
    for (const char* name : {"DSC_0001.JPG", "DSC_0002.JPG", "DSC_0107.JPG"}) {
        const std::string path = std::string("/media/usb/") + name;
        files.addFile(path, DateAttributes{cardStart, cardStart.addingSeconds(1'800)});
        urls.emplace_back(path);
    }
    for (const char* name : {"DSC_0108.JPG", "DSC_0109.JPG"}) {
        const std::string path = std::string("/media/usb/") + name;
        files.addFile(path, DateAttributes{now.addingSeconds(-86400), now.addingSeconds(-86000)});
        files.failWriting(path, "the volume is read-only");
        urls.emplace_back(path);
    }

    VellumarkApp app(files, panel);
    ContentView& window = app.openWindow();
    window.move(40, 30);
    window.resize(1100, 620);
    window.show();
    QApplication::setActiveWindow(&window);
    if (!QTest::qWaitForWindowActive(&window)) {
        std::cerr << "the window did not become active\n";
    }
    shoot(folder, "1-empty-window");

    AppModel& model = app.model();
    model.addURLs(urls);
    model.editConfig([](ActionConfig& config) {
        config.kind = DateActionKind::shift;
        config.shiftDirection = ShiftDirection::subtract;
        config.shiftHours = 2;
    });
    settleForPicture();
    model.setSelection({model.items()[2].id()});
    shoot(folder, "2-populated-table");

    auto* table = window.findChild<QTableView*>("fileTable");
    showToolTip(*table, 1, 1);
    shoot(folder, "2a-kept-tooltip");
    table->scrollToBottom();
    showToolTip(*table, 8, 1);
    shoot(folder, "2b-not-storable-tooltip");
    QToolTip::hideText();

    QTest::keyClick(&window, Qt::Key_Return, Qt::ControlModifier);
    shoot(folder, "3-confirmation-dialog");

    auto* dialog = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (dialog == nullptr) {
        std::cerr << "no confirmation dialog\n";
        return 1;
    }
    button(*dialog, "Perform Changes")->click();
    shoot(folder, "4-result-alert");

    auto* alert = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (alert == nullptr) {
        std::cerr << "no result alert\n";
        return 1;
    }
    if (QAbstractButton* details = button(*alert, QStringLiteral("Show Details\u2026"))) {
        details->click();
    } else {
        std::cerr << "no details button\n";
    }
    shoot(folder, "4a-result-alert-details");
    button(*alert, "OK")->click();
    settleForPicture();
    table->scrollToBottom();
    showToolTip(*table, static_cast<int>(model.items().size()) - 1, 0);
    shoot(folder, "4b-failed-rows");
    QToolTip::hideText();

    QMimeData data;
    data.setData("text/uri-list", QUrl::fromLocalFile("/home/ada/Trip/IMG_0412.jpg").toEncoded() + "\r\n");
    QDragEnterEvent enter(window.rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    shoot(folder, "5-drop-highlight");

    model.removeAll();
    shoot(folder, "6-drop-highlight-empty");
    QDragLeaveEvent leave;
    QApplication::sendEvent(&window, &leave);
    window.hide();
    shootJournal(folder, files, urls);
    return shootRunInProgress(folder, files, urls);
}

}  // namespace
}  // namespace vellumark::testing

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QString folder = vellumark::testing::pictureFolder(argc, argv);
    return vellumark::testing::run(folder);
}
