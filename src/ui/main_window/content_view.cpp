#include "ui/main_window/content_view.h"

#include "ui/action_panel/action_panel_view.h"
#include "ui/bindings/model_observer.h"
#include "ui/file_table/file_table_view.h"
#include "ui/main_window/drop_highlight.h"
#include "ui/main_window/empty_state_view.h"
#include "ui/main_window/history_dialog.h"
#include "ui/main_window/window_texts.h"
#include "ui/toolkit/animation_pace.h"
#include "ui/toolkit/commands.h"
#include "ui/toolkit/dialogs.h"
#include "ui/toolkit/drop_destination.h"
#include "ui/toolkit/symbol_icons.h"
#include "ui/toolkit/text_styles.h"

#include <QAction>
#include <QCloseEvent>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <climits>

namespace vellumark {

namespace {

// Swallows tooltip requests: a toolbar button otherwise shows its label as a tooltip.
class NoToolTip : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        return event->type() == QEvent::ToolTip || QObject::eventFilter(watched, event);
    }
};

// Small; indeterminate while adding, where the total is not known.
QProgressBar* makeProgressIndicator() {
    auto* progress = new QProgressBar;
    progress->setObjectName("progressIndicator");
    progress->setRange(0, 0);
    progress->setTextVisible(false);
    progress->setFixedSize(96, 10);
    progress->setAccessibleName(ContentView::tr("Processing"));
    // Twenty frames a second still move, and a long add pays for a third of the redraws the style asks.
    toolkit::paceAnimation(*progress, 20);
    return progress;
}

constexpr int kNoticeMilliseconds = 4000;

}  // namespace

ContentView::ContentView(AppModel& model, OpenPanel& sourcePanel, QWidget* parent)
    : QMainWindow(parent), model_(model) {
    setUnifiedTitleAndToolBarOnMac(true);
    buildToolbar();
    buildContent(sourcePanel);
    buildMenus();
    new toolkit::DropDestination(
        *this, [this](bool targeted) { setTargetedForDrop(targeted); },
        [this](std::vector<std::filesystem::path> urls) { addDropped(std::move(urls)); });
    noticeTimer_ = new QTimer(this);
    noticeTimer_->setSingleShot(true);
    connect(noticeTimer_, &QTimer::timeout, this, [this] {
        notice_.clear();
        refresh();
    });
    observer_ = new bindings::ModelObserver(
        model_, [this] { refresh(); }, this);
    refresh();
}

ContentView::~ContentView() = default;

void ContentView::buildToolbar() {
    auto* toolbar = new QToolBar(tr("Toolbar"), this);
    toolbar->setObjectName("toolbar");
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    addToolBar(Qt::TopToolBarArea, toolbar);

    auto addButton = [&](QAction* action, const char* name) {
        action->setObjectName(QString::fromLatin1(name));
        toolbar->addAction(action);
        QWidget* button = toolbar->widgetForAction(action);
        // Toolbar buttons are skipped by Tab unless asked, and keyboard users need them too.
        button->setFocusPolicy(Qt::TabFocus);
        button->setAccessibleName(action->text());
        return button;
    };

    addAction_ = toolkit::makeCommand(
        this, tr("Add"), {}, [this] { addFiles(); }, toolkit::symbolIcon(u"plus"));
    toolkit::setToolTip(*addAction_, tr("Add files or folders"));
    addButton(addAction_, "addAction");

    removeAction_ = toolkit::makeCommand(
        this, tr("Remove"), QKeySequence::Delete, [this] { model_.removeSelected(); },
        toolkit::symbolIcon(u"minus"));
    removeAction_->setShortcuts({QKeySequence(QKeySequence::Delete), QKeySequence(Qt::Key_Backspace)});
    toolkit::setToolTip(*removeAction_, tr("Remove selected items"));
    addButton(removeAction_, "removeAction");

    clearAction_ = toolkit::makeCommand(
        this, tr("Clear"), {}, [this] { askToClear(); }, toolkit::symbolIcon(u"trash"));
    toolkit::setToolTip(*clearAction_, tr("Remove all items"));
    addButton(clearAction_, "clearAction");

    auto* space = new QWidget;
    space->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar->addWidget(space);

    progress_ = makeProgressIndicator();
    progressAction_ = toolbar->addWidget(progress_);

    countLabel_ = new QLabel;
    countLabel_->setObjectName("countLabel");
    countLabel_->setFont(toolkit::calloutFont(countLabel_->font()));
    countLabel_->setContentsMargins(6, 0, 6, 0);
    toolkit::makeSecondary(*countLabel_);
    toolbar->addWidget(countLabel_);

    cancelAction_ =
        toolkit::makeCommand(this, tr("Cancel"), QKeySequence(Qt::Key_Escape), [this] { model_.cancel(); });
    toolkit::setToolTip(*cancelAction_, tr("Stop after the item at hand"));
    addButton(cancelAction_, "cancelAction");

    performAction_ = toolkit::makeCommand(
        this, tr("Perform Changes"), QKeySequence(Qt::CTRL | Qt::Key_Return),
        [this] {
            // The shortcut may come before a refresh has disabled the button.
            if (model_.changeCount() > 0 && !model_.isProcessing()) {
                setShowConfirm(true);
            }
        },
        toolkit::symbolIcon(u"checkmark.circle.fill"));
    // Return on the keypad is the same key to a user.
    performAction_->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
    addButton(performAction_, "performAction")->installEventFilter(new NoToolTip(this));
}

