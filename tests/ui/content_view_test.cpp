#include "ui/main_window/content_view.h"

#include "support/volumes.h"
#include "ui/main_window/drop_highlight.h"
#include "window_fixture.h"

#include <QAbstractSpinBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QProgressBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QTextEdit>
#include <QToolBar>

#include <functional>
#include <memory>

namespace vellumark::testing {
namespace {

class ContentViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        window_ = std::make_unique<ContentView>(model_, panel_);
        window_->resize(1000, 640);
        window_->show();
        QApplication::setActiveWindow(window_.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    }

    void TearDown() override {
        // A dialog left open by a failed expectation must not stay modal over the next test.
        while (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
            settle();
        }
    }

    void list(const std::vector<std::string>& paths, DateAttributes dates = pastDates()) {
        std::vector<std::filesystem::path> urls;
        for (const std::string& path : paths) {
            files_.addFile(path, dates);
            urls.emplace_back(path);
        }
        model_.addURLs(urls);
        settle();
    }

    // Subtract two hours: every item with readable dates changes.
    void chooseShift() {
        model_.editConfig([](ActionConfig& config) {
            config.kind = DateActionKind::shift;
            config.shiftDirection = ShiftDirection::subtract;
            config.shiftHours = 2;
        });
        settle();
    }

    QAction* action(const char* name) const { return window_->findChild<QAction*>(name); }
    QString countText() const { return window_->findChild<QLabel*>("countLabel")->text(); }
    QWidget* listAreaPage() const { return window_->findChild<QStackedWidget*>("listArea")->currentWidget(); }

    void pressPerformShortcut() {
        // The offscreen platform does not hand activation back when a dialog closes; a desktop does.
        QApplication::setActiveWindow(window_.get());
        QTest::keyClick(window_.get(), Qt::Key_Return, Qt::ControlModifier);
        settle();
    }

    QMessageBox* openConfirmation() {
        pressPerformShortcut();
        return modalBox("confirmationDialog");
    }

    void sendDrag(QWidget* target, const QByteArray& uris, QEvent::Type type) {
        QMimeData data;
        data.setData("text/uri-list", uris);
        const QPoint at = target->rect().center();
        if (type == QEvent::DragEnter) {
            QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(target, &enter);
            lastAccepted_ = enter.isAccepted();
        } else if (type == QEvent::DragMove) {
            QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(target, &move);
            lastAccepted_ = move.isAccepted();
        } else {
            QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(target, &drop);
            lastAccepted_ = drop.isAccepted();
        }
        settle();
    }

    void dropPaths(const std::vector<std::filesystem::path>& paths) {
        const QByteArray uris = uriList(paths);
        sendDrag(window_.get(), uris, QEvent::DragEnter);
        sendDrag(window_.get(), uris, QEvent::DragMove);
        sendDrag(window_.get(), uris, QEvent::Drop);
    }

    bool highlightShown() const { return window_->findChild<DropHighlight*>()->isVisible(); }

