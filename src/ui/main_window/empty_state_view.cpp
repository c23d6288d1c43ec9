#include "ui/main_window/empty_state_view.h"

#include "ui/toolkit/contrast.h"
#include "ui/toolkit/symbol_icons.h"
#include "ui/toolkit/text_styles.h"

#include <QEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace vellumark {

EmptyStateView::EmptyStateView(QWidget* parent) : QWidget(parent) {
    setObjectName("emptyState");
    setAccessibleName(tr("Drag files or folders here"));
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);

    symbol_ = new QLabel;
    symbol_->setObjectName("emptyStateSymbol");
    symbol_->setAlignment(Qt::AlignHCenter);
    updateSymbol();

    auto* title = new QLabel(tr("Drag files or folders here"));
    title->setObjectName("emptyStateTitle");
    title->setFont(toolkit::title3Font(title->font()));
    title->setAlignment(Qt::AlignHCenter);

    auto* hint = new QLabel(tr("…or use the + button in the toolbar."));
    hint->setObjectName("emptyStateHint");
    hint->setAlignment(Qt::AlignHCenter);
    toolkit::makeSecondary(*hint);

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(kSpacing);
    layout->addStretch();
    layout->addWidget(symbol_);
    layout->addWidget(title);
    layout->addWidget(hint);
    layout->addStretch();
}

void EmptyStateView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Also sent while the view is being made, before there is a symbol.
    if (event->type() == QEvent::PaletteChange && symbol_ != nullptr) {
        updateSymbol();
    }
}

// Drawn in the dimmed colour of the text below it, as a symbol that still stands out (3:1) on the list.
void EmptyStateView::updateSymbol() {
    if (symbol_ == nullptr) {
        return;  // a palette change while the view is being built
    }
    const QColor base = palette().color(QPalette::Base);
    const QColor color =
        toolkit::withContrast(toolkit::secondaryColor(palette()), {base}, toolkit::kSymbolContrast);
    symbol_->setPixmap(
        toolkit::symbolPixmap(u"calendar.badge.clock", kSymbolSize, color, devicePixelRatioF()));
}

}  // namespace vellumark
