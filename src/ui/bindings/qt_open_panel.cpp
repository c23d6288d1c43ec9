#include "ui/bindings/qt_open_panel.h"

#include "ui/toolkit/path_text.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace vellumark::bindings {

FileAndFolderDialog::FileAndFolderDialog(const OpenPanelOptions& options, QWidget* parent)
    : QFileDialog(parent), takesFolders_(options.canChooseDirectories && options.canChooseFiles) {
    setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(QFileDialog::AcceptOpen);
    if (options.canChooseDirectories && !options.canChooseFiles) {
        setFileMode(QFileDialog::Directory);
        setOption(QFileDialog::ShowDirsOnly);
    } else {
        setFileMode(options.allowsMultipleSelection ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    }
}

void FileAndFolderDialog::accept() {
    if (!takesFolders_) {
        QFileDialog::accept();
        return;
    }
    const QStringList files = selectedFiles();
    if (files.isEmpty()) {
        return;
    }
    // Return in the name field after typing a folder's name goes to that folder, as in the stock dialog;
    // "Open" chooses it.
    const auto* nameField = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    const bool typedName = nameField != nullptr && focusWidget() == nameField;
    for (const QString& file : files) {
        const QFileInfo info(file);
        // A missing name gets the stock message.
        if (!info.exists() || (typedName && files.size() == 1 && info.isDir())) {
            QFileDialog::accept();
            return;
        }
    }
    // Past QFileDialog's own accept, which would open a chosen folder instead of choosing it.
    QDialog::accept();  // NOLINT(bugprone-parent-virtual-call)
}

void FileAndFolderDialog::done(int result) {
    chosen_.clear();
    if (result == QDialog::Accepted) {
        const QStringList files = selectedFiles();
        for (const QString& file : files) {
            chosen_.push_back(toolkit::pathFromLocalFile(file));
        }
    }
    QFileDialog::done(result);
}

OpenPanelDialog::OpenPanelDialog(const OpenPanelOptions& options, QWidget* parent)
    : QDialog(parent), files_(new FileAndFolderDialog(options, this)) {
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
    resize(720, 480);
}

std::optional<std::vector<std::filesystem::path>> QtOpenPanel::runModal(const OpenPanelOptions& options) {
    OpenPanelDialog dialog(options, parent_);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.fileDialog().setDirectory(lastDirectory_.isEmpty() ? QDir::homePath() : lastDirectory_);
    const int response = dialog.exec();
    lastDirectory_ = dialog.fileDialog().directory().absolutePath();
    if (response != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.fileDialog().chosenPaths();
}

}  // namespace vellumark::bindings
