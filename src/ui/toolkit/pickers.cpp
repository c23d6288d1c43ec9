#include "ui/toolkit/pickers.h"

#include "ui/toolkit/contrast.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace vellumark::toolkit {

namespace {

// A segment of a segmented picker: the chosen one is filled with the selection colour, not merely pressed
// in, so which one holds is plain at a glance in any palette. It is filled here rather than by the style,
// which would shade the colour (lighter, paler) until its text no longer reads.
class Segment : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        if (!isChecked()) {
            painter.drawControl(QStyle::CE_PushButton, option);
            return;
        }
        const QPalette::ColorGroup group = isEnabled() ? QPalette::Active : QPalette::Disabled;
        const QPalette selection = withReadableSelection(option.palette);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(selection.color(group, QPalette::Highlight));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
        option.palette.setColor(QPalette::ButtonText, selection.color(group, QPalette::HighlightedText));
        painter.drawControl(QStyle::CE_PushButtonLabel, option);
        if (option.state.testFlag(QStyle::State_HasFocus)) {
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            focus.rect = style()->subElementRect(QStyle::SE_PushButtonFocusRect, &option, this);
            painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
        }
    }
};

}  // namespace

PopUpPicker::PopUpPicker(const QStringList& entries, std::function<void(int)> write, QWidget* parent)
    : QComboBox(parent), write_(std::move(write)) {
    addItems(entries);
    setSizeAdjustPolicy(QComboBox::AdjustToContents);
    // Fires for the user's choices only: showIndex() blocks it.
    connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) {
            write_(index);
        }
    });
}

void PopUpPicker::showIndex(int index) {
    if (index == currentIndex()) {
        return;
    }
    const QSignalBlocker blocker(this);
    setCurrentIndex(index);
}

SegmentedPicker::SegmentedPicker(const QStringList& entries, std::function<void(int)> write, QWidget* parent)
    : QWidget(parent), group_(new QButtonGroup(this)), write_(std::move(write)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    group_->setExclusive(true);
    for (int i = 0; i < entries.size(); ++i) {
        auto* button = new Segment(entries[i], this);
        button->setCheckable(true);
        // Exclusive on its own as well as in the group, so that assistive technologies announce a radio
        // button, one of several, rather than a check box.
        button->setAutoExclusive(true);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        group_->addButton(button, i);
        layout->addWidget(button);
    }
    // idClicked comes from the user only (a click or the space bar), never from showIndex().
    connect(group_, &QButtonGroup::idClicked, this, [this](int index) {
        if (index != current_) {
            current_ = index;
            write_(index);
        }
    });
}

void SegmentedPicker::showIndex(int index) {
    current_ = index;
    if (QAbstractButton* button = group_->button(index)) {
        const QSignalBlocker blocker(group_);
        button->setChecked(true);
    }
}

}  // namespace vellumark::toolkit