    FakeFileAccess files_;
    ScriptedOpenPanel panel_;
    AppModel model_{files_, panel_, [] { return kNow; }};
    std::unique_ptr<ContentView> window_;
    bool lastAccepted_ = false;
};

TEST_F(ContentViewTest, EmptyListShowsThePlaceholderAndDisablesTheListCommands) {
    EXPECT_EQ(listAreaPage()->objectName(), "emptyState");
    EXPECT_TRUE(action("addAction")->isEnabled());
    EXPECT_FALSE(action("removeAction")->isEnabled());
    EXPECT_FALSE(action("clearAction")->isEnabled());
    EXPECT_FALSE(action("performAction")->isEnabled());
    EXPECT_EQ(countText(), "0 of 0 will change");

    pressPerformShortcut();
    EXPECT_FALSE(window_->showConfirm());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(ContentViewTest, ItemsThatWouldNotChangeStillShowTheTable) {
    // Copying creation to modification changes nothing where the two already agree to the second.
    list({"/d/a.txt", "/d/b.txt"}, {kCreated, kCreated.addingSeconds(0)});
    model_.editConfig([](ActionConfig& config) { config.kind = DateActionKind::copyCreationToModification; });
    settle();

    EXPECT_NE(listAreaPage()->objectName(), "emptyState");
    EXPECT_EQ(countText(), "0 of 2 will change");
    EXPECT_FALSE(action("performAction")->isEnabled());
    EXPECT_TRUE(action("clearAction")->isEnabled());
    EXPECT_FALSE(action("removeAction")->isEnabled());
    pressPerformShortcut();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(ContentViewTest, OneChangingItemAmongSeveralIsCountedAndNamedInTheSingular) {
    list({"/d/same1.txt", "/d/same2.txt"}, {kCreated, kCreated});
    list({"/d/differs.txt"}, {kCreated, kModified});
    model_.editConfig([](ActionConfig& config) { config.kind = DateActionKind::copyCreationToModification; });
    settle();
    EXPECT_EQ(countText(), "1 of 3 will change");
    ASSERT_TRUE(action("performAction")->isEnabled());

    QMessageBox* dialog = openConfirmation();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(window_->showConfirm());
    EXPECT_EQ(dialog->text(), "Apply changes to 1 item?");
    EXPECT_EQ(dialog->informativeText(), "This will modify file dates on disk. This cannot be undone.");
    // Where each button stands is the platform's layout; what it does is its role.
    ASSERT_EQ(dialog->buttons().size(), 2);
    EXPECT_EQ(dialog->buttonRole(buttonWithText(*dialog, "Perform Changes")), QMessageBox::DestructiveRole);
    EXPECT_EQ(dialog->buttonRole(buttonWithText(*dialog, "Cancel")), QMessageBox::RejectRole);
    EXPECT_EQ(dialog->escapeButton(), buttonWithText(*dialog, "Cancel"));
}

TEST_F(ContentViewTest, SeveralChangingItemsAreNamedInThePlural) {
    list({"/d/a.txt", "/d/b.txt", "/d/c.txt"});
    chooseShift();
    EXPECT_EQ(countText(), "3 of 3 will change");
    QMessageBox* dialog = openConfirmation();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->text(), "Apply changes to 3 items?");
}

TEST_F(ContentViewTest, CancellingTheConfirmationWritesNothing) {
    list({"/d/a.txt", "/d/b.txt"});
    chooseShift();
    model_.setSelection({model_.items()[1].id()});
    settle();
    const Uuid firstId = model_.items()[0].id();

    // Once by the Cancel button, once by Escape.
    for (bool byEscape : {false, true}) {
        QMessageBox* dialog = openConfirmation();
        ASSERT_NE(dialog, nullptr);
        if (byEscape) {
            QTest::keyClick(dialog, Qt::Key_Escape);
        } else {
            buttonWithText(*dialog, "Cancel")->click();
        }
        settle();
        EXPECT_FALSE(window_->showConfirm());
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        EXPECT_TRUE(files_.writes.empty());
        EXPECT_EQ(model_.items().size(), 2u);
        EXPECT_EQ(model_.items()[0].id(), firstId);
        EXPECT_EQ(model_.selection(), Selection{model_.items()[1].id()});
        EXPECT_FALSE(model_.lastResult().has_value());
    }
}

TEST_F(ContentViewTest, ANumberTypedButNotYetConfirmedIsTakenBeforeAsking) {
    list({"/d/a.txt", "/d/b.txt"});
    chooseShift();
    auto* hours = window_->findChild<QAbstractSpinBox*>("hoursStepper");
    ASSERT_NE(hours, nullptr);
    hours->setFocus();
    QTest::keyClick(hours, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(hours, Qt::Key_0);
    settle();
    ASSERT_EQ(model_.config().shiftHours, 2) << "typing alone writes nothing";

    pressPerformShortcut();
    EXPECT_EQ(model_.config().shiftHours, 0);
    EXPECT_EQ(countText(), "0 of 2 will change");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "nothing would change: no confirmation";
}

TEST_F(ContentViewTest, ReturnAloneDoesNotConfirm) {
    list({"/d/a.txt"});
    chooseShift();
    QMessageBox* dialog = openConfirmation();
    ASSERT_NE(dialog, nullptr);
    QTest::keyClick(dialog, Qt::Key_Return);
    settle();
    EXPECT_TRUE(files_.writes.empty());
}

TEST_F(ContentViewTest, ConfirmingAppliesAndTheAlertReportsTheOutcome) {
    list({"/d/a.txt", "/d/b.txt", "/d/c.txt"});
    chooseShift();
    QMessageBox* dialog = openConfirmation();
    ASSERT_NE(dialog, nullptr);
    buttonWithText(*dialog, "Perform Changes")->click();
    settle();

    EXPECT_FALSE(window_->showConfirm());
    EXPECT_EQ(files_.writes.size(), 3u);
    QMessageBox* alert = modalBox("resultAlert");
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->text(), "Done");
    EXPECT_EQ(alert->informativeText(), "3 items changed.");
    EXPECT_EQ(buttonTexts(*alert), QStringList{"OK"});

    buttonWithText(*alert, "OK")->click();
    settle();
    EXPECT_FALSE(model_.lastResult().has_value());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    // The written files now match the plan again.
    EXPECT_EQ(countText(), "3 of 3 will change");
}

TEST_F(ContentViewTest, TheConfirmationSaysWhatTheVolumesKeepAndCannotStore) {
    files_.mount("/ntfs", ntfsVolume());
    files_.mount("/ext4", ext4Volume());
    list({"/d/a.txt", "/ext4/b.txt", "/ext4/c.txt", "/ntfs/d.txt"});
    model_.editConfig([](ActionConfig& config) {
        config.kind = DateActionKind::setSpecific;
        config.specificDate =
            Date::fromParts(-14'831'769'600);  // 1500-01-01, before what ext4 and NTFS store
    });
    settle();

    QMessageBox* dialog = openConfirmation();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->text(), "Apply changes to 1 item?");
    EXPECT_EQ(dialog->informativeText(),
              "This will modify file dates on disk. This cannot be undone.\n\n"
              "Creation dates cannot be changed on ext4 and stay as they are on 2 items.\n"
              "3 items have dates that cannot be stored; they will be reported as failed.");

    buttonWithText(*dialog, "Perform Changes")->click();
    settle();
    QMessageBox* alert = modalBox("resultAlert");
    ASSERT_NE(alert, nullptr);
    EXPECT_TRUE(
        alert->informativeText().startsWith("1 item changed.\nCreation dates cannot be changed on ext4 and "
                                            "stay as they are on 2 items.\n3 failed.\n"));
}

struct FailureCase {
    const char* name;
    int succeeding;
    std::vector<std::string> reasons;  // one per failing item, f1.txt, f2.txt, ...
    QString title;
    QString message;
};

TEST_F(ContentViewTest, TheAlertCountsSharedReasonsOnceAndListsAtMostFiveLines) {
    const std::vector<FailureCase> cases = {
        {"one success", 1, {}, "Done", "1 item changed."},
        {"one failure",
         0,
         {"Permission denied"},
         "Completed with errors",
         "0 items changed.\n1 failed.\nCould not change dates for \u201cf1.txt\u201d: Permission denied"},
        {"a shared reason and a single one",
         2,
         {"Permission denied", "read-only", "Permission denied"},
         "Completed with errors",
         "2 items changed.\n3 failed.\n2 items: Permission denied\n"
         "Could not change dates for \u201cf2.txt\u201d: read-only"},
        {"seven reasons",
         4,
         {"r1", "r2", "r3", "r4", "r5", "r6", "r7"},
         "Completed with errors",
         "4 items changed.\n7 failed.\n"
         "Could not change dates for \u201cf1.txt\u201d: r1\n"
         "Could not change dates for \u201cf2.txt\u201d: r2\n"
         "Could not change dates for \u201cf3.txt\u201d: r3\n"
         "Could not change dates for \u201cf4.txt\u201d: r4\n"
         "Could not change dates for \u201cf5.txt\u201d: r5"},
    };
    for (const FailureCase& row : cases) {
        SCOPED_TRACE(row.name);
        model_.removeAll();
        files_ = FakeFileAccess();
        std::vector<std::string> paths;
        QStringList errors;
        for (std::size_t i = 1; i <= row.reasons.size(); ++i) {
            const std::string name = "f" + std::to_string(i) + ".txt";
            files_.failWriting("/d/" + name, row.reasons[i - 1]);
            paths.push_back("/d/" + name);
            errors << QString::fromStdString("Could not change dates for \u201c" + name +
                                             "\u201d: " + row.reasons[i - 1]);
        }
        for (int i = 1; i <= row.succeeding; ++i) {
            paths.push_back("/d/s" + std::to_string(i) + ".txt");
        }
        list(paths);
        chooseShift();

        QMessageBox* dialog = openConfirmation();
        ASSERT_NE(dialog, nullptr);
        buttonWithText(*dialog, "Perform Changes")->click();
        settle();
        QMessageBox* alert = modalBox("resultAlert");
        ASSERT_NE(alert, nullptr);
        EXPECT_EQ(alert->text(), row.title);
        EXPECT_EQ(alert->informativeText(), row.message);
        // Every error, listed or not, is in the details, which open inside the alert.
        EXPECT_EQ(alert->detailedText(), errors.join('\n'));
        QAbstractButton* details = buttonWithText(*alert, "Show Details\u2026");
        ASSERT_EQ(details != nullptr, !row.reasons.empty());
        if (details != nullptr) {
            details->click();
            EXPECT_EQ(modalBox("resultAlert"), alert);
            EXPECT_EQ(details->text(), "Hide Details\u2026");
            EXPECT_TRUE(alert->findChild<QTextEdit*>()->isVisible());
        }
        buttonWithText(*alert, "OK")->click();
        settle();
        EXPECT_FALSE(model_.lastResult().has_value());
    }
}

TEST_F(ContentViewTest, ARunThatChangedNothingSaysSo) {
    model_.setLastResult(ProcessResult{});
    settle();
    QMessageBox* alert = modalBox("resultAlert");
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->text(), "Done");
    EXPECT_EQ(alert->informativeText(), "0 items changed.");
}

TEST_F(ContentViewTest, FileNamesInErrorsAreShownAsPlainText) {
    ProcessResult result;
    result.failed = 1;
    result.errors = {"Could not change dates for \u201c<a href=\"x\">b</a>.txt\u201d: Permission denied"};
    model_.setLastResult(result);
    settle();
    QMessageBox* alert = modalBox("resultAlert");
    ASSERT_NE(alert, nullptr);
    for (QLabel* label : alert->findChildren<QLabel*>()) {
        if (label->text().contains("href")) {
            EXPECT_EQ(label->textFormat(), Qt::PlainText);
            return;
        }
    }
    ADD_FAILURE() << "the error text is not shown";
}

TEST_F(ContentViewTest, EveryNewResultIsPresentedAnew) {
    ProcessResult first;
    first.succeeded = 1;
    model_.setLastResult(first);
    settle();
    ASSERT_NE(modalBox("resultAlert"), nullptr);
    buttonWithText(*modalBox("resultAlert"), "OK")->click();
    settle();
    ASSERT_EQ(QApplication::activeModalWidget(), nullptr);

    ProcessResult second;
    second.succeeded = 2;
    model_.setLastResult(second);
    settle();
    ASSERT_NE(modalBox("resultAlert"), nullptr);
    EXPECT_EQ(modalBox("resultAlert")->informativeText(), "2 items changed.");

    // A newer result replaces the one on show.
    ProcessResult third;
    third.failed = 1;
    third.errors = {"e1"};
    model_.setLastResult(third);
    settle();
    QMessageBox* alert = modalBox("resultAlert");
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->text(), "Completed with errors");
    EXPECT_EQ(alert->informativeText(), "0 items changed.\n1 failed.\ne1");
    buttonWithText(*alert, "OK")->click();
    settle();
    EXPECT_FALSE(model_.lastResult().has_value());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    // Cleared elsewhere: the alert goes away without a write of its own.
    model_.setLastResult(first);
    settle();
    ASSERT_NE(modalBox("resultAlert"), nullptr);
    model_.setLastResult(std::nullopt);
    settle();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(ContentViewTest, RemoveFollowsTheSelection) {
    list({"/d/a.txt", "/d/b.txt", "/d/c.txt"});
    EXPECT_FALSE(action("removeAction")->isEnabled());
    model_.setSelection({model_.items()[0].id(), model_.items()[2].id()});
    settle();
    ASSERT_TRUE(action("removeAction")->isEnabled());

    action("removeAction")->trigger();
    settle();
    EXPECT_EQ(listedPaths(model_), std::vector<std::string>{"/d/b.txt"});
    EXPECT_FALSE(action("removeAction")->isEnabled());

    // Clear asks first; Cancel keeps the list.
    action("clearAction")->trigger();
    settle();
    QMessageBox* question = modalBox("clearQuestion");
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(question->text(), "Remove the item from the list?");
    buttonWithText(*question, "Cancel")->click();
    settle();
    EXPECT_EQ(model_.items().size(), 1U);
    action("clearAction")->trigger();
    settle();
    buttonWithText(*modalBox("clearQuestion"), "Clear")->click();
    settle();
    EXPECT_TRUE(model_.items().empty());
    EXPECT_EQ(listAreaPage()->objectName(), "emptyState");
    EXPECT_FALSE(action("clearAction")->isEnabled());
}

TEST_F(ContentViewTest, AddAsksTheOpenPanel) {
    files_.addFile("/d/chosen.txt", pastDates());
    panel_.willAnswer(std::vector<std::filesystem::path>{"/d/chosen.txt"});
    action("addAction")->trigger();
    settle();
    EXPECT_EQ(panel_.asked.size(), 1u);
    EXPECT_EQ(listedPaths(model_), std::vector<std::string>{"/d/chosen.txt"});
    EXPECT_EQ(countText(), "1 of 1 will change");
}

TEST_F(ContentViewTest, WhileProcessingTheButtonIsDisabledAndTheIndicatorShown) {
    list({"/d/a.txt"});
    chooseShift();
    auto* indicator = window_->findChild<QProgressBar*>("progressIndicator");
    EXPECT_FALSE(indicator->isVisible());

    bool seen = false;
    files_.duringWrite = [&] {
        // As if the window were drawn in the middle of the run.
        window_->refresh();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        seen = true;
        EXPECT_TRUE(indicator->isVisible());
        EXPECT_FALSE(action("performAction")->isEnabled());
    };
    QMessageBox* dialog = openConfirmation();
    ASSERT_NE(dialog, nullptr);
    buttonWithText(*dialog, "Perform Changes")->click();
    settle();
    EXPECT_TRUE(seen);
    EXPECT_FALSE(indicator->isVisible());
}

TEST_F(ContentViewTest, ToolbarHoldsItsItemsInOrder) {
    auto* toolbar = window_->findChild<QToolBar*>("toolbar");
    QStringList texts;
    for (QAction* item : toolbar->actions()) {
        texts << (item->text().isEmpty() ? QStringLiteral("|") : item->text());
    }
    // The flexible space, the indicator and the count are widgets without text.
    EXPECT_EQ(texts, (QStringList{"Add", "Remove", "Clear", "|", "|", "|", "Cancel", "Perform Changes"}));

    EXPECT_EQ(action("addAction")->toolTip(), "Add files or folders");
    EXPECT_EQ(action("removeAction")->toolTip(), "Remove selected items");
    EXPECT_EQ(action("clearAction")->toolTip(), "Remove all items");
    for (const char* name : {"addAction", "removeAction", "clearAction", "performAction"}) {
        QWidget* button = toolbar->widgetForAction(action(name));
        EXPECT_FALSE(button->accessibleName().isEmpty()) << name;
        EXPECT_TRUE(button->focusPolicy() & Qt::TabFocus) << name;
        EXPECT_FALSE(action(name)->icon().isNull()) << name;
    }
    EXPECT_TRUE(action("performAction")->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_Return)));
}

