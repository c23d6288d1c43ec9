#include "ui/toolkit/dialogs.h"

#include <QLabel>
#include <QPushButton>

namespace vellumark::toolkit {

namespace {

// Messages carry file names, which must never be read as markup or links. The box's text format does not
// reach the informative text's label, so that label is set by the name Qt gives it.
void showAsPlainText(QMessageBox& box) {
    box.setTextFormat(Qt::PlainText);
    if (auto* informative = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
        informative->setTextFormat(Qt::PlainText);
    }
}

}  // namespace

std::unique_ptr<QMessageBox> makeConfirmationDialog(QWidget* parent, const ConfirmationTexts& texts) {
    auto dialog = std::make_unique<QMessageBox>(parent);
    dialog->setIcon(QMessageBox::Warning);
    dialog->setWindowTitle(texts.title);
    dialog->setText(texts.title);
    dialog->setInformativeText(texts.message);
    showAsPlainText(*dialog);
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

bool confirm(QWidget* parent, const ConfirmationTexts& texts) {
    const std::unique_ptr<QMessageBox> dialog = makeConfirmationDialog(parent, texts);
    dialog->exec();
    return isConfirmed(*dialog);
}

std::unique_ptr<QMessageBox> makeAlert(QWidget* parent, const QString& title, const QString& message,
                                       const QString& okButton) {
    auto alert = std::make_unique<QMessageBox>(parent);
    alert->setIcon(QMessageBox::Information);
    alert->setWindowTitle(title);
    alert->setText(title);
    alert->setInformativeText(message);
    showAsPlainText(*alert);
    QPushButton* ok = alert->addButton(okButton, QMessageBox::AcceptRole);
    alert->setDefaultButton(ok);
    alert->setEscapeButton(ok);
    return alert;
}

}  // namespace vellumark::toolkit
