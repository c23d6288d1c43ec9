#include "ui/app_shell/vellumark_app.h"

#include "journal/sqlite_run_journal.h"
#include "linux_fs/linux_file_access.h"
#include "ui/bindings/event_loop_hand_back.h"
#include "ui/bindings/qt_open_panel.h"
#include "ui/main_window/content_view.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace vellumark {

namespace {

QIcon applicationIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/vellumark/vellumark-%1.png").arg(size), QSize(size, size));
    }
    return QIcon::fromTheme(QStringLiteral("vellumark"), icon);
}

// The window's least size: the fixed least, or what its controls need in the font it has now.
QSize leastSize(QWidget& window) {
    // The explicit least size would hide what the layout now needs; the caller sets the new one at once.
    window.setMinimumSize(0, 0);
    return QSize(VellumarkApp::kMinimumWidth, VellumarkApp::kMinimumHeight)
        .expandedTo(window.minimumSizeHint());
}

// Sets the window's least size again once the layouts have taken in a change of font.
class MinimumSizeFollower : public QObject {
public:
    explicit MinimumSizeFollower(QWidget& window) : QObject(&window), window_(window) {
        window.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &window_ && event->type() == QEvent::FontChange) {
            QTimer::singleShot(0, this, [this] { window_.setMinimumSize(leastSize(window_)); });
        }
        return false;
    }

private:
    QWidget& window_;
};

// A list of a million items is freed as a million small blocks, on a thread of its own (releaseInBackground).
// glibc keeps such blocks in its fast bins unmerged, and the next larger allocation on any thread, the
// window's included, then merges them all at once: a stall of around 100 ms. Without fast bins each block
// is merged as it is freed, on the thread that frees it; small allocations still come from the per-thread
// caches.
void mergeFreedBlocksAtOnce() {
#if defined(__GLIBC__)
    ::mallopt(M_MXFAST, 0);
#endif
}

}  // namespace

VellumarkApp::VellumarkApp()
    : ownedFiles_(std::make_unique<LinuxFileAccess>()),
      ownedPanel_(std::make_unique<bindings::QtOpenPanel>()),
      ownedJournal_(std::make_unique<SqliteRunJournal>(defaultJournalPath())),
      files_(*ownedFiles_),
      openPanel_(*ownedPanel_),
      clock_(systemClock()),
      handBack_(bindings::eventLoopHandBack()),
      journal_(ownedJournal_.get()) {
    mergeFreedBlocksAtOnce();
}

VellumarkApp::VellumarkApp(FileAccess& files, OpenPanel& openPanel, Clock clock, HandBack handBack,
                           RunJournal* journal)
    : files_(files),
      openPanel_(openPanel),
      clock_(std::move(clock)),
      handBack_(std::move(handBack)),
      journal_(journal) {
    mergeFreedBlocksAtOnce();
}

VellumarkApp::~VellumarkApp() = default;

AppModel& VellumarkApp::model() {
    if (!model_) {
        model_ = std::make_unique<AppModel>(files_, openPanel_, clock_, handBack_);
        if (journal_ != nullptr) {
            try {
                // Runs older than 90 days and all but the last 200 go at each start.
                journal_->prune(clock_().addingSeconds(std::int64_t{-90} * 86'400), 200);
            } catch (const std::exception&) {
                // A journal that cannot be written shows when a run needs it.
            }
            model_->setJournal(journal_);
        }
    }
    return *model_;
}

ContentView& VellumarkApp::openWindow() {
    auto window = std::make_unique<ContentView>(model(), openPanel_);
    // Larger where a large font widens the list's least width and the panel, now and whenever the font
    // changes while the window is open.
    window->setMinimumSize(leastSize(*window));
    new MinimumSizeFollower(*window);

    // Stands where the new-item entries would: there is no New entry and no Ctrl+N.
    auto* file = new QMenu(QApplication::translate("VellumarkApp", "&File"), window->menuBar());
    file->setObjectName("fileMenu");
    // Before the window's own menus.
    const QList<QAction*> menus = window->menuBar()->actions();
    window->menuBar()->insertMenu(menus.isEmpty() ? nullptr : menus.first(), file);
    QAction* addFiles = file->addAction(QApplication::translate("VellumarkApp", "Add Files…"));
    addFiles->setObjectName("addFilesAction");
    addFiles->setShortcut(QKeySequence::Open);
    QObject::connect(addFiles, &QAction::triggered, window.get(), &ContentView::addFiles);
    QAction* history = file->addAction(QApplication::translate("VellumarkApp", "History…"));
    history->setObjectName("historyAction");
    history->setEnabled(journal_ != nullptr);
    QObject::connect(history, &QAction::triggered, window.get(), &ContentView::showHistory);

    file->addSeparator();
    QAction* quit = file->addAction(QApplication::translate("VellumarkApp", "&Quit"));
    quit->setObjectName("quitAction");
    quit->setShortcut(QKeySequence::Quit);
    quit->setMenuRole(QAction::QuitRole);
    QObject::connect(quit, &QAction::triggered, qApp, &QApplication::closeAllWindows);

    if (ownedPanel_) {
        // Modal to the newest window; it is the one the user is working in.
        ownedPanel_->setParentWidget(window.get());
    }
    windows_.push_back(std::move(window));
    return *windows_.back();
}

int VellumarkApp::run(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vellumark"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vellumark"));
    QApplication::setApplicationVersion(QStringLiteral(VELLUMARK_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("vellumark"));
    QApplication::setWindowIcon(applicationIcon());

    VellumarkApp app;
    ContentView& window = app.openWindow();
    // Room for the table's three columns at their ideal widths beside the panel, where the screen has it.
    const QSize available = window.screen()->availableSize();
    window.resize(QSize(1100, 660).boundedTo(available).expandedTo(window.minimumSize()));
    window.show();
    window.offerRecovery();
    return QApplication::exec();
}

}  // namespace vellumark