TEST_F(ContentViewTest, SecondaryTextsAreDimmed) {
    const QColor text = window_->palette().color(QPalette::WindowText);
    for (const char* name : {"countLabel", "emptyStateHint"}) {
        auto* label = window_->findChild<QLabel*>(name);
        ASSERT_NE(label, nullptr) << name;
        const QImage image = label->grab().toImage();
        bool anyFullColour = false;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                anyFullColour |= pixel.rgb() == text.rgb();
            }
        }
        EXPECT_FALSE(anyFullColour) << name;
    }
}

TEST_F(ContentViewTest, TabGoesThroughTheToolbarThenTheTableThenThePanel) {
    list({"/d/a.txt", "/d/b.txt"});
    chooseShift();
    model_.setSelection({model_.items()[0].id()});
    settle();
    auto* toolbar = window_->findChild<QToolBar*>("toolbar");
    auto* split = window_->findChild<QSplitter*>("splitView");
    QWidget* add = toolbar->widgetForAction(action("addAction"));
    add->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(QApplication::focusWidget(), add);

    auto tab = [] {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        return QApplication::focusWidget();
    };
    EXPECT_EQ(tab(), toolbar->widgetForAction(action("removeAction")));
    EXPECT_EQ(tab(), toolbar->widgetForAction(action("clearAction")));
    EXPECT_EQ(tab(), toolbar->widgetForAction(action("performAction")));
    QWidget* table = tab();
    EXPECT_TRUE(split->widget(0)->isAncestorOf(table));

    // After the table, the focus chain goes on into the action panel.
    QWidget* next = table->nextInFocusChain();
    while (next != table && !(next->focusPolicy() & Qt::TabFocus && next->isVisible() && next->isEnabled())) {
        next = next->nextInFocusChain();
    }
    EXPECT_TRUE(split->widget(1)->isAncestorOf(next));
}

