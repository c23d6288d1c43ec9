#pragma once

#include "app_model/app_model.h"

#include <QDialog>

#include <cstdint>
#include <functional>
#include <vector>

class QPushButton;
class QTreeWidget;

namespace vellumark {

// File ▸ History…: the journaled runs, newest first (when, what, items, changed, failed), and a Restore
// button that hands the chosen run to `restore`.
class HistoryDialog : public QDialog {
    Q_OBJECT
public:
    HistoryDialog(std::vector<RunRecord> runs, std::function<void(const RunRecord&)> restore,
                  QWidget* parent = nullptr);

private:
    std::vector<RunRecord> runs_;
    QTreeWidget* list_;
    QPushButton* restoreButton_;
};

}  // namespace vellumark