void ContentView::buildContent(OpenPanel& sourcePanel) {
    emptyState_ = new EmptyStateView;
    fileTable_ = new file_table::FileTableView(model_);
    connect(fileTable_, &file_table::FileTableView::rowsShownChanged, this, &ContentView::refresh);
    listArea_ = new QStackedWidget;
    listArea_->setObjectName("listArea");
    listArea_->addWidget(emptyState_);
    listArea_->addWidget(fileTable_);
    listArea_->setMinimumWidth(kListMinimumWidth);

    actionPanel_ = new action_panel::ActionPanelView(model_, sourcePanel);
    actionPanel_->setObjectName("actionPanel");

    auto* split = new QSplitter(Qt::Horizontal);
    split->setObjectName("splitView");
    split->setChildrenCollapsible(false);
    split->addWidget(listArea_);
    split->addWidget(actionPanel_);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 0);

    dropHighlight_ = new DropHighlight;
    dropHighlight_->setObjectName("dropHighlight");

    // One cell for both: the highlight lies over the whole content at the content's size.
    auto* content = new QWidget;
    auto* layout = new QGridLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(split, 0, 0);
    layout->addWidget(dropHighlight_, 0, 0);
    setCentralWidget(content);
}

void ContentView::refresh() {
    const auto& items = model_.items();
    const PlanSummary& summary = model_.planSummary();
    const std::size_t changeCount = summary.changing;
    // While adding or applying, the list and the settings are locked: a run writes what was confirmed.
    const bool processing = model_.isBusy();
    const Progress& progress = model_.progress();

    listArea_->setCurrentWidget(items.empty() ? static_cast<QWidget*>(emptyState_) : fileTable_);
    addAction_->setEnabled(!processing);
    removeAction_->setEnabled(!processing && !model_.selection().empty());
    clearAction_->setEnabled(!processing && !items.empty());
    actionPanel_->setEnabled(!processing);
    progressAction_->setVisible(processing);
    cancelAction_->setVisible(processing);
    cancelAction_->setEnabled(processing);
    if (model_.activity() == Activity::applying) {
        // The bar counts in steps an int can hold, however long the list.
        const std::size_t step = std::max<std::size_t>(1, progress.total / INT_MAX + 1);
        progress_->setRange(0, static_cast<int>(progress.total / step));
        progress_->setValue(static_cast<int>(progress.done / step));
    } else {
        progress_->setRange(0, 0);
    }
    countLabel_->setText(!notice_.isEmpty() ? notice_
                         : processing       ? progressText(model_.activity(), progress)
                                      : countText(changeCount, items.size(), fileTable_->hiddenByFilter()));
    performAction_->setEnabled(changeCount > 0 && !processing);
    menuClearAction_->setEnabled(clearAction_->isEnabled());
    selectAllAction_->setEnabled(!processing && !items.empty());
    const std::optional<RunRecord>& latest = model_.latestRun();
    // A run that changed nothing leaves nothing to put back.
    const bool restorable = latest && (latest->changed > 0 || !latest->complete || latest->interrupted);
    const bool canUndo = restorable && !latest->isUndo();
    const bool canRedo = restorable && latest->isUndo();
    undoAction_->setText(canUndo ? undoText(*latest) : tr("Undo"));
    undoAction_->setEnabled(canUndo && !processing);
    redoAction_->setText(canRedo ? redoText(*latest) : tr("Redo"));
    redoAction_->setEnabled(canRedo && !processing);
    dropHighlight_->setVisible(isTargetedForDrop_);

    if (showConfirm_ && !confirmation_) {
        presentConfirmation(summary);
    }
    if (confirmation_) {
        const QString title = confirmationTitle(changeCount);
        confirmation_->setWindowTitle(title);
        confirmation_->setText(title);
        toolkit::setMessage(*confirmation_, confirmationMessage(summary, model_.journal() != nullptr));
        if (auto* confirm = confirmation_->findChild<QPushButton*>("confirmButton")) {
            confirm->setEnabled(changeCount > 0 && !processing);
        }
    }
    presentResult();
}