TEST_F(ContentViewTest, PanesKeepTheirWidths) {
    auto* split = window_->findChild<QSplitter*>("splitView");
    ASSERT_EQ(split->count(), 2);
    EXPECT_EQ(split->widget(0)->minimumWidth(), ContentView::kListMinimumWidth);
    // The panel is as wide as its controls need, and never narrower than its least width.
    const int panelWidth = split->widget(1)->sizeHint().width();
    EXPECT_GE(panelWidth, ContentView::kPanelWidth);
    EXPECT_EQ(split->widget(1)->width(), panelWidth);
    window_->resize(1400, 700);
    settle();
    EXPECT_EQ(split->widget(1)->width(), panelWidth);
    EXPECT_EQ(split->widget(0)->width(), split->width() - panelWidth - split->handleWidth());
}

TEST_F(ContentViewTest, DroppedFilesAreAddedInDeliveryOrder) {
    files_.addFile("/d/b.txt", pastDates());
    files_.addFile("/d/a.txt", pastDates());
    dropPaths({"/d/b.txt", "/d/a.txt"});
    EXPECT_TRUE(lastAccepted_);
    EXPECT_EQ(listedPaths(model_), (std::vector<std::string>{"/d/b.txt", "/d/a.txt"}));
    EXPECT_FALSE(window_->isTargetedForDrop());
    EXPECT_FALSE(highlightShown());

    // Dropping them again adds nothing, and is accepted all the same.
    model_.setSelection({model_.items()[0].id()});
    dropPaths({"/d/a.txt"});
    EXPECT_TRUE(lastAccepted_);
    EXPECT_EQ(model_.items().size(), 2u);
    EXPECT_EQ(model_.selection().size(), 1u);
}

