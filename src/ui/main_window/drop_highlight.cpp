#include "ui/main_window/drop_highlight.h"

#include "ui/toolkit/contrast.h"

#include <QPainter>
#include <QPainterPath>

namespace vellumark {

DropHighlight::DropHighlight(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
}

void DropHighlight::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // A pen straddles its path, so the path runs half a line inside the outline to keep the whole
    // border within the inset rectangle.
    const qreal half = kLineWidth / 2;
    const QRectF outline = QRectF(rect()).adjusted(kInset, kInset, -kInset, -kInset);
    QPainterPath path;
    path.addRoundedRect(outline.adjusted(half, half, -half, -half), kRadius - half, kRadius - half);
    // The accent, made to stand out (3:1) on the list and on the panel it runs across.
    const QColor accent = toolkit::withContrast(
        palette().color(QPalette::Highlight),
        {palette().color(QPalette::Base), palette().color(QPalette::Window)}, toolkit::kSymbolContrast);
    painter.setPen(QPen(accent, kLineWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
}

}  // namespace vellumark