void ContentView::addFiles() {
    if (model_.isBusy()) {
        showNotice(addRefusedText(model_.activity()));
        return;
    }
    model_.showAddPanel();
}

void ContentView::addDropped(std::vector<std::filesystem::path> urls) {
    if (!model_.addURLs(urls)) {
        showNotice(addRefusedText(model_.activity()));
    }
}

void ContentView::showNotice(const QString& notice) {
    notice_ = notice;
    noticeTimer_->start(kNoticeMilliseconds);
    refresh();
}

void ContentView::closeEvent(QCloseEvent* event) {
    if (!model_.isBusy() || closeConfirmed_) {
        QMainWindow::closeEvent(event);
        return;
    }
    event->ignore();
    askToStopAndClose();
}

void ContentView::ask(QMessageBox* dialog, const char* name, QPointer<QMessageBox>& slot,
                      std::function<void(bool confirmed)> answered) {
    dialog->setObjectName(QLatin1String(name));
    connect(dialog, &QMessageBox::finished, this, [dialog, &slot, answered = std::move(answered)] {
        const bool confirmed = toolkit::isConfirmed(*dialog);
        slot = nullptr;
        dialog->deleteLater();
        answered(confirmed);
    });
    slot = dialog;
    dialog->open();
}

void ContentView::askToStopAndClose() {
    if (closeQuestion_) {
        closeQuestion_->raise();
        return;
    }
    const bool applying = model_.activity() == Activity::applying;
    QMessageBox* dialog = toolkit::makeConfirmationDialog(
                              this, {applying ? tr("Stop changing dates?") : tr("Stop adding items?"),
                                     closeQuestionText(model_.activity(), model_.progress()),
                                     tr("Stop and Close"), tr("Continue")})
                              .release();
    ask(dialog, "closeQuestion", closeQuestion_, [this](bool confirmed) {
        if (confirmed) {
            closeConfirmed_ = true;
            model_.cancel();
            // Stops after the item at hand; what it hands back still reaches the model.
            model_.waitForWork();
            close();
        }
    });
}

void ContentView::setShowConfirm(bool show) {
    showConfirm_ = show;
    refresh();
}

void ContentView::setTargetedForDrop(bool targeted) {
    isTargetedForDrop_ = targeted;
    refresh();
}

void ContentView::presentConfirmation(const PlanSummary& summary) {
    QMessageBox* dialog =
        toolkit::makeConfirmationDialog(this, {confirmationTitle(summary.changing),
                                               confirmationMessage(summary, model_.journal() != nullptr),
                                               tr("Perform Changes"), tr("Cancel")})
            .release();
    ask(dialog, "confirmationDialog", confirmation_, [this](bool confirmed) {
        setShowConfirm(false);
        if (confirmed) {
            model_.applyChanges();
        }
    });
}

void ContentView::presentResult() {
    const auto& result = model_.lastResult();
    if (!result) {
        presentedResult_.reset();
        if (resultAlert_) {
            // Cleared elsewhere: close without writing the model again.
            QMessageBox* alert = resultAlert_;
            resultAlert_ = nullptr;
            alert->disconnect(this);
            alert->close();
            alert->deleteLater();
        }
        return;
    }
    if (result->journalFailure && result->restoredAction.empty()) {
        presentJournalFailure(*result);
        return;
    }
    if (resultAlert_ && presentedResult_ == result->id) {
        return;
    }
    const QString title = resultTitle(*result);
    const QString summary = QString::fromStdString(resultSummary(*result));
    if (!resultAlert_) {
        QMessageBox* alert = toolkit::makeAlert(this, title, summary, tr("OK")).release();
        alert->setObjectName("resultAlert");
        connect(alert, &QMessageBox::finished, this, [this, alert] {
            resultAlert_ = nullptr;
            alert->deleteLater();
            presentedResult_.reset();
            model_.setLastResult(std::nullopt);
        });
        resultAlert_ = alert;
    }
    presentedResult_ = result->id;
    resultAlert_->setIcon(result->failed != 0 ? QMessageBox::Warning : QMessageBox::Information);
    resultAlert_->setWindowTitle(title);
    resultAlert_->setText(title);
    toolkit::setMessage(*resultAlert_, summary);
    toolkit::setDetails(*resultAlert_, resultDetails(*result));
    resultAlert_->open();
}

