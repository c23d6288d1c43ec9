#include "ui/bindings/qt_open_panel.h"

#include "ui/bindings/places_sidebar.h"
#include "ui/toolkit/dialogs.h"
#include "ui/toolkit/path_text.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSet>
#include <QSettings>
#include <QSplitter>
#include <QTreeView>
#include <QVBoxLayout>

namespace vellumark::bindings {

namespace {

constexpr qsizetype kMostRecentFolders = 5;

// A settings folder no file can be made in: its parent is not a folder.
const QString kNowhere = QStringLiteral("/dev/null/vellumark");

QString userSettingsFolder(QSettings::Format format) {
    const QSettings probe(format, QSettings::UserScope, QStringLiteral("vellumark-settings-probe"));
    return QFileInfo(probe.fileName()).absolutePath();
}

// The names in the dialog's name field: several in double quotes, as the dialog writes a selection of
// several, else the whole text.
QStringList typedNames(const QString& text) {
    if (!text.contains(QLatin1Char('"'))) {
        return text.isEmpty() ? QStringList() : QStringList{text};
    }
    const QStringList tokens = text.split(QLatin1Char('"'));
    QStringList names;
    for (qsizetype i = 1; i < tokens.size(); i += 2) {
        if (!tokens[i].isEmpty()) {
            names.append(tokens[i]);
        }
    }
    return names;
}

QString resolved(const QString& name, const QDir& folder) {
    if (name == QLatin1String("~") || name.startsWith(QLatin1String("~/"))) {
        return QDir::homePath() + name.mid(1);
    }
    return QDir::cleanPath(folder.absoluteFilePath(name));
}

}  // namespace

// Points Qt's user settings where no file can be, and back when it goes.
class SettingsAside {
public:
    SettingsAside()
        : nativePath_(userSettingsFolder(QSettings::NativeFormat)),
          iniPath_(userSettingsFolder(QSettings::IniFormat)) {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, kNowhere);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, kNowhere);
    }
    ~SettingsAside() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, nativePath_);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, iniPath_);
    }
    SettingsAside(const SettingsAside&) = delete;
    SettingsAside& operator=(const SettingsAside&) = delete;

private:
    QString nativePath_;
    QString iniPath_;
};

// Once engaged, holds the settings aside until it goes with its parent's children.
class SettingsAsideUntilGone : public QObject {
public:
    using QObject::QObject;

    void engage() { aside_.emplace(); }

private:
    std::optional<SettingsAside> aside_;
};

FileAndFolderDialog::FileAndFolderDialog(const OpenPanelOptions& options, const QStringList& recentFolders,
                                         QWidget* parent)
    : FileAndFolderDialog(options, recentFolders, parent, SettingsAside()) {}

