#include "ui/toolkit/dialogs.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QTranslator>

#include <algorithm>

namespace vellumark::toolkit {

namespace {

// Message lines shorter than the widest break only where they have line breaks of their own.
constexpr int kNarrowestMessage = 440;
constexpr int kWidestMessage = 640;

// Both kinds of box: the title set apart inside the box (a window manager may hide the title bar), and
// title and message shown as plain text, as messages carry file names that must never be read as markup
// or links.
std::unique_ptr<QMessageBox> makeMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                            const QString& message) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setIcon(icon);
    box->setWindowTitle(title);
    box->setText(title);
    box->setTextFormat(Qt::PlainText);
    if (auto* titleLabel = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
        QFont font = titleLabel->font();
        font.setBold(true);
        titleLabel->setFont(font);
    }
    setMessage(*box, message);
    return box;
}

// Qt labels its details button with three full stops ("Show Details..."); every other label of ours
// ends in an ellipsis character.
class DetailsButtonLabels final : public QTranslator {
public:
    using QTranslator::QTranslator;

    QString translate(const char* context, const char* sourceText, const char* /*disambiguation*/,
                      int /*n*/) const override {
        if (qstrcmp(context, "QMessageBox") != 0) {
            return {};
        }
        if (qstrcmp(sourceText, "Show Details...") == 0) {
            return QStringLiteral("Show Details\u2026");
        }
        if (qstrcmp(sourceText, "Hide Details...") == 0) {
            return QStringLiteral("Hide Details\u2026");
        }
        return {};
    }

    bool isEmpty() const override { return false; }
};

// Once per application: the translator belongs to it and goes with it.
void installDetailsButtonLabels() {
    const QString name = QStringLiteral("detailsButtonLabels");
    QCoreApplication* application = QCoreApplication::instance();
    if (application->findChild<QTranslator*>(name, Qt::FindDirectChildrenOnly) == nullptr) {
        auto* labels = new DetailsButtonLabels(application);
        labels->setObjectName(name);
        QCoreApplication::installTranslator(labels);
    }
}

}  // namespace

std::unique_ptr<QMessageBox> makeConfirmationDialog(QWidget* parent, const ConfirmationTexts& texts) {
    auto dialog = makeMessageBox(parent, QMessageBox::Warning, texts.title, texts.message);
    QPushButton* confirmButton = dialog->addButton(texts.confirmButton, QMessageBox::DestructiveRole);
    confirmButton->setObjectName(QStringLiteral("confirmButton"));
    QPushButton* cancelButton = dialog->addButton(texts.cancelButton, QMessageBox::RejectRole);
    dialog->setDefaultButton(cancelButton);
    dialog->setEscapeButton(cancelButton);
    return dialog;
}

bool isConfirmed(const QMessageBox& dialog) {
    const QAbstractButton* clicked = dialog.clickedButton();
    return clicked != nullptr && clicked->objectName() == QLatin1String("confirmButton");
}

std::unique_ptr<QMessageBox> makeAlert(QWidget* parent, const QString& title, const QString& message,
                                       const QString& okButton) {
    auto alert = makeMessageBox(parent, QMessageBox::Information, title, message);
    QPushButton* ok = alert->addButton(okButton, QMessageBox::AcceptRole);
    alert->setDefaultButton(ok);
    alert->setEscapeButton(ok);
    return alert;
}

void setMessage(QMessageBox& box, const QString& message) {
    box.setInformativeText(message);
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
    if (label == nullptr) {
        return;
    }
    label->setTextFormat(Qt::PlainText);
    const QFontMetrics metrics(label->font());
    int longest = 0;
    for (const QString& line : message.split(QLatin1Char('\n'))) {
        longest = std::max(longest, metrics.horizontalAdvance(line));
    }
    label->setMinimumWidth(std::clamp(longest + 1, kNarrowestMessage, kWidestMessage));
}

void setDetails(QMessageBox& box, const QString& details) {
    installDetailsButtonLabels();
    box.setDetailedText(details);
    // Qt's details area takes no keyboard focus; keyboard users select and copy from it too.
    if (auto* text = box.findChild<QTextEdit*>()) {
        text->setFocusPolicy(Qt::StrongFocus);
        text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    }
}

}  // namespace vellumark::toolkit
