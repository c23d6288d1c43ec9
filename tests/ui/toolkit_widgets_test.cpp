// Icons, the confirmation dialog and the open panel of the toolkit layer.
#include "qt_test_support.h"
#include "ui/bindings/qt_open_panel.h"
#include "ui/toolkit/dialogs.h"
#include "ui/toolkit/path_text.h"
#include "ui/toolkit/symbol_icons.h"
#include "ui/toolkit/text_styles.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
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
            const QPixmap pixmap = symbolPixmap(name, 32, palette);
            ASSERT_EQ(pixmap.size(), QSize(32, 32));
            // The mark is drawn in the text colour, or the accent or warning colour where it carries meaning.
            const int ink = pixelsNear(pixmap, palette.color(QPalette::Text));
            const int accent = pixelsNear(pixmap, palette.color(QPalette::Highlight));
            const int warning = pixelsNear(pixmap, warningColor(palette));
            EXPECT_GT(ink + accent + warning, 8);
        }
        EXPECT_NE(symbolPixmap(name, 32, lightPalette()).toImage(),
                  symbolPixmap(name, 32, darkPalette()).toImage());
    }
}

TEST(SymbolIconsTest, UnknownNamesGiveNoIcon) {
    EXPECT_TRUE(symbolIcon(u"gear").isNull());
    EXPECT_FALSE(isKnownSymbol(u"Folder"));
    EXPECT_TRUE(symbolPixmap(u"gear", 16, lightPalette()).isNull());
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

}  // namespace
}  // namespace vellumark::toolkit
