#include "ui/app_shell/vellumark_app.h"

#include "linux_fs/linux_file_access.h"
#include "ui/bindings/event_loop_hand_back.h"
#include "ui/bindings/qt_open_panel.h"
#include "ui/main_window/content_view.h"

#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QMenuBar>
#include <QScreen>

namespace vellumark {

namespace {

QIcon applicationIcon() {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/vellumark/vellumark-%1.png").arg(size), QSize(size, size));
    }
    return QIcon::fromTheme(QStringLiteral("vellumark"), icon);
}

}  // namespace

VellumarkApp::VellumarkApp()
    : ownedFiles_(std::make_unique<LinuxFileAccess>()),
      ownedPanel_(std::make_unique<bindings::QtOpenPanel>()),
      files_(*ownedFiles_),
      openPanel_(*ownedPanel_),
      clock_(systemClock()),
      handBack_(bindings::eventLoopHandBack()) {}

VellumarkApp::VellumarkApp(FileAccess& files, OpenPanel& openPanel, Clock clock, HandBack handBack)
    : files_(files), openPanel_(openPanel), clock_(std::move(clock)), handBack_(std::move(handBack)) {}

VellumarkApp::~VellumarkApp() = default;

AppModel& VellumarkApp::model() {
    if (!model_) {
        model_ = std::make_unique<AppModel>(files_, openPanel_, clock_, handBack_);
    }
    return *model_;
}

ContentView& VellumarkApp::openWindow() {
    auto window = std::make_unique<ContentView>(model(), openPanel_);
    window->setMinimumSize(kMinimumWidth, kMinimumHeight);

    // Stands where the new-item entries would: there is no New entry and no Ctrl+N.
    QMenu* file = window->menuBar()->addMenu(QApplication::translate("VellumarkApp", "&File"));
    file->setObjectName("fileMenu");
    QAction* addFiles = file->addAction(QApplication::translate("VellumarkApp", "Add Files…"));
    addFiles->setObjectName("addFilesAction");
    addFiles->setShortcut(QKeySequence::Open);
    QObject::connect(addFiles, &QAction::triggered, window.get(), &ContentView::addFiles);

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
    return QApplication::exec();
}

}  // namespace vellumark
