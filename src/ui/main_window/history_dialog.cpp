#include "ui/main_window/history_dialog.h"

#include "ui/main_window/window_texts.h"
#include "ui/toolkit/date_text.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vellumark {

HistoryDialog::HistoryDialog(std::vector<RunRecord> runs, std::function<void(const RunRecord&)> restore,
                             QWidget* parent)
    : QDialog(parent), runs_(std::move(runs)), list_(new QTreeWidget), restoreButton_(nullptr) {
    setObjectName("historyDialog");
    setWindowTitle(tr("History"));
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(
        runs_.empty()
            ? tr("No dates have been changed yet.")
            : tr("Every run is kept for 90 days, the last 200 at most. Restoring a run gives its items back "
                 "the dates they had before it, where no one changed them since."));
    intro->setWordWrap(true);
    layout->addWidget(intro);

    list_->setObjectName("historyList");
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAlternatingRowColors(true);
    list_->setHeaderLabels({tr("When"), tr("What"), tr("Items"), tr("Changed"), tr("Failed")});
    list_->setAccessibleName(tr("Runs"));
    const QLocale locale;
    for (const RunRecord& run : runs_) {
        auto* row = new QTreeWidgetItem(list_);
        row->setText(0, toolkit::dateText(run.startedAt));
        row->setText(1, historyWhat(run));
        row->setToolTip(1, row->text(1));
        row->setText(2, locale.toString(static_cast<qlonglong>(run.itemCount)));
        row->setText(3, locale.toString(static_cast<qlonglong>(run.changed)));
        row->setText(4, locale.toString(static_cast<qlonglong>(run.failed)));
        for (int column = 2; column <= 4; ++column) {
            row->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
        }
    }
    list_->header()->setStretchLastSection(false);
    list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    list_->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    if (!runs_.empty()) {
        list_->setCurrentItem(list_->topLevelItem(0));
    }
    layout->addWidget(list_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    restoreButton_ = buttons->addButton(tr("Restore…"), QDialogButtonBox::ActionRole);
    restoreButton_->setObjectName("restoreButton");
    restoreButton_->setEnabled(!runs_.empty());
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(restoreButton_, &QPushButton::clicked, this, [this, restore = std::move(restore)] {
        const int row = list_->indexOfTopLevelItem(list_->currentItem());
        if (row >= 0) {
            const RunRecord run = runs_[static_cast<std::size_t>(row)];
            accept();
            restore(run);
        }
    });
    connect(list_, &QTreeWidget::itemActivated, restoreButton_, &QPushButton::click);
    layout->addWidget(buttons);
    resize(720, 420);
}

}  // namespace vellumark
