#pragma once

#include "app_model/open_panel.h"

#include <QDialog>
#include <QFileDialog>
#include <QPointer>

#include <filesystem>
#include <optional>
#include <vector>

namespace vellumark::bindings {

// Qt's own (non-native) file dialog, adapted so that its "Open" also takes folders: whatever is selected
// in the list, files and folders alike, is chosen. Double-clicking a folder, or typing its name and
// pressing Return, still goes into it. Names that are not valid UTF-8 cannot
// appear here (Qt's listing skips them); dropping such items on the window brings them in intact.
class FileAndFolderDialog : public QFileDialog {
    Q_OBJECT

public:
    explicit FileAndFolderDialog(const OpenPanelOptions& options, QWidget* parent = nullptr);

    // What the dialog was accepted with, in the order of the selection.
    const std::vector<std::filesystem::path>& chosenPaths() const { return chosen_; }

    void accept() override;
    void done(int result) override;

private:
    bool takesFolders_;
    std::vector<std::filesystem::path> chosen_;
};

// The modal open panel: the message above the file dialog.
class OpenPanelDialog : public QDialog {
    Q_OBJECT

public:
    explicit OpenPanelDialog(const OpenPanelOptions& options, QWidget* parent = nullptr);

    FileAndFolderDialog& fileDialog() { return *files_; }

private:
    FileAndFolderDialog* files_;
};

class QtOpenPanel final : public OpenPanel {
public:
    explicit QtOpenPanel(QWidget* parent = nullptr) : parent_(parent) {}

    // The window the panel is modal to.
    void setParentWidget(QWidget* parent) { parent_ = parent; }

    std::optional<std::vector<std::filesystem::path>> runModal(const OpenPanelOptions& options) override;

private:
    QPointer<QWidget> parent_;
    QString lastDirectory_;
};

}  // namespace vellumark::bindings
