#include "ui/main_window/empty_state_view.h"

#include "ui/toolkit/symbol_icons.h"
#include "ui/toolkit/text_styles.h"

#include <QLabel>
#include <QVBoxLayout>

namespace vellumark {

EmptyStateView::EmptyStateView(QWidget* parent) : QWidget(parent) {
    setObjectName("emptyState");
    setAccessibleName(tr("Drag files or folders here"));
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);

    auto* symbol = new QLabel;
    symbol->setObjectName("emptyStateSymbol");
    // Drawn in the dimmed colour of the text below it.
    QPalette dimmed = palette();
    dimmed.setColor(QPalette::Text, toolkit::secondaryColor(dimmed));
    symbol->setPixmap(toolkit::symbolPixmap(u"calendar.badge.clock", kSymbolSize, dimmed, QIcon::Normal,
                                            devicePixelRatioF()));
    symbol->setAlignment(Qt::AlignHCenter);

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
    layout->addWidget(symbol);
    layout->addWidget(title);
    layout->addWidget(hint);
    layout->addStretch();
}

}  // namespace vellumark
