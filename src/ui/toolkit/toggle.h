#pragma once

#include <QCheckBox>

#include <functional>

namespace vellumark::toolkit {

// An on/off switch bound to one boolean: showChecked() presents it without writing it back; each click
// writes the new state once.
class Toggle : public QCheckBox {
    Q_OBJECT

public:
    Toggle(const QString& label, std::function<void(bool)> write, QWidget* parent = nullptr);

    void showChecked(bool checked);

private:
    std::function<void(bool)> write_;
};

}  // namespace vellumark::toolkit
