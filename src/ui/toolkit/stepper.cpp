#include "ui/toolkit/stepper.h"

#include <QLocale>
#include <QSignalBlocker>

#include <algorithm>

namespace vellumark::toolkit {

Stepper::Stepper(const QString& label, int minimum, int maximum, std::function<void(std::int64_t)> write,
                 QWidget* parent)
    : QSpinBox(parent), write_(std::move(write)) {
    QLocale plain = QLocale::c();
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    setLocale(plain);
    setGroupSeparatorShown(false);
    setPrefix(label);
    setRange(minimum, maximum);
    setSingleStep(1);
    // A typed number is one edit, taken when confirmed, not one write per digit.
    setKeyboardTracking(false);
    connect(this, &QSpinBox::valueChanged, this, [this](int value) { write_(value); });
}

void Stepper::showValue(std::int64_t value) {
    const auto clamped = static_cast<int>(std::clamp<std::int64_t>(value, minimum(), maximum()));
    // Setting even the same value repaints the box; refreshes come after every change of the model.
    if (clamped == this->value()) {
        return;
    }
    const QSignalBlocker blocker(this);
    setValue(clamped);
}

}  // namespace vellumark::toolkit