// The settings stay aside until the delegating constructor's argument goes, after Qt's dialog is made.
FileAndFolderDialog::FileAndFolderDialog(const OpenPanelOptions& options, const QStringList& recentFolders,
                                         QWidget* parent, const SettingsAside& /*aside*/)
    : QFileDialog(parent), takesFolders_(options.canChooseDirectories && options.canChooseFiles) {
    setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(QFileDialog::AcceptOpen);
    if (options.canChooseDirectories && !options.canChooseFiles) {
        setFileMode(QFileDialog::Directory);
        setOption(QFileDialog::ShowDirsOnly);
    } else {
        setFileMode(options.allowsMultipleSelection ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    }
    for (const char* name : {"listView", "treeView"}) {
        if (auto* view = findChild<QAbstractItemView*>(QLatin1String(name))) {
            view->installEventFilter(this);
        }
    }
    replaceSidebar(recentFolders);
    fitDetailColumns();
    asideUntilGone_ = new SettingsAsideUntilGone(this);
}

// Qt's dialog writes its state in its own destructor, which runs after this one: a child, which goes
// after it with the widget's children, holds the settings aside until then.
FileAndFolderDialog::~FileAndFolderDialog() {
    asideUntilGone_->engage();
}

void FileAndFolderDialog::replaceSidebar(const QStringList& recentFolders) {
    auto* splitter = findChild<QSplitter*>(QStringLiteral("splitter"));
    auto* stock = findChild<QWidget*>(QStringLiteral("sidebar"));
    auto* files = findChild<QFileSystemModel*>();
    if (splitter == nullptr || stock == nullptr || files == nullptr) {
        return;
    }
    places_ = new PlacesSidebar(bookmarkedPlaces(gtkBookmarksFile()), recentFolders);
    splitter->replaceWidget(splitter->indexOf(stock), places_);
    // Qt's code still reaches its own sidebar: it stays with the dialog, hidden.
    stock->setParent(this);
    stock->hide();
    // Wide enough for the usual folder names; the files get the rest.
    const int sidebar = places_->fontMetrics().averageCharWidth() * 24;
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({sidebar, sidebar * 4});
    connect(places_, &PlacesSidebar::placeChosen, this, [this](const QString& path) { setDirectory(path); });
    connect(files, &QFileSystemModel::rootPathChanged, places_, &PlacesSidebar::showCurrent);
}

// Names take what the size, kind and date leave; Qt's own widths, without a saved state, cut the dates.
void FileAndFolderDialog::fitDetailColumns() {
    auto* details = findChild<QTreeView*>(QStringLiteral("treeView"));
    if (details == nullptr) {
        return;
    }
    QHeaderView& header = *details->header();
    const int character = header.fontMetrics().averageCharWidth();
    header.setStretchLastSection(false);
    header.setSectionResizeMode(0, QHeaderView::Stretch);
    const int widths[] = {10, 18, 27};
    for (int column = 1; column <= 3 && column < header.count(); ++column) {
        header.resizeSection(column, widths[column - 1] * character);
    }
}

// What the dialog would choose: the names in the name field where the user typed them, else the rows
// selected in the list (whose names the dialog writes into the field).
QStringList FileAndFolderDialog::typedOrSelected() const {
    QStringList selected;
    QSet<QString> selectedNames;
    if (const auto* list = findChild<QAbstractItemView*>(QStringLiteral("listView"))) {
        for (const QModelIndex& row : list->selectionModel()->selectedRows()) {
            selected.append(row.data(QFileSystemModel::FilePathRole).toString());
            selectedNames.insert(QFileInfo(selected.back()).fileName());
        }
    }
    const auto* nameField = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    const QStringList names = nameField != nullptr ? typedNames(nameField->text()) : QStringList();
    if (names.isEmpty() || QSet<QString>(names.begin(), names.end()) == selectedNames) {
        return selected;
    }
    QStringList typed;
    for (const QString& name : names) {
        typed.append(resolved(name, directory()));
    }
    return typed;
}

void FileAndFolderDialog::accept() {
    if (!takesFolders_) {
        QFileDialog::accept();
        return;
    }
    const QStringList chosen = typedOrSelected();
    if (chosen.isEmpty()) {
        return;
    }
    QStringList missing;
    const QString folder = directory().absolutePath() + QLatin1Char('/');
    for (const QString& path : chosen) {
        const QFileInfo info(path);
        if (!info.exists() && !info.isSymLink()) {
            missing.append(path.startsWith(folder) ? path.mid(folder.size()) : path);
        }
    }
    if (!missing.isEmpty()) {
        reportMissing(missing);
        return;
    }
    // Return in the name field after typing a folder's name goes to that folder, as in the stock dialog;
    // "Open" chooses it.
    auto* nameField = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (chosen.size() == 1 && QFileInfo(chosen.front()).isDir() && nameField != nullptr &&
        focusWidget() == nameField) {
        setDirectory(chosen.front());
        nameField->clear();
        return;
    }
    accepted_ = chosen;
    // Past QFileDialog's own accept, which would open a chosen folder instead of choosing it.
    QDialog::accept();  // NOLINT(bugprone-parent-virtual-call)
}

void FileAndFolderDialog::reportMissing(const QStringList& missing) {
    QStringList quoted;
    for (const QString& name : missing) {
        quoted.append(QStringLiteral("\u201c%1\u201d").arg(name));
    }
    const QString title = missing.size() == 1 ? tr("%1 cannot be found").arg(quoted.front())
                                              : tr("%1 items cannot be found").arg(missing.size());
    const QString message =
        (missing.size() == 1 ? QString() : quoted.join(QLatin1Char('\n')) + QStringLiteral("\n\n")) +
        tr("Check the spelling, or choose the items in the list. Nothing has been added.");
    QMessageBox* alert = toolkit::makeAlert(this, title, message, tr("OK")).release();
    alert->setObjectName(QStringLiteral("notFoundAlert"));
    alert->setIcon(QMessageBox::Warning);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->open();
}

void FileAndFolderDialog::done(int result) {
    chosen_.clear();
    if (result == QDialog::Accepted) {
        const QStringList files = accepted_ ? *accepted_ : selectedFiles();
        for (const QString& file : files) {
            chosen_.push_back(toolkit::pathFromLocalFile(file));
        }
    }
    accepted_.reset();
    QFileDialog::done(result);
}

// Return in the list chooses several selected items; with one, a folder still opens and a file is chosen.
bool FileAndFolderDialog::eventFilter(QObject* watched, QEvent* event) {
    const auto* view = qobject_cast<QAbstractItemView*>(watched);
    if (takesFolders_ && view != nullptr && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) &&
            view->selectionModel()->selectedRows().size() > 1) {
            accept();
            return true;
        }
    }
    return QFileDialog::eventFilter(watched, event);
}

OpenPanelDialog::OpenPanelDialog(const OpenPanelOptions& options, const QStringList& recentFolders,
                                 QWidget* parent)
    : QDialog(parent), files_(new FileAndFolderDialog(options, recentFolders, this)) {
    auto* layout = new QVBoxLayout(this);
    if (!options.message.empty()) {
        auto* message = new QLabel(QString::fromStdString(options.message), this);
        message->setObjectName(QStringLiteral("message"));
        message->setWordWrap(true);
        message->setAlignment(Qt::AlignCenter);
        layout->addWidget(message);
    }
    files_->setWindowFlags(Qt::Widget);
    files_->setSizeGripEnabled(false);
    layout->addWidget(files_);
    connect(files_, &QDialog::finished, this, &QDialog::done);
    setSizeGripEnabled(true);
    resize(860, 540);
}

std::optional<std::vector<std::filesystem::path>> QtOpenPanel::runModal(const OpenPanelOptions& options) {
    OpenPanelDialog dialog(options, recentFolders_, parent_);
    dialog.setWindowModality(Qt::ApplicationModal);
    FileAndFolderDialog& files = dialog.fileDialog();
    files.setDirectory(lastDirectory_.isEmpty() ? QDir::homePath() : lastDirectory_);
    files.setHistory(recentFolders_);
    const int response = dialog.exec();
    lastDirectory_ = files.directory().absolutePath();
    if (response != QDialog::Accepted) {
        return std::nullopt;
    }
    for (const std::filesystem::path& path : files.chosenPaths()) {
        const QString folder = QFile::decodeName(QByteArray::fromStdString(path.parent_path().native()));
        recentFolders_.removeAll(folder);
        recentFolders_.prepend(folder);
    }
    recentFolders_.resize(std::min(recentFolders_.size(), kMostRecentFolders));
    return files.chosenPaths();
}

}  // namespace vellumark::bindings
