#include "app_model/app_model.h"
#include "linux_fs/linux_file_access.h"
#include "model/planner.h"
#include "qt_test_support.h"
#include "support/fake_file_access.h"
#include "support/scripted_open_panel.h"
#include "ui/action_panel/action_panel_view.h"
#include "ui/file_table/date_cell.h"
#include "ui/file_table/file_table_model.h"
#include "ui/file_table/file_table_view.h"
#include "ui/toolkit/date_picker.h"
#include "ui/toolkit/date_text.h"
#include "ui/toolkit/elided_label.h"
#include "ui/toolkit/path_text.h"
#include "ui/toolkit/pickers.h"
#include "ui/toolkit/stepper.h"
#include "ui/toolkit/toggle.h"

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace vellumark::action_panel {
namespace {

using toolkit::PopUpPicker;
using toolkit::Stepper;

constexpr std::int64_t kHour = 3'600;
const Date kNow = Date::fromParts(1'700'000'000);
const Date kCreated = Date::fromParts(1'600'000'000);
const Date kModified = Date::fromParts(1'650'000'000);

class ActionPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        files_.addFile("/data/notes.txt", kCreated, kModified);
        files_.addFolder("/data/Source Folder", kCreated.addingSeconds(-kHour),
                         kModified.addingSeconds(-kHour));
        files_.addFile("/data/no-birth.txt", std::nullopt, kModified);
        files_.addUnreadable("/data/locked");
        writes_ = model_.objectWillChange().subscribe([this] { ++notifications_; });
        panel_.resize(320, 640);
        panel_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel_));
    }

    template <typename Widget>
    Widget& find(const char* name) {
        auto* widget = panel_.findChild<Widget*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return *widget;
    }

    bool shown(const char* name) { return find<QWidget>(name).isVisibleTo(&panel_); }

    void setConfig(const std::function<void(ActionConfig&)>& change) {
        model_.editConfig(change);
        QCoreApplication::processEvents();
    }

    testing::FakeFileAccess files_;
    testing::ScriptedOpenPanel addPanel_;
    testing::ScriptedOpenPanel sourcePanel_;
    AppModel model_{files_, addPanel_, [] { return kNow; }};
    ActionPanelView panel_{model_, sourcePanel_};
    ChangePublisher::Subscription writes_;
    int notifications_ = 0;
};

TEST_F(ActionPanelTest, ANewModelShowsTheDefaults) {
    EXPECT_EQ(find<QGroupBox>("actionSection").title(), QStringLiteral("Action"));
    EXPECT_EQ(find<QGroupBox>("settingsSection").title(), QStringLiteral("Settings"));
    EXPECT_EQ(find<QGroupBox>("optionsSection").title(), QStringLiteral("Options"));
    EXPECT_EQ(find<PopUpPicker>("operationPicker").currentText(), QStringLiteral("Set to a specific date"));
    EXPECT_TRUE(shown("applyToRow"));
    EXPECT_EQ(find<PopUpPicker>("applyToPicker").currentText(), QStringLiteral("Creation & Modification"));
    EXPECT_TRUE(shown("setSpecificSettings"));
    const QDateTime shownDate = find<toolkit::DatePicker>("datePicker").dateTime();
    EXPECT_EQ(shownDate.toSecsSinceEpoch() / 60, model_.config().specificDate.seconds() / 60);
    EXPECT_TRUE(find<toolkit::Toggle>("autoCorrectToggle").isChecked());
    EXPECT_FALSE(find<toolkit::Toggle>("subfoldersToggle").isChecked());

    // Choosing "Add / remove time" with the keyboard: one write, and the shift controls at their defaults.
    QTest::keyClick(&find<PopUpPicker>("operationPicker"), Qt::Key_Down);
    EXPECT_EQ(notifications_, 1);
    EXPECT_EQ(model_.config().kind, DateActionKind::shift);
    QCoreApplication::processEvents();
    EXPECT_TRUE(shown("shiftSettings"));
    EXPECT_TRUE(find<toolkit::SegmentedPicker>("directionPicker").segment(0)->isChecked());
    EXPECT_EQ(find<toolkit::SegmentedPicker>("directionPicker").segment(0)->text(), QStringLiteral("Add"));
    EXPECT_EQ(find<Stepper>("daysStepper").text(), QStringLiteral("Days: 0"));
    EXPECT_EQ(find<Stepper>("hoursStepper").text(), QStringLiteral("Hours: 0"));
    EXPECT_EQ(find<Stepper>("minutesStepper").text(), QStringLiteral("Minutes: 0"));
    EXPECT_EQ(find<Stepper>("secondsStepper").text(), QStringLiteral("Seconds: 0"));
    EXPECT_EQ(notifications_, 1);
}

struct SectionsCase {
    DateActionKind kind;
    const char* settings;
    bool hasApplyTo;
};

void PrintTo(const SectionsCase& param, std::ostream* out) {
    *out << param.settings;
}

class ActionPanelSectionsTest : public ActionPanelTest, public ::testing::WithParamInterface<SectionsCase> {};

TEST_P(ActionPanelSectionsTest, ShowOnlyTheChosenActionsSettings) {
    const SectionsCase& param = GetParam();
    setConfig([&](ActionConfig& config) { config.kind = param.kind; });
    EXPECT_EQ(shown("applyToRow"), param.hasApplyTo);
    for (const char* page :
         {"setSpecificSettings", "shiftSettings", "copyCreationToModificationSettings",
          "copyModificationToCreationSettings", "liftFromFileSettings", "removeDatesSettings"}) {
        EXPECT_EQ(shown(page), std::string_view(page) == param.settings) << page;
    }
    EXPECT_TRUE(shown("operationPicker"));
    EXPECT_TRUE(shown("autoCorrectToggle"));
    EXPECT_TRUE(shown("subfoldersToggle"));
}

INSTANTIATE_TEST_SUITE_P(
    EveryAction, ActionPanelSectionsTest,
    ::testing::Values(
        SectionsCase{DateActionKind::setSpecific, "setSpecificSettings", true},
        SectionsCase{DateActionKind::shift, "shiftSettings", true},
        SectionsCase{DateActionKind::copyCreationToModification, "copyCreationToModificationSettings", false},
        SectionsCase{DateActionKind::copyModificationToCreation, "copyModificationToCreationSettings", false},
        SectionsCase{DateActionKind::liftFromFile, "liftFromFileSettings", true},
        SectionsCase{DateActionKind::removeDates, "removeDatesSettings", true}),
    [](const ::testing::TestParamInfo<SectionsCase>& param) { return std::string(param.param.settings); });

TEST_F(ActionPanelTest, ExplanationsReadAsWritten) {
    EXPECT_EQ(find<QLabel>("copyCreationToModificationSettings").text(),
              QStringLiteral("Each file's modification date will be set to its own creation date."));
    EXPECT_EQ(find<QLabel>("copyModificationToCreationSettings").text(),
              QStringLiteral("Each file's creation date will be set to its own modification date."));
    EXPECT_EQ(
        find<QLabel>("removeDatesSettings").text(),
        QStringLiteral("The selected dates will be removed: Vellumark shows them as “-----”, other programs "
                       "as 1 January 1904, 00:00 UTC."));
    EXPECT_EQ(find<toolkit::Toggle>("autoCorrectToggle").toolTip(),
              QStringLiteral("Clamp future dates to now and keep modification ≥ creation."));
    EXPECT_EQ(find<toolkit::Toggle>("subfoldersToggle").toolTip(),
              QStringLiteral("Applies to items added after this is turned on."));
}

TEST_F(ActionPanelTest, HiddenSettingsKeepTheirValues) {
    setConfig([](ActionConfig& config) {
        config.fields = DateFieldSelection::creation;
        config.kind = DateActionKind::copyCreationToModification;
    });
    EXPECT_FALSE(shown("applyToRow"));
    setConfig([](ActionConfig& config) { config.kind = DateActionKind::removeDates; });
    EXPECT_TRUE(shown("applyToRow"));
    EXPECT_EQ(find<PopUpPicker>("applyToPicker").currentText(), QStringLiteral("Creation only"));
}

TEST_F(ActionPanelTest, SteppersStopAtTheirEnds) {
    setConfig([](ActionConfig& config) {
        config.kind = DateActionKind::shift;
        config.shiftDays = 99'999;
        config.shiftSeconds = 9'999;
    });
    Stepper& days = find<Stepper>("daysStepper");
    Stepper& seconds = find<Stepper>("secondsStepper");
    for (int press = 0; press < 3; ++press) {
        QTest::keyClick(&days, Qt::Key_Up);
        QTest::keyClick(&seconds, Qt::Key_Up);
    }
    EXPECT_EQ(model_.config().shiftDays, 100'000);
    EXPECT_EQ(model_.config().shiftSeconds, 10'000);
    EXPECT_EQ(notifications_, 1 + 2);
    QCoreApplication::processEvents();
    EXPECT_EQ(days.text(), QStringLiteral("Days: 100000"));
    EXPECT_EQ(seconds.text(), QStringLiteral("Seconds: 10000"));

    Stepper& hours = find<Stepper>("hoursStepper");
    QTest::keyClick(&hours, Qt::Key_Down);
    EXPECT_EQ(model_.config().shiftHours, 0);
    EXPECT_EQ(hours.text(), QStringLiteral("Hours: 0"));
}

TEST_F(ActionPanelTest, LiftControlsFollowTheChosenSource) {
    setConfig([](ActionConfig& config) { config.kind = DateActionKind::liftFromFile; });
    EXPECT_TRUE(shown("chooseSourceButton"));
    EXPECT_EQ(find<QPushButton>("chooseSourceButton").text(), QStringLiteral("Choose source file…"));
    EXPECT_TRUE(shown("noSourceText"));
    EXPECT_EQ(find<QLabel>("noSourceText").text(), QStringLiteral("Pick a file to copy its dates from."));
    EXPECT_FALSE(shown("sourceRows"));

    sourcePanel_.willAnswer(std::vector<std::filesystem::path>{"/data/Source Folder"});
    QTest::mouseClick(&find<QPushButton>("chooseSourceButton"), Qt::LeftButton);
    ASSERT_EQ(sourcePanel_.asked.size(), 1u);
    const OpenPanelOptions& asked = sourcePanel_.asked[0];
    EXPECT_TRUE(asked.canChooseFiles);
    EXPECT_TRUE(asked.canChooseDirectories);
    EXPECT_FALSE(asked.allowsMultipleSelection);
    EXPECT_EQ(asked.message, "Choose the file whose dates you want to copy.");
    EXPECT_EQ(model_.config().liftSourceURL, std::filesystem::path("/data/Source Folder"));

    QCoreApplication::processEvents();
    EXPECT_FALSE(shown("noSourceText"));
    EXPECT_TRUE(shown("sourceRows"));
    EXPECT_EQ(find<toolkit::ElidedLabel>("sourceName").text(), QStringLiteral("Source Folder"));
    EXPECT_EQ(find<QLabel>("sourceCreation").text(), toolkit::dateText(kCreated.addingSeconds(-kHour)));
    EXPECT_EQ(find<QLabel>("sourceModification").text(), toolkit::dateText(kModified.addingSeconds(-kHour)));

    // Cancelling, or confirming without an item, keeps the source.
    sourcePanel_.willAnswer(std::nullopt);
    sourcePanel_.willAnswer(std::vector<std::filesystem::path>{});
    const int before = notifications_;
    panel_.chooseSourceFile();
    panel_.chooseSourceFile();
    QCoreApplication::processEvents();
    EXPECT_EQ(notifications_, before);
    EXPECT_EQ(find<toolkit::ElidedLabel>("sourceName").text(), QStringLiteral("Source Folder"));
}

TEST_F(ActionPanelTest, UnreadableSourceDatesReadAsDashes) {
    setConfig([](ActionConfig& config) { config.kind = DateActionKind::liftFromFile; });
    sourcePanel_.willAnswer(std::vector<std::filesystem::path>{"/data/no-birth.txt"});
    panel_.chooseSourceFile();
    QCoreApplication::processEvents();
    EXPECT_EQ(find<QLabel>("sourceCreation").text(), QStringLiteral("-----"));
    EXPECT_EQ(find<QLabel>("sourceModification").text(), toolkit::dateText(kModified));

    sourcePanel_.willAnswer(std::vector<std::filesystem::path>{"/data/locked"});
    panel_.chooseSourceFile();
    QCoreApplication::processEvents();
    EXPECT_EQ(find<toolkit::ElidedLabel>("sourceName").text(), QStringLiteral("locked"));
    EXPECT_EQ(find<QLabel>("sourceCreation").text(), QStringLiteral("-----"));
    EXPECT_EQ(find<QLabel>("sourceModification").text(), QStringLiteral("-----"));
}

TEST_F(ActionPanelTest, TogglesWriteTheirOption) {
    QTest::keyClick(&find<toolkit::Toggle>("subfoldersToggle"), Qt::Key_Space);
    QTest::keyClick(&find<toolkit::Toggle>("autoCorrectToggle"), Qt::Key_Space);
    EXPECT_TRUE(model_.config().includeSubfolderContents);
    EXPECT_FALSE(model_.config().correctInconsistencies);
    EXPECT_EQ(notifications_, 2);
    QCoreApplication::processEvents();
    EXPECT_EQ(notifications_, 2);
}

TEST_F(ActionPanelTest, EveryEditShowsInTheTableAtOnce) {
    file_table::FileTableView table(model_);
    const std::vector<std::filesystem::path> urls{"/data/notes.txt"};
    model_.addURLs(urls);
    QCoreApplication::processEvents();
    const auto creationCell = [&] {
        return table.tableModel()
            .index(0, file_table::creationColumn)
            .data(file_table::FileTableRole::dateCell)
            .value<file_table::DateCell>();
    };

    QTest::keyClick(&find<PopUpPicker>("operationPicker"), Qt::Key_Down);  // "Add / remove time"
    QCoreApplication::processEvents();
    EXPECT_FALSE(creationCell().changed());

    QTest::keyClick(&find<Stepper>("hoursStepper"), Qt::Key_Up);
    QCoreApplication::processEvents();
    EXPECT_TRUE(creationCell().changed());
    EXPECT_EQ(creationCell().newDate(), kCreated.addingSeconds(kHour));

    QTest::mouseClick(find<toolkit::SegmentedPicker>("directionPicker").segment(1), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(creationCell().newDate(), kCreated.addingSeconds(-kHour));

    QTest::keyClick(&find<PopUpPicker>("applyToPicker"), Qt::Key_Down);  // "Creation only"
    QCoreApplication::processEvents();
    EXPECT_EQ(model_.config().fields, DateFieldSelection::creation);
    EXPECT_FALSE(table.tableModel()
                     .index(0, file_table::modificationColumn)
                     .data(file_table::FileTableRole::dateCell)
                     .value<file_table::DateCell>()
                     .changed());

    // Neither view's refresh wrote anything back: one notification per edit above, and the add.
    EXPECT_EQ(notifications_, 1 + 4);
}

TEST_F(ActionPanelTest, AssistiveTechnologiesHearANameForEveryControl) {
    for (const DateActionKind kind : allCases<DateActionKind>()) {
        setConfig([kind](ActionConfig& config) { config.kind = kind; });
        for (QWidget* control : panel_.findChildren<QWidget*>()) {
            // A box's text field is part of the box, which assistive technologies name.
            const bool part = qobject_cast<QAbstractSpinBox*>(control->parentWidget()) != nullptr;
            if (control->isVisibleTo(&panel_) && (control->focusPolicy() & Qt::TabFocus) != 0 && !part) {
                QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
                ASSERT_NE(accessible, nullptr);
                EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty())
                    << control->metaObject()->className() << " " << control->objectName().toStdString();
            }
        }
    }
    EXPECT_EQ(QAccessible::queryAccessibleInterface(&find<Stepper>("daysStepper"))->text(QAccessible::Name),
              QStringLiteral("Days"));

    // The direction is one choice of two, not two check boxes.
    setConfig([](ActionConfig& config) { config.kind = DateActionKind::shift; });
    auto& direction = find<toolkit::SegmentedPicker>("directionPicker");
    for (int index = 0; index < 2; ++index) {
        QAccessibleInterface* segment = QAccessible::queryAccessibleInterface(direction.segment(index));
        EXPECT_EQ(segment->role(), QAccessible::RadioButton);
        EXPECT_EQ(segment->state().checked, index == 0);
    }
}

TEST_F(ActionPanelTest, DateCellsReadAsOneSentenceUnderTheirColumn) {
    file_table::FileTableView table(model_);
    const std::vector<std::filesystem::path> urls{"/data/notes.txt"};
    model_.addURLs(urls);
    setConfig([](ActionConfig& config) {
        config.fields = DateFieldSelection::creation;
        config.specificDate = kCreated.addingSeconds(-kHour);
    });
    QAccessibleTableInterface* cells =
        QAccessible::queryAccessibleInterface(&table.table())->tableInterface();
    ASSERT_NE(cells, nullptr);
    EXPECT_EQ(cells->cellAt(0, file_table::creationColumn)->text(QAccessible::Name),
              "Creation: " + toolkit::dateText(kCreated) + ", changes to " +
                  toolkit::dateText(kCreated.addingSeconds(-kHour)));
    EXPECT_EQ(cells->cellAt(0, file_table::modificationColumn)->text(QAccessible::Name),
              "Modification: " + toolkit::dateText(kModified) + ", unchanged");
}

TEST(ActionPanelRealFilesTest, AFolderCanBeTheLiftSource) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::filesystem::path source = toolkit::pathFromLocalFile(folder.path()) / "Scans";
    std::filesystem::create_directory(source);
    const timespec times[2] = {{1'500'000'000, 0}, {1'500'000'000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, source.c_str(), times, 0), 0);

    LinuxFileAccess files;
    testing::ScriptedOpenPanel addPanel;
    testing::ScriptedOpenPanel sourcePanel;
    AppModel model(files, addPanel);
    ActionPanelView panel(model, sourcePanel);
    model.editConfig([](ActionConfig& config) { config.kind = DateActionKind::liftFromFile; });
    sourcePanel.willAnswer(std::vector<std::filesystem::path>{source});
    panel.chooseSourceFile();
    QCoreApplication::processEvents();

    EXPECT_EQ(panel.findChild<toolkit::ElidedLabel*>("sourceName")->text(), QStringLiteral("Scans"));
    EXPECT_EQ(panel.findChild<QLabel*>("sourceModification")->text(),
              toolkit::dateText(Date::fromParts(1'500'000'000)));
    // Where the file system keeps no birth time the creation row reads "-----"; else it shows one.
    EXPECT_FALSE(panel.findChild<QLabel*>("sourceCreation")->text().isEmpty());
}

}  // namespace
}  // namespace vellumark::action_panel
