#pragma once

#include <QWidget>

class QLabel;

namespace vellumark {

// What the list area shows while nothing is listed: an invitation to drop or add items.
class EmptyStateView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSymbolSize = 48;
    static constexpr int kSpacing = 12;

    explicit EmptyStateView(QWidget* parent = nullptr);

protected:
    void changeEvent(QEvent* event) override;

private:
    void updateSymbol();

    QLabel* symbol_ = nullptr;
};

}  // namespace vellumark
