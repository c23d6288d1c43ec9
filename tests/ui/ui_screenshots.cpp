// Saves PNG pictures of the file table and of the action panel in each action's state, and of both in a
// light and a dark palette at 10 and 12 points, for a person to look at: ui_screenshots [folder] (default
// "screenshots"). Run it under a display, e.g. xvfb-run -a.
#include "app_model/app_model.h"
#include "dark_palette.h"
#include "model/planner.h"
#include "qt_test_support.h"
#include "support/fake_file_access.h"
#include "support/scripted_open_panel.h"
#include "support/volumes.h"
#include "ui/action_panel/action_panel_view.h"
#include "ui/bindings/qt_open_panel.h"
#include "ui/file_table/file_table_view.h"
#include "ui/toolkit/contrast.h"
#include "ui/toolkit/symbol_icons.h"
#include "ui/toolkit/text_styles.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QStyleFactory>
#include <QTableView>

#include <cstdio>

namespace {

using namespace vellumark;
using testing::darkPalette;

const Date kNow = Date::fromParts(1'718'000'000);
const Date kCreated = Date::fromParts(1'600'000'000, 250'000'000);
const Date kModified = Date::fromParts(1'650'000'000, 500'000'000);

bool save(QWidget& widget, const QDir& folder, const QString& name) {
    widget.show();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    const QString path = folder.filePath(name + ".png");
    const bool saved = widget.grab().save(path);
    std::printf("%s %s\n", saved ? "saved" : "COULD NOT SAVE", qPrintable(path));
    return saved;
}

void addItems(testing::FakeFileAccess& files, AppModel& model) {
    files.addFolder("/home/ada/Pictures/Holiday 2020", kCreated, kModified);
    files.addFile("/home/ada/Pictures/Holiday 2020/IMG_0001.jpg", kCreated, kModified);
    files.addFile("/home/ada/Documents/a file with a rather long name that will not fit the column.txt",
                  kCreated.addingSeconds(86'400), kModified.addingSeconds(3'600));
    files.addFile("/home/ada/Documents/wiped.txt", removedDateMarker(), removedDateMarker());
    files.addUnreadable("/media/usb/unreadable.bin");
    files.addFile("/home/ada/Documents/already there.txt", kNow, kNow);
    const std::vector<std::filesystem::path> urls{
        "/home/ada/Pictures/Holiday 2020",
        "/home/ada/Pictures/Holiday 2020/IMG_0001.jpg",
        "/home/ada/Documents/a file with a rather long name that will not fit the column.txt",
        "/home/ada/Documents/wiped.txt",
        "/media/usb/unreadable.bin",
        "/home/ada/Documents/already there.txt"};
    model.addURLs(urls);
}

// Items on volumes that keep creation dates or store a narrower range, under an action that meets both,
// in the light and the dark palette; the second row selected.
bool saveVolumeLimits(const QDir& folder) {
    testing::FakeFileAccess files;
    testing::ScriptedOpenPanel addPanel;
    files.mount("/home", testing::ext4Volume());
    files.mount("/media/usb", testing::fatVolume());
    const Date early = Date::fromParts(315'540'000);  // 1980-01-01 02:00
    files.addFile("/home/ada/notes.txt", kCreated, kModified);
    files.addFile("/home/ada/report.pdf", kCreated.addingSeconds(86'400), kModified.addingSeconds(3'600));
    files.addFile("/media/usb/IMG_0001.jpg", early.addingSeconds(600), early.addingSeconds(5'400));
    files.addFile("/media/usb/IMG_0002.jpg", kCreated, kModified);
    files.addFile("/tmp/far past.bin", Date::earliest().addingSeconds(60),
                  Date::earliest().addingSeconds(60));
    AppModel model(files, addPanel, [] { return kNow; });
    const std::vector<std::filesystem::path> urls{"/home/ada/notes.txt", "/home/ada/report.pdf",
                                                  "/media/usb/IMG_0001.jpg", "/media/usb/IMG_0002.jpg",
                                                  "/tmp/far past.bin"};
    model.addURLs(urls);
    model.editConfig([](ActionConfig& config) {
        config.kind = DateActionKind::shift;
        config.shiftDirection = ShiftDirection::subtract;
        config.shiftHours = 3;
    });
    model.setSelection({model.items()[1].id()});
    bool ok = true;
    for (const bool dark : {false, true}) {
        QApplication::setPalette(dark ? darkPalette() : QPalette());
        file_table::FileTableView table(model);
        table.resize(720, 260);
        ok = save(table, folder, dark ? "table_volume_limits_dark" : "table_volume_limits") && ok;
    }
    QApplication::setPalette(QPalette());
    return ok;
}

bool saveIcons(const QDir& folder) {
    const QStringList names{
        "plus",   "minus", "trash",     "checkmark.circle.fill",        "calendar.badge.clock",
        "folder", "doc",   "lock.fill", "exclamationmark.triangle.fill"};
    const auto count = static_cast<int>(names.size());
    const QPalette palettes[] = {testing::lightPalette(), darkPalette()};
    const QIcon::Mode modes[] = {QIcon::Normal, QIcon::Disabled, QIcon::Selected};
    QImage sheet(count * 40 + 8, 6 * 40 + 8, QImage::Format_ARGB32);
    QPainter painter(&sheet);
    // Per palette a row of each mode, on the background it is drawn on.
    for (int row = 0; row < 6; ++row) {
        const QPalette& palette = palettes[row / 3];
        const QIcon::Mode mode = modes[row % 3];
        const QColor background = mode == QIcon::Selected
                                      ? toolkit::withReadableSelection(palette).color(QPalette::Highlight)
                                      : palette.color(QPalette::Base);
        painter.fillRect(QRect(0, row * 40 + 4, sheet.width(), 40), background);
        for (int column = 0; column < count; ++column) {
            const QColor color = names[column].startsWith(u"exclamation") && mode == QIcon::Normal
                                     ? toolkit::warningColor(palette)
                                     : toolkit::symbolColor(palette, mode);
            painter.drawPixmap(column * 40 + 8, row * 40 + 8,
                               toolkit::symbolPixmap(names[column], 32, color));
        }
    }
    painter.end();
    const QString path = folder.filePath("icons.png");
    const bool saved = sheet.save(path);
    std::printf("%s %s\n", saved ? "saved" : "COULD NOT SAVE", qPrintable(path));
    return saved;
}

// The table beside the panel, as the window arranges them, in a light and a dark palette at 10 and 12
// points: look_<palette>_<size>pt_<action>.png.
bool saveLooks(const QDir& folder) {
    testing::FakeFileAccess files;
    testing::ScriptedOpenPanel addPanel;
    testing::ScriptedOpenPanel sourcePanel;
    files.mount("/home", testing::ext4Volume());
    files.mount("/media/usb", testing::fatVolume());
    files.addFolder("/home/ada/Pictures", kCreated, kModified);
    files.addFile("/home/ada/notes.txt", kCreated, kModified);
    files.addFile("/media/usb/IMG_0001.jpg", Date::fromParts(315'540'600), Date::fromParts(315'545'400));
    files.addFile("/tmp/report.pdf", kCreated.addingSeconds(86'400), kModified.addingSeconds(3'600));
    files.addFile("/tmp/source.pdf", kCreated.addingSeconds(-86'400 * 400), kModified);
    AppModel model(files, addPanel, [] { return kNow; });
    const std::vector<std::filesystem::path> urls{"/home/ada/Pictures", "/home/ada/notes.txt",
                                                  "/media/usb/IMG_0001.jpg", "/tmp/report.pdf"};
    model.addURLs(urls);
    model.setLiftSource("/tmp/source.pdf");
    model.setSelection({model.items()[1].id()});
    const QFont font = QApplication::font();
    bool ok = true;
    for (const auto& [paletteName, palette] :
         {std::pair("light", testing::lightPalette()), std::pair("dark", darkPalette())}) {
        for (const int points : {10, 12}) {
            QApplication::setPalette(palette);
            QFont sized = font;
            sized.setPointSize(points);
            QApplication::setFont(sized);
            QWidget window;
            auto* layout = new QHBoxLayout(&window);
            layout->addWidget(new file_table::FileTableView(model), 1);
            layout->addWidget(new action_panel::ActionPanelView(model, sourcePanel));
            window.resize(1100, 560);
            for (const auto& [kind, name] : {std::pair(DateActionKind::setSpecific, "setSpecific"),
                                             std::pair(DateActionKind::shift, "shift"),
                                             std::pair(DateActionKind::liftFromFile, "liftFromFile"),
                                             std::pair(DateActionKind::removeDates, "removeDates")}) {
                model.editConfig([kind = kind](ActionConfig& config) {
                    config.kind = kind;
                    config.specificDate = Date::fromParts(1'552'660'200);
                    config.shiftDirection = ShiftDirection::subtract;
                    config.shiftDays = 100'000;
                    config.shiftHours = 2;
                });
                const QString file = QStringLiteral("look_%1_%2pt_%3").arg(paletteName).arg(points).arg(name);
                ok = save(window, folder, file) && ok;
            }
        }
    }
    QApplication::setFont(font);
    QApplication::setPalette(QPalette());
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots"));
    if (!QDir().mkpath(folder.path())) {
        std::printf("cannot make %s\n", qPrintable(folder.path()));
        return 1;
    }
    bool ok = saveIcons(folder);
    ok = saveVolumeLimits(folder) && ok;
    ok = saveLooks(folder) && ok;

    testing::FakeFileAccess files;
    testing::ScriptedOpenPanel addPanel;
    testing::ScriptedOpenPanel sourcePanel;
    AppModel model(files, addPanel, [] { return kNow; });
    addItems(files, model);

    // The table under an action that changes some dates and not others.
    file_table::FileTableView table(model);
    table.resize(720, 300);
    model.editConfig([](ActionConfig& config) {
        config.kind = DateActionKind::setSpecific;
        config.fields = DateFieldSelection::creation;
        config.specificDate = kNow.addingSeconds(-86'400 * 30);
    });
    model.setSelection({model.items()[1].id()});
    ok = save(table, folder, "table_set_creation") && ok;
    model.editConfig([](ActionConfig& config) {
        config.kind = DateActionKind::removeDates;
        config.fields = DateFieldSelection::both;
    });
    ok = save(table, folder, "table_remove_dates") && ok;
    model.editConfig([](ActionConfig& config) { config.kind = DateActionKind::liftFromFile; });
    ok = save(table, folder, "table_lift_without_source") && ok;
    table.resize(480, 300);
    ok = save(table, folder, "table_narrow") && ok;

    // The panel in each action's state, as wide as the window shows it.
    action_panel::ActionPanelView panel(model, sourcePanel);
    panel.resize(panel.sizeHint().width(), 560);
    files.addFile("/home/ada/Documents/source.pdf", kCreated.addingSeconds(-86'400 * 400), kModified);
    for (const DateActionKind kind : allCases<DateActionKind>()) {
        model.editConfig([kind](ActionConfig& config) {
            config.kind = kind;
            config.shiftDirection = ShiftDirection::subtract;
            config.shiftDays = 100'000;
            config.shiftHours = 2;
        });
        if (kind == DateActionKind::liftFromFile) {
            ok = save(panel, folder, "panel_liftFromFile_no_source") && ok;
            sourcePanel.willAnswer(std::vector<std::filesystem::path>{"/home/ada/Documents/source.pdf"});
            panel.chooseSourceFile();
        }
        const char* names[] = {
            "setSpecific",  "shift",      "copyCreationToModification", "copyModificationToCreation",
            "liftFromFile", "removeDates"};
        ok = save(panel, folder, QStringLiteral("panel_") + names[static_cast<int>(kind)]) && ok;
    }

    // Both side by side, as the window arranges them, in a dark palette.
    QApplication::setPalette(darkPalette());
    QWidget window;
    auto* layout = new QHBoxLayout(&window);
    auto* darkTable = new file_table::FileTableView(model);
    auto* darkPanel = new action_panel::ActionPanelView(model, sourcePanel);
    layout->addWidget(darkTable, 1);
    layout->addWidget(darkPanel);
    model.editConfig([](ActionConfig& config) { config.kind = DateActionKind::shift; });
    window.resize(1100, 520);
    ok = save(window, folder, "window_dark_shift") && ok;
    QApplication::setPalette(QPalette());

    OpenPanelOptions options;
    options.allowsMultipleSelection = true;
    options.message = "Choose files or folders whose dates you want to change.";
    bindings::OpenPanelDialog openPanel(options);
    openPanel.fileDialog().setDirectory(QDir::currentPath());
    openPanel.show();
    auto* list = openPanel.findChild<QAbstractItemView*>("treeView");
    testing::processEventsUntil([&] { return list->model()->rowCount(list->rootIndex()) > 0; }, 3000);
    if (list->model()->rowCount(list->rootIndex()) > 1) {
        list->selectionModel()->select(list->model()->index(0, 0, list->rootIndex()),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        list->selectionModel()->select(list->model()->index(1, 0, list->rootIndex()),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    ok = save(openPanel, folder, "open_panel") && ok;
    return ok ? 0 : 1;
}
