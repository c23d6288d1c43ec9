#pragma once

#include "app_model/app_model.h"
#include "app_model/open_panel.h"
#include "model/uuid.h"

#include <QMainWindow>
#include <QPointer>

#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

class QAction;
class QLabel;
class QMessageBox;
class QProgressBar;
class QTimer;
class QSplitter;
class QStackedWidget;

namespace vellumark {

class DropHighlight;
class EmptyStateView;

namespace action_panel {
class ActionPanelView;
}
namespace file_table {
class FileTableView;
}
namespace bindings {
class ModelObserver;
}

// The application's window: the file list beside the action panel, the list commands and the apply
// button in the toolbar, files and folders dropped anywhere on it, the confirmation before anything is
// written and the outcome afterwards, with every failure in its details. It keeps only its two presentation
// flags; everything else is read from the model on each refresh.
class ContentView : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kListMinimumWidth = 460;
    static constexpr int kPanelWidth = 320;

    // `sourcePanel` is the chooser the action panel uses for the lift source.
    ContentView(AppModel& model, OpenPanel& sourcePanel, QWidget* parent = nullptr);
    ~ContentView() override;

    AppModel& model() const { return model_; }
    bool showConfirm() const { return showConfirm_; }
    bool isTargetedForDrop() const { return isTargetedForDrop_; }

    // Re-reads the model and the two flags. Runs by itself after every change notification.
    void refresh();

    // The open panel, or, while adding or applying runs, a short word that it must end first.
    void addFiles();
    // File ▸ History…: the journaled runs, any of which can be restored.
    void showHistory();
    // At start: offers to restore a run the program did not live to finish, once.
    void offerRecovery();

protected:
    // While adding or applying runs, asks first; closing then stops the work after the item at hand.
    void closeEvent(QCloseEvent* event) override;

private:
    // Opens `dialog` window-modal as `name`, held in `slot` while it shows. When it closes, the slot empties,
    // the dialog goes, and `answered` learns whether it was confirmed.
    void ask(QMessageBox* dialog, const char* name, QPointer<QMessageBox>& slot,
             std::function<void(bool confirmed)> answered);
    void buildToolbar();
    void buildContent(OpenPanel& sourcePanel);
    void setShowConfirm(bool show);
    void setTargetedForDrop(bool targeted);
    void presentConfirmation(const PlanSummary& summary);
    void presentResult();
    void addDropped(std::vector<std::filesystem::path> urls);
    void showNotice(const QString& notice);
    void askToStopAndClose();
    void buildMenus();
    void askToClear();
    void presentRestore(const RunRecord& run, bool newest);
    void presentJournalFailure(const ProcessResult& result);
    void showAbout();

    AppModel& model_;
    bool showConfirm_ = false;
    bool isTargetedForDrop_ = false;

    QAction* addAction_ = nullptr;
    QAction* removeAction_ = nullptr;
    QAction* clearAction_ = nullptr;
    QAction* progressAction_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QAction* cancelAction_ = nullptr;
    QLabel* countLabel_ = nullptr;
    // Says why something was refused, in place of the count, for a few seconds.
    QString notice_;
    QTimer* noticeTimer_ = nullptr;
    bool closeConfirmed_ = false;
    QAction* performAction_ = nullptr;
    QAction* undoAction_ = nullptr;
    QAction* redoAction_ = nullptr;
    QAction* menuClearAction_ = nullptr;
    QAction* selectAllAction_ = nullptr;
    QStackedWidget* listArea_ = nullptr;
    EmptyStateView* emptyState_ = nullptr;
    file_table::FileTableView* fileTable_ = nullptr;
    action_panel::ActionPanelView* actionPanel_ = nullptr;
    DropHighlight* dropHighlight_ = nullptr;

    QPointer<QMessageBox> confirmation_;
    QPointer<QMessageBox> resultAlert_;
    QPointer<QMessageBox> closeQuestion_;
    QPointer<QMessageBox> question_;
    std::optional<Uuid> presentedResult_;

    bindings::ModelObserver* observer_ = nullptr;
};

}  // namespace vellumark
