#include "linux_fs/linux_file_access.h"
#include "ui/app_shell/vellumark_app.h"
#include "ui/main_window/content_view.h"
#include "window_fixture.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>

namespace vellumark::testing {
namespace {

class TemporaryFolder {
public:
    TemporaryFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vellumark-window-XXXXXX").native();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TemporaryFolder() { std::filesystem::remove_all(path_); }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

void setModification(const std::filesystem::path& path, std::int64_t seconds, long nanoseconds) {
    const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

timespec modificationOnDisk(const std::filesystem::path& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info.st_mtim;
}

// Picks an entry of a pop-up menu with the keyboard, as a user without a mouse would.
void choose(QWidget& window, const char* name, const QString& entry) {
    auto* picker = window.findChild<QComboBox*>(name);
    ASSERT_NE(picker, nullptr) << name;
    const int target = picker->findText(entry);
    ASSERT_GE(target, 0) << entry.toStdString();
    picker->setFocus();
    while (picker->currentIndex() != target) {
        QTest::keyClick(picker, picker->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
    }
    settle();
}

void clickCheckBox(QWidget& window, const char* name, bool checked) {
    auto* box = window.findChild<QCheckBox*>(name);
    ASSERT_NE(box, nullptr) << name;
    if (box->isChecked() != checked) {
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    }
    settle();
    ASSERT_EQ(box->isChecked(), checked) << name;
}

// The whole use on real files: add a folder with its contents, choose "Add / remove time", subtract two
// hours, confirm, and read the dates back from the disk.
TEST(RealFiles, SubtractingTwoHoursMovesEveryModificationDateBack) {
    TemporaryFolder folder;
    const std::filesystem::path photos = folder.path() / "photos";
    std::filesystem::create_directory(photos);
    std::ofstream(photos / "one.jpg") << "one";
    std::ofstream(photos / "two.jpg") << "two";
    constexpr std::int64_t kMay2023 = 1'682'942'400;
    setModification(photos / "one.jpg", kMay2023, 250'000'000);
    setModification(photos / "two.jpg", kMay2023 + 60, 0);
    setModification(photos, kMay2023 + 3600, 0);

    LinuxFileAccess files;
    ScriptedOpenPanel panel;
    VellumarkApp app(files, panel);
    ContentView& window = app.openWindow();
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    AppModel& model = app.model();
    // Everything below goes through the window's own controls, as a person would use them.
    clickCheckBox(window, "subfoldersToggle", true);
    panel.willAnswer(std::vector<std::filesystem::path>{photos});
    QTest::keyClick(&window, Qt::Key_O, Qt::ControlModifier);
    settle();
    ASSERT_EQ(model.items().size(), 3u);

    choose(window, "operationPicker", "Add / remove time");
    // Only the modification date: most Linux file systems cannot write a creation date. And no
    // auto-correction, which would lift the new dates to the files' creation a moment ago.
    choose(window, "applyToPicker", "Modification only");
    clickCheckBox(window, "autoCorrectToggle", false);
    QAbstractButton* subtract = nullptr;
    for (auto* button : window.findChild<QWidget*>("directionPicker")->findChildren<QAbstractButton*>()) {
        subtract = button->text() == "Subtract" ? button : subtract;
    }
    ASSERT_NE(subtract, nullptr);
    QTest::mouseClick(subtract, Qt::LeftButton);
    auto* hours = window.findChild<QAbstractSpinBox*>("hoursStepper");
    ASSERT_NE(hours, nullptr);
    QTest::keyClick(hours, Qt::Key_Up);
    QTest::keyClick(hours, Qt::Key_Up);
    settle();

    const ActionConfig& config = model.config();
    ASSERT_EQ(config.kind, DateActionKind::shift);
    ASSERT_EQ(config.fields, DateFieldSelection::modification);
    ASSERT_EQ(config.shiftDirection, ShiftDirection::subtract);
    ASSERT_EQ(config.shiftHours, 2);
    ASSERT_FALSE(config.correctInconsistencies);
    ASSERT_TRUE(config.includeSubfolderContents);

    QApplication::setActiveWindow(&window);
    QTest::keyClick(&window, Qt::Key_Return, Qt::ControlModifier);
    settle();
    QMessageBox* dialog = modalBox("confirmationDialog");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->text(), "Apply changes to 3 items?");
    buttonWithText(*dialog, "Perform Changes")->click();
    settle();

    QMessageBox* alert = modalBox("resultAlert");
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->text(), "Done");
    EXPECT_EQ(alert->informativeText(), "3 items changed.");

    const timespec one = modificationOnDisk(photos / "one.jpg");
    EXPECT_EQ(one.tv_sec, kMay2023 - 7200);
    EXPECT_EQ(one.tv_nsec, 250'000'000);
    EXPECT_EQ(modificationOnDisk(photos / "two.jpg").tv_sec, kMay2023 + 60 - 7200);
    EXPECT_EQ(modificationOnDisk(photos).tv_sec, kMay2023 + 3600 - 7200);

    buttonWithText(*alert, "OK")->click();
    settle();
    EXPECT_FALSE(model.lastResult().has_value());
}

}  // namespace
}  // namespace vellumark::testing
