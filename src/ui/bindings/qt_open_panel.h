#pragma once

#include "app_model/open_panel.h"

#include <QDialog>
#include <QFileDialog>
#include <QPointer>
#include <QStringList>

#include <filesystem>
#include <optional>
#include <vector>

namespace vellumark::bindings {

class PlacesSidebar;
class SettingsAside;
class SettingsAsideUntilGone;

// Qt's own (non-native) file dialog, adapted so that its "Open" also takes folders: whatever is selected
// in the list, files and folders alike, is chosen, also by Return. Double-clicking a folder, or typing its
// name and pressing Return, still goes into it. Several names typed in the name field are chosen together
// when all exist; names that do not are reported, and the dialog stays open. Names that are not valid
// UTF-8 cannot appear here (Qt's listing skips them); dropping such items on the window brings them in
// intact.
//
// Its sidebar offers the user's folders, the desktop's bookmarks and `recentFolders`. Nothing of the
// dialog is kept on disk: Qt's dialog reads its last state from a settings file when made and writes it
// back when it goes, and while it does either, the user's settings point where no file can be.
class FileAndFolderDialog : public QFileDialog {
    Q_OBJECT

public:
    explicit FileAndFolderDialog(const OpenPanelOptions& options, const QStringList& recentFolders = {},
                                 QWidget* parent = nullptr);
    ~FileAndFolderDialog() override;

    // What the dialog was accepted with, in the order of the selection.
    const std::vector<std::filesystem::path>& chosenPaths() const { return chosen_; }

    void accept() override;
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    FileAndFolderDialog(const OpenPanelOptions& options, const QStringList& recentFolders, QWidget* parent,
                        const SettingsAside& aside);
    void replaceSidebar(const QStringList& recentFolders);
    void fitDetailColumns();
    QStringList typedOrSelected() const;
    void reportMissing(const QStringList& missing);

    bool takesFolders_;
    PlacesSidebar* places_ = nullptr;
    SettingsAsideUntilGone* asideUntilGone_ = nullptr;
    std::optional<QStringList> accepted_;
    std::vector<std::filesystem::path> chosen_;
};

// The modal open panel: the message above the file dialog.
class OpenPanelDialog : public QDialog {
    Q_OBJECT

public:
    explicit OpenPanelDialog(const OpenPanelOptions& options, const QStringList& recentFolders = {},
                             QWidget* parent = nullptr);

    FileAndFolderDialog& fileDialog() { return *files_; }

private:
    FileAndFolderDialog* files_;
};

// Opens the panel modal to the window, in the folder last shown, and remembers for this session only the
// folders items were chosen from.
class QtOpenPanel final : public OpenPanel {
public:
    explicit QtOpenPanel(QWidget* parent = nullptr) : parent_(parent) {}

    // The window the panel is modal to.
    void setParentWidget(QWidget* parent) { parent_ = parent; }

    std::optional<std::vector<std::filesystem::path>> runModal(const OpenPanelOptions& options) override;

private:
    QPointer<QWidget> parent_;
    QString lastDirectory_;
    // Most recent first.
    QStringList recentFolders_;
};

}  // namespace vellumark::bindings
