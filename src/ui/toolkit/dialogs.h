#pragma once

#include <QMessageBox>
#include <QString>

#include <memory>

namespace vellumark::toolkit {

struct ConfirmationTexts {
    QString title;
    QString message;
    QString confirmButton;
    QString cancelButton;
};

// A question with a destructive confirm button and a cancel button (Escape and closing the window
// cancel). The title is shown inside the dialog, not only in a title bar a window manager may hide.
std::unique_ptr<QMessageBox> makeConfirmationDialog(QWidget* parent, const ConfirmationTexts& texts);

// Whether a dialog made by makeConfirmationDialog ended with its confirm button.
bool isConfirmed(const QMessageBox& dialog);

// A message with a title and one default button that closes it. Texts of both kinds are plain text.
std::unique_ptr<QMessageBox> makeAlert(QWidget* parent, const QString& title, const QString& message,
                                       const QString& okButton);

}  // namespace vellumark::toolkit
