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
    const QSignalBlocker blocker(this);
    const std::int64_t clamped = std::clamp<std::int64_t>(value, minimum(), maximum());
    setValue(static_cast<int>(clamped));
}

}  // namespace vellumark::toolkit
