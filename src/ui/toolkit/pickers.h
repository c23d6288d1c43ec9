#pragma once

#include "model/action_vocabulary.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QStringList>
#include <QWidget>

#include <functional>

namespace vellumark::toolkit {

// The cases' titles, verbatim and in all-cases order: the entries of a picker.
template <typename Enum>
QStringList titlesOf() {
    QStringList titles;
    for (const Enum value : allCases<Enum>()) {
        const std::string_view text = title(value);
        titles.append(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }
    return titles;
}

template <typename Enum>
int indexOfCase(Enum value) {
    const auto cases = allCases<Enum>();
    for (std::size_t i = 0; i < cases.size(); ++i) {
        if (cases[i] == value) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

template <typename Enum>
Enum caseAt(int index) {
    return allCases<Enum>()[static_cast<std::size_t>(index)];
}

// A pop-up menu bound to one value. showIndex() presents the value without writing it back; choosing
// another entry calls `write` once with the entry's index.
class PopUpPicker : public QComboBox {
    Q_OBJECT

public:
    PopUpPicker(const QStringList& entries, std::function<void(int)> write, QWidget* parent = nullptr);

    void showIndex(int index);

private:
    std::function<void(int)> write_;
};

// A segmented control (a row of exclusive buttons) bound to one value, like PopUpPicker.
class SegmentedPicker : public QWidget {
    Q_OBJECT

public:
    SegmentedPicker(const QStringList& entries, std::function<void(int)> write, QWidget* parent = nullptr);

    void showIndex(int index);
    int currentIndex() const { return current_; }
    QAbstractButton* segment(int index) const { return group_->button(index); }

private:
    QButtonGroup* group_;
    std::function<void(int)> write_;
    int current_ = -1;
};

}  // namespace vellumark::toolkit
