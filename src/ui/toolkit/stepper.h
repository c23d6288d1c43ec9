#pragma once

#include <QSpinBox>

#include <cstdint>
#include <functional>

namespace vellumark::toolkit {

// A stepper bound to one integer field: the label and the value in one box ("Days: 42"), arrows and
// arrow keys step by one, and typed digits are taken when confirmed (Return or leaving the box). No key
// press or typed text can put a value outside [minimum, maximum]: the box rejects such input. Values are
// plain decimal integers without digit grouping, whatever the locale.
class Stepper : public QSpinBox {
    Q_OBJECT

public:
    Stepper(const QString& label, int minimum, int maximum, std::function<void(std::int64_t)> write,
            QWidget* parent = nullptr);

    // Presents the value without writing it back; a value outside the range is shown at the nearer end.
    void showValue(std::int64_t value);

private:
    std::function<void(std::int64_t)> write_;
};

}  // namespace vellumark::toolkit
