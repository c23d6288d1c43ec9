// Icons, the confirmation dialog and the open panel of the toolkit layer.
#include "qt_test_support.h"
#include "ui/bindings/qt_open_panel.h"
#include "ui/toolkit/animation_pace.h"
#include "ui/toolkit/dialogs.h"
#include "ui/toolkit/path_text.h"
#include "ui/toolkit/symbol_icons.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace vellumark::toolkit {
namespace {

const QStringList kSymbolNames{
    "plus",   "minus", "trash",     "checkmark.circle.fill",        "calendar.badge.clock",
    "folder", "doc",   "lock.fill", "exclamationmark.triangle.fill"};

QPalette lightPalette() {
    QPalette palette(QColor(0xEE, 0xEE, 0xEE));
    palette.setColor(QPalette::Text, QColor(0x20, 0x20, 0x20));
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Highlight, QColor(0x1E, 0x6F, 0xD9));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    return palette;
}

QPalette darkPalette() {
    QPalette palette(QColor(0x30, 0x30, 0x30));
    palette.setColor(QPalette::Text, QColor(0xEA, 0xEA, 0xEA));
    palette.setColor(QPalette::Base, QColor(0x1E, 0x1E, 0x1E));
    palette.setColor(QPalette::Highlight, QColor(0x3D, 0x8B, 0xF0));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    return palette;
}

// How many nearly opaque pixels are close to `color`.
int pixelsNear(const QPixmap& pixmap, const QColor& color) {
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() > 200 && std::abs(pixel.red() - color.red()) < 40 &&
                std::abs(pixel.green() - color.green()) < 40 && std::abs(pixel.blue() - color.blue()) < 40) {
                ++count;
            }
        }
    }
    return count;
}

TEST(SymbolIconsTest, EverySymbolIsDrawnInThePalettesColours) {
    for (const QString& name : kSymbolNames) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_FALSE(symbolIcon(name).isNull());
        for (const QPalette& palette : {lightPalette(), darkPalette()}) {
            const QColor ink = symbolColor(palette, QIcon::Normal);
            const QPixmap pixmap = symbolPixmap(name, 32, ink);
            ASSERT_EQ(pixmap.size(), QSize(32, 32));
            EXPECT_GT(pixelsNear(pixmap, ink), 8);
        }
    }

    // Without an icon theme (as offscreen) the icons are our drawings, recoloured for each state: a
    // disabled command shows grey, whatever accent the palette has.
    const QPalette previous = QApplication::palette();
    QApplication::setPalette(darkPalette());
    const QIcon perform = symbolIcon(u"checkmark.circle.fill");
    EXPECT_GT(pixelsNear(perform.pixmap(32), symbolColor(darkPalette(), QIcon::Normal)), 8);
    EXPECT_GT(pixelsNear(perform.pixmap(32, QIcon::Selected), Qt::white), 8);
    const QImage disabled = perform.pixmap(32, QIcon::Disabled).toImage();
    int grey = 0;
    for (int y = 0; y < disabled.height(); ++y) {
        for (int x = 0; x < disabled.width(); ++x) {
            const QColor pixel = disabled.pixelColor(x, y);
            if (pixel.alpha() > 0) {
                EXPECT_LT(pixel.hsvSaturation(), 20);
                ++grey;
            }
        }
    }
    EXPECT_GT(grey, 8);
    QApplication::setPalette(previous);
}

TEST(SymbolIconsTest, UnknownNamesGiveNoIcon) {
    EXPECT_TRUE(symbolIcon(u"gear").isNull());
    EXPECT_FALSE(isKnownSymbol(u"Folder"));
    EXPECT_TRUE(symbolPixmap(u"gear", 16, Qt::black).isNull());
}

TEST(DialogsTest, ConfirmationShowsItsTitleAndTellsWhichButtonEndedIt) {
    const ConfirmationTexts texts{"Apply changes to 3 items?", "This will modify file dates on disk.",
                                  "Perform Changes", "Cancel"};
    for (const bool confirmIt : {true, false}) {
        auto dialog = makeConfirmationDialog(nullptr, texts);
        EXPECT_EQ(dialog->text(), texts.title);
        EXPECT_EQ(dialog->informativeText(), texts.message);
        QPushButton* button = nullptr;
        for (QAbstractButton* candidate : dialog->buttons()) {
            if (candidate->text() == (confirmIt ? texts.confirmButton : texts.cancelButton)) {
                button = qobject_cast<QPushButton*>(candidate);
            }
        }
        ASSERT_NE(button, nullptr);
        dialog->open();
        button->click();
        EXPECT_EQ(isConfirmed(*dialog), confirmIt);
    }

    auto dismissed = makeConfirmationDialog(nullptr, texts);
    dismissed->open();
    QTest::keyClick(dismissed.get(), Qt::Key_Escape);
    EXPECT_FALSE(isConfirmed(*dismissed));
    EXPECT_FALSE(dismissed->isVisible());
}

