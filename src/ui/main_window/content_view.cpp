#include "ui/main_window/content_view.h"

#include "ui/action_panel/action_panel_view.h"
#include "ui/file_table/file_table_view.h"
#include "ui/main_window/drop_highlight.h"
#include "ui/main_window/empty_state_view.h"
#include "ui/main_window/window_texts.h"
#include "ui/toolkit/drop_destination.h"
#include "ui/toolkit/model_observer.h"
#include "ui/toolkit/symbol_icons.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QToolBar>
#include <QToolButton>

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

// Small, and indeterminate because a run reports no progress.
QProgressBar* makeProgressIndicator() {
    auto* progress = new QProgressBar;
    progress->setObjectName("progressIndicator");
    progress->setRange(0, 0);
    progress->setTextVisible(false);
    progress->setFixedSize(48, 10);
    progress->setAccessibleName(ContentView::tr("Processing"));
    return progress;
}

void makeSecondary(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::PlaceholderText));
    widget->setPalette(palette);
}

QString boldTitle(const QString& title) {
    return QStringLiteral("<b>%1</b>").arg(title.toHtmlEscaped());
}

}  // namespace

ContentView::ContentView(AppModel& model, OpenPanel& sourcePanel, QWidget* parent)
    : QMainWindow(parent), model_(model) {
    setAcceptDrops(true);
    setUnifiedTitleAndToolBarOnMac(true);
    buildToolbar();
    buildContent(sourcePanel);
    observer_ = new toolkit::ModelObserver(
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

    auto addButton = [&](QAction* action) {
        toolbar->addAction(action);
        QWidget* button = toolbar->widgetForAction(action);
        // Toolbar buttons are skipped by Tab unless asked, and keyboard users need them too.
        button->setFocusPolicy(Qt::TabFocus);
        button->setAccessibleName(action->text());
        return button;
    };
    auto makeAction = [&](const char* symbol, const QString& text, const char* name) {
        auto* action = new QAction(toolkit::symbolIcon(symbol), text, this);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };

    addAction_ = makeAction("plus", tr("Add"), "addAction");
    addAction_->setToolTip(tr("Add files or folders"));
    connect(addAction_, &QAction::triggered, this, [this] { model_.showAddPanel(); });
    addButton(addAction_);

    removeAction_ = makeAction("minus", tr("Remove"), "removeAction");
    removeAction_->setToolTip(tr("Remove selected items"));
    connect(removeAction_, &QAction::triggered, this, [this] { model_.removeSelected(); });
    addButton(removeAction_);

    clearAction_ = makeAction("trash", tr("Clear"), "clearAction");
    clearAction_->setToolTip(tr("Remove all items"));
    connect(clearAction_, &QAction::triggered, this, [this] { model_.removeAll(); });
    addButton(clearAction_);

    auto* space = new QWidget;
    space->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar->addWidget(space);

    progressAction_ = toolbar->addWidget(makeProgressIndicator());

    countLabel_ = new QLabel;
    countLabel_->setObjectName("countLabel");
    countLabel_->setFont(toolkit::textStyleFont(toolkit::TextStyle::callout));
    countLabel_->setContentsMargins(6, 0, 6, 0);
    makeSecondary(countLabel_);
    toolbar->addWidget(countLabel_);

    performAction_ = makeAction("checkmark.circle.fill", tr("Perform Changes"), "performAction");
    performAction_->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
    connect(performAction_, &QAction::triggered, this, [this] {
        // The shortcut may fire before a refresh has disabled the button.
        if (model_.changeCount() > 0 && !model_.isProcessing()) {
            setShowConfirm(true);
        }
    });
    addButton(performAction_)->installEventFilter(new NoToolTip(this));
}

void ContentView::buildContent(OpenPanel& sourcePanel) {
    emptyState_ = new EmptyStateView;
    fileTable_ = new FileTableView(model_);
    listArea_ = new QStackedWidget;
    listArea_->setObjectName("listArea");
    listArea_->addWidget(emptyState_);
    listArea_->addWidget(fileTable_);
    listArea_->setMinimumWidth(kListMinimumWidth);

    actionPanel_ = new ActionPanelView(model_, sourcePanel);
    actionPanel_->setFixedWidth(kPanelWidth);

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

    setTabOrder(fileTable_, actionPanel_);
}

void ContentView::refresh() {
    const auto& items = model_.items();
    const std::size_t changeCount = model_.changeCount();
    const bool processing = model_.isProcessing();

    listArea_->setCurrentWidget(items.empty() ? static_cast<QWidget*>(emptyState_) : fileTable_);
    removeAction_->setEnabled(!model_.selection().empty());
    clearAction_->setEnabled(!items.empty());
    progressAction_->setVisible(processing);
    countLabel_->setText(countText(changeCount, items.size()));
    performAction_->setEnabled(changeCount > 0 && !processing);
    dropHighlight_->setVisible(isTargetedForDrop_);

    if (showConfirm_ && !confirmation_) {
        presentConfirmation();
    }
    if (confirmation_) {
        confirmation_->setText(boldTitle(confirmationTitle(changeCount)));
    }
    presentResult();
}

void ContentView::setShowConfirm(bool show) {
    showConfirm_ = show;
    refresh();
}

void ContentView::setTargetedForDrop(bool targeted) {
    if (targeted != isTargetedForDrop_) {
        isTargetedForDrop_ = targeted;
        refresh();
    }
}

void ContentView::presentConfirmation() {
    auto* dialog = new QMessageBox(this);
    dialog->setObjectName("confirmationDialog");
    dialog->setIcon(QMessageBox::Warning);
    dialog->setTextFormat(Qt::RichText);
    dialog->setWindowTitle(confirmationTitle(model_.changeCount()));
    dialog->setInformativeText(tr("This will modify file dates on disk. This cannot be undone."));
    auto* perform = dialog->addButton(tr("Perform Changes"), QMessageBox::DestructiveRole);
    auto* cancel = dialog->addButton(tr("Cancel"), QMessageBox::RejectRole);
    perform->setObjectName("performButton");
    cancel->setObjectName("cancelButton");
    dialog->setEscapeButton(cancel);
    // Return alone never writes to disk.
    dialog->setDefaultButton(cancel);
    connect(dialog, &QMessageBox::finished, this, [this, dialog, perform] {
        const bool confirmed = dialog->clickedButton() == perform;
        confirmation_ = nullptr;
        dialog->deleteLater();
        setShowConfirm(false);
        if (confirmed) {
            model_.applyChanges();
        }
    });
    confirmation_ = dialog;
    dialog->open();
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
    if (resultAlert_ && presentedResult_ == result->id) {
        return;
    }
    if (!resultAlert_) {
        auto* alert = new QMessageBox(this);
        alert->setObjectName("resultAlert");
        alert->setTextFormat(Qt::RichText);
        auto* ok = alert->addButton(tr("OK"), QMessageBox::AcceptRole);
        ok->setObjectName("okButton");
        alert->setDefaultButton(ok);
        alert->setEscapeButton(ok);
        connect(alert, &QMessageBox::finished, this, [this, alert] {
            resultAlert_ = nullptr;
            alert->deleteLater();
            presentedResult_.reset();
            model_.setLastResult(std::nullopt);
        });
        resultAlert_ = alert;
    }
    presentedResult_ = result->id;
    const QString title = resultTitle(*result);
    resultAlert_->setIcon(result->failed != 0 ? QMessageBox::Warning : QMessageBox::Information);
    resultAlert_->setWindowTitle(title);
    resultAlert_->setText(boldTitle(title));
    resultAlert_->setInformativeText(QString::fromStdString(resultSummary(*result)));
    // File names in error texts are shown as they are, never read as markup.
    if (auto* label = resultAlert_->findChild<QLabel*>("qt_msgbox_informativelabel")) {
        label->setTextFormat(Qt::PlainText);
    }
    resultAlert_->open();
}

void ContentView::dragEnterEvent(QDragEnterEvent* event) {
    if (toolkit::carriesFileURLs(*event->mimeData())) {
        event->acceptProposedAction();
        setTargetedForDrop(true);
    } else {
        event->ignore();
    }
}

void ContentView::dragMoveEvent(QDragMoveEvent* event) {
    if (toolkit::carriesFileURLs(*event->mimeData())) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void ContentView::dragLeaveEvent(QDragLeaveEvent* event) {
    setTargetedForDrop(false);
    event->accept();
}

void ContentView::dropEvent(QDropEvent* event) {
    setTargetedForDrop(false);
    const auto urls = toolkit::droppedFileURLs(*event->mimeData());
    if (urls.empty()) {
        event->ignore();
        return;
    }
    model_.addURLs(urls);
    event->acceptProposedAction();
}

}  // namespace vellumark