TEST_F(ContentViewTest, DroppedFoldersFollowTheSubfolderOption) {
    files_.addFolder("/photos", pastDates());
    files_.addFile("/photos/one.jpg", pastDates());
    files_.addFolder("/photos/trip", pastDates());
    files_.addFile("/photos/trip/two.jpg", pastDates());
    files_.addFolder("/music", pastDates());
    files_.addFile("/music/song.ogg", pastDates());

    dropPaths({"/photos"});
    EXPECT_EQ(listedPaths(model_), std::vector<std::string>{"/photos"});

    model_.editConfig([](ActionConfig& config) { config.includeSubfolderContents = true; });
    dropPaths({"/music", "/photos"});
    EXPECT_EQ(listedPaths(model_),
              (std::vector<std::string>{"/photos", "/music", "/music/song.ogg", "/photos/one.jpg",
                                        "/photos/trip", "/photos/trip/two.jpg"}));
}

TEST_F(ContentViewTest, TheHighlightShowsOnlyWhileADragIsOver) {
    files_.addFile("/d/a.txt", pastDates());
    const QByteArray uris = uriList({"/d/a.txt"});
    EXPECT_FALSE(highlightShown());

    // Over a pane, not the window itself: the whole content is the target.
    QWidget* pane = listAreaPage();
    sendDrag(pane, uris, QEvent::DragEnter);
    EXPECT_TRUE(lastAccepted_);
    EXPECT_TRUE(window_->isTargetedForDrop());
    EXPECT_TRUE(highlightShown());
    sendDrag(pane, uris, QEvent::DragMove);
    EXPECT_TRUE(highlightShown());

    QDragLeaveEvent leave;
    QApplication::sendEvent(window_.get(), &leave);
    settle();
    EXPECT_FALSE(window_->isTargetedForDrop());
    EXPECT_FALSE(highlightShown());
    EXPECT_TRUE(model_.items().empty());

    sendDrag(window_.get(), uris, QEvent::DragEnter);
    EXPECT_TRUE(highlightShown());
    sendDrag(pane, uris, QEvent::Drop);
    EXPECT_FALSE(highlightShown());
    EXPECT_EQ(model_.items().size(), 1u);
}