TEST(DialogsTest, TitlesAndMessagesAreShownAsPlainText) {
    const QString title = "Could not change <b>dates</b>";
    const QString message =
        "Could not change dates for \u201c<a href=\"x\">b</a>.txt\u201d: Permission denied";
    std::vector<std::unique_ptr<QMessageBox>> boxes;
    boxes.push_back(makeAlert(nullptr, title, message, "OK"));
    boxes.push_back(makeConfirmationDialog(nullptr, {title, message, "Perform Changes", "Cancel"}));
    for (const auto& box : boxes) {
        int shown = 0;
        for (const QLabel* label : box->findChildren<QLabel*>()) {
            if (label->text() == title || label->text() == message) {
                EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
                ++shown;
            }
        }
        EXPECT_EQ(shown, 2);
    }
}

class OpenPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.isValid());
        ASSERT_TRUE(QDir(folder_.path()).mkdir("Album"));
        QFile file(folder_.filePath("notes.txt"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    // The dialog's list, once it shows the folder's two entries.
    QAbstractItemView& listOf(bindings::FileAndFolderDialog& dialog) {
        dialog.setDirectory(folder_.path());
        dialog.show();
        auto* list = dialog.findChild<QAbstractItemView*>("listView");
        EXPECT_NE(list, nullptr);
        EXPECT_TRUE(
            testing::processEventsUntil([&] { return list->model()->rowCount(list->rootIndex()) == 2; }));
        return *list;
    }

    QTemporaryDir folder_;
};

TEST_F(OpenPanelTest, ChoosesFilesAndFoldersTogether) {
    OpenPanelOptions options;
    options.allowsMultipleSelection = true;
    options.message = "Choose files or folders whose dates you want to change.";
    bindings::OpenPanelDialog panel(options);
    EXPECT_EQ(panel.findChild<QLabel*>("message")->text(), QString::fromStdString(options.message));
    bindings::FileAndFolderDialog& dialog = panel.fileDialog();
    QAbstractItemView& list = listOf(dialog);

    const QModelIndex root = list.rootIndex();
    for (int row = 0; row < 2; ++row) {
        list.selectionModel()->select(list.model()->index(row, 0, root),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    dialog.accept();

    EXPECT_EQ(panel.result(), QDialog::Accepted);
    std::vector<std::filesystem::path> chosen = dialog.chosenPaths();
    std::sort(chosen.begin(), chosen.end());
    const std::filesystem::path base = pathFromLocalFile(dialog.directory().absolutePath());
    EXPECT_EQ(chosen, std::vector<std::filesystem::path>({base / "Album", base / "notes.txt"}));
}

TEST_F(OpenPanelTest, ReturnAfterTypingAFolderNameGoesIntoTheFolder) {
    OpenPanelOptions options;
    bindings::FileAndFolderDialog dialog(options);
    listOf(dialog);
    auto* nameField = dialog.findChild<QLineEdit*>("fileNameEdit");
    nameField->setFocus();
    nameField->setText("Album");
    dialog.accept();

    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.chosenPaths().empty());
    EXPECT_EQ(QDir(dialog.directory()).dirName(), QStringLiteral("Album"));
}

TEST_F(OpenPanelTest, TypedNamesThatDoNotExistAreReportedAndNoneOfTheOthersIsDropped) {
    OpenPanelOptions options;
    options.allowsMultipleSelection = true;
    bindings::FileAndFolderDialog dialog(options);
    listOf(dialog);
    auto* nameField = dialog.findChild<QLineEdit*>("fileNameEdit");
    nameField->setFocus();
    nameField->setText(R"("Album" "notes.txt" "nots.txt")");
    QTest::keyClick(nameField, Qt::Key_Return);

    auto* alert = dialog.findChild<QMessageBox*>("notFoundAlert");
    ASSERT_NE(alert, nullptr);
    EXPECT_TRUE(alert->text().contains("nots.txt"));
    EXPECT_FALSE(alert->text().contains("notes.txt"));
    alert->accept();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(nameField->text(), R"("Album" "notes.txt" "nots.txt")");

    nameField->setText(R"("Album" "notes.txt")");
    QTest::keyClick(nameField, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const std::filesystem::path base = pathFromLocalFile(dialog.directory().absolutePath());
    EXPECT_EQ(dialog.chosenPaths(), std::vector<std::filesystem::path>({base / "Album", base / "notes.txt"}));
}

TEST_F(OpenPanelTest, ReturnInTheListChoosesSeveralSelectedItems) {
    OpenPanelOptions options;
    options.allowsMultipleSelection = true;
    bindings::FileAndFolderDialog dialog(options);
    QAbstractItemView& list = listOf(dialog);
    list.setFocus();
    // Both selected, the current item the folder, which Return alone would open.
    const QModelIndex root = list.rootIndex();
    for (int row = 0; row < 2; ++row) {
        list.selectionModel()->select(list.model()->index(row, 0, root),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    list.selectionModel()->setCurrentIndex(list.model()->index(0, 0, root), QItemSelectionModel::NoUpdate);
    ASSERT_EQ(list.currentIndex().data().toString(), QStringLiteral("Album"));
    QTest::keyClick(&list, Qt::Key_Return);

    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.chosenPaths().size(), 2u);
}

// The panel as the window runs it, twice, in a home and configuration folder of its own.
TEST_F(OpenPanelTest, RemembersFoldersForTheSessionShowsBookmarksAndWritesNoSettings) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString config = home.filePath(".config");
    ASSERT_TRUE(QDir().mkpath(config + "/gtk-3.0"));
    QFile bookmarks(config + "/gtk-3.0/bookmarks");
    ASSERT_TRUE(bookmarks.open(QIODevice::WriteOnly));
    bookmarks.write(QUrl::fromLocalFile(folder_.filePath("Album")).toEncoded() + " Trip photos\n" +
                    "sftp://host/elsewhere Server\n");
    bookmarks.close();
    const QByteArray previousHome = qgetenv("HOME");
    const QByteArray previousConfig = qgetenv("XDG_CONFIG_HOME");
    const QString previousSettings =
        QFileInfo(QSettings(QSettings::NativeFormat, QSettings::UserScope, "probe").fileName())
            .absolutePath();
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config);

    bindings::QtOpenPanel panel;
    QStringList shownPlaces;
    const auto answer = [&](bool choose) {
        QTimer::singleShot(0, [&, choose] {
            auto* shown = qobject_cast<bindings::OpenPanelDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(shown, nullptr);
            auto* places = shown->findChild<QListWidget*>("placesSidebar");
            shownPlaces.clear();
            for (int row = 0; row < places->count(); ++row) {
                shownPlaces << places->item(row)->text();
            }
            bindings::FileAndFolderDialog& dialog = shown->fileDialog();
            dialog.setDirectory(folder_.path());
            auto* nameField = dialog.findChild<QLineEdit*>("fileNameEdit");
            nameField->setText("notes.txt");
            choose ? dialog.accept() : dialog.reject();
        });
    };
    answer(true);
    ASSERT_TRUE(panel.runModal({}).has_value());
    EXPECT_TRUE(shownPlaces.contains("Trip photos"));
    EXPECT_FALSE(shownPlaces.contains("Server"));
    EXPECT_FALSE(shownPlaces.contains("Recent"));
    answer(false);
    EXPECT_FALSE(panel.runModal({}).has_value());
    EXPECT_EQ(shownPlaces.mid(shownPlaces.indexOf("Recent")),
              QStringList({"Recent", QDir(folder_.path()).dirName()}));

    EXPECT_EQ(QDir(config).entryList(QDir::Files), QStringList());
    EXPECT_TRUE(
        QSettings(QSettings::NativeFormat, QSettings::UserScope, "probe").fileName().startsWith(config));
    qputenv("HOME", previousHome);
    qputenv("XDG_CONFIG_HOME", previousConfig);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, previousSettings);
}

TEST(AnimationPaceTest, ABusyBarKeepsMovingAtThePacedRate) {
    QProgressBar bar;
    bar.setRange(0, 0);
    bar.resize(96, 10);
    paceAnimation(bar, 10);
    bar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    const testing::PaintWatch count(bar);
    QTest::qWait(1000);
    // The style asks for about fifty frames in a second.
    EXPECT_GE(count.paints, 4);
    EXPECT_LE(count.paints, 12);
}

}  // namespace
}  // namespace vellumark::toolkit
