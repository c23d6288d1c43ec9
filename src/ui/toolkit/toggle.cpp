#include "ui/toolkit/toggle.h"

#include <QSignalBlocker>

namespace vellumark::toolkit {

Toggle::Toggle(const QString& label, std::function<void(bool)> write, QWidget* parent)
    : QCheckBox(label, parent), write_(std::move(write)) {
    connect(this, &QCheckBox::toggled, this, [this](bool checked) { write_(checked); });
}

void Toggle::showChecked(bool checked) {
    if (checked == isChecked()) {
        return;
    }
    const QSignalBlocker blocker(this);
    setChecked(checked);
}

}  // namespace vellumark::toolkit
