#include "ui/toolkit/dialogs.h"

#include <QLabel>
#include <QPushButton>

namespace vellumark::toolkit {

namespace {

// Both kinds of box: the title set apart inside the box (a window manager may hide the title bar), the
// message wide enough not to wrap word by word, and both shown as plain text, as messages carry file
// names that must never be read as markup or links. The box's text format does not reach the
// informative text's label, so that label is set by the name Qt gives it.
std::unique_ptr<QMessageBox> makeMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                            const QString& message) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setIcon(icon);
    box->setWindowTitle(title);
    box->setText(title);
    box->setInformativeText(message);
    box->setTextFormat(Qt::PlainText);
    if (auto* titleLabel = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
        QFont font = titleLabel->font();
        font.setBold(true);
        titleLabel->setFont(font);
    }
    if (auto* informative = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
        informative->setTextFormat(Qt::PlainText);
        informative->setMinimumWidth(440);
    }
    return box;
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

}  // namespace vellumark::toolkit
