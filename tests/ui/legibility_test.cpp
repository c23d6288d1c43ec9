// Light and dark schemes and a large font: colours stand out from the rows they are drawn on, nothing is cut.
#include "dark_palette.h"
#include "support/fake_file_access.h"
#include "support/scripted_open_panel.h"
#include "support/volumes.h"
#include "ui/app_shell/vellumark_app.h"
#include "ui/file_table/date_cell_delegate.h"
#include "ui/file_table/file_table_model.h"
#include "ui/file_table/file_table_view.h"
#include "ui/main_window/content_view.h"
#include "ui/toolkit/contrast.h"
#include "ui/toolkit/symbol_icons.h"
#include "ui/toolkit/text_styles.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

namespace vellumark {
namespace {

using Style = file_table::DateCellLine::Style;

const Date kNow = Date::fromParts(1'700'000'000);

void expectContrast(const QColor& color, std::initializer_list<QColor> backgrounds, double least) {
    for (const QColor& background : backgrounds) {
        EXPECT_GE(toolkit::contrastRatio(color, background), least)
            << color.name().toStdString() << " on " << background.name().toStdString();
    }
}

TEST(LegibilityTest, TextsAndSymbolsStandOutOnEveryRowInLightAndDarkPalettes) {
    testing::FakeFileAccess files;
    testing::ScriptedOpenPanel panel;
    AppModel model(files, panel);
    for (const QPalette& palette : {testing::lightPalette(), testing::darkPalette()}) {
        QApplication::setPalette(palette);
        // The colours the table is drawn with, its selection included.
        const file_table::FileTableView view(model);
        const QPalette& rows = view.table().palette();
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            const QColor base = rows.color(group, QPalette::Base);
            const QColor alternate = rows.color(group, QPalette::AlternateBase);
            const QColor selection = rows.color(group, QPalette::Highlight);
            SCOPED_TRACE(palette.color(QPalette::Base).name().toStdString() + " group " +
                         std::to_string(group));
            expectContrast(rows.color(group, QPalette::HighlightedText), {selection}, 4.5);
            // A replaced date is struck through as well as dimmed; marks take their line's colour.
            for (const Style style :
                 {Style::primary, Style::superseded, Style::accent, Style::kept, Style::refused}) {
                const double least = style == Style::superseded ? 3.0 : 4.5;
                SCOPED_TRACE(static_cast<int>(style));
                expectContrast(file_table::DateCellDelegate::lineColor(style, rows, group, false),
                               {base, alternate}, least);
                expectContrast(file_table::DateCellDelegate::lineColor(style, rows, group, true), {selection},
                               least);
            }
            expectContrast(toolkit::symbolColor(rows, QIcon::Normal),
                           {base, alternate, rows.color(group, QPalette::Window)}, 3.0);
            expectContrast(toolkit::symbolColor(rows, QIcon::Selected), {selection}, 3.0);
        }
        expectContrast(toolkit::secondaryColor(palette),
                       {palette.color(QPalette::Base), palette.color(QPalette::Window)}, 4.5);
    }
    QApplication::setPalette(QPalette());
}

// Every text in full and every control as wide as it asks, within the window or the scroll area it lies in.
void expectNothingCut(const QWidget& window, const std::string& state) {
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
        // A line edit's own buttons are Qt's business.
        if (!widget->isVisible() || qobject_cast<const QLineEdit*>(widget->parentWidget()) != nullptr) {
            continue;
        }
        const std::string what =
            state + ": " + widget->metaObject()->className() + " " + widget->objectName().toStdString();
        const auto* label = qobject_cast<const QLabel*>(widget);
        if (label != nullptr && label->wordWrap()) {
            EXPECT_GE(label->height(), label->heightForWidth(label->width())) << what;
        } else if (label != nullptr || qobject_cast<const QAbstractButton*>(widget) != nullptr ||
                   qobject_cast<const QComboBox*>(widget) != nullptr ||
                   qobject_cast<const QAbstractSpinBox*>(widget) != nullptr) {
            EXPECT_GE(widget->width(), widget->sizeHint().width()) << what;
        }
        const QWidget* frame = &window;
        for (const QWidget* up = widget->parentWidget(); up != &window; up = up->parentWidget()) {
            if (const auto* area = qobject_cast<const QAbstractScrollArea*>(up->parentWidget());
                area != nullptr && up == area->viewport()) {
                frame = up;
                break;
            }
        }
        EXPECT_LE(widget->mapTo(frame, QPoint(widget->width(), 0)).x(), frame->width()) << what;
    }
}

TEST(LegibilityTest, NothingIsCutAtTwelvePointsInTheSmallestWindow) {
    const QFont previous = QApplication::font();
    QFont large = previous;
    large.setPointSize(12);
    QApplication::setFont(large);
    testing::FakeFileAccess files;
    testing::ScriptedOpenPanel panel;
    files.mount("/ext4", testing::ext4Volume());
    files.addFile("/ext4/notes.txt", kNow.addingSeconds(-86'400 * 300), kNow.addingSeconds(-3'600));
    files.addFile("/data/report.pdf", kNow.addingSeconds(-86'400 * 40), kNow.addingSeconds(-60));
    VellumarkApp app(files, panel, [] { return kNow; });
    ContentView& window = app.openWindow();
    window.resize(window.minimumSize());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const std::vector<std::filesystem::path> urls{"/ext4/notes.txt", "/data/report.pdf"};
    app.model().addURLs(urls);
    app.model().setLiftSource("/data/report.pdf");
    for (const DateActionKind kind : allCases<DateActionKind>()) {
        app.model().editConfig([kind](ActionConfig& config) {
            config.kind = kind;
            config.shiftDays = 100'000;
        });
        QCoreApplication::processEvents();
        expectNothingCut(window, std::string(title(kind)));
    }

    // The dates whole in their columns, under whole headers.
    const auto& table = *window.findChild<QTableView*>("fileTable");
    QStyleOptionViewItem option;
    option.initFrom(&table);
    for (const int column : {file_table::creationColumn, file_table::modificationColumn}) {
        EXPECT_GE(table.columnWidth(column), table.horizontalHeader()->sectionSizeHint(column));
        for (int row = 0; row < table.model()->rowCount(); ++row) {
            const QModelIndex cell = table.model()->index(row, column);
            EXPECT_GE(table.columnWidth(column),
                      table.itemDelegateForIndex(cell)->sizeHint(option, cell).width());
        }
    }
    window.close();
    QApplication::setFont(previous);
}

}  // namespace
}  // namespace vellumark