TEST_F(ContentViewTest, TheHighlightCoversTheContentAndLetsEventsThrough) {
    sendDrag(window_.get(), uriList({"/d/a.txt"}), QEvent::DragEnter);
    auto* highlight = window_->findChild<DropHighlight*>();
    ASSERT_TRUE(highlight->isVisible());
    EXPECT_EQ(highlight->geometry(), window_->centralWidget()->rect());
    EXPECT_TRUE(highlight->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_NE(window_->centralWidget()->childAt(highlight->rect().center()), highlight);

    // The border: accent colour from 4 to 7 pixels in, nothing outside it or inside it.
    const QImage image = highlight->grab().toImage();
    const QColor accent = highlight->palette().color(QPalette::Highlight);
    const int y = image.height() / 2;
    EXPECT_EQ(image.pixelColor(5, y).rgb(), accent.rgb());
    EXPECT_NE(image.pixelColor(2, y).rgb(), accent.rgb());
    EXPECT_NE(image.pixelColor(9, y).rgb(), accent.rgb());
    QDragLeaveEvent leave;
    QApplication::sendEvent(window_.get(), &leave);
}

TEST_F(ContentViewTest, ADropIsNeverReportedAsAMove) {
    files_.addFile("/d/a.txt", pastDates());
    QMimeData data;
    data.setData("text/uri-list", uriList({"/d/a.txt"}));
    const QPointF at = QRectF(window_->rect()).center();

    // Shift proposes moving; the source must hear that the items were copied, or it may delete them.
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                          Qt::ShiftModifier);
    QApplication::sendEvent(window_.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(enter.dropAction(), Qt::CopyAction);
    QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::ShiftModifier);
    QApplication::sendEvent(window_.get(), &drop);
    settle();
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
    EXPECT_EQ(model_.items().size(), 1u);

    QDropEvent moveOnly(at, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window_.get(), &moveOnly);
    settle();
    EXPECT_FALSE(moveOnly.isAccepted());
}

TEST_F(ContentViewTest, DragsWithoutURLsAreRefused) {
    QMimeData text;
    text.setText("just words");
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window_.get(), &enter);
    settle();
    EXPECT_FALSE(enter.isAccepted());
    EXPECT_FALSE(highlightShown());
}

}  // namespace
}  // namespace vellumark::testing
