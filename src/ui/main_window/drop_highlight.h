#pragma once

#include <QWidget>

namespace vellumark {

// The border drawn over the window's content while files are dragged over it. It never takes mouse
// or drop events, so everything beneath it keeps working.
class DropHighlight : public QWidget {
    Q_OBJECT
public:
    static constexpr qreal kInset = 4;
    static constexpr qreal kRadius = 6;
    static constexpr qreal kLineWidth = 3;

    explicit DropHighlight(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace vellumark