void ContentView::buildMenus() {
    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    edit->setObjectName("editMenu");
    undoAction_ = toolkit::makeCommand(this, tr("Undo"), QKeySequence::Undo, [this] {
        if (const auto& latest = model_.latestRun(); latest && !latest->isUndo() && !model_.isBusy()) {
            presentRestore(*latest, true);
        }
    });
    undoAction_->setObjectName("undoAction");
    redoAction_ =
        toolkit::makeCommand(this, tr("Redo"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), [this] {
            if (const auto& latest = model_.latestRun(); latest && latest->isUndo() && !model_.isBusy()) {
                presentRestore(*latest, true);
            }
        });
    redoAction_->setObjectName("redoAction");
    edit->addAction(undoAction_);
    edit->addAction(redoAction_);
    edit->addSeparator();
    selectAllAction_ = toolkit::makeCommand(this, tr("Select All"), QKeySequence::SelectAll, [this] {
        listArea_->setCurrentWidget(fileTable_);
        fileTable_->table().selectAll();
    });
    selectAllAction_->setObjectName("selectAllAction");
    edit->addAction(selectAllAction_);
    edit->addAction(removeAction_);
    menuClearAction_ = toolkit::makeCommand(this, tr("Clear…"), {}, [this] { askToClear(); });
    menuClearAction_->setObjectName("menuClearAction");
    edit->addAction(menuClearAction_);

    QMenu* actions = menuBar()->addMenu(tr("&Actions"));
    actions->setObjectName("actionsMenu");
    actions->addAction(performAction_);

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->setObjectName("helpMenu");
    QAction* about = help->addAction(tr("About Vellumark"), this, [this] { showAbout(); });
    about->setObjectName("aboutAction");
    about->setMenuRole(QAction::AboutRole);
}

void ContentView::askToClear() {
    if (model_.isBusy() || model_.items().empty() || question_) {
        return;
    }
    const QLocale locale;
    const auto count = static_cast<qulonglong>(model_.items().size());
    QMessageBox* dialog =
        toolkit::makeConfirmationDialog(
            this, {count == 1 ? tr("Remove the item from the list?")
                              : tr("Remove all %1 items from the list?").arg(locale.toString(count)),
                   tr("The files and folders stay as they are; only the list is emptied."), tr("Clear"),
                   tr("Cancel")})
            .release();
    ask(dialog, "clearQuestion", question_, [this](bool confirmed) {
        if (confirmed) {
            model_.removeAll();
        }
    });
}

void ContentView::presentRestore(const RunRecord& run, bool newest) {
    if (question_) {
        return;
    }
    QMessageBox* dialog = toolkit::makeConfirmationDialog(this, restoreConfirmation(run, newest)).release();
    ask(dialog, "restoreConfirmation", question_, [this, id = run.id](bool confirmed) {
        if (confirmed) {
            model_.restoreRun(id);
        }
    });
}

void ContentView::presentJournalFailure(const ProcessResult& result) {
    if (question_ && presentedResult_ == result.id) {
        return;
    }
    presentedResult_ = result.id;
    QMessageBox* dialog =
        toolkit::makeConfirmationDialog(this, journalFailureQuestion(*result.journalFailure)).release();
    dialog->setIcon(QMessageBox::Warning);
    ask(dialog, "journalFailureQuestion", question_, [this](bool confirmed) {
        presentedResult_.reset();
        model_.setLastResult(std::nullopt);
        if (confirmed) {
            model_.applyChanges(JournalUse::skipped);
        }
    });
}

void ContentView::showHistory() {
    if (model_.journal() == nullptr) {
        return;
    }
    std::vector<RunRecord> runs;
    try {
        runs = model_.journal()->runs();
    } catch (const std::exception& error) {
        toolkit::makeAlert(this, tr("The history cannot be read"), QString::fromStdString(error.what()),
                           tr("OK"))
            .release()
            ->open();
        return;
    }
    auto* dialog = new HistoryDialog(
        std::move(runs),
        [this](const RunRecord& run) {
            const auto& latest = model_.latestRun();
            presentRestore(run, latest && latest->id == run.id);
        },
        this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void ContentView::offerRecovery() {
    const std::optional<RunRecord> run = model_.interruptedRun();
    if (!run || question_) {
        return;
    }
    QMessageBox* dialog = toolkit::makeConfirmationDialog(this, recoveryQuestion(*run)).release();
    ask(dialog, "recoveryQuestion", question_, [this, id = run->id](bool confirmed) {
        model_.dismissInterrupted(id);
        if (confirmed) {
            model_.restoreRun(id);
        }
    });
}

void ContentView::showAbout() {
    QMessageBox::about(
        this, tr("About Vellumark"),
        tr("<h3>Vellumark %1</h3><p>Changes the creation and modification dates of files and folders.</p>"
           "<p>Licence: %2</p><p><a href=\"%3\">%3</a></p>")
            .arg(QStringLiteral(VELLUMARK_VERSION), QStringLiteral(VELLUMARK_LICENCE),
                 QStringLiteral(VELLUMARK_HOMEPAGE)));
}

}  // namespace vellumark
